// Forward 8x8 DCT of the JPEG encoders in 16-bit fixed point: rows first
// into the module table's coefScratch (32-bit row results), then columns
// back into the block, each pass rounding with (value + 2^15) >> 16.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

// round(32768 x value), the module table's idctConst entries; the vector
// transforms (encode_sse2.cpp, encode_avx2.cpp) use the same numbers.
inline constexpr int32_t kDctK = 23170;   // cos(pi/4) = 1/sqrt(2)
inline constexpr int32_t kDctC1 = 32138;  // cos(pi/16)
inline constexpr int32_t kDctC2 = 30274;  // cos(2pi/16)
inline constexpr int32_t kDctC3 = 27246;  // cos(3pi/16)
inline constexpr int32_t kDctC5 = 18205;  // cos(5pi/16) = sin(3pi/16)
inline constexpr int32_t kDctC6 = 12540;  // cos(6pi/16) = sin(2pi/16)
inline constexpr int32_t kDctC7 = 6393;   // cos(7pi/16) = sin(pi/16)

// The largest magnitude of a coefficient for inputs in -128 .. 128. The
// row pass gives at most (K x 8 x 128 + 2^15) >> 16 = 362 and the column pass
// (K x 8 x 362 + 2^15) >> 16 = 1024 (a flat block of 128: the DC term). So
// every row result and coefficient fits 16 bits, and the vector kernels keep
// them in 16-bit lanes. (AC terms stay a little lower: samples of one
// component span 255 values, -128 .. 127 for luminance and -127 .. 128 for
// chrominance, so an AC term is at most 127.5 x 8 = 1020 plus the rounding
// of two passes, under 1023: size category 10 at most.)
inline constexpr int kMaxRowResult = 362;
inline constexpr int kMaxDctCoefficient = 1024;
static_assert((int64_t{kDctK} * 8 * 128 + 32768) >> 16 == kMaxRowResult);
static_assert((int64_t{kDctK} * 8 * kMaxRowResult + 32768) >> 16 == kMaxDctCoefficient);

// True when the table's transform constants are the ones ForwardDct has
// built in (always so after RkInitModuleTable).
[[nodiscard]] bool HasStandardTransformConstants(const ModuleTableRec& table);

// In place on a block of level-shifted samples in -128 .. 128, the range
// that keeps every product inside 32 bits (see the static_asserts). Uses
// the standard constants; results equal reference::ForwardDct.
void ForwardDct(uint32_t* coefScratch, int16_t* block);

namespace reference {

// The plain transform with the constants read from table->idctConst and
// the row results stored in table->coefScratch.
void ForwardDct(const ModuleTableRec& table, int16_t* block);

}  // namespace reference
}  // namespace rk
