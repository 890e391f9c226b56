// The bitmap information header and the program's 24-bit pixel block.
//
// Stand-in for the Windows BITMAPINFOHEADER: our own 40-byte record, read
// and written byte by byte in little-endian order, so the bytes in memory
// and in BMP files are those of the Windows layout on any host.
//
// The 24-bit pixel block is where every decoded picture lands: one
// zero-filled heap block (standing in for a fixed global-memory block) of
// 40 + stride x height bytes, the header first, then bottom-up rows of blue,
// green, red with each row padded to a multiple of 4 bytes. For width 5:
// 5 x 3 = 15 bytes of pixels, stride 16, one padding byte that stays 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "rastkit.h"

namespace corvid {

constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kFileHeaderSize = 14;  // BITMAPFILEHEADER
constexpr uint16_t kBmpType = 0x4D42;     // "BM" read as a little-endian word (19778)

// Largest pixel block the program makes or reads: the header's image size
// is a 32-bit field, and a camera-picture converter never needs more than a
// few megabytes; 256 MiB keeps a hostile header (65535 x 65535 from a JPEG
// SOF) from asking for 12 GiB before anything is decoded.
constexpr uint64_t kMaxPixelBytes = 256ull << 20;

struct BitmapInfoHeader {
  uint32_t size = kInfoHeaderSize;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows stored bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;  // 0: uncompressed
  uint32_t sizeImage = 0;    // bytes of pixel data; 0: derive from the size
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;

  static BitmapInfoHeader Read(const uint8_t* bytes);  // 40 bytes
  void Write(uint8_t* bytes) const;                    // 40 bytes
};

void PutLE16(uint8_t* p, uint16_t v);
void PutLE32(uint8_t* p, uint32_t v);
uint16_t GetLE16(const uint8_t* p);
uint32_t GetLE32(const uint8_t* p);

// Bytes of one 24-bit row rounded up to a multiple of 4: width 1 -> 4,
// width 4 -> 12, width 5 -> 16.
constexpr uint32_t RowStride24(uint32_t width) { return (width * 3 + 3) / 4 * 4; }

// Bytes of the pixel rows of a header whose sizeImage is 0: the row length
// in 32-bit words (width x bitCount / 32 rounded up) x 4 x height, in 64
// bits so that no header can make it wrap.
uint64_t DerivedPixelBytes(const BitmapInfoHeader& info);

struct FreeDeleter {
  void operator()(void* p) const;
};
// A zero-filled heap block (calloc), freed with free().
using HeapBytes = std::unique_ptr<uint8_t[], FreeDeleter>;
HeapBytes AllocZeroed(size_t bytes);  // null on failure; 0 bytes gives a 1-byte block

// The 24-bit pixel block described above.
class PixelBlock {
 public:
  // Null when width or height is 0 or above 65535 (the library's image
  // records hold 16-bit sizes), the block would exceed kMaxPixelBytes, or
  // memory runs out.
  static std::unique_ptr<PixelBlock> Create(uint32_t width, uint32_t height);

  uint8_t* data() const { return bytes_.get(); }          // the header
  uint8_t* pixels() const { return bytes_.get() + kInfoHeaderSize; }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  uint32_t stride() const { return RowStride24(width_); }
  uint32_t pixelBytes() const { return stride() * height_; }

  // Points the pixel part of a record at this block: bottom-up rows of
  // blue (offset 0), green (1), red (2), 3 bytes a pixel. Every other pixel
  // field is left as it is (the caller builds the record zero-filled).
  void Describe(ImageBlkAttrRec& image) const;

 private:
  PixelBlock(HeapBytes bytes, uint32_t width, uint32_t height)
      : bytes_(std::move(bytes)), width_(width), height_(height) {}
  HeapBytes bytes_;
  uint32_t width_;
  uint32_t height_;
};

}  // namespace corvid
