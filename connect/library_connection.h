// The host's shared services, obtained by name from its factories on load and forgotten on
// unload. Every pointer is borrowed: disconnecting only clears it. Host thread only.
#pragma once

#include "host/console_variable_service.h"
#include "host/interface_factory.h"
#include "platform/module/linkage.h"

#include <cstdint>

// The console-variable service, exported twice so other modules can read it by either name;
// every write stores both.
extern "C" {
TAVREL_EXPORT extern ConsoleVariableService* cvar;
TAVREL_EXPORT extern ConsoleVariableService* g_pCVar;
}
extern void* g_pProcessUtilities;
extern bool g_bConsoleServicesConnected;

// Held for code that may want them; nothing in the module calls them.
extern void* g_pFileSystem;
extern void* g_pMaterialSystem;
extern void* g_pInputSystem;
extern void* g_pNetworkSystem;
extern void* g_pMaterialSystemHardwareConfig;
extern void* g_pDebugTextureInfo;
extern void* g_pVertexBufferAllocTracker;
extern void* g_pColorCorrectionSystem;
extern void* g_pRevisionControl;
extern void* g_pModelLibrary;
extern void* g_pQueuedLoader;

// Asks each factory in turn for whichever console service is still missing. Only the first call
// after a disconnect does anything, even with no factories at all.
void ConnectConsoleServices(const InterfaceFactory* pFactories, int32_t nFactoryCount);
void DisconnectConsoleServices();

// Asks each factory in turn for whichever engine system is still missing.
void ConnectEngineSystems(const InterfaceFactory* pFactories, int32_t nFactoryCount);
void DisconnectEngineSystems();
