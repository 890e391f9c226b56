// Turning one decoded MCU (blocks of samples after the inverse transform)
// into pixels: pixel-replicating upsampling into MCU planes, colour or grey
// conversion, and writing the part of the MCU that lies inside the image.
// Shared by the baseline and progressive decoders.
#pragma once

#include <cstdint>

#include "geometry.h"
#include "rastkit.h"
#include "simd_level.h"

namespace rk {

// Where and how decoded pixels are stored (from ImageBlkAttrRec).
struct PixelTarget {
  uint8_t* pixels = nullptr;
  int64_t rowStride = 0;  // bytes; planar output: samples
  uint32_t offset[3] = {0, 0, 0};  // red, green, blue byte offsets
  uint32_t pixelStride = 0;
  bool bottomUp = false;
  bool planar = false;  // pixelFormat 3: signed 16-bit planes
  int width = 0;
  int height = 0;
  // True when no two stored samples share a byte, so the order in which
  // pixels are written cannot change the result (the fast writer needs it).
  bool separate = false;
};

// Fills a target from the record and checks that every byte it may write
// lies within 32-bit reach of pixels (sizes of this interface are 32-bit):
// false when the buffer such an image needs cannot be described.
[[nodiscard]] bool DescribeTarget(const ImageBlkAttrRec& image, int components, PixelTarget& out);

// Bytes of the MCU planes: three planes of MCU width x height samples.
inline int McuPlaneSamples(const McuGeometry& geo) { return geo.mcuWidth * geo.mcuHeight; }

// One MCU: blocks holds every block of the MCU after the inverse transform
// (component 0's first, 64 samples each); planes has room for three MCU
// planes; (x0, y0) is the MCU's top-left image position. rgb: the stream's
// components are R, G, B (no colour conversion).
struct McuSource {
  const McuGeometry* geo;
  const int16_t* blocks;
  bool rgb;
  int x0;
  int y0;
};

// The plain definition, step by step: every plane sample filled, converted
// sample by sample, pixels written from the last MCU row and column to the
// first with positions clamped to the image. Kept as the reference of the
// fast path and used for layouts whose pixels share bytes.
void ReconstructMcuReference(const McuSource& mcu, int16_t* planes, const PixelTarget& target);

// Same result for targets with separate samples: fills and converts only
// rows and columns inside the image and writes each pixel once, with the
// kernels of `level` (kNone: plain C++; kSse2; kAvx2: avx2:: below where
// the layout allows, else SSE2).
void ReconstructMcu(const McuSource& mcu, int16_t* planes, const PixelTarget& target, SimdLevel level);

namespace avx2 {
// YCbCr with luminance 2 x n blocks and both chrominance components one
// block across (4:2:0, 4:2:2 and their kin) into 24-bit BGR (blue at 0,
// green 1, red 2, 3 bytes a pixel): 16 pixels a row at once. Only on a CPU
// with AVX2. False, with nothing written, when a chrominance sample of the
// MCU lies outside the 16-bit short range of ChromaTerms8Of (damaged
// data); the caller then takes another path.
[[nodiscard]] bool CanMergeBgr24(const McuGeometry& geo);
[[nodiscard]] bool ReconstructMergedBgr24(const McuSource& mcu, const PixelTarget& target, int rows, int cols);
}  // namespace avx2

}  // namespace rk
