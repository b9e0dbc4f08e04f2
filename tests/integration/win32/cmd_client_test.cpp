// End to end with a client nobody here wrote: the system's command interpreter redirecting echo
// into the named pipe, as an administrator would from a prompt.
#include "plugin/command_protocol.h"
#include "tests/integration/host_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST_F(HostProcess, CommandInterpreterEchoIntoThePipeRunsAsACommand) {
    const char* pszInterpreter = std::getenv("ComSpec");
    ASSERT_NE(pszInterpreter, nullptr) << "ComSpec names no command interpreter";
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());

    EXPECT_EQ(RunToEnd({pszInterpreter, "/c", "echo status> " COMMAND_PIPE_NAME}), 0);
    EXPECT_TRUE(SeeLine("] status"));
    // How many messages the interpreter's echo makes is its own affair: Wine's writes the line
    // break as a message of its own.
    EXPECT_TRUE(SeeStatus(-1));

    // The pipe serves the next client after the interpreter's.
    EXPECT_EQ(RunToEnd({pszInterpreter, "/c", "echo quit> " COMMAND_PIPE_NAME}), 0);
    EXPECT_TRUE(SeeLine("] quit"));
    EXPECT_EQ(HostExitCode(), 0);
}

} // namespace
