// The built module under the stand-in's recording allocator, each run in a host process of its
// own (runtime_module_host) with the runtime library's settings in its environment, as a server
// is started: where every block goes, how it is tagged, and what an absent allocator leaves.
#include "platform/tools/child_process.h"
#include "tests/runtime/linux/allocation_probe.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Only a guard against a hung child; nothing here depends on how fast anything runs.
constexpr int WAIT_MS = 30000;

struct AllocatorCall {
    int m_nPosition;
    uint32_t m_nSize;
    std::string m_Tag; // "-" when untagged
    uintptr_t m_nBlock;
    uintptr_t m_nResult;
};

struct ProbeOperation {
    uintptr_t m_nResult;
    uint32_t m_nHostOperatorNews;
    std::vector<AllocatorCall> m_Calls; // the calls it made
};

// What one run of the host reported.
struct HostRun {
    int m_nExitCode = -1;
    std::string m_Errors;
    bool m_bServed = false;
    int m_nServeStatus = -7;
    bool m_bLoadReported = false;
    bool m_bLoaded = false;
    std::vector<std::string> m_Relayed;
    std::vector<AllocatorCall> m_Calls; // every call, in order
    std::map<std::string, ProbeOperation> m_Operations;
    bool m_bHostNewReachedRuntimeLibrary = true;
    uint32_t m_nTraffic = UINT32_MAX;
    std::map<std::string, uint32_t> m_ModuleHeapCalls;
};

uintptr_t ParseAddress(const std::string& text) {
    return text == "(nil)" ? 0 : static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 16));
}

void ParseLine(const std::string& line, HostRun* pRun, std::string* pCurrentOperation) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "serve") {
        int nObject = 0;
        fields >> nObject >> pRun->m_nServeStatus;
        pRun->m_bServed = nObject != 0;
    } else if (kind == "load") {
        int nLoaded = 0;
        fields >> nLoaded;
        pRun->m_bLoadReported = true;
        pRun->m_bLoaded = nLoaded != 0;
    } else if (kind == "relayed") {
        pRun->m_Relayed.push_back(line.substr(std::string("relayed ").size()));
    } else if (kind == "op") {
        std::string name, result;
        ProbeOperation operation{};
        fields >> name >> result >> operation.m_nHostOperatorNews;
        operation.m_nResult = ParseAddress(result);
        pRun->m_Operations[name] = operation;
        *pCurrentOperation = name;
    } else if (kind == "call") {
        AllocatorCall call{};
        std::string block, result;
        fields >> call.m_nPosition >> call.m_nSize >> call.m_Tag >> block >> result;
        call.m_nBlock = ParseAddress(block);
        call.m_nResult = ParseAddress(result);
        pRun->m_Calls.push_back(call);
        if (!pCurrentOperation->empty()) {
            pRun->m_Operations[*pCurrentOperation].m_Calls.push_back(call);
        }
    } else if (kind == "host-new-reached-runtime-library") {
        int nReached = 1;
        fields >> nReached;
        pRun->m_bHostNewReachedRuntimeLibrary = nReached != 0;
        pCurrentOperation->clear();
    } else if (kind == "traffic") {
        fields >> pRun->m_nTraffic;
        pCurrentOperation->clear();
    } else if (kind == "module-c-heap") {
        std::string function;
        uint32_t nCount = 0;
        fields >> function >> nCount;
        pRun->m_ModuleHeapCalls[function] = nCount;
    }
}

// Runs the host on pszModule with the runtime library's settings in its environment.
HostRun RunHost(const char* pszModule, const char* pszScenario,
                const std::vector<std::string>& environment) {
    std::vector<std::string> arguments{"/usr/bin/env"};
    arguments.insert(arguments.end(), environment.begin(), environment.end());
    arguments.insert(arguments.end(), {TAVREL_MODULE_HOST_PATH, pszModule, pszScenario});
    HostRun run;
    std::string error;
    ChildProcess* pChild = StartChildProcess(arguments, &error);
    if (pChild == nullptr) {
        ADD_FAILURE() << "cannot start the host: " << error;
        return run;
    }
    std::string line;
    std::string currentOperation;
    while (ReadChildOutputLine(pChild, &line, WAIT_MS) == ChildOutputRead::Line) {
        ParseLine(line, &run, &currentOperation);
    }
    if (!WaitForChildExit(pChild, WAIT_MS, &run.m_nExitCode)) {
        ADD_FAILURE() << "the host did not end";
    }
    run.m_Errors = ReadChildErrors(pChild);
    ReleaseChildProcess(pChild);
    return run;
}

bool Allocates(const AllocatorCall& call) {
    return call.m_nPosition == TIER0_ALLOCATE_TAGGED || call.m_nPosition == TIER0_ALLOCATE;
}

bool Reallocates(const AllocatorCall& call) {
    return call.m_nPosition == TIER0_REALLOCATE_TAGGED || call.m_nPosition == TIER0_REALLOCATE;
}

// Blocks handed to the module and never given back, or given back without having been handed out.
testing::AssertionResult EveryBlockAccountedFor(const std::vector<AllocatorCall>& calls) {
    std::set<uintptr_t> live;
    for (const AllocatorCall& call : calls) {
        if (Allocates(call) && call.m_nResult != 0) {
            live.insert(call.m_nResult);
        } else if (Reallocates(call) && call.m_nResult != 0) {
            live.erase(call.m_nBlock);
            live.insert(call.m_nResult);
        } else if (call.m_nPosition == TIER0_RELEASE && call.m_nBlock != 0 &&
                   live.erase(call.m_nBlock) == 0) {
            return testing::AssertionFailure()
                   << "released a block it was not given: 0x" << std::hex << call.m_nBlock;
        }
    }
    if (!live.empty()) {
        return testing::AssertionFailure() << live.size() << " block(s) never released";
    }
    return testing::AssertionSuccess();
}

uint32_t CountAt(const std::vector<AllocatorCall>& calls, int nPosition) {
    uint32_t nCount = 0;
    for (const AllocatorCall& call : calls) {
        nCount += call.m_nPosition == nPosition ? 1 : 0;
    }
    return nCount;
}

// Every C heap call from inside the module is a tag buffer: one malloc per debug-heap answer.
void ExpectOnlyTagBuffersOnTheCHeap(const HostRun& run) {
    const uint32_t nTagBuilds = CountAt(run.m_Calls, TIER0_USES_DEBUG_HEAP);
    EXPECT_LE(run.m_ModuleHeapCalls.at("malloc"), nTagBuilds);
    EXPECT_EQ(run.m_ModuleHeapCalls.at("calloc"), 0u);
    EXPECT_EQ(run.m_ModuleHeapCalls.at("realloc"), 0u);
    EXPECT_EQ(run.m_ModuleHeapCalls.at("free"), 0u);
}

TEST(LoadedModule, AbsentAllocatorLeavesTheModuleInertAndServingNothing) {
    HostRun run = RunHost(TAVREL_MODULE_PATH, "life", {"TAVREL_TIER0_ALLOCATOR=absent"});
    ASSERT_EQ(run.m_nExitCode, 0) << run.m_Errors;
    EXPECT_FALSE(run.m_bServed);
    EXPECT_EQ(run.m_nServeStatus, 1);
    EXPECT_FALSE(run.m_bLoadReported);
    // Not one call of any kind reached the runtime library, from load to unload.
    EXPECT_EQ(run.m_nTraffic, 0u);
    ASSERT_EQ(run.m_ModuleHeapCalls.size(), 4u);
    for (const auto& [function, nCount] : run.m_ModuleHeapCalls) {
        EXPECT_EQ(nCount, 0u) << function;
    }
}

TEST(LoadedModule, WholeLifeUnderTheDebugHeapKeepsEveryBlockTaggedAndAccountedFor) {
    HostRun run = RunHost(TAVREL_MODULE_PATH, "life", {"TAVREL_TIER0_DEBUG_HEAP=1"});
    ASSERT_EQ(run.m_nExitCode, 0) << run.m_Errors;
    ASSERT_TRUE(run.m_bServed);
    EXPECT_EQ(run.m_nServeStatus, 0);
    ASSERT_TRUE(run.m_bLoaded) << "is another process holding the pipe's name?";
    // The command ends its own line: the newline the module appends.
    EXPECT_EQ(run.m_Relayed, std::vector<std::string>{"status"});
    for (const AllocatorCall& call : run.m_Calls) {
        EXPECT_NE(call.m_nPosition, TIER0_ALLOCATE) << "untagged despite the debug heap";
        EXPECT_NE(call.m_nPosition, TIER0_REALLOCATE) << "untagged despite the debug heap";
        if (call.m_nPosition == TIER0_ALLOCATE_TAGGED ||
            call.m_nPosition == TIER0_REALLOCATE_TAGGED) {
            EXPECT_EQ(call.m_Tag, "tavrel");
        }
    }
    EXPECT_LE(CountAt(run.m_Calls, TIER0_USES_DEBUG_HEAP), 2u);
    EXPECT_TRUE(EveryBlockAccountedFor(run.m_Calls));
    ExpectOnlyTagBuffersOnTheCHeap(run);
}

// A probe module, built and linked as the shipped one, runs every form of the allocation
// operators; with and without a debug heap.
struct ProbeCase {
    const char* m_pszLabel;
    const char* m_pszDebugHeapSetting;
    int m_nAllocatePosition;
    const char* m_pszTag;
    uint32_t m_nTagBuffers;
};

void PrintTo(const ProbeCase& probeCase, std::ostream* pStream) {
    *pStream << probeCase.m_pszLabel;
}

class ProbeModule : public testing::TestWithParam<ProbeCase> {
protected:
    void SetUp() override {
        m_Run = RunHost(TAVREL_PROBE_MODULE_PATH, "probe", {GetParam().m_pszDebugHeapSetting});
        ASSERT_EQ(m_Run.m_nExitCode, 0) << m_Run.m_Errors;
        ASSERT_TRUE(m_Run.m_bServed);
    }

    // The operation asked the host for exactly one block, with the expected tag, and returned
    // what the host gave (or an address inside it, for over-aligned blocks); its host call.
    AllocatorCall ExpectOneAllocation(const char* pszOperation) {
        const ProbeOperation& operation = m_Run.m_Operations.at(pszOperation);
        EXPECT_EQ(operation.m_nHostOperatorNews, 0u) << "the host's operator served the module";
        std::vector<AllocatorCall> allocations;
        for (const AllocatorCall& call : operation.m_Calls) {
            if (call.m_nPosition != TIER0_USES_DEBUG_HEAP) {
                allocations.push_back(call);
            }
        }
        if (allocations.size() != 1u) {
            ADD_FAILURE() << pszOperation << " made " << allocations.size() << " calls";
            return {};
        }
        EXPECT_EQ(allocations[0].m_nPosition, GetParam().m_nAllocatePosition) << pszOperation;
        EXPECT_EQ(allocations[0].m_Tag, GetParam().m_pszTag) << pszOperation;
        EXPECT_NE(allocations[0].m_nResult, 0u) << pszOperation;
        return allocations[0];
    }

    void ExpectOneRelease(const char* pszOperation, uintptr_t nBlock) {
        const ProbeOperation& operation = m_Run.m_Operations.at(pszOperation);
        ASSERT_EQ(operation.m_Calls.size(), 1u) << pszOperation;
        EXPECT_EQ(operation.m_Calls[0].m_nPosition, TIER0_RELEASE) << pszOperation;
        EXPECT_EQ(operation.m_Calls[0].m_nBlock, nBlock) << pszOperation;
    }

    // An over-aligned block: aligned, and with its whole size inside the host's block.
    void ExpectAlignedInside(const char* pszOperation, uint32_t nSize) {
        const AllocatorCall host = ExpectOneAllocation(pszOperation);
        const uintptr_t nResult = m_Run.m_Operations.at(pszOperation).m_nResult;
        EXPECT_EQ(nResult % PROBE_ALIGNMENT, 0u) << pszOperation;
        EXPECT_GE(nResult, host.m_nResult) << pszOperation;
        EXPECT_LE(nResult + nSize, host.m_nResult + host.m_nSize) << pszOperation;
    }

    HostRun m_Run;
};

TEST_P(ProbeModule, PlainAndNothrowFormsReachTheHostAllocatorDirectly) {
    const struct {
        const char* m_pszNew;
        const char* m_pszDelete;
        uint32_t m_nSize;
    } forms[] = {
        {"new-object", "delete-object", PROBE_OBJECT_SIZE},
        {"new-array", "delete-array", 100},
        {"new-nothrow-array", "delete-nothrow-array", 7},
    };
    for (const auto& form : forms) {
        const AllocatorCall host = ExpectOneAllocation(form.m_pszNew);
        EXPECT_EQ(host.m_nSize, form.m_nSize) << form.m_pszNew;
        EXPECT_EQ(m_Run.m_Operations.at(form.m_pszNew).m_nResult, host.m_nResult);
        ExpectOneRelease(form.m_pszDelete, host.m_nResult);
    }
}

TEST_P(ProbeModule, AlignedFormsAreAlignedInsideTheHostBlockAndReleaseIt) {
    ExpectAlignedInside("new-aligned-object", PROBE_ALIGNMENT);
    ExpectOneRelease("delete-aligned-object", ExpectOneAllocation("new-aligned-object").m_nResult);
    ExpectAlignedInside("new-nothrow-aligned-array", 3 * PROBE_ALIGNMENT);
    ExpectOneRelease("delete-aligned-array",
                     ExpectOneAllocation("new-nothrow-aligned-array").m_nResult);
}

TEST_P(ProbeModule, SizeBeyondTheHostsThirtyTwoBitsYieldsNullWithoutAsking) {
    if (sizeof(size_t) <= sizeof(uint32_t)) {
        GTEST_SKIP() << "size_t cannot exceed 32 bits here";
    }
    const ProbeOperation& operation = m_Run.m_Operations.at("new-beyond-host-size");
    EXPECT_EQ(operation.m_nResult, 0u);
    EXPECT_TRUE(operation.m_Calls.empty());
}

TEST_P(ProbeModule, HostAndModuleKeepTheirOwnOperators) {
    EXPECT_FALSE(m_Run.m_bHostNewReachedRuntimeLibrary);
    for (const auto& [name, operation] : m_Run.m_Operations) {
        EXPECT_EQ(operation.m_nHostOperatorNews, 0u) << name;
    }
}

TEST_P(ProbeModule, EveryBlockIsAccountedForAndOnlyTheTagTouchesTheCHeap) {
    EXPECT_TRUE(EveryBlockAccountedFor(m_Run.m_Calls));
    // Only the allocation cache is used by operators, and it asks once.
    EXPECT_EQ(CountAt(m_Run.m_Calls, TIER0_USES_DEBUG_HEAP), 1u);
    EXPECT_EQ(m_Run.m_ModuleHeapCalls.at("malloc"), GetParam().m_nTagBuffers);
    ExpectOnlyTagBuffersOnTheCHeap(m_Run);
}

INSTANTIATE_TEST_SUITE_P(
    Heaps, ProbeModule,
    testing::Values(ProbeCase{"DebugHeap", "TAVREL_TIER0_DEBUG_HEAP=1", TIER0_ALLOCATE_TAGGED,
                              "tavrel_allocation_probe", 1},
                    ProbeCase{"PlainHeap", "TAVREL_TIER0_DEBUG_HEAP=0", TIER0_ALLOCATE, "-", 0}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return info.param.m_pszLabel; });

} // namespace
