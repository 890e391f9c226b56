#include "geometry.h"

#include <algorithm>

namespace rk {

int McuGeometry::totalBlocks() const {
  int n = 0;
  for (int c = 0; c < components && c < 3; ++c) n += blocksPerMcu(c);
  return n;
}

int ComputeMcuGeometry(uint16_t format, McuGeometry& geo) {
  const int count = (format >> 12) & 3;
  geo.components = static_cast<int8_t>(count);
  for (int c = 0; c < 3; ++c) {
    const bool present = c == 0 || c < count;
    const int h = ((format >> (4 * c)) & 3) + 1;
    const int v = ((format >> (4 * c + 2)) & 3) + 1;
    geo.spanWidth[c] = static_cast<int8_t>(present ? 8 * h : 0);
    geo.spanHeight[c] = static_cast<int8_t>(present ? 8 * v : 0);
  }
  geo.mcuWidth = std::max({geo.spanWidth[0], geo.spanWidth[1], geo.spanWidth[2]});
  geo.mcuHeight = std::max({geo.spanHeight[0], geo.spanHeight[1], geo.spanHeight[2]});
  return count == 1 ? 0 : 1;
}

bool IsCodableGeometry(const McuGeometry& geo) {
  if (geo.components != 1 && geo.components != 3) return false;
  for (int c = 0; c < geo.components; ++c) {
    if (geo.mcuWidth % geo.spanWidth[c] != 0 || geo.mcuHeight % geo.spanHeight[c] != 0) return false;
  }
  return true;
}

}  // namespace rk
