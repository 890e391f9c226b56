// The image operations corvid-convert applies to a picture before it is
// encoded (--rotate, --resize, --sharpen, --denoise, --auto-white-balance,
// --blur), each one call of the library on the program's 24-bit pixel
// block (bottom-up rows of blue, green, red), without a progress record.
#pragma once

#include <cstdint>
#include <memory>

#include "bitmap.h"
#include "messages.h"
#include "rastkit.h"

namespace corvid {

struct ImageOperation {
  enum class Kind { Rotate, Resize, ResizePercent, Sharpen, Denoise, AutoWhiteBalance, Blur };
  Kind kind = Kind::Denoise;
  double degrees = 0;  // Rotate: clockwise, any real number
  uint8_t background[3] = {255, 255, 255};  // Rotate: red, green, blue of the uncovered corners
  uint32_t width = 0;   // Resize: the new size, 1..65535 each
  uint32_t height = 0;
  uint32_t percent = 0;  // ResizePercent: each side x percent / 100, rounded down
  int level = 4;         // Sharpen: 1..10
  int radius = 0;        // Blur: 0..32767 pixels
};

constexpr int kMinSharpenLevel = 1;
constexpr int kMaxSharpenLevel = 10;
constexpr int kDefaultSharpenLevel = 4;
constexpr int kMaxBlurRadius = 32767;  // the library's 16-bit radius
constexpr uint32_t kMaxSide = 65535;   // the library's 16-bit sizes

// Where a turn by `degrees` puts the picture: the angle in minutes of arc
// as the library takes it (lround(fmod(degrees, 360) x 60), positive turns
// clockwise), the bounding box of the turned picture, and the offset of
// that box that keeps every pixel in it. See operations.cpp.
struct RotationGeometry {
  int16_t angle = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int16_t offsetX = 0;
  int16_t offsetY = 0;
};
RotationGeometry RotationFor(double degrees, uint32_t width, uint32_t height);

// The size N % of a picture gives: each side x N / 100 rounded down, but
// never below 1 (1 % of a 50-pixel side keeps one pixel).
uint32_t ScaledSide(uint32_t side, uint32_t percent);

// Runs one operation on `picture`. Operations that work in place change
// `picture` and leave `result` empty; the others put the new picture in
// `result`. False on failure, with the message to show: "Memory Error"
// when a picture cannot be allocated, "Operation Error" when the result
// would be too large or the library refuses.
bool RunOperation(ModuleTableRec* table, const ImageOperation& operation, PixelBlock& picture,
                  std::unique_ptr<PixelBlock>& result, Message* failure);

}  // namespace corvid
