// The built host and client as child processes of the tests.
#include "tests/integration/host_process.h"
#include "plugin/command_protocol.h"

#include <cstdio>

const char HOST_PIPE_NAME[] = COMMAND_PIPE_NAME;

int RunToEnd(const std::vector<std::string>& arguments, std::string* pErrors) {
    std::string error;
    ChildProcess* pChild = StartChildProcess(arguments, &error);
    if (pChild == nullptr) {
        ADD_FAILURE() << "cannot start " << arguments[0] << ": " << error;
        return -1;
    }
    std::string line;
    while (ReadChildOutputLine(pChild, &line, HOST_WAIT_MS) == ChildOutputRead::Line) {
    }
    int nExitCode = -1;
    if (!WaitForChildExit(pChild, HOST_WAIT_MS, &nExitCode)) {
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
    ASSERT_EQ(RunToEnd({TAVREL_SEND_PATH, "--pipe", HOST_PIPE_NAME, command}), 0);
}

void HostProcess::StartHost(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), TAVREL_HOST_PATH);
    std::string error;
    m_pHost = StartChildProcess(arguments, &error);
    ASSERT_NE(m_pHost, nullptr) << error;
}

testing::AssertionResult HostProcess::SeeLine(const std::string& expected, bool bPrefix) {
    std::string line;
    for (;;) {
        switch (ReadChildOutputLine(m_pHost, &line, HOST_WAIT_MS)) {
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

testing::AssertionResult HostProcess::SeeStatus(int nCommandsRelayed) {
    std::string line;
    if (ReadChildOutputLine(m_pHost, &line, HOST_WAIT_MS) != ChildOutputRead::Line) {
        return testing::AssertionFailure() << "no status line" << SeenSoFar();
    }
    m_SeenLines.push_back(line);
    // "F frames run, C commands relayed, S seconds up", each noun agreeing with its number.
    long nFrames = -1, nRelayed = -1, nSeconds = -1;
    char szFrames[8] = "", szCommands[10] = "", szSeconds[8] = "";
    int nEnd = 0;
    bool bStatus = std::sscanf(line.c_str(), "%ld %7s run, %ld %9s relayed, %ld %7s up%n", &nFrames,
                               szFrames, &nRelayed, szCommands, &nSeconds, szSeconds, &nEnd) == 6 &&
                   static_cast<size_t>(nEnd) == line.size();
    auto agrees = [](long nCount, const std::string& noun, const char* pszSingular) {
        return noun == (nCount == 1 ? std::string(pszSingular) : std::string(pszSingular) + "s");
    };
    if (!bStatus || nFrames < 1 || nSeconds < 0 || !agrees(nFrames, szFrames, "frame") ||
        !agrees(nRelayed, szCommands, "command") || !agrees(nSeconds, szSeconds, "second")) {
        return testing::AssertionFailure() << "not a status line: " << line;
    }
    if (nCommandsRelayed >= 0 && nRelayed != nCommandsRelayed) {
        return testing::AssertionFailure()
               << "not " << nCommandsRelayed << " commands relayed: " << line;
    }
    return testing::AssertionSuccess();
}

void HostProcess::StartAndAwaitBanner(const std::vector<std::string>& arguments) {
    ASSERT_NO_FATAL_FAILURE(StartHost(arguments));
    ASSERT_TRUE(SeeLine("tavrel-host: loaded ", true));
    const std::string& banner = m_SeenLines.back();
    EXPECT_NE(banner.find(": Tavrel, "), std::string::npos) << banner;
}

int HostProcess::HostExitCode() {
    int nExitCode = -1;
    EXPECT_TRUE(WaitForChildExit(m_pHost, HOST_WAIT_MS, &nExitCode)) << "the host did not end";
    return nExitCode;
}

std::string HostProcess::SeenSoFar() const {
    std::string text = "; output so far:";
    for (const std::string& line : m_SeenLines) {
        text += "\n  " + line;
    }
    return text;
}
