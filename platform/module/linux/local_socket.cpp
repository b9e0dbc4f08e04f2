// Abstract socket addresses for pipe names, and the same-user rule both ends apply.
#include "platform/module/linux/local_socket.h"

#include <cstddef>
#include <cstring>
#include <unistd.h>

bool MakeAbstractAddress(const char* pszPipeName, sockaddr_un* pAddress, socklen_t* pnLength) {
    const char* pszBareName = std::strrchr(pszPipeName, '\\');
    pszBareName = pszBareName != nullptr ? pszBareName + 1 : pszPipeName;
    size_t nNameLength = std::strlen(pszBareName);
    // sun_path[0] stays NUL: that is what puts the address in the abstract namespace.
    if (nNameLength == 0 || nNameLength >= sizeof(pAddress->sun_path)) {
        return false;
    }
    std::memset(pAddress, 0, sizeof(*pAddress));
    pAddress->sun_family = AF_UNIX;
    std::memcpy(pAddress->sun_path + 1, pszBareName, nNameLength);
    *pnLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + nNameLength);
    return true;
}

bool PeerIsTrusted(int nSocket, GetSocketOptionCall pfnGetSocketOption) {
    ucred credentials{};
    socklen_t nLength = sizeof(credentials);
    if (pfnGetSocketOption(nSocket, SOL_SOCKET, SO_PEERCRED, &credentials, &nLength) != 0) {
        return false;
    }
    return credentials.uid == geteuid() || credentials.uid == 0;
}
