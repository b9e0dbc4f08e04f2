// The console-variable service the stand-in host offers its plug-in as "VEngineCvar004": a raw
// table of entries at the host's positions, like the engine server's, so a module that calls a
// position the host does not serve stops at once with that position's number. It keeps the
// console objects registered with it, marking each accepted as a server does, forgets a module's
// objects by asking each which module owns it, and hands every change notification to a
// listener. Everything it calls on an object goes by position. Host thread only.
#pragma once

#include <cstdint>
#include <vector>

// Positions of the service's table the stand-in fills; every other one traps.
enum : int {
    CONSOLE_SERVICE_ALLOCATE_MODULE_IDENTIFIER = 5,
    CONSOLE_SERVICE_REGISTER_CONSOLE_OBJECT = 6,
    CONSOLE_SERVICE_UNREGISTER_MODULE_OBJECTS = 8,
    CONSOLE_SERVICE_NOTIFY_GLOBAL_CHANGE_CALLBACKS = 20,
    // Room past the last served entry, so a stray call beyond it still lands on a trap.
    CONSOLE_SERVICE_POSITIONS = 64,
};

void* StandInConsoleService();

// Receives every change notification: the changed variable, its previous text (valid only for
// the call) and its previous value. The variable already holds its new value.
using ConsoleChangeListener = void (*)(void* pVariable, const char* pszPreviousText,
                                       float flPreviousValue, void* pContext);

// Where notifications go from now on; a null listener drops them.
void SetConsoleChangeListener(ConsoleChangeListener pfnListener, void* pContext);

// The objects registered and not yet forgotten, each once, in the order they first arrived.
const std::vector<void*>& RegisteredConsoleObjects();

// The registered variable whose name matches pszName, letter case ignored; null when none.
void* FindConsoleVariable(const char* pszName);

// What the module asked of the service since the last reset, in order.
struct ConsoleServiceCalls {
    std::vector<int32_t> m_IssuedIdentifiers;
    std::vector<void*> m_Registrations; // every call, repeats included
    std::vector<int32_t> m_Unregistrations;
    std::vector<void*> m_Notifications; // the variables
};

const ConsoleServiceCalls& ConsoleServiceCallsSoFar();

// Forgets the calls, and the kept objects too (for a module unloaded without its plug-in's
// unload). Identifiers keep counting, so no two registrations share one.
void ResetStandInConsoleService();
