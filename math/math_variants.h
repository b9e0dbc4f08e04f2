// Every variant the routine table can hold. Start-up picks among them; they are declared here so
// that tests and benchmarks can reach each one whatever this processor would be given.
//
// The 3DNow! variants are written in portable code (no processor we build for executes 3DNow!),
// and their estimates are correctly rounded single-precision values: relative error at most
// 2^-24, finer than the instruction's own, so code tuned to the instruction holds. Their results
// at zero follow the instruction (a finite estimate), so SquareRoot3DNow(0) is 0.
#pragma once

#include "math/math_library.h"

float SquareRootDefault(float x);
float ReciprocalSquareRootDefault(float x);
float NormalizeReturningLengthDefault(Vector3& vector);
void NormalizeQuickDefault(Vector3& vector);
float InverseSquaredLengthDefault(const Vector3& vector);
void SineAndCosineDefault(float angle, float* pSine, float* pCosine);
float CosineDefault(float angle);

float SquareRoot3DNow(float x);
float ReciprocalSquareRoot3DNow(float x);
float NormalizeReturningLength3DNow(Vector3& vector);
void NormalizeQuick3DNow(Vector3& vector);
float InverseSquaredLength3DNow(const Vector3& vector);

float SquareRootSSE(float x);
float ReciprocalSquareRootSSE(float x);
float ReciprocalSquareRootEstimateSSE(float x);
void NormalizeQuickSSE(Vector3& vector);
float InverseSquaredLengthSSE(const Vector3& vector);
void SineAndCosineSSE(float angle, float* pSine, float* pCosine);
float CosineSSE(float angle);

void SineAndCosineSSE2(float angle, float* pSine, float* pCosine);
float CosineSSE2(float angle);
