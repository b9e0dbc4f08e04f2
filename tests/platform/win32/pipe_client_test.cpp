// The client end of the named pipe against the module's own server end: what each attempt to
// connect reports, what a send reports once the server has let go, and whom a client trusts.
#include "platform/module/command_pipe.h"
#include "platform/tools/pipe_client.h"
#include "platform/tools/win32/pipe_server_identity.h"

#include "tests/support/unique_pipe_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace {

class PipeClientTest : public testing::Test {
protected:
    void SetUp() override { m_Name = UniquePipeName("pipe_client_test"); }
    void TearDown() override {
        for (PipeClientHandle hClient : m_Clients) {
            DisconnectFromCommandPipe(hClient);
        }
        if (m_hServer != INVALID_COMMAND_PIPE_HANDLE) {
            CloseCommandPipe(m_hServer);
        }
    }

    void Serve() {
        m_hServer = CreateCommandPipe(m_Name.c_str());
        ASSERT_NE(m_hServer, INVALID_COMMAND_PIPE_HANDLE);
    }

    PipeConnectResult Connect(PipeClientHandle* phClient = nullptr) {
        PipeClientHandle hClient = INVALID_PIPE_CLIENT_HANDLE;
        PipeConnectResult result = ConnectToCommandPipe(m_Name.c_str(), &hClient);
        if (result == PipeConnectResult::Connected) {
            m_Clients.push_back(hClient);
            if (phClient != nullptr) {
                *phClient = hClient;
            }
        }
        return result;
    }

    PipeSendResult Send(PipeClientHandle hClient, const std::string& message) {
        return SendPipeMessage(hClient, message.data(), static_cast<uint32_t>(message.size()));
    }

    std::string m_Name;
    CommandPipeHandle m_hServer = INVALID_COMMAND_PIPE_HANDLE;
    std::vector<PipeClientHandle> m_Clients;
};

TEST_F(PipeClientTest, NoServerIsNotThere) {
    EXPECT_EQ(Connect(), PipeConnectResult::NotThere);
}

TEST_F(PipeClientTest, SecondClientOfTheOneInstanceIsBusyUntilTheFirstIsServed) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    ASSERT_EQ(Connect(), PipeConnectResult::Connected);
    EXPECT_EQ(Connect(), PipeConnectResult::Busy);

    uint32_t nRead = 0;
    char buffer[16];
    ASSERT_EQ(ReadCommandPipe(m_hServer, buffer, sizeof(buffer), &nRead), CommandPipeRead::NoData);
    RecycleCommandPipe(m_hServer);
    EXPECT_EQ(Connect(), PipeConnectResult::Connected);
}

TEST_F(PipeClientTest, BareNameAndFullNameReachTheSameServer) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    const std::string bareName = m_Name.substr(m_Name.rfind('\\') + 1);
    PipeClientHandle hClient = INVALID_PIPE_CLIENT_HANDLE;
    ASSERT_EQ(ConnectToCommandPipe(bareName.c_str(), &hClient), PipeConnectResult::Connected);
    m_Clients.push_back(hClient);
    EXPECT_EQ(Connect(), PipeConnectResult::Busy);
}

TEST_F(PipeClientTest, EachSendIsOneMessage) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    PipeClientHandle hClient = INVALID_PIPE_CLIENT_HANDLE;
    ASSERT_EQ(Connect(&hClient), PipeConnectResult::Connected);
    const std::vector<std::string> sent{"status", "", "echo two words"};
    for (const std::string& message : sent) {
        ASSERT_EQ(Send(hClient, message), PipeSendResult::Sent);
    }
    std::vector<std::string> received;
    char buffer[64];
    uint32_t nRead = 0;
    while (received.size() < sent.size() &&
           ReadCommandPipe(m_hServer, buffer, sizeof(buffer), &nRead) == CommandPipeRead::Message) {
        received.emplace_back(buffer, nRead);
    }
    EXPECT_EQ(received, sent);
}

struct ServerGoneCase {
    const char* m_pszLabel;
    void (*m_pfnLetGo)(CommandPipeHandle* phServer);
};

void PrintTo(const ServerGoneCase& gone, std::ostream* pStream) {
    *pStream << gone.m_pszLabel;
}

class ServerGone : public PipeClientTest, public testing::WithParamInterface<ServerGoneCase> {};

TEST_P(ServerGone, SendReportsBroken) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    PipeClientHandle hClient = INVALID_PIPE_CLIENT_HANDLE;
    ASSERT_EQ(Connect(&hClient), PipeConnectResult::Connected);
    ASSERT_EQ(Send(hClient, "first"), PipeSendResult::Sent);
    GetParam().m_pfnLetGo(&m_hServer);
    EXPECT_EQ(Send(hClient, "second"), PipeSendResult::Broken);
}

INSTANTIATE_TEST_SUITE_P(Ways, ServerGone,
                         testing::Values(ServerGoneCase{"Recycled",
                                                        [](CommandPipeHandle* phServer) {
                                                            RecycleCommandPipe(*phServer);
                                                        }},
                                         ServerGoneCase{"Closed",
                                                        [](CommandPipeHandle* phServer) {
                                                            CloseCommandPipe(*phServer);
                                                            *phServer = INVALID_COMMAND_PIPE_HANDLE;
                                                        }}),
                         [](const testing::TestParamInfo<ServerGoneCase>& info) {
                             return info.param.m_pszLabel;
                         });

TEST_F(PipeClientTest, ServerOfThisProcessIsTrusted) {
    ASSERT_NO_FATAL_FAILURE(Serve());
    HANDLE hClient =
        CreateFileA(m_Name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hClient, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(CheckPipeServer(hClient), PipeServerTrust::Trusted);
    CloseHandle(hClient);
}

// A security identifier held in place: a well-known one, or a domain user from its parts.
class CSid {
public:
    explicit CSid(WELL_KNOWN_SID_TYPE eType) {
        DWORD nSize = sizeof(m_Store);
        m_bValid = CreateWellKnownSid(eType, nullptr, m_Store, &nSize) != FALSE;
    }
    CSid(DWORD nDomain1, DWORD nDomain2, DWORD nDomain3, DWORD nUser) {
        SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
        PSID pSid = nullptr;
        m_bValid = AllocateAndInitializeSid(&authority, 5, SECURITY_NT_NON_UNIQUE, nDomain1,
                                            nDomain2, nDomain3, nUser, 0, 0, 0, &pSid) &&
                   CopySid(sizeof(m_Store), m_Store, pSid);
        FreeSid(pSid);
    }
    PSID Get() { return m_bValid ? static_cast<PSID>(m_Store) : nullptr; }

private:
    alignas(DWORD) unsigned char m_Store[SECURITY_MAX_SID_SIZE] = {};
    bool m_bValid = false;
};

struct TrustCase {
    const char* m_pszLabel;
    CSid (*m_pfnServerUser)();
    bool m_bServerIsAdministrator;
    bool m_bTrusted;
};

void PrintTo(const TrustCase& trust, std::ostream* pStream) {
    *pStream << trust.m_pszLabel;
}

CSid OurUser() {
    return CSid(11, 22, 33, 1001);
}

class ServerTrust : public testing::TestWithParam<TrustCase> {};

TEST_P(ServerTrust, OnlyOurUserOrThoseWhoCouldReadUsAnyway) {
    CSid ourUser = OurUser();
    CSid serverUser = GetParam().m_pfnServerUser();
    ASSERT_NE(ourUser.Get(), nullptr);
    ASSERT_NE(serverUser.Get(), nullptr);
    EXPECT_EQ(
        IsTrustedPipeServer(serverUser.Get(), GetParam().m_bServerIsAdministrator, ourUser.Get()),
        GetParam().m_bTrusted);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerTrust,
    testing::Values(
        TrustCase{"SameUser", [] { return OurUser(); }, false, true},
        TrustCase{"LocalSystem", [] { return CSid(WinLocalSystemSid); }, false, true},
        TrustCase{"ElevatedAdministrator", [] { return CSid(11, 22, 33, 500); }, true, true},
        TrustCase{"OtherUserSameDomain", [] { return CSid(11, 22, 33, 1002); }, false, false},
        TrustCase{"SameNumberOtherDomain", [] { return CSid(11, 22, 34, 1001); }, false, false},
        TrustCase{"LocalService", [] { return CSid(WinLocalServiceSid); }, false, false},
        TrustCase{"Anonymous", [] { return CSid(WinAnonymousSid); }, false, false}),
    [](const testing::TestParamInfo<TrustCase>& info) { return info.param.m_pszLabel; });

} // namespace
