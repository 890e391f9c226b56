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
#include "cam/simd_target.h"
#include "simd_level.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
namespace {

// The 8-point routine on eight lanes at once (x[i] holds input i of eight
// rows or columns), in 16-bit lanes. Every output is stored wrapped to 16
// bits and, apart from R, the routine only adds and subtracts, so those
// sums may wrap along the way: their low 16 bits come out the same. The
// exceptions are worked out exactly:
//  - M(a, k) = (a * k + 2^15) >> 16 lies in -16384..16384, so it is exact
//    in 16 bits: the high half of the product plus the top bit of the low
//    half (the rounding carry).
//  - R(a) = (a * r + 2^14) >> 15 needs the whole argument a = p + u - q - w
//    (up to 2^17). Split a = 2^15 * hi + lo with lo = a & 0x7FFF: then
//    R(a) = hi * r + ((lo * r + 2^14) >> 15) exactly, and only its low 16
//    bits are used. lo comes from the wrapped 16-bit sum; hi = a >> 15 from
//    the sum in 32 bits (pmaddwd with (1, -1) widens and subtracts at once).
struct SimdConstants {
  __m128i r, c4, c1, c2, c3, s1, s2, s3;
  explicit SimdConstants(const int16_t* k)
      : r(_mm_set1_epi16(k[0])), c4(_mm_set1_epi16(k[1])), c1(_mm_set1_epi16(k[2])),
        c2(_mm_set1_epi16(k[3])), c3(_mm_set1_epi16(k[4])), s1(_mm_set1_epi16(k[5])),
        s2(_mm_set1_epi16(k[6])), s3(_mm_set1_epi16(k[7])) {}
};

inline __m128i MulRound16(__m128i a, __m128i k) {
  return _mm_add_epi16(_mm_mulhi_epi16(a, k), _mm_srli_epi16(_mm_mullo_epi16(a, k), 15));
}

// x - y of int16 pairs, as two vectors of four int32.
inline void Difference32(__m128i x, __m128i y, __m128i* lo, __m128i* hi) {
  const __m128i plusMinus = _mm_set1_epi32(0xFFFF0001);  // (1, -1)
  *lo = _mm_madd_epi16(_mm_unpacklo_epi16(x, y), plusMinus);
  *hi = _mm_madd_epi16(_mm_unpackhi_epi16(x, y), plusMinus);
}

// Low 16 bits of R(a), given a wrapped to 16 bits and a >> 15 (as 16-bit).
inline __m128i RoundR16(__m128i a16, __m128i hi16, __m128i r) {
  const __m128i lo = _mm_and_si128(a16, _mm_set1_epi16(0x7FFF));
  // (lo * r + 2^14) >> 15 from the 32-bit product H * 2^16 + L (L unsigned):
  // 2H + floor((L + 2^14) / 2^15) = 2H + ((L >> 14) + 1) >> 1.
  const __m128i h = _mm_mulhi_epi16(lo, r);
  const __m128i l = _mm_srli_epi16(_mm_mullo_epi16(lo, r), 14);
  const __m128i low = _mm_add_epi16(_mm_add_epi16(h, h),
                                    _mm_srli_epi16(_mm_add_epi16(l, _mm_set1_epi16(1)), 1));
  return _mm_add_epi16(_mm_mullo_epi16(hi16, r), low);
}

inline void Transform8x8(__m128i* x, const SimdConstants& k) {
  const __m128i m1c1 = MulRound16(x[1], k.c1), m7s1 = MulRound16(x[7], k.s1);
  const __m128i m3c3 = MulRound16(x[3], k.c3), m5s3 = MulRound16(x[5], k.s3);
  const __m128i m1s1 = MulRound16(x[1], k.s1), m7c1 = MulRound16(x[7], k.c1);
  const __m128i m5c3 = MulRound16(x[5], k.c3), m3s3 = MulRound16(x[3], k.s3);
  const __m128i p = _mm_add_epi16(m1c1, m7s1);  // int16, as the routine keeps it
  const __m128i q = _mm_add_epi16(m3c3, m5s3);
  const __m128i u = _mm_sub_epi16(m1s1, m7c1);   // wrapped
  const __m128i w = _mm_sub_epi16(m5c3, m3s3);   // wrapped

  // a = (p - q) + u - w and b = (p - q) - u + w in 32 bits, for a >> 15.
  __m128i dLo, dHi, uLo, uHi, wLo, wHi;
  Difference32(p, q, &dLo, &dHi);
  Difference32(m1s1, m7c1, &uLo, &uHi);
  Difference32(m5c3, m3s3, &wLo, &wHi);
  const __m128i uwLo = _mm_sub_epi32(uLo, wLo), uwHi = _mm_sub_epi32(uHi, wHi);
  const __m128i aHi16 = _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(dLo, uwLo), 15),
                                        _mm_srai_epi32(_mm_add_epi32(dHi, uwHi), 15));
  const __m128i bHi16 = _mm_packs_epi32(_mm_srai_epi32(_mm_sub_epi32(dLo, uwLo), 15),
                                        _mm_srai_epi32(_mm_sub_epi32(dHi, uwHi), 15));
  const __m128i d16 = _mm_sub_epi16(p, q);
  const __m128i uw16 = _mm_sub_epi16(u, w);
  const __m128i a = RoundR16(_mm_add_epi16(d16, uw16), aHi16, k.r);
  const __m128i b = RoundR16(_mm_sub_epi16(d16, uw16), bHi16, k.r);

  const __m128i e = _mm_add_epi16(MulRound16(x[2], k.c2), MulRound16(x[6], k.s2));
  const __m128i f = _mm_sub_epi16(MulRound16(x[2], k.s2), MulRound16(x[6], k.c2));
  const __m128i m0 = MulRound16(x[0], k.c4);
  const __m128i m4 = MulRound16(x[4], k.c4);
  const __m128i g = _mm_add_epi16(m0, m4);
  const __m128i h = _mm_sub_epi16(m0, m4);
  const __m128i gg = _mm_add_epi16(g, e);
  const __m128i hh = _mm_add_epi16(h, f);
  const __m128i pq = _mm_add_epi16(p, q);
  const __m128i uw = _mm_add_epi16(u, w);

  x[0] = _mm_add_epi16(gg, pq);
  x[1] = _mm_add_epi16(hh, a);
  x[2] = _mm_sub_epi16(_mm_add_epi16(h, b), f);
  x[3] = _mm_sub_epi16(_mm_add_epi16(g, uw), e);
  x[4] = _mm_sub_epi16(_mm_sub_epi16(g, uw), e);
  x[5] = _mm_sub_epi16(_mm_sub_epi16(h, b), f);
  x[6] = _mm_sub_epi16(hh, a);
  x[7] = _mm_sub_epi16(gg, pq);
}

// 8x8 transpose of 16-bit lanes in place.
inline void Transpose8x8(__m128i* v) {
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  v[0] = _mm_unpacklo_epi64(b0, b4), v[1] = _mm_unpackhi_epi64(b0, b4);
  v[2] = _mm_unpacklo_epi64(b1, b5), v[3] = _mm_unpackhi_epi64(b1, b5);
  v[4] = _mm_unpacklo_epi64(b2, b6), v[5] = _mm_unpackhi_epi64(b2, b6);
  v[6] = _mm_unpacklo_epi64(b3, b7), v[7] = _mm_unpackhi_epi64(b3, b7);
}

}  // namespace
#endif

// With x1..x7 zero every intermediate but g = h = M(x0, c4) is 0 (M(0, k) =
// 2^15 >> 16 = 0, R(0) = 0), so all eight outputs equal M(x0, c4). Rows
// and columns of that shape are filled directly; a block whose only
// non-zero value is the DC takes the shortcut in both passes.
#if defined(__SSE2__)
namespace {
// Eight rows side by side: a transpose puts element i of every row in x[i],
// the routine runs once per pass, and a second transpose turns the row
// results into rows of columns for the column pass. With quant, the rows
// are dequantised as they are loaded: the low 16 bits of the product are
// (v * q) mod 2^16 whether q is read as signed or unsigned.
void TransformSimd(const ModuleTableRec* table, int16_t* block, const uint16_t* quant) {
  __m128i x[8];
  for (int i = 0; i < 8; ++i) x[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
  if (quant != nullptr) {
    for (int i = 0; i < 8; ++i) {
      x[i] = _mm_mullo_epi16(x[i], _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * i)));
    }
  }
  __m128i any = _mm_or_si128(_mm_or_si128(_mm_or_si128(x[1], x[2]), _mm_or_si128(x[3], x[4])),
                             _mm_or_si128(_mm_or_si128(x[5], x[6]), x[7]));
  any = _mm_or_si128(any, _mm_srli_si128(x[0], 2));  // row 0 without its DC
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF) {
    // DC only: M(x0, c4) across row 0, then M of that down every column.
    const int32_t c4 = table->idctConst[1];
    const auto dc = static_cast<int16_t>(M(M(static_cast<int16_t>(_mm_cvtsi128_si32(x[0])), c4), c4));
    const __m128i v = _mm_set1_epi16(dc);
    for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), v);
    return;
  }
  const SimdConstants kv(table->idctConst);
  Transpose8x8(x);
  Transform8x8(x, kv);
  Transpose8x8(x);
  Transform8x8(x, kv);
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), x[i]);
}
}  // namespace
#endif

void DequantizeTransformBlock(const ModuleTableRec* table, int16_t* block, const uint16_t* quant) {
#if defined(__SSE2__)
  if (ActiveSimdLevel() != SimdLevel::kNone) {
    TransformSimd(table, block, quant);
    return;
  }
#endif
  DequantizeBlock(block, quant);
  scalar::InverseTransformBlock(table, block);
}

void InverseTransformBlock(const ModuleTableRec* table, int16_t* block) {
#if defined(__SSE2__)
  if (ActiveSimdLevel() != SimdLevel::kNone) {
    TransformSimd(table, block, nullptr);
    return;
  }
#endif
  scalar::InverseTransformBlock(table, block);
}

void DequantizeTransformBlocks(const ModuleTableRec* table, int16_t* blocks, const uint16_t* const* quant,
                               int count, SimdLevel level) {
  switch (level) {
#if RK_X86_SIMD
    case SimdLevel::kAvx2:
      avx2::DequantizeTransformBlocks(table->idctConst, blocks, quant, count);
      return;
#endif
#if defined(__SSE2__)
    case SimdLevel::kSse2:
      for (int i = 0; i < count; ++i) TransformSimd(table, blocks + 64 * i, quant[i]);
      return;
#endif
    default:
      for (int i = 0; i < count; ++i) {
        DequantizeBlock(blocks + 64 * i, quant[i]);
        scalar::InverseTransformBlock(table, blocks + 64 * i);
      }
      return;
  }
}

namespace scalar {

// Without SIMD: row by row and column by column, skipping the arithmetic
// of zero and DC-only rows and columns.
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

}  // namespace scalar

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
