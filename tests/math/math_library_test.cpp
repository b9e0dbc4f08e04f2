// Math start-up: which variant lands in each table entry for a feature byte and the caller's
// permissions, the flags, the state before start-up, and the once-only guard.
#include "math/math_library.h"

#include "host/runtime_library.h"
#include "math/math_tables.h"
#include "math/math_variants.h"
#include "plugin/load_steps.h"
#include "tier0/tier0_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct RoutineTable {
    ScalarMathRoutine pfnSquareRoot;
    ScalarMathRoutine pfnReciprocalSquareRoot;
    ScalarMathRoutine pfnReciprocalSquareRootEstimate;
    NormalizeReturningLengthRoutine pfnNormalizeReturningLength;
    NormalizeQuickRoutine pfnNormalizeQuick;
    InverseSquaredLengthRoutine pfnInverseSquaredLength;
    SineAndCosineRoutine pfnSineAndCosine;
    ScalarMathRoutine pfnCosine;

    bool operator==(const RoutineTable& other) const {
        return std::memcmp(this, &other, sizeof other) == 0;
    }
};

RoutineTable CurrentTable() {
    return {g_pfnSquareRoot,
            g_pfnReciprocalSquareRoot,
            g_pfnReciprocalSquareRootEstimate,
            g_pfnNormalizeReturningLength,
            g_pfnNormalizeQuick,
            g_pfnInverseSquaredLength,
            g_pfnSineAndCosine,
            g_pfnCosine};
}

void SetTable(const RoutineTable& table) {
    g_pfnSquareRoot = table.pfnSquareRoot;
    g_pfnReciprocalSquareRoot = table.pfnReciprocalSquareRoot;
    g_pfnReciprocalSquareRootEstimate = table.pfnReciprocalSquareRootEstimate;
    g_pfnNormalizeReturningLength = table.pfnNormalizeReturningLength;
    g_pfnNormalizeQuick = table.pfnNormalizeQuick;
    g_pfnInverseSquaredLength = table.pfnInverseSquaredLength;
    g_pfnSineAndCosine = table.pfnSineAndCosine;
    g_pfnCosine = table.pfnCosine;
}

// Names the entries that differ, so a failure says which variant went astray.
std::string Describe(const RoutineTable& actual, const RoutineTable& expected) {
    static const char* const ROUTINE_NAMES[] = {"SquareRoot",
                                                "ReciprocalSquareRoot",
                                                "ReciprocalSquareRootEstimate",
                                                "NormalizeReturningLength",
                                                "NormalizeQuick",
                                                "InverseSquaredLength",
                                                "SineAndCosine",
                                                "Cosine"};
    using Entry = void (*)();
    static_assert(sizeof(RoutineTable) == 8 * sizeof(Entry), "eight pointers");
    Entry actualEntries[8];
    Entry expectedEntries[8];
    std::memcpy(actualEntries, &actual, sizeof actualEntries);
    std::memcpy(expectedEntries, &expected, sizeof expectedEntries);
    std::string text;
    for (int i = 0; i < 8; ++i) {
        if (actualEntries[i] != expectedEntries[i]) {
            text += std::string(" ") + ROUTINE_NAMES[i];
        }
    }
    return text.empty() ? "none" : text;
}

struct Flags {
    bool b3DNow;
    bool bFeatureBit6;
    bool bSSE;
    bool bSSE2;
};

Flags CurrentFlags() {
    return {g_bMath3DNowActive, g_bMathFeatureBit6Active, g_bMathSSEActive, g_bMathSSE2Active};
}

// Colour settings, which play no part in choosing the routines: the module's own at load.
constexpr float GAMMA = 2.2f;
constexpr float SOURCE_GAMMA = 2.2f;
constexpr float NO_BRIGHTNESS = 0.0f;
constexpr int32_t OVERBRIGHT_FACTOR = 2;

const RoutineTable DEFAULT_ROUTINES = {SquareRootDefault,           ReciprocalSquareRootDefault,
                                       ReciprocalSquareRootDefault, NormalizeReturningLengthDefault,
                                       NormalizeQuickDefault,       InverseSquaredLengthDefault,
                                       SineAndCosineDefault,        CosineDefault};

const RoutineTable ROUTINES_3DNOW = {SquareRoot3DNow,           ReciprocalSquareRoot3DNow,
                                     ReciprocalSquareRoot3DNow, NormalizeReturningLength3DNow,
                                     NormalizeQuick3DNow,       InverseSquaredLength3DNow,
                                     SineAndCosineDefault,      CosineDefault};

const RoutineTable ROUTINES_SSE = {SquareRootSSE,
                                   ReciprocalSquareRootSSE,
                                   ReciprocalSquareRootEstimateSSE,
                                   NormalizeReturningLengthDefault,
                                   NormalizeQuickSSE,
                                   InverseSquaredLengthSSE,
                                   SineAndCosineSSE,
                                   CosineSSE};

const RoutineTable ROUTINES_SSE_AND_SSE2 = {SquareRootSSE,
                                            ReciprocalSquareRootSSE,
                                            ReciprocalSquareRootEstimateSSE,
                                            NormalizeReturningLengthDefault,
                                            NormalizeQuickSSE,
                                            InverseSquaredLengthSSE,
                                            SineAndCosineSSE2,
                                            CosineSSE2};

const RoutineTable ROUTINES_SSE2_ONLY = {
    SquareRootDefault,           ReciprocalSquareRootDefault,
    ReciprocalSquareRootDefault, NormalizeReturningLengthDefault,
    NormalizeQuickDefault,       InverseSquaredLengthDefault,
    SineAndCosineSSE2,           CosineSSE2};

const RoutineTable ROUTINES_3DNOW_AND_SSE2 = {
    SquareRoot3DNow,           ReciprocalSquareRoot3DNow,
    ReciprocalSquareRoot3DNow, NormalizeReturningLength3DNow,
    NormalizeQuick3DNow,       InverseSquaredLength3DNow,
    SineAndCosineSSE2,         CosineSSE2};

// No entry holds its default: start-up must put every default back itself.
const RoutineTable NO_DEFAULT_ROUTINES = {SquareRoot3DNow,
                                          ReciprocalSquareRootSSE,
                                          ReciprocalSquareRootEstimateSSE,
                                          NormalizeReturningLength3DNow,
                                          NormalizeQuickSSE,
                                          InverseSquaredLengthSSE,
                                          SineAndCosineSSE2,
                                          CosineSSE};

// What the module held when it was mapped, captured before any test could run start-up.
struct InitialState {
    RoutineTable table = CurrentTable();
    bool bInitialized = g_bMathInitialized;
    Flags flags = CurrentFlags();
    bool bTablesZero = IsZero(g_SineTable) && IsZero(g_SourceToCorrected) &&
                       IsZero(g_LinearToCorrected) && IsZero(g_SourceToLinear) &&
                       IsZero(g_LinearToFixedGamma) && IsZero(g_FixedGammaToLinear) &&
                       IsZero(g_LinearToSource) && IsZero(g_OverbrightToCorrected) &&
                       IsZero(g_OverbrightToCorrectedBytes);

    template <typename T, size_t N> static bool IsZero(const T (&table)[N]) {
        static const T ZEROS[N] = {};
        return std::memcmp(table, ZEROS, sizeof table) == 0;
    }
};

const InitialState g_InitialState;

TEST(MathLibraryBeforeStartUp, EntriesHoldDefaultsFlagsAreFalseAndTablesAreZero) {
    EXPECT_TRUE(g_InitialState.table == DEFAULT_ROUTINES)
        << "differs in:" << Describe(g_InitialState.table, DEFAULT_ROUTINES);
    EXPECT_FALSE(g_InitialState.bInitialized);
    EXPECT_FALSE(g_InitialState.flags.b3DNow);
    EXPECT_FALSE(g_InitialState.flags.bFeatureBit6);
    EXPECT_FALSE(g_InitialState.flags.bSSE);
    EXPECT_FALSE(g_InitialState.flags.bSSE2);
    EXPECT_TRUE(g_InitialState.bTablesZero);
}

// Every test starts as if the module had just been mapped, but with the table and the flags
// holding the opposite of what it expects, so that nothing passes by being left alone.
class MathStartUpTest : public testing::Test {
protected:
    void SetUp() override {
        g_bMathInitialized = false;
        SetTable(NO_DEFAULT_ROUTINES);
        g_bMath3DNowActive = g_bMathFeatureBit6Active = g_bMathSSEActive = g_bMathSSE2Active = true;
        std::memset(g_SineTable, 0, sizeof g_SineTable);
        std::memset(g_LinearToCorrected, 0, sizeof g_LinearToCorrected);
        Tier0_ResetCounts();
    }
    void TearDown() override { Tier0_SetFeatureBits(Tier0_DetectFeatureBits()); }
};

struct SelectionCase {
    const char* pszName;
    uint8_t nFeatureBits;
    bool allow3DNow, allowSSE, allowSSE2, allowFeatureBit6;
    RoutineTable expected;
    Flags expectedFlags; // 3DNow!, feature bit 6, SSE, SSE2
};

const SelectionCase SELECTION_CASES[] = {
    {"EverythingReportedNothingAllowed",
     0x78,
     false,
     false,
     false,
     false,
     DEFAULT_ROUTINES,
     {false, false, false, false}},
    {"NothingReported",
     0x00,
     true,
     true,
     true,
     true,
     DEFAULT_ROUTINES,
     {false, false, false, false}},
    {"OnlyUntestedBits",
     0x87,
     true,
     true,
     true,
     true,
     DEFAULT_ROUTINES,
     {false, false, false, false}},
    {"SSE3DNowAndSSE2",
     0x38,
     true,
     true,
     true,
     true,
     ROUTINES_SSE_AND_SSE2,
     {true, false, true, true}},
    {"EverythingReportedAndAllowed",
     0x78,
     true,
     true,
     true,
     true,
     ROUTINES_SSE_AND_SSE2,
     {true, true, true, true}},
    {"Only3DNow", 0x20, true, true, true, true, ROUTINES_3DNOW, {true, false, false, false}},
    {"All3DNowAllowedOnly",
     0x38,
     true,
     false,
     false,
     false,
     ROUTINES_3DNOW,
     {true, false, false, false}},
    {"SSE2WithoutSSE",
     0x10,
     false,
     false,
     true,
     false,
     ROUTINES_SSE2_ONLY,
     {false, false, false, true}},
    {"SSE2ReportedAlone",
     0x10,
     true,
     true,
     true,
     true,
     ROUTINES_SSE2_ONLY,
     {false, false, false, true}},
    {"SSEWithoutPermission",
     0x08,
     true,
     false,
     true,
     true,
     DEFAULT_ROUTINES,
     {false, false, false, false}},
    {"SSEAlone", 0x08, true, true, true, true, ROUTINES_SSE, {false, false, true, false}},
    {"SSEOverrides3DNow", 0x28, true, true, true, true, ROUTINES_SSE, {true, false, true, false}},
    {"SSEAndSSE2",
     0x18,
     false,
     true,
     true,
     false,
     ROUTINES_SSE_AND_SSE2,
     {false, false, true, true}},
    {"3DNowAndSSE2WithoutSSE",
     0x38,
     true,
     false,
     true,
     false,
     ROUTINES_3DNOW_AND_SSE2,
     {true, false, false, true}},
    {"FeatureBit6Only",
     0x40,
     true,
     true,
     true,
     true,
     DEFAULT_ROUTINES,
     {false, true, false, false}},
    {"FeatureBit6NotAllowed",
     0x40,
     true,
     true,
     true,
     false,
     DEFAULT_ROUTINES,
     {false, false, false, false}},
};

void PrintTo(const SelectionCase& c, std::ostream* pStream) {
    *pStream << c.pszName;
}

class MathSelectionTest : public MathStartUpTest,
                          public testing::WithParamInterface<SelectionCase> {};

TEST_P(MathSelectionTest, ChoosesVariantsAndFlagsFromFeatureByteAndPermissions) {
    const SelectionCase& c = GetParam();
    Tier0_SetFeatureBits(c.nFeatureBits);

    InitMathLibrary(GAMMA, SOURCE_GAMMA, NO_BRIGHTNESS, OVERBRIGHT_FACTOR, c.allow3DNow, c.allowSSE,
                    c.allowSSE2, c.allowFeatureBit6);

    const RoutineTable actual = CurrentTable();
    EXPECT_TRUE(actual == c.expected) << "differs in:" << Describe(actual, c.expected);
    EXPECT_EQ(g_bMath3DNowActive, c.expectedFlags.b3DNow);
    EXPECT_EQ(g_bMathFeatureBit6Active, c.expectedFlags.bFeatureBit6);
    EXPECT_EQ(g_bMathSSEActive, c.expectedFlags.bSSE);
    EXPECT_EQ(g_bMathSSE2Active, c.expectedFlags.bSSE2);
    EXPECT_TRUE(g_bMathInitialized);
    EXPECT_EQ(Tier0_GetFeatureQueryCount(), 1u);
    // The tables are built whatever the selection.
    EXPECT_EQ(g_SineTable[64], 1.0f);
    EXPECT_EQ(g_LinearToCorrected[1023], 255);
}

INSTANTIATE_TEST_SUITE_P(FeatureBytes, MathSelectionTest, testing::ValuesIn(SELECTION_CASES),
                         [](const testing::TestParamInfo<SelectionCase>& info) {
                             return std::string(info.param.pszName);
                         });

template <typename T, size_t N> std::vector<T> Copy(const T (&table)[N]) {
    return std::vector<T>(table, table + N);
}

struct TablesSnapshot {
    std::vector<float> sine = Copy(g_SineTable);
    std::vector<uint8_t> sourceToCorrected = Copy(g_SourceToCorrected);
    std::vector<int32_t> linearToCorrected = Copy(g_LinearToCorrected);
    std::vector<float> sourceToLinear = Copy(g_SourceToLinear);
    std::vector<float> linearToFixedGamma = Copy(g_LinearToFixedGamma);
    std::vector<float> fixedGammaToLinear = Copy(g_FixedGammaToLinear);
    std::vector<int32_t> linearToSource = Copy(g_LinearToSource);
    std::vector<float> overbright = Copy(g_OverbrightToCorrected);
    std::vector<uint8_t> overbrightBytes = Copy(g_OverbrightToCorrectedBytes);

    bool operator==(const TablesSnapshot& o) const {
        return sine == o.sine && sourceToCorrected == o.sourceToCorrected &&
               linearToCorrected == o.linearToCorrected && sourceToLinear == o.sourceToLinear &&
               linearToFixedGamma == o.linearToFixedGamma &&
               fixedGammaToLinear == o.fixedGammaToLinear && linearToSource == o.linearToSource &&
               overbright == o.overbright && overbrightBytes == o.overbrightBytes;
    }
};

TEST_F(MathStartUpTest, LaterCallsChangeNothingAndDoNotQueryTheProcessor) {
    Tier0_SetFeatureBits(0x38);
    StartMathLibraryAtLoad();
    const RoutineTable table = CurrentTable();
    const Flags flags = CurrentFlags();
    const TablesSnapshot tables;

    // Another processor, other permissions, other colour arguments: all ignored.
    Tier0_SetFeatureBits(0x60);
    Tier0_ResetCounts();
    InitMathLibrary(4.0f, 1.8f, 2.0f, 4, true, false, false, true);
    InitMathLibrary(1.0f, 1.0f, 0.5f, 0, false, false, false, false);

    EXPECT_EQ(Tier0_GetFeatureQueryCount(), 0u);
    const RoutineTable after = CurrentTable();
    EXPECT_TRUE(after == table) << "differs in:" << Describe(after, table);
    EXPECT_EQ(g_bMath3DNowActive, flags.b3DNow);
    EXPECT_EQ(g_bMathFeatureBit6Active, flags.bFeatureBit6);
    EXPECT_EQ(g_bMathSSEActive, flags.bSSE);
    EXPECT_EQ(g_bMathSSE2Active, flags.bSSE2);
    EXPECT_TRUE(g_bMathInitialized);
    EXPECT_TRUE(TablesSnapshot() == tables);
}

} // namespace
