// A command-pipe client for tests, over the tools' own client end of the pipe.
#pragma once

#include <cstdint>
#include <string>

class CTestClient {
public:
    CTestClient() = default;
    ~CTestClient() { Disconnect(); }
    CTestClient(const CTestClient&) = delete;
    CTestClient& operator=(const CTestClient&) = delete;

    // True once connected; the server need not have accepted yet.
    bool Connect(const char* pszPipeName);
    // True when the whole message was written as one message.
    bool Send(const std::string& message);
    void Disconnect();

private:
    intptr_t m_hClient = 0;
    bool m_bConnected = false;
};
