// The relay step and the command pipe's lifetime.
#include "plugin/command_relay.h"

EngineServerInterface* g_pServerEngine = nullptr;
CommandPipeHandle g_hCommandPipe = nullptr;
char g_CommandBuffer[COMMAND_BUFFER_SIZE];

namespace {

bool CommandPipeIsOpen() {
    return g_hCommandPipe != nullptr && g_hCommandPipe != INVALID_COMMAND_PIPE_HANDLE;
}

} // namespace

bool OpenCommandRelay() {
    g_hCommandPipe = CreateCommandPipe(COMMAND_PIPE_NAME);
    return g_hCommandPipe != INVALID_COMMAND_PIPE_HANDLE;
}

void RelayPendingCommands() {
    for (;;) {
        uint32_t nBytesRead = 0;
        switch (ReadCommandPipe(g_hCommandPipe, g_CommandBuffer, COMMAND_MESSAGE_MAX,
                                &nBytesRead)) {
        case CommandPipeRead::Message:
            if (nBytesRead > 0) {
                g_CommandBuffer[nBytesRead] = '\n';
                g_CommandBuffer[nBytesRead + 1] = '\0';
                g_pServerEngine->IssueServerCommand(g_CommandBuffer);
            }
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
