// The test client: connects with patience, because a server admits one client at a time and a
// waiting client may need to retry until its turn comes.
#include "tests/support/test_client.h"

#include "platform/tools/pipe_client.h"

#include <chrono>
#include <thread>

bool CTestClient::Connect(const char* pszPipeName) {
    Disconnect();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    PipeClientHandle hPipe = INVALID_PIPE_CLIENT_HANDLE;
    for (;;) {
        PipeConnectResult result = ConnectToCommandPipe(pszPipeName, &hPipe);
        if (result == PipeConnectResult::Connected) {
            m_hClient = hPipe;
            m_bConnected = true;
            return true;
        }
        bool bWorthRetrying =
            result == PipeConnectResult::NotThere || result == PipeConnectResult::Busy;
        if (!bWorthRetrying || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool CTestClient::Send(const std::string& message) {
    return m_bConnected &&
           SendPipeMessage(m_hClient, message.data(), static_cast<uint32_t>(message.size())) ==
               PipeSendResult::Sent;
}

void CTestClient::Disconnect() {
    if (m_bConnected) {
        DisconnectFromCommandPipe(m_hClient);
        m_bConnected = false;
    }
}
