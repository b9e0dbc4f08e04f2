// MatchReplacement of both escape tables and of the plain table lookup with arbitrary input: a
// match always names a pair whose text the input begins with, and no match has length 0.
#include "runtime/char_conversion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool bCondition) {
    if (!bCondition) {
        std::abort();
    }
}

// The base class's lookup, which the string table overrides with a first-letter one.
class CPlainLookup : public CUtlCharConversion {
public:
    using CUtlCharConversion::CUtlCharConversion;
};

void CheckMatch(CUtlCharConversion& table, const std::string& input, bool bWholeText) {
    int32_t nMatched = -1;
    const char cCharacter = table.MatchReplacement(input.c_str(), &nMatched);
    if (cCharacter == '\0') {
        Check(nMatched == 0);
        return;
    }
    const ReplacementEntry entry = table.GetReplacement(static_cast<unsigned char>(cCharacter));
    Check(entry.m_pszReplacement != nullptr && nMatched > 0 && nMatched <= entry.m_nLength);
    Check(std::strncmp(input.c_str(), entry.m_pszReplacement, static_cast<size_t>(nMatched)) == 0);
    if (bWholeText) {
        Check(input.c_str() == std::string(entry.m_pszReplacement));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static bool bConstructed = [] {
        ConstructEscapeTables();
        return true;
    }();
    static CPlainLookup plain('\\', "\"", 11, CStringEscapePairs);
    (void)bConstructed;
    const std::string input(reinterpret_cast<const char*>(pData), nSize);
    CheckMatch(g_CStringEscapeTable.Get(), input, false);
    CheckMatch(g_NoEscapeTable.Get(), input, false);
    CheckMatch(plain, input, true);
    return 0;
}
