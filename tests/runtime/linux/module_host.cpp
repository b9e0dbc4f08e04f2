// A host process for one run of a built module under the stand-in's recording allocator, as a
// server would run it. It keeps its own allocation operators and watches its own C heap, so it
// can tell where every block the module takes goes. It reports facts, one a line, on standard
// output; the tests judge them.
//
//   runtime_module_host MODULE life    create and load the plug-in, relay a command, unload
//   runtime_module_host MODULE probe   run every allocation form of a probe module
//
// Lines:
//   serve OBJECT STATUS                CreateInterface's answer (OBJECT 0 or 1)
//   load RESULT                        the plug-in's load result
//   relayed TEXT                       a command the module issued
//   op NAME RESULT HOSTNEW             a probe operation, its result (hex) and how many times
//                                      the host's own operator new ran during it
//   call POSITION SIZE TAG BLOCK RESULT   an allocator call (TAG "-" when untagged)
//   traffic N                          every call the runtime library saw, of any kind
//   module-c-heap FUNCTION N           C heap calls made from inside the module's code
#include "host/interface_factory.h"
#include "platform/tools/module_library.h"
#include "plugin/command_protocol.h"
#include "tests/runtime/linux/allocation_probe.h"
#include "tests/support/test_client.h"
#include "tier0/tier0_control.h"
#include "tools/host/plugin_by_position.h"
#include "tools/host/stand_in_engine.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <link.h>
#include <new>

extern "C" {
void* __libc_malloc(size_t nSize);
void* __libc_calloc(size_t nCount, size_t nSize);
void* __libc_realloc(void* pBlock, size_t nSize);
void __libc_free(void* pBlock);
}

namespace {

// --- The C heap, watched: who calls it, by return address ---

enum HeapFunction { HEAP_MALLOC, HEAP_CALLOC, HEAP_REALLOC, HEAP_FREE, HEAP_FUNCTIONS };
const char* const HEAP_FUNCTION_NAMES[HEAP_FUNCTIONS] = {"malloc", "calloc", "realloc", "free"};

struct HeapCall {
    HeapFunction m_eFunction;
    uintptr_t m_nCaller;
};

constexpr int MAX_HEAP_CALLS = 1 << 16;
HeapCall g_HeapCalls[MAX_HEAP_CALLS];
std::atomic<int> g_nHeapCalls{0};
std::atomic<bool> g_bWatchingHeap{false};

void NoteHeapCall(HeapFunction eFunction, void* pCaller) {
    if (!g_bWatchingHeap.load(std::memory_order_relaxed)) {
        return;
    }
    const int nIndex = g_nHeapCalls.fetch_add(1, std::memory_order_relaxed);
    if (nIndex < MAX_HEAP_CALLS) {
        g_HeapCalls[nIndex] = {eFunction, reinterpret_cast<uintptr_t>(pCaller)};
    }
}

// --- The host's own operators, counted ---

std::atomic<uint32_t> g_nHostOperatorNews{0};

// --- The allocator calls the stand-in saw ---

struct AllocatorCall {
    int m_nPosition;
    size_t m_nSize;
    char m_szTag[64];
    bool m_bTagged;
    void* m_pBlock;
    void* m_pResult;
};

constexpr int MAX_ALLOCATOR_CALLS = 4096;
AllocatorCall g_AllocatorCalls[MAX_ALLOCATOR_CALLS];
int g_nAllocatorCalls = 0;
int g_nPrintedAllocatorCalls = 0;

void RecordAllocatorCall(const Tier0AllocatorCall& call, void*) {
    if (g_nAllocatorCalls == MAX_ALLOCATOR_CALLS) {
        return;
    }
    AllocatorCall& record = g_AllocatorCalls[g_nAllocatorCalls++];
    record.m_nPosition = call.m_nPosition;
    record.m_nSize = call.m_nSize;
    // Copied now: the tag is the module's, and the module may be gone when this is printed.
    record.m_bTagged = call.m_pszFile != nullptr;
    std::snprintf(record.m_szTag, sizeof(record.m_szTag), "%s",
                  record.m_bTagged ? call.m_pszFile : "-");
    record.m_pBlock = call.m_pBlock;
    record.m_pResult = call.m_pResult;
}

void PrintAllocatorCalls() {
    for (; g_nPrintedAllocatorCalls < g_nAllocatorCalls; ++g_nPrintedAllocatorCalls) {
        const AllocatorCall& call = g_AllocatorCalls[g_nPrintedAllocatorCalls];
        std::printf("call %d %zu %s %p %p\n", call.m_nPosition, call.m_nSize, call.m_szTag,
                    call.m_pBlock, call.m_pResult);
    }
}

uint32_t RuntimeLibraryTraffic() {
    uint32_t nCalls =
        Tier0_GetFeatureQueryCount() + Tier0_GetWriteCheckCount() + Tier0_GetStringCheckCount();
    for (int nPosition = 0; nPosition < TIER0_ALLOCATOR_POSITIONS; ++nPosition) {
        nCalls += Tier0_GetCallCount(nPosition);
    }
    return nCalls;
}

// --- The module's address range, from its loaded segments ---

struct ModuleRange {
    uintptr_t m_nAddressInside;
    uintptr_t m_nStart;
    uintptr_t m_nEnd;
};

int FindRange(dl_phdr_info* pInfo, size_t, void* pContext) {
    auto* pRange = static_cast<ModuleRange*>(pContext);
    uintptr_t nStart = UINTPTR_MAX;
    uintptr_t nEnd = 0;
    for (int i = 0; i < pInfo->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = pInfo->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) {
            continue;
        }
        const uintptr_t nSegmentStart = pInfo->dlpi_addr + segment.p_vaddr;
        nStart = nSegmentStart < nStart ? nSegmentStart : nStart;
        const uintptr_t nSegmentEnd = nSegmentStart + segment.p_memsz;
        nEnd = nSegmentEnd > nEnd ? nSegmentEnd : nEnd;
    }
    if (pRange->m_nAddressInside >= nStart && pRange->m_nAddressInside < nEnd) {
        pRange->m_nStart = nStart;
        pRange->m_nEnd = nEnd;
        return 1;
    }
    return 0;
}

void PrintModuleHeapCalls(const ModuleRange& range) {
    uint32_t counts[HEAP_FUNCTIONS] = {};
    const int nCalls = g_nHeapCalls.load() < MAX_HEAP_CALLS ? g_nHeapCalls.load() : MAX_HEAP_CALLS;
    for (int i = 0; i < nCalls; ++i) {
        if (g_HeapCalls[i].m_nCaller >= range.m_nStart && g_HeapCalls[i].m_nCaller < range.m_nEnd) {
            ++counts[g_HeapCalls[i].m_eFunction];
        }
    }
    for (int i = 0; i < HEAP_FUNCTIONS; ++i) {
        std::printf("module-c-heap %s %u\n", HEAP_FUNCTION_NAMES[i], counts[i]);
    }
}

// --- The scenarios ---

void PrintRelayed(const char* pszText, void*) {
    std::printf("relayed %s", pszText);
}

void RunPluginLife(InterfaceFactory pfnCreateInterface) {
    int nStatus = -7;
    void* pPlugin = pfnCreateInterface("ISERVERPLUGINCALLBACKS002", &nStatus);
    std::printf("serve %d %d\n", pPlugin != nullptr ? 1 : 0, nStatus);
    if (pPlugin == nullptr) {
        return;
    }
    PluginByPosition plugin(pPlugin);
    const bool bLoaded = plugin.LoadPlugin(&StandInEngineFactory, &StandInGameServerFactory);
    std::printf("load %d\n", bLoaded ? 1 : 0);
    if (bLoaded) {
        SetServerCommandSink(&PrintRelayed, nullptr);
        CTestClient client;
        if (client.Connect(COMMAND_PIPE_NAME) && client.Send("status")) {
            client.Disconnect();
            plugin.OnGameFrame(true);
        }
        plugin.OnGameFrame(true);
        plugin.UnloadPlugin();
        SetServerCommandSink(nullptr, nullptr);
    }
}

template <typename Operation> void* RunProbeOperation(const char* pszName, Operation operation) {
    const uint32_t nHostNews = g_nHostOperatorNews.load();
    void* pResult = operation();
    const uint32_t nHostNewsDuring = g_nHostOperatorNews.load() - nHostNews;
    std::printf("op %s %p %u\n", pszName, pResult, nHostNewsDuring);
    PrintAllocatorCalls();
    return pResult;
}

void RunProbe(InterfaceFactory pfnCreateInterface) {
    int nStatus = -7;
    auto* pProbe = static_cast<AllocationProbe*>(
        pfnCreateInterface(ALLOCATION_PROBE_INTERFACE_NAME, &nStatus));
    std::printf("serve %d %d\n", pProbe != nullptr ? 1 : 0, nStatus);
    // What the module took while it was mapped (its console variables' texts) belongs to no
    // operation.
    PrintAllocatorCalls();
    if (pProbe == nullptr) {
        return;
    }
    void* pObject = RunProbeOperation("new-object", [&] { return pProbe->m_pfnNewObject(); });
    RunProbeOperation("delete-object", [&] {
        pProbe->m_pfnDeleteObject(pObject);
        return nullptr;
    });
    void* pArray = RunProbeOperation("new-array", [&] { return pProbe->m_pfnNewArray(100); });
    RunProbeOperation("delete-array", [&] {
        pProbe->m_pfnDeleteArray(pArray);
        return nullptr;
    });
    void* pNothrowArray =
        RunProbeOperation("new-nothrow-array", [&] { return pProbe->m_pfnNewNothrowArray(7); });
    RunProbeOperation("delete-nothrow-array", [&] {
        pProbe->m_pfnDeleteArray(pNothrowArray);
        return nullptr;
    });
    void* pAligned =
        RunProbeOperation("new-aligned-object", [&] { return pProbe->m_pfnNewAlignedObject(); });
    RunProbeOperation("delete-aligned-object", [&] {
        pProbe->m_pfnDeleteAlignedObject(pAligned);
        return nullptr;
    });
    void* pAlignedArray = RunProbeOperation("new-nothrow-aligned-array",
                                            [&] { return pProbe->m_pfnNewNothrowAlignedArray(3); });
    RunProbeOperation("delete-aligned-array", [&] {
        pProbe->m_pfnDeleteAlignedArray(pAlignedArray);
        return nullptr;
    });
    RunProbeOperation("new-beyond-host-size", [&] { return pProbe->m_pfnNewBeyondHostSize(); });
    // The host's own allocation, made here, must stay with the host.
    const uint32_t nTraffic = RuntimeLibraryTraffic();
    int* pHostObject = new int(5);
    std::printf("host-new-reached-runtime-library %d\n", RuntimeLibraryTraffic() != nTraffic);
    delete pHostObject;
}

} // namespace

// The host's C heap, forwarded to the C library's own and watched for calls from the module.
extern "C" {

void* malloc(size_t nSize) {
    NoteHeapCall(HEAP_MALLOC, __builtin_return_address(0));
    return __libc_malloc(nSize);
}

void* calloc(size_t nCount, size_t nSize) {
    NoteHeapCall(HEAP_CALLOC, __builtin_return_address(0));
    return __libc_calloc(nCount, nSize);
}

void* realloc(void* pBlock, size_t nSize) {
    NoteHeapCall(HEAP_REALLOC, __builtin_return_address(0));
    return __libc_realloc(pBlock, nSize);
}

void free(void* pBlock) {
    NoteHeapCall(HEAP_FREE, __builtin_return_address(0));
    __libc_free(pBlock);
}

} // extern "C"

// The host's own operators: a module bound to these would show here.
void* operator new(size_t nSize) {
    g_nHostOperatorNews.fetch_add(1, std::memory_order_relaxed);
    void* pBlock = std::malloc(nSize != 0 ? nSize : 1);
    if (pBlock == nullptr) {
        std::abort();
    }
    return pBlock;
}

void operator delete(void* pBlock) noexcept {
    std::free(pBlock);
}

void operator delete(void* pBlock, size_t) noexcept {
    std::free(pBlock);
}

int main(int nArguments, char** ppArguments) {
    if (nArguments != 3) {
        std::fprintf(stderr, "usage: %s MODULE life|probe\n", ppArguments[0]);
        return 2;
    }
    const char* pszScenario = ppArguments[2];
    const bool bProbe = std::strcmp(pszScenario, "probe") == 0;
    if (!bProbe && std::strcmp(pszScenario, "life") != 0) {
        std::fprintf(stderr, "%s: unknown scenario %s\n", ppArguments[0], pszScenario);
        return 2;
    }
    // Unbuffered output needs no heap of its own while the heap is watched.
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    Tier0_ResetCounts();
    Tier0_SetAllocatorObserver(&RecordAllocatorCall, nullptr);
    g_bWatchingHeap = true;

    std::string error;
    ModuleLibraryHandle hModule = LoadModuleLibrary(ppArguments[1], &error);
    if (hModule == nullptr) {
        std::fprintf(stderr, "%s: cannot load %s: %s\n", ppArguments[0], ppArguments[1],
                     error.c_str());
        return 1;
    }
    auto pfnCreateInterface =
        reinterpret_cast<InterfaceFactory>(FindModuleSymbol(hModule, "CreateInterface"));
    ModuleRange range{reinterpret_cast<uintptr_t>(pfnCreateInterface), 0, 0};
    dl_iterate_phdr(&FindRange, &range);

    if (bProbe) {
        RunProbe(pfnCreateInterface);
    } else {
        RunPluginLife(pfnCreateInterface);
    }
    UnloadModuleLibrary(hModule);

    g_bWatchingHeap = false;
    Tier0_SetAllocatorObserver(nullptr, nullptr);
    PrintAllocatorCalls();
    std::printf("traffic %u\n", RuntimeLibraryTraffic());
    PrintModuleHeapCalls(range);
    return 0;
}
