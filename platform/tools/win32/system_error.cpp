// Error texts from the system's message table.
#include "platform/tools/win32/system_error.h"

#include <windows.h>

std::string SystemErrorText(unsigned long nError) {
    char* pszText = nullptr;
    DWORD nLength = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, nError, 0, reinterpret_cast<char*>(&pszText), 0, nullptr);
    std::string text;
    if (nLength > 0 && pszText != nullptr) {
        text.assign(pszText, nLength);
    }
    LocalFree(pszText);
    // The table's texts end with a line break, and some with a full stop before it.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "system error";
    }
    return text + " (error " + std::to_string(nError) + ")";
}
