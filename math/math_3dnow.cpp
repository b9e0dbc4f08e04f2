// The 3DNow! group in portable single-precision code: no processor we build for executes those
// instructions, so each estimate is realised as the correctly rounded value it approximates, and
// there is no multimedia state to enter or leave. Start-up picks this group only when the
// feature record reports 3DNow!.
#include "math/math_variants.h"

#include <cfloat>
#include <cmath>

namespace {

// 1/sqrt(x) rounded to single precision. At zero the instruction gives the largest finite value
// rather than infinity, which keeps x * estimate at zero; a negative x gives NaN.
float ReciprocalSquareRootEstimate(float x) {
    if (x == 0.0f) {
        return std::copysign(FLT_MAX, x);
    }
    return static_cast<float>(1.0 / std::sqrt(static_cast<double>(x)));
}

float ReciprocalEstimate(float x) {
    return static_cast<float>(1.0 / static_cast<double>(x));
}

float SquaredLength(const Vector3& vector) {
    return (vector.x * vector.x + vector.y * vector.y) + vector.z * vector.z;
}

} // namespace

float SquareRoot3DNow(float x) {
    return x * ReciprocalSquareRootEstimate(x);
}

float ReciprocalSquareRoot3DNow(float x) {
    return static_cast<float>(1.0 / static_cast<double>(SquareRoot3DNow(x)));
}

float NormalizeReturningLength3DNow(Vector3& vector) {
    // -0 compares equal to zero as well; such a vector is left exactly as it came.
    if (vector.x == 0.0f && vector.y == 0.0f && vector.z == 0.0f) {
        return 0.0f;
    }
    const float squaredLength = SquaredLength(vector);
    const float scale = ReciprocalSquareRootEstimate(squaredLength);
    vector.x *= scale;
    vector.y *= scale;
    vector.z *= scale;
    return squaredLength * scale;
}

void NormalizeQuick3DNow(Vector3& vector) {
    NormalizeReturningLength3DNow(vector);
}

float InverseSquaredLength3DNow(const Vector3& vector) {
    const float squaredLength = SquaredLength(vector);
    // A NaN squared length stays NaN, as in the default variant.
    return ReciprocalEstimate(squaredLength < 1.0f ? 1.0f : squaredLength);
}
