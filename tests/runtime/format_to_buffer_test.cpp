// Bounded formatting: what fits, what is cut, and the runtime library's checks.
#include "runtime/format_to_buffer.h"

#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <string>

namespace {

constexpr int32_t BUFFER_LENGTH = 32;
constexpr char GUARD = '#';

// A 32-byte buffer inside a larger one, so a write past its end shows.
class FormatToBufferTest : public testing::Test {
protected:
    void SetUp() override { std::memset(m_Storage, GUARD, sizeof(m_Storage)); }

    testing::AssertionResult NothingWrittenPastTheBuffer() const {
        for (size_t i = BUFFER_LENGTH; i < sizeof(m_Storage); ++i) {
            if (m_Storage[i] != GUARD) {
                return testing::AssertionFailure() << "byte " << i << " was written";
            }
        }
        return testing::AssertionSuccess();
    }

    char m_Storage[BUFFER_LENGTH + 16];
};

struct FitCase {
    const char* m_pszLabel;
    size_t m_nTextLength;
    int32_t m_nResult;
};

class TextOfLength : public FormatToBufferTest, public testing::WithParamInterface<FitCase> {};

TEST_P(TextOfLength, IsKeptWholeOrCutWithATerminator) {
    std::string text;
    for (size_t i = 0; i < GetParam().m_nTextLength; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    EXPECT_EQ(FormatToBuffer(m_Storage, BUFFER_LENGTH, "%s", text.c_str()), GetParam().m_nResult);
    const size_t nKept = text.size() < BUFFER_LENGTH ? text.size() : BUFFER_LENGTH - 1;
    EXPECT_EQ(std::string(m_Storage), text.substr(0, nKept));
    EXPECT_TRUE(NothingWrittenPastTheBuffer());
}

// Names the case, not its bytes, in test listings.
void PrintTo(const FitCase& testCase, std::ostream* pStream) {
    *pStream << testCase.m_pszLabel;
}

INSTANTIATE_TEST_SUITE_P(Lengths, TextOfLength,
                         testing::Values(FitCase{"Empty", 0, 0}, FitCase{"Fits31", 31, 31},
                                         FitCase{"Exactly32", 32, 32}, FitCase{"Of40", 40, 32}),
                         [](const testing::TestParamInfo<FitCase>& info) {
                             return info.param.m_pszLabel;
                         });

TEST_F(FormatToBufferTest, FormatsNumbersAsPrintfDoes) {
    EXPECT_EQ(FormatToBuffer(m_Storage, BUFFER_LENGTH, "%d", 42), 2);
    EXPECT_STREQ(m_Storage, "42");
    EXPECT_EQ(FormatToBuffer(m_Storage, BUFFER_LENGTH, "%f", 1.5), 8);
    EXPECT_STREQ(m_Storage, "1.500000");
    EXPECT_EQ(FormatToBuffer(m_Storage, BUFFER_LENGTH, "%d", INT32_MIN), 11);
    EXPECT_STREQ(m_Storage, "-2147483648");
    // A float far too wide for the buffer is cut to its first 31 characters.
    EXPECT_EQ(FormatToBuffer(m_Storage, BUFFER_LENGTH, "%f", 1e38), BUFFER_LENGTH);
    EXPECT_EQ(std::strlen(m_Storage), 31u);
    EXPECT_EQ(std::string(m_Storage).substr(0, 5), "99999");
    EXPECT_TRUE(NothingWrittenPastTheBuffer());
}

TEST_F(FormatToBufferTest, OneByteBufferHoldsOnlyTheTerminator) {
    EXPECT_EQ(FormatToBuffer(m_Storage, 1, "%d", 7), 1);
    EXPECT_EQ(m_Storage[0], '\0');
    EXPECT_EQ(m_Storage[1], GUARD);
    EXPECT_EQ(FormatToBuffer(m_Storage, 1, "%s", ""), 0);
}

TEST_F(FormatToBufferTest, NoRoomAtAllWritesNothing) {
    EXPECT_EQ(FormatToBuffer(m_Storage, 0, "%d", 7), 0);
    EXPECT_EQ(FormatToBuffer(m_Storage, -5, "%d", 7), 0);
    EXPECT_EQ(FormatToBuffer(nullptr, BUFFER_LENGTH, "%d", 7), 0);
    EXPECT_EQ(m_Storage[0], GUARD);
}

TEST_F(FormatToBufferTest, RuntimeLibraryChecksBufferAndFormatAtEveryCall) {
    Tier0_ResetCounts();
    FormatToBuffer(m_Storage, BUFFER_LENGTH, "%d", 1);
    FormatToBuffer(m_Storage, 0, "%d", 1);
    EXPECT_EQ(Tier0_GetWriteCheckCount(), 2u);
    EXPECT_EQ(Tier0_GetStringCheckCount(), 2u);
}

} // namespace
