// FormatToBuffer with arbitrary lengths and values, against the C library's own formatting into
// ample room: the same text, cut to fit and always terminated inside the buffer.
#include "runtime/format_to_buffer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <class T> T Take(const uint8_t*& pData, size_t& nSize) {
    T value{};
    const size_t nTaken = nSize < sizeof(T) ? nSize : sizeof(T);
    std::memcpy(&value, pData, nTaken);
    pData += nTaken;
    nSize -= nTaken;
    return value;
}

void Check(bool bCondition) {
    if (!bCondition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // Lengths from a little below zero to past any text formed here.
    const int32_t nLength = static_cast<int32_t>(Take<uint16_t>(pData, nSize) % 2100) - 4;
    const uint8_t nFormat = Take<uint8_t>(pData, nSize);
    const int32_t nInteger = Take<int32_t>(pData, nSize);
    const double fValue = Take<double>(pData, nSize);
    const std::string text(reinterpret_cast<const char*>(pData), nSize);
    const char* pszText = text.c_str(); // up to its first NUL

    std::vector<char> buffer(nLength > 0 ? static_cast<size_t>(nLength) : 0);
    char* pBuffer = buffer.empty() ? nullptr : buffer.data();
    char expected[4096];
    int32_t nResult = 0;
    switch (nFormat % 5) {
    case 0:
        nResult = FormatToBuffer(pBuffer, nLength, "%s", pszText);
        std::snprintf(expected, sizeof expected, "%s", pszText);
        break;
    case 1:
        nResult = FormatToBuffer(pBuffer, nLength, "%d|%u|%x", nInteger,
                                 static_cast<unsigned>(nInteger), static_cast<unsigned>(nInteger));
        std::snprintf(expected, sizeof expected, "%d|%u|%x", nInteger,
                      static_cast<unsigned>(nInteger), static_cast<unsigned>(nInteger));
        break;
    case 2:
        nResult = FormatToBuffer(pBuffer, nLength, "%g %.3f", fValue, fValue);
        std::snprintf(expected, sizeof expected, "%g %.3f", fValue, fValue);
        break;
    case 3:
        nResult = FormatToBuffer(pBuffer, nLength, "%*s", nInteger % 1500, pszText);
        std::snprintf(expected, sizeof expected, "%*s", nInteger % 1500, pszText);
        break;
    default:
        nResult = FormatToBuffer(pBuffer, nLength, "%s=%d", pszText, nInteger);
        std::snprintf(expected, sizeof expected, "%s=%d", pszText, nInteger);
        break;
    }
    const int32_t nExpectedLength = static_cast<int32_t>(std::strlen(expected));
    if (nLength < 1) {
        Check(nResult == 0);
    } else if (nExpectedLength < nLength) {
        Check(nResult == nExpectedLength && std::strcmp(pBuffer, expected) == 0);
    } else {
        Check(nResult == nLength && pBuffer[nLength - 1] == '\0' &&
              std::strncmp(pBuffer, expected, static_cast<size_t>(nLength - 1)) == 0);
    }
    return 0;
}
