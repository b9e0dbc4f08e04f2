// The client end of the command pipe on Windows: a write-only handle to the named pipe. The pipe
// is message-typed, so each write arrives as one message; a client that never reads needs no
// read mode of its own.
#include "platform/tools/pipe_client.h"

#include "platform/tools/win32/pipe_server_identity.h"

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
    // Opening never waits: a busy pipe is reported at once. The server may learn who we are, but
    // never act as us.
    HANDLE hPipe = CreateFileA(fullName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (hPipe == INVALID_HANDLE_VALUE) {
        return ConnectResultFromError(GetLastError());
    }
    // Whoever holds the name gets nothing unless it runs as us or could read us anyway.
    switch (CheckPipeServer(hPipe)) {
    case PipeServerTrust::Trusted:
        *phPipe = reinterpret_cast<PipeClientHandle>(hPipe);
        return PipeConnectResult::Connected;
    case PipeServerTrust::OtherUser:
        CloseHandle(hPipe);
        return PipeConnectResult::OtherUser;
    case PipeServerTrust::Unknown:
        break;
    }
    CloseHandle(hPipe);
    return PipeConnectResult::Failed;
}

PipeSendResult SendPipeMessage(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) {
    DWORD nWritten = 0;
    if (!WriteFile(SystemHandle(hPipe), pData, nBytes, &nWritten, nullptr)) {
        switch (GetLastError()) {
        case ERROR_NO_DATA: // the server closed its end
        case ERROR_BROKEN_PIPE:
        case ERROR_PIPE_NOT_CONNECTED: // the server disconnected us and listens again
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
