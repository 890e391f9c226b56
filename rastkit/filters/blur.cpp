// Blurs: RkBluringImage (mean over a diamond), RkBluringVPImage (the same
// with weights falling off with distance) and RkBluringOutFocusImage (every
// pixel scattered over a disc, like an out-of-focus lens).
//
// The diamond and the disc are both one span of columns per row offset dy
// (half-widths r - |dy| and floor(sqrt(r^2 - dy^2))). Moving one pixel to
// the right changes each span by one column in and one column out, so the
// running window costs 2 (2r + 1) reads per pixel instead of the 2r^2 +
// 2r + 1 of the direct sum, with exactly the same integer sums.
#include "blur.h"

#include <algorithm>
#include <cmath>

#include "cam/kernels.h"
#include "memory.h"
#include "picture.h"

namespace rk::filters {
namespace {

// A shape: half[dy + radius] is the half-width of its row at offset dy;
// without a table it is the diamond, radius - |dy|.
struct Shape {
  int64_t radius;
  const int64_t* half;
  [[nodiscard]] int64_t Half(int64_t dy) const { return half ? half[dy + radius] : radius - (dy < 0 ? -dy : dy); }
};

struct Sums {
  int64_t v[3] = {0, 0, 0};
  int64_t count = 0;
};

// Channel values of the picture's pixels at (x, row), mapped through
// value() (identity for the means, v / N for the disc).
template <class Value>
struct Region {
  const Picture& pic;
  int64_t width, height;  // the part of the picture the shape may cover
  Value value;

  void Add(Sums& s, int64_t x, int64_t row, int sign) const {
    const uint8_t* p = pic.At(pic.StoredRow(row), x);
    for (int c = 0; c < 3; ++c) s.v[c] += sign * value(p[pic.offset[c]]);
    s.count += sign;
  }
};

// Sums over the shape centred on (x, row), every offset visited.
template <class Value>
Sums DirectSums(const Region<Value>& region, const Shape& shape, int64_t x, int64_t row) {
  Sums s;
  const int64_t dyLo = std::max(-shape.radius, -row), dyHi = std::min(shape.radius, region.height - 1 - row);
  for (int64_t dy = dyLo; dy <= dyHi; ++dy) {
    const int64_t h = shape.Half(dy);
    const int64_t dxLo = std::max(-h, -x), dxHi = std::min(h, region.width - 1 - x);
    for (int64_t dx = dxLo; dx <= dxHi; ++dx) region.Add(s, x + dx, row + dy, 1);
  }
  return s;
}

// For each x in 0..count-1, out(x, sums) with the sums of the shape
// centred on (x, row): the first directly, the others by sliding.
template <class Value, class Out>
void ShapeRow(const Region<Value>& region, const Shape& shape, int64_t row, int64_t count, BlurPath path, Out&& out) {
  if (count <= 0) return;
  if (path == BlurPath::kDirect) {
    for (int64_t x = 0; x < count; ++x) out(x, DirectSums(region, shape, x, row));
    return;
  }
  Sums s = DirectSums(region, shape, 0, row);
  out(0, s);
  const int64_t dyLo = std::max(-shape.radius, -row), dyHi = std::min(shape.radius, region.height - 1 - row);
  for (int64_t x = 1; x < count; ++x) {
    for (int64_t dy = dyLo; dy <= dyHi; ++dy) {
      const int64_t h = shape.Half(dy);
      if (x + h < region.width) region.Add(s, x + h, row + dy, 1);
      if (x - 1 - h >= 0 && x - 1 - h < region.width) region.Add(s, x - 1 - h, row + dy, -1);
    }
    out(x, s);
  }
}

struct Identity {
  int64_t operator()(uint8_t v) const { return v; }
};

// Flags low byte not 0: the mean replaces only the chosen parts of the
// destination's current pixel (bit 0 Y, bit 1 Cb, bit 2 Cr).
void StoreMean(const Picture& dest, uint8_t* p, const int64_t mean[3], uint32_t flags) {
  if ((flags & 0xFF) == 0) {
    for (int c = 0; c < 3; ++c) p[dest.offset[c]] = Clamp255(mean[c]);
    return;
  }
  int16_t m[3] = {static_cast<int16_t>(mean[0]), static_cast<int16_t>(mean[1]), static_cast<int16_t>(mean[2])};
  int16_t d[3] = {p[dest.offset[kRed]], p[dest.offset[kGreen]], p[dest.offset[kBlue]]};
  RgbToYcc(&m[0], &m[1], &m[2]);
  RgbToYcc(&d[0], &d[1], &d[2]);
  for (int c = 0; c < 3; ++c)
    if (flags & (1u << c)) d[c] = m[c];
  YccToRgb(&d[0], &d[1], &d[2]);
  for (int c = 0; c < 3; ++c) p[dest.offset[c]] = Clamp255(d[c]);
}

[[nodiscard]] int16_t CheckBlurArguments(const ModuleTableRec* table, const ImageBlkAttrRec* dest,
                                         const ImageBlkAttrRec* source, int16_t radius) {
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr || radius < 0 || !CoversAtLeast(*source, *dest)) return RK_ERR_UNSUPPORTED;
  return RK_OK;
}

}  // namespace

int16_t DiamondBlur(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius,
                    uint32_t flags, UserCallBackRec* progress, BlurPath path) {
  if (const int16_t bad = CheckBlurArguments(table, dest, source, radius)) return bad;
  const Picture d = Picture::Of(*dest), s = Picture::Of(*source);
  // No two source pixels lie further apart than (W - 1) + (H - 1): a larger
  // radius covers the same pixels.
  const int64_t r = std::min<int64_t>(radius, int64_t{s.width} + s.height);
  const Shape shape{r, nullptr};
  const Region<Identity> region{s, s.width, s.height, Identity{}};
  Progress report(progress);
  for (int row = 0; row < d.height; ++row) {
    uint8_t* out = d.StoredRow(row);
    ShapeRow(region, shape, row, d.width, path, [&](int64_t x, const Sums& sums) {
      const int64_t mean[3] = {sums.v[0] / sums.count, sums.v[1] / sums.count, sums.v[2] / sums.count};
      StoreMean(d, d.At(out, x), mean, flags);
    });
    if (report.Report(row, d.height - 1, out)) return RK_STOPPED;
  }
  return report.last();
}

int16_t OutOfFocusBlur(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t radius,
                       UserCallBackRec* progress, BlurPath path) {
  if (const int16_t bad = CheckBlurArguments(table, dest, source, radius)) return bad;
  const Picture d = Picture::Of(*dest), s = Picture::Of(*source);
  // N counts the whole disc (dx^2 + dy^2 <= r^2), also the part that no
  // picture reaches; only rows that can land inside the destination are
  // kept for the walk.
  const int64_t r = radius;
  const auto halfWidth = [r](int64_t dy) {
    int64_t h = static_cast<int64_t>(std::sqrt(static_cast<double>(r * r - dy * dy)));
    while (h * h > r * r - dy * dy) --h;
    while ((h + 1) * (h + 1) <= r * r - dy * dy) ++h;
    return h;
  };
  int64_t n = 0;
  for (int64_t dy = -r; dy <= r; ++dy) n += 2 * halfWidth(dy) + 1;
  const int64_t kept = std::min<int64_t>(r, d.height);
  int64_t* half = static_cast<int64_t*>(AllocZeroed(static_cast<size_t>(2 * kept + 1), sizeof(int64_t)));
  if (half == nullptr) return RK_ERR_MEMORY;
  for (int64_t dy = -kept; dy <= kept; ++dy) half[dy + kept] = halfWidth(dy);

  // Every source pixel adds v / N (truncated) to each destination pixel its
  // disc covers, saturating at 255. The disc is symmetric, so that is the
  // sum of v / N over the disc around each destination pixel; with at most
  // N terms of at most 255 / N it never actually passes 255.
  int64_t shares[256];
  for (int v = 0; v < 256; ++v) shares[v] = v / n;
  const auto share = [&shares](uint8_t v) { return shares[v]; };
  const Region<decltype(share)> region{s, d.width, d.height, share};
  const Shape shape{kept, half};
  Progress report(progress);
  int16_t result = RK_OK;
  for (int row = 0; row < d.height; ++row) {
    uint8_t* out = d.StoredRow(row);
    ShapeRow(region, shape, row, d.width, path, [&](int64_t x, const Sums& sums) {
      uint8_t* p = d.At(out, x);
      for (int c = 0; c < 3; ++c) p[d.offset[c]] = static_cast<uint8_t>(std::min<int64_t>(sums.v[c], 255));
    });
    if (report.Report(row, d.height - 1, out)) {
      result = RK_STOPPED;
      break;
    }
    result = report.last();
  }
  FreeMemory(half);
  return result;
}

}  // namespace rk::filters

using namespace rk::filters;

extern "C" RK_API int16_t RkBluringImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source,
                                         int16_t radius, uint32_t flags, UserCallBackRec* progress) {
  return DiamondBlur(table, dest, source, radius, flags, progress, BlurPath::kWindow);
}

extern "C" RK_API int16_t RkBluringOutFocusImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                                 ImageBlkAttrRec* source, int16_t radius,
                                                 UserCallBackRec* progress) {
  return OutOfFocusBlur(table, dest, source, radius, progress, BlurPath::kWindow);
}

// Neighbours at distance d = |dx| + |dy| count r - d + 1 times, the pixel
// itself once: with radius 2 the cross weighs 2 and the next ring 1.
extern "C" RK_API int16_t RkBluringVPImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source,
                                           int16_t radius, uint32_t flags, UserCallBackRec* progress) {
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr || radius < 0 || !CoversAtLeast(*source, *dest)) return RK_ERR_UNSUPPORTED;
  const Picture d = Picture::Of(*dest), s = Picture::Of(*source);
  const int64_t r = radius;
  Progress report(progress);
  for (int row = 0; row < d.height; ++row) {
    uint8_t* out = d.StoredRow(row);
    for (int x = 0; x < d.width; ++x) {
      int64_t sum[3] = {0, 0, 0}, count = 0;
      const int64_t dyLo = std::max<int64_t>(-r, -row), dyHi = std::min<int64_t>(r, s.height - 1 - row);
      for (int64_t dy = dyLo; dy <= dyHi; ++dy) {
        const int64_t h = r - std::abs(dy);
        const int64_t x0 = std::max<int64_t>(x - h, 0), x1 = std::min<int64_t>(x + h, s.width - 1);
        const uint8_t* in = s.StoredRow(row + dy);
        for (int64_t sx = x0; sx <= x1; ++sx) {
          const int64_t dist = std::abs(dy) + std::abs(sx - x);
          const int64_t w = dist == 0 ? 1 : r - dist + 1;
          const uint8_t* p = s.At(in, sx);
          for (int c = 0; c < 3; ++c) sum[c] += w * p[s.offset[c]];
          count += w;
        }
      }
      const int64_t mean[3] = {sum[0] / count, sum[1] / count, sum[2] / count};
      StoreMean(d, d.At(out, x), mean, flags);
    }
    if (report.Report(row, d.height - 1, out)) return RK_STOPPED;
  }
  return report.last();
}
