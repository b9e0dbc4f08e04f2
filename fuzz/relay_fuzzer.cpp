// The relay under arbitrary connects, messages, departures and frames: it must issue every
// message that fits, up to its first NUL, with a newline, exactly once and in order, and nothing
// of one that does not fit.
#include "fuzz/fake_command_pipe.h"
#include "platform/module/linkage.h"
#include "plugin/command_relay.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int ISSUE_SERVER_COMMAND_POSITION = 36;
std::vector<std::string> g_Issued;

void TAVREL_THISCALL IssueServerCommand(void*, const char* pszCommand) {
    g_Issued.emplace_back(pszCommand);
}

void TAVREL_THISCALL UnexpectedOperation(void*) {
    std::abort();
}

void* g_Table[ISSUE_SERVER_COMMAND_POSITION + 1];
struct RawObject {
    void** m_pTable;
} g_EngineServer{g_Table};

// Reads the fuzzer's bytes in order; zero once they run out.
struct ByteReader {
    const uint8_t* m_pData;
    size_t m_nSize;
    uint8_t Next() {
        if (m_nSize == 0) {
            return 0;
        }
        --m_nSize;
        return *m_pData++;
    }
};

void Check(bool bCondition) {
    if (!bCondition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    for (void*& entry : g_Table) {
        entry = reinterpret_cast<void*>(&UnexpectedOperation);
    }
    g_Table[ISSUE_SERVER_COMMAND_POSITION] = reinterpret_cast<void*>(&IssueServerCommand);
    g_pServerEngine = reinterpret_cast<EngineServerInterface*>(&g_EngineServer);
    g_Issued.clear();
    ResetFakePipe();
    Check(OpenCommandRelay());

    std::vector<std::string> expected;
    std::deque<FakePipeClient>& clients = FakePipeClients();
    ByteReader reader{pData, nSize};
    while (reader.m_nSize > 0) {
        uint8_t nOperation = reader.Next();
        switch (nOperation % 4) {
        case 0:
            clients.emplace_back();
            break;
        case 1: {
            // The newest client still connected writes; lengths reach past the limit.
            if (clients.empty() || clients.back().m_bGone) {
                break;
            }
            size_t nLength = (static_cast<size_t>(reader.Next()) << 8 | reader.Next()) % 1100;
            uint8_t nFill = reader.Next();
            std::string message;
            for (size_t i = 0; i < nLength; ++i) {
                message += static_cast<char>(
                    reader.m_nSize > 0 && (nOperation & 0x80) != 0 ? reader.Next() : nFill + i);
            }
            clients.back().m_Messages.push_back(message);
            if (message.size() <= COMMAND_MESSAGE_MAX) {
                std::string command = message.substr(0, message.find('\0'));
                if (!command.empty()) {
                    expected.push_back(command + "\n");
                }
            }
            break;
        }
        case 2:
            if (!clients.empty()) {
                clients.back().m_bGone = true;
            }
            break;
        case 3:
            RelayPendingCommands();
            break;
        }
    }
    // Every client leaves; the relay drains them all, one per frame at least.
    for (FakePipeClient& client : clients) {
        client.m_bGone = true;
    }
    for (size_t nFrame = 0; !clients.empty(); ++nFrame) {
        Check(nFrame < 100000);
        RelayPendingCommands();
    }
    Check(g_Issued == expected);
    CloseCommandRelay();
    CloseCommandRelay();
    return 0;
}
