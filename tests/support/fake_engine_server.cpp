// The raw-table engine server used by the relay's tests.
#include "tests/support/fake_engine_server.h"

#include "platform/module/linkage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr int ISSUE_SERVER_COMMAND_POSITION = 36;

std::vector<std::string> g_IssuedCommands;

void TAVREL_THISCALL IssueServerCommand(void*, const char* pszCommand) {
    g_IssuedCommands.emplace_back(pszCommand);
}

void TAVREL_THISCALL UnexpectedOperation(void*) {
    ADD_FAILURE() << "the module called an engine-server operation other than position "
                  << ISSUE_SERVER_COMMAND_POSITION;
}

void* g_Table[ISSUE_SERVER_COMMAND_POSITION + 1];

struct RawObject {
    void** m_pTable;
} g_EngineServer{g_Table};

} // namespace

const std::vector<std::string>& IssuedCommands() {
    return g_IssuedCommands;
}

void ResetFakeEngineServer() {
    g_IssuedCommands.clear();
}

EngineServerInterface* FakeEngineServer() {
    for (void*& entry : g_Table) {
        entry = reinterpret_cast<void*>(&UnexpectedOperation);
    }
    g_Table[ISSUE_SERVER_COMMAND_POSITION] = reinterpret_cast<void*>(&IssueServerCommand);
    return reinterpret_cast<EngineServerInterface*>(&g_EngineServer);
}

void* FakeEngineFactory(const char* pszName, int* pnStatus) {
    bool bServed = std::strcmp(pszName, ENGINE_SERVER_INTERFACE_NAME) == 0;
    if (pnStatus != nullptr) {
        *pnStatus = bServed ? INTERFACE_STATUS_OK : INTERFACE_STATUS_FAILED;
    }
    return bServed ? FakeEngineServer() : nullptr;
}
