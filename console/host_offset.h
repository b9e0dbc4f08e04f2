// Field offsets the host relies on, stated once for 32-bit and once for 64-bit pointers.
#pragma once

#include <cstddef>

constexpr std::size_t HostOffset(std::size_t n32, std::size_t n64) {
    return sizeof(void*) == 4 ? n32 : n64;
}
