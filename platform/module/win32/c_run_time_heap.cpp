// The C run time's heap functions, bound to the module's allocation routines. Only a module that
// carries its own C run time links this file (the DLL, whose run time and libstdc++ are linked in
// statically): their exit-handler table, thread-key list and long number conversions then reach
// the host allocator too. A module that shares the process's C library leaves that library alone.
//
// Blocks that the system's C library hands out from its own heap (strdup and the like) must never
// reach free here; the module calls no such function.
#include "runtime/allocation.h"

#include <cstddef>

namespace {

bool FitsHostSize(uint64_t nSize) {
    return nSize <= UINT32_MAX;
}

} // namespace

extern "C" {

void* malloc(size_t nSize) {
    return AllocateBlockOfSize(nSize);
}

void* calloc(size_t nCount, size_t nSize) {
    if (!FitsHostSize(nCount) || !FitsHostSize(nSize)) {
        return nullptr;
    }
    return AllocateZeroedArray(static_cast<uint32_t>(nCount), static_cast<uint32_t>(nSize));
}

void* realloc(void* pBlock, size_t nSize) {
    // The C contract: no block yet means a new one, whatever the host makes of a null block.
    if (pBlock == nullptr) {
        return AllocateBlockOfSize(nSize);
    }
    if (!FitsHostSize(nSize)) {
        return nullptr;
    }
    return ReallocateBlock(pBlock, static_cast<uint32_t>(nSize));
}

void free(void* pBlock) {
    ReleaseBlock(pBlock);
}

} // extern "C"
