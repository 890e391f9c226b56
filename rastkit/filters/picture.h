// How the image operations reach pixels: a picture seen through its record
// (row stride, pixel stride, three channel offsets, row order), the progress
// call with its stop rule, and the small size checks every two-picture
// operation makes before it writes anything.
#pragma once

#include <algorithm>
#include <cstdint>

#include "cam/color.h"
#include "rastkit.h"

namespace rk::filters {

// Channel order everywhere in this folder: red, green, blue.
enum Channel : int { kRed = 0, kGreen = 1, kBlue = 2 };

struct Picture {
  uint8_t* pixels = nullptr;
  int64_t rowStride = 0;
  int64_t pixelStride = 0;
  uint32_t offset[3] = {0, 0, 0};
  int width = 0;
  int height = 0;
  bool bottomUp = false;

  static Picture Of(const ImageBlkAttrRec& r) {
    Picture p;
    p.pixels = r.pixels;
    p.rowStride = r.rowStride;
    p.pixelStride = r.pixelStride;
    p.offset[kRed] = r.redOffset;
    p.offset[kGreen] = r.greenOffset;
    p.offset[kBlue] = r.blueOffset;
    p.width = r.width;
    p.height = r.height;
    p.bottomUp = r.bottomUp != 0;
    return p;
  }

  // Row r as stored in memory (r = 0 is the first stored row).
  [[nodiscard]] uint8_t* StoredRow(int64_t r) const { return pixels + r * rowStride; }
  // Image row y (y = 0 is the top row): the stored row, turned for a
  // bottom-up buffer.
  [[nodiscard]] uint8_t* ImageRow(int64_t y) const { return StoredRow(bottomUp ? height - 1 - y : y); }
  [[nodiscard]] uint8_t* At(uint8_t* row, int64_t x) const { return row + x * pixelStride; }
  [[nodiscard]] const uint8_t* At(const uint8_t* row, int64_t x) const { return row + x * pixelStride; }
  [[nodiscard]] bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // Bytes one row's pixels span: the last pixel's farthest channel + 1.
  [[nodiscard]] int64_t RowFootprint() const {
    if (width == 0) return 0;
    const uint32_t far = std::max({offset[0], offset[1], offset[2]});
    return (width - 1) * pixelStride + far + 1;
  }
};

inline uint8_t Clamp255(int64_t v) { return static_cast<uint8_t>(rk::Clamp255(v)); }

// The progress record's procedure, with the library's stop rule: RK_STOPPED
// ends the operation; any other value is remembered, since several
// operations return the value of the last call.
class Progress {
 public:
  explicit Progress(const UserCallBackRec* record) : record_(record) {}
  // True when the procedure asked to stop.
  [[nodiscard]] bool Report(int32_t done, int32_t total, void* work) {
    if (record_ == nullptr || record_->proc == nullptr) return false;
    last_ = record_->proc(done, total, work, record_->userData);
    return last_ == RK_STOPPED;
  }
  // Lets a pixel method's result become the last value too.
  void Remember(int16_t value) { last_ = value; }
  [[nodiscard]] int16_t last() const { return last_; }

 private:
  const UserCallBackRec* record_;
  int16_t last_ = 0;
};

// A second picture or source that the operation reads at the first
// picture's (or destination's) coordinates must be at least that large and
// have pixels; otherwise the walk would read outside it.
[[nodiscard]] inline bool CoversAtLeast(const ImageBlkAttrRec& reader, const ImageBlkAttrRec& target) {
  return reader.pixels != nullptr && reader.width >= target.width && reader.height >= target.height;
}

}  // namespace rk::filters
