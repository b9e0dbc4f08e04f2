// Who may receive a client's commands on Windows: a server of our own user, or one that could
// read them anyway (LocalSystem, an elevated administrator), as root may on POSIX. A process
// squatting the pipe's name gets nothing.
#pragma once

#include <windows.h>

enum class PipeServerTrust {
    Trusted,
    OtherUser, // runs as another user, or its process or token is closed to us
    Unknown,   // the system could not say
};

// Looks up the process at the server end of the client handle hPipe and that process's token.
PipeServerTrust CheckPipeServer(HANDLE hPipe);

// The rule on the server token's facts: its user, and whether its Administrators group is enabled
// (elevated, not merely listed for denial).
bool IsTrustedPipeServer(PSID pServerUser, bool bServerIsAdministrator, PSID pOurUser);
