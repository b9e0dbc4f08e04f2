// The plug-in's table as the host sees it: one raw entry per position, each called with the
// object as its first argument in the host's member-call convention.
#include "tools/host/plugin_by_position.h"

#include "platform/module/linkage.h"

template <typename Result, typename... Arguments>
Result PluginByPosition::Call(PluginPosition position, Arguments... arguments) const {
    using Entry = Result(TAVREL_THISCALL*)(void*, Arguments...);
    // The object's first word points at its table of entries.
    Entry* pTable = *static_cast<Entry**>(m_pPlugin);
    return pTable[position](m_pPlugin, arguments...);
}

bool PluginByPosition::LoadPlugin(InterfaceFactory pfnEngineFactory,
                                  InterfaceFactory pfnGameServerFactory) const {
    return Call<bool>(PLUGIN_LOAD_PLUGIN, pfnEngineFactory, pfnGameServerFactory);
}
void PluginByPosition::UnloadPlugin() const {
    Call<void>(PLUGIN_UNLOAD_PLUGIN);
}
void PluginByPosition::PausePlugin() const {
    Call<void>(PLUGIN_PAUSE_PLUGIN);
}
void PluginByPosition::UnpausePlugin() const {
    Call<void>(PLUGIN_UNPAUSE_PLUGIN);
}
const char* PluginByPosition::GetDescription() const {
    return Call<const char*>(PLUGIN_GET_DESCRIPTION);
}
void PluginByPosition::OnLevelInit(const char* pszMapName) const {
    Call<void>(PLUGIN_ON_LEVEL_INIT, pszMapName);
}
void PluginByPosition::OnServerActivate(void* pEntityList, int nEntityCount,
                                        int nMaxClients) const {
    Call<void>(PLUGIN_ON_SERVER_ACTIVATE, pEntityList, nEntityCount, nMaxClients);
}
void PluginByPosition::OnGameFrame(bool bSimulating) const {
    Call<void>(PLUGIN_ON_GAME_FRAME, bSimulating);
}
void PluginByPosition::OnLevelShutdown() const {
    Call<void>(PLUGIN_ON_LEVEL_SHUTDOWN);
}
void PluginByPosition::OnClientActive(void* pEntity) const {
    Call<void>(PLUGIN_ON_CLIENT_ACTIVE, pEntity);
}
void PluginByPosition::OnClientDisconnect(void* pEntity) const {
    Call<void>(PLUGIN_ON_CLIENT_DISCONNECT, pEntity);
}
void PluginByPosition::OnClientPutInServer(void* pEntity, const char* pszPlayerName) const {
    Call<void>(PLUGIN_ON_CLIENT_PUT_IN_SERVER, pEntity, pszPlayerName);
}
void PluginByPosition::OnSetCommandClient(int nClientIndex) const {
    Call<void>(PLUGIN_ON_SET_COMMAND_CLIENT, nClientIndex);
}
void PluginByPosition::OnClientSettingsChanged(void* pEntity) const {
    Call<void>(PLUGIN_ON_CLIENT_SETTINGS_CHANGED, pEntity);
}
int PluginByPosition::OnClientConnect(bool* pbAllowConnect, void* pEntity, const char* pszName,
                                      const char* pszAddress, char* pszRejectMessage,
                                      int nRejectMessageLength) const {
    return Call<int>(PLUGIN_ON_CLIENT_CONNECT, pbAllowConnect, pEntity, pszName, pszAddress,
                     pszRejectMessage, nRejectMessageLength);
}
int PluginByPosition::OnClientCommand(void* pEntity, const void* pArguments) const {
    return Call<int>(PLUGIN_ON_CLIENT_COMMAND, pEntity, pArguments);
}
int PluginByPosition::OnNetworkIdValidated(const char* pszUserName,
                                           const char* pszNetworkId) const {
    return Call<int>(PLUGIN_ON_NETWORK_ID_VALIDATED, pszUserName, pszNetworkId);
}
void PluginByPosition::OnCvarQueryFinished(int nQueryCookie, void* pEntity, int nStatus,
                                           const char* pszVariableName,
                                           const char* pszVariableValue) const {
    Call<void>(PLUGIN_ON_CVAR_QUERY_FINISHED, nQueryCookie, pEntity, nStatus, pszVariableName,
               pszVariableValue);
}
