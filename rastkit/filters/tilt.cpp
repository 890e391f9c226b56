// Keystone tilts: RkTiltHorzImage and RkTiltVertImage make the picture look
// seen from the side or from above, by warping one axis and scaling the
// other with the distance along it.
#include <cmath>
#include <numbers>

#include "warp.h"

namespace rk::filters {
namespace {

// One axis of the tilt. With the half size c of the warped axis, the
// larger half size R of the picture and the angle a (|a| <= 2700 minutes,
// 45 degrees), the eye is D = R / tan(|a|) away, at least R, so that the
// denominators below stay positive inside the picture.
class Keystone {
 public:
  Keystone(int16_t angle, float warpedHalf, float otherHalf)
      : c_(warpedHalf), other_(otherHalf), positive_(angle > 0) {
    const float r = warpedHalf > otherHalf ? warpedHalf : otherHalf;
    d_ = r / std::tan(std::abs(angle) * std::numbers::pi / 10800);
    e_ = positive_ ? d_ - c_ : d_ + c_;
  }

  // The source coordinate along the warped axis for destination index t.
  [[nodiscard]] double Warp(int t) const {
    if (t == c_) return t;
    if (t < c_) return positive_ ? c_ - (1 - d_ / (c_ - t + d_)) * d_ : (1 - d_ / (d_ - (c_ - t))) * d_ + c_;
    return positive_ ? c_ - (1 - d_ / (d_ - (t - c_))) * d_ : (1 - d_ / (t - c_ + d_)) * d_ + c_;
  }
  // The scale of the other axis at index s of it, kept as a 32-bit float.
  [[nodiscard]] float Slope(int s) const { return static_cast<float>((s - other_) / d_); }
  // The source coordinate along the other axis, from the warped one.
  [[nodiscard]] double Across(double warped, float slope) const {
    return positive_ ? (warped + e_) * slope + other_ : (e_ - warped) * slope + other_;
  }

 private:
  float c_, other_;
  bool positive_;
  double d_ = 0, e_ = 0;
};

enum class Direction { kHorizontal, kVertical };

int16_t Tilt(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags,
             UserCallBackRec* progress, Direction direction) {
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr || angle < -2700 || angle > 2700) return RK_ERR_UNSUPPORTED;
  if (source->pixels == nullptr && source->width != 0 && source->height != 0) return RK_ERR_UNSUPPORTED;
  const WarpSampler sampler(*source, (flags & kWarpNearest) != 0, false);
  const int32_t scale = sampler.scale();
  const Background background(*source);
  const uint8_t* fill = (flags & kWarpKeep) ? nullptr : background.rgb;
  const float cx = static_cast<float>(source->width) / 2, cy = static_cast<float>(source->height) / 2;
  const bool horizontal = direction == Direction::kHorizontal;
  const Keystone keystone(angle, horizontal ? cx : cy, horizontal ? cy : cx);
  const Picture d = Picture::Of(*dest);
  Progress report(progress);
  for (int y = 0; y < d.height; ++y) {
    uint8_t* row = d.ImageRow(y);
    for (int x = 0; x < d.width; ++x) {
      int32_t sx, sy;
      if (angle == 0) {
        sx = x * scale;
        sy = y * scale;
      } else if (horizontal) {
        const double u = keystone.Warp(x);
        sx = ToPosition(u * scale);
        sy = ToPosition(keystone.Across(u, keystone.Slope(y)) * scale);
      } else {
        const double v = keystone.Warp(y);
        sy = ToPosition(v * scale);
        sx = ToPosition(keystone.Across(v, keystone.Slope(x)) * scale);
      }
      int32_t v[3];
      sampler.Sample(sx, sy, v);
      StoreSamples(d, d.At(row, x), v, scale, fill);
    }
    if (report.Report(y, d.height - 1, row)) return RK_STOPPED;
  }
  return report.last();
}

}  // namespace
}  // namespace rk::filters

extern "C" RK_API int16_t RkTiltHorzImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source,
                                          int16_t angle, uint32_t flags, UserCallBackRec* progress) {
  return rk::filters::Tilt(table, dest, source, angle, flags, progress, rk::filters::Direction::kHorizontal);
}

extern "C" RK_API int16_t RkTiltVertImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source,
                                          int16_t angle, uint32_t flags, UserCallBackRec* progress) {
  return rk::filters::Tilt(table, dest, source, angle, flags, progress, rk::filters::Direction::kVertical);
}
