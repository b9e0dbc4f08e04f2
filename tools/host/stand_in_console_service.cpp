// The console-variable service as a raw table of entries at the host's positions, built without
// any C++ declaration of the interface.
#include "tools/host/stand_in_console_service.h"

#include "platform/module/linkage.h"
#include "tools/host/console_by_position.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

using Entry = void*;

struct RawConsoleService {
    Entry* m_pTable;
};

struct ServiceState {
    int32_t m_nNextIdentifier = 1;
    std::vector<void*> m_Objects;
    ConsoleServiceCalls m_Calls;
    ConsoleChangeListener m_pfnListener = nullptr;
    void* m_pListenerContext = nullptr;
};

ServiceState& State() {
    static ServiceState state;
    return state;
}

RawConsoleService* ServiceObject();

// Anything but our object here means the module passed it some other way than the host's
// member-call convention, and the arguments cannot be trusted either.
void CheckObject(void* pThis, int nPosition) {
    if (pThis != ServiceObject()) {
        std::fprintf(stderr,
                     "tavrel-host: the module called console-variable service operation %d on "
                     "an object that is not the host's\n",
                     nPosition);
        std::abort();
    }
}

int32_t TAVREL_THISCALL AllocateModuleIdentifier(void* pThis) {
    CheckObject(pThis, CONSOLE_SERVICE_ALLOCATE_MODULE_IDENTIFIER);
    const int32_t nIdentifier = State().m_nNextIdentifier++;
    State().m_Calls.m_IssuedIdentifiers.push_back(nIdentifier);
    return nIdentifier;
}

void TAVREL_THISCALL RegisterConsoleObject(void* pThis, void* pObject) {
    CheckObject(pThis, CONSOLE_SERVICE_REGISTER_CONSOLE_OBJECT);
    ServiceState& state = State();
    state.m_Calls.m_Registrations.push_back(pObject);
    if (std::find(state.m_Objects.begin(), state.m_Objects.end(), pObject) ==
        state.m_Objects.end()) {
        state.m_Objects.push_back(pObject);
    }
    ConsoleObjectByPosition(pObject).SetAcceptedByService(true);
}

void TAVREL_THISCALL UnregisterModuleObjects(void* pThis, int32_t nModuleIdentifier) {
    CheckObject(pThis, CONSOLE_SERVICE_UNREGISTER_MODULE_OBJECTS);
    ServiceState& state = State();
    state.m_Calls.m_Unregistrations.push_back(nModuleIdentifier);
    auto forgotten = std::stable_partition(
        state.m_Objects.begin(), state.m_Objects.end(), [nModuleIdentifier](void* pObject) {
            return ConsoleObjectByPosition(pObject).OwningModuleIdentifier() != nModuleIdentifier;
        });
    for (auto it = forgotten; it != state.m_Objects.end(); ++it) {
        ConsoleObjectByPosition(*it).SetAcceptedByService(false);
    }
    state.m_Objects.erase(forgotten, state.m_Objects.end());
}

void TAVREL_THISCALL NotifyGlobalChangeCallbacks(void* pThis, void* pVariable,
                                                 const char* pszPreviousText,
                                                 float flPreviousValue) {
    CheckObject(pThis, CONSOLE_SERVICE_NOTIFY_GLOBAL_CHANGE_CALLBACKS);
    ServiceState& state = State();
    state.m_Calls.m_Notifications.push_back(pVariable);
    if (state.m_pfnListener != nullptr) {
        state.m_pfnListener(pVariable, pszPreviousText, flPreviousValue, state.m_pListenerContext);
    }
}

// One trap per position, so the message names the position the module got wrong.
template <int nPosition> void TAVREL_THISCALL UnservedOperation(void* /*pThis*/) {
    std::fprintf(stderr,
                 "tavrel-host: the module called console-variable service operation %d, which "
                 "the host does not serve\n",
                 nPosition);
    std::abort();
}

template <int... nPositions>
void FillWithTraps(Entry* pTable, std::integer_sequence<int, nPositions...>) {
    ((pTable[nPositions] = reinterpret_cast<Entry>(&UnservedOperation<nPositions>)), ...);
}

Entry* BuildServiceTable() {
    static Entry table[CONSOLE_SERVICE_POSITIONS];
    FillWithTraps(table, std::make_integer_sequence<int, CONSOLE_SERVICE_POSITIONS>());
    table[CONSOLE_SERVICE_ALLOCATE_MODULE_IDENTIFIER] =
        reinterpret_cast<Entry>(&AllocateModuleIdentifier);
    table[CONSOLE_SERVICE_REGISTER_CONSOLE_OBJECT] =
        reinterpret_cast<Entry>(&RegisterConsoleObject);
    table[CONSOLE_SERVICE_UNREGISTER_MODULE_OBJECTS] =
        reinterpret_cast<Entry>(&UnregisterModuleObjects);
    table[CONSOLE_SERVICE_NOTIFY_GLOBAL_CHANGE_CALLBACKS] =
        reinterpret_cast<Entry>(&NotifyGlobalChangeCallbacks);
    return table;
}

RawConsoleService* ServiceObject() {
    static RawConsoleService service{BuildServiceTable()};
    return &service;
}

bool SameName(const char* pszLeft, const char* pszRight) {
    for (; *pszLeft != '\0' && *pszRight != '\0'; ++pszLeft, ++pszRight) {
        if (std::tolower(static_cast<unsigned char>(*pszLeft)) !=
            std::tolower(static_cast<unsigned char>(*pszRight))) {
            return false;
        }
    }
    return *pszLeft == *pszRight;
}

} // namespace

void* StandInConsoleService() {
    return ServiceObject();
}

void SetConsoleChangeListener(ConsoleChangeListener pfnListener, void* pContext) {
    State().m_pfnListener = pfnListener;
    State().m_pListenerContext = pContext;
}

const std::vector<void*>& RegisteredConsoleObjects() {
    return State().m_Objects;
}

void* FindConsoleVariable(const char* pszName) {
    for (void* pObject : State().m_Objects) {
        ConsoleObjectByPosition object(pObject);
        if (!object.ActsAsCommand() && SameName(object.ObjectName(), pszName)) {
            return pObject;
        }
    }
    return nullptr;
}

const ConsoleServiceCalls& ConsoleServiceCallsSoFar() {
    return State().m_Calls;
}

void ResetStandInConsoleService() {
    State().m_Objects.clear();
    State().m_Calls = ConsoleServiceCalls{};
}
