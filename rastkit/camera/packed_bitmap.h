// The packed bitmap that the camera exports return or fill: the 40-byte
// bitmap information header (24 bits, bottom-up, uncompressed) followed at
// once by the rows, blue-green-red, each padded to a multiple of 4 bytes.
#pragma once

#include <cstdint>

#include "memory.h"
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

// A new packed bitmap that fill(block) decodes into (fill returns a result
// code). On success the block; otherwise null, the block released, and
// code says why (RK_ERR_MEMORY when no block could be had).
template <class Fill>
[[nodiscard]] uint8_t* NewFilledBitmap(uint32_t width, uint32_t height, int16_t& code, Fill fill) {
  uint8_t* block = NewPackedBitmap(width, height);
  if (block == nullptr) {
    code = RK_ERR_MEMORY;
    return nullptr;
  }
  code = fill(block);
  if (code == RK_OK) return block;
  FreeMemory(block);
  return nullptr;
}

// Stores code where the caller asked for it (result may be null) and
// passes block on: the tail of every export that returns a bitmap.
inline void* ReportBitmap(int16_t* result, int16_t code, void* block) {
  if (result != nullptr) *result = code;
  return block;
}

}  // namespace rk::camera
