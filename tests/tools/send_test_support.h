// Process plumbing for the tavrel-send tests: start the built client with given arguments and
// input, and stand up a server that the module's own pipe cannot easily play (a busy one). Each
// platform realises it in linux/ or win32/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/module/command_pipe.h"

struct ProcessResult {
    int m_nExitCode = -1;    // -1 when the process did not exit normally
    std::string m_strStdout; // line breaks as "\n", whatever the platform writes
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
    intptr_t m_nProcess = -1; // the process id on POSIX, the process handle on Windows
    int m_nStatus = 0;        // how the child ended, as the system reports it
    bool m_bExited = false;
    std::string m_strDirectory;
};

// A pipe name no other test process uses: tag, a per-process stem and a counter.
std::string UniquePipeName(const std::string& strTag);

// Holds a pipe name with a server that has room for no further client, so every further client
// is turned away as busy.
class CBusyPipe {
public:
    CBusyPipe() = default;
    CBusyPipe(const CBusyPipe&) = delete;
    CBusyPipe& operator=(const CBusyPipe&) = delete;
    ~CBusyPipe();
    bool Hold(const std::string& strPipeName);

private:
    intptr_t m_hServer = -1;
    intptr_t m_hQueued = -1; // the client that takes the last place
};

// Every failure is reported as exactly one line, prefixed with the program's name.
void ExpectOneErrorLine(const ProcessResult& result, const std::string& strMentions);

// Reads one client's messages from a server made with the module's pipe code until the client
// leaves, then makes room for the next client. The client's process is not looked at, so one that
// stays running can be served; 30 s without a client coming and going fails the test.
std::vector<std::string> ServeUntilClientLeaves(CommandPipeHandle hServer);
