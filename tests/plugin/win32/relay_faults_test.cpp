// Failing system calls of the Windows pipe, injected through its table: the relay keeps the host
// running, loses nothing it has issued, and serves the next client once the fault is gone.
#include "platform/module/win32/command_pipe_system.h"
#include "tests/plugin/relay_test.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

DWORD g_nFaultError = 0;
int g_nFailedCalls = 0;
// A read fault breaks the connection being served until the pipe disconnects it.
bool g_bBrokenConnectionEnded = false;
size_t g_nFloodSent = 0;
size_t g_nFloodSize = 0;

BOOL FailCall() {
    ++g_nFailedCalls;
    SetLastError(g_nFaultError);
    return FALSE;
}

HANDLE WINAPI FailingCreateNamedPipeA(LPCSTR, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                      LPSECURITY_ATTRIBUTES) {
    FailCall();
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI FailingConnectNamedPipe(HANDLE, LPOVERLAPPED) {
    return FailCall();
}

BOOL WINAPI FailingDisconnectNamedPipe(HANDLE) {
    return FailCall();
}

BOOL WINAPI BrokenConnectionReadFile(HANDLE hFile, LPVOID pBuffer, DWORD nToRead, LPDWORD pnRead,
                                     LPOVERLAPPED pOverlapped) {
    if (!g_bBrokenConnectionEnded) {
        return FailCall();
    }
    return ReadFile(hFile, pBuffer, nToRead, pnRead, pOverlapped);
}

BOOL WINAPI DisconnectHealingBrokenConnection(HANDLE hPipe) {
    g_bBrokenConnectionEnded = true;
    return DisconnectNamedPipe(hPipe);
}

// A client that has written g_nFloodSize messages: each read yields the next one.
BOOL WINAPI FloodReadFile(HANDLE, LPVOID pBuffer, DWORD nToRead, LPDWORD pnRead, LPOVERLAPPED) {
    if (g_nFloodSent == g_nFloodSize) {
        *pnRead = 0;
        SetLastError(ERROR_NO_DATA);
        return FALSE;
    }
    const std::string message = "echo flood-" + std::to_string(g_nFloodSent++);
    *pnRead = static_cast<DWORD>(std::min<size_t>(nToRead, message.size()));
    std::memcpy(pBuffer, message.data(), *pnRead);
    return TRUE;
}

class RelayFaultTest
    : public RelayFaultTestBase<&g_CommandPipeSystemCalls, &g_DefaultCommandPipeSystemCalls> {
protected:
    void SetUp() override {
        g_nFaultError = 0;
        g_nFailedCalls = 0;
        g_bBrokenConnectionEnded = false;
        g_nFloodSent = 0;
        RelayTest::SetUp();
    }
};

using ErrorCase = FaultCase<DWORD>;

class ReadFaultTest : public RelayFaultTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(ReadFaultTest, EndsTheConnectionKeepsWhatWasIssuedAndServesTheNext) {
    ExpectNextServedAfterTheConnectionBreaks([] {
        g_nFaultError = GetParam().detail;
        Calls().m_pfnReadFile = &BrokenConnectionReadFile;
        Calls().m_pfnDisconnectNamedPipe = &DisconnectHealingBrokenConnection;
    });
    EXPECT_GT(g_nFailedCalls, 0);
    EXPECT_TRUE(g_bBrokenConnectionEnded) << "the failed connection was kept";
}

INSTANTIATE_TEST_SUITE_P(Errors, ReadFaultTest,
                         testing::Values(ErrorCase{"ACCESS_DENIED", ERROR_ACCESS_DENIED},
                                         ErrorCase{"NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY},
                                         ErrorCase{"OPERATION_ABORTED", ERROR_OPERATION_ABORTED},
                                         ErrorCase{"INVALID_FUNCTION", ERROR_INVALID_FUNCTION}),
                         FaultCaseName());

using RecycleFault = FaultCase<void (*)(CommandPipeSystemCalls* pCalls)>;

class RecycleFaultTest : public RelayFaultTest, public testing::WithParamInterface<RecycleFault> {};

TEST_P(RecycleFaultTest, NextClientIsServedOnceTheFaultIsGone) {
    g_nFaultError = ERROR_NOT_ENOUGH_MEMORY;
    GetParam().detail(&Calls());
    {
        CTestClient first;
        ASSERT_TRUE(first.Connect(COMMAND_PIPE_NAME));
        ASSERT_TRUE(first.Send("one"));
    }
    // The client has gone, so the frame that reads its message also recycles the pipe.
    for (int nFrame = 0; nFrame < 200 && g_nFailedCalls == 0; ++nFrame) {
        Frame();
    }
    ASSERT_GT(g_nFailedCalls, 0);
    for (int i = 0; i < 3; ++i) {
        Frame();
    }
    EXPECT_EQ(IssuedCommands(), Commands{"one\n"});

    ClearFault();
    std::thread next = ClientInTurn({"two"});
    FramesUntil(2);
    next.join();
    EXPECT_EQ(IssuedCommands(), (Commands{"one\n", "two\n"}));
}

INSTANTIATE_TEST_SUITE_P(Calls, RecycleFaultTest,
                         testing::Values(RecycleFault{"DisconnectNamedPipe",
                                                      [](CommandPipeSystemCalls* pCalls) {
                                                          pCalls->m_pfnDisconnectNamedPipe =
                                                              &FailingDisconnectNamedPipe;
                                                      }},
                                         RecycleFault{"ConnectNamedPipe",
                                                      [](CommandPipeSystemCalls* pCalls) {
                                                          pCalls->m_pfnConnectNamedPipe =
                                                              &FailingConnectNamedPipe;
                                                      }}),
                         FaultCaseName());

class CreationFaultTest : public RelayFaultTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(CreationFaultTest, LoadFailsAndALaterLoadServes) {
    g_TavrelServerPlugin.UnloadPlugin();
    g_nFaultError = GetParam().detail;
    Calls().m_pfnCreateNamedPipeA = &FailingCreateNamedPipeA;
    EXPECT_FALSE(g_TavrelServerPlugin.LoadPlugin(FakeEngineFactory, nullptr));
    EXPECT_EQ(g_nFailedCalls, 1);
    g_TavrelServerPlugin.UnloadPlugin();

    ClearFault();
    Load();
    std::thread client = ClientInTurn({"after"});
    FramesUntil(1);
    client.join();
    EXPECT_EQ(IssuedCommands(), Commands{"after\n"});
}

INSTANTIATE_TEST_SUITE_P(Errors, CreationFaultTest,
                         testing::Values(ErrorCase{"ACCESS_DENIED", ERROR_ACCESS_DENIED},
                                         ErrorCase{"NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY}),
                         FaultCaseName());

TEST_F(RelayFaultTest, FloodIsIssuedAFrameLimitAtATimeInOrder) {
    g_nFloodSize = 2 * COMMAND_MESSAGES_PER_FRAME + 44;
    Calls().m_pfnReadFile = &FloodReadFile;
    ExpectFloodSpreadOverFrames(g_nFloodSize);
}

} // namespace
