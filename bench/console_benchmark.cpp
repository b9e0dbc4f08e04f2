// What a console variable's assignment costs once the variable is warm: a text, a float and an
// integer assignment (through to the service's change notification), each against snprintf of the
// same value into a 32-byte buffer in the same run. The counter "allocator_calls" is the host
// allocator's calls (allocations and releases) per assignment, counted by the runtime-library
// stand-in; a variable that alternates between a short and a long text must show none once it has
// held the long one.
//
//   console_benchmark --benchmark_filter=Assign
#include "connect/library_connection.h"
#include "console/console_variable.h"
#include "platform/module/linkage.h"
#include "tier0/tier0_control.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr int NOTIFY_GLOBAL_CHANGE_CALLBACKS = 20;

// A service whose change listeners do nothing, so the notification's own cost is measured.
void TAVREL_THISCALL IgnoreChange(void*, void*, const char*, float) {}

void* g_ServiceTable[NOTIFY_GLOBAL_CHANGE_CALLBACKS + 1];

struct RawService {
    void** m_pTable;
} g_Service{g_ServiceTable};

void ConnectSilentService() {
    g_ServiceTable[NOTIFY_GLOBAL_CHANGE_CALLBACKS] = reinterpret_cast<void*>(&IgnoreChange);
    g_pCVar = reinterpret_cast<ConsoleVariableService*>(&g_Service);
    cvar = g_pCVar;
}

uint32_t AllocatorCalls() {
    return Tier0_GetCallCount(TIER0_ALLOCATE) + Tier0_GetCallCount(TIER0_ALLOCATE_TAGGED) +
           Tier0_GetCallCount(TIER0_RELEASE);
}

// Runs assign(i) for every iteration and reports the allocator calls per assignment. Both values
// are assigned once first, so the buffer has grown before anything is counted.
template <typename Assign> void Measure(benchmark::State& state, Assign assign) {
    assign(0);
    assign(1);
    const uint32_t nCallsBefore = AllocatorCalls();
    uint32_t i = 0;
    for (auto _ : state) {
        assign(i++);
    }
    state.counters["allocator_calls"] =
        benchmark::Counter(AllocatorCalls() - nCallsBefore, benchmark::Counter::kAvgIterations);
}

const char* const TEXTS[2] = {"12.5", "7.25"};
const float FLOATS[2] = {12.5f, 7.25f};
const int32_t INTEGERS[2] = {125, 725};

// Every assignment changes the value, so none takes the early return of an unchanged number.
void AssignText(benchmark::State& state) {
    ConnectSilentService();
    ConVar variable("bench_variable", "0", 0, "");
    Measure(state, [&](uint32_t i) { variable.AssignFromText(TEXTS[i & 1]); });
    benchmark::DoNotOptimize(variable.m_pszText);
}

void AssignFloat(benchmark::State& state) {
    ConnectSilentService();
    ConVar variable("bench_variable", "0", 0, "");
    Measure(state, [&](uint32_t i) { variable.AssignFromFloat(FLOATS[i & 1]); });
    benchmark::DoNotOptimize(variable.m_pszText);
}

void AssignInteger(benchmark::State& state) {
    ConnectSilentService();
    ConVar variable("bench_variable", "0", 0, "");
    Measure(state, [&](uint32_t i) { variable.AssignFromInteger(INTEGERS[i & 1]); });
    benchmark::DoNotOptimize(variable.m_pszText);
}

// The buffer grows once, to the long text, and is kept for the short one.
void AssignShortThenLongText(benchmark::State& state) {
    ConnectSilentService();
    const std::string longText(static_cast<size_t>(state.range(0)), '7');
    const char* const texts[2] = {"1", longText.c_str()};
    ConVar variable("bench_variable", "0", 0, "");
    const uint32_t nCallsBefore = AllocatorCalls();
    variable.AssignFromText(texts[0]);
    variable.AssignFromText(texts[1]);
    // The growth to the long text: one allocation and one release.
    state.counters["first_cycle_allocator_calls"] = AllocatorCalls() - nCallsBefore;
    Measure(state, [&](uint32_t i) { variable.AssignFromText(texts[i & 1]); });
}

void SnprintfText(benchmark::State& state) {
    char szBuffer[32];
    uint32_t i = 0;
    for (auto _ : state) {
        std::snprintf(szBuffer, sizeof(szBuffer), "%s", TEXTS[i++ & 1]);
        benchmark::DoNotOptimize(szBuffer);
    }
}

void SnprintfFloat(benchmark::State& state) {
    char szBuffer[32];
    uint32_t i = 0;
    for (auto _ : state) {
        std::snprintf(szBuffer, sizeof(szBuffer), "%f", static_cast<double>(FLOATS[i++ & 1]));
        benchmark::DoNotOptimize(szBuffer);
    }
}

void SnprintfInteger(benchmark::State& state) {
    char szBuffer[32];
    uint32_t i = 0;
    for (auto _ : state) {
        std::snprintf(szBuffer, sizeof(szBuffer), "%d", INTEGERS[i++ & 1]);
        benchmark::DoNotOptimize(szBuffer);
    }
}

} // namespace

BENCHMARK(SnprintfText);
BENCHMARK(AssignText);
BENCHMARK(SnprintfFloat);
BENCHMARK(AssignFloat);
BENCHMARK(SnprintfInteger);
BENCHMARK(AssignInteger);
// Argument: the long text's length.
BENCHMARK(AssignShortThenLongText)->Arg(100)->Arg(1000);

BENCHMARK_MAIN();
