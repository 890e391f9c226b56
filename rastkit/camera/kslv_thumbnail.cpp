// KSLV thumbnails: 30 rows of 60 pixels in packed bytes (Y0, Y1, Cb + 127,
// Cr + 127 for each pair of pixels) turned into a 40 x 30 or 60 x 45 RGB
// picture through the unit's two gamma curves, and the bitmap exports.
#include <algorithm>
#include <cstring>

#include "cam/kernels.h"
#include "camera/common.h"
#include "camera/enhance.h"
#include "camera/packed_bitmap.h"
#include "memory.h"

namespace rk::camera {
namespace {

constexpr int kSourceRows = 30;
constexpr int kSourcePixels = 60;
constexpr int kSourceRowBytes = 2 * kSourcePixels;
constexpr uint32_t kThumbnailBytes = kSourceRows * kSourceRowBytes;  // 3600
// Two rows of 60 (Y, Cb, Cr) triplets of 16 bits.
constexpr uint32_t kWorkBytes = 2 * kSourcePixels * 3 * sizeof(int16_t);  // 720
static_assert(kWorkBytes == 720);

constexpr int kNarrowWidth = 40, kNarrowHeight = 30;
constexpr int kTallWidth = 60, kTallHeight = 45;
constexpr int kMaxTenBit = 1023;

// Unpacks source row r and converts it, leaving 10-bit (R, G, B) triplets.
// Luminance is sharpened with 3Y(i) - Y(i+1) - Y(i-1) (the last pixel
// unsharpened); each chrominance may move at most 4 from the previous
// pixel's limited value. Flat bytes of 128 give Y' = 128, Cb = Cr = 1,
// converted (129, 127, 130).
void ConvertRow(const uint8_t* thumb, int r, const uint16_t* inputGamma, int16_t* out) {
  const uint8_t* src = thumb + static_cast<size_t>(r) * kSourceRowBytes;
  int16_t luma[kSourcePixels];
  int16_t cb[kSourcePixels];
  int16_t cr[kSourcePixels];
  for (int k = 0; k < kSourcePixels / 2; ++k) {
    luma[2 * k] = src[4 * k];
    luma[2 * k + 1] = src[4 * k + 1];
    cb[2 * k] = cb[2 * k + 1] = static_cast<int16_t>(src[4 * k + 2] - 127);
    cr[2 * k] = cr[2 * k + 1] = static_cast<int16_t>(src[4 * k + 3] - 127);
  }
  int prevCb = cb[0], prevCr = cr[0];
  for (int i = 0; i < kSourcePixels; ++i) {
    const int left = luma[i == 0 ? 0 : i - 1];
    int16_t y = i == kSourcePixels - 1 ? luma[i] : static_cast<int16_t>(3 * luma[i] - luma[i + 1] - left);
    prevCb = std::clamp<int>(cb[i], prevCb - 4, prevCb + 4);
    prevCr = std::clamp<int>(cr[i], prevCr - 4, prevCr + 4);
    int16_t u = static_cast<int16_t>(prevCb), v = static_cast<int16_t>(prevCr);
    YccToRgb(&y, &u, &v);  // clamped to 0 .. 255
    out[3 * i] = static_cast<int16_t>(inputGamma[y]);
    out[3 * i + 1] = static_cast<int16_t>(inputGamma[u]);
    out[3 * i + 2] = static_cast<int16_t>(inputGamma[v]);
  }
}

// The output curve; indices beyond 10 bits (a caller's own curve) are held
// at the last entry.
inline int Out(const uint16_t* outputGamma, int tenBit) {
  return outputGamma[std::clamp(tenBit, 0, kMaxTenBit)] & 0xFF;
}

void Store(const OutputImage& o, int x, int y, int r, int g, int b) {
  uint8_t* p = o.At(x, y);
  p[o.red] = static_cast<uint8_t>(r);
  p[o.green] = static_cast<uint8_t>(g);
  p[o.blue] = static_cast<uint8_t>(b);
}

}  // namespace

int16_t DecodeKslvThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint32_t length,
                            ImageBlkAttrRec* image) {
  if (table == nullptr || image == nullptr || thumb == nullptr) return RK_ERR_NULL;
  const bool narrow = image->width == kNarrowWidth && image->height == kNarrowHeight;
  const bool tall = image->width == kTallWidth && image->height == kTallHeight;
  if ((!narrow && !tall) || image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  if (table->inputGamma == nullptr || table->outputGamma == nullptr) return RK_ERR_CAMERA_DATA;
  if (length < kThumbnailBytes) return RK_ERR_CAMERA_INVALID;

  Scratch scratch(table, kWorkBytes);
  if (!scratch.ok()) return RK_ERR_MEMORY;
  auto* rows = reinterpret_cast<int16_t*>(scratch.data());
  int16_t* const pair[2] = {rows, rows + 3 * kSourcePixels};

  const OutputImage o = OutputImage::From(*image, image->width, image->height);
  const uint16_t* g = table->outputGamma;
  for (int m = 0; m < kSourceRows / 2; ++m) {
    ConvertRow(thumb, 2 * m, table->inputGamma, pair[0]);
    ConvertRow(thumb, 2 * m + 1, table->inputGamma, pair[1]);
    if (tall) {
      // Three image rows per pair: the first mixes the previous pair's last
      // row (already stored) with this pair's first, the second mixes this
      // pair's rows, the third is its second row.
      for (int x = 0; x < kTallWidth; ++x) {
        int first[3], second[3], mixed[3];
        for (int c = 0; c < 3; ++c) {
          first[c] = Out(g, pair[0][3 * x + c]);
          second[c] = Out(g, pair[1][3 * x + c]);
          mixed[c] = (first[c] + second[c]) / 2;
        }
        if (m == 0) {
          Store(o, x, 0, first[0], first[1], first[2]);
        } else {
          const uint8_t* above = o.At(x, 3 * m - 1);
          Store(o, x, 3 * m, (above[o.red] + first[0]) / 2, (above[o.green] + first[1]) / 2,
                (above[o.blue] + first[2]) / 2);
        }
        Store(o, x, 3 * m + 1, mixed[0], mixed[1], mixed[2]);
        Store(o, x, 3 * m + 2, second[0], second[1], second[2]);
      }
    } else {
      // Three source pixels make two: (2p0 + p1) / 3 and (p1 + 2p2) / 3.
      for (int half = 0; half < 2; ++half) {
        const int16_t* p = pair[half];
        for (int j = 0; j < kNarrowWidth / 2; ++j, p += 9) {
          int left[3], right[3];
          for (int c = 0; c < 3; ++c) {
            left[c] = Out(g, (2 * p[c] + p[3 + c]) / 3);
            right[c] = Out(g, (p[3 + c] + 2 * p[6 + c]) / 3);
          }
          Store(o, 2 * j, 2 * m + half, left[0], left[1], left[2]);
          Store(o, 2 * j + 1, 2 * m + half, right[0], right[1], right[2]);
        }
      }
    }
  }

  for (int y = 0; y < o.height; ++y) {
    for (int x = 0; x < o.width; ++x) {
      uint8_t* p = o.At(x, y);
      int16_t r = p[o.red], gr = p[o.green], b = p[o.blue];
      EnhanceColour(r, gr, b, 2);
      p[o.red] = static_cast<uint8_t>(r);
      p[o.green] = static_cast<uint8_t>(gr);
      p[o.blue] = static_cast<uint8_t>(b);
    }
  }
  return RK_OK;
}

namespace {

// The 40 x 30 bitmap of Create and GetImg; null on any failure.
void* NewThumbnailBitmap(ModuleTableRec* table, const uint8_t* thumb) {
  int16_t code = RK_OK;
  return NewFilledBitmap(kNarrowWidth, kNarrowHeight, code, [&](uint8_t* block) {
    ImageBlkAttrRec image{};
    DescribeBitmap(block, kNarrowWidth, kNarrowHeight, image);
    return DecodeKslvThumbnail(table, thumb, kThumbnailBytes, &image);
  });
}

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" {

RK_API int16_t RkDecompressCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint32_t length,
                                           ImageBlkAttrRec* image) {
  return DecodeKslvThumbnail(table, thumb, length, image);
}

RK_API uint32_t RkGetThumbnailDecodeWorkSpaceSize(void) { return kWorkBytes; }

RK_API uint32_t RkGetDIBKSLVCameraThumbnailSize(void) {
  return static_cast<uint32_t>(PackedBitmapBytes(kNarrowWidth, kNarrowHeight));
}

RK_API void* RkCreateDIBKSLVCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb) {
  if (table == nullptr || thumb == nullptr) return nullptr;
  return NewThumbnailBitmap(table, thumb);
}

RK_API void* RkGetImgDIBKSLVCameraThumbnail(const uint8_t* thumb) {
  if (thumb == nullptr) return nullptr;
  OwnTable unit(OwnTable::Kind::kUnit);
  if (!unit.ok()) return nullptr;
  return NewThumbnailBitmap(unit.get(), thumb);
}

RK_API int16_t RkConvertDIBKSLVCameraThumbnail(ModuleTableRec* table, const uint8_t* thumb, uint8_t* block) {
  // A missing thumbnail is refused before the header goes into the block.
  if (table == nullptr || thumb == nullptr || block == nullptr) return RK_ERR_NULL;
  WriteBitmapHeader(block, kNarrowWidth, kNarrowHeight);
  ImageBlkAttrRec image{};
  DescribeBitmap(block, kNarrowWidth, kNarrowHeight, image);
  return DecodeKslvThumbnail(table, thumb, kThumbnailBytes, &image);
}

}  // extern "C"
