// The built tavrel-send against a server of another user: nothing may reach it.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "tests/tools/linux/foreign_server.h"
#include "tests/tools/send_test_support.h"

namespace {

constexpr uid_t UNPRIVILEGED_USER = 65534; // nobody

TEST(SendOtherUserTest, ServerOfAnotherUserGetsNothingAndExits77) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a server as another user (nobody, 65534)";
    }
    const std::string strPipe = UniquePipeName("other-user");
    CForeignServer server;
    ASSERT_TRUE(server.Start(UNPRIVILEGED_USER, strPipe));
    CChildProcess child;
    ASSERT_TRUE(
        child.Start(TAVREL_SEND_PATH, {"--pipe", strPipe, "--timeout", "2", "status", "quit"}, ""));
    ProcessResult result = child.Wait();
    EXPECT_EQ(result.m_nExitCode, 77);
    ExpectOneErrorLine(result, "another user");
    EXPECT_EQ(server.CountMessages(), 0);
}

} // namespace
