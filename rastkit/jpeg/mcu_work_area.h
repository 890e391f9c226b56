// The encoder's per-MCU scratch: three sample planes of MCU width x MCU
// height 16-bit samples (row stride = MCU width), then the coefficient
// blocks of one MCU (component 0's blocks first, then 1's, then 2's).
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry.h"

namespace rk {

struct McuWorkArea {
  int16_t* plane[3] = {nullptr, nullptr, nullptr};
  int16_t* blocks = nullptr;

  // 2 x (3 x MCU width x MCU height + 64 x blocks per MCU); for 0x3001
  // (MCU 16x8, 4 blocks) that is 2 x (384 + 256) = 1280 bytes.
  static size_t Bytes(const McuGeometry& geo);
  // Lays the area out from base, which holds at least Bytes(geo) bytes.
  void Place(uint8_t* base, const McuGeometry& geo);
};

}  // namespace rk
