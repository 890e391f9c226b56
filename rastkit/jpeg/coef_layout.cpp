#include "coef_layout.h"

#include <algorithm>

namespace rk {

uint64_t ProgressiveHeadBytes(const McuGeometry& geo) {
  constexpr uint64_t kMinHeadBytes = 1058;  // the AC table builder's scratch
  const uint64_t blocks = 128ull * static_cast<uint64_t>(geo.totalBlocks());
  const uint64_t planes = 6ull * static_cast<uint64_t>(geo.mcuWidth) * static_cast<uint64_t>(geo.mcuHeight);
  return std::max(blocks + planes, kMinHeadBytes);
}

uint64_t ProgressiveStoreRoom(const McuGeometry& geo, int width, int height) {
  const uint64_t cols = (static_cast<uint64_t>(width) + geo.mcuWidth - 1) / geo.mcuWidth;
  const uint64_t rows = (static_cast<uint64_t>(height) + geo.mcuHeight - 1) / geo.mcuHeight;
  return 6 * cols * geo.mcuWidth * rows * geo.mcuHeight;
}

CoefficientLayout::CoefficientLayout(const McuGeometry& geometry, int width, int height) : geo(geometry) {
  mcuCols = (width + geo.mcuWidth - 1) / geo.mcuWidth;
  mcuRows = (height + geo.mcuHeight - 1) / geo.mcuHeight;
  blocksPerMcu = geo.totalBlocks();
  int first = 0;
  for (int c = 0; c < geo.components; ++c) {
    firstBlock[c] = first;
    first += geo.blocksPerMcu(c);
    // ceil(ceil(W x H / Hmax) / 8) = ceil(W x H / (8 x Hmax)), and 8 x Hmax
    // is the MCU width: 47 x 1 / 16 -> 3 chroma columns at 4:2:0.
    const int64_t w = static_cast<int64_t>(width) * geo.blocksWide(c);
    const int64_t h = static_cast<int64_t>(height) * geo.blocksHigh(c);
    gridWide[c] = static_cast<int>((w + geo.mcuWidth - 1) / geo.mcuWidth);
    gridHigh[c] = static_cast<int>((h + geo.mcuHeight - 1) / geo.mcuHeight);
  }
}

GridRow::GridRow(const CoefficientLayout& layout, int16_t* store, int c, int by)
    : wide_(layout.geo.blocksWide(c)), mcuStep_(static_cast<ptrdiff_t>(layout.blocksPerMcu) * 64) {
  const int v = layout.geo.blocksHigh(c);
  block_ = store + layout.McuOffset(0, by / v) + 64 * (layout.firstBlock[c] + (by % v) * wide_);
}

}  // namespace rk
