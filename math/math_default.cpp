// The default variants: double-precision arithmetic, rounded to single precision only where a
// result is stored into a float.
#include "math/math_variants.h"

#include <cmath>

namespace {

// Added to the length, not its square: the zero vector stays zero and short vectors come out
// shorter than unit length rather than blowing up.
constexpr double LENGTH_BIAS = 0x1p-23;

double NormalizeInPlace(Vector3& vector) {
    const double x = vector.x;
    const double y = vector.y;
    const double z = vector.z;
    const double length = std::sqrt((x * x + y * y) + z * z);
    const double scale = 1.0 / (length + LENGTH_BIAS);
    vector.x = static_cast<float>(x * scale);
    vector.y = static_cast<float>(y * scale);
    vector.z = static_cast<float>(z * scale);
    return length;
}

} // namespace

float SquareRootDefault(float x) {
    return static_cast<float>(std::sqrt(static_cast<double>(x)));
}

float ReciprocalSquareRootDefault(float x) {
    return static_cast<float>(1.0 / std::sqrt(static_cast<double>(x)));
}

float NormalizeReturningLengthDefault(Vector3& vector) {
    return static_cast<float>(NormalizeInPlace(vector));
}

void NormalizeQuickDefault(Vector3& vector) {
    NormalizeInPlace(vector);
}

float InverseSquaredLengthDefault(const Vector3& vector) {
    const double x = vector.x;
    const double y = vector.y;
    const double z = vector.z;
    const double squaredLength = (x * x + y * y) + z * z;
    // Written so that a NaN squared length falls through to the division and stays NaN.
    if (squaredLength < 1.0) {
        return 1.0f;
    }
    return static_cast<float>(1.0 / squaredLength);
}

void SineAndCosineDefault(float angle, float* pSine, float* pCosine) {
    const double radians = angle;
    *pSine = static_cast<float>(std::sin(radians));
    *pCosine = static_cast<float>(std::cos(radians));
}

float CosineDefault(float angle) {
    return static_cast<float>(std::cos(static_cast<double>(angle)));
}
