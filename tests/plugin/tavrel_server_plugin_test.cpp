// The plug-in's load, unload and relay sequences, driven through the module's own object with a
// raw-table engine server and real pipe clients.
#include "tests/plugin/relay_test.h"

#include "connect/library_connection.h"
#include "platform/tools/pipe_client.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST_F(PluginTest, LoadFailsWhenTheEngineServerIsNotServedAndCreatesNoPipe) {
    EXPECT_FALSE(g_TavrelServerPlugin.LoadPlugin(EmptyFactory, nullptr));

    CommandPipeHandle hPipe = CreateCommandPipe(COMMAND_PIPE_NAME);
    EXPECT_NE(hPipe, INVALID_COMMAND_PIPE_HANDLE) << "the failed load left the pipe's name taken";
    if (hPipe != INVALID_COMMAND_PIPE_HANDLE) {
        CloseCommandPipe(hPipe);
    }
}

TEST_F(PluginTest, LoadFailsWhileAnotherPipeHoldsTheName) {
    CommandPipeHandle hSquatter = CreateCommandPipe(COMMAND_PIPE_NAME);
    ASSERT_NE(hSquatter, INVALID_COMMAND_PIPE_HANDLE);

    EXPECT_FALSE(g_TavrelServerPlugin.LoadPlugin(FakeEngineFactory, nullptr));
    EXPECT_EQ(g_hCommandPipe, INVALID_COMMAND_PIPE_HANDLE);

    g_TavrelServerPlugin.UnloadPlugin();
    CloseCommandPipe(hSquatter);
}

// A second load reaches the same object while it is loaded, with whatever factory the host
// passes this time.
class SecondLoadTest : public RelayTest, public testing::WithParamInterface<InterfaceFactory> {};

TEST_P(SecondLoadTest, ChangesNothingAndUnloadStillFreesTheName) {
    const CommandPipeHandle hServing = g_hCommandPipe;
    EXPECT_FALSE(g_TavrelServerPlugin.LoadPlugin(GetParam(), nullptr));
    EXPECT_EQ(g_hCommandPipe, hServing);
    EXPECT_EQ(g_pServerEngine, FakeEngineServer());

    std::thread client = ClientInTurn({"status"});
    FramesUntil(1);
    client.join();
    EXPECT_EQ(IssuedCommands(), Commands{"status\n"}) << "the running relay fell silent";

    g_TavrelServerPlugin.UnloadPlugin();
    CommandPipeHandle hAfter = CreateCommandPipe(COMMAND_PIPE_NAME);
    EXPECT_NE(hAfter, INVALID_COMMAND_PIPE_HANDLE) << "unload left the pipe's name held";
    if (hAfter != INVALID_COMMAND_PIPE_HANDLE) {
        CloseCommandPipe(hAfter);
    }
    Load();
}

INSTANTIATE_TEST_SUITE_P(Factories, SecondLoadTest,
                         testing::Values(FakeEngineFactory, EmptyFactory),
                         [](const testing::TestParamInfo<InterfaceFactory>& info) {
                             return info.param == FakeEngineFactory ? "SameFactory"
                                                                    : "FactoryServingNothing";
                         });

TEST_F(PluginTest, LoadConnectsTheLibraryAndUnloadForgetsIt) {
    Load();
    EXPECT_TRUE(g_bConsoleServicesConnected);
    EXPECT_EQ(g_pServerEngine, FakeEngineServer());

    g_TavrelServerPlugin.UnloadPlugin();
    EXPECT_FALSE(g_bConsoleServicesConnected);
    EXPECT_EQ(g_hCommandPipe, INVALID_COMMAND_PIPE_HANDLE);
}

TEST_F(PluginTest, SecondUnloadIsHarmlessAndTheNameIsFreeAgain) {
    Load();
    g_TavrelServerPlugin.UnloadPlugin();
    g_TavrelServerPlugin.UnloadPlugin();

    Load(); // the name was released exactly once and can be taken again
}

TEST_F(PluginTest, DescriptionIsConstantAndNamesThePlugin) {
    const char* pszFirst = g_TavrelServerPlugin.GetDescription();
    EXPECT_EQ(std::string(pszFirst).rfind("Tavrel, ", 0), 0u);
    EXPECT_GT(std::string(pszFirst).size(), std::string("Tavrel, ").size());
    EXPECT_EQ(g_TavrelServerPlugin.GetDescription(), pszFirst);
}

TEST_F(PluginTest, IgnoredCallbacksContinueAndTouchNothing) {
    bool bAllow = false;
    char rejectMessage[8] = "keep me";
    EXPECT_EQ(g_TavrelServerPlugin.OnClientConnect(&bAllow, nullptr, "name", "address",
                                                   rejectMessage, sizeof(rejectMessage)),
              PLUGIN_RESULT_CONTINUE);
    EXPECT_FALSE(bAllow);
    EXPECT_STREQ(rejectMessage, "keep me");
    EXPECT_EQ(g_TavrelServerPlugin.OnClientCommand(nullptr, nullptr), PLUGIN_RESULT_CONTINUE);
    EXPECT_EQ(g_TavrelServerPlugin.OnNetworkIdValidated("user", "id"), PLUGIN_RESULT_CONTINUE);
}

TEST_F(RelayTest, IdleFramesIssueNothing) {
    for (int i = 0; i < 5; ++i) {
        Frame();
    }
    EXPECT_TRUE(IssuedCommands().empty());
}

struct RelayCase {
    const char* pszName;
    std::vector<std::string> messages;
    Commands expected;
};

void PrintTo(const RelayCase& relayCase, std::ostream* pStream) {
    *pStream << relayCase.pszName;
}

class RelayCaseTest : public RelayTest, public testing::WithParamInterface<RelayCase> {};

TEST_P(RelayCaseTest, OneClientWritesAndLeaves) {
    // A Windows pipe takes only 1024 bytes before a write waits for the reader, so the client
    // writes while the frames run.
    std::thread client = ClientInTurn(GetParam().messages);
    FramesUntil(GetParam().expected.size());
    client.join();
    // The client has written everything and left: a few more frames show anything extra.
    for (int i = 0; i < 3; ++i) {
        Frame();
    }
    EXPECT_EQ(IssuedCommands(), GetParam().expected);
}

const std::string g_Longest(COMMAND_MESSAGE_MAX, 'x');
const std::string g_OneTooLong(COMMAND_MESSAGE_MAX + 1, 'y');
const std::string g_Huge(4000, 'z');

INSTANTIATE_TEST_SUITE_P(
    Messages, RelayCaseTest,
    testing::Values(
        RelayCase{"ThreeInWriteOrder",
                  {"status", "echo two", "echo three"},
                  {"status\n", "echo two\n", "echo three\n"}},
        RelayCase{"ZeroLengthIssuesNothingAndReadingGoesOn", {"", "after"}, {"after\n"}},
        RelayCase{"OnlyZeroLength", {""}, {}},
        RelayCase{"Exactly1022Bytes", {g_Longest}, {g_Longest + "\n"}},
        RelayCase{"OverLongDiscardedWholeThenNextRelayed", {g_OneTooLong, "next"}, {"next\n"}},
        RelayCase{"HugeDiscardedWhole", {"before", g_Huge, "after"}, {"before\n", "after\n"}},
        RelayCase{"EmbeddedNulEndsTheCommandWhichStillGetsItsNewline",
                  {std::string("say hi\0rm -rf", 13)},
                  {"say hi\n"}},
        RelayCase{"LeadingNulIssuesNothing", {std::string("\0status", 7), "next"}, {"next\n"}},
        RelayCase{"TrailingNewlineGetsASecond", {"status\n"}, {"status\n\n"}}),
    [](const testing::TestParamInfo<RelayCase>& info) { return info.param.pszName; });

TEST_F(RelayTest, ClientWaitingSeveralFramesIsServedAfterItsFirstWrite) {
    CTestClient client;
    ASSERT_TRUE(client.Connect(COMMAND_PIPE_NAME));
    for (int i = 0; i < 5; ++i) {
        Frame();
    }
    EXPECT_TRUE(IssuedCommands().empty());

    ASSERT_TRUE(client.Send("late"));
    FramesUntil(1);
    EXPECT_EQ(IssuedCommands(), Commands{"late\n"});
}

TEST_F(RelayTest, ClientKeepingItsConnectionIsHeardInLaterFrames) {
    CTestClient client;
    ASSERT_TRUE(client.Connect(COMMAND_PIPE_NAME));
    ASSERT_TRUE(client.Send("first"));
    FramesUntil(1);
    Frame();
    ASSERT_TRUE(client.Send("second"));
    FramesUntil(2);
    EXPECT_EQ(IssuedCommands(), (Commands{"first\n", "second\n"}));
}

TEST_F(RelayTest, ClientLeavingWithoutWritingDoesNotBlockTheNext) {
    {
        CTestClient silent;
        ASSERT_TRUE(silent.Connect(COMMAND_PIPE_NAME));
    }
    std::thread writer = ClientInTurn({"status"});
    FramesUntil(1);
    writer.join();
    EXPECT_EQ(IssuedCommands(), Commands{"status\n"});
}

TEST_F(RelayTest, FloodIsSpreadOverFramesCompleteAndInOrder) {
    const size_t nFlood = 3 * COMMAND_MESSAGES_PER_FRAME + 5;
    std::thread client = ClientInTurn(FloodMessages(nFlood, false));
    size_t nMostInOneFrame = 0;
    for (int nFrame = 0; nFrame < 2000 && IssuedCommands().size() < nFlood; ++nFrame) {
        const size_t nBefore = IssuedCommands().size();
        Frame();
        nMostInOneFrame = std::max(nMostInOneFrame, IssuedCommands().size() - nBefore);
        if (IssuedCommands().size() == nBefore) {
            SleepBriefly();
        }
    }
    client.join();
    EXPECT_LE(nMostInOneFrame, size_t{COMMAND_MESSAGES_PER_FRAME});
    EXPECT_EQ(IssuedCommands(), FloodMessages(nFlood, true));
}

TEST_F(RelayTest, SecondClientWaitsItsTurnWithItsMessagesKept) {
    CTestClient first;
    ASSERT_TRUE(first.Connect(COMMAND_PIPE_NAME));
    ASSERT_TRUE(first.Send("one"));
    FramesUntil(1);

    // While the first is served, a second client is queued and its message written (Linux), or
    // it is told the pipe is busy (Windows, one instance): either way the frames after that must
    // issue nothing of it.
    PipeClientHandle hSecond = INVALID_PIPE_CLIENT_HANDLE;
    const PipeConnectResult eSecond = ConnectToCommandPipe(COMMAND_PIPE_NAME, &hSecond);
    ASSERT_TRUE(eSecond == PipeConnectResult::Connected || eSecond == PipeConnectResult::Busy);
    const bool bQueued = eSecond == PipeConnectResult::Connected;
    if (bQueued) {
        ASSERT_EQ(SendPipeMessage(hSecond, "two", 3), PipeSendResult::Sent);
    }
    for (int i = 0; i < 5; ++i) {
        Frame();
    }
    EXPECT_EQ(IssuedCommands(), Commands{"one\n"}) << "the second client was served too early";

    first.Disconnect();
    std::thread second;
    if (!bQueued) {
        second = ClientInTurn({"two"});
    }
    FramesUntil(2);
    if (second.joinable()) {
        second.join();
    }
    if (bQueued) {
        DisconnectFromCommandPipe(hSecond);
    }
    EXPECT_EQ(IssuedCommands(), (Commands{"one\n", "two\n"}));
}

} // namespace
