// The arithmetic of the encoder's vector kernels, written once over an
// "ops" type: Ops128 (eight 16-bit lanes, SSE2) and, in a file compiled for
// AVX2, Ops256 (two independent 128-bit halves; every operation used here
// works within a half, so one register carries two blocks, or two runs of
// eight pixels, side by side). Included only by encode_sse2.cpp and
// encode_avx2.cpp; everything here has internal linkage, so each file gets
// its own copy compiled for its own instruction set and none of them can
// stand in for the other at link time.
#pragma once

#if !defined(__x86_64__)
#error "x86-64 only"
#endif

#include <immintrin.h>

#include <cstdint>

#include "cam/color.h"
#include "forward_dct.h"
#include "quantize.h"
#include "std_tables.h"
#include "zigzag_mask.h"

namespace rk {
namespace {

// A 32-bit lane holding a pair of 16-bit constants for pmaddwd: `lo` for
// the even 16-bit lane of a pair, `hi` for the odd one.
constexpr int32_t Pair(int32_t lo, int32_t hi) {
  return static_cast<int32_t>((static_cast<uint32_t>(hi) << 16) | (static_cast<uint32_t>(lo) & 0xFFFFu));
}

struct Ops128 {
  using V = __m128i;
  static V Load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
  static void Store(void* p, V v) { _mm_storeu_si128(static_cast<V*>(p), v); }
  static V Zero() { return _mm_setzero_si128(); }
  static V Set16(int16_t v) { return _mm_set1_epi16(v); }
  static V Set32(int32_t v) { return _mm_set1_epi32(v); }
  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V Add32(V a, V b) { return _mm_add_epi32(a, b); }
  static V Madd(V a, V b) { return _mm_madd_epi16(a, b); }
  static V MulhiU16(V a, V b) { return _mm_mulhi_epu16(a, b); }
  template <int n>
  static V Srai32(V a) { return _mm_srai_epi32(a, n); }
  template <int n>
  static V Srli32(V a) { return _mm_srli_epi32(a, n); }
  template <int n>
  static V Slli16(V a) { return _mm_slli_epi16(a, n); }
  static V Packs32(V a, V b) { return _mm_packs_epi32(a, b); }
  static V UnpackLo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static V UnpackLo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V UnpackHi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  static V UnpackLo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
  static V UnpackHi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
  // |v| and the sign put back (SSE2 has no pabsw / psignw): with
  // m = v >> 15 (all ones when negative), |v| = (v ^ m) - m.
  static V SignMask16(V v) { return _mm_srai_epi16(v, 15); }
  static V Abs16(V v, V m) { return _mm_sub_epi16(_mm_xor_si128(v, m), m); }
  static V CopySign16(V a, V m) { return _mm_sub_epi16(_mm_xor_si128(a, m), m); }
};

#if defined(__AVX2__)
struct Ops256 {
  using V = __m256i;
  static V Load(const void* p) { return _mm256_loadu_si256(static_cast<const V*>(p)); }
  static void Store(void* p, V v) { _mm256_storeu_si256(static_cast<V*>(p), v); }
  static V Zero() { return _mm256_setzero_si256(); }
  static V Set16(int16_t v) { return _mm256_set1_epi16(v); }
  static V Set32(int32_t v) { return _mm256_set1_epi32(v); }
  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
  static V Madd(V a, V b) { return _mm256_madd_epi16(a, b); }
  static V MulhiU16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  template <int n>
  static V Srai32(V a) { return _mm256_srai_epi32(a, n); }
  template <int n>
  static V Srli32(V a) { return _mm256_srli_epi32(a, n); }
  template <int n>
  static V Slli16(V a) { return _mm256_slli_epi16(a, n); }
  static V Packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
  static V UnpackLo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V UnpackHi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  static V UnpackLo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
  static V UnpackHi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
  static V UnpackLo64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
  static V UnpackHi64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
  // pabsw and psignw do the same in one step each (psignw also clears a
  // lane whose coefficient is 0, whose quotient is 0 anyway).
  static V SignMask16(V v) { return v; }
  static V Abs16(V v, V) { return _mm256_abs_epi16(v); }
  static V CopySign16(V a, V v) { return _mm256_sign_epi16(a, v); }
};
#endif

// ---------------------------------------------------------------------------
// Forward transform

// 8 x 8 transpose of 16-bit values, rows r[0..7] in, columns out.
template <class O>
[[gnu::always_inline]] inline void Transpose8(typename O::V r[8]) {
  using V = typename O::V;
  const V t0 = O::UnpackLo16(r[0], r[1]), t1 = O::UnpackHi16(r[0], r[1]);
  const V t2 = O::UnpackLo16(r[2], r[3]), t3 = O::UnpackHi16(r[2], r[3]);
  const V t4 = O::UnpackLo16(r[4], r[5]), t5 = O::UnpackHi16(r[4], r[5]);
  const V t6 = O::UnpackLo16(r[6], r[7]), t7 = O::UnpackHi16(r[6], r[7]);
  const V u0 = O::UnpackLo32(t0, t2), u1 = O::UnpackHi32(t0, t2);
  const V u2 = O::UnpackLo32(t1, t3), u3 = O::UnpackHi32(t1, t3);
  const V u4 = O::UnpackLo32(t4, t6), u5 = O::UnpackHi32(t4, t6);
  const V u6 = O::UnpackLo32(t5, t7), u7 = O::UnpackHi32(t5, t7);
  r[0] = O::UnpackLo64(u0, u4);
  r[1] = O::UnpackHi64(u0, u4);
  r[2] = O::UnpackLo64(u1, u5);
  r[3] = O::UnpackHi64(u1, u5);
  r[4] = O::UnpackLo64(u2, u6);
  r[5] = O::UnpackHi64(u2, u6);
  r[6] = O::UnpackLo64(u3, u7);
  r[7] = O::UnpackHi64(u3, u7);
}

// The 8-point transform of forward_dct.cpp on every lane at once: x[i]
// holds input i of eight vectors. The butterflies a, d (and their sums and
// differences e, f) stay within 4 x 362 = 1448 and fit 16 bits; each output
// is a sum of products of them with the constants, formed in 32 bits by
// pmaddwd on interleaved pairs (c2 (a0 - a3) + c6 (a1 - a2) is one pmaddwd
// of the pair (a0 - a3, a1 - a2) with (c2, c6)), then (sum + 2^15) >> 16,
// the plain code's rounding, and packed back to 16 bits (the results stay
// within 1024, so the packing never saturates).
template <class O>
[[gnu::always_inline]] inline void DctPass(typename O::V x[8]) {
  using V = typename O::V;
  const V a0 = O::Add16(x[0], x[7]), a1 = O::Add16(x[1], x[6]);
  const V a2 = O::Add16(x[2], x[5]), a3 = O::Add16(x[3], x[4]);
  const V d0 = O::Sub16(x[0], x[7]), d1 = O::Sub16(x[1], x[6]);
  const V d2 = O::Sub16(x[2], x[5]), d3 = O::Sub16(x[3], x[4]);
  const V e0 = O::Add16(a0, a3), e1 = O::Add16(a1, a2);
  const V f0 = O::Sub16(a0, a3), f1 = O::Sub16(a1, a2);
  const V round = O::Set32(1 << 15);
  auto out = [&](V lo, V hi) {
    return O::Packs32(O::template Srai32<16>(O::Add32(lo, round)), O::template Srai32<16>(O::Add32(hi, round)));
  };
  auto two = [&](V lo, V hi, int32_t k) { return out(O::Madd(lo, O::Set32(k)), O::Madd(hi, O::Set32(k))); };
  const V eLo = O::UnpackLo16(e0, e1), eHi = O::UnpackHi16(e0, e1);
  const V fLo = O::UnpackLo16(f0, f1), fHi = O::UnpackHi16(f0, f1);
  const V dLo01 = O::UnpackLo16(d0, d1), dHi01 = O::UnpackHi16(d0, d1);
  const V dLo23 = O::UnpackLo16(d2, d3), dHi23 = O::UnpackHi16(d2, d3);
  auto odd = [&](int32_t k01, int32_t k23) {
    const V lo = O::Add32(O::Madd(dLo01, O::Set32(k01)), O::Madd(dLo23, O::Set32(k23)));
    const V hi = O::Add32(O::Madd(dHi01, O::Set32(k01)), O::Madd(dHi23, O::Set32(k23)));
    return out(lo, hi);
  };
  x[0] = two(eLo, eHi, Pair(kDctK, kDctK));   // K (a0 + a1 + a2 + a3)
  x[4] = two(eLo, eHi, Pair(kDctK, -kDctK));  // K ((a0 + a3) - (a1 + a2))
  x[2] = two(fLo, fHi, Pair(kDctC2, kDctC6));
  x[6] = two(fLo, fHi, Pair(kDctC6, -kDctC2));
  x[1] = odd(Pair(kDctC1, kDctC3), Pair(kDctC5, kDctC7));
  x[3] = odd(Pair(kDctC3, -kDctC7), Pair(-kDctC1, -kDctC5));
  x[5] = odd(Pair(kDctC5, -kDctC1), Pair(kDctC7, kDctC3));
  x[7] = odd(Pair(kDctC7, -kDctC5), Pair(kDctC3, -kDctC1));
}

// Rows in, coefficients out (natural order, row by row): the rows pass runs
// on the transposed block, the columns pass on the transposed row results.
template <class O>
[[gnu::always_inline]] inline void ForwardTransform(typename O::V r[8]) {
  Transpose8<O>(r);
  DctPass<O>(r);
  Transpose8<O>(r);
  DctPass<O>(r);
}

// Quantisation of the rows by the reciprocals (quantize.h): row v of the
// tables starts at v x pitch entries.
template <class O>
[[gnu::always_inline]] inline void QuantizeRows(typename O::V r[8], const uint16_t* mult, const uint16_t* half,
                                                const uint16_t* scale, int pitch) {
  using V = typename O::V;
  for (int v = 0; v < 8; ++v) {
    const V m = O::SignMask16(r[v]);
    const V n = O::Add16(O::Abs16(r[v], m), O::Load(half + v * pitch));
    const V t = O::MulhiU16(O::template Slli16<5>(n), O::Load(mult + v * pitch));
    r[v] = O::CopySign16(O::MulhiU16(t, O::Load(scale + v * pitch)), m);
  }
}

// Zigzag mask from the natural one: each row's eight flags index a table of
// their zigzag bits (ZigzagMasks for the standard order, evaluated while
// compiling, so no shared code runs here).
struct ZigzagRowTables {
  uint64_t rows[8][256];
};
inline constexpr ZigzagRowTables kZigzagRowTables = [] {
  uint8_t zz[64] = {};
  for (int k = 0; k < 64; ++k) zz[k] = static_cast<uint8_t>(kZigzag[k]);
  const ZigzagMasks masks(zz);
  ZigzagRowTables t{};
  for (int r = 0; r < 8; ++r) {
    for (unsigned flags = 0; flags < 256; ++flags) t.rows[r][flags] = masks.RowBits(r, flags);
  }
  return t;
}();

inline uint64_t ZigzagFromNatural(uint64_t natural) {
  uint64_t mask = 0;
  for (int r = 0; r < 8; ++r) mask |= kZigzagRowTables.rows[r][(natural >> (8 * r)) & 0xFF];
  return mask;
}

// Natural non-zero mask of one block held as eight rows of eight lanes.
inline uint64_t NaturalMask128(const __m128i r[8]) {
  uint64_t natural = 0;
  for (int p = 0; p < 4; ++p) {
    const __m128i bytes = _mm_packs_epi16(r[2 * p], r[2 * p + 1]);  // saturation keeps non-zero non-zero
    const uint32_t zero = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
    natural |= static_cast<uint64_t>(~zero & 0xFFFFu) << (16 * p);
  }
  return natural;
}

// One block through the 128-bit kernels: transform, quantisation, mask.
inline void TransformQuantizeOne(int16_t* block, const QuantReciprocals& q, uint64_t* mask) {
  __m128i r[8];
  for (int v = 0; v < 8; ++v) r[v] = Ops128::Load(block + 8 * v);
  ForwardTransform<Ops128>(r);
  QuantizeRows<Ops128>(r, q.mult, q.half, q.scale, 8);
  for (int v = 0; v < 8; ++v) Ops128::Store(block + 8 * v, r[v]);
  *mask = ZigzagFromNatural(NaturalMask128(r));
}

// ---------------------------------------------------------------------------
// Colour conversion

// RgbToYcc on a run of samples held as 16-bit lanes (0 .. 255): Y comes back
// level-shifted (Y - 128) in 16-bit lanes, Cb and Cr as 32-bit lanes in the
// order of the unpacks (lo: lanes 0-3 of each half, hi: lanes 4-7). Each
// product pair is one pmaddwd with the weights of color.h: (R, G) x (77, 150)
// plus (B, 1) x (29, 128) is 77 R + 150 G + 29 B + 128, the plain sum
// before its floor shift.
template <class O>
struct Ycc {
  typename O::V y;
  typename O::V cbLo, cbHi, crLo, crHi;
};
template <class O>
[[gnu::always_inline]] inline Ycc<O> RgbToYccLanes(typename O::V r, typename O::V g, typename O::V b) {
  using V = typename O::V;
  const V one = O::Set16(1);
  const V rgLo = O::UnpackLo16(r, g), rgHi = O::UnpackHi16(r, g);
  const V b1Lo = O::UnpackLo16(b, one), b1Hi = O::UnpackHi16(b, one);
  auto weigh = [&](V rg, V b1, int32_t krg, int32_t kb1) {
    return O::template Srai32<8>(O::Add32(O::Madd(rg, O::Set32(krg)), O::Madd(b1, O::Set32(kb1))));
  };
  constexpr int32_t kYrg = Pair(kRedToY, kGreenToY), kYb = Pair(kBlueToY, 128);
  constexpr int32_t kCbrg = Pair(-kRedToCb, -kGreenToCb), kCbb = Pair(kBlueToCb, 128);
  constexpr int32_t kCrrg = Pair(kRedToCr, -kGreenToCr), kCrb = Pair(-kBlueToCr, 128);
  Ycc<O> out;
  out.y = O::Sub16(O::Packs32(weigh(rgLo, b1Lo, kYrg, kYb), weigh(rgHi, b1Hi, kYrg, kYb)), O::Set16(128));
  out.cbLo = weigh(rgLo, b1Lo, kCbrg, kCbb);
  out.cbHi = weigh(rgHi, b1Hi, kCbrg, kCbb);
  out.crLo = weigh(rgLo, b1Lo, kCrrg, kCrb);
  out.crHi = weigh(rgHi, b1Hi, kCrrg, kCrb);
  return out;
}

// Sums of horizontally adjacent samples: the 32-bit halves packed back to
// 16 bits (chroma lies in -127 .. 128), then one pmaddwd with ones.
template <class O>
[[gnu::always_inline]] inline typename O::V PairSums(typename O::V lo, typename O::V hi) {
  return O::Madd(O::Packs32(lo, hi), O::Set16(1));
}

// sum / 2 and sum / 4 truncated toward zero, as C's division does: a
// negative sum gets 1 (or 3) added before the floor shift.
template <class O>
[[gnu::always_inline]] inline typename O::V HalveTowardZero(typename O::V s) {
  return O::template Srai32<1>(O::Add32(s, O::template Srli32<31>(s)));
}
template <class O>
[[gnu::always_inline]] inline typename O::V QuarterTowardZero(typename O::V s) {
  return O::template Srai32<2>(O::Add32(s, O::template Srli32<30>(O::template Srai32<31>(s))));
}

}  // namespace
}  // namespace rk
