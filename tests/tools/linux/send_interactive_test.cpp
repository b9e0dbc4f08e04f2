// The built tavrel-send at a terminal: a pseudo-terminal plays the person, typing at the prompt,
// and a server made with the module's pipe code shows what arrived and when.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/module/command_pipe.h"
#include "tests/tools/send_test_support.h"

extern char** environ;

namespace {

using Strings = std::vector<std::string>;

// tavrel-send in a session of its own whose controlling terminal is a pseudo-terminal, so that
// what is written to the master side arrives as typing, Ctrl-C included.
class CTerminalClient {
public:
    CTerminalClient(const CTerminalClient&) = delete;
    CTerminalClient& operator=(const CTerminalClient&) = delete;
    CTerminalClient() = default;
    ~CTerminalClient() {
        if (m_nPid > 0 && !m_bExited) {
            kill(m_nPid, SIGKILL);
            waitpid(m_nPid, nullptr, 0);
        }
        if (m_nMaster >= 0) {
            close(m_nMaster);
        }
    }

    testing::AssertionResult Start(const Strings& arguments) {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0) {
            return testing::AssertionFailure() << "no pseudo-terminal: " << std::strerror(errno);
        }
        std::string strTerminal = ptsname(m_nMaster);
        Strings all{TAVREL_SEND_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& strArgument : all) {
            argv.push_back(&strArgument[0]);
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Opened after the new session starts, the terminal becomes the controlling one.
        posix_spawn_file_actions_addopen(&actions, 0, strTerminal.c_str(), O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, 0, 1);
        posix_spawn_file_actions_adddup2(&actions, 0, 2);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
        int nError = posix_spawn(&m_nPid, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (nError != 0) {
            return testing::AssertionFailure() << "cannot start tavrel-send: " << nError;
        }
        return testing::AssertionSuccess();
    }

    void Type(const std::string& strKeys) {
        ASSERT_EQ(write(m_nMaster, strKeys.data(), strKeys.size()),
                  static_cast<ssize_t>(strKeys.size()));
    }

    // Waits until strText appears on the terminal after what earlier calls saw.
    testing::AssertionResult See(const std::string& strText) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            size_t nFound = m_strScreen.find(strText, m_nSeen);
            if (nFound != std::string::npos) {
                m_nSeen = nFound + strText.size();
                return testing::AssertionSuccess();
            }
            pollfd poller{m_nMaster, POLLIN, 0};
            if (std::chrono::steady_clock::now() > giveUp || poll(&poller, 1, 100) < 0 ||
                (poller.revents != 0 && !ReadScreen())) {
                return testing::AssertionFailure()
                       << "never saw \"" << strText
                       << "\"; the terminal shows: " << m_strScreen.substr(m_nSeen);
            }
        }
    }

    int ExitCode() {
        int nStatus = 0;
        while (waitpid(m_nPid, &nStatus, 0) < 0 && errno == EINTR) {
        }
        m_bExited = true;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

private:
    bool ReadScreen() {
        char buffer[4096];
        ssize_t nRead = read(m_nMaster, buffer, sizeof(buffer));
        if (nRead <= 0) {
            return false; // the client has gone and closed the terminal
        }
        m_strScreen.append(buffer, static_cast<size_t>(nRead));
        return true;
    }

    int m_nMaster = -1;
    pid_t m_nPid = -1;
    bool m_bExited = false;
    std::string m_strScreen;
    size_t m_nSeen = 0;
};

class SendInteractiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_strPipe = UniquePipeName("interactive");
        m_hServer = CreateCommandPipe(("\\\\.\\pipe\\" + m_strPipe).c_str());
        ASSERT_NE(m_hServer, INVALID_COMMAND_PIPE_HANDLE);
        ASSERT_TRUE(m_Client.Start({"--pipe", m_strPipe, "--timeout", "30"}));
        ASSERT_TRUE(m_Client.See("goes to pipe " + m_strPipe));
        ASSERT_TRUE(m_Client.See("> "));
    }
    void TearDown() override { CloseCommandPipe(m_hServer); }

    // Types a line and waits for it to be relayed, and for the next prompt, before going on.
    void Enter(const std::string& strLine) {
        m_Client.Type(strLine + "\n");
        EXPECT_EQ(ServeUntilClientLeaves(m_hServer), Strings{strLine});
        EXPECT_TRUE(m_Client.See("\n> "));
    }

    std::string m_strPipe;
    CommandPipeHandle m_hServer = INVALID_COMMAND_PIPE_HANDLE;
    CTerminalClient m_Client;
};

TEST_F(SendInteractiveTest, SessionSendsEachLineAsEnteredAndAsksBeforeStopping) {
    // Each line reaches the server while the session waits for the next one.
    Enter("echo hi");
    Enter("status");

    m_Client.Type(std::string(1100, 'x') + "\n");
    EXPECT_TRUE(m_Client.See("is 1100 bytes long, more than 1022; not sent"));
    EXPECT_TRUE(m_Client.See("\n> "));

    // Declined: nothing goes, so the next line is the first the server gets.
    m_Client.Type("quit\n");
    EXPECT_TRUE(m_Client.See("stop the server? [y/N] "));
    m_Client.Type("n\n");
    EXPECT_TRUE(m_Client.See("\n> "));
    Enter("say still here");

    m_Client.Type("Exit\n");
    EXPECT_TRUE(m_Client.See("stop the server? [y/N] "));
    m_Client.Type("y\n");
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), Strings{"Exit"});
    EXPECT_TRUE(m_Client.See("\n> "));

    m_Client.Type("\x04"); // Ctrl-D
    // The refused line is the last failure.
    EXPECT_EQ(m_Client.ExitCode(), 65);
}

struct LeaveCase {
    const char* m_pszName;
    const char* m_pszStopLine; // typed first, to leave at the question it raises; may be null
    const char* m_pszKey;
};

const LeaveCase g_LeaveCases[] = {
    {"CtrlD", nullptr, "\x04"},
    {"CtrlC", nullptr, "\x03"},
    {"CtrlCWhileAsked", "quit", "\x03"},
    {"CtrlDWhileAsked", "exit", "\x04"},
};

class SendInteractiveLeaveTest : public SendInteractiveTest,
                                 public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(SendInteractiveLeaveTest, LeavesWithoutSending) {
    Enter("status");
    if (GetParam().m_pszStopLine != nullptr) {
        m_Client.Type(std::string(GetParam().m_pszStopLine) + "\n");
        EXPECT_TRUE(m_Client.See("stop the server? [y/N] "));
    }
    m_Client.Type(GetParam().m_pszKey);
    EXPECT_EQ(m_Client.ExitCode(), 0);
    // Nothing half done goes out: no further client ever came.
    char buffer[64];
    uint32_t nRead = 0;
    EXPECT_EQ(ReadCommandPipe(m_hServer, buffer, sizeof(buffer), &nRead), CommandPipeRead::NoData);
}

INSTANTIATE_TEST_SUITE_P(SendInteractive, SendInteractiveLeaveTest,
                         ::testing::ValuesIn(g_LeaveCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

} // namespace
