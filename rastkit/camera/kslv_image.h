// KSLV camera images: a baseline JPEG-style stream of the camera's own
// luminance and colour-difference signals, with the camera's white
// reference in a comment segment, decoded to 320 x 240 or 480 x 360 RGB.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::camera {

// White-balance gains of the red, green and blue channels, 256 = 1.0.
struct KslvGains {
  int64_t red = 256;
  int64_t green = 256;
  int64_t blue = 256;
};

// Gains from the four reference bytes (a, b, c, d) of the comment segment:
// Yr = (a + b + c + d) >> 2, Crr = (b - a) / 2, Cbr = (c - d) / 2, each gain
// Yr x 65536 over the camera matrix's response to the reference, and the
// smallest raised to 256 when below it (the others scaled alike). (100, 100,
// 100, 100) gives 6553600 / 25728 = 254 for all three, raised to 256.
// RK_ERR_CAMERA_INVALID for a zero byte, a denominator of 0 or below, or a
// smallest gain of 0 (nothing could be divided by it).
[[nodiscard]] int16_t GainsFromReference(const uint8_t reference[4], KslvGains& gains);

// Finds the first comment marker FF FE within the first length bytes and
// copies the four reference bytes at offsets 4 .. 7 from it; false when
// there is none or its reference bytes do not lie inside those bytes.
[[nodiscard]] bool FindWhiteReference(const uint8_t* data, uint32_t length, uint8_t reference[4]);

// RkDecompressCameraImage.
[[nodiscard]] int16_t DecodeKslvImage(ModuleTableRec* table, const uint8_t* data, uint32_t length,
                                      ImageBlkAttrRec* image, UserCallBackRec* progress);

}  // namespace rk::camera
