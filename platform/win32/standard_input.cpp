// Standard input on Windows: ReadFile on the standard input handle, whether it is a console, a
// pipe or a file. A console in line mode hands over one line per read, with Ctrl-Z as its end of
// input; a pipe says through PeekNamedPipe whether bytes are waiting.
#include "platform/standard_input.h"

#include <windows.h>

namespace {

constexpr char CONSOLE_END_OF_INPUT = 0x1a; // Ctrl-Z

// Ctrl-C at the prompt is handled by the read's result; the handler only keeps the system from
// ending the program.
BOOL WINAPI OnConsoleControl(DWORD nEvent) {
    return nEvent == CTRL_C_EVENT || nEvent == CTRL_BREAK_EVENT ? TRUE : FALSE;
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

InputRead ReadStandardInput(char* pBuffer, uint32_t nMaxBytes, uint32_t* pnRead,
                            bool bCatchInterrupt) {
    HANDLE hInput = GetStdHandle(STD_INPUT_HANDLE);
    if (bCatchInterrupt) {
        SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    }
    InputRead eResult = ReadFromHandle(hInput, pBuffer, nMaxBytes, pnRead);
    // After a Ctrl-C the system runs the handler on a thread of its own, perhaps only after the
    // read has returned; it must still find ours then, so it stays while the caller leaves.
    if (bCatchInterrupt && eResult != InputRead::Interrupted) {
        SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    }
    return eResult;
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
