// Process plumbing for the tavrel-send tests: start the built client with given arguments and
// input, and stand up servers that the module's own pipe cannot easily play (busy, foreign).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct ProcessResult {
    int m_nExitCode = -1; // -1 when the process did not exit normally
    std::string m_strStdout;
    std::string m_strStderr;
};

// A child process whose standard streams are temporary files, so neither side can block the other
// however much they write.
class CChildProcess {
public:
    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess(); // kills a child that is still running

    // TAVREL_PIPE is removed from the inherited environment; environment entries ("NAME=value")
    // are added after that.
    bool Start(const std::string& strProgram, const std::vector<std::string>& arguments,
               const std::string& strStdin, const std::vector<std::string>& environment = {});
    bool HasExited();
    ProcessResult Wait();
    void Kill();

private:
    pid_t m_nPid = -1;
    int m_nStatus = 0;
    bool m_bExited = false;
    std::string m_strDirectory;
};

// A pipe name no other test process uses: tag, process id and a counter.
std::string UniquePipeName(const std::string& strTag);

// Holds a pipe name with a listener whose queue is full and which never accepts, so every
// further client is turned away as busy.
class CBusyPipe {
public:
    CBusyPipe() = default;
    CBusyPipe(const CBusyPipe&) = delete;
    CBusyPipe& operator=(const CBusyPipe&) = delete;
    ~CBusyPipe();
    bool Hold(const std::string& strPipeName);

private:
    int m_nListener = -1;
    int m_nQueued = -1;
};

// A command-pipe server run by another user in a forked process. It creates the pipe, waits
// until told to look, then counts the messages that reached it.
class CForeignServer {
public:
    CForeignServer() = default;
    CForeignServer(const CForeignServer&) = delete;
    CForeignServer& operator=(const CForeignServer&) = delete;
    ~CForeignServer();

    // Returns once the pipe exists; false when the child could not become nUserId or create it.
    bool Start(uid_t nUserId, const std::string& strPipeName);
    // Lets the server read what is queued; the number of messages it got, or -1 on failure.
    int CountMessages();

private:
    pid_t m_nPid = -1;
    int m_nGoWriter = -1;
};
