// The escape-conversion tables and the module's two instances.
#include "runtime/char_conversion.h"

#include <cstring>

namespace {

int32_t CharacterCode(char cCharacter) {
    return static_cast<unsigned char>(cCharacter);
}

// A pair whose character has no place in the per-character tables, or which has no text, is
// left out rather than written past a table's end or read through null.
bool IsKept(const ConversionPair& pair) {
    return CharacterCode(pair.m_cCharacter) < CONVERSION_TABLE_SIZE &&
           pair.m_pszReplacement != nullptr;
}

int32_t KeptPairCount(int32_t nPairCount) {
    if (nPairCount < 0) {
        return 0;
    }
    return nPairCount < CONVERSION_TABLE_SIZE ? nPairCount : CONVERSION_TABLE_SIZE;
}

} // namespace

const ConversionPair CStringEscapePairs[11] = {
    {'\n', "n"},  //  1 line feed
    {'\t', "t"},  //  2 horizontal tab
    {'\v', "v"},  //  3 vertical tab
    {'\b', "b"},  //  4 backspace
    {'\r', "r"},  //  5 carriage return
    {'\f', "f"},  //  6 form feed
    {'\a', "a"},  //  7 alert
    {'\\', "\\"}, //  8 backslash
    {'?', "?"},   //  9 question mark
    {'\'', "'"},  // 10 apostrophe
    {'"', "\""},  // 11 double quote
};

const ConversionPair NoEscapePairs[1] = {
    {'\x7f', ""},
};

CStaticObject<CUtlCStringConversion> g_CStringEscapeTable;
CStaticObject<CUtlNoEscConversion> g_NoEscapeTable;

CUtlCharConversion::CUtlCharConversion(char cEscapeMark, const char* pszDelimiterText,
                                       int32_t nPairCount, const ConversionPair* pPairs)
    : m_cEscapeMark(cEscapeMark), m_pszDelimiterText(pszDelimiterText),
      m_nDelimiterTextLength(
          pszDelimiterText != nullptr ? static_cast<int32_t>(std::strlen(pszDelimiterText)) : 0),
      m_nPairCount(0), m_nLongestReplacement(0), m_ConvertedChars{}, m_ReplacementByChar{} {
    const int32_t nPairs = KeptPairCount(nPairCount);
    for (int32_t i = 0; i < nPairs; ++i) {
        const ConversionPair& pair = pPairs[i];
        if (!IsKept(pair)) {
            continue;
        }
        m_ConvertedChars[m_nPairCount++] = pair.m_cCharacter;
        const int32_t nLength = static_cast<int32_t>(std::strlen(pair.m_pszReplacement));
        m_ReplacementByChar[CharacterCode(pair.m_cCharacter)] = {nLength, pair.m_pszReplacement};
        if (nLength > m_nLongestReplacement) {
            m_nLongestReplacement = nLength;
        }
    }
}

char CUtlCharConversion::MatchReplacement(const char* pszInput, int32_t* pnMatchedLength) {
    for (int32_t i = 0; i < m_nPairCount; ++i) {
        const char cCharacter = m_ConvertedChars[i];
        const ReplacementEntry& entry = m_ReplacementByChar[CharacterCode(cCharacter)];
        if (std::strcmp(pszInput, entry.m_pszReplacement) == 0) {
            *pnMatchedLength = entry.m_nLength;
            return cCharacter;
        }
    }
    *pnMatchedLength = 0;
    return 0;
}

ReplacementEntry CUtlCharConversion::GetReplacement(int32_t nCharacter) const {
    if (nCharacter < 0 || nCharacter >= CONVERSION_TABLE_SIZE) {
        return {0, nullptr};
    }
    return m_ReplacementByChar[nCharacter];
}

CUtlCStringConversion::CUtlCStringConversion(char cEscapeMark, const char* pszDelimiterText,
                                             int32_t nPairCount, const ConversionPair* pPairs)
    : CUtlCharConversion(cEscapeMark, pszDelimiterText, nPairCount, pPairs), m_CharByFirstLetter{} {
    const int32_t nPairs = KeptPairCount(nPairCount);
    for (int32_t i = 0; i < nPairs; ++i) {
        const ConversionPair& pair = pPairs[i];
        // An empty text has no first letter; recording it under 0 would match an empty input.
        if (IsKept(pair) && pair.m_pszReplacement[0] != '\0') {
            const int32_t nFirstLetter = CharacterCode(pair.m_pszReplacement[0]);
            if (nFirstLetter < CONVERSION_TABLE_SIZE) {
                m_CharByFirstLetter[nFirstLetter] = pair.m_cCharacter;
            }
        }
    }
}

char CUtlCStringConversion::MatchReplacement(const char* pszInput, int32_t* pnMatchedLength) {
    const int32_t nFirstLetter = CharacterCode(pszInput[0]);
    const char cCharacter = nFirstLetter < 128 ? m_CharByFirstLetter[nFirstLetter] : '\0';
    *pnMatchedLength = cCharacter != '\0' ? 1 : 0;
    return cCharacter;
}

CUtlNoEscConversion::CUtlNoEscConversion(char cEscapeMark, const char* pszDelimiterText,
                                         int32_t nPairCount, const ConversionPair* pPairs)
    : CUtlCharConversion(cEscapeMark, pszDelimiterText, nPairCount, pPairs) {}

char CUtlNoEscConversion::MatchReplacement(const char* /*pszInput*/, int32_t* pnMatchedLength) {
    *pnMatchedLength = 0;
    return 0;
}

void ConstructEscapeTables() {
    g_CStringEscapeTable.Construct('\\', "\"", 11, CStringEscapePairs);
    g_NoEscapeTable.Construct('\x7f', "\"", 1, NoEscapePairs);
}

void DestroyEscapeTables() {
    g_NoEscapeTable.Destroy();
    g_CStringEscapeTable.Destroy();
}
