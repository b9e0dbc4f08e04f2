// What the server and client ends of the command pipe share on Linux: how a pipe name becomes an
// abstract socket address, and which peers may talk to each other.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

// "\\.\pipe\NAME" (or a bare NAME) becomes the abstract address "\0NAME". Fails for an empty or
// over-long name.
bool MakeAbstractAddress(const char* pszPipeName, sockaddr_un* pAddress, socklen_t* pnLength);

using GetSocketOptionCall = int (*)(int nSocket, int nLevel, int nOption, void* pValue,
                                    socklen_t* pnLength);

// True when the process at the other end of nSocket runs as our own user or as root; false also
// when its credentials cannot be read. The server passes its own getsockopt entry.
bool PeerIsTrusted(int nSocket, GetSocketOptionCall pfnGetSocketOption = &getsockopt);
