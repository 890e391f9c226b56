// Quantisation of forward-transform coefficients: v / q rounded to the
// nearest integer, halves away from zero ((|v| + q/2) / q with the sign of v).
#pragma once

#include <cstdint>

namespace rk {

// Per-table reciprocals: n / q == (n x ceil(2^32 / q)) >> 32 exactly for
// every n < 2^16 and q <= 2^16, because the reciprocal's excess adds less
// than n / 2^32 < 2^-16 <= 1/q to the quotient, too little to reach the next
// integer. |v| + q/2 stays below 2^16 for 16-bit v and q < 2^16.
struct QuantDivisors {
  uint64_t reciprocal[64];
  uint32_t half[64];
};

// q[i] must be at least 1 (the encoder refuses 0 before it gets here).
void PrepareDivisors(const uint16_t* quant, QuantDivisors& out);
void QuantizeBlock(int16_t* block, const QuantDivisors& divisors);

// The vector kernels' form, for coefficients of the forward transform and
// entries 1 .. 255 (every baseline table: DQT holds 8-bit entries). Each
// lane holds the numerator n = |v| + q/2 in 16 bits and takes two unsigned
// high multiplies (pmulhuw, (a x b) >> 16):
//   t = ((n << 5) x mult) >> 16 = floor(n x mult / 2^11)
//   r = (t x scale) >> 16       = floor(t / 2^(s - 11))  (scale = 2^(27 - s))
// so r = floor(n x mult / 2^s) with s = 12 + ceil(log2 q) and
// mult = ceil(2^s / q) (floors of exact divisions by integers nest). Writing
// n = a q + b (0 <= b < q) and mult = (2^s + e) / q with 0 <= e < q:
//   n x mult / 2^s = a + b / q + n e / (q 2^s) < a + ((q - 1) + n (q - 1) / 2^s) / q,
// which stays below a + 1 while n (q - 1) < 2^s; 2^s >= 4096 q does that for
// every n < 2048, and n << 5 fits 16 bits for those n. The transform's
// coefficients stay within 1024 of 0 (forward_dct.h), so n <= 1024 + 127.
// Worked example, q = 10: s = 16, mult = 6554, scale = 2048; v = 15 gives
// n = 20, t = (640 x 6554) >> 16 = 64, r = (64 x 2048) >> 16 = 2 = 20 / 10.
// Every pair (n, q) of that range is checked against the division in the
// tests.
constexpr int kReciprocalMaxEntry = 255;
constexpr int kReciprocalMaxNumerator = 2047;
struct QuantReciprocals {
  alignas(32) uint16_t mult[64];
  alignas(32) uint16_t half[64];
  alignas(32) uint16_t scale[64];
};
// False (and nothing usable) when an entry is outside 1 .. 255.
[[nodiscard]] bool PrepareReciprocals(const uint16_t* quant, QuantReciprocals& out);
// One lane of the vector form, for tests and the plain twin:
// floor(n / q) for n <= kReciprocalMaxNumerator.
[[nodiscard]] constexpr uint32_t DivideByReciprocal(uint32_t n, uint16_t mult, uint16_t scale) {
  const uint32_t t = ((n << 5) * mult) >> 16;
  return (t * scale) >> 16;
}

namespace reference {
// With integer division, as the rule reads.
void QuantizeBlock(int16_t* block, const uint16_t* quant);
}  // namespace reference

}  // namespace rk
