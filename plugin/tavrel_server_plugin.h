// The plug-in object the host receives from CreateInterface, and the plug-in's version variable.
// The object has no data of its own: its state is the relay's and the library connection's
// module-level state.
#pragma once

#include "console/console_variable.h"
#include "host/server_plugin_callbacks.h"
#include "runtime/static_object.h"

#define TAVREL_PLUGIN_DESCRIPTION "Tavrel, by the Tavrel developers"

#define TAVREL_VERSION_VARIABLE_NAME "tavrel_version"
#define TAVREL_VERSION_VARIABLE_VALUE "0.1"
#define TAVREL_VERSION_VARIABLE_HELP "Tavrel Plugin Version"

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

// The plug-in's version variable, registered with the host at load. The start-up routine
// constructs it before the empty variable and destroys it after that one.
extern CStaticObject<ConVar> g_VersionVariable;

void ConstructVersionVariable();
void DestroyVersionVariable();
