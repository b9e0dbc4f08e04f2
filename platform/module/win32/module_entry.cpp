// The DLL's entry point. The loader calls TavrelDllEntry (the link names it the entry) before the
// C and C++ run time has started; it refuses the load while the host has no allocator, so not one
// static initialiser runs and nothing touches the absent allocator. Otherwise it hands over to the
// run time's own entry, which starts the run time and then calls DllMain.
#include "plugin/module_objects.h"
#include "runtime/allocation.h"

#include <windows.h>

// The run time's DLL entry, which the link would otherwise have chosen.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE hModule, DWORD nReason, LPVOID pReserved);

extern "C" BOOL WINAPI TavrelDllEntry(HANDLE hModule, DWORD nReason, LPVOID pReserved);
extern "C" BOOL WINAPI DllMain(HINSTANCE hModule, DWORD nReason, LPVOID pReserved);

namespace {

// Zero-initialised in the image, so it is valid before any initialiser has run.
bool g_bAttachRefused = false;

} // namespace

BOOL WINAPI TavrelDllEntry(HANDLE hModule, DWORD nReason, LPVOID pReserved) {
    if (nReason == DLL_PROCESS_ATTACH && CheckHostAllocator(0) == 0) {
        g_bAttachRefused = true;
        return FALSE;
    }
    // The loader answers a refused attach with a detach; the run time never started, so there is
    // nothing to stop.
    if (g_bAttachRefused) {
        return TRUE;
    }
    const BOOL bResult = DllMainCRTStartup(hModule, nReason, pReserved);
    // After the run time has stopped, or failed to start and cleaned up after itself.
    if (nReason == DLL_PROCESS_DETACH || (nReason == DLL_PROCESS_ATTACH && !bResult)) {
        ShutDownHeap();
    }
    return bResult;
}

BOOL WINAPI DllMain(HINSTANCE /*hModule*/, DWORD nReason, LPVOID /*pReserved*/) {
    if (nReason == DLL_PROCESS_ATTACH) {
        StartModuleObjects();
    } else if (nReason == DLL_PROCESS_DETACH) {
        StopModuleObjects();
    }
    return TRUE;
}
