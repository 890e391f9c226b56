// The 8x8 inverse DCT in 16-bit fixed point: an 8-point routine applied to
// the rows, then to the columns, each pass storing its outputs as signed
// 16-bit values (wrapping, as 16-bit stores do).
//
// Constants (table->idctConst, each round(32768 * value)):
//   [0] r  = 1/sqrt(2)   23170     [4] c3 = cos(3pi/16) 27246
//   [1] c4 = cos(pi/4)   23170     [5] s1 = sin(pi/16)   6393
//   [2] c1 = cos(pi/16)  32138     [6] s2 = sin(pi/8)   12540
//   [3] c2 = cos(pi/8)   30274     [7] s3 = sin(3pi/16) 18205
// M(a, k) = (a * k + 2^15) >> 16 halves as it rotates, so each pass is the
// T.81 one-dimensional IDCT (with its factor 1/2) up to rounding. Worked
// example: a block whose only value is DC 80 gives M(80, 23170) = 28 in
// every row element, then M(28, 23170) = 10 everywhere.
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>

#include "cam/kernels.h"

namespace rk {

namespace {

struct Constants {
  int32_t r, c4, c1, c2, c3, s1, s2, s3;
  explicit Constants(const int16_t* k)
      : r(k[0]), c4(k[1]), c1(k[2]), c2(k[3]), c3(k[4]), s1(k[5]), s2(k[6]), s3(k[7]) {}
};

// Inputs are 16-bit and constants 16-bit, so a * k lies within +-2^30.
static_assert(int64_t{-32768} * -32768 + 32768 <= INT32_MAX, "M(a, k) needs 32-bit products");
inline int32_t M(int32_t a, int32_t k) { return (a * k + 32768) >> 16; }
// With the standard constants the argument stays below 2^17 in magnitude
// and the product inside 32 bits; the 64-bit product only keeps other
// constant sets free of overflow.
inline int32_t R(int32_t a, int32_t r) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * r + 16384) >> 15);
}

// The 8-point routine on v[0], v[stride], ..., v[7 * stride], in place.
inline void Transform8(int16_t* v, int stride, const Constants& k) {
  const int32_t x0 = v[0], x1 = v[stride], x2 = v[2 * stride], x3 = v[3 * stride];
  const int32_t x4 = v[4 * stride], x5 = v[5 * stride], x6 = v[6 * stride], x7 = v[7 * stride];

  // Odd part. p and q are 16-bit quantities (they always fit with the
  // standard constants; the cast keeps other constant sets defined alike).
  const int32_t p = static_cast<int16_t>(M(x1, k.c1) + M(x7, k.s1));
  const int32_t q = static_cast<int16_t>(M(x3, k.c3) + M(x5, k.s3));
  const int32_t u = M(x1, k.s1) - M(x7, k.c1);
  const int32_t w = M(x5, k.c3) - M(x3, k.s3);
  const int32_t a = R(p + u - q - w, k.r);
  const int32_t b = R(w + p - u - q, k.r);

  // Even part.
  const int32_t e = M(x2, k.c2) + M(x6, k.s2);
  const int32_t f = M(x2, k.s2) - M(x6, k.c2);
  const int32_t m0 = M(x0, k.c4);
  const int32_t m4 = M(x4, k.c4);
  const int32_t g = m0 + m4;
  const int32_t h = m0 - m4;
  const int32_t gg = g + e;
  const int32_t hh = h + f;

  v[0] = static_cast<int16_t>(gg + (p + q));
  v[stride] = static_cast<int16_t>(hh + a);
  v[2 * stride] = static_cast<int16_t>(h + b - f);
  v[3 * stride] = static_cast<int16_t>(g + (u + w) - e);
  v[4 * stride] = static_cast<int16_t>(g - (u + w) - e);
  v[5 * stride] = static_cast<int16_t>(h - b - f);
  v[6 * stride] = static_cast<int16_t>(hh - a);
  v[7 * stride] = static_cast<int16_t>(gg - (p + q));
}

// Elements 1..7 of a row, as two 64-bit words, are all zero.
inline bool RowAcZero(const int16_t* row) {
  uint64_t lo, hi;
  std::memcpy(&lo, row, 8);
  std::memcpy(&hi, row + 4, 8);
  return ((lo & ~uint64_t{0xFFFF}) | hi) == 0;  // little-endian: row[0] is the low lane
}

}  // namespace

// With x1..x7 zero every intermediate but g = h = M(x0, c4) is 0 (M(0, k) =
// 2^15 >> 16 = 0, R(0) = 0), so all eight outputs equal M(x0, c4). Rows
// and columns of that shape are filled directly; a block whose only
// non-zero value is the DC takes the shortcut in both passes.
void InverseTransformBlock(const ModuleTableRec* table, int16_t* block) {
  static_assert(std::endian::native == std::endian::little, "RowAcZero assumes little-endian");
  const Constants k(table->idctConst);

  bool rowsAcZero = true;  // every row but the first is zero after the row pass
  for (int row = 0; row < 8; ++row) {
    int16_t* v = block + 8 * row;
    if (RowAcZero(v)) {
      if (v[0] != 0) {
        const auto dc = static_cast<int16_t>(M(v[0], k.c4));
        for (int i = 0; i < 8; ++i) v[i] = dc;
        if (row > 0) rowsAcZero = false;
      }
      continue;
    }
    Transform8(v, 1, k);
    if (row > 0) rowsAcZero = false;
  }

  if (rowsAcZero) {
    // Only row 0 can be non-zero: each column holds just its top value.
    for (int col = 0; col < 8; ++col) {
      const auto dc = static_cast<int16_t>(M(block[col], k.c4));
      for (int i = 0; i < 8; ++i) block[8 * i + col] = dc;
    }
    return;
  }
  for (int col = 0; col < 8; ++col) {
    int16_t* v = block + col;
    bool acZero = true;
    for (int i = 1; i < 8; ++i) acZero &= v[8 * i] == 0;
    if (acZero) {
      const auto dc = static_cast<int16_t>(M(v[0], k.c4));
      for (int i = 0; i < 8; ++i) v[8 * i] = dc;
    } else {
      Transform8(v, 8, k);
    }
  }
}

namespace reference {

namespace {

// The 8-point routine exactly as written: 32-bit products, p and q held in
// 16-bit variables, outputs stored as 16-bit values.
void Idct8(int16_t* x, int stride, const int16_t* kc) {
  const int32_t r = kc[0], c4 = kc[1], c1 = kc[2], c2 = kc[3];
  const int32_t c3 = kc[4], s1 = kc[5], s2 = kc[6], s3 = kc[7];
  auto m = [](int32_t a, int32_t k) { return (a * k + 32768) >> 16; };
  auto rr = [r](int32_t a) { return static_cast<int32_t>((int64_t{a} * r + 16384) >> 15); };
  int32_t in[8];
  for (int i = 0; i < 8; ++i) in[i] = x[i * stride];

  const int16_t p = static_cast<int16_t>(m(in[1], c1) + m(in[7], s1));
  const int16_t q = static_cast<int16_t>(m(in[3], c3) + m(in[5], s3));
  const int32_t u = m(in[1], s1) - m(in[7], c1);
  const int32_t w = m(in[5], c3) - m(in[3], s3);
  const int32_t A = rr(p + u - q - w);
  const int32_t B = rr(w + p - u - q);

  const int32_t e = m(in[2], c2) + m(in[6], s2);
  const int32_t f = m(in[2], s2) - m(in[6], c2);
  const int32_t g = m(in[0], c4) + m(in[4], c4);
  const int32_t h = m(in[0], c4) - m(in[4], c4);
  const int32_t G = g + e;
  const int32_t H = h + f;

  const int32_t y[8] = {G + (p + q), H + A,     h + B - f, g + (u + w) - e,
                        g - (u + w) - e, h - B - f, H - A,     G - (p + q)};
  for (int i = 0; i < 8; ++i) x[i * stride] = static_cast<int16_t>(y[i]);
}

}  // namespace

void InverseTransformBlock(const ModuleTableRec* table, int16_t* block) {
  for (int row = 0; row < 8; ++row) Idct8(block + 8 * row, 1, table->idctConst);
  for (int col = 0; col < 8; ++col) Idct8(block + col, 8, table->idctConst);
}

}  // namespace reference
}  // namespace rk
