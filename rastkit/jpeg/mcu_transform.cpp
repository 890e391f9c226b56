#include "mcu_transform.h"

#include "forward_dct.h"
#include "simd_level.h"
#include "std_tables.h"

namespace rk {
namespace {

bool IsStandardZigzag(const int16_t* zigzag) {
  for (int k = 0; k < 64; ++k) {
    if (zigzag[k] != kZigzag[k]) return false;
  }
  return true;
}

// The two layouts the vector gatherers serve: 0x3001 (Y 2x1, MCU 16 x 8)
// and 0x3005 (Y 2x2, MCU 16 x 16), chrominance 1x1.
bool HasSpans(const McuGeometry& g, int h0) {
  return g.components == 3 && g.mcuWidth == 16 && g.mcuHeight == h0 && g.spanWidth[0] == 16 &&
         g.spanHeight[0] == h0 && g.spanWidth[1] == 8 && g.spanHeight[1] == 8 && g.spanWidth[2] == 8 &&
         g.spanHeight[2] == 8;
}

}  // namespace

McuBlocks::McuBlocks(const McuGeometry& geo) {
  for (int c = 0; c < geo.components; ++c) {
    for (int b = 0; b < geo.blocksPerMcu(c); ++b) component[count++] = c;
  }
}

McuTransformer::McuTransformer(const ModuleTableRec& table, const McuGeometry& geo, const PixelSource& src,
                               EdgeFill edge)
    : table_(table), geo_(geo), src_(src), edge_(edge), blocks_(geo) {
  for (int c = 0; c < geo.components; ++c) PrepareDivisors(table.quantTable[c], divisors_[c]);
  standardDct_ = HasStandardTransformConstants(table);
  const EncoderVectorKernels vec = VectorKernelsFor(ActiveSimdLevel());
  if (!src.planar && src.colour &&
      MakePixelShuffle(src.pixelStride, src.redOffset, src.greenOffset, src.blueOffset, shuffle_)) {
    if (HasSpans(geo, 8)) pixels_ = vec.pixels422;
    if (HasSpans(geo, 16)) pixels_ = vec.pixels420;
  }
  if (vec.transformQuantize == nullptr || !standardDct_ || !IsStandardZigzag(table.zigzag)) return;
  QuantReciprocals reciprocals[3];
  for (int c = 0; c < geo.components; ++c) {
    if (!PrepareReciprocals(table.quantTable[c], reciprocals[c])) return;
  }
  const QuantReciprocals* perBlock[kMaxBlocksPerMcu];
  for (int b = 0; b < blocks_.count; ++b) perBlock[b] = &reciprocals[blocks_.component[b]];
  BuildMcuQuant(perBlock, blocks_.count, quant_);
  transformQuantize_ = vec.transformQuantize;
}

void McuTransformer::Run(int x0, int y0, const McuWorkArea& area, uint64_t* masks) {
  int16_t* blocks = area.blocks;
  if (pixels_ != nullptr && x0 + geo_.mcuWidth <= src_.width && y0 + geo_.mcuHeight <= src_.height) {
    const uint8_t* top = src_.pixels + src_.StoredRow(y0) * src_.rowStride + x0 * src_.pixelStride;
    pixels_(top, src_.bottomUp ? -src_.rowStride : src_.rowStride, shuffle_, blocks);
  } else {
    GatherMcu(src_, geo_, x0, y0, area, edge_);
    SplitBlocks(geo_, area);
  }
  if (transformQuantize_ != nullptr) {
    transformQuantize_(blocks, quant_, masks);
    return;
  }
  for (int b = 0; b < blocks_.count; ++b) {
    int16_t* block = blocks + 64 * b;
    if (standardDct_) {
      ForwardDct(table_.coefScratch, block);
    } else {
      reference::ForwardDct(table_, block);
    }
    QuantizeBlock(block, divisors_[blocks_.component[b]]);
  }
}

}  // namespace rk
