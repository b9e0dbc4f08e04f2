// What the module's allocation routines add to a call of the host allocator: AllocateBlock and
// ReleaseBlock against the same pair of operations called directly through g_pMemAlloc, in the
// same run, with and without a debug heap (tagged and untagged operations).
//
//   allocation_benchmark --benchmark_filter=Routed
#include "host/runtime_library.h"
#include "runtime/allocation.h"
#include "tier0/tier0_control.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr char MODULE_TAG[] = "tavrel";

// The caches are built on first use; a warm-up call builds them before timing starts.
void UseDebugHeap(bool bDebugHeap, benchmark::State& state) {
    Tier0_SetDebugHeap(bDebugHeap);
    Tier0_SetAllocatorObserver(nullptr, nullptr);
    ReleaseBlock(AllocateBlock(1));
    state.counters["debug_heap"] = bDebugHeap ? 1 : 0;
}

void Direct(benchmark::State& state) {
    const bool bDebugHeap = state.range(1) != 0;
    UseDebugHeap(bDebugHeap, state);
    const auto nSize = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        void* pBlock = bDebugHeap ? g_pMemAlloc->AllocateTagged(nSize, MODULE_TAG, 0)
                                  : g_pMemAlloc->Allocate(nSize);
        benchmark::DoNotOptimize(pBlock);
        g_pMemAlloc->Release(pBlock);
    }
}

void Routed(benchmark::State& state) {
    const bool bDebugHeap = state.range(1) != 0;
    UseDebugHeap(bDebugHeap, state);
    const auto nSize = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) {
        void* pBlock = AllocateBlock(nSize);
        benchmark::DoNotOptimize(pBlock);
        ReleaseBlock(pBlock);
    }
}

} // namespace

// Arguments: block size, then debug heap (0: untagged operations; 1: the tag on every call).
BENCHMARK(Direct)->ArgsProduct({{16, 256}, {0, 1}});
BENCHMARK(Routed)->ArgsProduct({{16, 256}, {0, 1}});

BENCHMARK_MAIN();
