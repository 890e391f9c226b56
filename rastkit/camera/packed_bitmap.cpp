#include "camera/packed_bitmap.h"

#include <cstring>

#include "memory.h"

namespace rk::camera {
namespace {

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void WriteBitmapHeader(uint8_t* block, uint32_t width, uint32_t height) {
  std::memset(block, 0, RK_BITMAP_INFO_SIZE);
  PutU32(block + 0, RK_BITMAP_INFO_SIZE);  // biSize
  PutU32(block + 4, width);                // biWidth
  PutU32(block + 8, height);               // biHeight > 0: rows stored bottom-up
  PutU16(block + 12, 1);                   // biPlanes
  PutU16(block + 14, 24);                  // biBitCount
  // biCompression 0 (uncompressed) at 16; biSizeImage at 20; resolution,
  // colour counts (24..39) stay 0.
  PutU32(block + 20, static_cast<uint32_t>(BitmapRowStride(width) * height));
}

void DescribeBitmap(uint8_t* block, uint16_t width, uint16_t height, ImageBlkAttrRec& image) {
  image.width = width;
  image.height = height;
  image.pixels = block + RK_BITMAP_INFO_SIZE;
  image.pixelFormat = 0;
  image.rowStride = static_cast<int32_t>(BitmapRowStride(width));
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
}

uint8_t* NewPackedBitmap(uint32_t width, uint32_t height) {
  const uint64_t bytes = PackedBitmapBytes(width, height);
  if (bytes > kMaxPackedBitmapBytes) return nullptr;
  auto* block = static_cast<uint8_t*>(AllocZeroed(static_cast<size_t>(bytes), 1));
  if (block != nullptr) WriteBitmapHeader(block, width, height);
  return block;
}

}  // namespace rk::camera
