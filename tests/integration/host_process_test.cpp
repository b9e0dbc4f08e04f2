// End to end: the built tavrel-host loads the built module, and the built tavrel-send drives its
// console through the command pipe. Clients written elsewhere have files of their own.
#include "platform/module/command_pipe.h"
#include "platform/tools/child_process.h"
#include "tests/integration/host_process.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// Readable names for the cases below.
void PrintTo(ChildStopRequest request, std::ostream* pStream) {
    *pStream << (request == ChildStopRequest::Interrupt ? "Interrupt" : "Terminate");
}

namespace {

TEST_F(HostProcess, RelaysCommandsInOrderAndQuitsThroughThePipe) {
    // No module named: the host takes the one built beside it.
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());

    SendWithTavrelSend("echo one");
    EXPECT_TRUE(SeeLine("] echo one"));
    EXPECT_TRUE(SeeLine("one"));

    // Two messages over one connection, issued in the order written.
    EXPECT_EQ(RunToEnd({TAVREL_SEND_PATH, "--pipe", HOST_PIPE_NAME, "echo two", "status"}), 0);
    EXPECT_TRUE(SeeLine("] echo two"));
    EXPECT_TRUE(SeeLine("two"));
    EXPECT_TRUE(SeeLine("] status"));
    // echo one, echo two and status itself.
    EXPECT_TRUE(SeeStatus(3));

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
    SendWithTavrelSend("echo after the end of input");
    EXPECT_TRUE(SeeLine("] echo after the end of input"));
    EXPECT_TRUE(SeeLine("after the end of input"));

    SendWithTavrelSend("exit");
    EXPECT_TRUE(SeeLine("] exit"));
    EXPECT_EQ(HostExitCode(), 0);
}

TEST_F(HostProcess, ConsoleShowsListsAndSetsThePluginsVersionVariable) {
    ASSERT_NO_FATAL_FAILURE(StartAndAwaitBanner());
    ASSERT_TRUE(WriteChildInput(m_pHost, "tavrel_version\ncvarlist\ntavrel_version 0.2\n"));
    EXPECT_TRUE(SeeLine("] tavrel_version"));
    EXPECT_TRUE(SeeLine("\"tavrel_version\" = \"0.1\""));
    EXPECT_TRUE(SeeLine("] cvarlist"));
    EXPECT_TRUE(SeeLine("\"\" = \"0\""));
    EXPECT_TRUE(SeeLine("\"tavrel_version\" = \"0.1\" - Tavrel Plugin Version"));
    EXPECT_TRUE(SeeLine("2 console variables"));
    EXPECT_TRUE(SeeLine("] tavrel_version 0.2"));
    EXPECT_TRUE(SeeLine("\"tavrel_version\" changed from \"0.1\" to \"0.2\""));

    // Relayed through the pipe like any command; the quotes keep the blank.
    SendWithTavrelSend("TAVREL_VERSION \"1 2\"");
    EXPECT_TRUE(SeeLine("\"tavrel_version\" changed from \"0.2\" to \"1 2\""));
    SendWithTavrelSend("tavrel_version");
    EXPECT_TRUE(SeeLine("\"tavrel_version\" = \"1 2\""));

    SendWithTavrelSend("quit");
    EXPECT_TRUE(SeeLine("] quit"));
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
    CommandPipeHandle hHeld = CreateCommandPipe(HOST_PIPE_NAME);
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
                    {TAVREL_NOT_A_MODULE_PATH},
                    66,
                    "tavrel-host: cannot load module " TAVREL_NOT_A_MODULE_PATH ": "},
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
    EXPECT_EQ(ReadChildOutputLine(pChild, &line, HOST_WAIT_MS), ChildOutputRead::Line);
    EXPECT_EQ(line, "tavrel-host " TAVREL_PROJECT_VERSION);
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(pChild, HOST_WAIT_MS, &nExitCode));
    EXPECT_EQ(nExitCode, 0);
    ReleaseChildProcess(pChild);
}

TEST(HostInformation, HelpNamesEveryOptionAndExitCode) {
    std::string error;
    ChildProcess* pChild = StartChildProcess({TAVREL_HOST_PATH, "--help"}, &error);
    ASSERT_NE(pChild, nullptr) << error;
    std::string help, line;
    while (ReadChildOutputLine(pChild, &line, HOST_WAIT_MS) == ChildOutputRead::Line) {
        help += line + "\n";
    }
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(pChild, HOST_WAIT_MS, &nExitCode));
    EXPECT_EQ(nExitCode, 0);
    ReleaseChildProcess(pChild);
    EXPECT_EQ(help.rfind("Usage: tavrel-host", 0), 0u) << help;
    for (const char* pszTopic :
         {"--tickrate", "--frames", "--help", "--version", "64", "66", "69", "70"}) {
        EXPECT_NE(help.find(pszTopic), std::string::npos) << pszTopic;
    }
}

} // namespace
