// The server end of the command pipe: a local, inbound, message-oriented channel that never
// blocks and serves one client at a time. On Windows it is the named pipe itself; elsewhere the
// platform realises the same semantics (see docs/architecture.md).
//
// Called only from the host's thread. A handle is owned by whoever created it and must be closed
// exactly once with CloseCommandPipe.
#pragma once

#include <cstdint>

using CommandPipeHandle = void*;

// The value a failed creation yields, as the platform's own invalid handle does.
#define INVALID_COMMAND_PIPE_HANDLE (reinterpret_cast<CommandPipeHandle>(static_cast<intptr_t>(-1)))

enum class CommandPipeRead {
    Message,    // one whole message was read; its length (possibly 0) is in *pnBytesRead
    NoData,     // no client, or a client with nothing written yet: try again next frame
    ClientGone, // the connected client has disconnected and everything it wrote has been read
    TooLong,    // a message longer than the buffer arrived; it has been discarded whole
    Failed,     // the handle is invalid or the system failed otherwise
};

// Creates the pipe under pszName ("\\.\pipe\NAME"). Fails, yielding INVALID_COMMAND_PIPE_HANDLE,
// when any other pipe of that name exists (first-instance rule) or the system refuses.
CommandPipeHandle CreateCommandPipe(const char* pszName);

// Reads at most nMaxBytes of the next message of the connected client, accepting a waiting
// client first when none is connected. Never blocks.
CommandPipeRead ReadCommandPipe(CommandPipeHandle hPipe, void* pBuffer, uint32_t nMaxBytes,
                                uint32_t* pnBytesRead);

// Ends the current client's connection and waits for the next client under the same name.
void RecycleCommandPipe(CommandPipeHandle hPipe);

// Releases the pipe and its name. hPipe must be a valid handle.
void CloseCommandPipe(CommandPipeHandle hPipe);
