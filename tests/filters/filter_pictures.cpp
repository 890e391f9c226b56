#include "filter_pictures.h"

#include <algorithm>
#include <sstream>

namespace rktest {

Picture::Picture(const Rgb& img, const Layout& layout) : width_(img.width), height_(img.height), layout_(layout) {
  stride_ = static_cast<int32_t>(width_ * layout.pixelStride + layout.padding);
  if (layout.bottomUp && layout.pixelStride == 3) stride_ = (stride_ + 3) / 4 * 4;
  bytes_.assign(static_cast<size_t>(std::max(1, stride_ * height_)), kGuard);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const size_t o = Offset(x, y);
      bytes_[o + layout_.red] = img.at(x, y)[0];
      bytes_[o + layout_.green] = img.at(x, y)[1];
      bytes_[o + layout_.blue] = img.at(x, y)[2];
    }
}

size_t Picture::Offset(int x, int y) const {
  const int stored = layout_.bottomUp ? height_ - 1 - y : y;
  return static_cast<size_t>(stored) * stride_ + static_cast<size_t>(x) * layout_.pixelStride;
}

ImageBlkAttrRec Picture::Record() {
  ImageBlkAttrRec rec{};
  rec.width = static_cast<uint16_t>(width_);
  rec.height = static_cast<uint16_t>(height_);
  rec.pixels = bytes_.data();
  rec.rowStride = stride_;
  rec.redOffset = layout_.red;
  rec.greenOffset = layout_.green;
  rec.blueOffset = layout_.blue;
  rec.pixelStride = layout_.pixelStride;
  rec.bottomUp = layout_.bottomUp ? 1 : 0;
  return rec;
}

Rgb Picture::ToRgb() const {
  Rgb img = Flat(width_, height_, 0, 0, 0);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const size_t o = Offset(x, y);
      img.at(x, y)[0] = bytes_[o + layout_.red];
      img.at(x, y)[1] = bytes_[o + layout_.green];
      img.at(x, y)[2] = bytes_[o + layout_.blue];
    }
  return img;
}

bool Picture::GuardsIntact() const {
  std::vector<bool> channel(bytes_.size(), false);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      for (uint32_t c : {layout_.red, layout_.green, layout_.blue}) channel[Offset(x, y) + c] = true;
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

std::string FirstDifference(const Rgb& got, const Rgb& want) {
  std::ostringstream s;
  if (got.width != want.width || got.height != want.height) return "sizes differ";
  int count = 0;
  for (int y = 0; y < got.height; ++y)
    for (int x = 0; x < got.width; ++x) {
      const uint8_t *a = got.at(x, y), *b = want.at(x, y);
      if (!std::equal(a, a + 3, b) && count++ == 0)
        s << x << ", " << y << ": (" << +a[0] << ", " << +a[1] << ", " << +a[2] << ") != (" << +b[0] << ", "
          << +b[1] << ", " << +b[2] << ")";
    }
  if (count) s << " (" << count << " pixels differ)";
  return s.str();
}

}  // namespace rktest
