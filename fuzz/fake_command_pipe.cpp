// The platform pipe's four operations over FakePipeClients(), linked in place of the real ones.
#include "fuzz/fake_command_pipe.h"

#include "platform/module/command_pipe.h"

#include <cstdlib>
#include <cstring>

namespace {

std::deque<FakePipeClient> g_Clients;
bool g_bAccepted = false;
bool g_bOpen = false;
char g_PipeObject;

void Require(bool bCondition) {
    if (!bCondition) {
        std::abort();
    }
}

} // namespace

std::deque<FakePipeClient>& FakePipeClients() {
    return g_Clients;
}

bool FakePipeFrontAccepted() {
    return g_bAccepted;
}

void ResetFakePipe() {
    g_Clients.clear();
    g_bAccepted = false;
    g_bOpen = false;
}

CommandPipeHandle CreateCommandPipe(const char*) {
    if (g_bOpen) {
        return INVALID_COMMAND_PIPE_HANDLE;
    }
    g_bOpen = true;
    return &g_PipeObject;
}

CommandPipeRead ReadCommandPipe(CommandPipeHandle hPipe, void* pBuffer, uint32_t nMaxBytes,
                                uint32_t* pnBytesRead) {
    if (hPipe != &g_PipeObject || !g_bOpen) {
        return CommandPipeRead::Failed;
    }
    if (g_Clients.empty()) {
        return CommandPipeRead::NoData;
    }
    g_bAccepted = true;
    FakePipeClient& client = g_Clients.front();
    if (client.m_Messages.empty()) {
        return client.m_bGone ? CommandPipeRead::ClientGone : CommandPipeRead::NoData;
    }
    std::string message = std::move(client.m_Messages.front());
    client.m_Messages.pop_front();
    if (message.size() > nMaxBytes) {
        return CommandPipeRead::TooLong;
    }
    std::memcpy(pBuffer, message.data(), message.size());
    *pnBytesRead = static_cast<uint32_t>(message.size());
    return CommandPipeRead::Message;
}

void RecycleCommandPipe(CommandPipeHandle hPipe) {
    // The relay recycles only a departed client that it has read to the end.
    Require(hPipe == &g_PipeObject && g_bAccepted && !g_Clients.empty() &&
            g_Clients.front().m_bGone && g_Clients.front().m_Messages.empty());
    g_Clients.pop_front();
    g_bAccepted = false;
}

void CloseCommandPipe(CommandPipeHandle hPipe) {
    Require(hPipe == &g_PipeObject && g_bOpen);
    g_bOpen = false;
}
