// The bare socket calls behind the relay baselines; kept out of the module and out of platform/,
// since they are only the yardstick.
#include "bench/bench_sockets.h"

#include "platform/module/linux/local_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Generous, so a batch of 128 messages of up to 1022 bytes fits in the queue at once.
constexpr int CLIENT_SEND_BUFFER = 4 << 20;

} // namespace

int OpenBenchListener(const char* pszPipeName) {
    sockaddr_un address{};
    socklen_t nAddressLength = 0;
    if (!MakeAbstractAddress(pszPipeName, &address, &nAddressLength)) {
        return -1;
    }
    const int nListener = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (nListener < 0) {
        return -1;
    }
    if (bind(nListener, reinterpret_cast<const sockaddr*>(&address), nAddressLength) != 0 ||
        listen(nListener, SOMAXCONN) != 0) {
        close(nListener);
        return -1;
    }
    return nListener;
}

int AcceptBenchClient(int nListener) {
    return accept4(nListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

int ConnectBenchClient(const char* pszPipeName) {
    sockaddr_un address{};
    socklen_t nAddressLength = 0;
    if (!MakeAbstractAddress(pszPipeName, &address, &nAddressLength)) {
        return -1;
    }
    const int nClient = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (nClient < 0) {
        return -1;
    }
    const int nSendBuffer = CLIENT_SEND_BUFFER;
    // The kernel caps the size at its own maximum; a smaller queue shows as a failed send.
    setsockopt(nClient, SOL_SOCKET, SO_SNDBUF, &nSendBuffer, sizeof(nSendBuffer));
    if (connect(nClient, reinterpret_cast<const sockaddr*>(&address), nAddressLength) != 0) {
        close(nClient);
        return -1;
    }
    return nClient;
}

bool SendBenchMessages(int nClient, const std::vector<std::string>& messages, size_t nFirst,
                       size_t nCount) {
    for (size_t i = 0; i < nCount; ++i) {
        const std::string& message = messages[(nFirst + i) % messages.size()];
        if (send(nClient, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) !=
            static_cast<ssize_t>(message.size())) {
            return false;
        }
    }
    return true;
}

void CloseBenchSocket(int nSocket) {
    if (nSocket >= 0) {
        close(nSocket);
    }
}

std::string PrivateBenchPipeName(const char* pszPurpose) {
    return std::string("\\\\.\\pipe\\tavrel-bench-") + pszPurpose + "-" +
           std::to_string(static_cast<long>(getpid()));
}
