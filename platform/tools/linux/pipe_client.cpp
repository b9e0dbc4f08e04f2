// The client end of the command pipe on Linux: a SOCK_SEQPACKET socket connected to the
// server's abstract address, so each send arrives as one message.
#include "platform/tools/pipe_client.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/module/linux/local_socket.h"

namespace {

int DescriptorFromHandle(PipeClientHandle hPipe) {
    return static_cast<int>(hPipe);
}

PipeConnectResult ConnectResultFromErrno(int nError) {
    switch (nError) {
    case ECONNREFUSED: // no listener on the abstract address
    case ENOENT:
        return PipeConnectResult::NotThere;
    case EAGAIN: // the listener's queue is full; only a non-blocking connect says so
        return PipeConnectResult::Busy;
    default:
        return PipeConnectResult::Failed;
    }
}

} // namespace

PipeConnectResult ConnectToCommandPipe(const char* pszPipeName, PipeClientHandle* phPipe) {
    sockaddr_un address{};
    socklen_t nAddressLength = 0;
    if (!MakeAbstractAddress(pszPipeName, &address, &nAddressLength)) {
        return PipeConnectResult::BadName;
    }
    // Non-blocking only for the connect, so a full queue is reported instead of waited on.
    int nSocket = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (nSocket < 0) {
        return PipeConnectResult::Failed;
    }
    if (connect(nSocket, reinterpret_cast<const sockaddr*>(&address), nAddressLength) != 0) {
        int nError = errno;
        close(nSocket);
        return ConnectResultFromErrno(nError);
    }
    // Whoever holds the name gets nothing unless it runs as us or root: a squatter learns nothing.
    if (!PeerIsTrusted(nSocket)) {
        close(nSocket);
        return PipeConnectResult::OtherUser;
    }
    int nFlags = fcntl(nSocket, F_GETFL);
    if (nFlags < 0 || fcntl(nSocket, F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
        close(nSocket);
        return PipeConnectResult::Failed;
    }
    *phPipe = nSocket;
    return PipeConnectResult::Connected;
}

PipeSendResult SendPipeMessage(PipeClientHandle hPipe, const void* pData, uint32_t nBytes) {
    ssize_t nSent;
    do {
        // MSG_NOSIGNAL: a server that went away is a result, not a SIGPIPE.
        nSent = send(DescriptorFromHandle(hPipe), pData, nBytes, MSG_NOSIGNAL);
    } while (nSent < 0 && errno == EINTR);

    if (nSent < 0) {
        return errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN ? PipeSendResult::Broken
                                                                          : PipeSendResult::Failed;
    }
    // A sequenced-packet send is all or nothing; anything else is not a message we can vouch for.
    return static_cast<size_t>(nSent) == nBytes ? PipeSendResult::Sent : PipeSendResult::Failed;
}

void DisconnectFromCommandPipe(PipeClientHandle hPipe) {
    // Linux releases the descriptor even when close reports EINTR, so it is never retried.
    close(DescriptorFromHandle(hPipe));
}
