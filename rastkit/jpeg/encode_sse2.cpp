// SSE2 kernels of the encoders (every x86-64 CPU): one block at a time
// through the transform, eight pixels a register through the colour
// conversion.
#if defined(__x86_64__)

#include <cstring>

#include "encode_simd.h"
#include "encode_simd_body.h"

namespace rk::sse2 {
namespace {

using O = Ops128;

// Eight pixels as 16-bit R, G and B lanes. SSE2 has no byte shuffle, so
// each pixel's bytes are gathered into a 32-bit lane (4 bytes from its
// start; only the last pixel of an MCU row takes exactly 3, so nothing
// past the MCU is read) and the channels shifted out of those lanes.
struct Rgb {
  __m128i r, g, b;
};
template <int kStride>
[[gnu::always_inline]] inline Rgb LoadRgb8(const uint8_t* p, const PixelShuffle& s, bool lastOfRow) {
  __m128i lo, hi;
  if constexpr (kStride == 4) {
    lo = O::Load(p);
    hi = O::Load(p + 16);
  } else {
    uint32_t px[8];
    for (int j = 0; j < 7; ++j) std::memcpy(&px[j], p + 3 * j, 4);
    if (lastOfRow) {
      px[7] = static_cast<uint32_t>(p[21]) | static_cast<uint32_t>(p[22]) << 8 | static_cast<uint32_t>(p[23]) << 16;
    } else {
      std::memcpy(&px[7], p + 21, 4);
    }
    lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
    hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + 4));
  }
  const __m128i byte = _mm_set1_epi32(0xFF);
  auto channel = [&](int offset) {
    const __m128i shift = _mm_cvtsi32_si128(8 * offset);
    return _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(lo, shift), byte),
                           _mm_and_si128(_mm_srl_epi32(hi, shift), byte));
  };
  return {channel(s.red), channel(s.green), channel(s.blue)};
}

// One image row of 16 pixels: the luminance rows of the two blocks side by
// side, and the pair sums of Cb and Cr (eight 32-bit lanes each, in two
// registers: chroma columns 0-3 and 4-7).
struct RowOut {
  __m128i cb[2], cr[2];
};
template <int kStride>
[[gnu::always_inline]] inline RowOut Row16(const uint8_t* p, const PixelShuffle& s, int16_t* yLeft, int16_t* yRight) {
  RowOut out;
  for (int h = 0; h < 2; ++h) {
    const Rgb px = LoadRgb8<kStride>(p + 8 * kStride * h, s, h == 1);
    const Ycc<O> c = RgbToYccLanes<O>(px.r, px.g, px.b);
    O::Store(h == 0 ? yLeft : yRight, c.y);
    out.cb[h] = PairSums<O>(c.cbLo, c.cbHi);
    out.cr[h] = PairSums<O>(c.crLo, c.crHi);
  }
  return out;
}

template <int kStride>
void Pixels422Impl(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& s, int16_t* blocks) {
  for (int r = 0; r < 8; ++r) {
    const RowOut row = Row16<kStride>(top + r * rowStep, s, blocks + 8 * r, blocks + 64 + 8 * r);
    O::Store(blocks + 128 + 8 * r, O::Packs32(HalveTowardZero<O>(row.cb[0]), HalveTowardZero<O>(row.cb[1])));
    O::Store(blocks + 192 + 8 * r, O::Packs32(HalveTowardZero<O>(row.cr[0]), HalveTowardZero<O>(row.cr[1])));
  }
}

template <int kStride>
void Pixels420Impl(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& s, int16_t* blocks) {
  for (int j = 0; j < 8; ++j) {
    int16_t* y = blocks + (j < 4 ? 0 : 128) + 16 * (j & 3);  // rows 2j and 2j + 1 of the luminance blocks
    const RowOut a = Row16<kStride>(top + 2 * j * rowStep, s, y, y + 64);
    const RowOut b = Row16<kStride>(top + (2 * j + 1) * rowStep, s, y + 8, y + 72);
    O::Store(blocks + 256 + 8 * j, O::Packs32(QuarterTowardZero<O>(O::Add32(a.cb[0], b.cb[0])),
                                              QuarterTowardZero<O>(O::Add32(a.cb[1], b.cb[1]))));
    O::Store(blocks + 320 + 8 * j, O::Packs32(QuarterTowardZero<O>(O::Add32(a.cr[0], b.cr[0])),
                                              QuarterTowardZero<O>(O::Add32(a.cr[1], b.cr[1]))));
  }
}

}  // namespace

void TransformQuantize(int16_t* blocks, const McuQuant& quant, uint64_t* masks) {
  for (int b = 0; b < quant.blocks; ++b) TransformQuantizeOne(blocks + 64 * b, quant.block[b], masks + b);
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

}  // namespace rk::sse2

#endif  // __x86_64__
