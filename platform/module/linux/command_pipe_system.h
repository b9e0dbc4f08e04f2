// The system calls the Linux command pipe makes, one entry per call, reached only through this
// table so that tests can make any of them fail. The module never changes the table; a test that
// replaces entries puts the defaults back before it ends. Host thread only.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

struct CommandPipeSystemCalls {
    int (*m_pfnSocket)(int nDomain, int nType, int nProtocol);
    int (*m_pfnBind)(int nSocket, const sockaddr* pAddress, socklen_t nLength);
    int (*m_pfnListen)(int nSocket, int nBacklog);
    int (*m_pfnPoll)(pollfd* pPollers, nfds_t nCount, int nTimeout);
    int (*m_pfnAccept4)(int nSocket, sockaddr* pAddress, socklen_t* pnLength, int nFlags);
    int (*m_pfnGetSockOpt)(int nSocket, int nLevel, int nOption, void* pValue, socklen_t* pnLength);
    ssize_t (*m_pfnRecv)(int nSocket, void* pBuffer, size_t nLength, int nFlags);
    // ioctl with an int argument, the only form the pipe uses.
    int (*m_pfnIoctl)(int nDescriptor, unsigned long nRequest, int* pnValue);
    int (*m_pfnClose)(int nDescriptor);
};

extern CommandPipeSystemCalls g_CommandPipeSystemCalls;
extern const CommandPipeSystemCalls g_DefaultCommandPipeSystemCalls;
