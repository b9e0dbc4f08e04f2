// The sine table and the colour-transfer tables that math start-up builds. Fixed-size module
// state: zero until the builders run, written only by them, never freed.
#pragma once

#include <cstdint>

constexpr int SINE_TABLE_SIZE = 256;        // one full turn
constexpr int LEVEL_TABLE_SIZE = 256;       // indexed by an 8-bit level
constexpr int LINEAR_TABLE_SIZE = 1024;     // indexed by a 10-bit linear intensity i / 1023
constexpr int OVERBRIGHT_TABLE_SIZE = 4096; // indexed by i / 1024, from 0 up to just under 4

extern float g_SineTable[SINE_TABLE_SIZE];
extern uint8_t g_SourceToCorrected[LEVEL_TABLE_SIZE];
extern int32_t g_LinearToCorrected[LINEAR_TABLE_SIZE];
extern float g_SourceToLinear[LEVEL_TABLE_SIZE];
extern float g_LinearToFixedGamma[LEVEL_TABLE_SIZE];
extern float g_FixedGammaToLinear[LEVEL_TABLE_SIZE];
extern int32_t g_LinearToSource[LINEAR_TABLE_SIZE];
extern float g_OverbrightToCorrected[OVERBRIGHT_TABLE_SIZE];
extern uint8_t g_OverbrightToCorrectedBytes[OVERBRIGHT_TABLE_SIZE];

// Entry i is the sine of i * 2pi/256. The same on every platform.
void BuildSineTable();

// Fills the eight colour tables. Any argument is accepted: powers that come out infinite or NaN,
// and products beyond the 32-bit range, convert to INT32_MIN before clamping.
//   gamma            output gamma, capped at 3 for the corrected tables, uncapped for overbright
//   sourceGamma      gamma of stored 8-bit source levels
//   brightness       raises dark levels from 0 to 1; above 1 also scales the input
//   overbrightFactor 2 or 4 for that overbright range; anything else means none
void BuildColorTables(float gamma, float sourceGamma, float brightness, int32_t overbrightFactor);
