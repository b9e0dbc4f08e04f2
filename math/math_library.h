// The math library: eight routines reached through a table of pointers that start-up fills with
// the variants suiting the processor, and the flags recording what start-up found. The entries
// hold the default variants until InitMathLibrary runs, so they may be called at any time.
// On 32-bit x86 the whole library is built for SSE2 arithmetic, whichever variants are chosen:
// only that gives the same results bit for bit whatever x87 precision the host has set.
#pragma once

#include <cstdint>

// Three consecutive single-precision components; the vector routines read and write only these.
struct Vector3 {
    float x;
    float y;
    float z;
};

static_assert(sizeof(Vector3) == 12, "three packed 32-bit floats");

using ScalarMathRoutine = float (*)(float x);
using NormalizeReturningLengthRoutine = float (*)(Vector3& vector);
using NormalizeQuickRoutine = void (*)(Vector3& vector);
using InverseSquaredLengthRoutine = float (*)(const Vector3& vector);
// Stores the sine through pSine and the cosine through pCosine; neither may be null.
using SineAndCosineRoutine = void (*)(float angle, float* pSine, float* pCosine);

// The routine table. Angles are in radians. Only the first InitMathLibrary call writes it.
extern ScalarMathRoutine g_pfnSquareRoot;
extern ScalarMathRoutine g_pfnReciprocalSquareRoot;         // the more accurate 1/sqrt
extern ScalarMathRoutine g_pfnReciprocalSquareRootEstimate; // the faster 1/sqrt
extern NormalizeReturningLengthRoutine g_pfnNormalizeReturningLength;
extern NormalizeQuickRoutine g_pfnNormalizeQuick;
extern InverseSquaredLengthRoutine g_pfnInverseSquaredLength; // 1 / max(length squared, 1)
extern SineAndCosineRoutine g_pfnSineAndCosine;
extern ScalarMathRoutine g_pfnCosine;

// False until the first InitMathLibrary call. A feature flag says its instruction set was both
// permitted and reported, not that any of its variants is still in the table.
extern bool g_bMathInitialized;
extern bool g_bMath3DNowActive;
extern bool g_bMathFeatureBit6Active;
extern bool g_bMathSSEActive;
extern bool g_bMathSSE2Active;

// Chooses the routines once from the host's processor feature record, then builds the sine and
// colour tables from the first four arguments. Later calls do nothing at all, whatever their
// arguments. Host thread only; concurrent first calls are not supported.
void InitMathLibrary(float gamma, float sourceGamma, float brightness, int32_t overbrightFactor,
                     bool allow3DNow, bool allowSSE, bool allowSSE2, bool allowFeatureBit6);
