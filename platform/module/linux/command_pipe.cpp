// The command pipe on Linux: a SOCK_SEQPACKET Unix-domain socket in the abstract namespace,
// so one send is one message and the name vanishes with its last holder. The listener never
// blocks; accepted connections are served one at a time, later clients wait in the listen queue
// with their messages kept.
#include "platform/module/command_pipe.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/module/linux/command_pipe_system.h"
#include "platform/module/linux/local_socket.h"

namespace {

int IoctlWithInt(int nDescriptor, unsigned long nRequest, int* pnValue) {
    return ioctl(nDescriptor, nRequest, pnValue);
}

} // namespace

const CommandPipeSystemCalls g_DefaultCommandPipeSystemCalls = {
    &socket, &bind, &listen, &poll, &accept4, &getsockopt, &recv, &IoctlWithInt, &close,
};
CommandPipeSystemCalls g_CommandPipeSystemCalls = g_DefaultCommandPipeSystemCalls;

namespace {

// The table's entries under the names of the calls they stand for.
const CommandPipeSystemCalls& System() {
    return g_CommandPipeSystemCalls;
}

struct PosixCommandPipe {
    bool m_bInUse;
    int m_nListener;
    int m_nConnection; // -1 while no client is being served
};

// One pipe is all the module ever holds; a few more let tests run pipes side by side. Static
// slots keep pipe handling off the heap.
constexpr int MAX_COMMAND_PIPES = 8;
PosixCommandPipe g_CommandPipes[MAX_COMMAND_PIPES];

PosixCommandPipe* PipeFromHandle(CommandPipeHandle hPipe) {
    for (PosixCommandPipe& pipe : g_CommandPipes) {
        if (&pipe == hPipe && pipe.m_bInUse) {
            return &pipe;
        }
    }
    return nullptr;
}

void CloseDescriptor(int nDescriptor) {
    // Linux releases the descriptor even when close reports EINTR, so it is never retried.
    System().m_pfnClose(nDescriptor);
}

// Takes the next queued client that runs as our own user (or root); others are closed unread.
int AcceptTrustedClient(int nListener) {
    for (;;) {
        int nClient =
            System().m_pfnAccept4(nListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (nClient < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return -1;
        }
        if (PeerIsTrusted(nClient, System().m_pfnGetSockOpt)) {
            return nClient;
        }
        CloseDescriptor(nClient);
    }
}

// False only when the listener's queue is certainly empty. An accept4 that finds no client still
// costs several times this poll, since the kernel builds a socket file for the connection before
// it looks at the queue and then discards it; an idle frame with no client pays for the poll alone.
bool ClientMayBeWaiting(int nListener) {
    pollfd poller{};
    poller.fd = nListener;
    poller.events = POLLIN;
    return System().m_pfnPoll(&poller, 1, 0) != 0;
}

// A zero-byte receive is either an empty message or the end of the connection, and the socket
// reports both alike. The client is gone once it has hung up and nothing but empty messages (which
// would issue nothing) is left unread.
bool ClientHasGone(int nConnection) {
    pollfd poller{};
    poller.fd = nConnection;
    poller.events = POLLRDHUP;
    if (System().m_pfnPoll(&poller, 1, 0) <= 0 ||
        (poller.revents & (POLLHUP | POLLRDHUP | POLLERR)) == 0) {
        return false;
    }
    int nQueuedBytes = 0;
    return System().m_pfnIoctl(nConnection, SIOCINQ, &nQueuedBytes) != 0 || nQueuedBytes == 0;
}

} // namespace

CommandPipeHandle CreateCommandPipe(const char* pszName) {
    PosixCommandPipe* pFree = nullptr;
    for (PosixCommandPipe& pipe : g_CommandPipes) {
        if (!pipe.m_bInUse) {
            pFree = &pipe;
            break;
        }
    }
    sockaddr_un address{};
    socklen_t nAddressLength = 0;
    if (pFree == nullptr || !MakeAbstractAddress(pszName, &address, &nAddressLength)) {
        return INVALID_COMMAND_PIPE_HANDLE;
    }

    int nListener = System().m_pfnSocket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (nListener < 0) {
        return INVALID_COMMAND_PIPE_HANDLE;
    }
    // bind fails with EADDRINUSE while any other socket holds the name: the first-instance rule.
    if (System().m_pfnBind(nListener, reinterpret_cast<const sockaddr*>(&address),
                           nAddressLength) != 0 ||
        System().m_pfnListen(nListener, SOMAXCONN) != 0) {
        CloseDescriptor(nListener);
        return INVALID_COMMAND_PIPE_HANDLE;
    }
    pFree->m_bInUse = true;
    pFree->m_nListener = nListener;
    pFree->m_nConnection = -1;
    return pFree;
}

CommandPipeRead ReadCommandPipe(CommandPipeHandle hPipe, void* pBuffer, uint32_t nMaxBytes,
                                uint32_t* pnBytesRead) {
    *pnBytesRead = 0;
    PosixCommandPipe* pPipe = PipeFromHandle(hPipe);
    if (pPipe == nullptr) {
        return CommandPipeRead::Failed;
    }
    if (pPipe->m_nConnection < 0) {
        if (!ClientMayBeWaiting(pPipe->m_nListener)) {
            return CommandPipeRead::NoData;
        }
        pPipe->m_nConnection = AcceptTrustedClient(pPipe->m_nListener);
        if (pPipe->m_nConnection < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK ? CommandPipeRead::NoData
                                                           : CommandPipeRead::Failed;
        }
    }

    ssize_t nReceived;
    do {
        // MSG_TRUNC makes recv report the message's full length, so an over-long message is
        // recognised (and consumed) whole instead of arriving in pieces.
        nReceived =
            System().m_pfnRecv(pPipe->m_nConnection, pBuffer, nMaxBytes, MSG_DONTWAIT | MSG_TRUNC);
    } while (nReceived < 0 && errno == EINTR);

    if (nReceived < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return CommandPipeRead::NoData;
        }
        return errno == ECONNRESET || errno == EPIPE ? CommandPipeRead::ClientGone
                                                     : CommandPipeRead::Failed;
    }
    if (nReceived == 0 && ClientHasGone(pPipe->m_nConnection)) {
        return CommandPipeRead::ClientGone;
    }
    if (static_cast<size_t>(nReceived) > nMaxBytes) {
        return CommandPipeRead::TooLong;
    }
    *pnBytesRead = static_cast<uint32_t>(nReceived);
    return CommandPipeRead::Message;
}

void RecycleCommandPipe(CommandPipeHandle hPipe) {
    PosixCommandPipe* pPipe = PipeFromHandle(hPipe);
    if (pPipe != nullptr && pPipe->m_nConnection >= 0) {
        CloseDescriptor(pPipe->m_nConnection);
        pPipe->m_nConnection = -1;
    }
}

void CloseCommandPipe(CommandPipeHandle hPipe) {
    PosixCommandPipe* pPipe = PipeFromHandle(hPipe);
    if (pPipe == nullptr) {
        return;
    }
    RecycleCommandPipe(hPipe);
    CloseDescriptor(pPipe->m_nListener);
    pPipe->m_bInUse = false;
}
