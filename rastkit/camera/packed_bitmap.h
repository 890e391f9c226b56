// The packed bitmap that the camera exports return or fill: the 40-byte
// bitmap information header (24 bits, bottom-up, uncompressed) followed at
// once by the rows, blue-green-red, each padded to a multiple of 4 bytes.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::camera {

// Bytes of one stored row: ((width + 1) x 3 / 4) x 4, which equals the
// usual (3 x width + 3) / 4 x 4 (width 321: 963 bytes of pixels, 964 stored).
[[nodiscard]] constexpr uint64_t BitmapRowStride(uint64_t width) { return (width + 1) * 3 / 4 * 4; }

// Header plus rows: 3640 for 40 x 30, 230440 for 320 x 240. 64-bit, so that
// no width and height can wrap it; callers check it against their limits.
[[nodiscard]] constexpr uint64_t PackedBitmapBytes(uint64_t width, uint64_t height) {
  return RK_BITMAP_INFO_SIZE + BitmapRowStride(width) * height;
}

// The largest packed bitmap this interface can describe: its size must fit
// the header's 32-bit biSizeImage and the 32-bit size queries.
constexpr uint64_t kMaxPackedBitmapBytes = 0xFFFFFFFFu;

// Writes the 40-byte header for width x height (little-endian fields).
void WriteBitmapHeader(uint8_t* block, uint32_t width, uint32_t height);

// Points the record's pixel fields at the rows that follow the header:
// pixels = block + 40, the padded row stride, blue-green-red, pixel stride 3,
// bottom-up, interleaved 8-bit samples. Width and height are set too.
void DescribeBitmap(uint8_t* block, uint16_t width, uint16_t height, ImageBlkAttrRec& image);

// A zero-filled heap block holding a packed bitmap with its header written,
// or null when the size is beyond kMaxPackedBitmapBytes or the allocation
// fails. The caller releases it with free() (FreeMemory inside the library).
[[nodiscard]] uint8_t* NewPackedBitmap(uint32_t width, uint32_t height);

}  // namespace rk::camera
