// What tests and tools can ask of the runtime-library stand-in beyond the four real imports:
// choose the allocator's presence, its debug-heap answer and the feature byte, and watch every
// allocator call. The same choices can be made for a whole process through the environment:
//   TAVREL_TIER0_ALLOCATOR=absent   g_pMemAlloc starts null
//   TAVREL_TIER0_DEBUG_HEAP=1       UsesDebugHeap answers true
//   TAVREL_TIER0_FEATURE_BITS=0x18  the feature byte instead of this processor's
#pragma once

#include "platform/module/linkage.h"

#include <cstddef>
#include <cstdint>

// Positions of the allocator operations the stand-in implements.
enum : int {
    TIER0_ALLOCATE_TAGGED = 0,
    TIER0_ALLOCATE = 1,
    TIER0_REALLOCATE_TAGGED = 2,
    TIER0_REALLOCATE = 3,
    TIER0_RELEASE = 5,
    TIER0_BLOCK_SIZE = 8,
    TIER0_USES_DEBUG_HEAP = 24,
    TIER0_ALLOCATOR_POSITIONS = 25,
};

struct Tier0AllocatorCall {
    int m_nPosition;
    void* m_pBlock;        // the block passed in, or null
    size_t m_nSize;        // the size passed in, at the pointer's width, or 0
    const char* m_pszFile; // the tag passed to a tagged operation, or null
    int32_t m_nLine;
    void* m_pResult; // the block returned, or null
};

// Called after every allocator operation, on the calling thread.
using Tier0AllocatorObserver = void (*)(const Tier0AllocatorCall& call, void* pContext);

extern "C" {
TAVREL_TIER0_API void Tier0_SetAllocatorPresent(bool bPresent);
TAVREL_TIER0_API void Tier0_SetDebugHeap(bool bDebugHeap);
TAVREL_TIER0_API void Tier0_SetFeatureBits(uint8_t nFeatureBits);
// The byte this processor's features give, whatever the current setting.
TAVREL_TIER0_API uint8_t Tier0_DetectFeatureBits();
// The next nCount allocations and reallocations (tagged or not) fail: they return null and a
// reallocated block stays as it was. 0 ends a failure run early.
TAVREL_TIER0_API void Tier0_FailNextAllocations(uint32_t nCount);
TAVREL_TIER0_API void Tier0_SetAllocatorObserver(Tier0AllocatorObserver pfnObserver,
                                                 void* pContext);
// Calls of the allocator operation at nPosition since the last reset.
TAVREL_TIER0_API uint32_t Tier0_GetCallCount(int nPosition);
// Blocks handed out and not yet released, over the process's life.
TAVREL_TIER0_API int32_t Tier0_GetLiveBlockCount();
TAVREL_TIER0_API uint32_t Tier0_GetFeatureQueryCount();
TAVREL_TIER0_API uint32_t Tier0_GetWriteCheckCount();
TAVREL_TIER0_API uint32_t Tier0_GetStringCheckCount();
TAVREL_TIER0_API void Tier0_ResetCounts();
}
