// The stand-in host's own parts, without a module: its console, its command line and the
// engine-server and console-variable service tables it hands to plug-ins.
#include "platform/module/linkage.h"
#include "tools/host/server_console.h"
#include "tools/host/stand_in_console_service.h"
#include "tools/host/stand_in_engine.h"
#include "tools/host/stand_in_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct ConsoleCase {
    const char* m_pszLabel;
    const char* m_pszText;
    std::vector<std::string> m_Output;
    bool m_bQuits;
};

void PrintTo(const ConsoleCase& console, std::ostream* pStream) {
    *pStream << console.m_pszLabel;
}

class ConsoleText : public testing::TestWithParam<ConsoleCase> {};

TEST_P(ConsoleText, RunsEachLineAfterEchoingIt) {
    std::ostringstream output;
    ServerConsole console(output);
    console.AddText(GetParam().m_pszText);
    console.Execute();
    EXPECT_EQ(Lines(output.str()), GetParam().m_Output);
    EXPECT_EQ(console.QuitRequested(), GetParam().m_bQuits);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConsoleText,
    testing::Values(
        ConsoleCase{"Echo", "echo hello world\n", {"] echo hello world", "hello world"}, false},
        ConsoleCase{"SeveralLines", "echo a\necho b\n", {"] echo a", "a", "] echo b", "b"}, false},
        ConsoleCase{"BlankLinesSkipped",
                    "\n  \n\techo  spaced out \n",
                    {"] echo  spaced out", "spaced out"},
                    false},
        ConsoleCase{"CarriageReturn", "echo x\r\n", {"] echo x", "x"}, false},
        ConsoleCase{"NoFinalLineBreak", "echo tail", {"] echo tail", "tail"}, false},
        ConsoleCase{"EmptyEcho", "echo\n", {"] echo", ""}, false},
        ConsoleCase{"NamesIgnoreCase", "ECHO loud\n", {"] ECHO loud", "loud"}, false},
        ConsoleCase{"Unknown",
                    "changelevel\nsv_cheats 1\n",
                    {"] changelevel", "Unknown command \"changelevel\"", "] sv_cheats 1",
                     "Unknown command \"sv_cheats\""},
                    false},
        ConsoleCase{"QuitStopsTheRest", "quit\necho after\n", {"] quit"}, true},
        ConsoleCase{"Exit", "echo before\nexit\n", {"] echo before", "before", "] exit"}, true}),
    [](const testing::TestParamInfo<ConsoleCase>& info) { return info.param.m_pszLabel; });

TEST(ServerConsole, TextQueuedByACommandWaitsForTheNextExecute) {
    std::ostringstream output;
    ServerConsole console(output);
    console.AddCommand("later", "queue an echo", [](ServerConsole& self, const std::string&) {
        self.AddText("echo queued\n");
    });
    console.AddText("later\n");
    console.Execute();
    EXPECT_EQ(Lines(output.str()), (std::vector<std::string>{"] later"}));
    console.Execute();
    EXPECT_EQ(Lines(output.str()),
              (std::vector<std::string>{"] later", "] echo queued", "queued"}));
}

TEST(ServerConsole, NamesThatAreNoCommandGoToTheNameHandlerAfterTheCommands) {
    std::ostringstream output;
    ServerConsole console(output);
    std::vector<std::string> asked;
    console.SetNameHandler(
        [&asked](ServerConsole& self, const std::string& name, const std::string& arguments) {
            asked.push_back(name + "|" + arguments);
            if (name != "known") {
                return false;
            }
            self.Print("handled");
            return true;
        });
    console.AddText("echo command\nknown  a b\nunknown\n");
    console.Execute();
    EXPECT_EQ(asked, (std::vector<std::string>{"known|a b", "unknown|"}));
    EXPECT_EQ(Lines(output.str()),
              (std::vector<std::string>{"] echo command", "command", "] known  a b", "handled",
                                        "] unknown", "Unknown command \"unknown\""}));
}

TEST(ServerConsole, HelpListsAddedCommandsAndLaterOnesReplaceEarlier) {
    std::ostringstream output;
    ServerConsole console(output);
    console.AddCommand("ping", "first",
                       [](ServerConsole& self, const std::string&) { self.Print("first"); });
    console.AddCommand("PING", "answer pong", [](ServerConsole& self, const std::string& rest) {
        self.Print("pong " + rest);
    });
    console.AddText("ping  me\nhelp\n");
    console.Execute();
    std::vector<std::string> lines = Lines(output.str());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "pong me");
    for (const char* pszListed :
         {"  quit - ", "  exit - ", "  echo - ", "  help - ", "  PING - answer pong"}) {
        EXPECT_EQ(
            std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& line) { return line.rfind(pszListed, 0) == 0; }),
            1)
            << pszListed;
    }
}

struct OptionsCase {
    const char* m_pszLabel;
    std::vector<std::string> m_Arguments;
    bool m_bValid;
    std::string m_strModulePath;
    int m_nTickRate;
    long m_nFrameLimit;
};

void PrintTo(const OptionsCase& options, std::ostream* pStream) {
    *pStream << options.m_pszLabel;
}

class HostCommandLine : public testing::TestWithParam<OptionsCase> {};

TEST_P(HostCommandLine, ParsesOrRefuses) {
    HostOptions options;
    std::string error;
    bool bValid = ParseHostOptions(GetParam().m_Arguments, &options, &error);
    ASSERT_EQ(bValid, GetParam().m_bValid) << error;
    if (!bValid) {
        EXPECT_FALSE(error.empty());
        return;
    }
    EXPECT_EQ(options.m_strModulePath, GetParam().m_strModulePath);
    EXPECT_EQ(options.m_nTickRate, GetParam().m_nTickRate);
    EXPECT_EQ(options.m_nFrameLimit, GetParam().m_nFrameLimit);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HostCommandLine,
    testing::Values(
        OptionsCase{"Defaults", {}, true, "", 66, -1},
        OptionsCase{
            "Everything", {"--tickrate", "20", "--frames", "5", "m.so"}, true, "m.so", 20, 5},
        OptionsCase{
            "EqualsForms", {"m.so", "--tickrate=1000", "--frames=0"}, true, "m.so", 1000, 0},
        OptionsCase{"TickRateTooHigh", {"--tickrate", "1001"}, false, "", 0, 0},
        OptionsCase{"TickRateZero", {"--tickrate=0"}, false, "", 0, 0},
        OptionsCase{"TrailingJunk", {"--frames", "5x"}, false, "", 0, 0},
        OptionsCase{"EmptyNumber", {"--frames="}, false, "", 0, 0},
        OptionsCase{"MissingValue", {"--frames"}, false, "", 0, 0},
        OptionsCase{"UnknownOption", {"-x"}, false, "", 0, 0},
        OptionsCase{"SecondModule", {"a.so", "b.so"}, false, "", 0, 0}),
    [](const testing::TestParamInfo<OptionsCase>& info) { return info.param.m_pszLabel; });

TEST(HostCommandLine, HelpAndVersionAreFlags) {
    HostOptions options;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"--version", "--help"}, &options, &error));
    EXPECT_TRUE(options.m_bShowHelp);
    EXPECT_TRUE(options.m_bShowVersion);
}

TEST(HostStatus, TellsTheFramesRunAndTheWholeSecondsSinceTheHostStarted) {
    StandInHost::Clock::time_point now{};
    std::ostringstream output, errors;
    StandInHost host(output, errors, [&now] { return now; });
    // Runs nFrames frames, lets the time pass, and asks for the status in one frame more.
    auto statusAfter = [&](int nFrames, std::chrono::milliseconds elapsed) {
        for (int nFrame = 0; nFrame < nFrames; ++nFrame) {
            host.RunFrame();
        }
        now += elapsed;
        output.str("");
        host.TypedInput()->Push("status");
        host.RunFrame();
        return Lines(output.str());
    };
    using Expected = std::vector<std::string>;
    EXPECT_EQ(statusAfter(0, std::chrono::milliseconds(0)),
              (Expected{"] status", "0 frames run, 0 commands relayed, 0 seconds up"}));
    // The frame that ran the first status counts now.
    EXPECT_EQ(statusAfter(0, std::chrono::milliseconds(1999)),
              (Expected{"] status", "1 frame run, 0 commands relayed, 1 second up"}));
    EXPECT_EQ(statusAfter(2, std::chrono::milliseconds(89001)),
              (Expected{"] status", "4 frames run, 0 commands relayed, 91 seconds up"}));
    EXPECT_EQ(errors.str(), "");
}

// The engine-server object as a module sees it: a table reached through the object's first word.
using Entry = void*;

Entry EngineEntry(void* pEngineServer, int nPosition) {
    return (*static_cast<Entry**>(pEngineServer))[nPosition];
}

struct FactoryCase {
    const char* m_pszName;
    bool m_bServed;
};

void PrintTo(const FactoryCase& factory, std::ostream* pStream) {
    *pStream << '"' << factory.m_pszName << '"';
}

class EngineFactory : public testing::TestWithParam<FactoryCase> {};

TEST_P(EngineFactory, ServesOnlyTheEngineServerAndTheConsoleService) {
    int nStatus = -7;
    void* pInterface = StandInEngineFactory(GetParam().m_pszName, &nStatus);
    EXPECT_EQ(pInterface != nullptr, GetParam().m_bServed);
    EXPECT_EQ(nStatus, GetParam().m_bServed ? INTERFACE_STATUS_OK : INTERFACE_STATUS_FAILED);
    EXPECT_EQ(StandInEngineFactory(GetParam().m_pszName, nullptr), pInterface);

    nStatus = -7;
    EXPECT_EQ(StandInGameServerFactory(GetParam().m_pszName, &nStatus), nullptr);
    EXPECT_EQ(nStatus, INTERFACE_STATUS_FAILED);
}

INSTANTIATE_TEST_SUITE_P(
    Names, EngineFactory,
    testing::Values(FactoryCase{"VEngineServer021", true}, FactoryCase{"VEngineServer020", false},
                    FactoryCase{"vengineserver021", false}, FactoryCase{"VEngineCvar004", true},
                    FactoryCase{"VEngineCvar003", false}, FactoryCase{"venginecvar004", false},
                    FactoryCase{"", false}));

TEST(EngineServerTable, EntryThirtySixHandsTheTextToTheSink) {
    std::vector<std::string> received;
    SetServerCommandSink(
        [](const char* pszText, void* pContext) {
            static_cast<std::vector<std::string>*>(pContext)->emplace_back(pszText);
        },
        &received);
    void* pEngineServer = StandInEngineFactory("VEngineServer021", nullptr);
    auto pfnIssue = reinterpret_cast<void(TAVREL_THISCALL*)(void*, const char*)>(
        EngineEntry(pEngineServer, ENGINE_SERVER_ISSUE_SERVER_COMMAND));
    pfnIssue(pEngineServer, "status\n");
    SetServerCommandSink(nullptr, nullptr);
    pfnIssue(pEngineServer, "dropped\n");
    EXPECT_EQ(received, std::vector<std::string>{"status\n"});
}

TEST(EngineServerTable, EntryThirtySixAbortsWhenTheObjectIsNotTheHosts) {
    void* pEngineServer = StandInEngineFactory("VEngineServer021", nullptr);
    auto pfnIssue = reinterpret_cast<void(TAVREL_THISCALL*)(void*, const char*)>(
        EngineEntry(pEngineServer, ENGINE_SERVER_ISSUE_SERVER_COMMAND));
    // What the entry sees when a caller hands it the object some other way than the host does.
    char notTheEngine[16] = "status\n";
    EXPECT_DEATH(pfnIssue(notTheEngine, "status\n"), "operation 36 on an object that is not");
}

class EngineServerTrap : public testing::TestWithParam<int> {};

TEST_P(EngineServerTrap, NamesThePositionAndAborts) {
    void* pEngineServer = StandInEngineFactory("VEngineServer021", nullptr);
    auto pfnUnserved =
        reinterpret_cast<void(TAVREL_THISCALL*)(void*)>(EngineEntry(pEngineServer, GetParam()));
    EXPECT_DEATH(pfnUnserved(pEngineServer),
                 "engine-server operation " + std::to_string(GetParam()) + ",");
}

INSTANTIATE_TEST_SUITE_P(Positions, EngineServerTrap,
                         testing::Values(0, 1, 35, 37, ENGINE_SERVER_POSITIONS - 1));

// The console-variable service as a module sees it, without a module: served entries that need
// no console object, and traps.
class ConsoleServiceTable : public testing::Test {
protected:
    void SetUp() override {
        ResetStandInConsoleService();
        m_pService = StandInEngineFactory("VEngineCvar004", nullptr);
        ASSERT_EQ(m_pService, StandInConsoleService());
    }
    void TearDown() override { ResetStandInConsoleService(); }

    void* m_pService = nullptr;
};

TEST_F(ConsoleServiceTable, EntryFiveHandsOutANewIdentifierEachTime) {
    auto pfnAllocate = reinterpret_cast<int32_t(TAVREL_THISCALL*)(void*)>(
        EngineEntry(m_pService, CONSOLE_SERVICE_ALLOCATE_MODULE_IDENTIFIER));
    const int32_t nFirst = pfnAllocate(m_pService);
    const int32_t nSecond = pfnAllocate(m_pService);
    EXPECT_NE(nFirst, -1);
    EXPECT_NE(nSecond, nFirst);
    ResetStandInConsoleService();
    EXPECT_NE(pfnAllocate(m_pService), nSecond) << "identifiers outlive a reset";
}

TEST_F(ConsoleServiceTable, EntryTwentyPassesTheChangeToTheListenerWhileThereIsOne) {
    struct Received {
        void* m_pVariable;
        std::string m_Previous;
        float m_flPrevious;
    };
    std::vector<Received> received;
    SetConsoleChangeListener(
        [](void* pVariable, const char* pszPrevious, float flPrevious, void* pContext) {
            static_cast<std::vector<Received>*>(pContext)->push_back(
                {pVariable, pszPrevious, flPrevious});
        },
        &received);
    auto pfnNotify = reinterpret_cast<void(TAVREL_THISCALL*)(void*, void*, const char*, float)>(
        EngineEntry(m_pService, CONSOLE_SERVICE_NOTIFY_GLOBAL_CHANGE_CALLBACKS));
    int variable = 0;
    pfnNotify(m_pService, &variable, "old", 1.5f);
    SetConsoleChangeListener(nullptr, nullptr);
    pfnNotify(m_pService, &variable, "dropped", 0.0f);

    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].m_pVariable, &variable);
    EXPECT_EQ(received[0].m_Previous, "old");
    EXPECT_EQ(received[0].m_flPrevious, 1.5f);
    EXPECT_EQ(ConsoleServiceCallsSoFar().m_Notifications,
              (std::vector<void*>{&variable, &variable}));
}

TEST_F(ConsoleServiceTable, ServedEntryAbortsWhenTheObjectIsNotTheHosts) {
    auto pfnAllocate = reinterpret_cast<int32_t(TAVREL_THISCALL*)(void*)>(
        EngineEntry(m_pService, CONSOLE_SERVICE_ALLOCATE_MODULE_IDENTIFIER));
    char notTheService[16] = {};
    EXPECT_DEATH(pfnAllocate(notTheService), "operation 5 on an object that is not");
}

class ConsoleServiceTrap : public ConsoleServiceTable, public testing::WithParamInterface<int> {};

TEST_P(ConsoleServiceTrap, NamesThePositionAndAborts) {
    auto pfnUnserved =
        reinterpret_cast<void(TAVREL_THISCALL*)(void*)>(EngineEntry(m_pService, GetParam()));
    EXPECT_DEATH(pfnUnserved(m_pService),
                 "console-variable service operation " + std::to_string(GetParam()) + ",");
}

INSTANTIATE_TEST_SUITE_P(Positions, ConsoleServiceTrap,
                         testing::Values(0, 4, 7, 9, 19, 21, CONSOLE_SERVICE_POSITIONS - 1));

} // namespace
