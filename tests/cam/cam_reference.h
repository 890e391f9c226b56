// A plain CAM decoder for tests, written straight from the format's
// definition with the per-block kernels (DecodeBlock, DequantizeBlock,
// InverseTransformBlock, YccToRgb) and whole planes in memory. The
// library's strip decoder must give the same pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace camtest {

struct Planes {
  std::vector<int16_t> y = std::vector<int16_t>(480 * 240);   // level-shifted
  std::vector<int16_t> cb = std::vector<int16_t>(160 * 120);  // centred on 0
  std::vector<int16_t> cr = std::vector<int16_t>(160 * 120);
  int16_t firstError = 0;
};

// Decodes the three streams the record describes (as RkDecodeCAMHeader
// leaves it) with the module table's tables. A stream that reports an error
// or meets a code that matches nothing is dead from that block on: that
// block and every later one of the stream have all coefficients 0.
Planes ReferencePlanes(const ModuleTableRec& table, const ImageBlkAttrRec& image);

// The picture at 480x360, 480x240 or 320x240, top-down RGB.
rktest::Rgb ReferencePicture(const Planes& planes, int width, int height);

}  // namespace camtest
