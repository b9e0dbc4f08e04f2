// The relay step and the command pipe's lifetime.
#include "plugin/command_relay.h"

#include <cstring>

EngineServerInterface* g_pServerEngine = nullptr;
CommandPipeHandle g_hCommandPipe = nullptr;
char g_CommandBuffer[COMMAND_BUFFER_SIZE];

namespace {

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

bool CommandRelayIsOpen() {
    return g_hCommandPipe != nullptr && g_hCommandPipe != INVALID_COMMAND_PIPE_HANDLE;
}

bool OpenCommandRelay() {
    // Creating a second pipe would fail on the name we hold and overwrite the handle of the one
    // still serving.
    if (CommandRelayIsOpen()) {
        return false;
    }
    g_hCommandPipe = CreateCommandPipe(COMMAND_PIPE_NAME);
    return g_hCommandPipe != INVALID_COMMAND_PIPE_HANDLE;
}

void RelayPendingCommands() {
    // Bounded, so that a client writing without pause cannot hold the server's frame.
    for (uint32_t nMessage = 0; nMessage < COMMAND_MESSAGES_PER_FRAME; ++nMessage) {
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
        case CommandPipeRead::Failed:
            // Only a departed client or a failed connection ends a connection, so a client that
            // connected and left without writing cannot hold the pipe, one still writing loses
            // nothing, and a broken one cannot keep the next client waiting.
            RecycleCommandPipe(g_hCommandPipe);
            return;
        case CommandPipeRead::NoData:
            return;
        }
    }
}

void CloseCommandRelay() {
    if (CommandRelayIsOpen()) {
        CloseCommandPipe(g_hCommandPipe);
    }
    g_hCommandPipe = INVALID_COMMAND_PIPE_HANDLE;
}
