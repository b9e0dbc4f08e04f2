// The DLL loaded into this process as a host loads it: every block its own run time takes, from
// process attach to detach, reaches the stand-in's allocator tagged with the DLL's name and is
// given back, and the C library's own heap holds nothing of it.
#include "host/interface_factory.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <malloc.h>
#include <windows.h>

namespace {

constexpr char MODULE_FILE[] = "tavrel.dll";

// Fixed storage: recording must not itself use the C library's heap, which is being watched.
struct Call {
    int m_nPosition;
    size_t m_nSize;
    char m_szTag[32];
    void* m_pBlock;
    void* m_pResult;
};

constexpr int MAX_CALLS = 256;
Call g_Calls[MAX_CALLS];
int g_nCalls = 0;

void Record(const Tier0AllocatorCall& call, void*) {
    if (g_nCalls == MAX_CALLS) {
        return;
    }
    Call& record = g_Calls[g_nCalls++];
    record = {call.m_nPosition, call.m_nSize, {}, call.m_pBlock, call.m_pResult};
    if (call.m_pszFile != nullptr) {
        std::strncpy(record.m_szTag, call.m_pszFile, sizeof(record.m_szTag) - 1);
    }
}

// Blocks in use on the C library's heap, which its malloc serves (the stand-in's blocks too).
int CLibraryHeapBlocksInUse() {
    HANDLE hHeap = reinterpret_cast<HANDLE>(_get_heap_handle());
    int nInUse = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(hHeap);
    while (HeapWalk(hHeap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            ++nInUse;
        }
    }
    HeapUnlock(hHeap);
    return nInUse;
}

bool Allocates(const Call& call) {
    return call.m_nPosition == TIER0_ALLOCATE_TAGGED || call.m_nPosition == TIER0_ALLOCATE ||
           call.m_nPosition == TIER0_REALLOCATE_TAGGED || call.m_nPosition == TIER0_REALLOCATE;
}

class LoadedDll : public testing::Test {
protected:
    void SetUp() override {
        g_nCalls = 0;
        Tier0_SetAllocatorPresent(true);
        Tier0_ResetCounts();
    }
    void TearDown() override {
        Tier0_SetAllocatorObserver(nullptr, nullptr);
        Tier0_SetDebugHeap(false);
    }
};

TEST_F(LoadedDll, RunTimeBlocksReachTheHostTaggedAndAreGivenBack) {
    Tier0_SetDebugHeap(true);
    const int32_t nLiveBefore = Tier0_GetLiveBlockCount();
    const int nCLibraryBlocksBefore = CLibraryHeapBlocksInUse();
    Tier0_SetAllocatorObserver(&Record, nullptr);

    HMODULE hModule = LoadLibraryA(MODULE_FILE);
    ASSERT_NE(hModule, nullptr) << "error " << GetLastError();
    const int nCallsAtLoad = g_nCalls;
    const int nCLibraryBlocksLoaded = CLibraryHeapBlocksInUse();
    const int32_t nLiveLoaded = Tier0_GetLiveBlockCount();
    auto pfnCreateInterface = reinterpret_cast<InterfaceFactory>(
        reinterpret_cast<void (*)()>(GetProcAddress(hModule, "CreateInterface")));
    ASSERT_NE(pfnCreateInterface, nullptr);
    EXPECT_NE(pfnCreateInterface("ISERVERPLUGINCALLBACKS002", nullptr), nullptr);
    EXPECT_TRUE(FreeLibrary(hModule));
    Tier0_SetAllocatorObserver(nullptr, nullptr);

    // The run time's exit-handler table at least: 32 pointer-sized entries.
    ASSERT_GT(nCallsAtLoad, 0);
    bool bExitTableSeen = false;
    for (int i = 0; i < g_nCalls; ++i) {
        const Call& call = g_Calls[i];
        if (Allocates(call)) {
            EXPECT_TRUE(call.m_nPosition == TIER0_ALLOCATE_TAGGED ||
                        call.m_nPosition == TIER0_REALLOCATE_TAGGED)
                << "untagged despite the debug heap, position " << call.m_nPosition;
            EXPECT_STREQ(call.m_szTag, "tavrel");
            bExitTableSeen = bExitTableSeen || call.m_nSize == 32 * sizeof(void*);
        }
    }
    EXPECT_TRUE(bExitTableSeen);
    EXPECT_LE(Tier0_GetCallCount(TIER0_USES_DEBUG_HEAP), 2u);
    EXPECT_EQ(Tier0_GetLiveBlockCount(), nLiveBefore) << "the DLL kept blocks after it was freed";
    // The stand-in keeps its blocks on the C library's heap; any other block there is the DLL's.
    EXPECT_GT(nLiveLoaded, nLiveBefore);
    EXPECT_EQ(nCLibraryBlocksLoaded - nCLibraryBlocksBefore, nLiveLoaded - nLiveBefore)
        << "the loaded DLL holds blocks of the C library's heap";
}

TEST_F(LoadedDll, WithoutDebugHeapEveryBlockIsUntagged) {
    const int32_t nLiveBefore = Tier0_GetLiveBlockCount();
    Tier0_SetAllocatorObserver(&Record, nullptr);
    HMODULE hModule = LoadLibraryA(MODULE_FILE);
    ASSERT_NE(hModule, nullptr) << "error " << GetLastError();
    EXPECT_TRUE(FreeLibrary(hModule));
    Tier0_SetAllocatorObserver(nullptr, nullptr);

    int nAllocations = 0;
    for (int i = 0; i < g_nCalls; ++i) {
        EXPECT_NE(g_Calls[i].m_nPosition, TIER0_ALLOCATE_TAGGED);
        EXPECT_NE(g_Calls[i].m_nPosition, TIER0_REALLOCATE_TAGGED);
        nAllocations += Allocates(g_Calls[i]) ? 1 : 0;
    }
    EXPECT_GT(nAllocations, 0);
    EXPECT_EQ(Tier0_GetLiveBlockCount(), nLiveBefore);
}

} // namespace
