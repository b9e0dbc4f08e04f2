// The module's only heap entry points. Every block the module takes, resizes, measures or gives
// back goes to the host allocator that the runtime library publishes in g_pMemAlloc, read anew at
// every call. With a debug heap the module names itself (see runtime/module_tag.h).
//
// Any thread, no locks. The host allocator must be present: the module's start-up checks it with
// CheckHostAllocator before anything can allocate. Sizes are the host's 32-bit byte counts.
#pragma once

#include <cstddef>
#include <cstdint>

// A block, or null. A size of 0 is passed on as it is.
void* AllocateBlock(uint32_t nSize);

// As AllocateBlock, then every byte up to nSize set to zero; a null result is returned untouched.
void* AllocateZeroed(uint32_t nSize);

// AllocateZeroed of nCount * nSize bytes; null, without asking the host, when the product does
// not fit in 32 bits.
void* AllocateZeroedArray(uint32_t nCount, uint32_t nSize);

// The resized block, or null; after null, pBlock stays valid and unchanged. Contents are kept up
// to the smaller of the two sizes.
void* ReallocateBlock(void* pBlock, uint32_t nSize);

// The block's size in bytes, all of it usable.
uint32_t QueryBlockSize(void* pBlock);

// Gives the block back; a null block is passed on to the host as it is.
void ReleaseBlock(void* pBlock);

// 1 while g_pMemAlloc is set, else 0; the argument is ignored.
int32_t CheckHostAllocator(int32_t nIgnored);

// Called when the module's run time stops; the host allocator needs nothing, so it does nothing.
void ShutDownHeap();

// For the language's allocation functions, which count in size_t: a size beyond 32 bits yields
// null instead of a smaller block than was asked for.
void* AllocateBlockOfSize(size_t nSize);

// A block whose address is a multiple of nAlignment (a power of two), for alignments beyond what
// the host allocator promises: the block is taken larger and the host's own address is kept
// just below the one handed out. Null for a size that cannot be asked for or an alignment that
// is not a power of two. Only ReleaseAlignedBlock may give such a block back; null is passed on.
void* AllocateAlignedBlock(size_t nSize, size_t nAlignment);
void ReleaseAlignedBlock(void* pBlock);
