// Obtaining and forgetting the host's shared services.
#include "connect/library_connection.h"

ConsoleVariableService* cvar = nullptr;
ConsoleVariableService* g_pCVar = nullptr;
void* g_pProcessUtilities = nullptr;
bool g_bConsoleServicesConnected = false;

void* g_pFileSystem = nullptr;
void* g_pMaterialSystem = nullptr;
void* g_pInputSystem = nullptr;
void* g_pNetworkSystem = nullptr;
void* g_pMaterialSystemHardwareConfig = nullptr;
void* g_pDebugTextureInfo = nullptr;
void* g_pVertexBufferAllocTracker = nullptr;
void* g_pColorCorrectionSystem = nullptr;
void* g_pRevisionControl = nullptr;
void* g_pModelLibrary = nullptr;
void* g_pQueuedLoader = nullptr;

namespace {

struct EngineSystem {
    const char* m_pszInterfaceName;
    void** m_ppInterface;
};

// The order in which each factory is asked.
const EngineSystem g_EngineSystems[] = {
    {"VFileSystem017", &g_pFileSystem},
    {"VMaterialSystem079", &g_pMaterialSystem},
    {"InputSystemVersion001", &g_pInputSystem},
    {"NetworkSystemVersion001", &g_pNetworkSystem},
    {"MaterialSystemHardwareConfig012", &g_pMaterialSystemHardwareConfig},
    {"DebugTextureInfo001", &g_pDebugTextureInfo},
    {"VBAllocTracker001", &g_pVertexBufferAllocTracker},
    {"COLORCORRECTION_VERSION_1", &g_pColorCorrectionSystem},
    {"VP4001", &g_pRevisionControl},
    {"VMDLLIB001", &g_pModelLibrary},
    {"QueuedLoaderVersion001", &g_pQueuedLoader},
};

} // namespace

void ConnectConsoleServices(const InterfaceFactory* pFactories, int32_t nFactoryCount) {
    if (g_bConsoleServicesConnected) {
        return;
    }
    g_bConsoleServicesConnected = true;
    for (int32_t i = 0; i < nFactoryCount; ++i) {
        if (g_pCVar == nullptr) {
            g_pCVar = static_cast<ConsoleVariableService*>(
                pFactories[i](CONSOLE_VARIABLE_SERVICE_INTERFACE_NAME, nullptr));
            cvar = g_pCVar;
        }
        if (g_pProcessUtilities == nullptr) {
            g_pProcessUtilities = pFactories[i](PROCESS_UTILITIES_INTERFACE_NAME, nullptr);
        }
    }
}

void DisconnectConsoleServices() {
    if (!g_bConsoleServicesConnected) {
        return;
    }
    cvar = nullptr;
    g_pCVar = nullptr;
    g_pProcessUtilities = nullptr;
    g_bConsoleServicesConnected = false;
}

void ConnectEngineSystems(const InterfaceFactory* pFactories, int32_t nFactoryCount) {
    for (int32_t i = 0; i < nFactoryCount; ++i) {
        for (const EngineSystem& system : g_EngineSystems) {
            if (*system.m_ppInterface == nullptr) {
                *system.m_ppInterface = pFactories[i](system.m_pszInterfaceName, nullptr);
            }
        }
    }
}

void DisconnectEngineSystems() {
    for (const EngineSystem& system : g_EngineSystems) {
        *system.m_ppInterface = nullptr;
    }
}
