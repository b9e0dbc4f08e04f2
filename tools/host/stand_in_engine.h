// The engine side the stand-in host offers its plug-in: the two factories a server hands over on
// load, and an engine-server object built from the host's positions alone, so a module that
// calls a position the host does not serve stops at once with that position's number. The
// console-variable service has a file of its own (stand_in_console_service.h).
#pragma once

// Receives the text of every IssueServerCommand, on the thread the module called from.
using ServerCommandSink = void (*)(const char* pszText, void* pContext);

// Where IssueServerCommand sends its text from now on; a null sink drops it.
void SetServerCommandSink(ServerCommandSink pfnSink, void* pContext);

// Serves "VEngineServer021" and the console-variable service "VEngineCvar004"; any other name
// yields null and status 1.
void* StandInEngineFactory(const char* pszName, int* pnStatus);

// Serves nothing: the module never asks it for anything.
void* StandInGameServerFactory(const char* pszName, int* pnStatus);

// Positions of the engine-server table the stand-in fills; every other one traps.
enum : int {
    ENGINE_SERVER_ISSUE_SERVER_COMMAND = 36,
    // Room past the last served entry, so a stray call beyond it still lands on a trap.
    ENGINE_SERVER_POSITIONS = 64,
};
