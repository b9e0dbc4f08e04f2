// The plug-in object the host receives from CreateInterface. It has no data of its own: its state
// is the relay's and the library connection's module-level state.
#pragma once

#include "host/server_plugin_callbacks.h"

#define TAVREL_PLUGIN_DESCRIPTION "Tavrel, by the Tavrel developers"

class CTavrelServerPlugin final : public IServerPluginCallbacks {
public:
    constexpr CTavrelServerPlugin() = default;
    CTavrelServerPlugin(const CTavrelServerPlugin&) = delete;
    CTavrelServerPlugin& operator=(const CTavrelServerPlugin&) = delete;

    bool LoadPlugin(InterfaceFactory pfnEngineFactory,
                    InterfaceFactory pfnGameServerFactory) override;
    void UnloadPlugin() override;
    void PausePlugin() override;
    void UnpausePlugin() override;
    const char* GetDescription() override;
    void OnLevelInit(const char* pszMapName) override;
    void OnServerActivate(ClientEntity* pEntityList, int nEntityCount, int nMaxClients) override;
    void OnGameFrame(bool bSimulating) override;
    void OnLevelShutdown() override;
    void OnClientActive(ClientEntity* pEntity) override;
    void OnClientDisconnect(ClientEntity* pEntity) override;
    void OnClientPutInServer(ClientEntity* pEntity, const char* pszPlayerName) override;
    void OnSetCommandClient(int nClientIndex) override;
    void OnClientSettingsChanged(ClientEntity* pEntity) override;
    PluginResult OnClientConnect(bool* pbAllowConnect, ClientEntity* pEntity, const char* pszName,
                                 const char* pszAddress, char* pszRejectMessage,
                                 int nRejectMessageLength) override;
    PluginResult OnClientCommand(ClientEntity* pEntity,
                                 const CommandArguments* pArguments) override;
    PluginResult OnNetworkIdValidated(const char* pszUserName, const char* pszNetworkId) override;
    void OnCvarQueryFinished(int nQueryCookie, ClientEntity* pEntity, int nStatus,
                             const char* pszVariableName, const char* pszVariableValue) override;
};

// The one instance; constant-initialised, so it exists before any start-up code runs.
extern CTavrelServerPlugin g_TavrelServerPlugin;
