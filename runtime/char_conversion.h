// Escape-character conversion tables: each ties characters to the texts that stand for them after
// an escape character. Built once during the module's start-up and read-only afterwards, so any
// thread may read them. Texts are borrowed, never copied, and must outlive the table.
#pragma once

#include "runtime/static_object.h"

#include <cstdint>

// One entry of a pair table.
struct ConversionPair {
    char m_cCharacter;
    const char* m_pszReplacement; // after the escape character; not owned
};

// One entry of a per-character table; length 0 and text null when the character has none.
struct ReplacementEntry {
    int32_t m_nLength;
    const char* m_pszReplacement;
};

// Room for character codes 0 to 254.
constexpr int32_t CONVERSION_TABLE_SIZE = 255;

class CUtlCharConversion {
public:
    // Only the first CONVERSION_TABLE_SIZE pairs are kept, and only pairs whose character code
    // lies below CONVERSION_TABLE_SIZE; a later pair for the same character replaces the entry
    // of an earlier one. A negative count keeps none.
    CUtlCharConversion(char cEscapeMark, const char* pszDelimiterText, int32_t nPairCount,
                       const ConversionPair* pPairs);

    // The character whose replacement text is exactly pszInput (not merely a prefix of it), or 0
    // for none. Always writes the matched length: the replacement's length, or 0.
    virtual char MatchReplacement(const char* pszInput, int32_t* pnMatchedLength);

    char GetEscapeMark() const { return m_cEscapeMark; }
    const char* GetDelimiterText() const { return m_pszDelimiterText; }
    int32_t GetDelimiterTextLength() const { return m_nDelimiterTextLength; }
    int32_t GetPairCount() const { return m_nPairCount; }
    int32_t GetLongestReplacement() const { return m_nLongestReplacement; }
    // The pairs' characters in pair order; GetPairCount() of them are meaningful.
    const char* GetConvertedChars() const { return m_ConvertedChars; }
    // The entry of character code nCharacter (0 to 254); an empty entry outside that range.
    ReplacementEntry GetReplacement(int32_t nCharacter) const;

protected:
    char m_cEscapeMark;
    const char* m_pszDelimiterText;
    int32_t m_nDelimiterTextLength;
    int32_t m_nPairCount;
    int32_t m_nLongestReplacement;
    char m_ConvertedChars[CONVERSION_TABLE_SIZE];
    ReplacementEntry m_ReplacementByChar[CONVERSION_TABLE_SIZE];
};

// Quoted-string escapes: every replacement is one character, so a match needs only the input's
// first byte.
class CUtlCStringConversion : public CUtlCharConversion {
public:
    CUtlCStringConversion(char cEscapeMark, const char* pszDelimiterText, int32_t nPairCount,
                          const ConversionPair* pPairs);

    // Looks at the first byte alone: the pair whose replacement begins with it, matched length 1;
    // or 0 with length 0. A byte of 128 or above never matches.
    char MatchReplacement(const char* pszInput, int32_t* pnMatchedLength) override;

protected:
    // By the first character of a replacement text: the pair's character, or 0.
    char m_CharByFirstLetter[CONVERSION_TABLE_SIZE];
};

// A table that converts nothing.
class CUtlNoEscConversion : public CUtlCharConversion {
public:
    CUtlNoEscConversion(char cEscapeMark, const char* pszDelimiterText, int32_t nPairCount,
                        const ConversionPair* pPairs);

    // Never matches: 0, with length 0.
    char MatchReplacement(const char* pszInput, int32_t* pnMatchedLength) override;
};

extern const ConversionPair CStringEscapePairs[11];
extern const ConversionPair NoEscapePairs[1];

// The module's two tables: the backslash escapes of quoted string literals, and no escapes. The
// start-up routine constructs them, after the console objects, and destroys them in reverse.
extern CStaticObject<CUtlCStringConversion> g_CStringEscapeTable;
extern CStaticObject<CUtlNoEscConversion> g_NoEscapeTable;

void ConstructEscapeTables();
void DestroyEscapeTables();
