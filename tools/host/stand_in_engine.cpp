// The engine-server object as a raw table of entries at the host's positions, like the runtime
// library's allocator: built without any C++ declaration of the interface.
#include "tools/host/stand_in_engine.h"

#include "host/interface_factory.h"
#include "platform/module/linkage.h"
#include "tools/host/stand_in_console_service.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

using Entry = void*;

struct RawEngineServer {
    Entry* m_pTable;
};

std::atomic<ServerCommandSink> g_pfnSink{nullptr};
std::atomic<void*> g_pSinkContext{nullptr};

RawEngineServer* EngineServerObject();

void TAVREL_THISCALL IssueServerCommand(void* pThis, const char* pszText) {
    // Anything but our object here means the module passed it some other way than the host's
    // member-call convention, and the text cannot be trusted either.
    if (pThis != EngineServerObject()) {
        std::fprintf(stderr,
                     "tavrel-host: the module called engine-server operation %d on an object "
                     "that is not the host's\n",
                     ENGINE_SERVER_ISSUE_SERVER_COMMAND);
        std::abort();
    }
    if (ServerCommandSink pfnSink = g_pfnSink.load()) {
        pfnSink(pszText, g_pSinkContext.load());
    }
}

// One trap per position, so the message names the position the module got wrong.
template <int nPosition> void TAVREL_THISCALL UnservedOperation(void* /*pThis*/) {
    std::fprintf(stderr,
                 "tavrel-host: the module called engine-server operation %d, which the host "
                 "does not serve\n",
                 nPosition);
    std::abort();
}

template <int... nPositions>
void FillWithTraps(Entry* pTable, std::integer_sequence<int, nPositions...>) {
    ((pTable[nPositions] = reinterpret_cast<Entry>(&UnservedOperation<nPositions>)), ...);
}

Entry* BuildEngineServerTable() {
    static Entry table[ENGINE_SERVER_POSITIONS];
    FillWithTraps(table, std::make_integer_sequence<int, ENGINE_SERVER_POSITIONS>());
    table[ENGINE_SERVER_ISSUE_SERVER_COMMAND] = reinterpret_cast<Entry>(&IssueServerCommand);
    return table;
}

RawEngineServer* EngineServerObject() {
    static RawEngineServer engineServer{BuildEngineServerTable()};
    return &engineServer;
}

void* Serve(void* pInterface, int* pnStatus) {
    if (pnStatus != nullptr) {
        *pnStatus = pInterface != nullptr ? INTERFACE_STATUS_OK : INTERFACE_STATUS_FAILED;
    }
    return pInterface;
}

} // namespace

void SetServerCommandSink(ServerCommandSink pfnSink, void* pContext) {
    g_pSinkContext = pContext;
    g_pfnSink = pfnSink;
}

void* StandInEngineFactory(const char* pszName, int* pnStatus) {
    if (std::strcmp(pszName, "VEngineServer021") == 0) {
        return Serve(EngineServerObject(), pnStatus);
    }
    if (std::strcmp(pszName, "VEngineCvar004") == 0) {
        return Serve(StandInConsoleService(), pnStatus);
    }
    return Serve(nullptr, pnStatus);
}

void* StandInGameServerFactory(const char* /*pszName*/, int* pnStatus) {
    return Serve(nullptr, pnStatus);
}
