// A float's exact bits, as the reference data states expected results.
#pragma once

#include <cstdint>
#include <cstring>

inline float FromBits(uint32_t nBits) {
    float value;
    std::memcpy(&value, &nBits, sizeof value);
    return value;
}

inline uint32_t ToBits(float value) {
    uint32_t nBits;
    std::memcpy(&nBits, &value, sizeof nBits);
    return nBits;
}
