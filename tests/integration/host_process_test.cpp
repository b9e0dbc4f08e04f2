// End to end: the built tavrel-host loads the built module, and real clients (tavrel-send and a
// plain socket client in Python) drive its console through the command pipe.
#include "platform/child_process.h"
#include "platform/command_pipe.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// Readable names for the cases below.
void PrintTo(ChildStopRequest request, std::ostream* pStream) {
    *pStream << (request == ChildStopRequest::Interrupt ? "Interrupt" : "Terminate");
}

namespace {

const char PIPE_NAME[] = "\\\\.\\pipe\\ZivireDadedez";
// Only a guard against a hung child; nothing here depends on how fast anything runs.
constexpr int WAIT_MS = 30000;

// Runs a program to its end and returns its exit code, or -1 when it would not start or end.
int RunToEnd(const std::vector<std::string>& arguments, std::string* pErrors = nullptr) {
    std::string error;
    ChildProcess* pChild = StartChildProcess(arguments, &error);
    if (pChild == nullptr) {
        ADD_FAILURE() << "cannot start " << arguments[0] << ": " << error;
        return -1;
    }
    std::string line;
    while (ReadChildOutputLine(pChild, &line, WAIT_MS) == ChildOutputRead::Line) {
    }
    int nExitCode = -1;
    if (!WaitForChildExit(pChild, WAIT_MS, &nExitCode)) {
        ADD_FAILURE() << arguments[0] << " did not end";
    }
    std::string errors = ReadChildErrors(pChild);
    ReleaseChildProcess(pChild);
    if (pErrors != nullptr) {
        *pErrors = errors;
    } else if (nExitCode != 0) {
        ADD_FAILURE() << arguments[0] << " said: " << errors;
    }
    return nExitCode;
}

void SendWithTavrelSend(const std::string& command) {
    ASSERT_EQ(RunToEnd({TAVREL_SEND_PATH, "--pipe", PIPE_NAME, command}), 0);
}

void SendWithPython(const std::vector<std::string>& messages) {
    std::vector<std::string> arguments{TAVREL_PYTHON, TAVREL_PYTHON_CLIENT};
    arguments.insert(arguments.end(), messages.begin(), messages.end());
    ASSERT_EQ(RunToEnd(arguments), 0);
}

class HostProcess : public testing::Test {
protected:
    void TearDown() override { ReleaseChildProcess(m_pHost); }

    void StartHost(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), TAVREL_HOST_PATH);
        std::string error;
        m_pHost = StartChildProcess(arguments, &error);
        ASSERT_NE(m_pHost, nullptr) << error;
    }

    // Reads the host's output up to the next line that equals (or, with bPrefix, starts with)
    // expected; the lines in between are skipped, so a sequence of these checks their order.
    testing::AssertionResult SeeLine(const std::string& expected, bool bPrefix = false) {
        std::string line;
        for (;;) {
            switch (ReadChildOutputLine(m_pHost, &line, WAIT_MS)) {
            case ChildOutputRead::Line:
                m_SeenLines.push_back(line);
                if (bPrefix ? line.rfind(expected, 0) == 0 : line == expected) {
                    return testing::AssertionSuccess();
                }
                break;
            case ChildOutputRead::Ended:
                return testing::AssertionFailure()
                       << "output ended before \"" << expected << "\"" << SeenSoFar();
            case ChildOutputRead::TimedOut:
                return testing::AssertionFailure()
                       << "no \"" << expected << "\" in time" << SeenSoFar();
            }
        }
    }

    void StartAndAwaitBanner(const std::vector<std::string>& arguments = {}) {
        ASSERT_NO_FATAL_FAILURE(StartHost(arguments));
        ASSERT_TRUE(SeeLine("tavrel-host: loaded ", true));
        const std::string& banner = m_SeenLines.back();
        EXPECT_NE(banner.find(": Tavrel, "), std::string::npos) << banner;
    }

    int HostExitCode() {
        int nExitCode = -1;
        EXPECT_TRUE(WaitForChildExit(m_pHost, WAIT_MS, &nExitCode)) << "the host did not end";
        return nExitCode;
    }

    std::string SeenSoFar() const {
        std::string text = "; output so far:";
        for (const std::string& line : m_SeenLines) {
            text += "\n  " + line;
        }
        return text;
    }

    ChildProcess* m_pHost = nullptr;
    std::vector<std::string> m_SeenLines;
};

TEST_F(HostProcess, RelaysBothClientsInOrderAndQuitsThroughThePipe) {
    // No module named: the host takes the one built beside it.
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());

    SendWithTavrelSend("echo one");
    EXPECT_TRUE(SeeLine("] echo one"));
    EXPECT_TRUE(SeeLine("one"));

    SendWithPython({"echo two", "status"});
    EXPECT_TRUE(SeeLine("] echo two"));
    EXPECT_TRUE(SeeLine("two"));
    EXPECT_TRUE(SeeLine("] status"));
    EXPECT_TRUE(SeeLine("Unknown command \"status\""));

    // One message holding two lines runs as two commands.
    SendWithPython({"echo three\necho four"});
    EXPECT_TRUE(SeeLine("] echo three"));
    EXPECT_TRUE(SeeLine("three"));
    EXPECT_TRUE(SeeLine("] echo four"));
    EXPECT_TRUE(SeeLine("four"));

    SendWithTavrelSend("plugin_print");
    EXPECT_TRUE(SeeLine("] plugin_print"));
    EXPECT_TRUE(SeeLine("Tavrel, ", true));

    SendWithTavrelSend("quit");
    EXPECT_TRUE(SeeLine("] quit"));
    EXPECT_EQ(HostExitCode(), 0);
}

TEST_F(HostProcess, TypedCommandsShareTheConsoleAndEndOfInputKeepsItRunning) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());
    ASSERT_TRUE(WriteChildInput(m_pHost, "echo typed\nhelp\n"));
    EXPECT_TRUE(SeeLine("] echo typed"));
    EXPECT_TRUE(SeeLine("typed"));
    EXPECT_TRUE(SeeLine("] help"));
    EXPECT_TRUE(SeeLine("  plugin_print", true));

    CloseChildInput(m_pHost);
    SendWithPython({"echo after the end of input"});
    EXPECT_TRUE(SeeLine("] echo after the end of input"));
    EXPECT_TRUE(SeeLine("after the end of input"));

    SendWithTavrelSend("exit");
    EXPECT_TRUE(SeeLine("] exit"));
    EXPECT_EQ(HostExitCode(), 0);
}

class HostStopRequest : public HostProcess, public testing::WithParamInterface<ChildStopRequest> {};

TEST_P(HostStopRequest, EndsCleanly) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());
    RequestChildStop(m_pHost, GetParam());
    EXPECT_EQ(HostExitCode(), 0);
    EXPECT_EQ(ReadChildErrors(m_pHost), "");
}

INSTANTIATE_TEST_SUITE_P(Requests, HostStopRequest,
                         testing::Values(ChildStopRequest::Interrupt, ChildStopRequest::Terminate),
                         [](const testing::TestParamInfo<ChildStopRequest>& info) {
                             return info.param == ChildStopRequest::Interrupt ? "Interrupt"
                                                                              : "Terminate";
                         });

TEST_F(HostProcess, FrameLimitEndsTheRunWithTheNamedModule) {
    ASSERT_NO_FATAL_FAILURE(
        StartAndAwaitBanner({"--tickrate", "200", "--frames", "3", TAVREL_MODULE_PATH}));
    EXPECT_NE(m_SeenLines.back().find(TAVREL_MODULE_PATH), std::string::npos);
    EXPECT_EQ(HostExitCode(), 0);
}

TEST_F(HostProcess, RefusesWhileAnotherProcessHoldsThePipeName) {
    CommandPipeHandle hHeld = CreateCommandPipe(PIPE_NAME);
    ASSERT_NE(hHeld, INVALID_COMMAND_PIPE_HANDLE);
    ASSERT_NO_FATAL_FAILURE(StartHost({}));
    int nExitCode = HostExitCode();
    std::string errors = ReadChildErrors(m_pHost);
    CloseCommandPipe(hHeld);

    EXPECT_EQ(nExitCode, 70);
    EXPECT_EQ(errors.rfind("tavrel-host: the plug-in refused to load", 0), 0u) << errors;
    EXPECT_NE(errors.find("\\\\.\\pipe\\ZivireDadedez"), std::string::npos) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "not one line: " << errors;
    EXPECT_FALSE(SeeLine("tavrel-host: loaded ", true));
}

struct FailureCase {
    const char* m_pszLabel;
    std::vector<std::string> m_Arguments;
    int m_nExitCode;
    const char* m_pszReasonStart; // what the one line on standard error starts with
};

void PrintTo(const FailureCase& failure, std::ostream* pStream) {
    *pStream << failure.m_pszLabel;
}

class HostFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(HostFailure, OneLineOnStandardErrorAndItsExitCode) {
    std::vector<std::string> arguments{TAVREL_HOST_PATH};
    arguments.insert(arguments.end(), GetParam().m_Arguments.begin(), GetParam().m_Arguments.end());
    std::string errors;
    EXPECT_EQ(RunToEnd(arguments, &errors), GetParam().m_nExitCode);
    EXPECT_EQ(errors.rfind(GetParam().m_pszReasonStart, 0), 0u) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "not one line: " << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostFailure,
    testing::Values(
        FailureCase{"UnknownOption", {"--fast"}, 64, "tavrel-host: unknown option '--fast'"},
        FailureCase{"FramesNotANumber", {"--frames", "ten"}, 64, "tavrel-host: --frames"},
        FailureCase{"FramesNegative", {"--frames=-1"}, 64, "tavrel-host: --frames"},
        FailureCase{"TickRateZero", {"--tickrate", "0"}, 64, "tavrel-host: --tickrate"},
        FailureCase{"OptionWithoutValue", {"--tickrate"}, 64, "tavrel-host: option '--tickrate'"},
        FailureCase{"TwoModules", {"first.so", "second.so"}, 64, "tavrel-host: one module"},
        FailureCase{"MissingModule",
                    {"/nonexistent/tavrel.so"},
                    66,
                    "tavrel-host: cannot load module /nonexistent/tavrel.so: "},
        FailureCase{"NotAModule",
                    {TAVREL_PYTHON_CLIENT},
                    66,
                    "tavrel-host: cannot load module " TAVREL_PYTHON_CLIENT ": "},
        FailureCase{"LibraryWithoutCreateInterface",
                    {TAVREL_TIER0_PATH},
                    69,
                    "tavrel-host: " TAVREL_TIER0_PATH " exports no CreateInterface"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.m_pszLabel; });

TEST(HostInformation, VersionComesFromTheProject) {
    std::string error;
    ChildProcess* pChild = StartChildProcess({TAVREL_HOST_PATH, "--version"}, &error);
    ASSERT_NE(pChild, nullptr) << error;
    std::string line;
    EXPECT_EQ(ReadChildOutputLine(pChild, &line, WAIT_MS), ChildOutputRead::Line);
    EXPECT_EQ(line, "tavrel-host " TAVREL_PROJECT_VERSION);
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(pChild, WAIT_MS, &nExitCode));
    EXPECT_EQ(nExitCode, 0);
    ReleaseChildProcess(pChild);
}

TEST(HostInformation, HelpNamesEveryOptionAndExitCode) {
    std::string error;
    ChildProcess* pChild = StartChildProcess({TAVREL_HOST_PATH, "--help"}, &error);
    ASSERT_NE(pChild, nullptr) << error;
    std::string help, line;
    while (ReadChildOutputLine(pChild, &line, WAIT_MS) == ChildOutputRead::Line) {
        help += line + "\n";
    }
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(pChild, WAIT_MS, &nExitCode));
    EXPECT_EQ(nExitCode, 0);
    ReleaseChildProcess(pChild);
    EXPECT_EQ(help.rfind("Usage: tavrel-host", 0), 0u) << help;
    for (const char* pszTopic :
         {"--tickrate", "--frames", "--help", "--version", "64", "66", "69", "70"}) {
        EXPECT_NE(help.find(pszTopic), std::string::npos) << pszTopic;
    }
}

} // namespace
