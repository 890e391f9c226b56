// The encoders' pixel side of one MCU, from the picture to its quantised
// coefficient blocks, on the fastest kernels the active vector level and
// the tables allow: the fused vector gatherer for interior MCUs of 0x3001
// and 0x3005 pictures, the vector transform and quantisation (which also
// give every block's zigzag mask of non-zero coefficients), or, at level
// kNone and for tables the vector kernels do not take, the plain kernels'
// fast forms. Shared by the baseline and progressive writers.
#pragma once

#include <cstdint>

#include "baseline_encode.h"
#include "encode_pixels.h"
#include "encode_simd.h"
#include "geometry.h"
#include "mcu_work_area.h"
#include "quantize.h"
#include "rastkit.h"

namespace rk {

// The component of every block of an MCU, in buffer order.
struct McuBlocks {
  int count = 0;
  int component[kMaxBlocksPerMcu] = {};
  explicit McuBlocks(const McuGeometry& geo);
};

class McuTransformer {
 public:
  // table, geo and src must outlive the transformer.
  McuTransformer(const ModuleTableRec& table, const McuGeometry& geo, const PixelSource& src, EdgeFill edge);

  // True when Run also gives the zigzag masks (vector transform in use,
  // standard zigzag order); masks[b] then has bit k set for every non-zero
  // coefficient at zigzag position k of block b.
  [[nodiscard]] bool givesMasks() const { return transformQuantize_ != nullptr; }
  [[nodiscard]] const McuBlocks& blocks() const { return blocks_; }

  // The quantised blocks of the MCU whose top-left pixel is (x0, y0), in
  // area.blocks (natural order, buffer order), using area's planes as
  // scratch; masks (kMaxBlocksPerMcu entries) filled when givesMasks().
  void Run(int x0, int y0, const McuWorkArea& area, uint64_t* masks);

 private:
  const ModuleTableRec& table_;
  const McuGeometry& geo_;
  const PixelSource& src_;
  EdgeFill edge_;
  McuBlocks blocks_;
  QuantDivisors divisors_[3];
  bool standardDct_ = true;
  PixelsToBlocksFn pixels_ = nullptr;
  PixelShuffle shuffle_;
  TransformQuantizeFn transformQuantize_ = nullptr;
  McuQuant quant_;
};

}  // namespace rk
