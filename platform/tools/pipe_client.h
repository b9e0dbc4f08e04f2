// The client end of the command pipe: connect to the server by name, write whole messages,
// disconnect. Each platform converts its own errors into the few results below, so the tools
// decide what to do without knowing the system.
//
// A handle is owned by whoever connected it and must be released exactly once with
// DisconnectFromCommandPipe. Calls on one handle must not overlap.
#pragma once

#include <cstdint>

// Wide enough for a descriptor or a system handle.
using PipeClientHandle = intptr_t;

#define INVALID_PIPE_CLIENT_HANDLE (static_cast<PipeClientHandle>(-1))

enum class PipeConnectResult {
    // *phPipe holds a connection to a server of our own user or root (on Windows, LocalSystem or
    // an elevated administrator)
    Connected,
    NotThere,  // no server holds the name right now
    Busy,      // a server holds the name but cannot take another client right now
    OtherUser, // the server runs as another user; the connection was closed, nothing was written
    BadName,   // the name cannot name a pipe on this system (empty or too long)
    Failed,    // the system refused otherwise
};

enum class PipeSendResult {
    Sent,   // the whole message was queued for the server
    Broken, // the server closed the connection
    Failed, // the system refused otherwise
};

// One attempt, never waits for the name to appear or for the server to make room.
// pszPipeName is "\\.\pipe\NAME" or a bare NAME. *phPipe is set only when Connected.
PipeConnectResult ConnectToCommandPipe(const char* pszPipeName, PipeClientHandle* phPipe);

// Writes nBytes as one message. Blocks while the server's queue is full.
PipeSendResult SendPipeMessage(PipeClientHandle hPipe, const void* pData, uint32_t nBytes);

// Closes the connection; messages already sent stay queued for the server.
void DisconnectFromCommandPipe(PipeClientHandle hPipe);
