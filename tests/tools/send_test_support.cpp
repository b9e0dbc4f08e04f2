// Process plumbing for the tavrel-send tests.
#include "tests/tools/send_test_support.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/command_pipe.h"
#include "platform/posix/local_socket.h"

extern char** environ;

namespace {

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
    int nError =
        posix_spawn(&m_nPid, strProgram.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        m_nPid = -1;
        return false;
    }
    return true;
}

bool CChildProcess::HasExited() {
    if (m_nPid < 0 || m_bExited) {
        return true;
    }
    pid_t nResult;
    do {
        nResult = waitpid(m_nPid, &m_nStatus, WNOHANG);
    } while (nResult < 0 && errno == EINTR);
    m_bExited = nResult == m_nPid || nResult < 0;
    return m_bExited;
}

ProcessResult CChildProcess::Wait() {
    ProcessResult result;
    if (m_nPid < 0) {
        return result;
    }
    if (!m_bExited) {
        while (waitpid(m_nPid, &m_nStatus, 0) < 0 && errno == EINTR) {
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
    if (m_nPid >= 0 && !HasExited()) {
        kill(m_nPid, SIGKILL);
        Wait();
    }
}

std::string UniquePipeName(const std::string& strTag) {
    static int s_nCounter = 0;
    return "tavrel-test-" + strTag + "-" + std::to_string(getpid()) + "-" +
           std::to_string(++s_nCounter);
}

CBusyPipe::~CBusyPipe() {
    if (m_nQueued >= 0) {
        close(m_nQueued);
    }
    if (m_nListener >= 0) {
        close(m_nListener);
    }
}

bool CBusyPipe::Hold(const std::string& strPipeName) {
    sockaddr_un address{};
    socklen_t nLength = 0;
    if (!MakeAbstractAddress(strPipeName.c_str(), &address, &nLength)) {
        return false;
    }
    const sockaddr* pAddress = reinterpret_cast<const sockaddr*>(&address);
    m_nListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    // A backlog of 0 admits exactly one queued connection; ours takes it.
    if (m_nListener < 0 || bind(m_nListener, pAddress, nLength) != 0 ||
        listen(m_nListener, 0) != 0) {
        return false;
    }
    m_nQueued = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_nQueued < 0 || connect(m_nQueued, pAddress, nLength) != 0) {
        return false;
    }
    // Prove the queue is full before the test relies on it.
    int nProbe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    bool bFull = connect(nProbe, pAddress, nLength) != 0 && errno == EAGAIN;
    close(nProbe);
    return bFull;
}

CForeignServer::~CForeignServer() {
    if (m_nGoWriter >= 0) {
        close(m_nGoWriter);
    }
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
}

bool CForeignServer::Start(uid_t nUserId, const std::string& strPipeName) {
    int readyPipe[2];
    int goPipe[2];
    if (pipe2(readyPipe, O_CLOEXEC) != 0) {
        return false;
    }
    if (pipe2(goPipe, O_CLOEXEC) != 0) {
        close(readyPipe[0]);
        close(readyPipe[1]);
        return false;
    }
    m_nPid = fork();
    if (m_nPid == 0) {
        close(readyPipe[0]);
        close(goPipe[1]);
        // The test process has one thread, so the child may run ordinary code after fork.
        if (setgroups(0, nullptr) != 0 || setgid(nUserId) != 0 || setuid(nUserId) != 0) {
            _exit(250);
        }
        CommandPipeHandle hPipe = CreateCommandPipe(strPipeName.c_str());
        if (hPipe == INVALID_COMMAND_PIPE_HANDLE) {
            _exit(251);
        }
        char cByte = 1;
        if (write(readyPipe[1], &cByte, 1) != 1) {
            _exit(252);
        }
        // Blocks until the parent has run its client and lets us look.
        while (read(goPipe[0], &cByte, 1) < 0 && errno == EINTR) {
        }
        int nMessages = 0;
        char buffer[4096];
        uint32_t nRead = 0;
        CommandPipeRead eRead;
        while ((eRead = ReadCommandPipe(hPipe, buffer, sizeof(buffer), &nRead)) ==
               CommandPipeRead::Message) {
            ++nMessages;
        }
        CloseCommandPipe(hPipe);
        _exit(eRead == CommandPipeRead::Failed ? 253 : nMessages);
    }
    close(readyPipe[1]);
    close(goPipe[0]);
    m_nGoWriter = goPipe[1];
    if (m_nPid < 0) {
        close(readyPipe[0]);
        return false;
    }
    char cByte = 0;
    ssize_t nRead;
    do {
        nRead = read(readyPipe[0], &cByte, 1);
    } while (nRead < 0 && errno == EINTR);
    close(readyPipe[0]);
    return nRead == 1;
}

int CForeignServer::CountMessages() {
    if (m_nPid <= 0) {
        return -1;
    }
    close(m_nGoWriter);
    m_nGoWriter = -1;
    int nStatus = 0;
    while (waitpid(m_nPid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    m_nPid = -1;
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) >= 250) {
        return -1;
    }
    return WEXITSTATUS(nStatus);
}
