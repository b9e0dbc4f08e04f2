// Clients that misbehave beside well-behaved ones: killed in the middle of a burst, connected but
// silent, and a process that keeps trying to take the pipe's name while clients come and go.
#include "platform/module/command_pipe.h"
#include "platform/tools/child_process.h"
#include "tests/integration/host_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

class ClientFaults : public HostProcess {
protected:
    void TearDown() override {
        ReleaseChildProcess(m_pFaultClient);
        ReleaseChildProcess(m_pGoodClient);
        HostProcess::TearDown();
    }

    void StartFaultClient(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{TAVREL_FAULT_CLIENT_PATH};
        command.insert(command.end(), arguments.begin(), arguments.end());
        std::string error;
        m_pFaultClient = StartChildProcess(command, &error);
        ASSERT_NE(m_pFaultClient, nullptr) << error;
    }

    // A tavrel-send that waits as long as it must for its turn.
    void StartGoodClient(const std::vector<std::string>& commands) {
        std::vector<std::string> command{TAVREL_SEND_PATH, "--pipe", HOST_PIPE_NAME, "--timeout",
                                         "120"};
        command.insert(command.end(), commands.begin(), commands.end());
        std::string error;
        m_pGoodClient = StartChildProcess(command, &error);
        ASSERT_NE(m_pGoodClient, nullptr) << error;
    }

    // Typed commands run in frames, so seeing two in turn means at least one whole frame, relay
    // included, ran after this call began.
    void AwaitWholeFrame() {
        for (const char* pszMarker : {"echo frame-marker-1", "echo frame-marker-2"}) {
            ASSERT_TRUE(WriteChildInput(m_pHost, std::string(pszMarker) + "\n"));
            ASSERT_TRUE(SeeLine(std::string("] ") + pszMarker));
        }
    }

    bool Seen(const std::string& line) const {
        for (const std::string& seen : m_SeenLines) {
            if (seen == line) {
                return true;
            }
        }
        return false;
    }

    ChildProcess* m_pFaultClient = nullptr;
    ChildProcess* m_pGoodClient = nullptr;
};

TEST_F(ClientFaults, KilledClientLeavesAnUnbrokenPrefixAndOthersAreServed) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());
    ASSERT_NO_FATAL_FAILURE(StartFaultClient({"endless", HOST_PIPE_NAME, "k"}));
    ASSERT_TRUE(SeeLine("] echo k-100"));
    ASSERT_NO_FATAL_FAILURE(StartGoodClient({"echo good-0", "echo good-1", "echo good-2"}));
    ReleaseChildProcess(m_pFaultClient); // killed while still writing
    m_pFaultClient = nullptr;

    // Whatever it had written whole is issued, in order and without a gap, then the next client.
    int nNext = 101;
    std::string line;
    for (;;) {
        ASSERT_EQ(ReadChildOutputLine(m_pHost, &line, HOST_WAIT_MS), ChildOutputRead::Line);
        int nMessage = -1;
        int nConsumed = 0;
        if (std::sscanf(line.c_str(), "] echo k-%d%n", &nMessage, &nConsumed) == 1 &&
            static_cast<size_t>(nConsumed) == line.size()) {
            ASSERT_EQ(nMessage, nNext) << "the killed client's messages broke order";
            ++nNext;
        } else if (line.rfind("] ", 0) == 0) {
            EXPECT_EQ(line, "] echo good-0");
            break;
        }
    }
    EXPECT_TRUE(SeeLine("] echo good-1"));
    EXPECT_TRUE(SeeLine("] echo good-2"));
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(m_pGoodClient, HOST_WAIT_MS, &nExitCode));
    EXPECT_EQ(nExitCode, 0) << ReadChildErrors(m_pGoodClient);
}

TEST_F(ClientFaults, SilentClientHoldsTheServingSlotUntilItLeaves) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());
    ASSERT_NO_FATAL_FAILURE(StartFaultClient({"silent", HOST_PIPE_NAME}));
    std::string line;
    ASSERT_EQ(ReadChildOutputLine(m_pFaultClient, &line, HOST_WAIT_MS), ChildOutputRead::Line);
    ASSERT_EQ(line, "connected");
    ASSERT_NO_FATAL_FAILURE(AwaitWholeFrame()); // the relay has taken the silent client
    ASSERT_NO_FATAL_FAILURE(StartGoodClient({"echo after-silence"}));
    ASSERT_NO_FATAL_FAILURE(AwaitWholeFrame());
    ASSERT_NO_FATAL_FAILURE(AwaitWholeFrame());
    // The host sees nothing from the silent client, and the later one waits its turn.
    EXPECT_FALSE(Seen("] echo after-silence")) << SeenSoFar();

    CloseChildInput(m_pFaultClient);
    EXPECT_TRUE(SeeLine("] echo after-silence"));
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(m_pGoodClient, HOST_WAIT_MS, &nExitCode));
    EXPECT_EQ(nExitCode, 0) << ReadChildErrors(m_pGoodClient);
}

TEST_F(ClientFaults, NameIsNeverTakenWhileClientsComeAndGo) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());
    std::atomic<bool> bStop{false};
    std::atomic<int> nAttempts{0};
    std::atomic<int> nTaken{0};
    std::thread squatter([&] {
        while (!bStop.load()) {
            CommandPipeHandle hPipe = CreateCommandPipe(HOST_PIPE_NAME);
            nAttempts.fetch_add(1);
            if (hPipe != INVALID_COMMAND_PIPE_HANDLE) {
                nTaken.fetch_add(1);
                CloseCommandPipe(hPipe);
            }
        }
    });
    for (int nClient = 0; nClient < 20; ++nClient) {
        std::string command = "echo client-" + std::to_string(nClient);
        SendWithTavrelSend(command);
        EXPECT_TRUE(SeeLine("] " + command));
    }
    bStop.store(true);
    squatter.join();
    EXPECT_GT(nAttempts.load(), 0);
    EXPECT_EQ(nTaken.load(), 0);
}

} // namespace
