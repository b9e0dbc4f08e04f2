// The plug-in's callbacks: load, unload and the frame do the work; the rest are accepted and
// ignored. Also the version variable.
#include "plugin/tavrel_server_plugin.h"

#include "connect/library_connection.h"
#include "plugin/command_relay.h"
#include "plugin/load_steps.h"

CTavrelServerPlugin g_TavrelServerPlugin;
CStaticObject<ConVar> g_VersionVariable;

void ConstructVersionVariable() {
    g_VersionVariable.Construct(TAVREL_VERSION_VARIABLE_NAME, TAVREL_VERSION_VARIABLE_VALUE, 0u,
                                TAVREL_VERSION_VARIABLE_HELP);
}

void DestroyVersionVariable() {
    g_VersionVariable.Destroy();
}

bool CTavrelServerPlugin::LoadPlugin(InterfaceFactory pfnEngineFactory,
                                     InterfaceFactory /*pfnGameServerFactory*/) {
    // A second load reaches this same object while it is loaded: it changes nothing, so the
    // running relay keeps its pipe and its connections.
    if (CommandRelayIsOpen()) {
        return false;
    }
    // A failed load leaves these connected; the host unloads the module after a failed load.
    ConnectConsoleServices(&pfnEngineFactory, 1);
    ConnectEngineSystems(&pfnEngineFactory, 1);
    g_pServerEngine = static_cast<EngineServerInterface*>(
        pfnEngineFactory(ENGINE_SERVER_INTERFACE_NAME, nullptr));
    if (g_pServerEngine == nullptr) {
        return false;
    }
    if (!OpenCommandRelay()) {
        return false;
    }
    StartMathLibraryAtLoad();
    RegisterConsoleObjectsAtLoad();
    return true;
}

void CTavrelServerPlugin::UnloadPlugin() {
    CloseCommandRelay();
    UnregisterConsoleObjectsAtUnload();
    DisconnectEngineSystems();
    DisconnectConsoleServices();
}

void CTavrelServerPlugin::PausePlugin() {}

void CTavrelServerPlugin::UnpausePlugin() {}

const char* CTavrelServerPlugin::GetDescription() {
    return TAVREL_PLUGIN_DESCRIPTION;
}

void CTavrelServerPlugin::OnLevelInit(const char* /*pszMapName*/) {}

void CTavrelServerPlugin::OnServerActivate(ClientEntity* /*pEntityList*/, int /*nEntityCount*/,
                                           int /*nMaxClients*/) {}

void CTavrelServerPlugin::OnGameFrame(bool /*bSimulating*/) {
    RelayPendingCommands();
}

void CTavrelServerPlugin::OnLevelShutdown() {}

void CTavrelServerPlugin::OnClientActive(ClientEntity* /*pEntity*/) {}

void CTavrelServerPlugin::OnClientDisconnect(ClientEntity* /*pEntity*/) {}

void CTavrelServerPlugin::OnClientPutInServer(ClientEntity* /*pEntity*/,
                                              const char* /*pszPlayerName*/) {}

void CTavrelServerPlugin::OnSetCommandClient(int /*nClientIndex*/) {}

void CTavrelServerPlugin::OnClientSettingsChanged(ClientEntity* /*pEntity*/) {}

PluginResult
CTavrelServerPlugin::OnClientConnect(bool* /*pbAllowConnect*/, ClientEntity* /*pEntity*/,
                                     const char* /*pszName*/, const char* /*pszAddress*/,
                                     char* /*pszRejectMessage*/, int /*nRejectMessageLength*/) {
    return PLUGIN_RESULT_CONTINUE;
}

PluginResult CTavrelServerPlugin::OnClientCommand(ClientEntity* /*pEntity*/,
                                                  const CommandArguments* /*pArguments*/) {
    return PLUGIN_RESULT_CONTINUE;
}

PluginResult CTavrelServerPlugin::OnNetworkIdValidated(const char* /*pszUserName*/,
                                                       const char* /*pszNetworkId*/) {
    return PLUGIN_RESULT_CONTINUE;
}

void CTavrelServerPlugin::OnCvarQueryFinished(int /*nQueryCookie*/, ClientEntity* /*pEntity*/,
                                              int /*nStatus*/, const char* /*pszVariableName*/,
                                              const char* /*pszVariableValue*/) {}
