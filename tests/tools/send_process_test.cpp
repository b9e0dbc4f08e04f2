// The built tavrel-send against servers made with the module's own pipe code: what arrives, what
// never connects, and the exit code and error line of each failure.
#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/module/command_pipe.h"
#include "platform/tools/child_process.h"
#include "plugin/command_protocol.h"
#include "tests/tools/send_test_support.h"

namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

// What a server saw of one run of the client.
struct ServedRun {
    ProcessResult m_Result;
    Strings m_Messages;
    bool m_bConnected = false; // a client connected (and left)
    int m_nTooLong = 0;
};

class SendProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
        m_strPipe = UniquePipeName(pInfo->name());
        for (char& c : m_strPipe) {
            c = c == '/' ? '-' : c;
        }
    }

    void TearDown() override { CloseServer(); }

    void CreateServer() {
        m_hServer = CreateCommandPipe(("\\\\.\\pipe\\" + m_strPipe).c_str());
        ASSERT_NE(m_hServer, INVALID_COMMAND_PIPE_HANDLE);
    }

    void CloseServer() {
        if (m_hServer != INVALID_COMMAND_PIPE_HANDLE) {
            CloseCommandPipe(m_hServer);
            m_hServer = INVALID_COMMAND_PIPE_HANDLE;
        }
    }

    Strings WithPipe(const Strings& arguments) const {
        Strings all{"--pipe", m_strPipe};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return all;
    }

    void Start(CChildProcess* pChild, const Strings& arguments, const std::string& strStdin = "",
               const Strings& environment = {}) {
        ASSERT_TRUE(pChild->Start(TAVREL_SEND_PATH, arguments, strStdin, environment));
    }

    // Reads the server until the client has gone. Exit is checked before each read, so a read
    // that finds nothing after the client exited means it never connected. The deadline only
    // keeps a broken client from hanging the suite.
    ServedRun Serve(CChildProcess* pChild) {
        ServedRun run;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            bool bExited = pChild->HasExited();
            char buffer[4096];
            uint32_t nRead = 0;
            CommandPipeRead eRead = ReadCommandPipe(m_hServer, buffer, sizeof(buffer), &nRead);
            if (eRead == CommandPipeRead::Message) {
                run.m_Messages.emplace_back(buffer, nRead);
                continue;
            }
            if (eRead == CommandPipeRead::TooLong) {
                ++run.m_nTooLong;
                continue;
            }
            if (eRead == CommandPipeRead::ClientGone) {
                run.m_bConnected = true;
                break;
            }
            if (eRead == CommandPipeRead::Failed || bExited) {
                break;
            }
            if (std::chrono::steady_clock::now() > giveUp) {
                ADD_FAILURE() << "tavrel-send neither finished nor left the pipe";
                pChild->Kill();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        run.m_Result = pChild->Wait();
        return run;
    }

    ServedRun RunAgainstServer(const Strings& arguments, const std::string& strStdin = "",
                               const Strings& environment = {}) {
        CChildProcess child;
        Start(&child, arguments, strStdin, environment);
        return Serve(&child);
    }

    ProcessResult RunAlone(const Strings& arguments, const std::string& strStdin = "") {
        CChildProcess child;
        Start(&child, arguments, strStdin);
        return child.Wait();
    }

    std::string m_strPipe;
    CommandPipeHandle m_hServer = INVALID_COMMAND_PIPE_HANDLE;
};

// --- delivery ---------------------------------------------------------------------------------

struct DeliveryCase {
    const char* m_pszName;
    Strings m_Arguments; // after --pipe NAME
    std::string m_strStdin;
    Strings m_Expected;
};

Strings ManyLines(int nLines) {
    Strings lines;
    for (int i = 0; i < nLines; ++i) {
        lines.push_back("say line " + std::to_string(i));
    }
    return lines;
}

std::string JoinLines(const Strings& lines) {
    std::string strJoined;
    for (const std::string& strLine : lines) {
        strJoined += strLine + "\n";
    }
    return strJoined;
}

const DeliveryCase g_DeliveryCases[] = {
    {"ArgumentsInOrder",
     {"status", "say hello world", "echo \"x\""},
     "",
     {"status", "say hello world", "echo \"x\""}},
    {"DashCommandsAfterDoubleDash", {"--", "-attack", "+jump"}, "", {"-attack", "+jump"}},
    {"OptionsEndAtFirstCommand", {"status", "--timeout", "-x"}, "", {"status", "--timeout", "-x"}},
    {"LongestMessageWhole",
     {std::string(COMMAND_MESSAGE_MAX, 'm')},
     "",
     {std::string(COMMAND_MESSAGE_MAX, 'm')}},
    {"StandardInputLines", {}, "status\r\n\r\nsay hi\n\nlast", {"status", "say hi", "last"}},
    // More than the socket buffer holds: the client must wait for the reader, not fail or drop.
    {"ManyLinesInOrder", {}, JoinLines(ManyLines(3000)), ManyLines(3000)},
};

class SendDeliveryTest : public SendProcessTest,
                         public ::testing::WithParamInterface<DeliveryCase> {};

TEST_P(SendDeliveryTest, ServerReceivesEachMessageSeparatelyInOrder) {
    CreateServer();
    ServedRun run = RunAgainstServer(WithPipe(GetParam().m_Arguments), GetParam().m_strStdin);
    EXPECT_EQ(run.m_Result.m_nExitCode, 0) << run.m_Result.m_strStderr;
    EXPECT_EQ(run.m_Result.m_strStderr, "");
    EXPECT_TRUE(run.m_bConnected);
    EXPECT_EQ(run.m_nTooLong, 0);
    EXPECT_EQ(run.m_Messages, GetParam().m_Expected);
}

// Names the case, not its bytes, in test listings.
void PrintTo(const DeliveryCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(Send, SendDeliveryTest, ::testing::ValuesIn(g_DeliveryCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// --- choosing the pipe ------------------------------------------------------------------------

TEST_F(SendProcessTest, EnvironmentNamesThePipeWhenNoOptionDoes) {
    CreateServer();
    ServedRun run = RunAgainstServer({"status"}, "", {"TAVREL_PIPE=" + m_strPipe});
    EXPECT_EQ(run.m_Result.m_nExitCode, 0) << run.m_Result.m_strStderr;
    EXPECT_EQ(run.m_Messages, Strings{"status"});
}

TEST_F(SendProcessTest, PipeOptionWinsOverEnvironment) {
    CreateServer();
    ServedRun run = RunAgainstServer(WithPipe({"--timeout", "0", "status"}), "",
                                     {"TAVREL_PIPE=" + m_strPipe + "-elsewhere"});
    EXPECT_EQ(run.m_Result.m_nExitCode, 0) << run.m_Result.m_strStderr;
    EXPECT_EQ(run.m_Messages, Strings{"status"});
}

// --- runs that must never connect -------------------------------------------------------------

struct RefusedCase {
    const char* m_pszName;
    Strings m_Arguments; // after --pipe NAME
    std::string m_strStdin;
    int m_nExitCode;
    std::string m_strMentions; // in the error line; empty when no error is expected
};

const RefusedCase g_RefusedCases[] = {
    {"EmptyInputSendsNothing", {}, "", 0, ""},
    {"BlankLinesSendNothing", {}, "\n\r\n\n", 0, ""},
    {"TooLongArgumentRefusesBatch",
     {"status", std::string(1023, 'x'), "quit"},
     "",
     65,
     "command 2"},
    {"NulLineRefusesBatch", {}, "status\nsay a\0b\nquit\n"s, 65, "line 2"},
    {"UnknownOption", {"--bogus", "status"}, "", 64, "--bogus"},
    {"BadTimeout", {"--timeout", "soon", "status"}, "", 64, "soon"},
    {"NegativeTimeout", {"--timeout", "-1", "status"}, "", 64, "-1"},
};

class SendRefusedTest : public SendProcessTest,
                        public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(SendRefusedTest, ExitsWithoutConnecting) {
    CreateServer();
    ServedRun run = RunAgainstServer(WithPipe(GetParam().m_Arguments), GetParam().m_strStdin);
    EXPECT_EQ(run.m_Result.m_nExitCode, GetParam().m_nExitCode);
    EXPECT_FALSE(run.m_bConnected);
    EXPECT_TRUE(run.m_Messages.empty());
    if (GetParam().m_strMentions.empty()) {
        EXPECT_EQ(run.m_Result.m_strStderr, "");
    } else {
        ExpectOneErrorLine(run.m_Result, GetParam().m_strMentions);
    }
}

// Names the case, not its bytes, in test listings.
void PrintTo(const RefusedCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszName;
}

INSTANTIATE_TEST_SUITE_P(Send, SendRefusedTest, ::testing::ValuesIn(g_RefusedCases),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// --- waiting for the server -------------------------------------------------------------------

TEST_F(SendProcessTest, NoServerExits69AfterTimeout) {
    for (const char* pszTimeout : {"0", "0.2"}) {
        ProcessResult result = RunAlone(WithPipe({"--timeout", pszTimeout, "status"}));
        EXPECT_EQ(result.m_nExitCode, 69) << "timeout " << pszTimeout;
        ExpectOneErrorLine(result, m_strPipe);
    }
}

TEST_F(SendProcessTest, ServerThatAppearsLateGetsEverything) {
    CChildProcess child;
    Start(&child, WithPipe({"--timeout", "20", "status", "say late"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CreateServer();
    ServedRun run = Serve(&child);
    EXPECT_EQ(run.m_Result.m_nExitCode, 0) << run.m_Result.m_strStderr;
    EXPECT_EQ(run.m_Messages, (Strings{"status", "say late"}));
}

TEST_F(SendProcessTest, ServerBusyForWholeTimeoutExits75) {
    CBusyPipe busy;
    ASSERT_TRUE(busy.Hold(m_strPipe));
    ProcessResult result = RunAlone(WithPipe({"--timeout", "0.2", "status"}));
    EXPECT_EQ(result.m_nExitCode, 75);
    ExpectOneErrorLine(result, "busy");
}

// --- failures after connecting ----------------------------------------------------------------

TEST_F(SendProcessTest, ServerClosingMidBatchExits74WithCount) {
    CreateServer();
    // Far more than the client's socket buffer holds, so it is still sending when we hang up.
    const int nLines = 4000;
    CChildProcess child;
    Start(&child, WithPipe({}), JoinLines(Strings(nLines, std::string(1000, 'b'))));
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char buffer[4096];
    uint32_t nRead = 0;
    while (ReadCommandPipe(m_hServer, buffer, sizeof(buffer), &nRead) != CommandPipeRead::Message) {
        ASSERT_FALSE(child.HasExited()) << child.Wait().m_strStderr;
        ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "no message arrived";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    RecycleCommandPipe(m_hServer);
    ProcessResult result = child.Wait();
    EXPECT_EQ(result.m_nExitCode, 74);
    ExpectOneErrorLine(result, " of " + std::to_string(nLines) + " messages");
}

// --- streaming --------------------------------------------------------------------------------

// A program that writes lines into tavrel-send --stream over time, as a scheduler would.
class SendStreamTest : public SendProcessTest {
protected:
    void TearDown() override {
        ReleaseChildProcess(m_pStream);
        SendProcessTest::TearDown();
    }

    void StartStream() {
        std::string strError;
        m_pStream = StartChildProcess(
            {TAVREL_SEND_PATH, "--pipe", m_strPipe, "--timeout", "30", "--stream"}, &strError);
        ASSERT_NE(m_pStream, nullptr) << strError;
    }

    void Write(const std::string& strLines) { ASSERT_TRUE(WriteChildInput(m_pStream, strLines)); }

    bool StillRunning() {
        int nExitCode = 0;
        return !WaitForChildExit(m_pStream, 0, &nExitCode);
    }

    // The stream's input ends; it must leave with status 0 and nothing on standard error.
    void ExpectCleanEnd() {
        CloseChildInput(m_pStream);
        int nExitCode = -1;
        ASSERT_TRUE(WaitForChildExit(m_pStream, 30000, &nExitCode));
        EXPECT_EQ(nExitCode, 0);
        EXPECT_EQ(ReadChildErrors(m_pStream), "");
    }

    ChildProcess* m_pStream = nullptr;
};

TEST_F(SendStreamTest, EachBurstIsRelayedBeforeInputEndsAndOthersAreServedBetween) {
    CreateServer();
    StartStream();
    Write("say one\n");
    // The stream left the pipe once nothing more was waiting, though its input is still open.
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), Strings{"say one"});
    EXPECT_TRUE(StillRunning());

    ServedRun other = RunAgainstServer(WithPipe({"--timeout", "0", "say other"}));
    EXPECT_EQ(other.m_Result.m_nExitCode, 0) << other.m_Result.m_strStderr;
    EXPECT_EQ(other.m_Messages, Strings{"say other"});
    RecycleCommandPipe(m_hServer);

    Write("say two\n\nsay three\r\n");
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), (Strings{"say two", "say three"}));
    EXPECT_TRUE(StillRunning());
    ExpectCleanEnd();
}

TEST_F(SendStreamTest, ServerThatGoesAwayAndComesBackLosesNoLine) {
    CreateServer();
    StartStream();
    Write("say before\n");
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), Strings{"say before"});

    CloseServer();
    Write("say while away\nsay also away\n");
    // A client that tries meanwhile finds nobody; the stream keeps waiting for the server.
    ProcessResult absent = RunAlone(WithPipe({"--timeout", "0", "status"}));
    EXPECT_EQ(absent.m_nExitCode, 69);
    EXPECT_TRUE(StillRunning());
    CreateServer();
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), (Strings{"say while away", "say also away"}));

    Write("say after\n");
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), Strings{"say after"});
    ExpectCleanEnd();
}

TEST_F(SendStreamTest, BadLineIsReportedAndTheRestGoOn) {
    CreateServer();
    StartStream();
    Write("say first\n" + std::string(1023, 'x') + "\nsay last\n");
    EXPECT_EQ(ServeUntilClientLeaves(m_hServer), (Strings{"say first", "say last"}));
    CloseChildInput(m_pStream);
    int nExitCode = -1;
    ASSERT_TRUE(WaitForChildExit(m_pStream, 30000, &nExitCode));
    EXPECT_EQ(nExitCode, 65);
    ProcessResult errors;
    errors.m_strStderr = ReadChildErrors(m_pStream);
    ExpectOneErrorLine(errors, "line 2 ");
}

// --- information ------------------------------------------------------------------------------

TEST_F(SendProcessTest, VersionAndHelpGoToStandardOutput) {
    ProcessResult version = RunAlone({"--version"});
    EXPECT_EQ(version.m_nExitCode, 0);
    EXPECT_EQ(version.m_strStdout, "tavrel-send " TAVREL_EXPECTED_VERSION "\n");

    ProcessResult help = RunAlone({"--help", "status"});
    EXPECT_EQ(help.m_nExitCode, 0);
    EXPECT_EQ(help.m_strStdout.rfind("Usage: tavrel-send", 0), 0u) << help.m_strStdout;
    EXPECT_EQ(help.m_strStderr, "");
}

} // namespace
