// Every allocation operator of the module, bound to the module's allocation routines. Linked into
// the module alone: the operators stay inside it, so it neither replaces the host's operators nor
// is served by them.
//
// The module throws nothing, so the throwing forms behave as the nothrow ones and yield null on
// failure; the module is built so that a new-expression checks for null before constructing.
#include "runtime/allocation.h"

#include <cstddef>
#include <new>

// Blocks from the plain forms carry only the host heap's own alignment, which the platforms' C
// heaps make twice a pointer's size; anything that needs more must take the aligned forms.
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ <= 2 * sizeof(void*),
              "types the host heap cannot align must use the aligned allocation operators");

void* operator new(std::size_t nSize) {
    return AllocateBlockOfSize(nSize);
}

void* operator new[](std::size_t nSize) {
    return AllocateBlockOfSize(nSize);
}

void* operator new(std::size_t nSize, const std::nothrow_t&) noexcept {
    return AllocateBlockOfSize(nSize);
}

void* operator new[](std::size_t nSize, const std::nothrow_t&) noexcept {
    return AllocateBlockOfSize(nSize);
}

void operator delete(void* pBlock) noexcept {
    ReleaseBlock(pBlock);
}

void operator delete[](void* pBlock) noexcept {
    ReleaseBlock(pBlock);
}

void operator delete(void* pBlock, std::size_t) noexcept {
    ReleaseBlock(pBlock);
}

void operator delete[](void* pBlock, std::size_t) noexcept {
    ReleaseBlock(pBlock);
}

void operator delete(void* pBlock, const std::nothrow_t&) noexcept {
    ReleaseBlock(pBlock);
}

void operator delete[](void* pBlock, const std::nothrow_t&) noexcept {
    ReleaseBlock(pBlock);
}

// The host promises no alignment beyond its own, so over-aligned blocks carry their own.

void* operator new(std::size_t nSize, std::align_val_t nAlignment) {
    return AllocateAlignedBlock(nSize, static_cast<std::size_t>(nAlignment));
}

void* operator new[](std::size_t nSize, std::align_val_t nAlignment) {
    return AllocateAlignedBlock(nSize, static_cast<std::size_t>(nAlignment));
}

void* operator new(std::size_t nSize, std::align_val_t nAlignment, const std::nothrow_t&) noexcept {
    return AllocateAlignedBlock(nSize, static_cast<std::size_t>(nAlignment));
}

void* operator new[](std::size_t nSize, std::align_val_t nAlignment,
                     const std::nothrow_t&) noexcept {
    return AllocateAlignedBlock(nSize, static_cast<std::size_t>(nAlignment));
}

void operator delete(void* pBlock, std::align_val_t) noexcept {
    ReleaseAlignedBlock(pBlock);
}

void operator delete[](void* pBlock, std::align_val_t) noexcept {
    ReleaseAlignedBlock(pBlock);
}

void operator delete(void* pBlock, std::size_t, std::align_val_t) noexcept {
    ReleaseAlignedBlock(pBlock);
}

void operator delete[](void* pBlock, std::size_t, std::align_val_t) noexcept {
    ReleaseAlignedBlock(pBlock);
}

void operator delete(void* pBlock, std::align_val_t, const std::nothrow_t&) noexcept {
    ReleaseAlignedBlock(pBlock);
}

void operator delete[](void* pBlock, std::align_val_t, const std::nothrow_t&) noexcept {
    ReleaseAlignedBlock(pBlock);
}
