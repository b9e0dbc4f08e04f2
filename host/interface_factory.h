// The lookup-by-name shape shared by the host's factories and the module's own CreateInterface.
#pragma once

// Returns the interface served under pszName, or null. pnStatus may be null; when it is not, the
// factory stores INTERFACE_STATUS_OK or INTERFACE_STATUS_FAILED into it.
using InterfaceFactory = void* (*)(const char* pszName, int* pnStatus);

enum : int {
    INTERFACE_STATUS_OK = 0,
    INTERFACE_STATUS_FAILED = 1,
};
