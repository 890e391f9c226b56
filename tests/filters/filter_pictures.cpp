#include "filter_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace rktest {

Layout TopDownRgb() { return Layout{"TopDownRgb", false, 3, 0, 1, 2, 0}; }
Layout BottomUpBgr() { return Layout{"BottomUpBgr", true, 3, 2, 1, 0, 0}; }

const std::vector<Layout>& Layouts() {
  static const std::vector<Layout> all = {TopDownRgb(), BottomUpBgr(), Layout{"TopDown32", false, 4, 1, 2, 3, 0},
                                          Layout{"BottomUpPadded32", true, 4, 3, 0, 2, 5}};
  return all;
}

Picture::Picture(int width, int height, const Layout& layout, uint8_t fill)
    : width_(width), height_(height), layout_(layout) {
  // The program's bitmaps pad rows to 4 bytes; the other layouts add their
  // own padding.
  int32_t row = static_cast<int32_t>(width * layout.pixelStride + layout.padding);
  if (layout.bottomUp && layout.pixelStride == 3) row = (row + 3) / 4 * 4;
  stride_ = row;
  bytes_.assign(static_cast<size_t>(std::max(1, stride_ * height)), kGuard);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t o = Offset(x, y);
      bytes_[o + layout.red] = bytes_[o + layout.green] = bytes_[o + layout.blue] = fill;
    }
}

Picture::Picture(const Rgb& img, const Layout& layout) : Picture(img.width, img.height, layout) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const uint8_t* p = img.at(x, y);
      const size_t o = Offset(x, y);
      bytes_[o + layout_.red] = p[0];
      bytes_[o + layout_.green] = p[1];
      bytes_[o + layout_.blue] = p[2];
    }
}

size_t Picture::Offset(int x, int y) const {
  const int stored = layout_.bottomUp ? height_ - 1 - y : y;
  return static_cast<size_t>(stored) * stride_ + static_cast<size_t>(x) * layout_.pixelStride;
}

void Picture::Describe(ImageBlkAttrRec& rec) {
  rec.width = static_cast<uint16_t>(width_);
  rec.height = static_cast<uint16_t>(height_);
  rec.pixels = bytes_.data();
  rec.rowStride = stride_;
  rec.redOffset = layout_.red;
  rec.greenOffset = layout_.green;
  rec.blueOffset = layout_.blue;
  rec.pixelStride = layout_.pixelStride;
  rec.bottomUp = layout_.bottomUp ? 1 : 0;
}

ImageBlkAttrRec Picture::Record() {
  ImageBlkAttrRec rec{};
  Describe(rec);
  return rec;
}

Rgb Picture::ToRgb() const {
  Rgb img;
  img.width = width_;
  img.height = height_;
  img.px.resize(static_cast<size_t>(width_) * height_ * 3);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const size_t o = Offset(x, y);
      uint8_t* p = img.at(x, y);
      p[0] = bytes_[o + layout_.red];
      p[1] = bytes_[o + layout_.green];
      p[2] = bytes_[o + layout_.blue];
    }
  return img;
}

bool Picture::GuardsIntact() const {
  std::vector<bool> channel(bytes_.size(), false);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const size_t o = Offset(x, y);
      channel[o + layout_.red] = channel[o + layout_.green] = channel[o + layout_.blue] = true;
    }
  for (size_t i = 0; i < bytes_.size(); ++i)
    if (!channel[i] && bytes_[i] != kGuard) return false;
  return true;
}

Rgb Flat(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  Rgb img;
  img.width = width;
  img.height = height;
  for (int i = 0; i < width * height; ++i) img.px.insert(img.px.end(), {r, g, b});
  return img;
}

Rgb LoadFilterFixture(const std::string& name) { return LoadPpm(Fixture("filters/" + name)); }

std::string FirstDifference(const Rgb& got, const Rgb& want) {
  std::ostringstream s;
  if (got.width != want.width || got.height != want.height) {
    s << "size " << got.width << "x" << got.height << " != " << want.width << "x" << want.height;
    return s.str();
  }
  int count = 0;
  for (int y = 0; y < got.height; ++y)
    for (int x = 0; x < got.width; ++x) {
      const uint8_t* a = got.at(x, y);
      const uint8_t* b = want.at(x, y);
      if (std::equal(a, a + 3, b)) continue;
      if (count++ == 0)
        s << x << ", " << y << ": (" << +a[0] << ", " << +a[1] << ", " << +a[2] << ") != (" << +b[0] << ", "
          << +b[1] << ", " << +b[2] << ")";
    }
  if (count) s << " (" << count << " pixels differ)";
  return s.str();
}

}  // namespace rktest
