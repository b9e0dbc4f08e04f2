// The command pipe on Windows: the named pipe itself, one non-blocking message-mode instance that
// is recycled in place, so the name stays ours for as long as the pipe is open.
//
// What the system reports to a non-blocking read, on Windows and under Wine: ERROR_PIPE_LISTENING
// while no client has connected, ERROR_NO_DATA while a connected client has nothing written,
// ERROR_BROKEN_PIPE once it has gone and everything it wrote was read, ERROR_MORE_DATA for each
// chunk of a message longer than the buffer but the last, and success, possibly with 0 bytes, for
// the rest of it. A second instance of the name fails with ERROR_ACCESS_DENIED on Windows and
// ERROR_PIPE_BUSY under Wine; both are just a failed creation here.
#include "platform/module/command_pipe.h"

#include "platform/module/win32/command_pipe_system.h"

const CommandPipeSystemCalls g_DefaultCommandPipeSystemCalls = {
    &CreateNamedPipeA, &ConnectNamedPipe, &DisconnectNamedPipe, &ReadFile, &CloseHandle,
};
CommandPipeSystemCalls g_CommandPipeSystemCalls = g_DefaultCommandPipeSystemCalls;

namespace {

// The table's entries under the names of the calls they stand for.
const CommandPipeSystemCalls& System() {
    return g_CommandPipeSystemCalls;
}

constexpr DWORD COMMAND_PIPE_OPEN_MODE = PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE;
constexpr DWORD COMMAND_PIPE_MODE =
    PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_NOWAIT | PIPE_REJECT_REMOTE_CLIENTS;
constexpr DWORD COMMAND_PIPE_INPUT_BUFFER = 1024;

static_assert(COMMAND_PIPE_OPEN_MODE == 0x00080001, "open mode the relay is built on");
static_assert(COMMAND_PIPE_MODE == 0x0000000F, "pipe mode the relay is built on");

bool IsUsable(CommandPipeHandle hPipe) {
    return hPipe != nullptr && hPipe != INVALID_COMMAND_PIPE_HANDLE;
}

// In non-blocking mode this only puts a disconnected instance back to listening; it never waits.
void Listen(HANDLE hPipe) {
    System().m_pfnConnectNamedPipe(hPipe, nullptr);
}

// Reads and drops the rest of a message whose first chunk did not fit. A write hands the pipe its
// whole message at once (the writer may still wait for room), so every chunk is there to read.
void DiscardRestOfMessage(HANDLE hPipe) {
    char chunk[COMMAND_PIPE_INPUT_BUFFER];
    DWORD nRead = 0;
    while (!System().m_pfnReadFile(hPipe, chunk, sizeof(chunk), &nRead, nullptr) &&
           GetLastError() == ERROR_MORE_DATA) {
    }
}

} // namespace

CommandPipeHandle CreateCommandPipe(const char* pszName) {
    HANDLE hPipe =
        System().m_pfnCreateNamedPipeA(pszName, COMMAND_PIPE_OPEN_MODE, COMMAND_PIPE_MODE, 1, 0,
                                       COMMAND_PIPE_INPUT_BUFFER, 0, nullptr);
    if (hPipe == INVALID_HANDLE_VALUE) {
        return INVALID_COMMAND_PIPE_HANDLE;
    }
    Listen(hPipe);
    return hPipe;
}

CommandPipeRead ReadCommandPipe(CommandPipeHandle hPipe, void* pBuffer, uint32_t nMaxBytes,
                                uint32_t* pnBytesRead) {
    *pnBytesRead = 0;
    if (!IsUsable(hPipe)) {
        return CommandPipeRead::Failed;
    }
    DWORD nRead = 0;
    if (System().m_pfnReadFile(hPipe, pBuffer, nMaxBytes, &nRead, nullptr)) {
        *pnBytesRead = nRead;
        return CommandPipeRead::Message;
    }
    switch (GetLastError()) {
    case ERROR_MORE_DATA:
        DiscardRestOfMessage(hPipe);
        return CommandPipeRead::TooLong;
    case ERROR_NO_DATA:
    case ERROR_PIPE_LISTENING:
        return CommandPipeRead::NoData;
    case ERROR_PIPE_NOT_CONNECTED:
        // Disconnected and not listening, as after a recycle whose listen failed: listen again so
        // the next client can come.
        Listen(hPipe);
        return CommandPipeRead::NoData;
    case ERROR_BROKEN_PIPE:
        return CommandPipeRead::ClientGone;
    default:
        return CommandPipeRead::Failed;
    }
}

void RecycleCommandPipe(CommandPipeHandle hPipe) {
    if (!IsUsable(hPipe)) {
        return;
    }
    // The same instance serves the next client, so the name is never free for another process.
    System().m_pfnDisconnectNamedPipe(hPipe);
    Listen(hPipe);
}

void CloseCommandPipe(CommandPipeHandle hPipe) {
    System().m_pfnCloseHandle(hPipe);
}
