// Counts from the system: the process's handle count and a snapshot of its threads.
#include "tests/integration/process_resources.h"

#include <windows.h>

#include <tlhelp32.h>

int CountOpenHandles() {
    DWORD nHandles = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &nHandles) ? static_cast<int>(nHandles) : -1;
}

int CountThreads() {
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    const DWORD nProcess = GetCurrentProcessId();
    int nThreads = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore;
         bMore = Thread32Next(hSnapshot, &entry)) {
        nThreads += entry.th32OwnerProcessID == nProcess ? 1 : 0;
    }
    CloseHandle(hSnapshot);
    return nThreads;
}
