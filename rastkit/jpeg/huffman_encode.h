// Huffman coding of one quantised block (T.81 F.1.2.1 and F.1.2.2): the DC
// difference from the component's predictor, then the AC coefficients in
// zigzag order as run/size symbols with ZRL for runs over 15 and EOB after
// the last non-zero coefficient (none when position 63 is non-zero).
#pragma once

#include <bit>
#include <cstdint>

#include "bit_writer.h"
#include "rastkit.h"
#include "std_tables.h"

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

// The code tables as the masked coder reads them: one 32-bit entry per
// symbol, length << 16 | code, and 0 for a symbol without a usable code.
struct PackedCodes {
  uint32_t dc[16];
  uint32_t ac[256];
  // The AC entries for the masked coder, with room made for the value
  // bits: the code shifted left by the symbol's size in the low word, code
  // length + size in the high word (0: no code). Symbol 0x2A (run 2, size
  // 10) with the 16-bit code 0xFF89 holds 0xFF89 << 10 and 26, so each
  // coefficient costs one OR of its value bits and one Put.
  uint64_t acWithRoom[256];
  // True when every symbol that the transform's coefficients can need has a
  // code: DC categories 0 .. 12 (a difference of two DC terms within 1024 of
  // 0), AC run 0 .. 15 with size 1 .. 10 (AC terms under 1023), EOB and
  // ZRL. The masked coder then skips its per-symbol checks.
  bool complete;
};
void PackCodes(const HuffCodeRec* dcTable, const HuffCodeRec* acTable, PackedCodes& out);

// Natural index of every zigzag position (kZigzag) as bytes.
inline constexpr auto kZigzagNatural = [] {
  struct Table {
    uint8_t at[64];
  } t{};
  for (int k = 0; k < 64; ++k) t.at[k] = static_cast<uint8_t>(kZigzag[k]);
  return t;
}();

// Masked coder of the vector pipelines: `block` holds the quantised
// coefficients in natural order, the zigzag order is the standard one, and
// bit k of `acMask` (k = 1 .. 63) says whether zigzag position k is
// non-zero (bit 0 is ignored). Runs of zeros cost nothing: the set bits are
// walked with a trailing-zero count, and each symbol's code and value bits
// go out in one Put. Writes exactly what EncodeBlock writes. With kChecked
// false the tables must be complete (PackedCodes::complete) and the
// coefficients the transform's (|AC| < 1023, |DC| <= 1024).
template <bool kChecked>
[[gnu::always_inline]] inline bool EncodeMaskedBlock(BitWriter& writer, const int16_t* block, uint64_t acMask,
                                                     const PackedCodes& codes, int16_t* predictor) {
  // The writer's state in locals for the block: held in `writer` itself it
  // would be reloaded after every store of output bytes (they may alias it).
  BitWriter w = writer;
  bool ok = true;
  const int16_t dcValue = block[0];
  const int32_t diff = static_cast<int16_t>(dcValue - *predictor);
  *predictor = dcValue;
  int s = SizeOf(diff);
  if constexpr (kChecked) {
    if (s > 15) return false;  // nothing written
  }
  uint32_t e = codes.dc[s];
  if constexpr (kChecked) ok &= e != 0;
  w.Put(((e & 0xFFFF) << s) | ValueBits(diff, s), static_cast<int>(e >> 16) + s);

  acMask &= ~uint64_t{1};
  int last = 0;
  while (acMask != 0) {
    const int k = std::countr_zero(acMask);
    acMask &= acMask - 1;
    int run = k - last - 1;
    last = k;
    if (run > 15) [[unlikely]] {
      const uint32_t zrl = codes.ac[0xF0];
      if constexpr (kChecked) ok &= zrl != 0;
      do {
        w.Put(zrl & 0xFFFF, static_cast<int>(zrl >> 16));
        run -= 16;
      } while (run > 15);
    }
    const int32_t v = block[kZigzagNatural.at[k]];
    const uint32_t mag = static_cast<uint32_t>(v < 0 ? -v : v);
    s = 32 - __builtin_clz(mag);  // v is not 0
    if constexpr (kChecked) {
      if (s > 15) {
        writer = w;
        return false;
      }
    }
    const uint64_t roomy = codes.acWithRoom[run * 16 + s];
    if constexpr (kChecked) ok &= roomy != 0;
    w.Put(static_cast<uint32_t>(roomy) | (static_cast<uint32_t>(v + (v >> 31)) & ((1u << s) - 1)),
          static_cast<int>(roomy >> 32));
  }
  if (last != 63) {
    e = codes.ac[0x00];
    if constexpr (kChecked) ok &= e != 0;
    w.Put(e & 0xFFFF, static_cast<int>(e >> 16));
  }
  writer = w;
  return ok;
}

namespace reference {
// Position by position with a zero-run counter, bit by bit.
[[nodiscard]] bool EncodeBlock(BitWriter& writer, const int16_t* block, const int16_t* zigzag,
                               const HuffCodeRec* dcTable, const HuffCodeRec* acTable, int16_t* predictor);
}  // namespace reference

}  // namespace rk
