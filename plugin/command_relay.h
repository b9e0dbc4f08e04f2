// The pipe command relay: local programs write messages into the command pipe, and every server
// frame hands each one to the engine as a console command. Host thread only.
#pragma once

#include "host/engine_server.h"
#include "platform/module/command_pipe.h"
#include "plugin/command_protocol.h"

#include <cstdint>

enum : uint32_t {
    // Room for the longest message, the newline and the NUL the relay appends.
    COMMAND_BUFFER_SIZE = COMMAND_MESSAGE_MAX + 2,
    // Messages one frame reads at most: far more than a person or a script sends at once, far
    // fewer than would stall a frame. The rest waits in the pipe, in order, for the next frames.
    COMMAND_MESSAGES_PER_FRAME = 128,
};

extern EngineServerInterface* g_pServerEngine;
extern CommandPipeHandle g_hCommandPipe;
extern char g_CommandBuffer[COMMAND_BUFFER_SIZE];

// True from a successful OpenCommandRelay until CloseCommandRelay.
bool CommandRelayIsOpen();

// Creates the command pipe; false when the name is taken or the system refuses, and false,
// leaving the open pipe as it is, when the relay is already open.
bool OpenCommandRelay();

// Issues the messages waiting in the pipe, in write order, up to COMMAND_MESSAGES_PER_FRAME of
// them. An idle call costs one ReadCommandPipe that finds no data (on Linux with no client, one
// poll of the listener).
void RelayPendingCommands();

// Closes the pipe when it is open; safe to call again.
void CloseCommandRelay();
