// Bounded formatting over the C library's vsnprintf, with the runtime library's pointer checks.
#include "runtime/format_to_buffer.h"

#include "host/runtime_library.h"

#include <cstdarg>
#include <cstdio>

namespace {

// The longest text the string check is asked to accept.
constexpr int32_t MAX_CHECKED_FORMAT_LENGTH = 0xFFFFFF;

} // namespace

int32_t FormatToBuffer(char* pBuffer, int32_t nLength, const char* pszFormat, ...) {
    _AssertValidWritePtr(pBuffer, nLength);
    AssertValidStringPtr(pszFormat, MAX_CHECKED_FORMAT_LENGTH);
    // Nothing can be written, not even a terminator.
    if (pBuffer == nullptr || nLength < 1) {
        return 0;
    }
    va_list arguments;
    va_start(arguments, pszFormat);
    const int nWritten =
        std::vsnprintf(pBuffer, static_cast<size_t>(nLength), pszFormat, arguments);
    va_end(arguments);
    if (nWritten < 0 || nWritten >= nLength) {
        pBuffer[nLength - 1] = '\0';
        return nLength;
    }
    return nWritten;
}
