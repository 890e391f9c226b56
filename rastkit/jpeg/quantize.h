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

namespace reference {
// With integer division, as the rule reads.
void QuantizeBlock(int16_t* block, const uint16_t* quant);
}  // namespace reference

}  // namespace rk
