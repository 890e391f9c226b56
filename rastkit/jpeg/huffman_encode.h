// Huffman coding of one quantised block (T.81 F.1.2.1 and F.1.2.2): the DC
// difference from the component's predictor, then the AC coefficients in
// zigzag order as run/size symbols with ZRL for runs over 15 and EOB after
// the last non-zero coefficient (none when position 63 is non-zero).
#pragma once

#include <bit>
#include <cstdint>

#include "bit_writer.h"
#include "rastkit.h"

namespace rk {

// Size category: the number of bits of |v| (0 for 0); |v| <= 2^s - 1.
inline int SizeOf(int32_t v) {
  const uint32_t mag = static_cast<uint32_t>(v < 0 ? -v : v);
  return 32 - std::countl_zero(mag);
}

// The s value bits: v itself when positive, v - 1 when negative (its low s
// bits are then the one's complement of |v|).
inline uint32_t ValueBits(int32_t v, int s) {
  return static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << s) - 1);
}

// A code entry is usable with a length of 1 .. 16 (the longest a DHT
// segment can describe); anything else counts as "no code" and writes
// nothing, so a corrupt table cannot push more than 16 bits per code.
inline int CodeLength(const HuffCodeRec& c) { return c.length <= 16 ? c.length : 0; }
inline uint32_t CodeBits(const HuffCodeRec& c) { return c.code & ((1u << CodeLength(c)) - 1); }

// Each returns false when the block needs a symbol that has no code in the
// tables (length 0) or a size category above 15; the bits written by then
// are not a valid scan. The standard tables code every block that 8-bit
// samples produce.

// Fast coder: the coefficients are taken in zigzag order once, the non-zero
// positions found from a 64-bit mask, and each symbol's code and value bits
// go to the writer in one Put.
[[nodiscard]] bool EncodeBlock(BitWriter& writer, const int16_t* block, const int16_t* zigzag,
                               const HuffCodeRec* dcTable, const HuffCodeRec* acTable, int16_t* predictor);

// Statistics switch on: the same symbols are counted, nothing is written.
// DC symbols go to dcCounts, AC symbols (ZRL and EOB included) to acCounts,
// each a table of 257 counts.
[[nodiscard]] bool CountBlock(const int16_t* block, const int16_t* zigzag, int16_t* predictor,
                              uint32_t* dcCounts, uint32_t* acCounts);

namespace reference {
// Position by position with a zero-run counter, bit by bit.
[[nodiscard]] bool EncodeBlock(BitWriter& writer, const int16_t* block, const int16_t* zigzag,
                               const HuffCodeRec* dcTable, const HuffCodeRec* acTable, int16_t* predictor);
}  // namespace reference

}  // namespace rk
