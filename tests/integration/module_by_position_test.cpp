// The built module, loaded as a server loads it and called only by position: its export, every
// plug-in operation at its place in the table, and the relay reaching the engine's entry 36.
#include "platform/module/command_pipe.h"
#include "plugin/command_protocol.h"
#include "tests/integration/loaded_module.h"
#include "tests/support/test_client.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/stand_in_console_service.h"
#include "tools/host/stand_in_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char PLUGIN_INTERFACE[] = "ISERVERPLUGINCALLBACKS002";

std::vector<std::string> g_IssuedCommands;

void RecordCommand(const char* pszText, void*) {
    g_IssuedCommands.emplace_back(pszText);
}

void* ServeNothing(const char*, int* pnStatus) {
    if (pnStatus != nullptr) {
        *pnStatus = INTERFACE_STATUS_FAILED;
    }
    return nullptr;
}

// Holds the pipe's name the way another process would, until released.
class NameHolder {
public:
    NameHolder() : m_hPipe(CreateCommandPipe(COMMAND_PIPE_NAME)) {}
    ~NameHolder() {
        if (Holds()) {
            CloseCommandPipe(m_hPipe);
        }
    }
    bool Holds() const { return m_hPipe != INVALID_COMMAND_PIPE_HANDLE; }

private:
    CommandPipeHandle m_hPipe;
};

class LoadedModule : public testing::Test {
protected:
    void SetUp() override {
        g_IssuedCommands.clear();
        SetServerCommandSink(&RecordCommand, nullptr);
        std::string error;
        ASSERT_TRUE(m_Module.Open(&error)) << error;
        m_pfnCreateInterface = m_Module.CreateInterfaceExport();
        m_Plugin = PluginByPosition(m_Module.Plugin());
    }

    void TearDown() override {
        if (m_bPluginLoaded) {
            m_Plugin.UnloadPlugin();
        }
        m_Module.Close();
        SetServerCommandSink(nullptr, nullptr);
    }

    bool Load(InterfaceFactory pfnEngineFactory = &StandInEngineFactory) {
        m_bPluginLoaded = m_Plugin.LoadPlugin(pfnEngineFactory, &StandInGameServerFactory);
        return m_bPluginLoaded;
    }

    // A client writes one message and leaves; the next frame must hand it to the engine.
    void ExpectRelayWorks(const std::string& message) {
        CTestClient client;
        ASSERT_TRUE(client.Connect(COMMAND_PIPE_NAME));
        ASSERT_TRUE(client.Send(message));
        client.Disconnect();
        g_IssuedCommands.clear();
        m_Plugin.OnGameFrame(true);
        EXPECT_EQ(g_IssuedCommands, std::vector<std::string>{message + "\n"});
    }

    CLoadedModule m_Module;
    InterfaceFactory m_pfnCreateInterface = nullptr;
    PluginByPosition m_Plugin{nullptr};
    bool m_bPluginLoaded = false;
};

struct LookupCase {
    const char* m_pszLabel;
    const char* m_pszName;
};

void PrintTo(const LookupCase& lookup, std::ostream* pStream) {
    *pStream << lookup.m_pszLabel;
}

class InterfaceLookup : public LoadedModule, public testing::WithParamInterface<LookupCase> {};

TEST_P(InterfaceLookup, NearMissNamesAreNotServed) {
    int nStatus = -7;
    EXPECT_EQ(m_pfnCreateInterface(GetParam().m_pszName, &nStatus), nullptr);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_FAILED);
    EXPECT_EQ(m_pfnCreateInterface(GetParam().m_pszName, nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Names, InterfaceLookup,
                         testing::Values(LookupCase{"LowerCase", "iserverplugincallbacks002"},
                                         LookupCase{"MixedCase", "IServerPluginCallbacks002"},
                                         LookupCase{"OlderVersion", "ISERVERPLUGINCALLBACKS001"},
                                         LookupCase{"NewerVersion", "ISERVERPLUGINCALLBACKS003"},
                                         LookupCase{"VersionCut", "ISERVERPLUGINCALLBACKS00"},
                                         LookupCase{"VersionLonger", "ISERVERPLUGINCALLBACKS0020"},
                                         LookupCase{"Empty", ""}),
                         [](const testing::TestParamInfo<LookupCase>& info) {
                             return info.param.m_pszLabel;
                         });

TEST_F(LoadedModule, PluginNameServesOneObjectWithStatusZero) {
    int nFirstStatus = -7;
    int nSecondStatus = -7;
    void* pFirst = m_pfnCreateInterface(PLUGIN_INTERFACE, &nFirstStatus);
    void* pSecond = m_pfnCreateInterface(PLUGIN_INTERFACE, &nSecondStatus);
    EXPECT_EQ(nFirstStatus, INTERFACE_STATUS_OK);
    EXPECT_EQ(nSecondStatus, INTERFACE_STATUS_OK);
    EXPECT_EQ(pFirst, pSecond);
    EXPECT_EQ(m_pfnCreateInterface(PLUGIN_INTERFACE, nullptr), pFirst);
}

TEST_F(LoadedModule, ExportsTheConsoleServicePointers) {
    EXPECT_NE(m_Module.Symbol("cvar"), nullptr);
    EXPECT_NE(m_Module.Symbol("g_pCVar"), nullptr);
}

TEST_F(LoadedModule, DescriptionNamesThePluginAndStaysTheSame) {
    ASSERT_TRUE(Load());
    std::string description = m_Plugin.GetDescription();
    EXPECT_EQ(description.rfind("Tavrel, ", 0), 0u) << description;
    EXPECT_GT(description.size(), std::strlen("Tavrel, "));
    EXPECT_EQ(m_Plugin.GetDescription(), description);
}

TEST_F(LoadedModule, LoadFailsWhileAnotherHolderHasThePipeName) {
    {
        NameHolder holder;
        ASSERT_TRUE(holder.Holds());
        EXPECT_FALSE(Load());
        // The host may unload a plug-in whose load failed; that must not touch the holder's pipe.
        m_Plugin.UnloadPlugin();
    }
    // The failed load kept no handle: once the name is free, a load takes it and relays.
    ASSERT_TRUE(Load());
    ExpectRelayWorks("status");
}

TEST_F(LoadedModule, LoadFailsWithoutTheEngineServerAndLeavesThePipeNameFree) {
    EXPECT_FALSE(Load(&ServeNothing));
    NameHolder holder;
    EXPECT_TRUE(holder.Holds());
}

TEST_F(LoadedModule, SecondUnloadIsHarmlessAndTheNameIsFreeAfterwards) {
    ASSERT_TRUE(Load());
    m_Plugin.UnloadPlugin();
    m_Plugin.UnloadPlugin();
    m_bPluginLoaded = false;
    NameHolder holder;
    EXPECT_TRUE(holder.Holds());
}

// A second load reaches the same object while it is loaded, with whatever factory the host
// passes this time.
class SecondLoad : public LoadedModule, public testing::WithParamInterface<InterfaceFactory> {};

TEST_P(SecondLoad, ChangesNothingAndUnloadFreesTheName) {
    ASSERT_TRUE(Load());
    EXPECT_FALSE(m_Plugin.LoadPlugin(GetParam(), &StandInGameServerFactory));
    ExpectRelayWorks("echo still-serving");

    m_Plugin.UnloadPlugin();
    m_bPluginLoaded = false;
    {
        NameHolder holder;
        EXPECT_TRUE(holder.Holds()) << "unload left the pipe's name held";
    }
    ASSERT_TRUE(Load());
    ExpectRelayWorks("echo loaded-again");
}

INSTANTIATE_TEST_SUITE_P(Factories, SecondLoad,
                         testing::Values(&StandInEngineFactory, &ServeNothing),
                         [](const testing::TestParamInfo<InterfaceFactory>& info) {
                             return info.param == &StandInEngineFactory ? "SameFactory"
                                                                        : "FactoryServingNothing";
                         });

// Both exports hold the console service from load to unload, and nothing outside that.
TEST_F(LoadedModule, LoadConnectsTheConsoleServiceAndUnloadForgetsIt) {
    void* const* ppCvar = static_cast<void* const*>(m_Module.Symbol("cvar"));
    void* const* ppCVarAlias = static_cast<void* const*>(m_Module.Symbol("g_pCVar"));
    ASSERT_NE(ppCvar, nullptr);
    ASSERT_NE(ppCVarAlias, nullptr);
    EXPECT_EQ(*ppCvar, nullptr);

    ASSERT_TRUE(Load());
    EXPECT_EQ(*ppCvar, StandInConsoleService());
    EXPECT_EQ(*ppCVarAlias, StandInConsoleService());

    m_Plugin.UnloadPlugin();
    m_bPluginLoaded = false;
    EXPECT_EQ(*ppCvar, nullptr);
    EXPECT_EQ(*ppCVarAlias, nullptr);
}

TEST_F(LoadedModule, FrameRelaysThroughTheEngineEntry) {
    ASSERT_TRUE(Load());
    for (int i = 0; i < 5; ++i) {
        m_Plugin.OnGameFrame(true);
    }
    EXPECT_TRUE(g_IssuedCommands.empty()) << "idle frames issued something";
    ExpectRelayWorks("status");
}

// Every operation that must be accepted and ignored, each at its own position. A wrong position
// would land on load, unload or the frame, and the relay check afterwards would notice.
struct IgnoredOperation {
    const char* m_pszLabel;
    std::function<int(const PluginByPosition&)> m_Call;
};

void PrintTo(const IgnoredOperation& operation, std::ostream* pStream) {
    *pStream << operation.m_pszLabel;
}

class IgnoredOperations : public LoadedModule,
                          public testing::WithParamInterface<IgnoredOperation> {};

TEST_P(IgnoredOperations, ReturnContinueIssueNothingAndKeepTheRelay) {
    ASSERT_TRUE(Load());
    g_IssuedCommands.clear();
    EXPECT_EQ(GetParam().m_Call(m_Plugin), 0);
    EXPECT_TRUE(g_IssuedCommands.empty());
    ExpectRelayWorks("echo still relaying");
}

int g_EntityStandIn[4];
void* const ENTITY = &g_EntityStandIn;

INSTANTIATE_TEST_SUITE_P(
    Positions, IgnoredOperations,
    testing::Values(IgnoredOperation{"PausePlugin",
                                     [](const PluginByPosition& plugin) {
                                         plugin.PausePlugin();
                                         return 0;
                                     }},
                    IgnoredOperation{"UnpausePlugin",
                                     [](const PluginByPosition& plugin) {
                                         plugin.UnpausePlugin();
                                         return 0;
                                     }},
                    IgnoredOperation{"OnLevelInit",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnLevelInit("de_map");
                                         return 0;
                                     }},
                    IgnoredOperation{"OnServerActivate",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnServerActivate(ENTITY, 1, 32);
                                         return 0;
                                     }},
                    IgnoredOperation{"OnLevelShutdown",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnLevelShutdown();
                                         return 0;
                                     }},
                    IgnoredOperation{"OnClientActive",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnClientActive(ENTITY);
                                         return 0;
                                     }},
                    IgnoredOperation{"OnClientDisconnect",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnClientDisconnect(ENTITY);
                                         return 0;
                                     }},
                    IgnoredOperation{"OnClientPutInServer",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnClientPutInServer(ENTITY, "player");
                                         return 0;
                                     }},
                    IgnoredOperation{"OnSetCommandClient",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnSetCommandClient(3);
                                         return 0;
                                     }},
                    IgnoredOperation{"OnClientSettingsChanged",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnClientSettingsChanged(ENTITY);
                                         return 0;
                                     }},
                    IgnoredOperation{"OnClientCommand",
                                     [](const PluginByPosition& plugin) {
                                         return plugin.OnClientCommand(ENTITY, &g_EntityStandIn[1]);
                                     }},
                    IgnoredOperation{"OnNetworkIdValidated",
                                     [](const PluginByPosition& plugin) {
                                         return plugin.OnNetworkIdValidated("player", "ID:0:1:2");
                                     }},
                    IgnoredOperation{"OnCvarQueryFinished",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnCvarQueryFinished(7, ENTITY, 0, "sv_cheats", "0");
                                         return 0;
                                     }},
                    IgnoredOperation{"OnGameFrameNotSimulating",
                                     [](const PluginByPosition& plugin) {
                                         plugin.OnGameFrame(false);
                                         return 0;
                                     }}),
    [](const testing::TestParamInfo<IgnoredOperation>& info) { return info.param.m_pszLabel; });

class ClientConnect : public LoadedModule, public testing::WithParamInterface<bool> {};

TEST_P(ClientConnect, ContinuesAndTouchesNeitherFlagNorRejectBuffer) {
    ASSERT_TRUE(Load());
    bool bAllow = GetParam();
    char rejectMessage[64];
    std::memset(rejectMessage, 'x', sizeof(rejectMessage));
    EXPECT_EQ(m_Plugin.OnClientConnect(&bAllow, ENTITY, "player", "127.0.0.1:27005", rejectMessage,
                                       sizeof(rejectMessage)),
              0);
    EXPECT_EQ(bAllow, GetParam());
    for (char c : rejectMessage) {
        ASSERT_EQ(c, 'x');
    }
    EXPECT_TRUE(g_IssuedCommands.empty());
    ExpectRelayWorks("echo still relaying");
}

INSTANTIATE_TEST_SUITE_P(AllowFlag, ClientConnect, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Allowed" : "Refused";
                         });

} // namespace
