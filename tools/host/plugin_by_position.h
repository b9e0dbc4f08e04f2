// Calls a plug-in object the way the host does: through the raw entries of its table, by
// position alone, knowing nothing of the module's own declarations. Host thread only.
#pragma once

#include "host/interface_factory.h"

// Positions of the plug-in operations in the object's table.
enum PluginPosition : int {
    PLUGIN_LOAD_PLUGIN = 0,
    PLUGIN_UNLOAD_PLUGIN = 1,
    PLUGIN_PAUSE_PLUGIN = 2,
    PLUGIN_UNPAUSE_PLUGIN = 3,
    PLUGIN_GET_DESCRIPTION = 4,
    PLUGIN_ON_LEVEL_INIT = 5,
    PLUGIN_ON_SERVER_ACTIVATE = 6,
    PLUGIN_ON_GAME_FRAME = 7,
    PLUGIN_ON_LEVEL_SHUTDOWN = 8,
    PLUGIN_ON_CLIENT_ACTIVE = 9,
    PLUGIN_ON_CLIENT_DISCONNECT = 10,
    PLUGIN_ON_CLIENT_PUT_IN_SERVER = 11,
    PLUGIN_ON_SET_COMMAND_CLIENT = 12,
    PLUGIN_ON_CLIENT_SETTINGS_CHANGED = 13,
    PLUGIN_ON_CLIENT_CONNECT = 14,
    PLUGIN_ON_CLIENT_COMMAND = 15,
    PLUGIN_ON_NETWORK_ID_VALIDATED = 16,
    PLUGIN_ON_CVAR_QUERY_FINISHED = 17,
    PLUGIN_POSITIONS = 18,
};

// Borrows the object; whoever loaded the module keeps it alive. Entities and command arguments
// are opaque to the caller and passed through untouched.
class PluginByPosition {
public:
    explicit PluginByPosition(void* pPlugin) : m_pPlugin(pPlugin) {}

    void* Object() const { return m_pPlugin; }

    bool LoadPlugin(InterfaceFactory pfnEngineFactory, InterfaceFactory pfnGameServerFactory) const;
    void UnloadPlugin() const;
    void PausePlugin() const;
    void UnpausePlugin() const;
    const char* GetDescription() const;
    void OnLevelInit(const char* pszMapName) const;
    void OnServerActivate(void* pEntityList, int nEntityCount, int nMaxClients) const;
    void OnGameFrame(bool bSimulating) const;
    void OnLevelShutdown() const;
    void OnClientActive(void* pEntity) const;
    void OnClientDisconnect(void* pEntity) const;
    void OnClientPutInServer(void* pEntity, const char* pszPlayerName) const;
    void OnSetCommandClient(int nClientIndex) const;
    void OnClientSettingsChanged(void* pEntity) const;
    int OnClientConnect(bool* pbAllowConnect, void* pEntity, const char* pszName,
                        const char* pszAddress, char* pszRejectMessage,
                        int nRejectMessageLength) const;
    int OnClientCommand(void* pEntity, const void* pArguments) const;
    int OnNetworkIdValidated(const char* pszUserName, const char* pszNetworkId) const;
    void OnCvarQueryFinished(int nQueryCookie, void* pEntity, int nStatus,
                             const char* pszVariableName, const char* pszVariableValue) const;

private:
    template <typename Result, typename... Arguments>
    Result Call(PluginPosition position, Arguments... arguments) const;

    void* m_pPlugin;
};
