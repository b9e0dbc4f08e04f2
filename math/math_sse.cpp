// The SSE variants: single-precision SSE operations, hardware estimates with at most one
// Newton-Raphson step, and the polynomial sine and cosine with the quadrant arithmetic done in
// general-purpose registers.
#include "math/math_variants.h"
#include "math/quarter_wave.h"

#include <xmmintrin.h>

using namespace quarter_wave;

namespace {

// Selection masks indexed by the quadrant's parity: keep f for even, take 1 - f for odd.
const uint32_t g_ParityMasks[2] = {0x00000000u, 0xFFFFFFFFu};

__m128 SelectByMask(__m128 mask, __m128 whenClear, __m128 whenSet) {
    return _mm_or_ps(_mm_andnot_ps(mask, whenClear), _mm_and_ps(mask, whenSet));
}

// r' = (0.5 r)(3 - (x r) r), in exactly this order.
__m128 RefineReciprocalSquareRoot(__m128 x, __m128 r) {
    const __m128 correction = _mm_sub_ss(_mm_set_ss(3.0f), _mm_mul_ss(_mm_mul_ss(x, r), r));
    return _mm_mul_ss(_mm_mul_ss(_mm_set_ss(0.5f), r), correction);
}

struct Quadrant {
    int32_t q;       // reduced value truncated; INT32_MIN for NaN or out of range
    __m128 fraction; // in [0, 1]; 1 when the reduced value had no usable fraction
};

// Truncation gives the integer-indefinite value for NaN and out-of-range inputs, so no
// conversion can fault; min() turns a NaN or overlarge fraction into 1.
Quadrant Reduce(__m128 reduced) {
    const int32_t q = _mm_cvttss_si32(reduced);
    const __m128 whole = _mm_cvtsi32_ss(_mm_setzero_ps(), q);
    return {q, _mm_min_ss(_mm_sub_ss(reduced, whole), _mm_set_ss(1.0f))};
}

__m128 ParityMask(int32_t q) {
    return FromBits(g_ParityMasks[static_cast<uint32_t>(q) & 1u]);
}

// Bit 1 of n moved into the sign position.
uint32_t QuadrantSign(uint32_t n) {
    return (n & 2u) << 30;
}

} // namespace

float SquareRootSSE(float x) {
    return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set_ss(x)));
}

float ReciprocalSquareRootSSE(float x) {
    const __m128 value = _mm_set_ss(x);
    return _mm_cvtss_f32(RefineReciprocalSquareRoot(value, _mm_rsqrt_ss(value)));
}

float ReciprocalSquareRootEstimateSSE(float x) {
    return _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(x)));
}

void NormalizeQuickSSE(Vector3& vector) {
    const double x = vector.x;
    const double y = vector.y;
    const double z = vector.z;
    // Biased on the squared length, unlike the default variant, so the zero vector stays zero.
    const __m128 squaredLength = _mm_set_ss(static_cast<float>((x * x + y * y) + z * z + 0x1p-23));
    const __m128 scale = RefineReciprocalSquareRoot(squaredLength, _mm_rsqrt_ss(squaredLength));
    vector.x = _mm_cvtss_f32(_mm_mul_ss(_mm_set_ss(vector.x), scale));
    vector.y = _mm_cvtss_f32(_mm_mul_ss(_mm_set_ss(vector.y), scale));
    vector.z = _mm_cvtss_f32(_mm_mul_ss(_mm_set_ss(vector.z), scale));
}

float InverseSquaredLengthSSE(const Vector3& vector) {
    const __m128 x = _mm_set_ss(vector.x);
    const __m128 y = _mm_set_ss(vector.y);
    const __m128 z = _mm_set_ss(vector.z);
    const __m128 squaredLength =
        _mm_add_ss(_mm_add_ss(_mm_mul_ss(x, x), _mm_mul_ss(y, y)), _mm_mul_ss(z, z));
    // maxss answers its second operand when either is NaN, so NaN becomes 1.
    return _mm_cvtss_f32(_mm_rcp_ss(_mm_max_ss(squaredLength, _mm_set_ss(1.0f))));
}

void SineAndCosineSSE(float angle, float* pSine, float* pCosine) {
    const __m128 input = _mm_set_ss(angle);
    const __m128 reduced =
        _mm_and_ps(_mm_mul_ss(input, FromBits(TWO_OVER_PI_BITS)), FromBits(MAGNITUDE_BITS));
    const Quadrant quadrant = Reduce(reduced);
    const __m128 complement = _mm_sub_ss(_mm_set_ss(1.0f), quadrant.fraction);
    const __m128 odd = ParityMask(quadrant.q);
    const __m128 sineArgument = SelectByMask(odd, quadrant.fraction, complement);
    const __m128 cosineArgument = SelectByMask(odd, complement, quadrant.fraction);

    const uint32_t nQuadrant = static_cast<uint32_t>(quadrant.q);
    const uint32_t nSineSign = (ToBits(input) & SIGN_BIT) ^ QuadrantSign(nQuadrant);
    const uint32_t nCosineSign = QuadrantSign(nQuadrant + 1u);
    *pSine = _mm_cvtss_f32(Polynomial(sineArgument, FromBits(nSineSign)));
    *pCosine = _mm_cvtss_f32(Polynomial(cosineArgument, FromBits(nCosineSign)));
}

// cos(x) = sin(|x| + pi/2).
float CosineSSE(float angle) {
    const __m128 magnitude = _mm_and_ps(_mm_set_ss(angle), FromBits(MAGNITUDE_BITS));
    const __m128 reduced =
        _mm_mul_ss(_mm_add_ss(magnitude, FromBits(HALF_PI_BITS)), FromBits(TWO_OVER_PI_BITS));
    const Quadrant quadrant = Reduce(reduced);
    const __m128 complement = _mm_sub_ss(_mm_set_ss(1.0f), quadrant.fraction);
    const __m128 argument = SelectByMask(ParityMask(quadrant.q), quadrant.fraction, complement);
    const uint32_t nSign = QuadrantSign(static_cast<uint32_t>(quadrant.q));
    return _mm_cvtss_f32(Polynomial(argument, FromBits(nSign)));
}
