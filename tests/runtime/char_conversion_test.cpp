// The escape-conversion tables as the start-up routine builds them, and the matching rules of
// each class.
#include "runtime/char_conversion.h"

#include "plugin/module_objects.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct MatchCase {
    const char* m_pszLabel;
    std::string m_Input;
    char m_cCharacter;
    int32_t m_nLength;
};

void PrintTo(const MatchCase& match, std::ostream* pStream) {
    *pStream << match.m_pszLabel;
}

std::string TestName(const testing::TestParamInfo<MatchCase>& info) {
    return info.param.m_pszLabel;
}

// The length is always written, so it starts as something no match yields.
void ExpectMatch(CUtlCharConversion& table, const MatchCase& match) {
    int32_t nLength = -1;
    EXPECT_EQ(table.MatchReplacement(match.m_Input.c_str(), &nLength), match.m_cCharacter);
    EXPECT_EQ(nLength, match.m_nLength);
}

class ModuleTables : public testing::Test {
protected:
    void SetUp() override { StartModuleObjects(); }
};

class CStringEscapes : public ModuleTables, public testing::WithParamInterface<MatchCase> {};

TEST_P(CStringEscapes, FirstByteDecides) {
    ExpectMatch(g_CStringEscapeTable.Get(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, CStringEscapes,
    testing::Values(MatchCase{"LetterN", "n", '\n', 1}, MatchCase{"LetterNThenMore", "nx", '\n', 1},
                    MatchCase{"LetterT", "t", '\t', 1}, MatchCase{"LetterV", "v", '\v', 1},
                    MatchCase{"LetterB", "b", '\b', 1}, MatchCase{"LetterR", "r", '\r', 1},
                    MatchCase{"LetterF", "f", '\f', 1}, MatchCase{"LetterA", "a", '\a', 1},
                    MatchCase{"Backslash", "\\", '\\', 1}, MatchCase{"Question", "?", '?', 1},
                    MatchCase{"Apostrophe", "'", '\'', 1}, MatchCase{"DoubleQuote", "\"x", '"', 1},
                    MatchCase{"LetterX", "x", 0, 0}, MatchCase{"Empty", "", 0, 0},
                    MatchCase{"CapitalN", "N", 0, 0}, MatchCase{"Byte128", "\x80", 0, 0},
                    MatchCase{"Byte254", "\xfe", 0, 0}, MatchCase{"Byte255", "\xff", 0, 0}),
    TestName);

class NoEscapes : public ModuleTables, public testing::WithParamInterface<MatchCase> {};

TEST_P(NoEscapes, NothingMatches) {
    ExpectMatch(g_NoEscapeTable.Get(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Inputs, NoEscapes,
                         testing::Values(MatchCase{"Delete", "\x7f", 0, 0},
                                         MatchCase{"Empty", "", 0, 0},
                                         MatchCase{"LetterN", "n", 0, 0},
                                         MatchCase{"DoubleQuote", "\"", 0, 0}),
                         TestName);

TEST_F(ModuleTables, HoldTheirEscapeDelimiterAndPairs) {
    CUtlCStringConversion& cString = g_CStringEscapeTable.Get();
    CUtlNoEscConversion& noEscape = g_NoEscapeTable.Get();
    EXPECT_EQ(cString.GetEscapeMark(), '\\');
    EXPECT_EQ(noEscape.GetEscapeMark(), '\x7f');
    EXPECT_STREQ(cString.GetDelimiterText(), "\"");
    EXPECT_EQ(cString.GetDelimiterTextLength(), 1);
    EXPECT_EQ(noEscape.GetDelimiterTextLength(), 1);
    EXPECT_EQ(cString.GetLongestReplacement(), 1);
    EXPECT_EQ(noEscape.GetLongestReplacement(), 0);
    ASSERT_EQ(cString.GetPairCount(), 11);
    EXPECT_EQ(std::string(cString.GetConvertedChars(), 11), "\n\t\v\b\r\f\a\\?'\"");
    ASSERT_EQ(noEscape.GetPairCount(), 1);
    EXPECT_EQ(noEscape.GetConvertedChars()[0], '\x7f');
    EXPECT_STREQ(cString.GetReplacement('\n').m_pszReplacement, "n");
    EXPECT_EQ(cString.GetReplacement('x').m_pszReplacement, nullptr);
    EXPECT_EQ(noEscape.GetReplacement(0x7f).m_nLength, 0);
    EXPECT_STREQ(noEscape.GetReplacement(0x7f).m_pszReplacement, "");
}

// The base class compares the whole input with each replacement.
class WholeTextMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(WholeTextMatch, OverTheQuotedStringPairs) {
    CUtlCharConversion table('\\', "\"", 11, CStringEscapePairs);
    ExpectMatch(table, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Inputs, WholeTextMatch,
                         testing::Values(MatchCase{"LetterN", "n", '\n', 1},
                                         MatchCase{"LetterNThenMore", "nx", 0, 0},
                                         MatchCase{"DoubleQuote", "\"", '"', 1},
                                         MatchCase{"Empty", "", 0, 0},
                                         MatchCase{"LetterX", "x", 0, 0}),
                         TestName);

TEST(CharConversion, LaterPairForTheSameCharacterReplacesItsEntry) {
    const ConversionPair pairs[] = {{'x', "a"}, {'y', "c"}, {'x', "bbb"}};
    CUtlCharConversion table('\\', "'", 3, pairs);
    EXPECT_EQ(table.GetPairCount(), 3);
    EXPECT_EQ(std::string(table.GetConvertedChars(), 3), "xyx");
    EXPECT_EQ(table.GetLongestReplacement(), 3);
    ExpectMatch(table, {"Replaced", "a", 0, 0});
    ExpectMatch(table, {"Replacement", "bbb", 'x', 3});
    ExpectMatch(table, {"Other", "c", 'y', 1});
}

TEST(CharConversion, PairsOutsideTheTablesAreLeftOut) {
    std::vector<ConversionPair> pairs(300, ConversionPair{'q', "w"});
    pairs[0] = {'\xff', "z"};
    pairs[1] = {'e', nullptr};
    CUtlCStringConversion table('\\', "\"", static_cast<int32_t>(pairs.size()), pairs.data());
    // Only as many pairs as the tables hold are read, and the two unusable ones are dropped.
    EXPECT_EQ(table.GetPairCount(), CONVERSION_TABLE_SIZE - 2);
    ExpectMatch(table, {"LastKept", "w", 'q', 1});
    ExpectMatch(table, {"Dropped", "z", 0, 0});

    CUtlCharConversion none('\\', "\"", -3, pairs.data());
    EXPECT_EQ(none.GetPairCount(), 0);
    ExpectMatch(none, {"Nothing", "w", 0, 0});
}

TEST(CharConversion, EmptyReplacementNeverMatchesAnEmptyInputByFirstLetter) {
    const ConversionPair pairs[] = {{'\x7f', ""}};
    CUtlCStringConversion table('\\', "\"", 1, pairs);
    ExpectMatch(table, {"Empty", "", 0, 0});
}

} // namespace
