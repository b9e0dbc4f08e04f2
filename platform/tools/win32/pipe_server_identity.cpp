// The server end's identity, from the process the system names for it.
#include "platform/tools/win32/pipe_server_identity.h"

#include <vector>

namespace {

// A handle closed when it goes out of scope.
class CScopedHandle {
public:
    CScopedHandle() = default;
    ~CScopedHandle() {
        if (m_hHandle != nullptr) {
            CloseHandle(m_hHandle);
        }
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    HANDLE* Out() { return &m_hHandle; }
    HANDLE Get() const { return m_hHandle; }

private:
    HANDLE m_hHandle = nullptr;
};

bool QueryToken(HANDLE hToken, TOKEN_INFORMATION_CLASS eClass, std::vector<unsigned char>* pStore) {
    DWORD nSize = 0;
    GetTokenInformation(hToken, eClass, nullptr, 0, &nSize);
    if (nSize == 0) {
        return false;
    }
    pStore->resize(nSize);
    return GetTokenInformation(hToken, eClass, pStore->data(), nSize, &nSize) != FALSE;
}

PSID TokenUserSid(std::vector<unsigned char>& store) {
    return reinterpret_cast<TOKEN_USER*>(store.data())->User.Sid;
}

bool AdministratorsEnabled(HANDLE hToken) {
    std::vector<unsigned char> store;
    if (!QueryToken(hToken, TokenGroups, &store)) {
        return false;
    }
    const auto* pGroups = reinterpret_cast<const TOKEN_GROUPS*>(store.data());
    for (DWORD i = 0; i < pGroups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = pGroups->Groups[i];
        if (IsWellKnownSid(group.Sid, WinBuiltinAdministratorsSid) &&
            (group.Attributes & SE_GROUP_ENABLED) != 0 &&
            (group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0) {
            return true;
        }
    }
    return false;
}

PipeServerTrust Refused(DWORD nError) {
    return nError == ERROR_ACCESS_DENIED ? PipeServerTrust::OtherUser : PipeServerTrust::Unknown;
}

} // namespace

bool IsTrustedPipeServer(PSID pServerUser, bool bServerIsAdministrator, PSID pOurUser) {
    return bServerIsAdministrator || EqualSid(pServerUser, pOurUser) ||
           IsWellKnownSid(pServerUser, WinLocalSystemSid);
}

PipeServerTrust CheckPipeServer(HANDLE hPipe) {
    ULONG nServerId = 0;
    if (!GetNamedPipeServerProcessId(hPipe, &nServerId)) {
        return PipeServerTrust::Unknown;
    }
    CScopedHandle hServer;
    *hServer.Out() = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, nServerId);
    if (hServer.Get() == nullptr) {
        return Refused(GetLastError());
    }
    CScopedHandle hServerToken;
    if (!OpenProcessToken(hServer.Get(), TOKEN_QUERY, hServerToken.Out())) {
        return Refused(GetLastError());
    }
    CScopedHandle hOurToken;
    std::vector<unsigned char> serverUser, ourUser;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hOurToken.Out()) ||
        !QueryToken(hServerToken.Get(), TokenUser, &serverUser) ||
        !QueryToken(hOurToken.Get(), TokenUser, &ourUser)) {
        return PipeServerTrust::Unknown;
    }
    return IsTrustedPipeServer(TokenUserSid(serverUser), AdministratorsEnabled(hServerToken.Get()),
                               TokenUserSid(ourUser))
               ? PipeServerTrust::Trusted
               : PipeServerTrust::OtherUser;
}
