// Child processes on Linux: posix_spawn with three pipes, poll for timed reads.
#include "platform/tools/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

struct ChildProcess {
    pid_t m_nPid = -1;
    int m_nInput = -1;
    int m_nOutput = -1;
    int m_nErrors = -1;
    bool m_bReaped = false;
    int m_nExitCode = 0;
    bool m_bOutputEnded = false;
    std::string m_strPendingOutput;
};

namespace {

using Clock = std::chrono::steady_clock;

void CloseIfOpen(int* pnDescriptor) {
    if (*pnDescriptor >= 0) {
        close(*pnDescriptor);
        *pnDescriptor = -1;
    }
}

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads what is there; false at the end of the stream.
bool ReadAvailable(int nDescriptor, std::string* pInto) {
    char buffer[4096];
    ssize_t nRead;
    do {
        nRead = read(nDescriptor, buffer, sizeof(buffer));
    } while (nRead < 0 && errno == EINTR);
    if (nRead <= 0) {
        return false;
    }
    pInto->append(buffer, static_cast<size_t>(nRead));
    return true;
}

bool Reap(ChildProcess* pChild, int nFlags) {
    if (pChild->m_bReaped) {
        return true;
    }
    int nStatus = 0;
    pid_t nResult;
    do {
        nResult = waitpid(pChild->m_nPid, &nStatus, nFlags);
    } while (nResult < 0 && errno == EINTR);
    if (nResult != pChild->m_nPid) {
        return false;
    }
    pChild->m_bReaped = true;
    pChild->m_nExitCode = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus)
                                             : 128 + (WIFSIGNALED(nStatus) ? WTERMSIG(nStatus) : 0);
    return true;
}

} // namespace

ChildProcess* StartChildProcess(const std::vector<std::string>& arguments, std::string* pError) {
    auto fail = [pError](int nError) -> ChildProcess* {
        if (pError != nullptr) {
            *pError = std::strerror(nError);
        }
        return nullptr;
    };
    if (arguments.empty()) {
        return fail(EINVAL);
    }
    // A write to a child that has gone must fail with EPIPE, not end this process.
    static const bool bPipeSignalIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)bPipeSignalIgnored;

    int input[2], output[2], errors[2];
    if (pipe2(input, O_CLOEXEC) != 0) {
        return fail(errno);
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        int nError = errno;
        close(input[0]);
        close(input[1]);
        return fail(nError);
    }
    if (pipe2(errors, O_CLOEXEC) != 0) {
        int nError = errno;
        for (int nDescriptor : {input[0], input[1], output[0], output[1]}) {
            close(nDescriptor);
        }
        return fail(nError);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    // The child starts with default signal handling, whatever this process ignores.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t nPid = -1;
    int nError = posix_spawn(&nPid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(input[0]);
    close(output[1]);
    close(errors[1]);
    if (nError != 0) {
        close(input[1]);
        close(output[0]);
        close(errors[0]);
        return fail(nError);
    }

    auto* pChild = new ChildProcess;
    pChild->m_nPid = nPid;
    pChild->m_nInput = input[1];
    pChild->m_nOutput = output[0];
    pChild->m_nErrors = errors[0];
    return pChild;
}

ChildOutputRead ReadChildOutputLine(ChildProcess* pChild, std::string* pLine, int nTimeoutMs) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        size_t nBreak = pChild->m_strPendingOutput.find('\n');
        if (nBreak != std::string::npos) {
            pLine->assign(pChild->m_strPendingOutput, 0, nBreak);
            pChild->m_strPendingOutput.erase(0, nBreak + 1);
            return ChildOutputRead::Line;
        }
        if (pChild->m_bOutputEnded) {
            if (pChild->m_strPendingOutput.empty()) {
                return ChildOutputRead::Ended;
            }
            // The last line had no line break.
            pLine->swap(pChild->m_strPendingOutput);
            pChild->m_strPendingOutput.clear();
            return ChildOutputRead::Line;
        }
        pollfd poller{};
        poller.fd = pChild->m_nOutput;
        poller.events = POLLIN;
        int nReady = poll(&poller, 1, MillisecondsLeft(deadline));
        if (nReady < 0 && errno == EINTR) {
            continue;
        }
        if (nReady <= 0) {
            return ChildOutputRead::TimedOut;
        }
        if (!ReadAvailable(pChild->m_nOutput, &pChild->m_strPendingOutput)) {
            pChild->m_bOutputEnded = true;
        }
    }
}

bool WriteChildInput(ChildProcess* pChild, const std::string& text) {
    size_t nWritten = 0;
    while (pChild->m_nInput >= 0 && nWritten < text.size()) {
        ssize_t nResult = write(pChild->m_nInput, text.data() + nWritten, text.size() - nWritten);
        if (nResult < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        nWritten += static_cast<size_t>(nResult);
    }
    return nWritten == text.size();
}

void CloseChildInput(ChildProcess* pChild) {
    CloseIfOpen(&pChild->m_nInput);
}

void RequestChildStop(ChildProcess* pChild, ChildStopRequest request) {
    if (!pChild->m_bReaped) {
        kill(pChild->m_nPid, request == ChildStopRequest::Interrupt ? SIGINT : SIGTERM);
    }
}

bool WaitForChildExit(ChildProcess* pChild, int nTimeoutMs, int* pnExitCode) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!Reap(pChild, WNOHANG)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    *pnExitCode = pChild->m_nExitCode;
    return true;
}

std::string ReadChildErrors(ChildProcess* pChild) {
    std::string errors;
    pollfd poller{};
    poller.fd = pChild->m_nErrors;
    poller.events = POLLIN;
    // Once the child has exited every write end is closed, so this ends at the stream's end.
    while (poll(&poller, 1, pChild->m_bReaped ? 1000 : 0) > 0 &&
           ReadAvailable(pChild->m_nErrors, &errors)) {
    }
    return errors;
}

void ReleaseChildProcess(ChildProcess* pChild) {
    if (pChild == nullptr) {
        return;
    }
    if (!pChild->m_bReaped) {
        kill(pChild->m_nPid, SIGKILL);
        Reap(pChild, 0);
    }
    CloseIfOpen(&pChild->m_nInput);
    CloseIfOpen(&pChild->m_nOutput);
    CloseIfOpen(&pChild->m_nErrors);
    delete pChild;
}
