// MCU reconstruction with AVX2 for the pictures cameras write: YCbCr with
// both chrominance components halved across (4:2:0, 4:2:2) into the
// program's 24-bit BGR bitmap. Upsampling and colour conversion are merged:
// the chrominance terms of a chroma row are computed once (ChromaTerms8Of,
// color.h) and doubled across, each 16-pixel luminance row of the MCU adds
// them, and the 48 bytes of B, G, R come from three byte shuffles.
#include <cstring>

#include "cam/color.h"
#include "cam/simd_target.h"
#include "mcu_reconstruct.h"

#if RK_X86_SIMD
#include <immintrin.h>

namespace rk {
namespace avx2 {
namespace {

constexpr int kMcuWidth = 16;

// Chroma samples outside the short range need the 32-bit arithmetic.
RK_AVX2 bool ChromaInShortRange(const int16_t* blocks, int count) {
  // v + 16384 (wrapping) has its top bit clear exactly for v in -16384..16383.
  const __m256i shift = _mm256_set1_epi16(static_cast<int16_t>(kChromaShortRange));
  __m256i acc = _mm256_setzero_si256();
  for (int i = 0; i < 4 * count; ++i) {
    acc = _mm256_or_si256(acc, _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(blocks) + i), shift));
  }
  return _mm256_testz_si256(acc, _mm256_set1_epi16(static_cast<int16_t>(0x8000)));
}

// Eight terms, each doubled across sixteen lanes (sample s covers pixels 2s
// and 2s + 1): the low 64 bits of each 128-bit half unpacked with
// themselves, after the second four terms were moved to the upper half.
RK_AVX2 inline __m256i Double(__m128i terms) {
  const __m256i v = _mm256_permute4x64_epi64(_mm256_castsi128_si256(terms), 0x50);  // q0 q0 q1 q1
  return _mm256_unpacklo_epi16(v, v);
}

// Byte positions within 16-byte runs for one channel of 48 BGR bytes:
// output byte i takes sample i / 3 of the channel i % 3 (0 blue, 1 green,
// 2 red); 0x80 (-128) yields zero.
struct BgrMasks {
  __m256i first[3];   // output bytes 0..31
  __m128i second[3];  // output bytes 32..47
};

RK_AVX2 BgrMasks MakeMasks() {
  int8_t bytes[3][48];  // rows 48 bytes apart: loaded unaligned
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 48; ++i) bytes[c][i] = static_cast<int8_t>(i % 3 == c ? i / 3 : -128);
  }
  BgrMasks m;
  for (int c = 0; c < 3; ++c) {
    m.first[c] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes[c]));
    // Output bytes 32..47 take samples 10.67 .. 15: as indexes into the
    // same 16 bytes they stay below 16.
    m.second[c] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes[c] + 32));
  }
  return m;
}

}  // namespace

bool CanMergeBgr24(const McuGeometry& geo) {
  if (geo.components != 3 || geo.mcuWidth != kMcuWidth) return false;
  if (geo.blocksWide(0) != 2 || geo.reductionY(0) != 1) return false;
  return geo.blocksWide(1) == 1 && geo.blocksWide(2) == 1 && geo.spanHeight[1] == geo.spanHeight[2];
}

RK_AVX2 bool ReconstructMergedBgr24(const McuSource& mcu, const PixelTarget& target, int rows, int cols) {
  const McuGeometry& geo = *mcu.geo;
  const int16_t* luma = mcu.blocks;
  const int16_t* cb = luma + 64 * geo.blocksPerMcu(0);
  const int16_t* cr = cb + 64 * geo.blocksPerMcu(1);
  if (!ChromaInShortRange(cb, geo.blocksPerMcu(1) + geo.blocksPerMcu(2))) return false;

  static const BgrMasks kMasks = MakeMasks();
  const int fy = geo.reductionY(1);
  const __m256i level = _mm256_set1_epi16(128);
  __m256i red = _mm256_setzero_si256(), green = red, blue = red;
  int termsRow = -1;
  for (int pr = 0; pr < rows; ++pr) {
    const int vr = fy == 2 ? pr >> 1 : pr / fy;
    if (vr != termsRow) {
      const int at = 64 * (vr >> 3) + 8 * (vr & 7);
      const ChromaTerms8 t = ChromaTerms8Of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + at)),
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + at)));
      red = Double(t.red);
      green = Double(t.green);
      blue = Double(t.blue);
      termsRow = vr;
    }
    // Luminance row pr: eight samples from each of the row's two blocks.
    const int16_t* left = luma + 128 * (pr >> 3) + 8 * (pr & 7);
    const __m256i y = _mm256_add_epi16(
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(left))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(left + 64)), 1),
        level);
    // Bytes: rb = R0-7 B0-7 | R8-15 B8-15, gg = G0-7 G0-7 | G8-15 G8-15;
    // each channel's sixteen bytes then fill both halves of a register.
    const __m256i rb = _mm256_packus_epi16(AddTerm16(y, red), AddTerm16(y, blue));
    const __m256i gg = _mm256_packus_epi16(AddTerm16(y, green), AddTerm16(y, green));
    const __m256i r = _mm256_permute4x64_epi64(rb, 0x88);  // q0 q2 q0 q2
    const __m256i b = _mm256_permute4x64_epi64(rb, 0xDD);  // q1 q3 q1 q3
    const __m256i g = _mm256_permute4x64_epi64(gg, 0x88);
    const __m256i first = _mm256_or_si256(
        _mm256_or_si256(_mm256_shuffle_epi8(b, kMasks.first[0]), _mm256_shuffle_epi8(g, kMasks.first[1])),
        _mm256_shuffle_epi8(r, kMasks.first[2]));
    const __m128i second = _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(_mm256_castsi256_si128(b), kMasks.second[0]),
                     _mm_shuffle_epi8(_mm256_castsi256_si128(g), kMasks.second[1])),
        _mm_shuffle_epi8(_mm256_castsi256_si128(r), kMasks.second[2]));

    const int imageRow = mcu.y0 + pr;
    const int64_t stored = target.bottomUp ? target.height - 1 - imageRow : imageRow;
    uint8_t* out = target.pixels + stored * target.rowStride + mcu.x0 * 3;
    if (cols == kMcuWidth) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), first);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), second);
    } else {
      // The image's right edge: only its pixels, nothing past them.
      alignas(32) uint8_t row[48];
      _mm256_store_si256(reinterpret_cast<__m256i*>(row), first);
      _mm_store_si128(reinterpret_cast<__m128i*>(row + 32), second);
      std::memcpy(out, row, 3 * static_cast<size_t>(cols));
    }
  }
  return true;
}

}  // namespace avx2
}  // namespace rk

#endif  // RK_X86_SIMD
