// Per-call cost of every math variant against the C library, and the cost of the whole start-up.
// Every routine, baselines included, is called through a pointer as the routine table is, over
// a ring of varied inputs, so no call can be folded or hoisted.
//
//   math_benchmark --benchmark_filter=SquareRoot   (one operation and its baselines)
#include "math/math_library.h"
#include "math/math_variants.h"
#include "plugin/load_steps.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr size_t INPUTS = 1024; // a power of two, so the ring index is a mask

std::vector<float> PositiveInputs() {
    std::vector<float> values(INPUTS);
    for (size_t i = 0; i < INPUTS; ++i) {
        values[i] = 0.01f + 0.37f * static_cast<float>(i);
    }
    return values;
}

std::vector<float> Angles() {
    std::vector<float> values(INPUTS);
    for (size_t i = 0; i < INPUTS; ++i) {
        values[i] = -50.0f + 0.0977f * static_cast<float>(i);
    }
    return values;
}

std::vector<Vector3> Vectors() {
    std::vector<Vector3> values(INPUTS);
    for (size_t i = 0; i < INPUTS; ++i) {
        const float t = static_cast<float>(i);
        values[i] = {1.0f + 0.5f * t, 3.0f - 0.25f * t, 0.125f * t - 7.0f};
    }
    return values;
}

// The C library's routines, as callable through the same pointer types.
float LibrarySquareRoot(float x) {
    return std::sqrt(x);
}
float LibraryReciprocalSquareRoot(float x) {
    return 1.0f / std::sqrt(x);
}
void LibrarySineAndCosine(float angle, float* pSine, float* pCosine) {
    *pSine = std::sin(angle);
    *pCosine = std::cos(angle);
}
float LibraryCosine(float angle) {
    return std::cos(angle);
}
float LibraryNormalizeReturningLength(Vector3& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    const float scale = 1.0f / length;
    v.x *= scale;
    v.y *= scale;
    v.z *= scale;
    return length;
}
void LibraryNormalizeQuick(Vector3& v) {
    LibraryNormalizeReturningLength(v);
}
float LibraryInverseSquaredLength(const Vector3& v) {
    return 1.0f / std::fmax(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f);
}

// What a call through the table costs before the routine does anything: the floor under every
// row of the same shape.
float PassThrough(float x) {
    return x;
}
void PassThroughPair(float angle, float* pSine, float* pCosine) {
    *pSine = angle;
    *pCosine = angle;
}

void Scalar(benchmark::State& state, ScalarMathRoutine pfnRoutine,
            const std::vector<float>& inputs) {
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pfnRoutine);
        benchmark::DoNotOptimize(pfnRoutine(inputs[i++ & (INPUTS - 1)]));
    }
}

void SineAndCosine(benchmark::State& state, SineAndCosineRoutine pfnRoutine) {
    static const std::vector<float> angles = Angles();
    size_t i = 0;
    float sine = 0.0f;
    float cosine = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pfnRoutine);
        pfnRoutine(angles[i++ & (INPUTS - 1)], &sine, &cosine);
        benchmark::DoNotOptimize(sine);
        benchmark::DoNotOptimize(cosine);
    }
}

void NormalizeReturningLength(benchmark::State& state, NormalizeReturningLengthRoutine pfnRoutine) {
    static const std::vector<Vector3> vectors = Vectors();
    size_t i = 0;
    for (auto _ : state) {
        Vector3 v = vectors[i++ & (INPUTS - 1)];
        benchmark::DoNotOptimize(pfnRoutine);
        benchmark::DoNotOptimize(pfnRoutine(v));
        benchmark::DoNotOptimize(v);
    }
}

void NormalizeQuick(benchmark::State& state, NormalizeQuickRoutine pfnRoutine) {
    static const std::vector<Vector3> vectors = Vectors();
    size_t i = 0;
    for (auto _ : state) {
        Vector3 v = vectors[i++ & (INPUTS - 1)];
        benchmark::DoNotOptimize(pfnRoutine);
        pfnRoutine(v);
        benchmark::DoNotOptimize(v);
    }
}

void InverseSquaredLength(benchmark::State& state, InverseSquaredLengthRoutine pfnRoutine) {
    static const std::vector<Vector3> vectors = Vectors();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pfnRoutine);
        benchmark::DoNotOptimize(pfnRoutine(vectors[i++ & (INPUTS - 1)]));
    }
}

// Each input depends on the previous result (times zero: the results here are finite), so
// calls cannot overlap and the row shows the routine's latency rather than its throughput.
void ReciprocalSquareRootChained(benchmark::State& state, ScalarMathRoutine pfnRoutine) {
    static const std::vector<float> inputs = PositiveInputs();
    size_t i = 0;
    float result = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pfnRoutine);
        result = pfnRoutine(inputs[i++ & (INPUTS - 1)] + result * 0.0f);
    }
    benchmark::DoNotOptimize(result);
}

void SineAndCosineChained(benchmark::State& state, SineAndCosineRoutine pfnRoutine) {
    static const std::vector<float> angles = Angles();
    size_t i = 0;
    float sine = 0.0f;
    float cosine = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pfnRoutine);
        pfnRoutine(angles[i++ & (INPUTS - 1)] + (sine + cosine) * 0.0f, &sine, &cosine);
    }
    benchmark::DoNotOptimize(sine);
    benchmark::DoNotOptimize(cosine);
}

void SquareRoot(benchmark::State& state, ScalarMathRoutine pfnRoutine) {
    static const std::vector<float> inputs = PositiveInputs();
    Scalar(state, pfnRoutine, inputs);
}

void ReciprocalSquareRoot(benchmark::State& state, ScalarMathRoutine pfnRoutine) {
    SquareRoot(state, pfnRoutine);
}

void Cosine(benchmark::State& state, ScalarMathRoutine pfnRoutine) {
    static const std::vector<float> angles = Angles();
    Scalar(state, pfnRoutine, angles);
}

// Everything start-up does, guard apart: the processor query, the selection and both tables.
void StartUp(benchmark::State& state) {
    for (auto _ : state) {
        g_bMathInitialized = false;
        StartMathLibraryAtLoad();
    }
}

} // namespace

BENCHMARK_CAPTURE(SquareRoot, Library_sqrtf, LibrarySquareRoot);
BENCHMARK_CAPTURE(SquareRoot, Default, SquareRootDefault);
BENCHMARK_CAPTURE(SquareRoot, 3DNow, SquareRoot3DNow);
BENCHMARK_CAPTURE(SquareRoot, SSE, SquareRootSSE);

BENCHMARK_CAPTURE(ReciprocalSquareRoot, Library_1_over_sqrtf, LibraryReciprocalSquareRoot);
BENCHMARK_CAPTURE(ReciprocalSquareRoot, Default, ReciprocalSquareRootDefault);
BENCHMARK_CAPTURE(ReciprocalSquareRoot, 3DNow, ReciprocalSquareRoot3DNow);
BENCHMARK_CAPTURE(ReciprocalSquareRoot, SSE, ReciprocalSquareRootSSE);
BENCHMARK_CAPTURE(ReciprocalSquareRoot, EstimateSSE, ReciprocalSquareRootEstimateSSE);

BENCHMARK_CAPTURE(NormalizeReturningLength, Library_sqrtf, LibraryNormalizeReturningLength);
BENCHMARK_CAPTURE(NormalizeReturningLength, Default, NormalizeReturningLengthDefault);
BENCHMARK_CAPTURE(NormalizeReturningLength, 3DNow, NormalizeReturningLength3DNow);

BENCHMARK_CAPTURE(NormalizeQuick, Library_sqrtf, LibraryNormalizeQuick);
BENCHMARK_CAPTURE(NormalizeQuick, Default, NormalizeQuickDefault);
BENCHMARK_CAPTURE(NormalizeQuick, 3DNow, NormalizeQuick3DNow);
BENCHMARK_CAPTURE(NormalizeQuick, SSE, NormalizeQuickSSE);

BENCHMARK_CAPTURE(InverseSquaredLength, Library_division, LibraryInverseSquaredLength);
BENCHMARK_CAPTURE(InverseSquaredLength, Default, InverseSquaredLengthDefault);
BENCHMARK_CAPTURE(InverseSquaredLength, 3DNow, InverseSquaredLength3DNow);
BENCHMARK_CAPTURE(InverseSquaredLength, SSE, InverseSquaredLengthSSE);

BENCHMARK_CAPTURE(SineAndCosine, Library_sinf_cosf, LibrarySineAndCosine);
BENCHMARK_CAPTURE(SineAndCosine, Default, SineAndCosineDefault);
BENCHMARK_CAPTURE(SineAndCosine, SSE, SineAndCosineSSE);
BENCHMARK_CAPTURE(SineAndCosine, SSE2, SineAndCosineSSE2);

BENCHMARK_CAPTURE(Cosine, Library_cosf, LibraryCosine);
BENCHMARK_CAPTURE(Cosine, Default, CosineDefault);
BENCHMARK_CAPTURE(Cosine, SSE, CosineSSE);
BENCHMARK_CAPTURE(Cosine, SSE2, CosineSSE2);

BENCHMARK_CAPTURE(SquareRoot, CallOnly, PassThrough);
BENCHMARK_CAPTURE(SineAndCosine, CallOnly, PassThroughPair);

BENCHMARK_CAPTURE(ReciprocalSquareRootChained, Library_1_over_sqrtf, LibraryReciprocalSquareRoot);
BENCHMARK_CAPTURE(ReciprocalSquareRootChained, SSE, ReciprocalSquareRootSSE);
BENCHMARK_CAPTURE(ReciprocalSquareRootChained, EstimateSSE, ReciprocalSquareRootEstimateSSE);
BENCHMARK_CAPTURE(ReciprocalSquareRootChained, CallOnly, PassThrough);

BENCHMARK_CAPTURE(SineAndCosineChained, Library_sinf_cosf, LibrarySineAndCosine);
BENCHMARK_CAPTURE(SineAndCosineChained, SSE, SineAndCosineSSE);
BENCHMARK_CAPTURE(SineAndCosineChained, SSE2, SineAndCosineSSE2);
BENCHMARK_CAPTURE(SineAndCosineChained, CallOnly, PassThroughPair);

BENCHMARK(StartUp)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
