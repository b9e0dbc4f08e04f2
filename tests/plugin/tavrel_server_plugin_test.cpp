// The relay's sequences, driven through the module's own object with a raw-table engine server
// and real pipe clients. Load, unload and the ignored callbacks are proven on the built module,
// called by position (tests/integration/module_by_position_test.cpp).
#include "tests/plugin/relay_test.h"

#include "platform/tools/pipe_client.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

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
