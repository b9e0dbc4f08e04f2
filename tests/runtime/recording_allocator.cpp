// The recording fixture's plumbing.
#include "tests/runtime/recording_allocator.h"

#include "runtime/module_tag.h"

#include <cstring>
#include <vector>

void ForgetModuleTags() {
    // A tag's block is never given back, as in the module; it stays reachable here (past the
    // static destructors too), or the leak check would take the forgotten tags for leaks.
    static std::vector<const char*>* s_pKeptTags = new std::vector<const char*>;
    for (ModuleTagCache* pCache : {&AllocationTagCache, &ReallocationTagCache}) {
        if (const char* pszTag = pCache->m_pszTag.load()) {
            s_pKeptTags->push_back(pszTag);
        }
        pCache->m_bBuilt = false;
        pCache->m_pszTag = nullptr;
    }
}

void RecordingAllocatorTest::SetUp() {
    Tier0_SetAllocatorPresent(true);
    Tier0_SetDebugHeap(false);
    Tier0_FailNextAllocations(0);
    ForgetModuleTags();
    Tier0_ResetCounts();
    Tier0_SetAllocatorObserver(&RecordingAllocatorTest::Observe, this);
}

void RecordingAllocatorTest::TearDown() {
    Tier0_SetAllocatorObserver(nullptr, nullptr);
    Tier0_FailNextAllocations(0);
    Tier0_SetDebugHeap(false);
    Tier0_SetAllocatorPresent(true);
    ForgetModuleTags();
}

std::vector<RecordedCall> RecordingAllocatorTest::CallsAt(int nPosition) const {
    std::vector<RecordedCall> calls;
    for (const RecordedCall& call : m_Calls) {
        if (call.m_nPosition == nPosition) {
            calls.push_back(call);
        }
    }
    return calls;
}

void RecordingAllocatorTest::Observe(const Tier0AllocatorCall& call, void* pContext) {
    auto* pTest = static_cast<RecordingAllocatorTest*>(pContext);
    const bool bNewBlock =
        call.m_nPosition == TIER0_ALLOCATE_TAGGED || call.m_nPosition == TIER0_ALLOCATE;
    // Runs before the module sees the block, so a block it hands on unfilled stays spoilt.
    if (pTest->m_bSpoil && bNewBlock && call.m_pResult != nullptr) {
        std::memset(call.m_pResult, pTest->m_cSpoilFill, call.m_nSize);
    }
    pTest->m_Calls.push_back(
        {call.m_nPosition, call.m_pBlock, call.m_nSize, call.m_pszFile != nullptr,
         call.m_pszFile != nullptr ? call.m_pszFile : "", call.m_nLine, call.m_pResult});
}
