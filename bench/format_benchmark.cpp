// FormatToBuffer against the C library's snprintf into the same 32-byte buffer, for an integer
// and a float, over a ring of varied values so no call can be folded.
//
//   format_benchmark --benchmark_filter=FormatFloat
#include "host/runtime_library.h"
#include "runtime/format_to_buffer.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t VALUES = 256; // a power of two, so the ring index is a mask
constexpr size_t BUFFER_SIZE = 32;

const std::vector<int>& Integers() {
    static const std::vector<int> values = [] {
        std::vector<int> ring(VALUES);
        int32_t value = 7;
        for (size_t i = 0; i < VALUES; ++i) {
            // Every length from one digit to ten, both signs.
            value = static_cast<int32_t>(static_cast<uint32_t>(value) * 1103515245u + 12345u);
            ring[i] = value >> static_cast<int>(i % 31);
        }
        return ring;
    }();
    return values;
}

const std::vector<float>& Floats() {
    static const std::vector<float> values = [] {
        std::vector<float> ring(VALUES);
        for (size_t i = 0; i < VALUES; ++i) {
            ring[i] = (static_cast<float>(i) - 128.0f) * 37.3125f / static_cast<float>(1 + i % 7);
        }
        return ring;
    }();
    return values;
}

void FormatIntegerSnprintf(benchmark::State& state) {
    char buffer[BUFFER_SIZE];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::snprintf(buffer, sizeof(buffer), "%d", Integers()[i++ & (VALUES - 1)]));
        benchmark::ClobberMemory();
    }
}

void FormatIntegerFormatToBuffer(benchmark::State& state) {
    char buffer[BUFFER_SIZE];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            FormatToBuffer(buffer, sizeof(buffer), "%d", Integers()[i++ & (VALUES - 1)]));
        benchmark::ClobberMemory();
    }
}

// Values this size need at most 16 characters with "%f", so no call truncates.
void FormatFloatSnprintf(benchmark::State& state) {
    char buffer[BUFFER_SIZE];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(buffer, sizeof(buffer), "%f",
                                               static_cast<double>(Floats()[i++ & (VALUES - 1)])));
        benchmark::ClobberMemory();
    }
}

void FormatFloatFormatToBuffer(benchmark::State& state) {
    char buffer[BUFFER_SIZE];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatToBuffer(buffer, sizeof(buffer), "%f",
                                                static_cast<double>(Floats()[i++ & (VALUES - 1)])));
        benchmark::ClobberMemory();
    }
}

// Not a baseline: the two checks of the runtime library every FormatToBuffer call must make first,
// through the same imports, so the gap to snprintf can be split into the checks and the rest.
void FormatChecksOnly(benchmark::State& state) {
    char buffer[BUFFER_SIZE];
    const char* pszFormat = "%d";
    for (auto _ : state) {
        benchmark::DoNotOptimize(pszFormat);
        _AssertValidWritePtr(buffer, sizeof(buffer));
        AssertValidStringPtr(pszFormat, 0xFFFFFF);
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(FormatChecksOnly)->Name("FormatChecks/ChecksOnly");
BENCHMARK(FormatIntegerSnprintf)->Name("FormatInteger/Snprintf");
BENCHMARK(FormatIntegerFormatToBuffer)->Name("FormatInteger/FormatToBuffer");
BENCHMARK(FormatFloatSnprintf)->Name("FormatFloat/Snprintf");
BENCHMARK(FormatFloatFormatToBuffer)->Name("FormatFloat/FormatToBuffer");

BENCHMARK_MAIN();
