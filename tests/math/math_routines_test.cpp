// The variants themselves: exact results where the arithmetic is defined step by step (checked
// against the generated reference), error bounds where a processor estimate decides.
#include "math/math_variants.h"

#include "float_bits.h"
#include "math_routine_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace math_reference;

// The same bits, or both NaN: NaN payloads are the processor's business.
testing::AssertionResult SameFloat(float actual, uint32_t nExpectedBits) {
    const float expected = FromBits(nExpectedBits);
    if (std::isnan(expected) ? std::isnan(actual) : ToBits(actual) == nExpectedBits) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << std::hexfloat << actual << " (0x" << std::hex << ToBits(actual) << "), expected "
           << expected << " (0x" << nExpectedBits << ")";
}

testing::AssertionResult WithinRelativeError(double actual, double truth, double bound) {
    const double error = std::fabs(actual - truth) / std::fabs(truth);
    if (error <= bound) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << actual << " against " << truth << ": relative error " << error << " above " << bound;
}

double Length(const Vector3& v) {
    return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
}

// Inputs spread over many binades, all normal, for the error bounds of the estimates.
std::vector<float> SpreadInputs() {
    std::vector<float> values;
    uint32_t state = 12345;
    for (int exponent = -60; exponent <= 60; exponent += 3) {
        for (int i = 0; i < 8; ++i) {
            state = state * 1664525u + 1013904223u;
            const float mantissa = 1.0f + float(state >> 8) / float(1u << 24) * 3.0f;
            values.push_back(std::ldexp(mantissa, exponent));
        }
    }
    return values;
}

std::vector<Vector3> SpreadVectors() {
    std::vector<Vector3> vectors;
    uint32_t state = 777;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state >> 8) - (1 << 23)) / float(1 << 19); // about -16 to 16
    };
    while (vectors.size() < 200) {
        Vector3 v{next(), next(), next()};
        if (Length(v) >= 1.0) {
            vectors.push_back(v);
        }
    }
    return vectors;
}

// --- Default variants: defined exactly -----------------------------------------------------

TEST(MathDefaultVariants, ScalarRoutinesMatchReference) {
    for (const ScalarCase& c : g_DefaultScalarCases) {
        SCOPED_TRACE(testing::Message() << "x = " << FromBits(c.x));
        EXPECT_TRUE(SameFloat(SquareRootDefault(FromBits(c.x)), c.squareRoot));
        EXPECT_TRUE(SameFloat(ReciprocalSquareRootDefault(FromBits(c.x)), c.reciprocalSquareRoot));
    }
}

TEST(MathDefaultVariants, VectorRoutinesMatchReference) {
    for (const VectorCase& c : g_DefaultVectorCases) {
        const Vector3 input{FromBits(c.in[0]), FromBits(c.in[1]), FromBits(c.in[2])};
        SCOPED_TRACE(testing::Message()
                     << "(" << input.x << ", " << input.y << ", " << input.z << ")");
        Vector3 returning = input;
        EXPECT_TRUE(SameFloat(NormalizeReturningLengthDefault(returning), c.length));
        Vector3 quick = input;
        NormalizeQuickDefault(quick);
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(SameFloat((&returning.x)[i], c.normalized[i])) << "component " << i;
            EXPECT_TRUE(SameFloat((&quick.x)[i], c.normalized[i])) << "component " << i;
        }
        EXPECT_TRUE(SameFloat(InverseSquaredLengthDefault(input), c.inverseSquaredLength));
    }
}

TEST(MathDefaultVariants, SineAndCosineMatchReference) {
    for (const AngleCase& c : g_DefaultAngleCases) {
        SCOPED_TRACE(testing::Message() << "angle = " << FromBits(c.angle));
        float sine = 0.0f;
        float cosine = 0.0f;
        SineAndCosineDefault(FromBits(c.angle), &sine, &cosine);
        EXPECT_TRUE(SameFloat(sine, c.sine));
        EXPECT_TRUE(SameFloat(cosine, c.cosine));
        EXPECT_TRUE(SameFloat(CosineDefault(FromBits(c.angle)), c.cosine));
    }
}

// --- Polynomial sine and cosine: defined exactly, the same for SSE and SSE2 ---------------

struct PolynomialVariants {
    const char* pszName;
    SineAndCosineRoutine pfnSineAndCosine;
    ScalarMathRoutine pfnCosine;
};

void PrintTo(const PolynomialVariants& variants, std::ostream* pStream) {
    *pStream << variants.pszName;
}

class MathPolynomialTest : public testing::TestWithParam<PolynomialVariants> {};

TEST_P(MathPolynomialTest, MatchesReferenceBitForBit) {
    for (const PolynomialCase& c : g_PolynomialCases) {
        SCOPED_TRACE(testing::Message()
                     << "angle = " << FromBits(c.angle) << " (0x" << std::hex << c.angle << ")");
        float sine = 0.0f;
        float cosine = 0.0f;
        GetParam().pfnSineAndCosine(FromBits(c.angle), &sine, &cosine);
        EXPECT_TRUE(SameFloat(sine, c.sine));
        EXPECT_TRUE(SameFloat(cosine, c.cosine));
        EXPECT_TRUE(SameFloat(GetParam().pfnCosine(FromBits(c.angle)), c.cosineOnly));
    }
}

TEST_P(MathPolynomialTest, NegatedAngleNegatesSineAndKeepsCosine) {
    for (const PolynomialCase& c : g_PolynomialCases) {
        SCOPED_TRACE(testing::Message() << "angle = " << FromBits(c.angle));
        float sine = 0.0f;
        float cosine = 0.0f;
        float negatedSine = 0.0f;
        float negatedCosine = 0.0f;
        GetParam().pfnSineAndCosine(FromBits(c.angle), &sine, &cosine);
        GetParam().pfnSineAndCosine(FromBits(c.angle ^ 0x80000000u), &negatedSine, &negatedCosine);
        EXPECT_EQ(ToBits(negatedSine), ToBits(sine) ^ 0x80000000u);
        EXPECT_EQ(ToBits(negatedCosine), ToBits(cosine));
        EXPECT_EQ(ToBits(GetParam().pfnCosine(FromBits(c.angle ^ 0x80000000u))),
                  ToBits(GetParam().pfnCosine(FromBits(c.angle))));
    }
}

// Never magnitude 1, and within the polynomial's own error of the true values.
TEST_P(MathPolynomialTest, StaysWithinThePolynomialsErrorOfTheTrueValues) {
    for (float angle = -20.0f; angle <= 20.0f; angle += 0.001953125f) {
        float sine = 0.0f;
        float cosine = 0.0f;
        GetParam().pfnSineAndCosine(angle, &sine, &cosine);
        ASSERT_LT(std::fabs(sine - std::sin(double(angle))), 1.7e-4) << angle;
        ASSERT_LT(std::fabs(cosine - std::cos(double(angle))), 1.7e-4) << angle;
        ASSERT_LT(std::fabs(GetParam().pfnCosine(angle) - std::cos(double(angle))), 1.7e-4)
            << angle;
        ASSERT_LT(std::fabs(sine), 1.0f);
        ASSERT_LT(std::fabs(cosine), 1.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, MathPolynomialTest,
                         testing::Values(PolynomialVariants{"SSE", SineAndCosineSSE, CosineSSE},
                                         PolynomialVariants{"SSE2", SineAndCosineSSE2, CosineSSE2}),
                         [](const testing::TestParamInfo<PolynomialVariants>& info) {
                             return std::string(info.param.pszName);
                         });

// --- SSE variants: estimates within the instruction set's documented bound -------------------

constexpr double SSE_ESTIMATE_BOUND = 1.5 / 4096.0; // 1.5 * 2^-12

TEST(MathSSEVariants, SquareRootIsCorrectlyRounded) {
    for (const ScalarCase& c : g_DefaultScalarCases) {
        EXPECT_TRUE(SameFloat(SquareRootSSE(FromBits(c.x)), c.squareRoot))
            << "x = " << FromBits(c.x);
    }
}

TEST(MathSSEVariants, ReciprocalSquareRootsStayWithinTheirBounds) {
    for (float x : SpreadInputs()) {
        const double truth = 1.0 / std::sqrt(double(x));
        EXPECT_TRUE(
            WithinRelativeError(ReciprocalSquareRootEstimateSSE(x), truth, SSE_ESTIMATE_BOUND));
        // One Newton-Raphson step squares the estimate's error.
        EXPECT_TRUE(WithinRelativeError(ReciprocalSquareRootSSE(x), truth, 0x1p-20));
    }
}

TEST(MathSSEVariants, NormalizeQuickGivesUnitLength) {
    for (const Vector3& input : SpreadVectors()) {
        Vector3 v = input;
        NormalizeQuickSSE(v);
        EXPECT_TRUE(WithinRelativeError(Length(v), 1.0, 0x1p-19));
        EXPECT_TRUE(WithinRelativeError(v.x, input.x / Length(input), 0x1p-19));
    }
}

TEST(MathSSEVariants, InverseSquaredLengthStaysWithinTheEstimateBound) {
    for (const Vector3& v : SpreadVectors()) {
        const double squared = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        EXPECT_TRUE(WithinRelativeError(InverseSquaredLengthSSE(v), 1.0 / squared,
                                        SSE_ESTIMATE_BOUND + 0x1p-22));
    }
    const Vector3 belowOne{0.5f, 0.5f, 0.5f};
    EXPECT_TRUE(WithinRelativeError(InverseSquaredLengthSSE(belowOne), 1.0, SSE_ESTIMATE_BOUND));
}

// --- 3DNow! group: portable, correctly rounded estimates --------------------------------------

TEST(Math3DNowVariants, ScalarRoutinesStayWithinTheirBounds) {
    for (float x : SpreadInputs()) {
        const double root = std::sqrt(double(x));
        EXPECT_TRUE(WithinRelativeError(SquareRoot3DNow(x), root, 0x1p-23));
        EXPECT_TRUE(WithinRelativeError(ReciprocalSquareRoot3DNow(x), 1.0 / root, 0x1p-22));
    }
}

TEST(Math3DNowVariants, NormalizationAddsNoBias) {
    for (const Vector3& input : SpreadVectors()) {
        Vector3 v = input;
        EXPECT_TRUE(WithinRelativeError(NormalizeReturningLength3DNow(v), Length(input), 0x1p-21));
        EXPECT_TRUE(WithinRelativeError(Length(v), 1.0, 0x1p-21));
        Vector3 quick = input;
        NormalizeQuick3DNow(quick);
        EXPECT_EQ(std::memcmp(&quick, &v, sizeof v), 0);
    }
    // The default variant would leave this one at length one half.
    Vector3 tiny{0x1p-23f, 0.0f, 0.0f};
    EXPECT_TRUE(WithinRelativeError(NormalizeReturningLength3DNow(tiny), 0x1p-23, 0x1p-22));
    EXPECT_TRUE(WithinRelativeError(tiny.x, 1.0, 0x1p-22));
}

TEST(Math3DNowVariants, InverseSquaredLengthStaysWithinItsBound) {
    for (const Vector3& v : SpreadVectors()) {
        const double squared = double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z;
        EXPECT_TRUE(WithinRelativeError(InverseSquaredLength3DNow(v), 1.0 / squared, 0x1p-22));
    }
    EXPECT_TRUE(WithinRelativeError(InverseSquaredLength3DNow({0.5f, 0.5f, 0.5f}), 1.0, 0x1p-23));
    EXPECT_TRUE(WithinRelativeError(InverseSquaredLength3DNow({2.0f, 0.0f, 0.0f}), 0.25, 0x1p-23));
}

// --- Edge cases shared by the variants --------------------------------------------------------

struct NormalizationVariant {
    const char* pszName;
    NormalizeReturningLengthRoutine pfnReturningLength; // null when the variant returns nothing
    NormalizeQuickRoutine pfnQuick;
};

const NormalizationVariant NORMALIZATIONS[] = {
    {"NormalizeReturningLengthDefault", NormalizeReturningLengthDefault, nullptr},
    {"NormalizeQuickDefault", nullptr, NormalizeQuickDefault},
    {"NormalizeQuickSSE", nullptr, NormalizeQuickSSE},
    {"NormalizeReturningLength3DNow", NormalizeReturningLength3DNow, nullptr},
    {"NormalizeQuick3DNow", nullptr, NormalizeQuick3DNow},
};

TEST(MathVariantEdgeCases, ZeroVectorStaysZeroUnderEveryNormalization) {
    for (const NormalizationVariant& variant : NORMALIZATIONS) {
        SCOPED_TRACE(variant.pszName);
        Vector3 v{0.0f, 0.0f, 0.0f};
        if (variant.pfnReturningLength != nullptr) {
            EXPECT_EQ(variant.pfnReturningLength(v), 0.0f);
        } else {
            variant.pfnQuick(v);
        }
        EXPECT_EQ(v.x, 0.0f);
        EXPECT_EQ(v.y, 0.0f);
        EXPECT_EQ(v.z, 0.0f);
        EXPECT_FALSE(std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z));
    }
}

TEST(MathVariantEdgeCases, NegativeZeroVectorIsLeftUntouchedBy3DNow) {
    Vector3 v{-0.0f, 0.0f, -0.0f};
    EXPECT_EQ(NormalizeReturningLength3DNow(v), 0.0f);
    EXPECT_EQ(ToBits(v.x), 0x80000000u);
    EXPECT_EQ(ToBits(v.y), 0x00000000u);
    EXPECT_EQ(ToBits(v.z), 0x80000000u);
}

struct ScalarEdgeCase {
    const char* pszName;
    ScalarMathRoutine pfnRoutine;
    float x;
    float expected; // NaN means any NaN
};

const float POSITIVE_INFINITY = std::numeric_limits<float>::infinity();
const float QUIET_NAN = std::numeric_limits<float>::quiet_NaN();

const ScalarEdgeCase SCALAR_EDGE_CASES[] = {
    {"SquareRootDefault of a negative", SquareRootDefault, -4.0f, QUIET_NAN},
    {"SquareRootSSE of a negative", SquareRootSSE, -4.0f, QUIET_NAN},
    {"ReciprocalSquareRootDefault at zero", ReciprocalSquareRootDefault, 0.0f, POSITIVE_INFINITY},
    {"ReciprocalSquareRootEstimateSSE at zero", ReciprocalSquareRootEstimateSSE, 0.0f,
     POSITIVE_INFINITY},
    // The infinite estimate times zero in the refinement.
    {"ReciprocalSquareRootSSE at zero", ReciprocalSquareRootSSE, 0.0f, QUIET_NAN},
    // The 3DNow! estimate is finite at zero, as the instruction's is.
    {"SquareRoot3DNow at zero", SquareRoot3DNow, 0.0f, 0.0f},
    {"ReciprocalSquareRoot3DNow at zero", ReciprocalSquareRoot3DNow, 0.0f, POSITIVE_INFINITY},
    {"SquareRoot3DNow of a negative", SquareRoot3DNow, -4.0f, QUIET_NAN},
    {"ReciprocalSquareRoot3DNow of a negative", ReciprocalSquareRoot3DNow, -4.0f, QUIET_NAN},
};

TEST(MathVariantEdgeCases, ZeroAndNegativeArguments) {
    for (const ScalarEdgeCase& c : SCALAR_EDGE_CASES) {
        EXPECT_TRUE(SameFloat(c.pfnRoutine(c.x), ToBits(c.expected))) << c.pszName;
    }
}

struct InverseSquaredLengthCase {
    const char* pszName;
    InverseSquaredLengthRoutine pfnRoutine;
    bool bNaNGivesNaN;
};

// The SSE maximum turns a NaN squared length into 1; the other variants keep the NaN.
TEST(MathVariantEdgeCases, NotANumberComponentInInverseSquaredLength) {
    const InverseSquaredLengthCase cases[] = {
        {"Default", InverseSquaredLengthDefault, true},
        {"3DNow", InverseSquaredLength3DNow, true},
        {"SSE", InverseSquaredLengthSSE, false},
    };
    const Vector3 v{QUIET_NAN, 1.0f, 2.0f};
    for (const InverseSquaredLengthCase& c : cases) {
        const float result = c.pfnRoutine(v);
        if (c.bNaNGivesNaN) {
            EXPECT_TRUE(std::isnan(result)) << c.pszName;
        } else {
            EXPECT_TRUE(WithinRelativeError(result, 1.0, SSE_ESTIMATE_BOUND)) << c.pszName;
        }
    }
}

} // namespace
