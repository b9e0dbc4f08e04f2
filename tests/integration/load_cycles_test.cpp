// Many load and unload cycles of the built module in one process, each relaying a command: the
// process must hold no more descriptors or handles, threads or host-allocator blocks afterwards.
#include "plugin/command_protocol.h"
#include "tests/integration/loaded_module.h"
#include "tests/integration/process_resources.h"
#include "tests/support/test_client.h"
#include "tier0/tier0_control.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/stand_in_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int CYCLE_COUNT = 1000;

std::vector<std::string> g_Issued;

void RecordCommand(const char* pszText, void*) {
    g_Issued.emplace_back(pszText);
}

// One whole cycle: map, load, relay one client's command, unload, unmap.
testing::AssertionResult RunCycle(int nCycle) {
    std::string error;
    CLoadedModule module;
    if (!module.Open(&error)) {
        return testing::AssertionFailure() << "cycle " << nCycle << ": " << error;
    }
    PluginByPosition plugin(module.Plugin());
    if (!plugin.LoadPlugin(&StandInEngineFactory, &StandInGameServerFactory)) {
        return testing::AssertionFailure() << "cycle " << nCycle << ": load refused";
    }
    const std::string command = "echo cycle-" + std::to_string(nCycle);
    {
        CTestClient client;
        if (!client.Connect(COMMAND_PIPE_NAME) || !client.Send(command)) {
            plugin.UnloadPlugin();
            return testing::AssertionFailure() << "cycle " << nCycle << ": client failed";
        }
    }
    g_Issued.clear();
    plugin.OnGameFrame(true);
    plugin.UnloadPlugin();
    module.Close();
    if (g_Issued != std::vector<std::string>{command + "\n"}) {
        return testing::AssertionFailure()
               << "cycle " << nCycle << ": relayed " << testing::PrintToString(g_Issued);
    }
    return testing::AssertionSuccess();
}

TEST(LoadCycles, NoDescriptorThreadOrBlockOutlivesItsCycle) {
    SetServerCommandSink(&RecordCommand, nullptr);
    // The first cycle may set up what the process keeps for good (loader and library state).
    ASSERT_TRUE(RunCycle(0));
    const int nHandlesBefore = CountOpenHandles();
    const int nThreadsBefore = CountThreads();
    const int32_t nBlocksBefore = Tier0_GetLiveBlockCount();
    ASSERT_GE(nHandlesBefore, 0);
    ASSERT_GE(nThreadsBefore, 1);

    for (int nCycle = 1; nCycle <= CYCLE_COUNT; ++nCycle) {
        ASSERT_TRUE(RunCycle(nCycle));
    }
    EXPECT_EQ(CountOpenHandles(), nHandlesBefore);
    EXPECT_EQ(CountThreads(), nThreadsBefore);
    EXPECT_EQ(Tier0_GetLiveBlockCount(), nBlocksBefore);
    SetServerCommandSink(nullptr, nullptr);
}

} // namespace
