// Colour conversion between YCbCr and RGB: the one definition of the
// weights, the clamp and the per-sample arithmetic that every codec uses
// (the CAM decoder, the JPEG decoders' MCU reconstruction, the encoders'
// pixel gathering, and the YccToRgb / RgbToYcc kernels of kernels.h).
//
// Weights are the T.81/JFIF matrix in 8-bit fractions, rounded:
//   359 = round(1.402 * 256), 88 = round(0.344136 * 256),
//   182 = round(0.714136 * 256), 454 = round(1.772 * 256);
//   77 / 150 / 29 = round(0.299 / 0.587 / 0.114 * 256), summing to 256 so
//   that white (255, 255, 255) gives Y = 255; the chrominance rows sum to 0
//   (-43 - 85 + 128, 128 - 107 - 21), so grey gives Cb = Cr = 0.
//
// YCbCr to RGB splits into a chrominance term per channel and one addition:
// 256 Y is a multiple of 256, so with floor shifts
//   (256 Y + t + 128) >> 8 == Y + ((t + 128) >> 8)   for every integer t.
// Worked example, (Y, Cb, Cr) = (255, 0, 127): the red term is
// (359 * 127 + 128) >> 8 = 178, so R = clamp(255 + 178) = 255; the green
// term is (-182 * 127 + 128) >> 8 = -90, G = 165; B = 255 + 0 = 255.
// Decoders that share one chrominance sample between several luminance
// samples compute the terms once and add them per pixel; the SIMD copy
// below does the same products with the same constants.
#pragma once

#include <algorithm>
#include <cstdint>

#include "cam/simd_target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if RK_X86_SIMD
#include <immintrin.h>
#endif

namespace rk {

inline constexpr int32_t kCrToRed = 359;
inline constexpr int32_t kCbToGreen = 88;
inline constexpr int32_t kCrToGreen = 182;
inline constexpr int32_t kCbToBlue = 454;

inline constexpr int32_t kRedToY = 77, kGreenToY = 150, kBlueToY = 29;
inline constexpr int32_t kRedToCb = 43, kGreenToCb = 85, kBlueToCb = 128;
inline constexpr int32_t kRedToCr = 128, kGreenToCr = 107, kBlueToCr = 21;
static_assert(kRedToY + kGreenToY + kBlueToY == 256);
static_assert(kBlueToCb == kRedToCb + kGreenToCb && kRedToCr == kGreenToCr + kBlueToCr);
// Any 16-bit inputs keep every product and sum inside 32 bits:
// 454 * 32768 + 256 * 32768 + 128 < 2^31.
static_assert((kCbToBlue + 256) * 32768ll + 128 < (1ll << 31));

// min/max, which compilers turn into vector min/max in the row loops.
[[nodiscard]] constexpr int32_t Clamp255(int32_t v) { return std::min(std::max(v, int32_t{0}), int32_t{255}); }
// The same for 64-bit sums: resampling totals and the camera's white-balance
// products (a sample times a 16.16 gain) pass 32 bits.
[[nodiscard]] constexpr int64_t Clamp255(int64_t v) { return std::min(std::max(v, int64_t{0}), int64_t{255}); }

// The chrominance part of R, G and B for Cb, Cr centred on 0.
struct ChromaTerms {
  int32_t red, green, blue;
};
[[nodiscard]] constexpr ChromaTerms ChromaTermsOf(int32_t cb, int32_t cr) {
  return {(kCrToRed * cr + 128) >> 8, (-kCbToGreen * cb - kCrToGreen * cr + 128) >> 8,
          (kCbToBlue * cb + 128) >> 8};
}

struct RgbValues {
  int32_t red, green, blue;
};
// Y in 0..255 (after the level shift), Cb and Cr centred on 0; each channel
// clamped to 0..255.
[[nodiscard]] constexpr RgbValues YccToRgbValues(int32_t y, int32_t cb, int32_t cr) {
  const ChromaTerms t = ChromaTermsOf(cb, cr);
  return {Clamp255(y + t.red), Clamp255(y + t.green), Clamp255(y + t.blue)};
}

// RGB to Y, Cb, Cr (Cb, Cr centred on 0), unclamped.
[[nodiscard]] constexpr int32_t LumaOf(int32_t r, int32_t g, int32_t b) {
  return (kRedToY * r + kGreenToY * g + kBlueToY * b + 128) >> 8;
}
[[nodiscard]] constexpr int32_t CbOf(int32_t r, int32_t g, int32_t b) {
  return (-kRedToCb * r - kGreenToCb * g + kBlueToCb * b + 128) >> 8;
}
[[nodiscard]] constexpr int32_t CrOf(int32_t r, int32_t g, int32_t b) {
  return (kRedToCr * r - kGreenToCr * g - kBlueToCr * b + 128) >> 8;
}

static_assert(YccToRgbValues(255, 0, 127).red == 255 && YccToRgbValues(255, 0, 127).green == 165);
static_assert(LumaOf(255, 255, 255) == 255 && CbOf(255, 255, 255) == 0 && CrOf(255, 255, 255) == 0);

#if defined(__SSE2__)
// YccToRgbValues on eight samples: y (level-shifted), cb and cr as signed
// 16-bit lanes; R, G and B come back as eight bytes in the low half of each
// result. Each product pair is one pmaddwd: (Cr, 1) x (359, 128) gives
// 359 Cr + 128 in 32 bits, exactly the scalar term before its shift;
// packs then packus saturate Y + term to 0..255, the clamp.
struct RgbBytes8 {
  __m128i red, green, blue;
};
[[gnu::always_inline]] inline RgbBytes8 YccToRgb8(__m128i y, __m128i cb, __m128i cr) {
  const __m128i one = _mm_set1_epi16(1);
  const __m128i toRed = _mm_set1_epi32(kCrToRed | 128 << 16);
  const __m128i toGreen = _mm_set1_epi32((-kCbToGreen & 0xFFFF) | -kCrToGreen * 65536);
  const __m128i toBlue = _mm_set1_epi32(kCbToBlue | 128 << 16);
  const __m128i round = _mm_set1_epi32(128);
  const __m128i ylo = _mm_srai_epi32(_mm_unpacklo_epi16(y, y), 16);
  const __m128i yhi = _mm_srai_epi32(_mm_unpackhi_epi16(y, y), 16);
  auto channel = [&](__m128i lo, __m128i hi) {
    return _mm_packus_epi16(_mm_packs_epi32(_mm_add_epi32(ylo, _mm_srai_epi32(lo, 8)),
                                            _mm_add_epi32(yhi, _mm_srai_epi32(hi, 8))),
                            _mm_setzero_si128());
  };
  RgbBytes8 out;
  out.red = channel(_mm_madd_epi16(_mm_unpacklo_epi16(cr, one), toRed),
                    _mm_madd_epi16(_mm_unpackhi_epi16(cr, one), toRed));
  out.green = channel(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), toGreen), round),
                      _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), toGreen), round));
  out.blue = channel(_mm_madd_epi16(_mm_unpacklo_epi16(cb, one), toBlue),
                     _mm_madd_epi16(_mm_unpackhi_epi16(cb, one), toBlue));
  return out;
}
#endif

#if RK_X86_SIMD
// The chrominance terms of ChromaTermsOf on eight (Cb, Cr) pairs in 16-bit
// lanes, for Cb and Cr within -kChromaShortRange..kChromaShortRange - 1
// (valid streams stay far inside), where every term fits in 16 bits and
// Y + term saturated to 16 bits clamps to 0..255 exactly as the 32-bit sum.
// Red and blue split their weight into 256 + a rest below 256:
//   (359 Cr + 128) >> 8 = Cr + ((103 Cr + 128) >> 8)
//                       = Cr + ((13184 Cr + 2^14) >> 15) = Cr + pmulhrsw(Cr, 103 * 128),
// multiplying the fraction by 128 / 128 (103 * 128 = 13184 fits a 16-bit
// lane); blue likewise with 454 - 256 = 198. Green sums two products before
// its one rounding, so it keeps the 32-bit pmaddwd of YccToRgb8.
inline constexpr int32_t kChromaShortRange = 16384;
static_assert((kCbToBlue * kChromaShortRange + 128) >> 8 < 32768 &&
              ((kCbToGreen + kCrToGreen) * kChromaShortRange + 128) >> 8 < 32768 &&
              (kCrToRed * kChromaShortRange + 128) >> 8 < 32768);
static_assert((kCrToRed - 256) * 128 < 32768 && (kCbToBlue - 256) * 128 < 32768);
struct ChromaTerms8 {
  __m128i red, green, blue;
};
RK_AVX2 inline ChromaTerms8 ChromaTerms8Of(__m128i cb, __m128i cr) {
  const __m128i toGreen = _mm_set1_epi32((-kCbToGreen & 0xFFFF) | -kCrToGreen * 65536);
  const __m128i round = _mm_set1_epi32(128);
  const __m128i lo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), toGreen), round), 8);
  const __m128i hi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), toGreen), round), 8);
  return {_mm_add_epi16(cr, _mm_mulhrs_epi16(cr, _mm_set1_epi16((kCrToRed - 256) * 128))),
          _mm_packs_epi32(lo, hi),
          _mm_add_epi16(cb, _mm_mulhrs_epi16(cb, _mm_set1_epi16((kCbToBlue - 256) * 128)))};
}
// y + term on sixteen 16-bit lanes, saturated: with the term inside 16
// bits the saturation keeps the sign and the side of 255 of the exact sum,
// so a packus to bytes afterwards clamps exactly as Clamp255 does.
RK_AVX2 inline __m256i AddTerm16(__m256i y, __m256i term) { return _mm256_adds_epi16(y, term); }
#endif

}  // namespace rk
