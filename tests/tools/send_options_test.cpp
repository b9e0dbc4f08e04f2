// Command-line parsing of tavrel-send.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "tools/send/send_options.h"

namespace {

using Strings = std::vector<std::string>;
const char* const DEFAULT_PIPE = "\\\\.\\pipe\\ZivireDadedez";

struct AcceptedCase {
    const char* m_pszName;
    Strings m_Arguments;
    const char* m_pszEnvironmentPipe;
    std::string m_strPipe;
    double m_flTimeout;
    Strings m_Commands; // empty: the lines of standard input are the messages
};

const AcceptedCase g_AcceptedCases[] = {
    {"NothingMeansStandardInput", {}, nullptr, DEFAULT_PIPE, 5.0, {}},
    {"CommandsAreKept", {"status", "say hi"}, nullptr, DEFAULT_PIPE, 5.0, {"status", "say hi"}},
    {"EnvironmentNamesPipe", {"status"}, "envpipe", "envpipe", 5.0, {"status"}},
    {"EmptyEnvironmentCountsAsUnset", {"status"}, "", DEFAULT_PIPE, 5.0, {"status"}},
    {"PipeOptionWinsOverEnvironment", {"--pipe", "optpipe", "x"}, "envpipe", "optpipe", 5.0, {"x"}},
    {"PipeOptionWithEquals", {"--pipe=optpipe", "x"}, "envpipe", "optpipe", 5.0, {"x"}},
    {"LastPipeOptionWins", {"--pipe", "a", "--pipe", "b", "x"}, nullptr, "b", 5.0, {"x"}},
    {"FractionalTimeout", {"--timeout", "0.25", "x"}, nullptr, DEFAULT_PIPE, 0.25, {"x"}},
    {"TimeoutWithEquals", {"--timeout=2", "x"}, nullptr, DEFAULT_PIPE, 2.0, {"x"}},
    {"ZeroTimeout", {"--timeout", "0"}, nullptr, DEFAULT_PIPE, 0.0, {}},
    {"LeadingPointTimeout", {"--timeout", ".5"}, nullptr, DEFAULT_PIPE, 0.5, {}},
    {"LongestTimeout", {"--timeout", "86400"}, nullptr, DEFAULT_PIPE, 86400.0, {}},
    {"DoubleDashEndsOptions",
     {"--", "--timeout", "-attack"},
     nullptr,
     DEFAULT_PIPE,
     5.0,
     {"--timeout", "-attack"}},
    {"DoubleDashAloneMeansStandardInput", {"--"}, nullptr, DEFAULT_PIPE, 5.0, {}},
    {"FirstCommandEndsOptions",
     {"status", "--pipe", "p"},
     nullptr,
     DEFAULT_PIPE,
     5.0,
     {"status", "--pipe", "p"}},
    {"LoneDashIsACommand", {"-"}, nullptr, DEFAULT_PIPE, 5.0, {"-"}},
    {"ValueMayStartWithDash", {"--pipe", "-p", "x"}, nullptr, "-p", 5.0, {"x"}},
};

class SendOptionsAcceptedTest : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(SendOptionsAcceptedTest, Parses) {
    const AcceptedCase& c = GetParam();
    SendOptions options = ParseSendOptions(c.m_Arguments, c.m_pszEnvironmentPipe);
    ASSERT_EQ(options.m_eAction, SendAction::Send) << options.m_strError;
    EXPECT_EQ(options.m_strPipeName, c.m_strPipe);
    EXPECT_DOUBLE_EQ(options.m_flTimeoutSeconds, c.m_flTimeout);
    EXPECT_EQ(options.m_Commands, c.m_Commands);
    EXPECT_EQ(options.m_bFromStandardInput, c.m_Commands.empty());
}

// Names the case, not its bytes, in test listings.
void PrintTo(const AcceptedCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(SendOptions, SendOptionsAcceptedTest, ::testing::ValuesIn(g_AcceptedCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

struct RefusedCase {
    const char* m_pszName;
    Strings m_Arguments;
    const char* m_pszMentions; // the error names what was wrong
};

const RefusedCase g_RefusedCases[] = {
    {"UnknownOption", {"--bogus"}, "--bogus"},
    {"UnknownShortOption", {"-x", "status"}, "-x"},
    {"HelpTakesNoValue", {"--help=1"}, "--help=1"},
    {"PipeWithoutValue", {"--pipe"}, "--pipe"},
    {"EmptyPipe", {"--pipe", "", "x"}, "--pipe"},
    {"EmptyPipeWithEquals", {"--pipe=", "x"}, "--pipe"},
    {"TimeoutWithoutValue", {"--timeout"}, "--timeout"},
    {"EmptyTimeout", {"--timeout="}, "timeout"},
    {"WordTimeout", {"--timeout", "soon"}, "soon"},
    {"NegativeTimeout", {"--timeout", "-1"}, "-1"},
    {"SignedTimeout", {"--timeout", "+1"}, "+1"},
    {"ExponentTimeout", {"--timeout", "1e3"}, "1e3"},
    {"HexTimeout", {"--timeout", "0x10"}, "0x10"},
    {"InfiniteTimeout", {"--timeout", "inf"}, "inf"},
    {"NanTimeout", {"--timeout", "nan"}, "nan"},
    {"BlankBeforeTimeout", {"--timeout", " 1"}, " 1"},
    {"TwoPointsTimeout", {"--timeout", "1.2.3"}, "1.2.3"},
    {"PointOnlyTimeout", {"--timeout", "."}, "."},
    {"TimeoutAboveADay", {"--timeout", "86400.5"}, "86400.5"},
    {"StreamWithCommands", {"--stream", "status"}, "--stream"},
    {"StreamTakesNoValue", {"--stream=1"}, "--stream=1"},
};

class SendOptionsRefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(SendOptionsRefusedTest, IsAUsageErrorNamingTheCulprit) {
    SendOptions options = ParseSendOptions(GetParam().m_Arguments, "envpipe");
    EXPECT_EQ(options.m_eAction, SendAction::UsageError);
    EXPECT_NE(options.m_strError.find(GetParam().m_pszMentions), std::string::npos)
        << options.m_strError;
}

// Names the case, not its bytes, in test listings.
void PrintTo(const RefusedCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(SendOptions, SendOptionsRefusedTest, ::testing::ValuesIn(g_RefusedCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST(SendOptionsTest, HelpAndVersionWinOverWhatFollows) {
    EXPECT_EQ(ParseSendOptions({"--help", "--bogus"}, nullptr).m_eAction, SendAction::ShowHelp);
    EXPECT_EQ(
        ParseSendOptions({"--timeout", "1", "--version", "--timeout", "x"}, nullptr).m_eAction,
        SendAction::ShowVersion);
    // After the options end, "--help" is a command like any other.
    EXPECT_EQ(ParseSendOptions({"--", "--help"}, nullptr).m_eAction, SendAction::Send);
}

// Which mode runs: only a person at a terminal without COMMANDs gets the console, and only
// --stream changes how piped input is read.
struct ModeCase {
    const char* m_pszName;
    Strings m_Arguments;
    bool m_bInputIsTerminal;
    SendMode m_eMode;
};

const ModeCase g_ModeCases[] = {
    {"CommandsAtATerminal", {"status"}, true, SendMode::Commands},
    {"CommandsFromAPipe", {"status"}, false, SendMode::Commands},
    {"PipedInputIsABatch", {}, false, SendMode::InputBatch},
    {"TerminalIsInteractive", {"--timeout", "1"}, true, SendMode::Interactive},
    {"DoubleDashAtATerminalIsInteractive", {"--"}, true, SendMode::Interactive},
    {"StreamFromAPipe", {"--stream"}, false, SendMode::Stream},
    {"StreamAtATerminalHasNoPrompt", {"--stream"}, true, SendMode::Stream},
};

class SendModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SendModeTest, Chooses) {
    SendOptions options = ParseSendOptions(GetParam().m_Arguments, nullptr);
    ASSERT_EQ(options.m_eAction, SendAction::Send) << options.m_strError;
    EXPECT_EQ(ChooseSendMode(options, GetParam().m_bInputIsTerminal), GetParam().m_eMode);
}

// Names the case, not its bytes, in test listings.
void PrintTo(const ModeCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(SendOptions, SendModeTest, ::testing::ValuesIn(g_ModeCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

} // namespace
