// The inverse transform of idct.cpp with AVX2, two blocks at once: block a
// in the low 128 bits of every register, block b in the high 128 bits. The
// unpack instructions of the 8x8 transpose work within each 128-bit half,
// so the SSE2 routine's steps carry over lane for lane and each pass treats
// eight rows (or columns) of both blocks.
//
// Two forms, both bit-exact with reference::InverseTransformBlock:
//
//  - Generic: the SSE2 routine's arithmetic, widened. It holds for any
//    constants and any coefficients (the 16-bit wrap of every stored value
//    included).
//
//  - Short: with the standard constants and dequantised coefficients in
//    -4096..4095 (every block of a valid 8-bit stream: its coefficients lie
//    within about +-1100), two exact shortcuts apply:
//     * M(a, k) = (a * k + 2^15) >> 16 for an even k equals
//       (a * (k / 2) + 2^14) >> 15, which is pmulhrsw(a, k / 2): one
//       instruction instead of four. Six of the eight constants are even;
//       s1 = 6393 and s3 = 18205 keep the four-instruction form.
//     * R(a) = (a * r + 2^14) >> 15 is pmulhrsw(a, r) whenever a itself fits
//       in 16 bits, with no 32-bit detour. With inputs within +-4096 the row
//       pass gives |a| <= 7424 and outputs within +-10822; on those the
//       column pass gives |a| <= 19612 < 32768 (worked out over every sign
//       pattern of extreme inputs, which is where these sums peak). The
//       other sums of the routine may wrap freely: only their low 16 bits
//       reach the stored outputs, exactly as in 16-bit stores.
#include <cstdint>
#include <cstring>

#include "cam/kernels.h"
#include "cam/simd_target.h"

#if RK_X86_SIMD
#include <immintrin.h>

namespace rk {
namespace avx2 {
namespace {

// The constants as the module table holds them: r, c4, c1, c2, c3, s1, s2, s3.
constexpr int16_t kStandard[8] = {23170, 23170, 32138, 30274, 27246, 6393, 12540, 18205};
// Dequantised coefficients inside -kShortBound..kShortBound - 1 take the
// short form (see above).
constexpr int kShortBound = 4096;

RK_AVX2 inline __m256i Set(int v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }

// M(a, k) for any k: high half of the product plus the rounding carry from
// the top bit of the low half.
RK_AVX2 inline __m256i MulRound(__m256i a, __m256i k) {
  return _mm256_add_epi16(_mm256_mulhi_epi16(a, k), _mm256_srli_epi16(_mm256_mullo_epi16(a, k), 15));
}

RK_AVX2 inline void Transpose(__m256i* v) {
  const __m256i a0 = _mm256_unpacklo_epi16(v[0], v[1]), a1 = _mm256_unpackhi_epi16(v[0], v[1]);
  const __m256i a2 = _mm256_unpacklo_epi16(v[2], v[3]), a3 = _mm256_unpackhi_epi16(v[2], v[3]);
  const __m256i a4 = _mm256_unpacklo_epi16(v[4], v[5]), a5 = _mm256_unpackhi_epi16(v[4], v[5]);
  const __m256i a6 = _mm256_unpacklo_epi16(v[6], v[7]), a7 = _mm256_unpackhi_epi16(v[6], v[7]);
  const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
  const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
  const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
  const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
  v[0] = _mm256_unpacklo_epi64(b0, b4), v[1] = _mm256_unpackhi_epi64(b0, b4);
  v[2] = _mm256_unpacklo_epi64(b1, b5), v[3] = _mm256_unpackhi_epi64(b1, b5);
  v[4] = _mm256_unpacklo_epi64(b2, b6), v[5] = _mm256_unpackhi_epi64(b2, b6);
  v[6] = _mm256_unpacklo_epi64(b3, b7), v[7] = _mm256_unpackhi_epi64(b3, b7);
}

// The outputs of the 8-point routine from its parts (shared by both forms).
RK_AVX2 inline void Outputs(__m256i* x, __m256i p, __m256i q, __m256i u, __m256i w, __m256i a, __m256i b,
                            __m256i e, __m256i f, __m256i g, __m256i h) {
  const __m256i gg = _mm256_add_epi16(g, e);
  const __m256i hh = _mm256_add_epi16(h, f);
  const __m256i pq = _mm256_add_epi16(p, q);
  const __m256i uw = _mm256_add_epi16(u, w);
  x[0] = _mm256_add_epi16(gg, pq);
  x[1] = _mm256_add_epi16(hh, a);
  x[2] = _mm256_sub_epi16(_mm256_add_epi16(h, b), f);
  x[3] = _mm256_sub_epi16(_mm256_add_epi16(g, uw), e);
  x[4] = _mm256_sub_epi16(_mm256_sub_epi16(g, uw), e);
  x[5] = _mm256_sub_epi16(_mm256_sub_epi16(h, b), f);
  x[6] = _mm256_sub_epi16(hh, a);
  x[7] = _mm256_sub_epi16(gg, pq);
}

struct GenericConstants {
  __m256i r, c4, c1, c2, c3, s1, s2, s3;
};

// x - y of int16 pairs, as two vectors of eight int32 (per 128-bit half:
// the low four lanes, then the high four).
RK_AVX2 inline void Difference32(__m256i x, __m256i y, __m256i* lo, __m256i* hi) {
  const __m256i plusMinus = _mm256_set1_epi32(static_cast<int>(0xFFFF0001u));  // (1, -1)
  *lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(x, y), plusMinus);
  *hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(x, y), plusMinus);
}

// Low 16 bits of R(a) from a wrapped to 16 bits and a >> 15 (see idct.cpp).
RK_AVX2 inline __m256i RoundR(__m256i a16, __m256i hi16, __m256i r) {
  const __m256i lo = _mm256_and_si256(a16, Set(0x7FFF));
  const __m256i h = _mm256_mulhi_epi16(lo, r);
  const __m256i l = _mm256_srli_epi16(_mm256_mullo_epi16(lo, r), 14);
  const __m256i low = _mm256_add_epi16(_mm256_add_epi16(h, h), _mm256_srli_epi16(_mm256_add_epi16(l, Set(1)), 1));
  return _mm256_add_epi16(_mm256_mullo_epi16(hi16, r), low);
}

RK_AVX2 inline void PassGeneric(__m256i* x, const GenericConstants& k) {
  const __m256i m1c1 = MulRound(x[1], k.c1), m7s1 = MulRound(x[7], k.s1);
  const __m256i m3c3 = MulRound(x[3], k.c3), m5s3 = MulRound(x[5], k.s3);
  const __m256i m1s1 = MulRound(x[1], k.s1), m7c1 = MulRound(x[7], k.c1);
  const __m256i m5c3 = MulRound(x[5], k.c3), m3s3 = MulRound(x[3], k.s3);
  const __m256i p = _mm256_add_epi16(m1c1, m7s1);
  const __m256i q = _mm256_add_epi16(m3c3, m5s3);
  const __m256i u = _mm256_sub_epi16(m1s1, m7c1);
  const __m256i w = _mm256_sub_epi16(m5c3, m3s3);

  // a = (p - q) + (u - w) and b = (p - q) - (u - w) in 32 bits, for a >> 15.
  __m256i dLo, dHi, uLo, uHi, wLo, wHi;
  Difference32(p, q, &dLo, &dHi);
  Difference32(m1s1, m7c1, &uLo, &uHi);
  Difference32(m5c3, m3s3, &wLo, &wHi);
  const __m256i uwLo = _mm256_sub_epi32(uLo, wLo), uwHi = _mm256_sub_epi32(uHi, wHi);
  const __m256i aHi = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(dLo, uwLo), 15),
                                         _mm256_srai_epi32(_mm256_add_epi32(dHi, uwHi), 15));
  const __m256i bHi = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_sub_epi32(dLo, uwLo), 15),
                                         _mm256_srai_epi32(_mm256_sub_epi32(dHi, uwHi), 15));
  const __m256i d16 = _mm256_sub_epi16(p, q);
  const __m256i uw16 = _mm256_sub_epi16(u, w);
  const __m256i a = RoundR(_mm256_add_epi16(d16, uw16), aHi, k.r);
  const __m256i b = RoundR(_mm256_sub_epi16(d16, uw16), bHi, k.r);

  const __m256i e = _mm256_add_epi16(MulRound(x[2], k.c2), MulRound(x[6], k.s2));
  const __m256i f = _mm256_sub_epi16(MulRound(x[2], k.s2), MulRound(x[6], k.c2));
  const __m256i m0 = MulRound(x[0], k.c4);
  const __m256i m4 = MulRound(x[4], k.c4);
  Outputs(x, p, q, u, w, a, b, e, f, _mm256_add_epi16(m0, m4), _mm256_sub_epi16(m0, m4));
}

// Standard constants, the even ones halved for pmulhrsw.
struct ShortConstants {
  __m256i r, c4h, c1h, c2h, c3h, s1, s2h, s3;
};

RK_AVX2 inline void PassShort(__m256i* x, const ShortConstants& k) {
  const __m256i m1c1 = _mm256_mulhrs_epi16(x[1], k.c1h), m7s1 = MulRound(x[7], k.s1);
  const __m256i m3c3 = _mm256_mulhrs_epi16(x[3], k.c3h), m5s3 = MulRound(x[5], k.s3);
  const __m256i m1s1 = MulRound(x[1], k.s1), m7c1 = _mm256_mulhrs_epi16(x[7], k.c1h);
  const __m256i m5c3 = _mm256_mulhrs_epi16(x[5], k.c3h), m3s3 = MulRound(x[3], k.s3);
  const __m256i p = _mm256_add_epi16(m1c1, m7s1);
  const __m256i q = _mm256_add_epi16(m3c3, m5s3);
  const __m256i u = _mm256_sub_epi16(m1s1, m7c1);
  const __m256i w = _mm256_sub_epi16(m5c3, m3s3);
  const __m256i d = _mm256_sub_epi16(p, q);
  const __m256i uw = _mm256_sub_epi16(u, w);
  const __m256i a = _mm256_mulhrs_epi16(_mm256_add_epi16(d, uw), k.r);
  const __m256i b = _mm256_mulhrs_epi16(_mm256_sub_epi16(d, uw), k.r);

  const __m256i e = _mm256_add_epi16(_mm256_mulhrs_epi16(x[2], k.c2h), _mm256_mulhrs_epi16(x[6], k.s2h));
  const __m256i f = _mm256_sub_epi16(_mm256_mulhrs_epi16(x[2], k.s2h), _mm256_mulhrs_epi16(x[6], k.c2h));
  const __m256i m0 = _mm256_mulhrs_epi16(x[0], k.c4h);
  const __m256i m4 = _mm256_mulhrs_epi16(x[4], k.c4h);
  Outputs(x, p, q, u, w, a, b, e, f, _mm256_add_epi16(m0, m4), _mm256_sub_epi16(m0, m4));
}

RK_AVX2 inline __m256i LoadPair(const void* a, const void* b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(static_cast<const __m128i*>(a))),
                                 _mm_loadu_si128(static_cast<const __m128i*>(b)), 1);
}

RK_AVX2 inline void StorePair(void* a, void* b, __m256i v) {
  _mm_storeu_si128(static_cast<__m128i*>(a), _mm256_castsi256_si128(v));
  _mm_storeu_si128(static_cast<__m128i*>(b), _mm256_extracti128_si256(v, 1));
}

inline int32_t M(int32_t a, int32_t k) { return (a * k + 32768) >> 16; }

// Blocks a and b (which may be the same block) dequantised and transformed.
RK_AVX2 void TransformPair(const int16_t* kc, bool standard, int16_t* a, const uint16_t* qa, int16_t* b,
                           const uint16_t* qb) {
  __m256i x[8];
  for (int i = 0; i < 8; ++i) {
    x[i] = _mm256_mullo_epi16(LoadPair(a + 8 * i, b + 8 * i), LoadPair(qa + 8 * i, qb + 8 * i));
  }
  // Both blocks DC only: M(M(dc, c4), c4) everywhere (see idct.cpp).
  __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_or_si256(x[1], x[2]), _mm256_or_si256(x[3], x[4])),
                                _mm256_or_si256(_mm256_or_si256(x[5], x[6]), x[7]));
  const __m256i noDc = _mm256_setr_epi16(0, -1, -1, -1, -1, -1, -1, -1, 0, -1, -1, -1, -1, -1, -1, -1);
  any = _mm256_or_si256(any, _mm256_and_si256(x[0], noDc));
  if (_mm256_testz_si256(any, any)) {
    const int32_t c4 = kc[1];
    const auto dcA = static_cast<int16_t>(M(M(static_cast<int16_t>(_mm256_extract_epi16(x[0], 0)), c4), c4));
    const auto dcB = static_cast<int16_t>(M(M(static_cast<int16_t>(_mm256_extract_epi16(x[0], 8)), c4), c4));
    const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi16(dcA)), _mm_set1_epi16(dcB), 1);
    for (int i = 0; i < 8; ++i) StorePair(a + 8 * i, b + 8 * i, v);
    return;
  }
  bool inRange = standard;
  if (inRange) {
    // x + 4096 (wrapping) lies in 0..8191 exactly for x in -4096..4095.
    const __m256i shift = Set(kShortBound);
    __m256i acc = _mm256_setzero_si256();
    for (int i = 0; i < 8; ++i) acc = _mm256_or_si256(acc, _mm256_add_epi16(x[i], shift));
    inRange = _mm256_testz_si256(acc, Set(static_cast<int16_t>(~(2 * kShortBound - 1))));
  }
  Transpose(x);
  if (inRange) {
    const ShortConstants k{Set(kc[0]),     Set(kc[1] / 2), Set(kc[2] / 2), Set(kc[3] / 2),
                           Set(kc[4] / 2), Set(kc[5]),     Set(kc[6] / 2), Set(kc[7])};
    PassShort(x, k);
    Transpose(x);
    PassShort(x, k);
  } else {
    const GenericConstants k{Set(kc[0]), Set(kc[1]), Set(kc[2]), Set(kc[3]),
                             Set(kc[4]), Set(kc[5]), Set(kc[6]), Set(kc[7])};
    PassGeneric(x, k);
    Transpose(x);
    PassGeneric(x, k);
  }
  for (int i = 0; i < 8; ++i) StorePair(a + 8 * i, b + 8 * i, x[i]);
}

}  // namespace

void DequantizeTransformBlocks(const int16_t* idctConst, int16_t* blocks, const uint16_t* const* quant, int count) {
  const bool standard = std::memcmp(idctConst, kStandard, sizeof kStandard) == 0;
  int i = 0;
  for (; i + 1 < count; i += 2) {
    TransformPair(idctConst, standard, blocks + 64 * i, quant[i], blocks + 64 * (i + 1), quant[i + 1]);
  }
  if (i < count) {
    int16_t* last = blocks + 64 * i;
    TransformPair(idctConst, standard, last, quant[i], last, quant[i]);
  }
}

}  // namespace avx2
}  // namespace rk

#endif  // RK_X86_SIMD
