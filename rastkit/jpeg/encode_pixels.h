// Pixel side of the baseline encoder, one MCU at a time: gather the MCU's
// samples into the work area's planes (black outside the image), convert
// RGB to YCbCr, then downsample, level-shift and split into 8x8 blocks.
#pragma once

#include <cstdint>

#include "geometry.h"
#include "mcu_work_area.h"
#include "rastkit.h"

namespace rk {

// The pixel buffer as the encoder reads it, taken once from the record.
struct PixelSource {
  const uint8_t* pixels = nullptr;
  int64_t rowStride = 0;  // bytes; samples for planar input
  int64_t pixelStride = 0;
  uint32_t redOffset = 0, greenOffset = 0, blueOffset = 0;
  int width = 0;
  int height = 0;
  bool bottomUp = false;
  bool planar = false;  // three planes of signed 16-bit Y, Cb, Cr
  bool colour = true;   // three components (else grey: Y only)

  static PixelSource From(const ImageBlkAttrRec& image, const McuGeometry& geo);
  // Stored row of image row y.
  int64_t StoredRow(int y) const { return bottomUp ? height - 1 - y : y; }
};

// Planar input is taken as the values RgbToYcc can give: Y in 0 .. 255 and
// Cb, Cr in -127 .. 128. Wider values are clamped to these ranges, which
// keep every later product of the transform inside 32 bits and every
// coefficient inside the sizes the standard code tables cover.
constexpr int kPlanarChromaMin = -127;
constexpr int kPlanarChromaMax = 128;

// What fills the parts of edge MCUs that lie outside the image: black (the
// baseline writer) or the nearest pixel of the last column or row (the
// progressive writer).
enum class EdgeFill : uint8_t { kBlack, kRepeat };

// Fills the planes with the MCU whose top-left pixel is (x0, y0) and
// converts it to YCbCr (planar input is copied as it is). MCUs that lie
// wholly inside an 8-bit image take a fused loop; the others the plain one.
void GatherMcu(const PixelSource& src, const McuGeometry& geo, int x0, int y0, const McuWorkArea& area,
               EdgeFill edge = EdgeFill::kBlack);

// Averages each component's plane down to its span, subtracts 128 from
// component 0 and writes the blocks in buffer order. Common reductions
// (1 and 2 in either direction) have unrolled loops.
void SplitBlocks(const McuGeometry& geo, const McuWorkArea& area);

namespace reference {

// Sample by sample, with the image bounds checked for every sample.
void GatherMcu(const PixelSource& src, const McuGeometry& geo, int x0, int y0, const McuWorkArea& area,
               EdgeFill edge = EdgeFill::kBlack);
// RgbToYcc on every sample of the three planes (colour), or Y only into
// plane 0 (grey). Not applied to planar input.
void ConvertColour(const PixelSource& src, const McuGeometry& geo, const McuWorkArea& area);
void SplitBlocks(const McuGeometry& geo, const McuWorkArea& area);

}  // namespace reference
}  // namespace rk
