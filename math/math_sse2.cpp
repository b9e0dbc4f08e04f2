// The SSE2 variants of the polynomial sine and cosine: the same steps and results as the SSE
// ones, with the quadrant arithmetic kept in vector registers as integer operations.
#include "math/math_variants.h"
#include "math/quarter_wave.h"

#include <emmintrin.h>

using namespace quarter_wave;

namespace {

struct Quadrant {
    __m128i q;       // reduced value truncated; INT32_MIN for NaN or out of range
    __m128 fraction; // in [0, 1]; 1 when the reduced value had no usable fraction
};

Quadrant Reduce(__m128 reduced) {
    const __m128i q = _mm_cvttps_epi32(reduced);
    const __m128 fraction = _mm_min_ss(_mm_sub_ss(reduced, _mm_cvtepi32_ps(q)), _mm_set_ss(1.0f));
    return {q, fraction};
}

// All ones where q is odd.
__m128 OddMask(__m128i q) {
    const __m128i one = _mm_set1_epi32(1);
    return _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(q, one), one));
}

// Bit 1 of n moved into the sign position.
__m128 QuadrantSign(__m128i n) {
    return _mm_castsi128_ps(_mm_slli_epi32(_mm_and_si128(n, _mm_set1_epi32(2)), 30));
}

__m128 SelectByMask(__m128 mask, __m128 whenClear, __m128 whenSet) {
    return _mm_or_ps(_mm_andnot_ps(mask, whenClear), _mm_and_ps(mask, whenSet));
}

} // namespace

void SineAndCosineSSE2(float angle, float* pSine, float* pCosine) {
    const __m128 input = _mm_set_ss(angle);
    const __m128 reduced =
        _mm_and_ps(_mm_mul_ss(input, FromBits(TWO_OVER_PI_BITS)), FromBits(MAGNITUDE_BITS));
    const Quadrant quadrant = Reduce(reduced);
    const __m128 complement = _mm_sub_ss(_mm_set_ss(1.0f), quadrant.fraction);
    const __m128 odd = OddMask(quadrant.q);
    const __m128 sineArgument = SelectByMask(odd, quadrant.fraction, complement);
    const __m128 cosineArgument = SelectByMask(odd, complement, quadrant.fraction);

    const __m128 sineSign =
        _mm_xor_ps(_mm_and_ps(input, FromBits(SIGN_BIT)), QuadrantSign(quadrant.q));
    const __m128 cosineSign = QuadrantSign(_mm_add_epi32(quadrant.q, _mm_set1_epi32(1)));
    *pSine = _mm_cvtss_f32(Polynomial(sineArgument, sineSign));
    *pCosine = _mm_cvtss_f32(Polynomial(cosineArgument, cosineSign));
}

// cos(x) = sin(|x| + pi/2).
float CosineSSE2(float angle) {
    const __m128 magnitude = _mm_and_ps(_mm_set_ss(angle), FromBits(MAGNITUDE_BITS));
    const __m128 reduced =
        _mm_mul_ss(_mm_add_ss(magnitude, FromBits(HALF_PI_BITS)), FromBits(TWO_OVER_PI_BITS));
    const Quadrant quadrant = Reduce(reduced);
    const __m128 complement = _mm_sub_ss(_mm_set_ss(1.0f), quadrant.fraction);
    const __m128 argument = SelectByMask(OddMask(quadrant.q), quadrant.fraction, complement);
    return _mm_cvtss_f32(Polynomial(argument, QuadrantSign(quadrant.q)));
}
