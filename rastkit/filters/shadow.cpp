// RkShadowingImage: a soft drop shadow of a picture's foreground (every
// pixel that is not the key colour), cast by an offset onto its background.
#include <algorithm>

#include "picture.h"

namespace rk::filters {
namespace {

struct Rgb3 {
  int v[3];
  bool operator==(const Rgb3&) const = default;
};

// 511 / channel: a shading of s / divisor per covered position, averaged
// over the positions, stays at or below half the channel (255 * 255 / 511
// = 127 for a white key, so 255 becomes 128 under full cover).
struct Divisors {
  int d[3];
  explicit Divisors(const Rgb3& c) {
    for (int i = 0; i < 3; ++i) d[i] = c.v[i] == 0 ? 511 : 511 / c.v[i];
  }
};

class Shadow {
 public:
  Shadow(const Picture& dest, const Picture& source, int radius, int columnOffset, int rowOffset, uint16_t mode,
         uint32_t keyWord)
      : dest_(dest), source_(source), radius_(radius), columnOffset_(columnOffset), rowOffset_(rowOffset),
        coverage_(mode == 0), inverse_((keyWord & (1u << 29)) != 0) {
    if (keyWord & (1u << 28))
      key_ = Rgb3{{static_cast<int>((keyWord >> 16) & 0xFF), static_cast<int>((keyWord >> 8) & 0xFF),
                   static_cast<int>(keyWord & 0xFF)}};
  }

  int16_t Run(Progress& report) const {
    const Divisors keyDivisors(key_);
    for (int r = 0; r < dest_.height; ++r) {
      uint8_t* out = dest_.StoredRow(r);
      for (int x = 0; x < dest_.width; ++x) {
        const Rgb3 p = Read(x, r);
        const bool background = p == key_;
        uint8_t* o = dest_.At(out, x);
        // Normal mode shades the background and keeps the foreground;
        // inverse mode the other way round, scaled by the pixel itself.
        if (background == inverse_) {
          for (int c = 0; c < 3; ++c) o[dest_.offset[c]] = static_cast<uint8_t>(p.v[c]);
          continue;
        }
        const Divisors div = inverse_ ? Divisors(p) : keyDivisors;
        int64_t n = 0;
        const int64_t s = Gather(x - columnOffset_, r - rowOffset_, &n);
        for (int c = 0; c < 3; ++c) {
          const int64_t shading = n == 0 ? 0 : s / div.d[c] / n;
          o[dest_.offset[c]] = static_cast<uint8_t>(p.v[c] - shading);
        }
      }
      if (report.Report(r, dest_.height - 1, out)) return RK_STOPPED;
    }
    return report.last();
  }

 private:
  Rgb3 Read(int64_t x, int64_t r) const {
    const uint8_t* p = source_.At(source_.StoredRow(r), x);
    return Rgb3{{p[source_.offset[0]], p[source_.offset[1]], p[source_.offset[2]]}};
  }

  // Sum over the diamond of the given radius around (cx, cy), positions
  // outside the source skipped (the diamond is clipped to the source, so the
  // walk never exceeds the source's size whatever the radius).
  int64_t Gather(int64_t cx, int64_t cy, int64_t* count) const {
    int64_t s = 0;
    const int64_t r = radius_;
    const int64_t dyFirst = std::max(-r, -cy), dyLast = std::min(r, source_.height - 1 - cy);
    for (int64_t dy = dyFirst; dy <= dyLast; ++dy) {
      const int64_t half = r - (dy < 0 ? -dy : dy);
      const int64_t x0 = std::max(cx - half, int64_t{0}), x1 = std::min(cx + half, int64_t{source_.width} - 1);
      for (int64_t x = x0; x <= x1; ++x) {
        const Rgb3 q = Read(x, cy + dy);
        if ((q == key_) == inverse_) {  // foreground (normal) or background (inverse)
          s += coverage_ ? 255 : (765 - q.v[0] - q.v[1] - q.v[2]) / 3;
        }
      }
      if (x1 >= x0) *count += x1 - x0 + 1;
    }
    return s;
  }

  Picture dest_, source_;
  int radius_, columnOffset_, rowOffset_;
  bool coverage_, inverse_;
  Rgb3 key_{{255, 255, 255}};
};

}  // namespace
}  // namespace rk::filters

extern "C" RK_API int16_t RkShadowingImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source,
                                           int16_t radius, int16_t columnOffset, int16_t rowOffset, uint16_t mode,
                                           UserCallBackRec* progress) {
  using namespace rk::filters;
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr || !CoversAtLeast(*source, *dest)) return RK_ERR_UNSUPPORTED;
  Progress report(progress);
  const Shadow shadow(Picture::Of(*dest), Picture::Of(*source), radius, columnOffset, rowOffset, mode,
                      source->componentIds);
  return shadow.Run(report);
}
