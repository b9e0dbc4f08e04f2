// Bounded printf-style formatting into a caller's fixed buffer. Any thread; keeps no state.
#pragma once

#include <cstdint>

// Formats into pBuffer, which holds nLength bytes, and always leaves a terminated text there.
// Returns the text's length when the text and its terminator fit; otherwise (the text needs
// nLength characters or more, or formatting fails) the buffer holds the text's first
// nLength - 1 characters and the result is nLength. The runtime library's two pointer checks see
// the buffer and the format first. With no buffer or a length below 1 nothing is written and the
// result is 0.
int32_t FormatToBuffer(char* pBuffer, int32_t nLength, const char* pszFormat, ...)
    __attribute__((format(printf, 3, 4)));
