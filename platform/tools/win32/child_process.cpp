// Child processes on Windows: CreateProcess with three anonymous pipes, polled for timed reads.
//
// Each child gets a console of its own, without a window, so that Ctrl-C can be aimed at it alone:
// the system delivers Ctrl-C to every process of a console and never to one process group. To send
// it, this process leaves its own console for the child's, which it cannot rejoin afterwards.
// Terminate has no catchable counterpart for a console program here: it ends the child at once,
// reporting 128 + 15 as a child ended by SIGTERM does on POSIX.
#include "platform/tools/child_process.h"

#include "platform/tools/win32/command_line.h"
#include "platform/tools/win32/system_error.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <windows.h>

struct ChildProcess {
    HANDLE m_hProcess = nullptr;
    DWORD m_nProcessId = 0;
    HANDLE m_hInput = nullptr;
    HANDLE m_hOutput = nullptr;
    HANDLE m_hErrors = nullptr;
    bool m_bOutputEnded = false;
    bool m_bInterrupted = false;
    std::string m_strPendingOutput;
};

namespace {

using Clock = std::chrono::steady_clock;

// Room for a burst of output, so a child rarely waits for us to read.
constexpr DWORD CHILD_PIPE_BUFFER = 65536;
constexpr int EXIT_CODE_TERMINATED = 128 + 15;

// Children interrupted and not yet released. The Ctrl-C we send reaches this process too, while it
// is attached to the child's console; it must not end us.
std::atomic<int> g_nInterruptsInFlight{0};
// Serialises console switching, and keeps one start's inheritable pipe ends from another's child.
std::mutex g_ProcessMutex;

BOOL WINAPI IgnoreOwnInterrupt(DWORD nEvent) {
    return nEvent == CTRL_C_EVENT && g_nInterruptsInFlight.load() > 0;
}

void CloseIfOpen(HANDLE* phHandle) {
    if (*phHandle != nullptr) {
        CloseHandle(*phHandle);
        *phHandle = nullptr;
    }
}

// One pipe whose child end (the read end when bChildReads) is inheritable.
bool CreateChildPipe(bool bChildReads, HANDLE* phOurs, HANDLE* phChilds) {
    HANDLE hRead = nullptr;
    HANDLE hWrite = nullptr;
    if (!CreatePipe(&hRead, &hWrite, nullptr, CHILD_PIPE_BUFFER)) {
        return false;
    }
    *phOurs = bChildReads ? hWrite : hRead;
    *phChilds = bChildReads ? hRead : hWrite;
    if (!SetHandleInformation(*phChilds, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        CloseHandle(hRead);
        CloseHandle(hWrite);
        return false;
    }
    return true;
}

// Appends what the pipe holds now, without waiting; false once it has ended and is empty.
bool ReadAvailable(HANDLE hPipe, std::string* pInto) {
    DWORD nAvailable = 0;
    if (!PeekNamedPipe(hPipe, nullptr, 0, nullptr, &nAvailable, nullptr)) {
        return false;
    }
    while (nAvailable > 0) {
        char buffer[4096];
        DWORD nRead = 0;
        DWORD nWanted = nAvailable < sizeof(buffer) ? nAvailable : sizeof(buffer);
        if (!ReadFile(hPipe, buffer, nWanted, &nRead, nullptr) || nRead == 0) {
            return false;
        }
        pInto->append(buffer, nRead);
        nAvailable -= nRead;
    }
    return true;
}

bool HasExited(const ChildProcess* pChild) {
    return WaitForSingleObject(pChild->m_hProcess, 0) == WAIT_OBJECT_0;
}

void SendInterrupt(ChildProcess* pChild) {
    std::lock_guard<std::mutex> lock(g_ProcessMutex);
    static const bool bHandlerInstalled = SetConsoleCtrlHandler(&IgnoreOwnInterrupt, TRUE) != FALSE;
    if (!bHandlerInstalled) {
        return;
    }
    if (!pChild->m_bInterrupted) {
        pChild->m_bInterrupted = true;
        ++g_nInterruptsInFlight;
    }
    FreeConsole();
    if (AttachConsole(pChild->m_nProcessId)) {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        FreeConsole();
    }
}

} // namespace

ChildProcess* StartChildProcess(const std::vector<std::string>& arguments, std::string* pError) {
    auto fail = [pError](DWORD nError) -> ChildProcess* {
        if (pError != nullptr) {
            *pError = SystemErrorText(nError);
        }
        return nullptr;
    };
    if (arguments.empty()) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    std::string commandLine;
    for (const std::string& argument : arguments) {
        AppendQuotedArgument(&commandLine, argument);
    }
    std::string program = arguments[0];
    for (char& c : program) {
        c = c == '/' ? '\\' : c;
    }

    std::lock_guard<std::mutex> lock(g_ProcessMutex);
    HANDLE ours[3] = {};
    HANDLE childs[3] = {};
    auto closeAll = [&ours, &childs] {
        for (int i = 0; i < 3; ++i) {
            CloseIfOpen(&ours[i]);
            CloseIfOpen(&childs[i]);
        }
    };
    for (int i = 0; i < 3; ++i) {
        if (!CreateChildPipe(i == 0, &ours[i], &childs[i])) {
            DWORD nError = GetLastError();
            closeAll();
            return fail(nError);
        }
    }

    // The child inherits its three pipe ends and nothing else of ours.
    SIZE_T nAttributeBytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &nAttributeBytes);
    std::string attributeStore(nAttributeBytes, '\0');
    auto pAttributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(&attributeStore[0]);
    if (!InitializeProcThreadAttributeList(pAttributes, 1, 0, &nAttributeBytes) ||
        !UpdateProcThreadAttribute(pAttributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, childs,
                                   sizeof(childs), nullptr, nullptr)) {
        DWORD nError = GetLastError();
        closeAll();
        return fail(nError);
    }

    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = childs[0];
    startup.StartupInfo.hStdOutput = childs[1];
    startup.StartupInfo.hStdError = childs[2];
    startup.lpAttributeList = pAttributes;
    PROCESS_INFORMATION process{};
    BOOL bStarted = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                   nullptr, &startup.StartupInfo, &process);
    DWORD nError = GetLastError();
    DeleteProcThreadAttributeList(pAttributes);
    for (HANDLE& hChilds : childs) {
        CloseIfOpen(&hChilds);
    }
    if (!bStarted) {
        closeAll();
        return fail(nError);
    }
    CloseHandle(process.hThread);

    auto* pChild = new ChildProcess;
    pChild->m_hProcess = process.hProcess;
    pChild->m_nProcessId = process.dwProcessId;
    pChild->m_hInput = ours[0];
    pChild->m_hOutput = ours[1];
    pChild->m_hErrors = ours[2];
    return pChild;
}

ChildOutputRead ReadChildOutputLine(ChildProcess* pChild, std::string* pLine, int nTimeoutMs) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    for (;;) {
        size_t nBreak = pChild->m_strPendingOutput.find('\n');
        if (nBreak != std::string::npos) {
            // A Windows line break is "\r\n"; both belong to the break.
            size_t nEnd =
                nBreak > 0 && pChild->m_strPendingOutput[nBreak - 1] == '\r' ? nBreak - 1 : nBreak;
            pLine->assign(pChild->m_strPendingOutput, 0, nEnd);
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
        size_t nBefore = pChild->m_strPendingOutput.size();
        if (!ReadAvailable(pChild->m_hOutput, &pChild->m_strPendingOutput)) {
            pChild->m_bOutputEnded = true;
            continue;
        }
        if (pChild->m_strPendingOutput.size() == nBefore) {
            // Anonymous pipes cannot be waited on; poll.
            if (Clock::now() >= deadline) {
                return ChildOutputRead::TimedOut;
            }
            Sleep(1);
        }
    }
}

bool WriteChildInput(ChildProcess* pChild, const std::string& text) {
    size_t nWritten = 0;
    while (pChild->m_hInput != nullptr && nWritten < text.size()) {
        DWORD nChunk = 0;
        if (!WriteFile(pChild->m_hInput, text.data() + nWritten,
                       static_cast<DWORD>(text.size() - nWritten), &nChunk, nullptr)) {
            return false;
        }
        nWritten += nChunk;
    }
    return nWritten == text.size();
}

void CloseChildInput(ChildProcess* pChild) {
    CloseIfOpen(&pChild->m_hInput);
}

void RequestChildStop(ChildProcess* pChild, ChildStopRequest request) {
    if (HasExited(pChild)) {
        return;
    }
    if (request == ChildStopRequest::Interrupt) {
        SendInterrupt(pChild);
    } else {
        TerminateProcess(pChild->m_hProcess, EXIT_CODE_TERMINATED);
    }
}

bool WaitForChildExit(ChildProcess* pChild, int nTimeoutMs, int* pnExitCode) {
    if (WaitForSingleObject(pChild->m_hProcess, static_cast<DWORD>(nTimeoutMs)) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD nExitCode = 0;
    GetExitCodeProcess(pChild->m_hProcess, &nExitCode);
    *pnExitCode = static_cast<int>(nExitCode);
    return true;
}

std::string ReadChildErrors(ChildProcess* pChild) {
    std::string errors;
    // Once the child has exited its end is closed, so this ends at the stream's end.
    Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(HasExited(pChild) ? 1000 : 0);
    while (ReadAvailable(pChild->m_hErrors, &errors) && Clock::now() < deadline) {
        Sleep(1);
    }
    return errors;
}

void ReleaseChildProcess(ChildProcess* pChild) {
    if (pChild == nullptr) {
        return;
    }
    if (!HasExited(pChild)) {
        TerminateProcess(pChild->m_hProcess, EXIT_CODE_TERMINATED);
        WaitForSingleObject(pChild->m_hProcess, INFINITE);
    }
    if (pChild->m_bInterrupted) {
        --g_nInterruptsInFlight;
    }
    CloseHandle(pChild->m_hProcess);
    CloseIfOpen(&pChild->m_hInput);
    CloseIfOpen(&pChild->m_hOutput);
    CloseIfOpen(&pChild->m_hErrors);
    delete pChild;
}
