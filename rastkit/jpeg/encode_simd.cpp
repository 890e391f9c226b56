#include "encode_simd.h"

#include <cstring>

namespace rk {

void BuildMcuQuant(const QuantReciprocals* const* tables, int blocks, McuQuant& out) {
  out.blocks = blocks;
  for (int b = 0; b < blocks; ++b) out.block[b] = *tables[b];
  for (int p = 0; 2 * p + 1 < blocks; ++p) {
    const QuantReciprocals& a = out.block[2 * p];
    const QuantReciprocals& b = out.block[2 * p + 1];
    QuantReciprocalPair& pair = out.pair[p];
    for (int v = 0; v < 8; ++v) {
      std::memcpy(pair.mult + 16 * v, a.mult + 8 * v, 16);
      std::memcpy(pair.mult + 16 * v + 8, b.mult + 8 * v, 16);
      std::memcpy(pair.half + 16 * v, a.half + 8 * v, 16);
      std::memcpy(pair.half + 16 * v + 8, b.half + 8 * v, 16);
      std::memcpy(pair.scale + 16 * v, a.scale + 8 * v, 16);
      std::memcpy(pair.scale + 16 * v + 8, b.scale + 8 * v, 16);
    }
  }
}

bool MakePixelShuffle(int64_t pixelStride, uint32_t red, uint32_t green, uint32_t blue, PixelShuffle& out) {
  if (pixelStride != 3 && pixelStride != 4) return false;
  if (red >= pixelStride || green >= pixelStride || blue >= pixelStride) return false;
  out.stride = static_cast<int>(pixelStride);
  out.red = static_cast<int>(red);
  out.green = static_cast<int>(green);
  out.blue = static_cast<int>(blue);
  // Each 16-byte half holds four pixels from `base` on: R0-3 G0-3 B0-3 and
  // four zero bytes (index bit 7 set). Only the last of the four loads of 3
  // bytes a pixel starts early (at byte 32 for the pixel at byte 36).
  auto fill = [&](uint8_t* half, int base) {
    const int offsets[3] = {out.red, out.green, out.blue};
    for (int c = 0; c < 3; ++c) {
      for (int j = 0; j < 4; ++j) half[4 * c + j] = static_cast<uint8_t>(base + out.stride * j + offsets[c]);
    }
    for (int j = 12; j < 16; ++j) half[j] = 0x80;
  };
  fill(out.first, 0);
  fill(out.first + 16, 0);
  fill(out.second, 0);
  fill(out.second + 16, out.stride == 3 ? 4 : 0);
  return true;
}

EncoderVectorKernels VectorKernelsFor(SimdLevel level) {
  EncoderVectorKernels k;
#if defined(__x86_64__)
  if (level == SimdLevel::kAvx2) {
    k.transformQuantize = avx2::TransformQuantize;
    k.pixels422 = avx2::Pixels422;
    k.pixels420 = avx2::Pixels420;
  } else if (level == SimdLevel::kSse2) {
    k.transformQuantize = sse2::TransformQuantize;
    k.pixels422 = sse2::Pixels422;
    k.pixels420 = sse2::Pixels420;
  }
#else
  (void)level;
#endif
  return k;
}

}  // namespace rk
