// Pieces shared by the camera-data pipelines: sample clamping, the progress
// call, the output pixel layout, the Huffman lookups of one module table, and
// the module table that the self-contained exports make for themselves.
#pragma once

#include <algorithm>
#include <cstdint>

#include "cam/block_decoder.h"
#include "cam/color.h"
#include "rastkit.h"

namespace rk::camera {

// Limits a sample to 0 .. 255.
[[nodiscard]] inline int16_t ClampToByte(int64_t v) {
  return static_cast<int16_t>(Clamp255(v));
}

// The caller's progress procedure, or RK_OK without one.
[[nodiscard]] inline int16_t CallProgress(const UserCallBackRec* progress, int32_t done, int32_t total,
                                          void* work) {
  if (progress == nullptr || progress->proc == nullptr) return RK_OK;
  return progress->proc(done, total, work, progress->userData);
}

// The record's pixel buffer as the camera decoders write it: interleaved
// 8-bit samples through the channel offsets, rows top-down or bottom-up.
struct OutputImage {
  uint8_t* pixels = nullptr;
  int64_t rowStride = 0;
  int64_t pixelStride = 0;
  uint32_t red = 0, green = 0, blue = 0;
  int width = 0;
  int height = 0;
  bool bottomUp = false;

  static OutputImage From(const ImageBlkAttrRec& image, int width, int height) {
    OutputImage o;
    o.pixels = image.pixels;
    o.rowStride = image.rowStride;
    o.pixelStride = image.pixelStride;
    o.red = image.redOffset;
    o.green = image.greenOffset;
    o.blue = image.blueOffset;
    o.width = width;
    o.height = height;
    o.bottomUp = image.bottomUp != 0;
    return o;
  }
  // First byte of pixel (x, y), y counted from the top of the image.
  [[nodiscard]] uint8_t* At(int x, int y) const {
    const int64_t row = bottomUp ? height - 1 - y : y;
    return pixels + row * rowStride + x * pixelStride;
  }
};

// Symbol lookups for the module table's four code tables (and its lookup
// buffers when installed), as the baseline decoder builds them.
struct TableLookups {
  HuffLookup dc[2];
  HuffLookup ac[2];
  explicit TableLookups(const ModuleTableRec& table);
};

// A module table of the library's own for the exports that take none:
// RkInitModuleTable, plus the gamma curves of the image-processing unit when
// asked. ok() is false when any allocation failed. Freed on destruction.
class OwnTable {
 public:
  enum class Kind { kCodec, kUnit };
  explicit OwnTable(Kind kind);
  ~OwnTable();
  OwnTable(const OwnTable&) = delete;
  OwnTable& operator=(const OwnTable&) = delete;
  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] ModuleTableRec* get() const { return table_; }

 private:
  ModuleTableRec* table_ = nullptr;
  bool ok_ = false;
};

}  // namespace rk::camera
