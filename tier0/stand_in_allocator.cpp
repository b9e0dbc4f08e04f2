// The stand-in's allocator: a real heap (the C library's, with a size header per block) exposed
// as a raw table of entries at the host allocator's positions. It is built from positions alone,
// not from the module's declaration, so a module that calls the wrong position hits a trap.
#include "tier0/tier0_control.h"
#include "tier0/tier0_state.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Keeps blocks 16-byte aligned, as the platform allocator's are.
struct alignas(16) BlockHeader {
    size_t m_nSize;
};

std::atomic<uint32_t> g_CallCounts[TIER0_ALLOCATOR_POSITIONS];
std::atomic<int32_t> g_nLiveBlocks{0};
std::atomic<Tier0AllocatorObserver> g_pfnObserver{nullptr};
std::atomic<void*> g_pObserverContext{nullptr};
std::atomic<bool> g_bDebugHeap{EnvironmentSays("TAVREL_TIER0_DEBUG_HEAP", "1")};
std::atomic<uint32_t> g_nFailuresAhead{0};

// Takes one pending failure, if any; safe when several threads allocate at once.
bool TakeFailure() {
    uint32_t nAhead = g_nFailuresAhead.load();
    while (nAhead != 0) {
        if (g_nFailuresAhead.compare_exchange_weak(nAhead, nAhead - 1)) {
            return true;
        }
    }
    return false;
}

void Record(int nPosition, void* pBlock, size_t nSize, const char* pszFile, int32_t nLine,
            void* pResult) {
    g_CallCounts[nPosition].fetch_add(1, std::memory_order_relaxed);
    if (Tier0AllocatorObserver pfnObserver = g_pfnObserver.load()) {
        pfnObserver({nPosition, pBlock, nSize, pszFile, nLine, pResult}, g_pObserverContext.load());
    }
}

BlockHeader* HeaderOf(void* pBlock) {
    return static_cast<BlockHeader*>(pBlock) - 1;
}

void* NewBlock(size_t nSize) {
    if (TakeFailure()) {
        return nullptr;
    }
    auto* pHeader = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + nSize));
    if (pHeader == nullptr) {
        return nullptr;
    }
    pHeader->m_nSize = nSize;
    g_nLiveBlocks.fetch_add(1, std::memory_order_relaxed);
    return pHeader + 1;
}

// Follows the host's contract: a null block allocates, a failure leaves the old block intact.
void* ResizeBlock(void* pBlock, size_t nSize) {
    if (pBlock == nullptr) {
        return NewBlock(nSize);
    }
    if (TakeFailure()) {
        return nullptr;
    }
    auto* pHeader =
        static_cast<BlockHeader*>(std::realloc(HeaderOf(pBlock), sizeof(BlockHeader) + nSize));
    if (pHeader == nullptr) {
        return nullptr;
    }
    pHeader->m_nSize = nSize;
    return pHeader + 1;
}

void* TAVREL_THISCALL AllocateTagged(void*, size_t nSize, const char* pszFile, int32_t nLine) {
    void* pResult = NewBlock(nSize);
    Record(TIER0_ALLOCATE_TAGGED, nullptr, nSize, pszFile, nLine, pResult);
    return pResult;
}

void* TAVREL_THISCALL Allocate(void*, size_t nSize) {
    void* pResult = NewBlock(nSize);
    Record(TIER0_ALLOCATE, nullptr, nSize, nullptr, 0, pResult);
    return pResult;
}

void* TAVREL_THISCALL ReallocateTagged(void*, void* pBlock, size_t nSize, const char* pszFile,
                                       int32_t nLine) {
    void* pResult = ResizeBlock(pBlock, nSize);
    Record(TIER0_REALLOCATE_TAGGED, pBlock, nSize, pszFile, nLine, pResult);
    return pResult;
}

void* TAVREL_THISCALL Reallocate(void*, void* pBlock, size_t nSize) {
    void* pResult = ResizeBlock(pBlock, nSize);
    Record(TIER0_REALLOCATE, pBlock, nSize, nullptr, 0, pResult);
    return pResult;
}

void TAVREL_THISCALL Release(void*, void* pBlock) {
    if (pBlock != nullptr) {
        g_nLiveBlocks.fetch_sub(1, std::memory_order_relaxed);
        std::free(HeaderOf(pBlock));
    }
    Record(TIER0_RELEASE, pBlock, 0, nullptr, 0, nullptr);
}

size_t TAVREL_THISCALL BlockSize(void*, void* pBlock) {
    size_t nSize = pBlock != nullptr ? HeaderOf(pBlock)->m_nSize : 0;
    Record(TIER0_BLOCK_SIZE, pBlock, nSize, nullptr, 0, nullptr);
    return nSize;
}

bool TAVREL_THISCALL UsesDebugHeap(void*) {
    Record(TIER0_USES_DEBUG_HEAP, nullptr, 0, nullptr, 0, nullptr);
    return g_bDebugHeap.load();
}

// Any other position is outside the contract: stop loudly rather than corrupt the caller.
void TAVREL_THISCALL UnexpectedOperation(void*) {
    std::fputs("tier0 stand-in: allocator operation called at a position the host does not "
               "serve\n",
               stderr);
    std::abort();
}

using Entry = void*;

Entry g_AllocatorTable[TIER0_ALLOCATOR_POSITIONS];

struct RawAllocatorObject {
    Entry* m_pTable;
} g_AllocatorObject{g_AllocatorTable};

bool FillTable() {
    for (Entry& entry : g_AllocatorTable) {
        entry = reinterpret_cast<Entry>(&UnexpectedOperation);
    }
    g_AllocatorTable[TIER0_ALLOCATE_TAGGED] = reinterpret_cast<Entry>(&AllocateTagged);
    g_AllocatorTable[TIER0_ALLOCATE] = reinterpret_cast<Entry>(&Allocate);
    g_AllocatorTable[TIER0_REALLOCATE_TAGGED] = reinterpret_cast<Entry>(&ReallocateTagged);
    g_AllocatorTable[TIER0_REALLOCATE] = reinterpret_cast<Entry>(&Reallocate);
    g_AllocatorTable[TIER0_RELEASE] = reinterpret_cast<Entry>(&Release);
    g_AllocatorTable[TIER0_BLOCK_SIZE] = reinterpret_cast<Entry>(&BlockSize);
    g_AllocatorTable[TIER0_USES_DEBUG_HEAP] = reinterpret_cast<Entry>(&UsesDebugHeap);
    return true;
}

} // namespace

bool EnvironmentSays(const char* pszName, const char* pszValue) {
    const char* pszSetting = std::getenv(pszName);
    return pszSetting != nullptr && std::strcmp(pszSetting, pszValue) == 0;
}

HostAllocator* StandInAllocator() {
    static const bool bFilled = FillTable();
    (void)bFilled;
    return reinterpret_cast<HostAllocator*>(&g_AllocatorObject);
}

void Tier0_SetDebugHeap(bool bDebugHeap) {
    g_bDebugHeap = bDebugHeap;
}

void Tier0_FailNextAllocations(uint32_t nCount) {
    g_nFailuresAhead = nCount;
}

void Tier0_SetAllocatorObserver(Tier0AllocatorObserver pfnObserver, void* pContext) {
    g_pObserverContext = pContext;
    g_pfnObserver = pfnObserver;
}

uint32_t Tier0_GetCallCount(int nPosition) {
    return nPosition >= 0 && nPosition < TIER0_ALLOCATOR_POSITIONS ? g_CallCounts[nPosition].load()
                                                                   : 0;
}

int32_t Tier0_GetLiveBlockCount() {
    return g_nLiveBlocks.load();
}

void ResetAllocatorCounts() {
    for (std::atomic<uint32_t>& count : g_CallCounts) {
        count = 0;
    }
}
