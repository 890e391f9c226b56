// Pictures in any layout an ImageBlkAttrRec can describe, for the filter
// tests: a byte buffer with row order, pixel stride, channel offsets and row
// padding chosen per case, filled from and read back into a top-down RGB
// picture. Bytes that are not channel bytes (padding, a fourth byte) hold a
// guard value, so that a filter writing outside its channels shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace rktest {

struct Layout {
  std::string name;
  bool bottomUp = false;
  uint32_t pixelStride = 3;
  uint32_t red = 0, green = 1, blue = 2;
  uint32_t padding = 0;  // extra bytes at the end of each row
};

// Top-down RGB (the fixtures' set-up), the program's bottom-up BGR bitmap
// with rows padded to 4 bytes, and top-down 32-bit pixels with red, green,
// blue in bytes 1 to 3.
const std::vector<Layout>& Layouts();
Layout TopDownRgb();
Layout BottomUpBgr();

constexpr uint8_t kGuard = 0xA5;

class Picture {
 public:
  Picture(const Rgb& img, const Layout& layout);
  Picture(int width, int height, const Layout& layout, uint8_t fill = 0);
  // Points the record's pixel fields at the buffer (other fields stay).
  void Describe(ImageBlkAttrRec& rec);
  ImageBlkAttrRec Record();  // a zero-filled record, described
  Rgb ToRgb() const;
  // True when every byte outside the channels still holds kGuard.
  bool GuardsIntact() const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  size_t Offset(int x, int y) const;
  int width_, height_;
  Layout layout_;
  int32_t stride_;
  std::vector<uint8_t> bytes_;
};

Rgb Flat(int width, int height, uint8_t r, uint8_t g, uint8_t b);
Rgb LoadFilterFixture(const std::string& name);  // from fixtures/filters
// "x, y: (r, g, b) != (r, g, b)" for the first difference, "" when equal.
std::string FirstDifference(const Rgb& got, const Rgb& want);

}  // namespace rktest
