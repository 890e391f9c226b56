#include "bitmap.h"

#include <cstdlib>

namespace corvid {

void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

BitmapInfoHeader BitmapInfoHeader::Read(const uint8_t* b) {
  BitmapInfoHeader h;
  h.size = GetLE32(b + 0);
  h.width = static_cast<int32_t>(GetLE32(b + 4));
  h.height = static_cast<int32_t>(GetLE32(b + 8));
  h.planes = GetLE16(b + 12);
  h.bitCount = GetLE16(b + 14);
  h.compression = GetLE32(b + 16);
  h.sizeImage = GetLE32(b + 20);
  h.xPelsPerMeter = static_cast<int32_t>(GetLE32(b + 24));
  h.yPelsPerMeter = static_cast<int32_t>(GetLE32(b + 28));
  h.clrUsed = GetLE32(b + 32);
  h.clrImportant = GetLE32(b + 36);
  return h;
}

void BitmapInfoHeader::Write(uint8_t* b) const {
  PutLE32(b + 0, size);
  PutLE32(b + 4, static_cast<uint32_t>(width));
  PutLE32(b + 8, static_cast<uint32_t>(height));
  PutLE16(b + 12, planes);
  PutLE16(b + 14, bitCount);
  PutLE32(b + 16, compression);
  PutLE32(b + 20, sizeImage);
  PutLE32(b + 24, static_cast<uint32_t>(xPelsPerMeter));
  PutLE32(b + 28, static_cast<uint32_t>(yPelsPerMeter));
  PutLE32(b + 32, clrUsed);
  PutLE32(b + 36, clrImportant);
}

uint64_t DerivedPixelBytes(const BitmapInfoHeader& info) {
  // The fields are taken as unsigned, as the header's users always have.
  const uint64_t width = static_cast<uint32_t>(info.width);
  const uint64_t height = static_cast<uint32_t>(info.height);
  const uint64_t words = (width * info.bitCount + 31) / 32;
  return words * 4 * height;
}

void FreeDeleter::operator()(void* p) const { std::free(p); }

HeapBytes AllocZeroed(size_t bytes) {
  return HeapBytes(static_cast<uint8_t*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
}

std::unique_ptr<PixelBlock> PixelBlock::Create(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF) return nullptr;
  const uint64_t stride = (static_cast<uint64_t>(width) * 3 + 3) / 4 * 4;
  const uint64_t pixelBytes = stride * height;
  if (pixelBytes > kMaxPixelBytes) return nullptr;
  HeapBytes bytes = AllocZeroed(kInfoHeaderSize + pixelBytes);
  if (!bytes) return nullptr;
  BitmapInfoHeader info;
  info.width = static_cast<int32_t>(width);
  info.height = static_cast<int32_t>(height);
  info.bitCount = 24;
  info.sizeImage = static_cast<uint32_t>(pixelBytes);
  info.Write(bytes.get());
  return std::unique_ptr<PixelBlock>(new PixelBlock(std::move(bytes), width, height));
}

void PixelBlock::Describe(ImageBlkAttrRec& image) const {
  image.pixels = pixels();
  image.rowStride = static_cast<int32_t>(stride());
  image.redOffset = 2;
  image.greenOffset = 1;
  image.blueOffset = 0;
  image.pixelStride = 3;
  image.bottomUp = 1;
}

}  // namespace corvid
