// The builders of the sine and colour-transfer tables. All arithmetic is double precision;
// values are rounded to single precision only where they are stored as floats or where a derived
// value is defined that way.
#include "math/math_tables.h"

#include <cmath>
#include <limits>

float g_SineTable[SINE_TABLE_SIZE];
uint8_t g_SourceToCorrected[LEVEL_TABLE_SIZE];
int32_t g_LinearToCorrected[LINEAR_TABLE_SIZE];
float g_SourceToLinear[LEVEL_TABLE_SIZE];
float g_LinearToFixedGamma[LEVEL_TABLE_SIZE];
float g_FixedGammaToLinear[LEVEL_TABLE_SIZE];
int32_t g_LinearToSource[LINEAR_TABLE_SIZE];
float g_OverbrightToCorrected[OVERBRIGHT_TABLE_SIZE];
uint8_t g_OverbrightToCorrectedBytes[OVERBRIGHT_TABLE_SIZE];

// Arguments such as a zero gamma rely on IEEE division by zero giving an infinity.
static_assert(std::numeric_limits<double>::is_iec559, "IEEE 754 double precision");

namespace {

constexpr int32_t INDEFINITE = std::numeric_limits<int32_t>::min();

// 1/255 as a float widened again: slightly above 1/255, so level 255 lands just above 1.
constexpr double LEVEL_STEP = static_cast<double>(1.0f / 255.0f);
constexpr double LINEAR_STEP = 1.0 / 1023.0;
constexpr double OVERBRIGHT_STEP = 1.0 / 1024.0;
constexpr double SINE_STEP = 0.02454369260617026; // 2pi/256
// The fixed gamma 2.2 and its reciprocal, both as single-precision values.
constexpr float FIXED_GAMMA = 2.2f;
constexpr float FIXED_GAMMA_RECIPROCAL = 1.0f / FIXED_GAMMA;

bool InInt32Range(double value) {
    return value >= -2147483648.0 && value <= 2147483647.0;
}

// Toward zero; NaN and values outside the 32-bit range give INT32_MIN, with no undefined cast.
int32_t Truncate(double value) {
    const double whole = std::trunc(value);
    return InInt32Range(whole) ? static_cast<int32_t>(whole) : INDEFINITE;
}

// To the nearest integer, halfway to even, whatever the current rounding mode.
int32_t Nearest(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return InInt32Range(whole) ? static_cast<int32_t>(whole) : INDEFINITE;
}

int32_t Clamp(int32_t value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

double Power(double base, double exponent) {
    return std::pow(base, exponent);
}

float Single(double value) {
    return static_cast<float>(value);
}

// The platform's own sine is not accurate enough everywhere (some evaluate near multiples of pi
// with a short pi), so the table uses its own: valid for 0 <= x < 2^20, about one unit in the
// last place, giving the same table on every platform.
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
// pi/2 in three parts, the first two of 33 bits so that n * part is exact for n < 2^20.
constexpr double HALF_PI_1 = 0x1.921fb544p+0;
constexpr double HALF_PI_2 = 0x1.0b4611a6p-34;
constexpr double HALF_PI_3 = 0x1.3198a2e037073p-69;

// Taylor series on |r| <= pi/4: the terms left out are far below half a unit in the last place.
double SineKernel(double r) {
    const double s = r * r;
    double p = -1.0 / 121645100408832000.0; // -1/19!
    p = p * s + 1.0 / 355687428096000.0;    //  1/17!
    p = p * s - 1.0 / 1307674368000.0;      // -1/15!
    p = p * s + 1.0 / 6227020800.0;         //  1/13!
    p = p * s - 1.0 / 39916800.0;           // -1/11!
    p = p * s + 1.0 / 362880.0;             //  1/9!
    p = p * s - 1.0 / 5040.0;               // -1/7!
    p = p * s + 1.0 / 120.0;                //  1/5!
    p = p * s - 1.0 / 6.0;                  // -1/3!
    return r + r * s * p;
}

double CosineKernel(double r) {
    const double s = r * r;
    double p = -1.0 / 6402373705728000.0; // -1/18!
    p = p * s + 1.0 / 20922789888000.0;   //  1/16!
    p = p * s - 1.0 / 87178291200.0;      // -1/14!
    p = p * s + 1.0 / 479001600.0;        //  1/12!
    p = p * s - 1.0 / 3628800.0;          // -1/10!
    p = p * s + 1.0 / 40320.0;            //  1/8!
    p = p * s - 1.0 / 720.0;              // -1/6!
    p = p * s + 1.0 / 24.0;               //  1/4!
    return 1.0 + (s * s * p - 0.5 * s);
}

double TableSine(double x) {
    const double quadrant = std::floor(x * TWO_OVER_PI + 0.5);
    const double r = ((x - quadrant * HALF_PI_1) - quadrant * HALF_PI_2) - quadrant * HALF_PI_3;
    switch (static_cast<int32_t>(quadrant) & 3) {
    case 0:
        return SineKernel(r);
    case 1:
        return CosineKernel(r);
    case 2:
        return -SineKernel(r);
    default:
        return -CosineKernel(r);
    }
}

} // namespace

void BuildSineTable() {
    for (int i = 0; i < SINE_TABLE_SIZE; ++i) {
        g_SineTable[i] = Single(TableSine(i * SINE_STEP));
    }
}

void BuildColorTables(float gamma, float sourceGamma, float brightness, int32_t overbrightFactor) {
    const double cappedGamma = gamma > 3.0f ? 3.0 : static_cast<double>(gamma);
    const double outputReciprocal = Single(1.0 / cappedGamma);
    const double sourceExponent = Single(1.0 / cappedGamma * sourceGamma);
    double knee;
    if (brightness <= 0.0f) {
        knee = 0.125;
    } else if (brightness > 1.0f) {
        knee = Single(0.05);
    } else {
        knee = Single(0.125 - 0.075 * (static_cast<double>(brightness) * brightness));
    }
    const double sourceReciprocal = Single(1.0 / sourceGamma);
    const double overbrightScale =
        overbrightFactor == 2 ? 0.5 : (overbrightFactor == 4 ? 0.25 : 1.0);
    const double overbrightReciprocal = Single(1.0 / gamma);

    for (int i = 0; i < LEVEL_TABLE_SIZE; ++i) {
        const double level = i * LEVEL_STEP;
        g_SourceToCorrected[i] =
            static_cast<uint8_t>(Clamp(Truncate(Power(level, sourceExponent) * 255.0)));
    }

    for (int i = 0; i < LINEAR_TABLE_SIZE; ++i) {
        double linear = i * LINEAR_STEP;
        if (brightness > 1.0f) {
            linear *= brightness;
        }
        // Two straight segments meeting at (knee, 0.125); the identity when the knee is 0.125.
        const double curved =
            linear <= knee ? linear / knee * 0.125 : (linear - knee) / (1.0 - knee) * 0.875 + 0.125;
        g_LinearToCorrected[i] = Clamp(Truncate(Power(curved, outputReciprocal) * 255.0));
    }

    for (int i = 0; i < LEVEL_TABLE_SIZE; ++i) {
        const double level = i * LEVEL_STEP;
        // Only the source table takes the unrounded level, so its entry 255 lands just above 1.
        const double roundedLevel = Single(level);
        g_SourceToLinear[i] = Single(Power(level, sourceGamma));
        g_LinearToFixedGamma[i] = Single(Power(roundedLevel, FIXED_GAMMA_RECIPROCAL));
        g_FixedGammaToLinear[i] = Single(Power(roundedLevel, FIXED_GAMMA));
    }

    for (int i = 0; i < LINEAR_TABLE_SIZE; ++i) {
        g_LinearToSource[i] = Truncate(Power(i * LINEAR_STEP, sourceReciprocal) * 255.0);
    }

    for (int i = 0; i < OVERBRIGHT_TABLE_SIZE; ++i) {
        const double corrected = Power(i * OVERBRIGHT_STEP, overbrightReciprocal) * overbrightScale;
        g_OverbrightToCorrected[i] = corrected > 1.0 ? 1.0f : Single(corrected);
        // From the uncapped value, not the stored float.
        g_OverbrightToCorrectedBytes[i] =
            static_cast<uint8_t>(Clamp(Nearest(Single(corrected * 255.0))));
    }
}
