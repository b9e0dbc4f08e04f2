// Console variable values as the host sees them: assignments through the primary table and the
// facet by position, bounds, the text buffer, and who is told about a change, in which order.
#include "tests/console/console_test.h"

#include "connect/library_connection.h"
#include "console/console_variable.h"
#include "plugin/tavrel_server_plugin.h"
#include "tools/host/console_by_position.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr int32_t INT_MAX32 = std::numeric_limits<int32_t>::max();
constexpr int32_t INT_MIN32 = std::numeric_limits<int32_t>::min();

// One report of a change, as the variable's callback or the service's listener received it.
struct Change {
    std::string m_Listener; // "callback" or "service"
    void* m_pVariable;      // as received: the facet for the callback, the variable otherwise
    std::string m_PreviousText;
    float m_flPreviousValue;
    std::string m_TextDuringCall; // the variable's own text while the listener ran
    float m_flNumberDuringCall;
};

std::vector<Change> g_Changes;
// Runs inside the callback after recording, for the re-entry test.
std::function<void(IConVar*)> g_AlsoOnChange;

void RecordCallback(IConVar* pFacet, const char* pszPreviousText, float flPreviousValue) {
    auto* pVariable = static_cast<ConVar*>(pFacet);
    g_Changes.push_back({"callback", pFacet, pszPreviousText, flPreviousValue, pVariable->m_pszText,
                         pVariable->m_flNumber});
    if (g_AlsoOnChange) {
        g_AlsoOnChange(pFacet);
    }
}

void RecordNotification(void* pVariable, const char* pszPreviousText, float flPreviousValue,
                        void*) {
    ConsoleObjectByPosition variable(pVariable);
    g_Changes.push_back({"service", pVariable, pszPreviousText, flPreviousValue, variable.Text(),
                         variable.Number()});
}

struct Bounds {
    bool m_bHasLower;
    float m_flLower;
    bool m_bHasUpper;
    float m_flUpper;
};

constexpr Bounds NO_BOUNDS{false, 0.0f, false, 0.0f};

Bounds Upper(float flUpper) {
    return {false, 0.0f, true, flUpper};
}

Bounds Lower(float flLower) {
    return {true, flLower, false, 0.0f};
}

Bounds Between(float flLower, float flUpper) {
    return {true, flLower, true, flUpper};
}

class VariableTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        g_Changes.clear();
        g_AlsoOnChange = nullptr;
        SetConsoleChangeListener(&RecordNotification, nullptr);
        m_nLiveBlocksAtStart = Tier0_GetLiveBlockCount();
    }

    void TearDown() override {
        g_AlsoOnChange = nullptr;
        ConsoleTest::TearDown();
    }

    // Sets the variable up again, by position, with bounds and the recording callback.
    static void SetUpWith(ConVar& variable, const char* pszDefault, Bounds bounds,
                          uint32_t nFlags = 0) {
        ConsoleObjectByPosition(&variable).SetUpVariable(
            "test_variable", pszDefault, nFlags, "test help", bounds.m_bHasLower, bounds.m_flLower,
            bounds.m_bHasUpper, bounds.m_flUpper,
            reinterpret_cast<HostVariableChangedCallback>(&RecordCallback));
    }

    // Room for a variable the test constructs and destroys itself.
    alignas(ConVar) unsigned char m_Storage[sizeof(ConVar)];
    int32_t m_nLiveBlocksAtStart = 0;

    static std::vector<std::string> Listeners() {
        std::vector<std::string> listeners;
        for (const Change& change : g_Changes) {
            listeners.push_back(change.m_Listener);
        }
        return listeners;
    }
};

// --- Assignments by value: one case per rule ---

struct Outcome {
    const char* m_pszText;
    float m_flNumber;
    int32_t m_nInteger;
    bool m_bReported;
};

struct ValueCase {
    const char* m_pszLabel;
    const char* m_pszDefault;
    Bounds m_Bounds;
    uint32_t m_nFlags;
    std::function<void(const ConsoleObjectByPosition&)> m_Assign;
    Outcome m_Expected;
};

void PrintTo(const ValueCase& value, std::ostream* pStream) {
    *pStream << value.m_pszLabel;
}

std::function<void(const ConsoleObjectByPosition&)> Text(const char* pszValue) {
    return
        [pszValue](const ConsoleObjectByPosition& variable) { variable.AssignFromText(pszValue); };
}

std::function<void(const ConsoleObjectByPosition&)> Float(float flValue) {
    return
        [flValue](const ConsoleObjectByPosition& variable) { variable.AssignFromFloat(flValue); };
}

std::function<void(const ConsoleObjectByPosition&)> Integer(int32_t nValue) {
    return
        [nValue](const ConsoleObjectByPosition& variable) { variable.AssignFromInteger(nValue); };
}

class Assignment : public VariableTest, public testing::WithParamInterface<ValueCase> {};

TEST_P(Assignment, StoresTextNumberAndIntegerAndReportsOnlyATextChange) {
    const ValueCase& value = GetParam();
    ConVar variable("test_variable", "0", 0, "test help");
    SetUpWith(variable, value.m_pszDefault, value.m_Bounds, value.m_nFlags);
    const std::string previousText = variable.m_pszText;
    const float flPreviousNumber = variable.m_flNumber;

    value.m_Assign(ConsoleObjectByPosition(&variable));

    EXPECT_STREQ(variable.m_pszText, value.m_Expected.m_pszText);
    EXPECT_EQ(variable.m_flNumber, value.m_Expected.m_flNumber);
    EXPECT_EQ(variable.m_nInteger, value.m_Expected.m_nInteger);
    if (!value.m_Expected.m_bReported) {
        EXPECT_TRUE(g_Changes.empty());
        return;
    }
    ASSERT_EQ(Listeners(), (std::vector<std::string>{"callback", "service"}));
    for (const Change& change : g_Changes) {
        EXPECT_EQ(change.m_PreviousText, previousText) << change.m_Listener;
        EXPECT_EQ(change.m_flPreviousValue, flPreviousNumber) << change.m_Listener;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Assignment,
    testing::Values(
        ValueCase{"TextAboveTheUpperBoundIsRewritten",
                  "0",
                  Upper(10),
                  0,
                  Text("15"),
                  {"10.000000", 10.0f, 10, true}},
        ValueCase{"TextBelowTheLowerBoundIsRewritten",
                  "5",
                  Lower(5),
                  0,
                  Text("-3"),
                  {"5.000000", 5.0f, 5, true}},
        ValueCase{"TextWithinTheBoundsIsKeptAsTyped",
                  "0",
                  Between(0, 10),
                  0,
                  Text("7.50"),
                  {"7.50", 7.5f, 7, true}},
        ValueCase{"TextOnABoundIsKeptAsTyped",
                  "0",
                  Between(0, 10),
                  0,
                  Text("10"),
                  {"10", 10.0f, 10, true}},
        ValueCase{"TextThatIsNoNumber", "1", NO_BOUNDS, 0, Text("abc"), {"abc", 0.0f, 0, true}},
        ValueCase{"TextFractionTruncates", "0", NO_BOUNDS, 0, Text("2.9"), {"2.9", 2.9f, 2, true}},
        ValueCase{"NegativeFractionTruncatesTowardZero",
                  "0",
                  NO_BOUNDS,
                  0,
                  Text("-2.9"),
                  {"-2.9", -2.9f, -2, true}},
        ValueCase{"BlanksSignExponentAndTrailingText",
                  "0",
                  NO_BOUNDS,
                  0,
                  Text(" \t+1.5e2xyz"),
                  {" \t+1.5e2xyz", 150.0f, 150, true}},
        ValueCase{"HexadecimalIsNotRead", "0", NO_BOUNDS, 0, Text("0x1A"), {"0x1A", 0.0f, 0, true}},
        ValueCase{
            "InfinityWordIsNotANumber", "1", NO_BOUNDS, 0, Text("inf"), {"inf", 0.0f, 0, true}},
        ValueCase{"NanWordIsNotANumber", "1", NO_BOUNDS, 0, Text("nan"), {"nan", 0.0f, 0, true}},
        ValueCase{"LeadingPointIsANumber", "0", NO_BOUNDS, 0, Text("-.5"), {"-.5", -0.5f, 0, true}},
        ValueCase{"TextBeyondTheFloatRangeIsInfinite",
                  "0",
                  NO_BOUNDS,
                  0,
                  Text("1e39"),
                  {"1e39", INF, INT_MAX32, true}},
        ValueCase{"SameTextAgainIsReplacedAndReported",
                  "1",
                  NO_BOUNDS,
                  0,
                  Text("1"),
                  {"1", 1.0f, 1, true}},
        ValueCase{"FloatEqualToTheNumberChangesNothing",
                  "1",
                  NO_BOUNDS,
                  0,
                  Float(1.0f),
                  {"1", 1.0f, 1, false}},
        ValueCase{"FloatIsFormatted", "0", NO_BOUNDS, 0, Float(2.5f), {"2.500000", 2.5f, 2, true}},
        ValueCase{"FloatBeyondTheBoundItSitsOnIsReportedAgain",
                  "10",
                  Upper(10),
                  0,
                  Float(20.0f),
                  {"10.000000", 10.0f, 10, true}},
        ValueCase{"HugeFloatKeepsItsFirstThirtyOneCharacters",
                  "0",
                  NO_BOUNDS,
                  0,
                  Float(1e30f),
                  {"1000000015047466219876688855040", 1e30f, INT_MAX32, true}},
        ValueCase{"FloatBelowTheIntegerRangeSaturates",
                  "0",
                  NO_BOUNDS,
                  0,
                  Float(-3e9f),
                  {"-3000000000.000000", -3e9f, INT_MIN32, true}},
        ValueCase{"CrossedBoundsLowerFirst",
                  "3",
                  Between(5, 1),
                  0,
                  Float(0.0f),
                  {"5.000000", 5.0f, 5, true}},
        ValueCase{"CrossedBoundsUpperWhenNotBelowTheLower",
                  "3",
                  Between(5, 1),
                  0,
                  Float(9.0f),
                  {"1.000000", 1.0f, 1, true}},
        ValueCase{"IntegerEqualToTheIntegerChangesNothing",
                  "2.7",
                  NO_BOUNDS,
                  0,
                  Integer(2),
                  {"2.7", 2.7f, 2, false}},
        ValueCase{"IntegerBeyondTheBoundTakesTheBoundTruncated",
                  "0",
                  Between(0.5f, 10.5f),
                  0,
                  Integer(20),
                  {"10", 10.5f, 10, true}},
        ValueCase{"IntegerWithoutBoundsIsKeptExactly",
                  "0",
                  NO_BOUNDS,
                  0,
                  Integer(16777217),
                  {"16777217", 16777216.0f, 16777217, true}},
        ValueCase{"NumericOnlyTextChangesTheNumbersAlone",
                  "0",
                  NO_BOUNDS,
                  CONSOLE_FLAG_NUMERIC_ONLY,
                  Text("3"),
                  {"0", 3.0f, 3, false}},
        ValueCase{"NumericOnlyFloatChangesTheNumbersAlone",
                  "0",
                  NO_BOUNDS,
                  CONSOLE_FLAG_NUMERIC_ONLY,
                  Float(2.5f),
                  {"0", 2.5f, 2, false}},
        ValueCase{"NumericOnlyIntegerChangesTheNumbersAlone",
                  "0",
                  NO_BOUNDS,
                  CONSOLE_FLAG_NUMERIC_ONLY,
                  Integer(4),
                  {"0", 4.0f, 4, false}},
        ValueCase{"NumericOnlyStillLimits",
                  "0",
                  Upper(10),
                  CONSOLE_FLAG_NUMERIC_ONLY,
                  Text("15"),
                  {"0", 10.0f, 10, false}}),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.m_pszLabel; });

// Float to integer: truncation, with the cases C++ leaves undefined fixed.
struct ConversionCase {
    float m_flValue;
    int32_t m_nInteger;
};

class NumberToInteger : public testing::TestWithParam<ConversionCase> {};

TEST_P(NumberToInteger, TruncatesAndSaturates) {
    EXPECT_EQ(ConsoleNumberToInteger(GetParam().m_flValue), GetParam().m_nInteger);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberToInteger,
    testing::Values(ConversionCase{2.9f, 2}, ConversionCase{-2.9f, -2}, ConversionCase{-0.5f, 0},
                    ConversionCase{2147483520.0f, 2147483520}, // the largest float below 2^31
                    ConversionCase{2147483648.0f, INT_MAX32},
                    ConversionCase{-2147483648.0f, INT_MIN32}, ConversionCase{-3e9f, INT_MIN32},
                    ConversionCase{INF, INT_MAX32}, ConversionCase{-INF, INT_MIN32},
                    ConversionCase{std::numeric_limits<float>::quiet_NaN(), 0}));

TEST_F(VariableTest, NanFloatAlwaysProceedsAndGivesIntegerZero) {
    ConVar variable("test_variable", "1", 0, "");
    SetUpWith(variable, "1", Between(0, 10));
    const float flNan = std::numeric_limits<float>::quiet_NaN();
    float flLimited = flNan;
    EXPECT_FALSE(ConsoleObjectByPosition(&variable).LimitToRange(&flLimited));
    EXPECT_TRUE(std::isnan(flLimited));

    ConsoleObjectByPosition(&variable).AssignFromFloat(flNan);
    ConsoleObjectByPosition(&variable).AssignFromFloat(flNan);

    EXPECT_TRUE(std::isnan(variable.m_flNumber));
    EXPECT_EQ(variable.m_nInteger, 0);
    EXPECT_EQ(g_Changes.size(), 4u) << "a NaN never equals, so both assignments report";
}

// --- Who is told, in which order, with what ---

TEST_F(VariableTest, CallbackThenServiceEachSeeThePreviousValueAndTheNewOneInPlace) {
    ConVar variable("test_variable", "0", 0, "");
    SetUpWith(variable, "0.25", NO_BOUNDS);

    ConsoleObjectByPosition(&variable).AssignFromText("12.5");

    ASSERT_EQ(Listeners(), (std::vector<std::string>{"callback", "service"}));
    EXPECT_EQ(g_Changes[0].m_pVariable, static_cast<IConVar*>(&variable)) << "the facet";
    EXPECT_STREQ(ConVarFacetByPosition(g_Changes[0].m_pVariable).ObjectName(), "test_variable");
    EXPECT_EQ(g_Changes[1].m_pVariable, static_cast<void*>(&variable));
    for (const Change& change : g_Changes) {
        EXPECT_EQ(change.m_PreviousText, "0.25") << change.m_Listener;
        EXPECT_EQ(change.m_flPreviousValue, 0.25f) << change.m_Listener;
        EXPECT_EQ(change.m_TextDuringCall, "12.5") << change.m_Listener;
        EXPECT_EQ(change.m_flNumberDuringCall, 12.5f) << change.m_Listener;
    }
}

TEST_F(VariableTest, CallbackThatAssignsAgainRunsANestedChangeFirst) {
    ConVar variable("test_variable", "0", 0, "");
    SetUpWith(variable, "1", NO_BOUNDS);
    // The first change, to 5, sets 6 once; the nested one gets its own previous text and value.
    g_AlsoOnChange = [](IConVar* pFacet) {
        if (g_Changes.size() == 1) {
            ConVarFacetByPosition(pFacet).SetFromText("6 and a text long enough to need a buffer");
        }
    };

    ConsoleObjectByPosition(&variable).AssignFromText("5");

    ASSERT_EQ(Listeners(),
              (std::vector<std::string>{"callback", "callback", "service", "service"}));
    EXPECT_EQ(g_Changes[0].m_PreviousText, "1");
    EXPECT_EQ(g_Changes[1].m_PreviousText, "5");
    EXPECT_EQ(g_Changes[1].m_flPreviousValue, 5.0f);
    EXPECT_EQ(g_Changes[2].m_PreviousText, "5");
    EXPECT_EQ(g_Changes[3].m_PreviousText, "1") << "the outer change completes with its own";
    EXPECT_EQ(g_Changes[3].m_flPreviousValue, 1.0f);
    EXPECT_STREQ(variable.m_pszText, "6 and a text long enough to need a buffer");
    EXPECT_EQ(variable.m_flNumber, 6.0f);
}

TEST_F(VariableTest, WithoutAServiceOnlyTheCallbackIsTold) {
    ConVar variable("test_variable", "0", 0, "");
    SetUpWith(variable, "0", NO_BOUNDS);
    ConnectService(false);

    ConsoleObjectByPosition(&variable).AssignFromInteger(3);

    EXPECT_EQ(Listeners(), std::vector<std::string>{"callback"});
    EXPECT_STREQ(variable.m_pszText, "3");
}

TEST_F(VariableTest, ReplaceTextByPositionTakesTheCallersPreviousValueAndMayReuseItsOwnText) {
    ConVar variable("test_variable", "hello", 0, "");
    SetUpWith(variable, "hello", NO_BOUNDS);

    // The new text is the tail of the current one.
    ConsoleObjectByPosition(&variable).ReplaceText(variable.m_pszText + 2, 1.25f);

    EXPECT_STREQ(variable.m_pszText, "llo");
    ASSERT_EQ(g_Changes.size(), 2u);
    EXPECT_EQ(g_Changes[1].m_PreviousText, "hello");
    EXPECT_EQ(g_Changes[1].m_flPreviousValue, 1.25f);
}

// --- The text buffer ---

TEST_F(VariableTest, CapacityGrowsToExactlyWhatIsNeededAndIsKept) {
    ConVar variable("test_variable", "0.1", 0, "");
    ASSERT_EQ(variable.m_nTextCapacity, 4);
    char* pFirstBuffer = variable.m_pszText;
    m_Calls.clear();

    ConsoleObjectByPosition(&variable).AssignFromText("123456789");
    EXPECT_EQ(variable.m_nTextCapacity, 10);
    ASSERT_EQ(CallsAt(TIER0_ALLOCATE).size(), 1u);
    EXPECT_EQ(CallsAt(TIER0_ALLOCATE)[0].m_nSize, 10u);
    ASSERT_EQ(CallsAt(TIER0_RELEASE).size(), 1u);
    EXPECT_EQ(CallsAt(TIER0_RELEASE)[0].m_pBlock, static_cast<void*>(pFirstBuffer));

    m_Calls.clear();
    ConsoleObjectByPosition(&variable).AssignFromText("1");
    EXPECT_EQ(variable.m_nTextCapacity, 10);
    EXPECT_STREQ(variable.m_pszText, "1");
    EXPECT_TRUE(m_Calls.empty());
}

TEST_F(VariableTest, AlternatingShortAndLongTextsStopsAllocatingOnceTheLongestWasHeld) {
    ConVar variable("test_variable", "0", 0, "");
    const std::string longText(200, '7');
    ConsoleObjectByPosition object(&variable);
    object.AssignFromText(longText.c_str());
    m_Calls.clear();

    for (int i = 0; i < 50; ++i) {
        object.AssignFromText("1");
        object.AssignFromFloat(2.5f);
        object.AssignFromInteger(-40);
        object.AssignFromText(longText.c_str());
    }

    EXPECT_TRUE(m_Calls.empty()) << m_Calls.size() << " allocator calls";
    EXPECT_EQ(variable.m_nTextCapacity, 201);
}

TEST_F(VariableTest, PreviousTextLongerThanTheStackCopyIsReportedWhole) {
    ConVar variable("test_variable", "0", 0, "");
    SetUpWith(variable, "0", NO_BOUNDS);
    const std::string longText(5000, 'x');
    ConsoleObjectByPosition(&variable).AssignFromText(longText.c_str());
    g_Changes.clear();

    ConsoleObjectByPosition(&variable).AssignFromText("short");

    ASSERT_EQ(g_Changes.size(), 2u);
    EXPECT_EQ(g_Changes[0].m_PreviousText, longText);
    EXPECT_EQ(g_Changes[1].m_PreviousText, longText);
    EXPECT_STREQ(variable.m_pszText, "short");
    EXPECT_EQ(variable.m_nTextCapacity, 5001) << "the capacity never shrinks";
    EXPECT_EQ(Tier0_GetLiveBlockCount(), m_nLiveBlocksAtStart + 1);
}

TEST_F(VariableTest, FailedBufferAllocationKeepsTheVariableAsItWasAndReportsNothing) {
    ConVar variable("test_variable", "0", 0, "");
    SetUpWith(variable, "1.5", NO_BOUNDS);
    char* pBuffer = variable.m_pszText;

    Tier0_FailNextAllocations(1);
    ConsoleObjectByPosition(&variable).AssignFromText("2.5 needs a larger buffer");

    EXPECT_EQ(variable.m_pszText, pBuffer);
    EXPECT_STREQ(variable.m_pszText, "1.5");
    EXPECT_EQ(variable.m_nTextCapacity, 4);
    EXPECT_EQ(variable.m_flNumber, 1.5f);
    EXPECT_EQ(variable.m_nInteger, 1);
    EXPECT_TRUE(g_Changes.empty());

    ConsoleObjectByPosition(&variable).AssignFromText("2.5 needs a larger buffer");
    EXPECT_STREQ(variable.m_pszText, "2.5 needs a larger buffer");
    EXPECT_EQ(g_Changes.size(), 2u);
}

TEST_F(VariableTest, FailedAllocationAtSetUpShowsTheDefaultTextUntilAnAssignmentFindsRoom) {
    static const char DEFAULT_TEXT[] = "4.5";
    Tier0_FailNextAllocations(1);
    auto* pVariable = new (&m_Storage) ConVar("test_variable", DEFAULT_TEXT, 0, "");
    EXPECT_EQ(pVariable->m_pszText, DEFAULT_TEXT) << "borrowed, not copied";
    EXPECT_EQ(pVariable->m_nTextCapacity, 0);
    EXPECT_EQ(pVariable->m_flNumber, 4.5f);
    EXPECT_EQ(pVariable->m_nInteger, 4);

    ConsoleObjectByPosition(pVariable).AssignFromText("1");
    EXPECT_STREQ(pVariable->m_pszText, "1");
    EXPECT_EQ(pVariable->m_nTextCapacity, 2);
    EXPECT_STREQ(DEFAULT_TEXT, "4.5");
    EXPECT_TRUE(CallsAt(TIER0_RELEASE).empty()) << "the borrowed text is not given back";

    ConsoleObjectByPosition(pVariable).Destroy(false);
    EXPECT_EQ(CallsAt(TIER0_RELEASE).size(), 1u);
    EXPECT_EQ(Tier0_GetLiveBlockCount(), m_nLiveBlocksAtStart);
}

TEST_F(VariableTest, SettingUpAgainGivesTheEarlierBufferBack) {
    ConVar variable("test_variable", "0", 0, "");
    char* pEarlier = variable.m_pszText;
    m_Calls.clear();

    SetUpWith(variable, "10", Between(0, 20));

    ASSERT_EQ(CallsAt(TIER0_RELEASE).size(), 1u);
    EXPECT_EQ(CallsAt(TIER0_RELEASE)[0].m_pBlock, static_cast<void*>(pEarlier));
    EXPECT_STREQ(variable.m_pszText, "10");
    EXPECT_EQ(variable.m_nTextCapacity, 3);
    EXPECT_EQ(variable.m_flNumber, 10.0f);
    EXPECT_TRUE(g_Changes.empty()) << "set-up tells nobody";
}

TEST_F(VariableTest, DefaultValueIsNotLimitedToTheBounds) {
    ConVar variable("test_variable", "0", 0, "");
    SetUpWith(variable, "50", Between(0, 10));
    EXPECT_STREQ(variable.m_pszText, "50");
    EXPECT_EQ(variable.m_flNumber, 50.0f);
}

// --- Destruction by position ---

TEST_F(VariableTest, DeletingEntryReleasesTheTextAndThenTheObject) {
    auto* pVariable = new (std::nothrow) ConVar("test_variable", "7", 0, "");
    ASSERT_NE(pVariable, nullptr);
    void* pText = pVariable->m_pszText;
    m_Calls.clear();

    ConsoleObjectByPosition(pVariable).Destroy(true);

    std::vector<RecordedCall> releases = CallsAt(TIER0_RELEASE);
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].m_pBlock, pText);
    EXPECT_EQ(releases[1].m_pBlock, static_cast<void*>(pVariable));
    EXPECT_EQ(Tier0_GetLiveBlockCount(), m_nLiveBlocksAtStart);
}

TEST_F(VariableTest, InPlaceEntryReleasesOnlyTheTextAndCanRunTwice) {
    auto* pVariable = new (&m_Storage) ConVar("test_variable", "7", 0, "");
    void* pText = pVariable->m_pszText;
    m_Calls.clear();

    ConsoleObjectByPosition(pVariable).Destroy(false);
    ASSERT_EQ(CallsAt(TIER0_RELEASE).size(), 1u);
    EXPECT_EQ(CallsAt(TIER0_RELEASE)[0].m_pBlock, pText);

    // The exit handler may still run after a host destroyed the object.
    pVariable->ConVar::~ConVar();
    EXPECT_EQ(CallsAt(TIER0_RELEASE).size(), 1u);
}

// --- Identity and facet ---

struct FacetCase {
    const char* m_pszLabel;
    std::function<void(const ConVarFacetByPosition&)> m_ThroughFacet;
    std::function<void(const ConsoleObjectByPosition&)> m_Directly;
};

void PrintTo(const FacetCase& facet, std::ostream* pStream) {
    *pStream << facet.m_pszLabel;
}

class Facet : public VariableTest, public testing::WithParamInterface<FacetCase> {};

TEST_P(Facet, SetterAssignsTheIdentityVariable) {
    ConVar variable("test_variable", "1", 0, "");
    ConVar identity("identity_variable", "1", 0, "");
    ConVar reference("reference_variable", "1", 0, "");
    variable.m_pIdentity = &identity;

    GetParam().m_ThroughFacet(ConVarFacetByPosition(ConsoleObjectByPosition(&variable).Facet()));
    GetParam().m_Directly(ConsoleObjectByPosition(&reference));

    EXPECT_STREQ(variable.m_pszText, "1") << "the variable itself is left alone";
    EXPECT_EQ(variable.m_flNumber, 1.0f);
    EXPECT_STREQ(identity.m_pszText, reference.m_pszText);
    EXPECT_EQ(identity.m_flNumber, reference.m_flNumber);
    EXPECT_EQ(identity.m_nInteger, reference.m_nInteger);
    EXPECT_STRNE(identity.m_pszText, "1");
}

INSTANTIATE_TEST_SUITE_P(
    Setters, Facet,
    testing::Values(
        FacetCase{"SetFromInteger",
                  [](const ConVarFacetByPosition& facet) { facet.SetFromInteger(12); },
                  [](const ConsoleObjectByPosition& object) { object.AssignFromInteger(12); }},
        FacetCase{"SetFromFloat",
                  [](const ConVarFacetByPosition& facet) { facet.SetFromFloat(2.5f); },
                  [](const ConsoleObjectByPosition& object) { object.AssignFromFloat(2.5f); }},
        FacetCase{"SetFromText",
                  [](const ConVarFacetByPosition& facet) { facet.SetFromText("-8.25"); },
                  [](const ConsoleObjectByPosition& object) { object.AssignFromText("-8.25"); }}),
    [](const testing::TestParamInfo<FacetCase>& info) { return info.param.m_pszLabel; });

TEST_F(VariableTest, IdentityOperationsActOnTheIdentityAndValueOperationsOnTheVariable) {
    ConVar variable("own_name", "0", 0, "own help");
    ConVar identity("identity_name", "0", CONSOLE_FLAG_NUMERIC_ONLY, "identity help");
    variable.m_pIdentity = &identity;
    ConsoleObjectByPosition object(&variable);
    ConVarFacetByPosition facet(object.Facet());

    EXPECT_STREQ(object.ObjectName(), "identity_name");
    EXPECT_STREQ(facet.ObjectName(), "identity_name");
    EXPECT_STREQ(object.ObjectHelp(), "identity help");
    EXPECT_TRUE(object.HasAnyFlag(CONSOLE_FLAG_NUMERIC_ONLY));
    EXPECT_TRUE(facet.HasAnyFlag(CONSOLE_FLAG_NUMERIC_ONLY));
    object.MergeFlags(0x40);
    EXPECT_EQ(identity.m_nFlagBits, CONSOLE_FLAG_NUMERIC_ONLY | 0x40);
    EXPECT_EQ(variable.m_nFlagBits, 0u);
    identity.m_bAcceptedByService = true;
    EXPECT_TRUE(object.WasAcceptedByService());

    // The variable's own flags decide: its text changes although the identity is numeric-only.
    object.AssignFromText("3");
    EXPECT_STREQ(variable.m_pszText, "3");
    EXPECT_STREQ(identity.m_pszText, "0");
}

// --- The module's two variables ---

TEST_F(VariableTest, EmptyVariableAnswersEmptyIgnoresItsFacetAndStillTakesPrimaryAssignments) {
    CEmptyConVar empty;
    ConsoleObjectByPosition object(&empty);
    ConVarFacetByPosition facet(object.Facet());
    EXPECT_STREQ(empty.m_pszText, "0");
    EXPECT_EQ(empty.m_flNumber, 0.0f);
    EXPECT_EQ(empty.m_nInteger, 0);
    EXPECT_STREQ(object.ObjectHelp(), "");
    EXPECT_FALSE(object.ActsAsCommand());
    for (uint32_t nMask : {0x0u, 0x1u, 0x1000u, 0xFFFFFFFFu}) {
        object.MergeFlags(nMask);
        EXPECT_FALSE(object.HasAnyFlag(nMask)) << nMask;
        EXPECT_FALSE(facet.HasAnyFlag(nMask)) << nMask;
    }
    empty.m_pszObjectName = "named after all";
    EXPECT_STREQ(object.ObjectName(), "");
    EXPECT_STREQ(facet.ObjectName(), "");

    empty.m_nFlagBits = 0;
    facet.SetFromText("5");
    facet.SetFromFloat(5.0f);
    facet.SetFromInteger(5);
    EXPECT_STREQ(empty.m_pszText, "0");
    EXPECT_EQ(empty.m_flNumber, 0.0f);
    EXPECT_EQ(empty.m_nInteger, 0);
    EXPECT_TRUE(ServiceCalls().m_Notifications.empty());

    object.AssignFromText("5");
    EXPECT_STREQ(empty.m_pszText, "5");
    EXPECT_EQ(ServiceCalls().m_Notifications, std::vector<void*>{&empty});
}

TEST_F(VariableTest, StartUpVariablesRegisterEmptyFirstAndGiveTheirTextsBackInReverse) {
    ConstructVersionVariable();
    ConstructEmptyVariable();
    ConVar& version = g_VersionVariable.Get();
    CEmptyConVar& empty = g_EmptyVariable.Get();
    EXPECT_STREQ(version.ObjectName(), "tavrel_version");
    EXPECT_STREQ(version.ObjectHelp(), "Tavrel Plugin Version");
    EXPECT_STREQ(version.m_pszText, "0.1");
    EXPECT_EQ(version.m_nTextCapacity, 4);
    EXPECT_EQ(version.m_flNumber, 0.1f);
    EXPECT_EQ(version.m_nInteger, 0);
    EXPECT_EQ(version.m_nFlagBits, 0u);

    RegisterConsoleObjects(0, nullptr);
    EXPECT_EQ(ServiceCalls().m_Registrations,
              (std::vector<void*>{static_cast<ConCommandBase*>(&empty),
                                  static_cast<ConCommandBase*>(&version)}));
    UnregisterConsoleObjects();

    void* pEmptyText = empty.m_pszText;
    void* pVersionText = version.m_pszText;
    m_Calls.clear();
    DestroyEmptyVariable();
    DestroyVersionVariable();
    std::vector<RecordedCall> releases = CallsAt(TIER0_RELEASE);
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[0].m_pBlock, pEmptyText);
    EXPECT_EQ(releases[1].m_pBlock, pVersionText);
}

} // namespace
