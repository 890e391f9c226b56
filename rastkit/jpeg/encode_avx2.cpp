// AVX2 kernels of the encoders. This file alone is compiled with -mavx2
// (rastkit/CMakeLists.txt), and its functions run only when the CPU has
// AVX2 (VectorKernelsFor). It therefore includes nothing whose inline code
// other files share: the standard library's templates and the project's
// inline functions would otherwise be compiled here with AVX2 and could
// stand in for the plain copies at link time.
#if defined(__x86_64__)

#include "encode_simd.h"
#include "encode_simd_body.h"

#if !defined(__AVX2__)
#error "compile this file with -mavx2"
#endif

namespace rk::avx2 {
namespace {

using O = Ops256;

// ---------------------------------------------------------------------------
// Zigzag masks of two blocks

// The 64 coefficients of a block as bytes (packed with saturation, which
// keeps non-zero values non-zero) lie in two registers, x = natural bytes
// 0-31 and y = 32-63. Every 16-byte half of the zigzag-ordered result takes
// bytes from all four 16-byte chunks, but a byte shuffle only reads its own
// half; so the chunks are offered in both halves (x and y as they are, and
// with their halves swapped) and four shuffles, each picking the bytes whose
// chunk it holds and zeroing the rest, are ORed together.
struct ZigzagShuffles {
  alignas(32) uint8_t at[2][4][32];  // [zigzag half][source: x, x swapped, y, y swapped][byte]
};
inline constexpr ZigzagShuffles kZigzagShuffles = [] {
  ZigzagShuffles t{};
  for (int h = 0; h < 2; ++h) {
    for (int lane = 0; lane < 2; ++lane) {
      // The chunk each source holds in this half of the register.
      const int held[4] = {lane, 1 - lane, 2 + lane, 3 - lane};
      for (int j = 0; j < 16; ++j) {
        const int natural = kZigzag[32 * h + 16 * lane + j];
        for (int src = 0; src < 4; ++src) {
          t.at[h][src][16 * lane + j] = static_cast<uint8_t>(held[src] == natural / 16 ? natural % 16 : 0x80);
        }
      }
    }
  }
  return t;
}();

inline uint64_t ZigzagMask(__m256i x, __m256i y) {
  const __m256i xs = _mm256_permute4x64_epi64(x, 0x4E);
  const __m256i ys = _mm256_permute4x64_epi64(y, 0x4E);
  const __m256i zero = _mm256_setzero_si256();
  uint64_t zeros = 0;
  for (int h = 0; h < 2; ++h) {
    const auto& m = kZigzagShuffles.at[h];
    const __m256i z = _mm256_or_si256(
        _mm256_or_si256(_mm256_shuffle_epi8(x, O::Load(m[0])), _mm256_shuffle_epi8(xs, O::Load(m[1]))),
        _mm256_or_si256(_mm256_shuffle_epi8(y, O::Load(m[2])), _mm256_shuffle_epi8(ys, O::Load(m[3]))));
    zeros |= static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(z, zero)))) << (32 * h);
  }
  return ~zeros;
}

// r[v]: row v of block A (low half) and of block B (high half).
inline void PairMasks(const __m256i r[8], uint64_t* masks) {
  const __m256i p01 = _mm256_packs_epi16(r[0], r[1]);
  const __m256i p23 = _mm256_packs_epi16(r[2], r[3]);
  const __m256i p45 = _mm256_packs_epi16(r[4], r[5]);
  const __m256i p67 = _mm256_packs_epi16(r[6], r[7]);
  masks[0] = ZigzagMask(_mm256_permute2x128_si256(p01, p23, 0x20), _mm256_permute2x128_si256(p45, p67, 0x20));
  masks[1] = ZigzagMask(_mm256_permute2x128_si256(p01, p23, 0x31), _mm256_permute2x128_si256(p45, p67, 0x31));
}

// ---------------------------------------------------------------------------
// Pixels

// Sixteen pixels as 16-bit R, G and B lanes (pixels 0-7 in the low half,
// 8-15 in the high one). Four 16-byte loads hold four pixels each (for 3
// bytes a pixel, the last load starts 4 bytes early so that it ends with
// the 16th pixel); the byte shuffles turn each four into R0-3 G0-3 B0-3,
// and the unpacks interleave the fours and widen the bytes.
template <int kStride>
[[gnu::always_inline]] inline void LoadRgb16(const uint8_t* p, __m256i shufA, __m256i shufB, __m256i& r, __m256i& g,
                                             __m256i& b) {
  auto load = [](const uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  __m256i a, c;
  if constexpr (kStride == 3) {
    a = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p)), load(p + 24), 1);
    c = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p + 12)), load(p + 32), 1);
  } else {
    a = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p)), load(p + 32), 1);
    c = _mm256_inserti128_si256(_mm256_castsi128_si256(load(p + 16)), load(p + 48), 1);
  }
  a = _mm256_shuffle_epi8(a, shufA);
  c = _mm256_shuffle_epi8(c, shufB);
  const __m256i u = _mm256_unpacklo_epi32(a, c);  // R0-3 R4-7 G0-3 G4-7
  const __m256i w = _mm256_unpackhi_epi32(a, c);  // B0-3 B4-7 0 0
  const __m256i zero = _mm256_setzero_si256();
  r = _mm256_unpacklo_epi8(u, zero);
  g = _mm256_unpackhi_epi8(u, zero);
  b = _mm256_unpacklo_epi8(w, zero);
}

inline void StoreHalves(int16_t* lo, int16_t* hi, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lo), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(hi), _mm256_extracti128_si256(v, 1));
}

// One image row of 16 pixels: its luminance goes to the rows of the two
// blocks side by side; the pair sums of Cb and Cr (chroma columns 0-3 in
// the low half, 4-7 in the high one) are returned.
struct RowSums {
  __m256i cb, cr;
};
template <int kStride>
[[gnu::always_inline]] inline RowSums Row16(const uint8_t* p, __m256i shufA, __m256i shufB, int16_t* yLeft,
                                            int16_t* yRight) {
  __m256i r, g, b;
  LoadRgb16<kStride>(p, shufA, shufB, r, g, b);
  const Ycc<O> c = RgbToYccLanes<O>(r, g, b);
  StoreHalves(yLeft, yRight, c.y);
  return {PairSums<O>(c.cbLo, c.cbHi), PairSums<O>(c.crLo, c.crHi)};
}

// Averaged Cb and Cr (32-bit) to one chroma row each: packed together the
// halves read Cb 0-3, Cr 0-3 | Cb 4-7, Cr 4-7; the qword permute puts the
// Cb row in the low half and the Cr row in the high one.
inline void StoreChroma(int16_t* cb, int16_t* cr, __m256i cbAvg, __m256i crAvg) {
  StoreHalves(cb, cr, _mm256_permute4x64_epi64(_mm256_packs_epi32(cbAvg, crAvg), 0xD8));
}

template <int kStride>
void Pixels422Impl(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& s, int16_t* blocks) {
  const __m256i shufA = O::Load(s.first), shufB = O::Load(s.second);
  for (int r = 0; r < 8; ++r) {
    const RowSums sums = Row16<kStride>(top + r * rowStep, shufA, shufB, blocks + 8 * r, blocks + 64 + 8 * r);
    StoreChroma(blocks + 128 + 8 * r, blocks + 192 + 8 * r, HalveTowardZero<O>(sums.cb), HalveTowardZero<O>(sums.cr));
  }
}

template <int kStride>
void Pixels420Impl(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& s, int16_t* blocks) {
  const __m256i shufA = O::Load(s.first), shufB = O::Load(s.second);
  for (int j = 0; j < 8; ++j) {
    int16_t* y = blocks + (j < 4 ? 0 : 128) + 16 * (j & 3);  // rows 2j and 2j + 1 of the luminance blocks
    const RowSums a = Row16<kStride>(top + 2 * j * rowStep, shufA, shufB, y, y + 64);
    const RowSums b = Row16<kStride>(top + (2 * j + 1) * rowStep, shufA, shufB, y + 8, y + 72);
    StoreChroma(blocks + 256 + 8 * j, blocks + 320 + 8 * j, QuarterTowardZero<O>(O::Add32(a.cb, b.cb)),
                QuarterTowardZero<O>(O::Add32(a.cr, b.cr)));
  }
}

}  // namespace

// Blocks two at a time (the pair's reciprocals side by side), an odd last
// block through the 128-bit kernels.
void TransformQuantize(int16_t* blocks, const McuQuant& quant, uint64_t* masks) {
  int b = 0;
  for (; b + 1 < quant.blocks; b += 2) {
    int16_t* first = blocks + 64 * b;
    int16_t* second = first + 64;
    __m256i r[8];
    for (int v = 0; v < 8; ++v) {
      r[v] = _mm256_inserti128_si256(
          _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 8 * v))),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 8 * v)), 1);
    }
    ForwardTransform<O>(r);
    const QuantReciprocalPair& q = quant.pair[b / 2];
    QuantizeRows<O>(r, q.mult, q.half, q.scale, 16);
    for (int v = 0; v < 8; ++v) StoreHalves(first + 8 * v, second + 8 * v, r[v]);
    PairMasks(r, masks + b);
  }
  if (b < quant.blocks) TransformQuantizeOne(blocks + 64 * b, quant.block[b], masks + b);
}

void Pixels422(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& s, int16_t* blocks) {
  if (s.stride == 3) {
    Pixels422Impl<3>(top, rowStep, s, blocks);
  } else {
    Pixels422Impl<4>(top, rowStep, s, blocks);
  }
}

void Pixels420(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& s, int16_t* blocks) {
  if (s.stride == 3) {
    Pixels420Impl<3>(top, rowStep, s, blocks);
  } else {
    Pixels420Impl<4>(top, rowStep, s, blocks);
  }
}

}  // namespace rk::avx2

#endif  // __x86_64__
