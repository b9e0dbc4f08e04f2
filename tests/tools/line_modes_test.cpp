// The streaming and interactive modes against scripted input and a scripted server, recording
// one timeline of reads, connections and writes, so the order of waiting and sending shows.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "tools/send/line_modes.h"

namespace {

using Strings = std::vector<std::string>;
using PCR = PipeConnectResult;
using PSR = PipeSendResult;
constexpr PipeClientHandle SCRIPTED_HANDLE = 7;

// One ReadLine's answer. m_bWithPrevious: it arrived together with what came before, so it is
// already waiting; otherwise the reader has to wait for it ("wait" on the timeline).
struct Input {
    LineRead m_eRead;
    std::string m_strLine;
    bool m_bWithPrevious;
};

Input Typed(const std::string& strLine) {
    return {LineRead::Line, strLine, false};
}
Input Along(const std::string& strLine) {
    return {LineRead::Line, strLine, true};
}
const Input END{LineRead::End, "", false};
const Input CTRL_C{LineRead::Interrupted, "", false};
const Input BROKEN_INPUT{LineRead::Failed, "", false};

class CTimeline {
public:
    void Add(const std::string& strEvent) { m_Events.push_back(strEvent); }
    Strings m_Events;
};

class CScriptedInput final : public ILineInput {
public:
    CScriptedInput(CTimeline& timeline, std::deque<Input> inputs)
        : m_Timeline(timeline), m_Inputs(std::move(inputs)) {}

    LineRead ReadLine(std::string* pstrLine) override {
        Input input = m_Inputs.empty() ? END : m_Inputs.front();
        if (!m_Inputs.empty()) {
            m_Inputs.pop_front();
        }
        if (!input.m_bWithPrevious) {
            m_Timeline.Add("wait");
        }
        *pstrLine = input.m_strLine;
        return input.m_eRead;
    }
    bool LineWaiting() override { return !m_Inputs.empty() && m_Inputs.front().m_bWithPrevious; }

private:
    CTimeline& m_Timeline;
    std::deque<Input> m_Inputs;
};

// Connection attempts answer from a script whose last entry repeats; writes fail at the chosen
// call numbers (from 0). Time moves only when the session sleeps.
class CScriptedServer final : public ISendSystem {
public:
    explicit CScriptedServer(CTimeline& timeline) : m_Timeline(timeline) {}

    PipeConnectResult Connect(const char* pszPipeName, PipeClientHandle* phPipe) override {
        EXPECT_STREQ(pszPipeName, "pipe");
        EXPECT_FALSE(m_bConnected) << "a second connection while one is held";
        size_t nIndex = std::min(static_cast<size_t>(m_nAttempts++), m_Connects.size() - 1);
        PCR eResult = m_Connects[nIndex];
        if (eResult == PCR::Connected) {
            m_Timeline.Add("connect");
            m_bConnected = true;
            *phPipe = SCRIPTED_HANDLE;
        }
        return eResult;
    }
    PipeSendResult Send(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) override {
        EXPECT_EQ(hPipe, SCRIPTED_HANDLE);
        EXPECT_TRUE(m_bConnected);
        std::string strMessage(static_cast<const char*>(pData), nBytes);
        auto failure = m_SendFailures.find(m_nSends++);
        if (failure != m_SendFailures.end()) {
            m_Timeline.Add("lost " + strMessage);
            return failure->second;
        }
        m_Timeline.Add("send " + strMessage);
        return PSR::Sent;
    }
    void Disconnect(PipeClientHandle hPipe) override {
        EXPECT_EQ(hPipe, SCRIPTED_HANDLE);
        EXPECT_TRUE(m_bConnected);
        m_bConnected = false;
        m_Timeline.Add("release");
    }
    std::chrono::steady_clock::time_point Now() override { return m_Now; }
    void Sleep(std::chrono::steady_clock::duration waitTime) override { m_Now += waitTime; }

    std::vector<PCR> m_Connects{PCR::Connected};
    std::map<int, PSR> m_SendFailures;
    bool m_bConnected = false;

private:
    CTimeline& m_Timeline;
    int m_nAttempts = 0;
    int m_nSends = 0;
    std::chrono::steady_clock::time_point m_Now{};
};

class CRecordingOutput final : public ILineModeOutput {
public:
    void Show(const std::string& strText) override { m_strShown += strText; }
    void Complain(const std::string& strLine) override { m_Complaints.push_back(strLine); }
    std::string m_strShown;
    Strings m_Complaints;
};

const LineModeSettings SETTINGS{"pipe", 0.1};
const std::string TOO_LONG(1023, 'x');

struct ModeCase {
    const char* m_pszName;
    std::deque<Input> m_Inputs;
    std::vector<PCR> m_Connects;
    std::map<int, PSR> m_SendFailures;
    Strings m_Timeline;
    Strings m_Complaints; // each names its line and ends in "not sent", or is about the input
    int m_nExitCode;
};

// Shared by both modes' tables: runs the mode and checks the timeline, the complaints and the
// exit status, and that no connection is left held.
class LineModeTest : public ::testing::TestWithParam<ModeCase> {
protected:
    template <typename Run> void Check(Run run) {
        const ModeCase& c = GetParam();
        CTimeline timeline;
        CScriptedInput input(timeline, c.m_Inputs);
        CScriptedServer server(timeline);
        if (!c.m_Connects.empty()) {
            server.m_Connects = c.m_Connects;
        }
        server.m_SendFailures = c.m_SendFailures;
        CRecordingOutput output;

        int nExitCode = run(server, input, output);

        EXPECT_EQ(nExitCode, c.m_nExitCode);
        EXPECT_EQ(timeline.m_Events, c.m_Timeline);
        EXPECT_EQ(output.m_Complaints, c.m_Complaints);
        EXPECT_FALSE(server.m_bConnected);
        m_strShown = output.m_strShown;
    }

    std::string m_strShown;
};

// Names the case, not its bytes, in test listings.
void PrintTo(const ModeCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

std::string CaseName(const ::testing::TestParamInfo<ModeCase>& info) {
    return info.param.m_pszName;
}

const std::string NO_SERVER = "no server on pipe pipe (waited 0.1 s); not sent";
const std::string TOO_LONG_REFUSED =
    " \"xxxxxxxxxxxxxxxxxxxxxxxx\"... is 1023 bytes long, more than 1022; not sent";

// --- streaming ------------------------------------------------------------------------------

const ModeCase g_StreamCases[] = {
    {"BurstsShareAConnectionReleasedBetween",
     {Typed("a"), Along("b"), Typed("c"), END},
     {},
     {},
     {"wait", "connect", "send a", "send b", "release", "wait", "connect", "send c", "release",
      "wait"},
     {},
     0},
    {"EmptyLinesSkippedButCounted",
     {Typed(""), Along(TOO_LONG), Along("a"), END},
     {},
     {},
     {"wait", "connect", "send a", "release", "wait"},
     {"line 2" + TOO_LONG_REFUSED},
     65},
    // The server let the connection go (or went away) between lines: the line is written again.
    {"FailedWriteGoesAgainOnANewConnection",
     {Typed("a"), Along("b"), Along("c"), END},
     {},
     {{1, PSR::Broken}},
     {"wait", "connect", "send a", "lost b", "release", "connect", "send b", "send c", "release",
      "wait"},
     {},
     0},
    {"LineFailingTwiceIsReportedAndTheRestGoOn",
     {Typed("a"), Along("b"), END},
     {},
     {{0, PSR::Broken}, {1, PSR::Failed}},
     {"wait", "connect", "lost a", "release", "connect", "lost a", "release", "connect", "send b",
      "release", "wait"},
     {"line 1: writing to pipe pipe failed; not sent"},
     74},
    {"ServerAbsentForOneLineThenBack",
     {Typed("a"), Typed("b"), END},
     {PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::NotThere,
      PCR::Connected},
     {},
     {"wait", "wait", "connect", "send b", "release", "wait"},
     {"line 1: " + NO_SERVER},
     69},
    // The status is that of the last failure, not the worst or the first.
    {"LastFailureSetsTheStatus",
     {Typed("a"), Typed(TOO_LONG), END},
     {PCR::Busy, PCR::Busy, PCR::Busy, PCR::Busy, PCR::Busy, PCR::Busy, PCR::Connected},
     {},
     {"wait", "wait", "wait"},
     {"line 1: server on pipe pipe stayed busy for 0.1 s; not sent", "line 2" + TOO_LONG_REFUSED},
     65},
    {"UnreadableInputEnds",
     {Typed("a"), BROKEN_INPUT, Typed("never")},
     {},
     {},
     {"wait", "connect", "send a", "release", "wait"},
     {"cannot read standard input"},
     74},
};

class StreamModeTest : public LineModeTest {};

TEST_P(StreamModeTest, PlaysOut) {
    Check([](ISendSystem& server, ILineInput& input, ILineModeOutput& output) {
        return RunStreamMode(server, input, output, SETTINGS);
    });
    EXPECT_EQ(m_strShown, "") << "the streaming mode prompts nobody";
}

INSTANTIATE_TEST_SUITE_P(LineModes, StreamModeTest, ::testing::ValuesIn(g_StreamCases), CaseName);

// --- interactive ----------------------------------------------------------------------------

const ModeCase g_InteractiveCases[] = {
    // Even lines typed together go one connection each: a person may pause at any point.
    {"EachLineItsOwnConnection",
     {Typed("status"), Along("say hi"), END},
     {},
     {},
     {"wait", "connect", "send status", "release", "connect", "send say hi", "release", "wait"},
     {},
     0},
    {"BadLineRefusedSessionGoesOn",
     {Typed(TOO_LONG), Typed(""), Typed("status"), END},
     {},
     {},
     {"wait", "wait", "wait", "connect", "send status", "release", "wait"},
     {"line 1" + TOO_LONG_REFUSED},
     65},
    {"AbsentServerReportedSessionGoesOn",
     {Typed("status"), Typed("say hi"), END},
     {PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::NotThere, PCR::NotThere,
      PCR::Connected},
     {},
     {"wait", "wait", "connect", "send say hi", "release", "wait"},
     {"line 1: " + NO_SERVER},
     69},
    {"QuitConfirmedIsSent",
     {Typed("quit"), Typed("y"), END},
     {},
     {},
     {"wait", "wait", "connect", "send quit", "release", "wait"},
     {},
     0},
    {"ExitConfirmedWithYesInCapitals",
     {Typed("  EXIT"), Typed(" YES "), END},
     {},
     {},
     {"wait", "wait", "connect", "send   EXIT", "release", "wait"},
     {},
     0},
    {"QuitNotConfirmedIsNotSent",
     {Typed("quit"), Typed("n"), Typed("status"), END},
     {},
     {},
     {"wait", "wait", "wait", "connect", "send status", "release", "wait"},
     {},
     0},
    {"QuitWithEmptyAnswerIsNotSent",
     {Typed("quit"), Typed(""), END},
     {},
     {},
     {"wait", "wait", "wait"},
     {},
     0},
    {"QuitAnsweredWithEndLeaves",
     {Typed("quit"), END, Typed("y")},
     {},
     {},
     {"wait", "wait"},
     {},
     0},
    {"QuitAnsweredWithCtrlCLeaves",
     {Typed("exit"), CTRL_C, Typed("y")},
     {},
     {},
     {"wait", "wait"},
     {},
     0},
    {"CtrlCAtThePromptLeaves",
     {Typed("status"), CTRL_C, Typed("never")},
     {},
     {},
     {"wait", "connect", "send status", "release", "wait"},
     {},
     0},
    {"UnreadableInputEnds",
     {BROKEN_INPUT, Typed("never")},
     {},
     {},
     {"wait"},
     {"cannot read standard input"},
     74},
};

class InteractiveModeTest : public LineModeTest {};

TEST_P(InteractiveModeTest, PlaysOut) {
    Check([](ISendSystem& server, ILineInput& input, ILineModeOutput& output) {
        return RunInteractiveMode(server, input, output, SETTINGS, "Ctrl-D");
    });
}

INSTANTIATE_TEST_SUITE_P(LineModes, InteractiveModeTest, ::testing::ValuesIn(g_InteractiveCases),
                         CaseName);

TEST(InteractiveModeTest, PromptsAndAsksBeforeStopping) {
    CTimeline timeline;
    CScriptedInput input(timeline, {Typed("status"), Typed("quit"), Typed("n"), END});
    CScriptedServer server(timeline);
    CRecordingOutput output;
    RunInteractiveMode(server, input, output, SETTINGS, "Ctrl-D");
    EXPECT_EQ(output.m_strShown, "Each line you enter goes to pipe pipe; Ctrl-D or Ctrl-C leaves.\n"
                                 "> > stop the server? [y/N] > \n");
}

// --- what stops the server ------------------------------------------------------------------

struct StopCase {
    const char* m_pszLine;
    bool m_bStops;
};

const StopCase g_StopCases[] = {
    {"quit", true},     {"QUIT", true},           {"  exit now", true},
    {"\texit", true},   {"status; quit", true},   {"status;Exit;", true},
    {"quitter", false}, {"say quit", false},      {"say \"a; quit\"", false},
    {"exits", false},   {"say \"\"; quit", true}, {"", false},
};

class StopsServerTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopsServerTest, Decides) {
    EXPECT_EQ(StopsServer(GetParam().m_pszLine), GetParam().m_bStops) << GetParam().m_pszLine;
}

void PrintTo(const StopCase& testCase, std::ostream* pStream) {
    *pStream << '"' << testCase.m_pszLine << '"';
}

INSTANTIATE_TEST_SUITE_P(LineModes, StopsServerTest, ::testing::ValuesIn(g_StopCases));

TEST(IsYesTest, OnlyYesInAnyCase) {
    for (const char* pszYes : {"y", "Y", "yes", "Yes", " YES\t"}) {
        EXPECT_TRUE(IsYes(pszYes)) << pszYes;
    }
    for (const char* pszNo : {"", "n", "no", "yess", "yes please", "ye", "oui"}) {
        EXPECT_FALSE(IsYes(pszNo)) << pszNo;
    }
}

} // namespace
