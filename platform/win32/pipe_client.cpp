// The client end of the command pipe on Windows: a write-only handle to the named pipe. The pipe
// is message-typed, so each write arrives as one message whatever mode the client reads in.
#include "platform/pipe_client.h"

#include <cstring>
#include <string>
#include <windows.h>

namespace {

// The system's limit on a pipe's full name, "\\.\pipe\" included.
constexpr size_t MAX_PIPE_NAME = 256;
constexpr char PIPE_NAME_PREFIX[] = "\\\\.\\pipe\\";

HANDLE SystemHandle(PipeClientHandle hPipe) {
    return reinterpret_cast<HANDLE>(hPipe);
}

PipeConnectResult ConnectResultFromError(DWORD nError) {
    switch (nError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return PipeConnectResult::NotThere;
    case ERROR_PIPE_BUSY: // every instance serves a client, or is between clients
        return PipeConnectResult::Busy;
    default:
        return PipeConnectResult::Failed;
    }
}

} // namespace

PipeConnectResult ConnectToCommandPipe(const char* pszPipeName, PipeClientHandle* phPipe) {
    std::string fullName = std::strchr(pszPipeName, '\\') != nullptr
                               ? std::string(pszPipeName)
                               : std::string(PIPE_NAME_PREFIX) + pszPipeName;
    const char* pszBareName = std::strrchr(fullName.c_str(), '\\') + 1;
    if (*pszBareName == '\0' || fullName.size() > MAX_PIPE_NAME) {
        return PipeConnectResult::BadName;
    }
    // Opening never waits: a busy pipe is reported at once.
    HANDLE hPipe =
        CreateFileA(fullName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hPipe == INVALID_HANDLE_VALUE) {
        return ConnectResultFromError(GetLastError());
    }
    *phPipe = reinterpret_cast<PipeClientHandle>(hPipe);
    return PipeConnectResult::Connected;
}

PipeSendResult SendPipeMessage(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) {
    DWORD nWritten = 0;
    if (!WriteFile(SystemHandle(hPipe), pData, nBytes, &nWritten, nullptr)) {
        switch (GetLastError()) {
        case ERROR_NO_DATA: // the server is closing its end
        case ERROR_BROKEN_PIPE:
        case ERROR_PIPE_NOT_CONNECTED: // the server disconnected us
            return PipeSendResult::Broken;
        default:
            return PipeSendResult::Failed;
        }
    }
    return nWritten == nBytes ? PipeSendResult::Sent : PipeSendResult::Failed;
}

void DisconnectFromCommandPipe(PipeClientHandle hPipe) {
    CloseHandle(SystemHandle(hPipe));
}
