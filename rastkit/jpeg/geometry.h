// MCU geometry of JPEG-style streams, shared by every JPEG encoder and
// decoder: derived from the format word's sampling factors.
#pragma once

#include <cstdint>

namespace rk {

struct McuGeometry {
  int8_t components;   // (format >> 12) & 3
  int8_t mcuWidth;     // pixels
  int8_t mcuHeight;
  int8_t spanWidth[3];   // 8 * H of each component (0 when absent)
  int8_t spanHeight[3];  // 8 * V of each component (0 when absent)

  // Derived per component c (meaningful only for c < components).
  int blocksWide(int c) const { return spanWidth[c] / 8; }
  int blocksHigh(int c) const { return spanHeight[c] / 8; }
  int blocksPerMcu(int c) const { return blocksWide(c) * blocksHigh(c); }
  int reductionX(int c) const { return mcuWidth / spanWidth[c]; }   // fx
  int reductionY(int c) const { return mcuHeight / spanHeight[c]; } // fy
  int totalBlocks() const;
};

// Fills geo from format. Returns 1 (colour) when bits 12-13 are not 01,
// 0 for grey. MCU width and height are the largest span of the components
// present.
int ComputeMcuGeometry(uint16_t format, McuGeometry& geo);

// True when the codecs can handle the geometry: one or three components and
// every component's span dividing the MCU evenly in both directions.
bool IsCodableGeometry(const McuGeometry& geo);

}  // namespace rk
