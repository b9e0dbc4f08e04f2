// Same-user access on Linux: a client of another user is closed unread, and does not stand in the
// way of the clients that follow it.
#include "platform/module/command_pipe.h"
#include "plugin/command_protocol.h"

#include "tests/support/test_client.h"
#include "tests/support/unique_pipe_name.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t UNPRIVILEGED_USER = 65534;

// Runs a client as another user in a child process; returns its exit status (0 when it wrote).
int SendAsOtherUser(const std::string& pipeName, const std::string& message) {
    pid_t nChild = fork();
    if (nChild == 0) {
        if (setgid(UNPRIVILEGED_USER) != 0 || setuid(UNPRIVILEGED_USER) != 0) {
            _exit(2);
        }
        CTestClient client;
        bool bWrote = client.Connect(pipeName.c_str()) && client.Send(message);
        _exit(bWrote ? 0 : 1);
    }
    int nStatus = 0;
    waitpid(nChild, &nStatus, 0);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

TEST(PeerCredentialsTest, ClientOfAnotherUserIsRefusedUnread) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a client as another user; running as uid " << geteuid();
    }
    std::string name = UniquePipeName("peer_credentials");
    CommandPipeHandle hPipe = CreateCommandPipe(name.c_str());
    ASSERT_NE(hPipe, INVALID_COMMAND_PIPE_HANDLE);

    // The other user's write succeeds at its end: the refusal happens when the server accepts.
    ASSERT_EQ(SendAsOtherUser(name, "intruder"), 0);
    {
        CTestClient own;
        ASSERT_TRUE(own.Connect(name.c_str()));
        ASSERT_TRUE(own.Send("own"));
    }

    char buffer[1024];
    uint32_t nRead = 0;
    std::string firstMessage;
    for (int nTry = 0; nTry < 500 && firstMessage.empty(); ++nTry) {
        CommandPipeRead result = ReadCommandPipe(hPipe, buffer, COMMAND_MESSAGE_MAX, &nRead);
        if (result == CommandPipeRead::Message) {
            firstMessage.assign(buffer, nRead);
        } else {
            ASSERT_EQ(result, CommandPipeRead::NoData);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_EQ(firstMessage, "own");
    CloseCommandPipe(hPipe);
}

} // namespace
