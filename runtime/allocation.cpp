// The allocation routines: each forwards to the host allocator's operation by position and adds
// only the tag, the zero fill and the size checks.
#include "runtime/allocation.h"

#include "host/runtime_library.h"
#include "runtime/module_tag.h"

#include <cstring>

namespace {

// The word below an aligned block that holds the host's own address of it.
constexpr size_t ALIGNED_BLOCK_HEADER = sizeof(void*);

bool FitsHostSize(uint64_t nSize) {
    return nSize <= UINT32_MAX;
}

} // namespace

void* AllocateBlock(uint32_t nSize) {
    if (const char* pszTag = LookUpModuleTag(AllocationTagCache)) {
        return g_pMemAlloc->AllocateTagged(nSize, pszTag, 0);
    }
    return g_pMemAlloc->Allocate(nSize);
}

void* AllocateZeroed(uint32_t nSize) {
    void* pBlock = AllocateBlock(nSize);
    if (pBlock != nullptr) {
        std::memset(pBlock, 0, nSize);
    }
    return pBlock;
}

void* AllocateZeroedArray(uint32_t nCount, uint32_t nSize) {
    const uint64_t nProduct = static_cast<uint64_t>(nCount) * nSize;
    if (!FitsHostSize(nProduct)) {
        return nullptr;
    }
    return AllocateZeroed(static_cast<uint32_t>(nProduct));
}

void* ReallocateBlock(void* pBlock, uint32_t nSize) {
    if (const char* pszTag = LookUpModuleTag(ReallocationTagCache)) {
        return g_pMemAlloc->ReallocateTagged(pBlock, nSize, pszTag, 0);
    }
    return g_pMemAlloc->Reallocate(pBlock, nSize);
}

uint32_t QueryBlockSize(void* pBlock) {
    // A 64-bit host may round a block up past 32 bits; the caller may use every byte it is told.
    const size_t nSize = g_pMemAlloc->BlockSize(pBlock);
    return nSize <= UINT32_MAX ? static_cast<uint32_t>(nSize) : UINT32_MAX;
}

void ReleaseBlock(void* pBlock) {
    g_pMemAlloc->Release(pBlock);
}

int32_t CheckHostAllocator(int32_t /*nIgnored*/) {
    return g_pMemAlloc != nullptr ? 1 : 0;
}

void ShutDownHeap() {}

void* AllocateBlockOfSize(size_t nSize) {
    return FitsHostSize(nSize) ? AllocateBlock(static_cast<uint32_t>(nSize)) : nullptr;
}

void* AllocateAlignedBlock(size_t nSize, size_t nAlignment) {
    if (nAlignment == 0 || (nAlignment & (nAlignment - 1)) != 0) {
        return nullptr;
    }
    // Room for the header and for moving up to the next multiple of the alignment.
    const size_t nExtra = ALIGNED_BLOCK_HEADER + nAlignment - 1;
    if (nSize > SIZE_MAX - nExtra) {
        return nullptr;
    }
    void* pHostBlock = AllocateBlockOfSize(nSize + nExtra);
    if (pHostBlock == nullptr) {
        return nullptr;
    }
    const uintptr_t nFirstFree = reinterpret_cast<uintptr_t>(pHostBlock) + ALIGNED_BLOCK_HEADER;
    const uintptr_t nAligned =
        (nFirstFree + nAlignment - 1) & ~static_cast<uintptr_t>(nAlignment - 1);
    void* pBlock = reinterpret_cast<void*>(nAligned);
    std::memcpy(static_cast<char*>(pBlock) - ALIGNED_BLOCK_HEADER, &pHostBlock,
                ALIGNED_BLOCK_HEADER);
    return pBlock;
}

void ReleaseAlignedBlock(void* pBlock) {
    if (pBlock == nullptr) {
        ReleaseBlock(nullptr);
        return;
    }
    void* pHostBlock;
    std::memcpy(&pHostBlock, static_cast<char*>(pBlock) - ALIGNED_BLOCK_HEADER,
                ALIGNED_BLOCK_HEADER);
    ReleaseBlock(pHostBlock);
}
