// The compound KSTM raw data encoder (RkGetCompImgKSTMRawData) and the
// pieces of its choice of quantisation, callable from tests and tools.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::camera {

// The picture's detail: the mean magnitude, over the pixels off the border,
// of the luminance of the per-channel Laplacian (4c minus the four
// neighbours). Bottom-up or top-down alike; blue-green-red pixels of 3
// bytes. A flat picture gives 0.
[[nodiscard]] uint32_t DetailMeasure(const uint8_t* pixels, int width, int height, int32_t rowStride);

struct CompoundScale {
  double scale;     // quantisation scale for luminance and chrominance
  uint32_t limit;   // the image data should end below this offset
  bool large;       // target above 65536 bytes
};

// Targets up to 65536 bytes: scale 0.5, 1.0 or 2.0 for detail below 15,
// below 30 and above; larger targets half those, with twice the limit.
[[nodiscard]] CompoundScale ChooseScale(uint32_t target, uint32_t detail);

// Encodes the 640 x 480 bottom-up blue-green-red pixels (row stride 1920)
// aiming at target bytes. On success (or a final callback value other than
// RK_STOPPED, which is returned) *data is a heap block of exactly *length
// bytes for the caller to free; otherwise it stays null. RK_ERR_BUFFER when
// the thumbnail, or the image at its second scale, does not fit 2 x target
// bytes; RK_ERR_MEMORY; RK_STOPPED.
[[nodiscard]] int16_t EncodeCompound(const uint8_t* pixels, uint32_t target, UserCallBackRec* progress,
                                     uint8_t** data, uint32_t* length);

}  // namespace rk::camera
