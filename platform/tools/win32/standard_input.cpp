// Standard input on Windows: ReadFile on the standard input handle, whether it is a console, a
// pipe or a file. A console in line mode hands over one line per read, with Ctrl-Z as its end of
// input; a pipe says through PeekNamedPipe whether bytes are waiting.
#include "platform/tools/standard_input.h"

#include <atomic>
#include <windows.h>

namespace {

constexpr char CONSOLE_END_OF_INPUT = 0x1a; // Ctrl-Z

// Set by the handler, which the system runs on a thread of its own.
std::atomic<bool> g_bInterrupted{false};

BOOL WINAPI OnConsoleControl(DWORD nEvent) {
    if (nEvent == CTRL_C_EVENT || nEvent == CTRL_BREAK_EVENT) {
        g_bInterrupted = true;
        return TRUE;
    }
    return FALSE;
}

bool IsConsole(HANDLE hInput) {
    DWORD nMode = 0;
    return GetConsoleMode(hInput, &nMode) != FALSE;
}

InputRead ReadFromHandle(HANDLE hInput, char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead) {
    const bool bConsole = IsConsole(hInput);
    for (;;) {
        DWORD nRead = 0;
        BOOL bRead = ReadFile(hInput, pBuffer, nMaxBytes, &nRead, nullptr);
        DWORD nError = bRead ? ERROR_SUCCESS : GetLastError();
        if (bConsole && nRead == 0 && (bRead || nError == ERROR_OPERATION_ABORTED)) {
            return InputRead::Interrupted; // Ctrl-C ends a console read with nothing read
        }
        if (!bRead) {
            return nError == ERROR_BROKEN_PIPE || nError == ERROR_HANDLE_EOF ? InputRead::End
                                                                             : InputRead::Failed;
        }
        if (nRead == 0) {
            // A writer may write nothing to a pipe; only a file ends on an empty read.
            if (GetFileType(hInput) == FILE_TYPE_PIPE) {
                continue;
            }
            return InputRead::End;
        }
        if (bConsole && pBuffer[0] == CONSOLE_END_OF_INPUT) {
            return InputRead::End;
        }
        *pnRead = nRead;
        return InputRead::Data;
    }
}

} // namespace

bool StandardInputIsTerminal() {
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
}

void CatchInterrupts() {
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

InputRead ReadStandardInput(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead) {
    if (g_bInterrupted.exchange(false)) {
        return InputRead::Interrupted;
    }
    // A console read that Ctrl-C ends reports it at once, before the handler may have run.
    return ReadFromHandle(GetStdHandle(STD_INPUT_HANDLE), pBuffer, nMaxBytes, pnRead);
}

bool StandardInputReady() {
    HANDLE hInput = GetStdHandle(STD_INPUT_HANDLE);
    if (IsConsole(hInput)) {
        return false;
    }
    if (GetFileType(hInput) != FILE_TYPE_PIPE) {
        return true; // a file or a device never keeps a reader waiting
    }
    DWORD nAvailable = 0;
    // A pipe whose writer has gone fails here; its end is waiting to be read.
    return !PeekNamedPipe(hInput, nullptr, 0, nullptr, &nAvailable, nullptr) || nAvailable > 0;
}

const char* EndOfInputKeys() {
    return "Ctrl-Z then Enter";
}
