// The plug-in loaded through its own object with a raw-table engine server, and the frames and
// real pipe clients that drive its relay. Shared by the relay's tests on every platform.
#pragma once

#include "plugin/command_relay.h"
#include "plugin/tavrel_server_plugin.h"
#include "tests/support/fake_engine_server.h"
#include "tests/support/test_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using Commands = std::vector<std::string>;

// A row of a table of faults: its name in the listing, and what the fault needs.
template <typename Detail> struct FaultCase {
    const char* pszName;
    Detail detail;
};

template <typename Detail> void PrintTo(const FaultCase<Detail>& fault, std::ostream* pStream) {
    *pStream << fault.pszName;
}

struct FaultCaseName {
    template <typename Detail>
    std::string operator()(const testing::TestParamInfo<FaultCase<Detail>>& info) const {
        return info.param.pszName;
    }
};

class PluginTest : public testing::Test {
protected:
    void SetUp() override { ResetFakeEngineServer(); }
    void TearDown() override { g_TavrelServerPlugin.UnloadPlugin(); }

    static void Load() { ASSERT_TRUE(g_TavrelServerPlugin.LoadPlugin(FakeEngineFactory, nullptr)); }
    static void Frame() { g_TavrelServerPlugin.OnGameFrame(true); }
};

// The relay through real clients of the real pipe, loaded before each case.
class RelayTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        Load();
    }

    // Frames until the given number of commands arrived, or a generous bound is reached; the
    // server may see a client a little after its writes returned.
    static void FramesUntil(size_t nCommands) {
        for (int nFrame = 0; nFrame < 200 && IssuedCommands().size() < nCommands; ++nFrame) {
            Frame();
            if (IssuedCommands().size() < nCommands) {
                SleepBriefly();
            }
        }
    }

    static void SleepBriefly() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

    // Runs frames until nCommands have been issued in all, or a generous bound is reached, and
    // returns how many each frame issued.
    static std::vector<size_t> IssuedPerFrame(size_t nCommands) {
        std::vector<size_t> perFrame;
        for (int nFrame = 0; nFrame < 200 && IssuedCommands().size() < nCommands; ++nFrame) {
            const size_t nBefore = IssuedCommands().size();
            Frame();
            perFrame.push_back(IssuedCommands().size() - nBefore);
        }
        return perFrame;
    }

    // "echo flood-0" to "echo flood-<nCount - 1>", as a client writes them and as they must be
    // issued.
    static Commands FloodMessages(size_t nCount, bool bAsIssued) {
        Commands messages;
        for (size_t i = 0; i < nCount; ++i) {
            messages.push_back("echo flood-" + std::to_string(i) + (bAsIssued ? "\n" : ""));
        }
        return messages;
    }

    // A client is served, then breakConnection makes its connection fail: what was issued stays
    // issued, and the next client, waiting meanwhile, is served.
    static void
    ExpectNextServedAfterTheConnectionBreaks(const std::function<void()>& breakConnection) {
        CTestClient broken;
        ASSERT_TRUE(broken.Connect(COMMAND_PIPE_NAME));
        ASSERT_TRUE(broken.Send("before"));
        FramesUntil(1);
        ASSERT_EQ(IssuedCommands(), Commands{"before\n"});

        breakConnection();
        ASSERT_TRUE(broken.Send("never read"));
        std::thread next = ClientInTurn({"after"});
        FramesUntil(2);
        next.join();
        EXPECT_EQ(IssuedCommands(), (Commands{"before\n", "after\n"}));
    }

    // A flood of nFlood messages, fed by the test, is issued a frame's limit at a time, in order.
    static void ExpectFloodSpreadOverFrames(size_t nFlood) {
        std::vector<size_t> expected(nFlood / COMMAND_MESSAGES_PER_FRAME,
                                     COMMAND_MESSAGES_PER_FRAME);
        if (nFlood % COMMAND_MESSAGES_PER_FRAME != 0) {
            expected.push_back(nFlood % COMMAND_MESSAGES_PER_FRAME);
        }
        EXPECT_EQ(IssuedPerFrame(nFlood), expected);
        EXPECT_EQ(IssuedCommands(), FloodMessages(nFlood, true));
    }

    // A client that may have to wait its turn (a Windows pipe admits one client at a time)
    // connects and writes from a thread of its own while the test runs frames.
    static std::thread ClientInTurn(std::vector<std::string> messages) {
        return std::thread([messages] {
            CTestClient client;
            ASSERT_TRUE(client.Connect(COMMAND_PIPE_NAME));
            for (const std::string& message : messages) {
                ASSERT_TRUE(client.Send(message));
            }
        });
    }
};

// Relay tests that replace entries of the pipe backend's table of system calls (pCalls); every
// case ends with the system's own calls (pDefaults) back in place.
template <auto* pCalls, auto* pDefaults> class RelayFaultTestBase : public RelayTest {
protected:
    void TearDown() override {
        ClearFault();
        RelayTest::TearDown();
    }

    static auto& Calls() { return *pCalls; }
    static void ClearFault() { *pCalls = *pDefaults; }
};
