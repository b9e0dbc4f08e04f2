// The system calls the Windows command pipe makes, one entry per call, reached only through this
// table so that tests can make any of them fail (a replacement reports its error with
// SetLastError, as the system does). The module never changes the table; a test that replaces
// entries puts the defaults back before it ends. Host thread only.
#pragma once

#include <windows.h>

struct CommandPipeSystemCalls {
    HANDLE(WINAPI* m_pfnCreateNamedPipeA)
    (LPCSTR pszName, DWORD nOpenMode, DWORD nPipeMode, DWORD nMaxInstances, DWORD nOutBufferSize,
     DWORD nInBufferSize, DWORD nDefaultTimeOut, LPSECURITY_ATTRIBUTES pSecurityAttributes);
    BOOL(WINAPI* m_pfnConnectNamedPipe)(HANDLE hPipe, LPOVERLAPPED pOverlapped);
    BOOL(WINAPI* m_pfnDisconnectNamedPipe)(HANDLE hPipe);
    BOOL(WINAPI* m_pfnReadFile)
    (HANDLE hFile, LPVOID pBuffer, DWORD nToRead, LPDWORD pnRead, LPOVERLAPPED pOverlapped);
    BOOL(WINAPI* m_pfnCloseHandle)(HANDLE hObject);
};

extern CommandPipeSystemCalls g_CommandPipeSystemCalls;
extern const CommandPipeSystemCalls g_DefaultCommandPipeSystemCalls;
