// Pictures in any layout an ImageBlkAttrRec can describe (row order, pixel
// stride, channel offsets, row padding), filled from and read back into a
// top-down RGB picture. Bytes that are not channel bytes hold kGuard, so
// that a filter writing outside its channels shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace rktest {

struct Layout {
  const char* name;
  bool bottomUp;
  uint32_t pixelStride, red, green, blue, padding;
};

constexpr Layout kTopDownRgb{"TopDownRgb", false, 3, 0, 1, 2, 0};      // the fixtures' layout
constexpr Layout kBottomUpBgr{"BottomUpBgr", true, 3, 2, 1, 0, 0};     // the program's (rows padded to 4)
constexpr Layout kLayouts[] = {kTopDownRgb, kBottomUpBgr, {"TopDown32", false, 4, 1, 2, 3, 0},
                               {"BottomUpPadded32", true, 4, 3, 0, 2, 5}};
constexpr uint8_t kGuard = 0xA5;

class Picture {
 public:
  Picture(const Rgb& img, const Layout& layout);
  ImageBlkAttrRec Record();  // zero-filled but for the pixel fields
  Rgb ToRgb() const;
  bool GuardsIntact() const;

 private:
  size_t Offset(int x, int y) const;
  int width_, height_;
  Layout layout_;
  int32_t stride_;
  std::vector<uint8_t> bytes_;
};

Rgb Flat(int width, int height, uint8_t r, uint8_t g, uint8_t b);
// "x, y: (r, g, b) != (r, g, b) (n pixels differ)", or "" when equal.
std::string FirstDifference(const Rgb& got, const Rgb& want);

}  // namespace rktest
