// The stand-in host's calls by position against a plug-in made of ordinary virtual member
// functions: whatever the compiler's own member-call convention expects (on 32-bit Windows, the
// object in ECX and the callee clearing the stack), the raw entries must deliver the object, every
// argument and the result unchanged.
#include "tools/host/plugin_by_position.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <sstream>
#include <string>

namespace {

// Kept outside the object, so a call that delivers the wrong object still leaves a record.
struct CallRecord {
    int m_nPosition = -1;
    const void* m_pThis = nullptr;
    std::string m_strArguments;
};

CallRecord g_LastCall;

template <typename... Arguments> void Record(int nPosition, const void* pThis, Arguments... args) {
    std::ostringstream text;
    ((text << args << ';'), ...);
    g_LastCall = CallRecord{nPosition, pThis, text.str()};
}

const char DESCRIPTION[] = "recording plug-in";

// Declared in table order and with nothing else virtual, so the compiler puts each operation at
// the position the host calls.
class CRecordingPlugin {
public:
    virtual bool LoadPlugin(InterfaceFactory pfnEngine, InterfaceFactory pfnGameServer) {
        Record(0, this, reinterpret_cast<void*>(pfnEngine), reinterpret_cast<void*>(pfnGameServer));
        return true;
    }
    virtual void UnloadPlugin() { Record(1, this); }
    virtual void PausePlugin() { Record(2, this); }
    virtual void UnpausePlugin() { Record(3, this); }
    virtual const char* GetDescription() {
        Record(4, this);
        return DESCRIPTION;
    }
    virtual void OnLevelInit(const char* pszMapName) { Record(5, this, pszMapName); }
    virtual void OnServerActivate(void* pEntityList, int nEntityCount, int nMaxClients) {
        Record(6, this, pEntityList, nEntityCount, nMaxClients);
    }
    virtual void OnGameFrame(bool bSimulating) { Record(7, this, bSimulating); }
    virtual void OnLevelShutdown() { Record(8, this); }
    virtual void OnClientActive(void* pEntity) { Record(9, this, pEntity); }
    virtual void OnClientDisconnect(void* pEntity) { Record(10, this, pEntity); }
    virtual void OnClientPutInServer(void* pEntity, const char* pszPlayerName) {
        Record(11, this, pEntity, pszPlayerName);
    }
    virtual void OnSetCommandClient(int nClientIndex) { Record(12, this, nClientIndex); }
    virtual void OnClientSettingsChanged(void* pEntity) { Record(13, this, pEntity); }
    virtual int OnClientConnect(bool* pbAllowConnect, void* pEntity, const char* pszName,
                                const char* pszAddress, char* pszRejectMessage,
                                int nRejectMessageLength) {
        Record(14, this, static_cast<void*>(pbAllowConnect), pEntity, pszName, pszAddress,
               static_cast<void*>(pszRejectMessage), nRejectMessageLength);
        return 2;
    }
    virtual int OnClientCommand(void* pEntity, const void* pArguments) {
        Record(15, this, pEntity, pArguments);
        return 1;
    }
    virtual int OnNetworkIdValidated(const char* pszUserName, const char* pszNetworkId) {
        Record(16, this, pszUserName, pszNetworkId);
        return 3;
    }
    virtual void OnCvarQueryFinished(int nQueryCookie, void* pEntity, int nStatus,
                                     const char* pszVariableName, const char* pszVariableValue) {
        Record(17, this, nQueryCookie, pEntity, nStatus, pszVariableName, pszVariableValue);
    }
};

void* ServeNothing(const char*, int*) {
    return nullptr;
}
void* AlsoServeNothing(const char*, int*) {
    return nullptr;
}

int g_Entity[2];
void* const ENTITY = &g_Entity[0];
const void* const ARGUMENTS = &g_Entity[1];
bool g_bAllow = true;
char g_RejectMessage[8];

std::string Text(const void* pAddress) {
    std::ostringstream text;
    text << pAddress;
    return text.str();
}

struct PositionCase {
    const char* m_pszLabel;
    int m_nPosition;
    std::function<std::string(const PluginByPosition&)> m_Call; // the result, as text
    std::string m_strArguments;
    std::string m_strResult;
};

void PrintTo(const PositionCase& position, std::ostream* pStream) {
    *pStream << position.m_pszLabel;
}

class CallByPosition : public testing::TestWithParam<PositionCase> {};

TEST_P(CallByPosition, DeliversTheObjectTheArgumentsAndTheResult) {
    CRecordingPlugin plugin;
    PluginByPosition caller(&plugin);
    g_LastCall = CallRecord{};
    std::string result = GetParam().m_Call(caller);
    EXPECT_EQ(g_LastCall.m_nPosition, GetParam().m_nPosition);
    EXPECT_EQ(g_LastCall.m_pThis, static_cast<const void*>(&plugin));
    EXPECT_EQ(g_LastCall.m_strArguments, GetParam().m_strArguments);
    EXPECT_EQ(result, GetParam().m_strResult);
}

std::string None(const std::function<void()>& call) {
    call();
    return "";
}

INSTANTIATE_TEST_SUITE_P(
    Positions, CallByPosition,
    testing::Values(
        PositionCase{"LoadPlugin", 0,
                     [](const PluginByPosition& plugin) {
                         return std::to_string(plugin.LoadPlugin(&ServeNothing, &AlsoServeNothing));
                     },
                     Text(reinterpret_cast<void*>(&ServeNothing)) + ";" +
                         Text(reinterpret_cast<void*>(&AlsoServeNothing)) + ";",
                     "1"},
        PositionCase{
            "UnloadPlugin", 1,
            [](const PluginByPosition& plugin) { return None([&] { plugin.UnloadPlugin(); }); }, "",
            ""},
        PositionCase{
            "PausePlugin", 2,
            [](const PluginByPosition& plugin) { return None([&] { plugin.PausePlugin(); }); }, "",
            ""},
        PositionCase{
            "UnpausePlugin", 3,
            [](const PluginByPosition& plugin) { return None([&] { plugin.UnpausePlugin(); }); },
            "", ""},
        PositionCase{"GetDescription", 4,
                     [](const PluginByPosition& plugin) { return Text(plugin.GetDescription()); },
                     "", Text(DESCRIPTION)},
        PositionCase{"OnLevelInit", 5,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnLevelInit("map_one"); });
                     },
                     "map_one;", ""},
        PositionCase{"OnServerActivate", 6,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnServerActivate(ENTITY, -5, 32); });
                     },
                     Text(ENTITY) + ";-5;32;", ""},
        PositionCase{
            "OnGameFrameSimulating", 7,
            [](const PluginByPosition& plugin) { return None([&] { plugin.OnGameFrame(true); }); },
            "1;", ""},
        PositionCase{
            "OnGameFrameIdle", 7,
            [](const PluginByPosition& plugin) { return None([&] { plugin.OnGameFrame(false); }); },
            "0;", ""},
        PositionCase{
            "OnLevelShutdown", 8,
            [](const PluginByPosition& plugin) { return None([&] { plugin.OnLevelShutdown(); }); },
            "", ""},
        PositionCase{"OnClientActive", 9,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnClientActive(ENTITY); });
                     },
                     Text(ENTITY) + ";", ""},
        PositionCase{"OnClientDisconnect", 10,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnClientDisconnect(ENTITY); });
                     },
                     Text(ENTITY) + ";", ""},
        PositionCase{"OnClientPutInServer", 11,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnClientPutInServer(ENTITY, "player"); });
                     },
                     Text(ENTITY) + ";player;", ""},
        PositionCase{"OnSetCommandClient", 12,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnSetCommandClient(7); });
                     },
                     "7;", ""},
        PositionCase{"OnClientSettingsChanged", 13,
                     [](const PluginByPosition& plugin) {
                         return None([&] { plugin.OnClientSettingsChanged(ENTITY); });
                     },
                     Text(ENTITY) + ";", ""},
        PositionCase{"OnClientConnect", 14,
                     [](const PluginByPosition& plugin) {
                         return std::to_string(plugin.OnClientConnect(
                             &g_bAllow, ENTITY, "player", "10.0.0.1:27005", g_RejectMessage, 8));
                     },
                     Text(&g_bAllow) + ";" + Text(ENTITY) + ";player;10.0.0.1:27005;" +
                         Text(g_RejectMessage) + ";8;",
                     "2"},
        PositionCase{"OnClientCommand", 15,
                     [](const PluginByPosition& plugin) {
                         return std::to_string(plugin.OnClientCommand(ENTITY, ARGUMENTS));
                     },
                     Text(ENTITY) + ";" + Text(ARGUMENTS) + ";", "1"},
        PositionCase{"OnNetworkIdValidated", 16,
                     [](const PluginByPosition& plugin) {
                         return std::to_string(plugin.OnNetworkIdValidated("player", "ID:0:1:2"));
                     },
                     "player;ID:0:1:2;", "3"},
        PositionCase{"OnCvarQueryFinished", 17,
                     [](const PluginByPosition& plugin) {
                         return None(
                             [&] { plugin.OnCvarQueryFinished(41, ENTITY, -2, "sv_cheats", "0"); });
                     },
                     "41;" + Text(ENTITY) + ";-2;sv_cheats;0;", ""}),
    [](const testing::TestParamInfo<PositionCase>& info) { return info.param.m_pszLabel; });

} // namespace
