// The built module relays without the heap: under the stand-in's recording allocator, frames that
// issue commands, discard an over-long message or see their client leave take no block at all.
#include "plugin/command_protocol.h"
#include "tests/integration/loaded_module.h"
#include "tests/support/test_client.h"
#include "tier0/tier0_control.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/stand_in_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

size_t g_nIssuedCommands = 0;

void CountCommand(const char*, void*) {
    ++g_nIssuedCommands;
}

// 128 messages of 6 to 1022 bytes, every length class the relay handles.
std::vector<std::string> MixedBatch() {
    std::vector<std::string> messages;
    for (size_t i = 0; i < 128; ++i) {
        std::string message = "echo ";
        message.resize(6 + 1016 * i / 127, static_cast<char>('a' + i % 26));
        messages.push_back(message);
    }
    return messages;
}

struct RelayTraffic {
    const char* m_pszLabel;
    std::vector<std::string> m_Messages;
    bool m_bClientLeaves;
    size_t m_nCommands; // what the engine must receive
};

void PrintTo(const RelayTraffic& traffic, std::ostream* pStream) {
    *pStream << traffic.m_pszLabel;
}

class RelayHeap : public testing::TestWithParam<RelayTraffic> {
protected:
    void SetUp() override {
        g_nIssuedCommands = 0;
        SetServerCommandSink(&CountCommand, nullptr);
        std::string error;
        ASSERT_TRUE(m_Module.Open(&error)) << error;
        m_Plugin = PluginByPosition(m_Module.Plugin());
        m_bPluginLoaded = m_Plugin.LoadPlugin(&StandInEngineFactory, &StandInGameServerFactory);
        ASSERT_TRUE(m_bPluginLoaded) << "is another process holding the pipe's name?";
    }

    void TearDown() override {
        if (m_bPluginLoaded) {
            m_Plugin.UnloadPlugin();
        }
        m_Module.Close();
        SetServerCommandSink(nullptr, nullptr);
    }

    // Frames, once the client has connected, until the engine has every command, or a generous
    // bound; the client writes from a thread of its own, so a batch larger than the socket's queue
    // cannot stall the test.
    void RelayFromClient(const RelayTraffic& traffic) {
        std::promise<bool> connected;
        std::promise<void> framesDone;
        std::shared_future<void> framesDoneFuture = framesDone.get_future().share();
        std::thread client([&traffic, &connected, framesDoneFuture] {
            CTestClient pipeClient;
            const bool bConnected = pipeClient.Connect(COMMAND_PIPE_NAME);
            connected.set_value(bConnected);
            if (!bConnected) {
                return;
            }
            for (const std::string& message : traffic.m_Messages) {
                ASSERT_TRUE(pipeClient.Send(message));
            }
            if (!traffic.m_bClientLeaves) {
                // Still connected while the frames below find nothing more to read.
                framesDoneFuture.wait();
            }
        });
        const bool bConnected = connected.get_future().get();
        EXPECT_TRUE(bConnected) << "the client could not connect";
        for (int nFrame = 0; nFrame < 2000 && g_nIssuedCommands < traffic.m_nCommands; ++nFrame) {
            m_Plugin.OnGameFrame(true);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        // A few more frames read on to the end of the queue: "no data yet" for a client that
        // stays, the recycling of the connection for one that left.
        for (int nFrame = 0; nFrame < 3; ++nFrame) {
            m_Plugin.OnGameFrame(true);
        }
        framesDone.set_value();
        client.join();
        m_Plugin.OnGameFrame(true);
    }

    CLoadedModule m_Module;
    PluginByPosition m_Plugin{nullptr};
    bool m_bPluginLoaded = false;
};

TEST_P(RelayHeap, FramesTakeNoBlockAndReleaseNone) {
    Tier0_ResetCounts();
    const int32_t nLiveBlocks = Tier0_GetLiveBlockCount();

    RelayFromClient(GetParam());

    EXPECT_EQ(g_nIssuedCommands, GetParam().m_nCommands);
    for (int nPosition : {TIER0_ALLOCATE_TAGGED, TIER0_ALLOCATE, TIER0_REALLOCATE_TAGGED,
                          TIER0_REALLOCATE, TIER0_RELEASE}) {
        EXPECT_EQ(Tier0_GetCallCount(nPosition), 0u) << "allocator operation " << nPosition;
    }
    EXPECT_EQ(Tier0_GetLiveBlockCount(), nLiveBlocks);
}

INSTANTIATE_TEST_SUITE_P(
    Traffic, RelayHeap,
    testing::Values(
        RelayTraffic{"SilentClient", {}, false, 0},
        RelayTraffic{"OneMessageAndLeave", {"status"}, true, 1},
        RelayTraffic{"LongestMessage", {std::string(COMMAND_MESSAGE_MAX, 'x')}, true, 1},
        RelayTraffic{"OverLongBetweenTwo", {"echo a", std::string(1023, 'y'), "echo b"}, true, 2},
        RelayTraffic{"EmbeddedNul", {std::string("echo a\0b", 8)}, true, 1},
        RelayTraffic{"MixedBatchOf128", MixedBatch(), false, 128}),
    [](const testing::TestParamInfo<RelayTraffic>& info) { return info.param.m_pszLabel; });

} // namespace
