// Process plumbing for the tavrel-send tests on POSIX: posix_spawn with files for the streams,
// and a listener whose queue is full.
#include "tests/tools/send_test_support.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/module/linux/local_socket.h"

extern char** environ;

namespace {

pid_t ToPid(intptr_t nProcess) {
    return static_cast<pid_t>(nProcess);
}

std::string ReadFile(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool WriteFile(const std::string& strPath, const std::string& strContents) {
    std::ofstream file(strPath, std::ios::binary);
    file << strContents;
    return static_cast<bool>(file);
}

void RemoveDirectory(const std::string& strDirectory) {
    for (const char* pszName : {"stdin", "stdout", "stderr"}) {
        unlink((strDirectory + "/" + pszName).c_str());
    }
    rmdir(strDirectory.c_str());
}

} // namespace

CChildProcess::~CChildProcess() {
    Kill();
    if (!m_strDirectory.empty()) {
        RemoveDirectory(m_strDirectory);
    }
}

bool CChildProcess::Start(const std::string& strProgram, const std::vector<std::string>& arguments,
                          const std::string& strStdin,
                          const std::vector<std::string>& environment) {
    const char* pszTemp = std::getenv("TMPDIR");
    std::string strTemplate = std::string(pszTemp != nullptr ? pszTemp : "/tmp") + "/send-XXXXXX";
    if (mkdtemp(&strTemplate[0]) == nullptr) {
        return false;
    }
    m_strDirectory = strTemplate;
    const std::string strIn = m_strDirectory + "/stdin";
    const std::string strOut = m_strDirectory + "/stdout";
    const std::string strErr = m_strDirectory + "/stderr";
    if (!WriteFile(strIn, strStdin)) {
        return false;
    }

    std::vector<std::string> argumentStore{strProgram};
    argumentStore.insert(argumentStore.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& strArgument : argumentStore) {
        argv.push_back(&strArgument[0]);
    }
    argv.push_back(nullptr);

    std::vector<std::string> environmentStore;
    for (char** ppszEntry = environ; *ppszEntry != nullptr; ++ppszEntry) {
        if (std::strncmp(*ppszEntry, "TAVREL_PIPE=", 12) != 0) {
            environmentStore.emplace_back(*ppszEntry);
        }
    }
    environmentStore.insert(environmentStore.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& strEntry : environmentStore) {
        envp.push_back(&strEntry[0]);
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, strIn.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t nPid = -1;
    int nError =
        posix_spawn(&nPid, strProgram.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        return false;
    }
    m_nProcess = nPid;
    return true;
}

bool CChildProcess::HasExited() {
    if (m_nProcess < 0 || m_bExited) {
        return true;
    }
    pid_t nResult;
    do {
        nResult = waitpid(ToPid(m_nProcess), &m_nStatus, WNOHANG);
    } while (nResult < 0 && errno == EINTR);
    m_bExited = nResult == ToPid(m_nProcess) || nResult < 0;
    return m_bExited;
}

ProcessResult CChildProcess::Wait() {
    ProcessResult result;
    if (m_nProcess < 0) {
        return result;
    }
    if (!m_bExited) {
        while (waitpid(ToPid(m_nProcess), &m_nStatus, 0) < 0 && errno == EINTR) {
        }
        m_bExited = true;
    }
    if (WIFEXITED(m_nStatus)) {
        result.m_nExitCode = WEXITSTATUS(m_nStatus);
    }
    result.m_strStdout = ReadFile(m_strDirectory + "/stdout");
    result.m_strStderr = ReadFile(m_strDirectory + "/stderr");
    return result;
}

void CChildProcess::Kill() {
    if (m_nProcess >= 0 && !HasExited()) {
        kill(ToPid(m_nProcess), SIGKILL);
        Wait();
    }
}

CBusyPipe::~CBusyPipe() {
    if (m_hQueued >= 0) {
        close(static_cast<int>(m_hQueued));
    }
    if (m_hServer >= 0) {
        close(static_cast<int>(m_hServer));
    }
}

bool CBusyPipe::Hold(const std::string& strPipeName) {
    sockaddr_un address{};
    socklen_t nLength = 0;
    if (!MakeAbstractAddress(strPipeName.c_str(), &address, &nLength)) {
        return false;
    }
    const sockaddr* pAddress = reinterpret_cast<const sockaddr*>(&address);
    int nListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    m_hServer = nListener;
    // A backlog of 0 admits exactly one queued connection; ours takes it.
    if (nListener < 0 || bind(nListener, pAddress, nLength) != 0 || listen(nListener, 0) != 0) {
        return false;
    }
    int nQueued = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    m_hQueued = nQueued;
    if (nQueued < 0 || connect(nQueued, pAddress, nLength) != 0) {
        return false;
    }
    // Prove the queue is full before the test relies on it.
    int nProbe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool bFull = connect(nProbe, pAddress, nLength) != 0 && errno == EAGAIN;
    close(nProbe);
    return bFull;
}
