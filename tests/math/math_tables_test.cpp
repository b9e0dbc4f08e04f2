// The nine tables start-up builds, entry for entry against the generated reference, for the
// plug-in's arguments and for each argument that changes a derived value.
#include "math/math_tables.h"

#include "float_bits.h"
#include "host/runtime_library.h"
#include "math/math_library.h"
#include "math/math_variants.h"
#include "math_table_reference.h"
#include "plugin/load_steps.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

namespace math_reference {

void PrintTo(const ColorTables& tables, std::ostream* pStream) {
    *pStream << tables.pszName;
}

} // namespace math_reference

namespace {

using math_reference::ColorTables;

std::string Describe(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (0x%08X)", value, ToBits(value));
    return text;
}

// Float tables are compared by bits against bit patterns; NaN matches any NaN.
bool Same(float actual, uint32_t nExpectedBits) {
    return std::isnan(FromBits(nExpectedBits)) ? std::isnan(actual)
                                               : ToBits(actual) == nExpectedBits;
}

std::string Difference(float actual, uint32_t nExpectedBits) {
    return Describe(actual) + ", expected " + Describe(FromBits(nExpectedBits));
}

template <typename T> bool Same(T actual, T expected) {
    return actual == expected;
}

template <typename T> std::string Difference(T actual, T expected) {
    return std::to_string(actual) + ", expected " + std::to_string(expected);
}

// One failure per table, naming the first few entries that differ and how many do.
template <typename Actual, typename Expected, size_t N>
testing::AssertionResult MatchesReference(const char* pszTable, const Actual (&actual)[N],
                                          const Expected* pExpected) {
    int nDiffering = 0;
    std::string details;
    for (size_t i = 0; i < N; ++i) {
        if (!Same(actual[i], pExpected[i]) && ++nDiffering <= 5) {
            details += "\n  [" + std::to_string(i) + "] " + Difference(actual[i], pExpected[i]);
        }
    }
    if (nDiffering == 0) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << pszTable << ": " << nDiffering << " of " << N << " entries differ" << details;
}

void FillTablesWithGarbage() {
    std::memset(g_SineTable, 0xA5, sizeof g_SineTable);
    std::memset(g_SourceToCorrected, 0xA5, sizeof g_SourceToCorrected);
    std::memset(g_LinearToCorrected, 0xA5, sizeof g_LinearToCorrected);
    std::memset(g_SourceToLinear, 0xA5, sizeof g_SourceToLinear);
    std::memset(g_LinearToFixedGamma, 0xA5, sizeof g_LinearToFixedGamma);
    std::memset(g_FixedGammaToLinear, 0xA5, sizeof g_FixedGammaToLinear);
    std::memset(g_LinearToSource, 0xA5, sizeof g_LinearToSource);
    std::memset(g_OverbrightToCorrected, 0xA5, sizeof g_OverbrightToCorrected);
    std::memset(g_OverbrightToCorrectedBytes, 0xA5, sizeof g_OverbrightToCorrectedBytes);
}

void ExpectTablesMatch(const ColorTables& expected) {
    EXPECT_TRUE(MatchesReference("g_SineTable", g_SineTable, math_reference::g_SineTable));
    EXPECT_TRUE(
        MatchesReference("g_SourceToCorrected", g_SourceToCorrected, expected.pSourceToCorrected));
    EXPECT_TRUE(
        MatchesReference("g_LinearToCorrected", g_LinearToCorrected, expected.pLinearToCorrected));
    EXPECT_TRUE(MatchesReference("g_SourceToLinear", g_SourceToLinear, expected.pSourceToLinear));
    EXPECT_TRUE(MatchesReference("g_LinearToFixedGamma", g_LinearToFixedGamma,
                                 expected.pLinearToFixedGamma));
    EXPECT_TRUE(MatchesReference("g_FixedGammaToLinear", g_FixedGammaToLinear,
                                 expected.pFixedGammaToLinear));
    EXPECT_TRUE(MatchesReference("g_LinearToSource", g_LinearToSource, expected.pLinearToSource));
    EXPECT_TRUE(MatchesReference("g_OverbrightToCorrected", g_OverbrightToCorrected,
                                 expected.pOverbrightToCorrected));
    EXPECT_TRUE(MatchesReference("g_OverbrightToCorrectedBytes", g_OverbrightToCorrectedBytes,
                                 expected.pOverbrightToCorrectedBytes));
}

class MathTablesTest : public testing::TestWithParam<ColorTables> {
protected:
    void SetUp() override {
        g_bMathInitialized = false;
        FillTablesWithGarbage();
    }
};

// Through InitMathLibrary, so the arguments must also arrive in their order.
TEST_P(MathTablesTest, StartUpBuildsEveryEntryAsTheReference) {
    const ColorTables& expected = GetParam();
    InitMathLibrary(FromBits(expected.gamma), FromBits(expected.sourceGamma),
                    FromBits(expected.brightness), expected.overbrightFactor, false, false, false,
                    false);
    ExpectTablesMatch(expected);
}

INSTANTIATE_TEST_SUITE_P(ArgumentSets, MathTablesTest,
                         testing::ValuesIn(math_reference::g_ColorTables),
                         [](const testing::TestParamInfo<ColorTables>& info) {
                             return std::string(info.param.pszName);
                         });

// Only 2 and 4 select an overbright range; every other factor means none.
TEST(MathOverbrightFactor, OnlyTwoAndFourScale) {
    struct Case {
        int32_t nFactor;
        float fAtOne;
        uint8_t nByteAtOne;
    };
    const Case cases[] = {{2, 0.5f, 128}, {4, 0.25f, 64}, {0, 1.0f, 255}, {1, 1.0f, 255},
                          {3, 1.0f, 255}, {8, 1.0f, 255}, {-2, 1.0f, 255}};
    for (const Case& c : cases) {
        BuildColorTables(2.2f, 2.2f, 0.0f, c.nFactor);
        EXPECT_EQ(g_OverbrightToCorrected[1024], c.fAtOne) << "factor " << c.nFactor;
        EXPECT_EQ(g_OverbrightToCorrectedBytes[1024], c.nByteAtOne) << "factor " << c.nFactor;
        if (c.fAtOne == 1.0f) {
            // Past intensity 1 the unscaled curve only rises: every later entry is capped.
            for (int i = 1025; i < OVERBRIGHT_TABLE_SIZE; ++i) {
                ASSERT_EQ(g_OverbrightToCorrected[i], 1.0f)
                    << "factor " << c.nFactor << " [" << i << "]";
                ASSERT_EQ(g_OverbrightToCorrectedBytes[i], 255) << "factor " << c.nFactor;
            }
        }
    }
}

// The plug-in's load goes through this seam: the plug-in's arguments, every instruction set
// this processor reports.
TEST(MathStartUpAtLoad, UsesThePluginArgumentsAndThisProcessorsFeatures) {
    g_bMathInitialized = false;
    FillTablesWithGarbage();
    const uint8_t nFeatureBits = Tier0_DetectFeatureBits();
    Tier0_SetFeatureBits(nFeatureBits);

    StartMathLibraryAtLoad();

    ExpectTablesMatch(math_reference::g_ColorTables[0]);
    ASSERT_STREQ(math_reference::g_ColorTables[0].pszName, "PluginArguments");
    // Every x86 processor that runs the host reports SSE and SSE2.
    EXPECT_TRUE(nFeatureBits & PROCESSOR_FEATURE_SSE);
    EXPECT_TRUE(nFeatureBits & PROCESSOR_FEATURE_SSE2);
    EXPECT_TRUE(g_bMathSSEActive);
    EXPECT_TRUE(g_bMathSSE2Active);
    EXPECT_EQ(g_pfnSquareRoot, &SquareRootSSE);
    EXPECT_EQ(g_pfnNormalizeQuick, &NormalizeQuickSSE);
    EXPECT_EQ(g_pfnSineAndCosine, &SineAndCosineSSE2);
    EXPECT_EQ(g_bMathFeatureBit6Active, (nFeatureBits & PROCESSOR_FEATURE_RECORDED_ONLY) != 0);
}

} // namespace
