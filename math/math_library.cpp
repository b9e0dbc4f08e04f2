// The routine table, the start-up flags and the start-up selection.
#include "math/math_library.h"

#include "host/runtime_library.h"
#include "math/math_tables.h"
#include "math/math_variants.h"

ScalarMathRoutine g_pfnSquareRoot = SquareRootDefault;
ScalarMathRoutine g_pfnReciprocalSquareRoot = ReciprocalSquareRootDefault;
ScalarMathRoutine g_pfnReciprocalSquareRootEstimate = ReciprocalSquareRootDefault;
NormalizeReturningLengthRoutine g_pfnNormalizeReturningLength = NormalizeReturningLengthDefault;
NormalizeQuickRoutine g_pfnNormalizeQuick = NormalizeQuickDefault;
InverseSquaredLengthRoutine g_pfnInverseSquaredLength = InverseSquaredLengthDefault;
SineAndCosineRoutine g_pfnSineAndCosine = SineAndCosineDefault;
ScalarMathRoutine g_pfnCosine = CosineDefault;

bool g_bMathInitialized = false;
bool g_bMath3DNowActive = false;
bool g_bMathFeatureBit6Active = false;
bool g_bMathSSEActive = false;
bool g_bMathSSE2Active = false;

void InitMathLibrary(float gamma, float sourceGamma, float brightness, int32_t overbrightFactor,
                     bool allow3DNow, bool allowSSE, bool allowSSE2, bool allowFeatureBit6) {
    if (g_bMathInitialized) {
        return;
    }
    // The record is the host's; only its feature byte is kept, and only for this call.
    const uint8_t nFeatureBits = GetCPUInformation()->m_nFeatureBits;

    g_pfnSquareRoot = SquareRootDefault;
    g_pfnReciprocalSquareRoot = ReciprocalSquareRootDefault;
    g_pfnReciprocalSquareRootEstimate = ReciprocalSquareRootDefault;
    g_pfnNormalizeReturningLength = NormalizeReturningLengthDefault;
    g_pfnNormalizeQuick = NormalizeQuickDefault;
    g_pfnInverseSquaredLength = InverseSquaredLengthDefault;
    g_pfnSineAndCosine = SineAndCosineDefault;
    g_pfnCosine = CosineDefault;

    g_bMathFeatureBit6Active = allowFeatureBit6 && (nFeatureBits & PROCESSOR_FEATURE_RECORDED_ONLY);

    // Each group is tested on its own; a later group overrides what an earlier one chose.
    g_bMath3DNowActive = allow3DNow && (nFeatureBits & PROCESSOR_FEATURE_3DNOW);
    if (g_bMath3DNowActive) {
        g_pfnSquareRoot = SquareRoot3DNow;
        g_pfnReciprocalSquareRoot = ReciprocalSquareRoot3DNow;
        g_pfnReciprocalSquareRootEstimate = ReciprocalSquareRoot3DNow;
        g_pfnNormalizeReturningLength = NormalizeReturningLength3DNow;
        g_pfnNormalizeQuick = NormalizeQuick3DNow;
        g_pfnInverseSquaredLength = InverseSquaredLength3DNow;
    }

    g_bMathSSEActive = allowSSE && (nFeatureBits & PROCESSOR_FEATURE_SSE);
    if (g_bMathSSEActive) {
        g_pfnSquareRoot = SquareRootSSE;
        g_pfnReciprocalSquareRoot = ReciprocalSquareRootSSE;
        g_pfnReciprocalSquareRootEstimate = ReciprocalSquareRootEstimateSSE;
        // SSE has no variant that returns the length: a 3DNow! choice gives way to the default.
        g_pfnNormalizeReturningLength = NormalizeReturningLengthDefault;
        g_pfnNormalizeQuick = NormalizeQuickSSE;
        g_pfnInverseSquaredLength = InverseSquaredLengthSSE;
        g_pfnSineAndCosine = SineAndCosineSSE;
        g_pfnCosine = CosineSSE;
    }

    g_bMathSSE2Active = allowSSE2 && (nFeatureBits & PROCESSOR_FEATURE_SSE2);
    if (g_bMathSSE2Active) {
        g_pfnSineAndCosine = SineAndCosineSSE2;
        g_pfnCosine = CosineSSE2;
    }

    g_bMathInitialized = true;

    BuildSineTable();
    BuildColorTables(gamma, sourceGamma, brightness, overbrightFactor);
}
