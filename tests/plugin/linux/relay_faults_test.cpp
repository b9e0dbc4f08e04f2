// Failing system calls of the Linux pipe, injected through its table: the relay keeps the host
// running, loses nothing it has issued, and serves the next client once the fault is gone.
#include "platform/module/linux/command_pipe_system.h"
#include "tests/plugin/relay_test.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

int g_nFaultErrno = 0;
int g_nFailedCalls = 0;
// The connection a receive fault breaks: chosen by the first receive after the fault is armed,
// healed when the pipe closes it.
int g_nBrokenConnection = -1;
bool g_bBrokenConnectionClosed = false;
size_t g_nFloodSent = 0;
size_t g_nFloodSize = 0;

int FailCall() {
    ++g_nFailedCalls;
    errno = g_nFaultErrno;
    return -1;
}

int FailingSocket(int, int, int) {
    return FailCall();
}
int FailingBind(int, const sockaddr*, socklen_t) {
    return FailCall();
}
int FailingListen(int, int) {
    return FailCall();
}
int FailingAccept4(int, sockaddr*, socklen_t*, int) {
    return FailCall();
}
int FailingGetSockOpt(int, int, int, void*, socklen_t*) {
    return FailCall();
}

ssize_t BrokenConnectionRecv(int nSocket, void* pBuffer, size_t nLength, int nFlags) {
    if (g_nBrokenConnection < 0 && !g_bBrokenConnectionClosed) {
        g_nBrokenConnection = nSocket;
    }
    if (nSocket == g_nBrokenConnection) {
        return FailCall();
    }
    return recv(nSocket, pBuffer, nLength, nFlags);
}

int CloseHealingBrokenConnection(int nDescriptor) {
    if (nDescriptor == g_nBrokenConnection) {
        g_nBrokenConnection = -1;
        g_bBrokenConnectionClosed = true;
    }
    return close(nDescriptor);
}

// A client that has queued g_nFloodSize messages: each receive yields the next one.
ssize_t FloodRecv(int, void* pBuffer, size_t nLength, int) {
    if (g_nFloodSent == g_nFloodSize) {
        errno = EAGAIN;
        return -1;
    }
    const std::string message = "echo flood-" + std::to_string(g_nFloodSent++);
    std::memcpy(pBuffer, message.data(), std::min(nLength, message.size()));
    return static_cast<ssize_t>(message.size());
}

class RelayFaultTest
    : public RelayFaultTestBase<&g_CommandPipeSystemCalls, &g_DefaultCommandPipeSystemCalls> {
protected:
    void SetUp() override {
        g_nFaultErrno = 0;
        g_nFailedCalls = 0;
        g_nBrokenConnection = -1;
        g_bBrokenConnectionClosed = false;
        g_nFloodSent = 0;
        RelayTest::SetUp();
    }

    // A client that connects, writes one message and leaves; on Linux it never waits its turn.
    static void SendAndLeave(const std::string& message) {
        CTestClient client;
        ASSERT_TRUE(client.Connect(COMMAND_PIPE_NAME));
        ASSERT_TRUE(client.Send(message));
    }
};

using ErrnoCase = FaultCase<int>;

class ReceiveFaultTest : public RelayFaultTest, public testing::WithParamInterface<ErrnoCase> {};

TEST_P(ReceiveFaultTest, EndsTheConnectionKeepsWhatWasIssuedAndServesTheNext) {
    ExpectNextServedAfterTheConnectionBreaks([] {
        g_nFaultErrno = GetParam().detail;
        Calls().m_pfnRecv = &BrokenConnectionRecv;
        Calls().m_pfnClose = &CloseHealingBrokenConnection;
    });
    EXPECT_GT(g_nFailedCalls, 0);
    EXPECT_TRUE(g_bBrokenConnectionClosed) << "the failed connection was kept";
}

INSTANTIATE_TEST_SUITE_P(Errors, ReceiveFaultTest,
                         testing::Values(ErrnoCase{"ECONNRESET", ECONNRESET},
                                         ErrnoCase{"ETIMEDOUT", ETIMEDOUT}, ErrnoCase{"EIO", EIO},
                                         ErrnoCase{"ENOMEM", ENOMEM}),
                         FaultCaseName());

class AcceptFaultTest : public RelayFaultTest, public testing::WithParamInterface<ErrnoCase> {};

TEST_P(AcceptFaultTest, WaitingClientIsServedOnceTheFaultIsGone) {
    g_nFaultErrno = GetParam().detail;
    Calls().m_pfnAccept4 = &FailingAccept4;
    ASSERT_NO_FATAL_FAILURE(SendAndLeave("waited"));
    for (int i = 0; i < 5; ++i) {
        Frame();
    }
    EXPECT_EQ(g_nFailedCalls, 5) << "each frame should have tried to accept the waiting client";
    EXPECT_TRUE(IssuedCommands().empty());

    ClearFault();
    FramesUntil(1);
    EXPECT_EQ(IssuedCommands(), Commands{"waited\n"});
}

INSTANTIATE_TEST_SUITE_P(Errors, AcceptFaultTest,
                         testing::Values(ErrnoCase{"EMFILE", EMFILE}, ErrnoCase{"ENFILE", ENFILE},
                                         ErrnoCase{"ENOBUFS", ENOBUFS},
                                         ErrnoCase{"ENOMEM", ENOMEM}),
                         FaultCaseName());

TEST_F(RelayFaultTest, ClientWhosePeerCheckFailsIsRefusedUnreadAndTheNextIsServed) {
    g_nFaultErrno = ENOBUFS;
    Calls().m_pfnGetSockOpt = &FailingGetSockOpt;
    ASSERT_NO_FATAL_FAILURE(SendAndLeave("unverified"));
    for (int nFrame = 0; nFrame < 200 && g_nFailedCalls == 0; ++nFrame) {
        Frame();
    }
    ASSERT_GT(g_nFailedCalls, 0);
    Frame();

    ClearFault();
    ASSERT_NO_FATAL_FAILURE(SendAndLeave("verified"));
    FramesUntil(1);
    Frame();
    EXPECT_EQ(IssuedCommands(), Commands{"verified\n"});
}

using CreationFault = FaultCase<void (*)(CommandPipeSystemCalls* pCalls)>;

class CreationFaultTest : public RelayFaultTest,
                          public testing::WithParamInterface<CreationFault> {};

TEST_P(CreationFaultTest, LoadFailsAndALaterLoadServes) {
    g_TavrelServerPlugin.UnloadPlugin();
    g_nFaultErrno = ENOBUFS;
    GetParam().detail(&Calls());
    EXPECT_FALSE(g_TavrelServerPlugin.LoadPlugin(FakeEngineFactory, nullptr));
    EXPECT_EQ(g_nFailedCalls, 1);
    g_TavrelServerPlugin.UnloadPlugin();

    ClearFault();
    Load();
    ASSERT_NO_FATAL_FAILURE(SendAndLeave("after"));
    FramesUntil(1);
    EXPECT_EQ(IssuedCommands(), Commands{"after\n"});
}

INSTANTIATE_TEST_SUITE_P(Calls, CreationFaultTest,
                         testing::Values(CreationFault{"socket",
                                                       [](CommandPipeSystemCalls* pCalls) {
                                                           pCalls->m_pfnSocket = &FailingSocket;
                                                       }},
                                         CreationFault{"bind",
                                                       [](CommandPipeSystemCalls* pCalls) {
                                                           pCalls->m_pfnBind = &FailingBind;
                                                       }},
                                         CreationFault{"listen",
                                                       [](CommandPipeSystemCalls* pCalls) {
                                                           pCalls->m_pfnListen = &FailingListen;
                                                       }}),
                         FaultCaseName());

TEST_F(RelayFaultTest, FloodIsIssuedAFrameLimitAtATimeInOrder) {
    CTestClient client;
    ASSERT_TRUE(client.Connect(COMMAND_PIPE_NAME));
    g_nFloodSize = 2 * COMMAND_MESSAGES_PER_FRAME + 44;
    Calls().m_pfnRecv = &FloodRecv;
    ExpectFloodSpreadOverFrames(g_nFloodSize);
}

} // namespace
