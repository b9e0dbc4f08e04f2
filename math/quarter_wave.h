// Internal to the SSE and SSE2 variants: the constants of the quadrant reduction and the
// quarter-wave polynomial P(t) ~ sin(pi t / 2) on [0, 1], in single-precision SSE operations.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

namespace quarter_wave {

// Taylor coefficients of sin(pi t / 2) through t^7, each rounded to single precision.
constexpr uint32_t A1_BITS = 0x3FC90FDB; //  (pi/2)
constexpr uint32_t A3_BITS = 0xBF255DE7; // -(pi/2)^3 / 3!
constexpr uint32_t A5_BITS = 0x3DA335E3; //  (pi/2)^5 / 5!
constexpr uint32_t A7_BITS = 0xBB996966; // -(pi/2)^7 / 7!
constexpr uint32_t TWO_OVER_PI_BITS = 0x3F22F983;
constexpr uint32_t HALF_PI_BITS = 0x3FC90FDB;
constexpr uint32_t SIGN_BIT = 0x80000000u;
constexpr uint32_t MAGNITUDE_BITS = 0x7FFFFFFFu;

inline __m128 FromBits(uint32_t nBits) {
    float value;
    std::memcpy(&value, &nBits, sizeof value);
    return _mm_set_ss(value);
}

inline uint32_t ToBits(__m128 value) {
    const float scalar = _mm_cvtss_f32(value);
    uint32_t nBits;
    std::memcpy(&nBits, &scalar, sizeof nBits);
    return nBits;
}

// t in [0, 1] without a sign; signBit holds only the sign the result is to carry.
inline __m128 Polynomial(__m128 t, __m128 signBit) {
    const __m128 u = _mm_mul_ss(t, t);
    __m128 p = _mm_add_ss(_mm_mul_ss(u, FromBits(A7_BITS)), FromBits(A5_BITS));
    p = _mm_add_ss(_mm_mul_ss(p, u), FromBits(A3_BITS));
    p = _mm_add_ss(_mm_mul_ss(p, u), FromBits(A1_BITS));
    return _mm_mul_ss(p, _mm_or_ps(t, signBit));
}

} // namespace quarter_wave
