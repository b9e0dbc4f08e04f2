// The module's own path from the dynamic loader, and the C library's heap as the process heap.
#include "platform/module/module_path.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

bool ReadModulePath(const void* pAddressInModule, char* pBuffer, uint32_t nCapacity) {
    Dl_info info;
    if (dladdr(pAddressInModule, &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    const size_t nLength = std::strlen(info.dli_fname);
    // An empty name tells nothing about the module.
    if (nLength == 0 || nLength >= nCapacity) {
        return false;
    }
    std::memcpy(pBuffer, info.dli_fname, nLength + 1);
    return true;
}

char* TakeProcessHeapBlock(uint32_t nSize) {
    // The process's C library is the host's own; its heap outlives the module.
    return static_cast<char*>(std::malloc(nSize));
}

char ModulePathSeparator() {
    return '/';
}
