// The relay step and the command pipe's lifetime.
#include "plugin/command_relay.h"

#include <cstring>

EngineServerInterface* g_pServerEngine = nullptr;
CommandPipeHandle g_hCommandPipe = nullptr;
char g_CommandBuffer[COMMAND_BUFFER_SIZE];

namespace {

bool CommandPipeIsOpen() {
    return g_hCommandPipe != nullptr && g_hCommandPipe != INVALID_COMMAND_PIPE_HANDLE;
}

// The engine sees a command only up to its first NUL byte, so the newline goes there: a command
// must always end with one, or the engine could run it together with the next.
void IssueCommand(uint32_t nBytesRead) {
    const void* pNul = std::memchr(g_CommandBuffer, '\0', nBytesRead);
    uint32_t nLength = pNul != nullptr
                           ? static_cast<uint32_t>(static_cast<const char*>(pNul) - g_CommandBuffer)
                           : nBytesRead;
    if (nLength == 0) {
        return;
    }
    g_CommandBuffer[nLength] = '\n';
    g_CommandBuffer[nLength + 1] = '\0';
    g_pServerEngine->IssueServerCommand(g_CommandBuffer);
}

} // namespace

bool OpenCommandRelay() {
    g_hCommandPipe = CreateCommandPipe(COMMAND_PIPE_NAME);
    return g_hCommandPipe != INVALID_COMMAND_PIPE_HANDLE;
}

void RelayPendingCommands() {
    for (;;) {
        uint32_t nBytesRead = 0;
        switch (
            ReadCommandPipe(g_hCommandPipe, g_CommandBuffer, COMMAND_MESSAGE_MAX, &nBytesRead)) {
        case CommandPipeRead::Message:
            IssueCommand(nBytesRead);
            break;
        case CommandPipeRead::TooLong:
            // Discarded whole by the pipe: a fragment of it must never run as a command.
            break;
        case CommandPipeRead::ClientGone:
            // Only a departed client ends a connection, so a client that connected and left
            // without writing cannot hold the pipe, and one still writing loses nothing.
            RecycleCommandPipe(g_hCommandPipe);
            return;
        case CommandPipeRead::NoData:
        case CommandPipeRead::Failed:
            return;
        }
    }
}

void CloseCommandRelay() {
    if (CommandPipeIsOpen()) {
        CloseCommandPipe(g_hCommandPipe);
    }
    g_hCommandPipe = INVALID_COMMAND_PIPE_HANDLE;
}
