// An engine server built from positions alone, as the host's is: entry 36 records each command,
// every other entry fails the test. Also the engine factory that serves it.
#pragma once

#include "host/engine_server.h"
#include "host/interface_factory.h"

#include <string>
#include <vector>

// Commands issued since the last ResetFakeEngineServer, exactly as received.
const std::vector<std::string>& IssuedCommands();
void ResetFakeEngineServer();

EngineServerInterface* FakeEngineServer();

// Serves "VEngineServer021" and nothing else.
void* FakeEngineFactory(const char* pszName, int* pnStatus);
