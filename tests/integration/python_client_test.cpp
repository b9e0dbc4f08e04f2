// End to end with a client written in another language: a plain socket client in Python drives
// the built tavrel-host's console through the command pipe.
#include "tests/integration/host_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void SendWithPython(const std::vector<std::string>& messages) {
    std::vector<std::string> arguments{TAVREL_PYTHON, TAVREL_PYTHON_CLIENT};
    arguments.insert(arguments.end(), messages.begin(), messages.end());
    ASSERT_EQ(RunToEnd(arguments), 0);
}

TEST_F(HostProcess, PlainSocketClientIsRelayedMessageByMessage) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());

    SendWithPython({"echo two", "status"});
    EXPECT_TRUE(SeeLine("] echo two"));
    EXPECT_TRUE(SeeLine("two"));
    EXPECT_TRUE(SeeLine("] status"));
    EXPECT_TRUE(SeeStatus(2));

    // One message holding two lines runs as two commands.
    SendWithPython({"echo three\necho four"});
    EXPECT_TRUE(SeeLine("] echo three"));
    EXPECT_TRUE(SeeLine("three"));
    EXPECT_TRUE(SeeLine("] echo four"));
    EXPECT_TRUE(SeeLine("four"));

    // After the end of the host's input, as a server run without a terminal.
    CloseChildInput(m_pHost);
    SendWithPython({"echo after the end of input", "quit"});
    EXPECT_TRUE(SeeLine("] echo after the end of input"));
    EXPECT_TRUE(SeeLine("] quit"));
    EXPECT_EQ(HostExitCode(), 0);
}

} // namespace
