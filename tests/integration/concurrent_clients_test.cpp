// Many clients at once: every tavrel-send started together against one tavrel-host must have each
// of its numbered commands issued exactly once and in its own order. Counts come from the build
// (TAVREL_STRESS_CLIENTS, TAVREL_STRESS_COMMANDS), smaller where processes are dear.
#include "platform/tools/child_process.h"
#include "tests/integration/host_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int CLIENT_COUNT = TAVREL_STRESS_CLIENTS;
constexpr int COMMAND_COUNT = TAVREL_STRESS_COMMANDS;
// Busy clients wait their turn; this only bounds a hang.
constexpr const char* CLIENT_TIMEOUT_S = "600";

struct DeliveryCounts {
    int nLost = 0;
    int nDuplicated = 0;
    int nOutOfOrder = 0;
    int nForeign = 0;
};

// Parses "] echo c<client>-<n>"; false for any other line.
bool ParseIssuedCommand(const std::string& line, int* pnClient, int* pnCommand) {
    int nConsumed = 0;
    return std::sscanf(line.c_str(), "] echo c%d-%d%n", pnClient, pnCommand, &nConsumed) == 2 &&
           static_cast<size_t>(nConsumed) == line.size();
}

class ConcurrentClients : public HostProcess {
protected:
    void TearDown() override {
        for (ChildProcess* pClient : m_Clients) {
            ReleaseChildProcess(pClient);
        }
        HostProcess::TearDown();
    }

    std::vector<ChildProcess*> m_Clients;
};

TEST_F(ConcurrentClients, EveryCommandArrivesOnceAndInEachClientsOrder) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner({"--tickrate", "200"}));

    for (int nClient = 0; nClient < CLIENT_COUNT; ++nClient) {
        std::string error;
        ChildProcess* pClient = StartChildProcess(
            {TAVREL_SEND_PATH, "--pipe", HOST_PIPE_NAME, "--timeout", CLIENT_TIMEOUT_S}, &error);
        ASSERT_NE(pClient, nullptr) << error;
        m_Clients.push_back(pClient);
    }
    // Each client reads its whole input before it connects, so all of them contend together.
    for (int nClient = 0; nClient < CLIENT_COUNT; ++nClient) {
        std::string input;
        for (int nCommand = 0; nCommand < COMMAND_COUNT; ++nCommand) {
            input += "echo c" + std::to_string(nClient) + "-" + std::to_string(nCommand) + "\n";
        }
        ASSERT_TRUE(WriteChildInput(m_Clients[nClient], input));
        CloseChildInput(m_Clients[nClient]);
    }

    std::vector<std::vector<int>> seen(CLIENT_COUNT, std::vector<int>(COMMAND_COUNT, 0));
    std::vector<int> nextExpected(CLIENT_COUNT, 0);
    DeliveryCounts counts;
    int nIssued = 0;
    std::string line;
    while (nIssued < CLIENT_COUNT * COMMAND_COUNT &&
           ReadChildOutputLine(m_pHost, &line, HOST_WAIT_MS) == ChildOutputRead::Line) {
        int nClient = 0;
        int nCommand = 0;
        if (line.rfind("] ", 0) != 0) {
            continue; // the echo's own output
        }
        if (!ParseIssuedCommand(line, &nClient, &nCommand) || nClient < 0 ||
            nClient >= CLIENT_COUNT || nCommand < 0 || nCommand >= COMMAND_COUNT) {
            ++counts.nForeign;
            continue;
        }
        ++nIssued;
        if (seen[nClient][nCommand]++ > 0) {
            ++counts.nDuplicated;
        }
        if (nCommand != nextExpected[nClient]) {
            ++counts.nOutOfOrder;
        }
        nextExpected[nClient] = nCommand + 1;
    }
    for (const std::vector<int>& clientSeen : seen) {
        for (int nTimes : clientSeen) {
            counts.nLost += nTimes == 0 ? 1 : 0;
        }
    }

    for (int nClient = 0; nClient < CLIENT_COUNT; ++nClient) {
        int nExitCode = -1;
        EXPECT_TRUE(WaitForChildExit(m_Clients[nClient], HOST_WAIT_MS, &nExitCode));
        EXPECT_EQ(nExitCode, 0) << "client " << nClient << ": "
                                << ReadChildErrors(m_Clients[nClient]);
    }

    std::printf("%d clients x %d commands: issued %d, lost %d, duplicated %d, out of order %d, "
                "unexpected %d\n",
                CLIENT_COUNT, COMMAND_COUNT, nIssued, counts.nLost, counts.nDuplicated,
                counts.nOutOfOrder, counts.nForeign);
    EXPECT_EQ(counts.nLost, 0);
    EXPECT_EQ(counts.nDuplicated, 0);
    EXPECT_EQ(counts.nOutOfOrder, 0);
    EXPECT_EQ(counts.nForeign, 0);

    SendWithTavrelSend("quit");
    EXPECT_EQ(HostExitCode(), 0);
}

} // namespace
