// Non-zero masks of coefficient blocks in zigzag order, for the
// progressive codec.
#pragma once

#include <bit>
#include <cstdint>

namespace rk {

// Zigzag positions of a block's non-zero coefficients as a 64-bit mask
// (bit k for zigzag position k), so that the progressive codec visits only
// the coefficients that matter in a band (the decoder's refinement scans:
// those that take correction bits; the writer's AC scans: those it codes)
// instead of testing every position. The block is read row by row in
// natural order; each row's 8 flags index a table of their zigzag bits: row
// 0 with coefficients 0, 1 and 3 non-zero is flags 0b1011 and bits 0, 1 and
// 6 (zigzag positions of 0, 1 and 3).
class ZigzagMasks {
 public:
  // zz must be a permutation of 0..63. Usable at compile time (the vector
  // encoders build their standard-order table from it).
  constexpr explicit ZigzagMasks(const uint8_t* zz) : rows_{} {
    uint8_t position[64] = {};
    for (int k = 0; k < 64; ++k) position[zz[k]] = static_cast<uint8_t>(k);
    for (int r = 0; r < 8; ++r) {
      rows_[r][0] = 0;
      for (unsigned flags = 1; flags < 256; ++flags) {
        const int s = std::countr_zero(flags);
        rows_[r][flags] = rows_[r][flags & (flags - 1)] | uint64_t{1} << position[8 * r + s];
      }
    }
  }
  // The zigzag bits of row r's natural flags.
  [[nodiscard]] constexpr uint64_t RowBits(int r, unsigned flags) const { return rows_[r][flags & 0xFF]; }
  [[nodiscard]] uint64_t NonZero(const int16_t* block) const {
    uint64_t mask = 0;
    for (int r = 0; r < 8; ++r) {
      unsigned flags = 0;
      for (int s = 0; s < 8; ++s) flags |= static_cast<unsigned>(block[8 * r + s] != 0) << s;
      mask |= rows_[r][flags];
    }
    return mask;
  }

 private:
  uint64_t rows_[8][256];
};

// Bits from .. to (0 <= from, to <= 63); empty when from > to.
inline uint64_t Positions(int from, int to) {
  if (from > to) return 0;
  return (~uint64_t{0} << from) & (~uint64_t{0} >> (63 - to));
}

}  // namespace rk
