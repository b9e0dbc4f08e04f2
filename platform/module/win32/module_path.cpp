// The module's own path from the region that holds an address inside it, and the process heap.
#include "platform/module/module_path.h"

#include <windows.h>

bool ReadModulePath(const void* pAddressInModule, char* pBuffer, uint32_t nCapacity) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(pAddressInModule, &region, sizeof(region)) == 0 ||
        region.AllocationBase == nullptr) {
        return false;
    }
    // The region's allocation base is the module's handle.
    const DWORD nLength =
        GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase), pBuffer, nCapacity);
    // A length of nCapacity means the path was cut, and older systems then leave it unterminated.
    return nLength != 0 && nLength < nCapacity;
}

char* TakeProcessHeapBlock(uint32_t nSize) {
    HANDLE hHeap = GetProcessHeap();
    return hHeap != nullptr ? static_cast<char*>(HeapAlloc(hHeap, 0, nSize)) : nullptr;
}

char ModulePathSeparator() {
    return '\\';
}
