// Colour enhancement of the KSLV pipelines: each channel in turn is pushed
// away from the mean of the other two, by 1/2^shift of the difference, and
// clamped; each step sees the channels already updated. With shift 2,
// (200, 100, 100) becomes R = 200 - (-200 >> 2) = 250, then
// G = 100 - ((250 - 200 + 100) >> 2) = 63, then
// B = 100 - ((250 - 200 + 63) >> 2) = 72. A grey pixel stays as it is.
#pragma once

#include <cstdint>

#include "camera/common.h"

namespace rk::camera {

inline void EnhanceColour(int16_t& r, int16_t& g, int16_t& b, int shift) {
  r = ClampToByte(r - ((g - 2 * r + b) >> shift));
  g = ClampToByte(g - ((r - 2 * g + b) >> shift));
  b = ClampToByte(b - ((r - 2 * b + g) >> shift));
}

}  // namespace rk::camera
