// The host's plug-in callback interface. The host calls these eighteen operations by position, so
// their order is the contract; argument types the module never looks into stay opaque.
#pragma once

#include "host/interface_factory.h"

#define SERVER_PLUGIN_CALLBACKS_INTERFACE_NAME "ISERVERPLUGINCALLBACKS002"

struct ClientEntity;
class CommandArguments;

enum PluginResult : int {
    PLUGIN_RESULT_CONTINUE = 0,
    PLUGIN_RESULT_OVERRIDE = 1,
    PLUGIN_RESULT_STOP = 2,
};

class IServerPluginCallbacks {
public:
    virtual bool LoadPlugin(InterfaceFactory pfnEngineFactory,
                            InterfaceFactory pfnGameServerFactory) = 0; //  0
    virtual void UnloadPlugin() = 0;                                    //  1
    virtual void PausePlugin() = 0;                                     //  2
    virtual void UnpausePlugin() = 0;                                   //  3
    virtual const char* GetDescription() = 0;                           //  4
    virtual void OnLevelInit(const char* pszMapName) = 0;               //  5
    virtual void OnServerActivate(ClientEntity* pEntityList, int nEntityCount,
                                  int nMaxClients) = 0;                                     //  6
    virtual void OnGameFrame(bool bSimulating) = 0;                                         //  7
    virtual void OnLevelShutdown() = 0;                                                     //  8
    virtual void OnClientActive(ClientEntity* pEntity) = 0;                                 //  9
    virtual void OnClientDisconnect(ClientEntity* pEntity) = 0;                             // 10
    virtual void OnClientPutInServer(ClientEntity* pEntity, const char* pszPlayerName) = 0; // 11
    virtual void OnSetCommandClient(int nClientIndex) = 0;                                  // 12
    virtual void OnClientSettingsChanged(ClientEntity* pEntity) = 0;                        // 13
    virtual PluginResult OnClientConnect(bool* pbAllowConnect, ClientEntity* pEntity,
                                         const char* pszName, const char* pszAddress,
                                         char* pszRejectMessage,
                                         int nRejectMessageLength) = 0; // 14
    virtual PluginResult OnClientCommand(ClientEntity* pEntity,
                                         const CommandArguments* pArguments) = 0; // 15
    virtual PluginResult OnNetworkIdValidated(const char* pszUserName,
                                              const char* pszNetworkId) = 0; // 16
    virtual void OnCvarQueryFinished(int nQueryCookie, ClientEntity* pEntity, int nStatus,
                                     const char* pszVariableName,
                                     const char* pszVariableValue) = 0; // 17

protected:
    ~IServerPluginCallbacks() = default;
};
