#include "mcu_work_area.h"

namespace rk {

size_t McuWorkArea::Bytes(const McuGeometry& geo) {
  const size_t planeSamples = static_cast<size_t>(geo.mcuWidth) * static_cast<size_t>(geo.mcuHeight);
  return 2 * (3 * planeSamples + 64 * static_cast<size_t>(geo.totalBlocks()));
}

void McuWorkArea::Place(uint8_t* base, const McuGeometry& geo) {
  auto* samples = reinterpret_cast<int16_t*>(base);
  const size_t planeSamples = static_cast<size_t>(geo.mcuWidth) * static_cast<size_t>(geo.mcuHeight);
  for (int c = 0; c < 3; ++c) plane[c] = samples + c * planeSamples;
  blocks = samples + 3 * planeSamples;
}

}  // namespace rk
