// Free rotation by any angle in minutes of arc: RkFreeRotateImage (write
// the sampled colour), RkFreeRotateMaskImage (composite it like masking),
// RkFreeRotateMethodImage (hand it to a caller's pixel method) and
// RkFreeRotateLUTImage (about the centre of a destination-sized source).
#include <cmath>
#include <numbers>

#include "masking.h"
#include "warp.h"

namespace rk::filters {
namespace {

// Maps destination pixels to source positions. With the source's centre
// (cx, cy) = (W / 2, H / 2) as 32-bit floats, r its distance from the
// corner and phi = acos(-cx / r) the corner's angle, the corner (0, 0)
// turns to (X0, Y0) = (cx + r cos(phi + theta), cy - r sin(phi + theta)),
// and destination (u, v) (after the offset) maps to
//   X = cos(theta) u + sin(theta) v + X0,  Y = -sin(theta) u + cos(theta) v + Y0,
// a turn about the centre: positive angles turn the picture clockwise.
class RotationMap {
 public:
  RotationMap(int16_t angle, int width, int height, int offsetColumn, int offsetRow, int32_t scale)
      : offsetColumn_(offsetColumn), offsetRow_(offsetRow), scale_(scale) {
    const double theta = angle * std::numbers::pi / 10800;
    const float cx = static_cast<float>(width) / 2, cy = static_cast<float>(height) / 2;
    const double r = std::sqrt(static_cast<double>(cx) * cx + static_cast<double>(cy) * cy);
    const double phi = r == 0 ? 0 : std::acos(-cx / r);
    x0_ = cx + r * std::cos(phi + theta);
    y0_ = cy - r * std::sin(phi + theta);
    cos_ = std::cos(theta);
    sin_ = std::sin(theta);
  }

  // The row's start terms are computed once per destination row.
  void StartRow(int j) {
    const double v = j - offsetRow_;
    rowX_ = sin_ * v + x0_;
    rowY_ = cos_ * v + y0_;
  }
  void At(int i, int32_t* x, int32_t* y) const {
    const double u = i - offsetColumn_;
    *x = Snap(cos_ * u + rowX_);
    *y = Snap(-sin_ * u + rowY_);
  }

 private:
  // Positions that are whole 1/256 steps in exact arithmetic come out a
  // hair off (at a quarter turn cos(theta) is 6e-17, not 0, and X0 is
  // 7e-15 below a whole number for many sizes); truncating such a value
  // would lose a whole step and blend two rows everywhere. A position
  // within 1e-9 pixel of a step is taken as that step.
  int32_t Snap(double pixels) const {
    const double steps = pixels * kPositionOne;
    const double nearest = std::nearbyint(steps);
    const double snapped = std::fabs(steps - nearest) < kPositionOne * 1e-9 ? nearest / kPositionOne : pixels;
    return ToPosition(snapped * scale_);
  }

  int offsetColumn_, offsetRow_;
  int32_t scale_;
  double x0_ = 0, y0_ = 0, cos_ = 1, sin_ = 0, rowX_ = 0, rowY_ = 0;
};

// Walks the destination's image rows (through its bottomUp), calling
// pixel(i, pixel address, map) for each pixel and reporting after each row.
template <class Pixel>
int16_t WalkDestination(const Picture& dest, RotationMap& map, Progress& report, Pixel&& pixel) {
  for (int j = 0; j < dest.height; ++j) {
    uint8_t* row = dest.ImageRow(j);
    map.StartRow(j);
    for (int i = 0; i < dest.width; ++i) pixel(i, j, dest.At(row, i));
    if (report.Report(j, dest.height - 1, row)) return RK_STOPPED;
  }
  return report.last();
}

int16_t Rotate(ImageBlkAttrRec* dest, ImageBlkAttrRec* source, int16_t angle, uint32_t flags, int offsetColumn,
               int offsetRow, bool mayKeep, UserCallBackRec* progress) {
  const WarpSampler sampler(*source, (flags & kWarpNearest) != 0, (flags & kWarpTile) != 0);
  const Background background(*source);
  const uint8_t* fill = (mayKeep && (flags & kWarpKeep)) ? nullptr : background.rgb;
  const Picture d = Picture::Of(*dest);
  RotationMap map(angle, source->width, source->height, offsetColumn, offsetRow, sampler.scale());
  Progress report(progress);
  return WalkDestination(d, map, report, [&](int i, int, uint8_t* p) {
    int32_t x, y, v[3];
    map.At(i, &x, &y);
    sampler.Sample(x, y, v);
    StoreSamples(d, p, v, sampler.scale(), fill);
  });
}

[[nodiscard]] int16_t CheckRotateArguments(const ModuleTableRec* table, const ImageBlkAttrRec* dest,
                                           const ImageBlkAttrRec* source) {
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  // A source with a size must have pixels to read.
  if (source->pixels == nullptr && source->width != 0 && source->height != 0) return RK_ERR_UNSUPPORTED;
  return RK_OK;
}

// The destination's offset: auxCount1 and auxCount2 read as signed.
int OffsetColumn(const ImageBlkAttrRec& dest) { return static_cast<int16_t>(dest.auxCount1); }
int OffsetRow(const ImageBlkAttrRec& dest) { return static_cast<int16_t>(dest.auxCount2); }

}  // namespace
}  // namespace rk::filters

using namespace rk::filters;

extern "C" RK_API int16_t RkFreeRotateImage(ModuleTableRec* table, ImageBlkAttrRec* dest, ImageBlkAttrRec* source,
                                            int16_t angle, uint32_t flags, UserCallBackRec* progress) {
  if (const int16_t bad = CheckRotateArguments(table, dest, source)) return bad;
  return Rotate(dest, source, angle, flags, OffsetColumn(*dest), OffsetRow(*dest), true, progress);
}

extern "C" RK_API int16_t RkFreeRotateLUTImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                               ImageBlkAttrRec* source, int16_t angle, uint32_t flags,
                                               const uint8_t* lut, UserCallBackRec* progress) {
  if (lut == nullptr) return RK_ERR_NULL;
  if (const int16_t bad = CheckRotateArguments(table, dest, source)) return bad;
  // The source is treated as destination-sized: it must be that large.
  if (!CoversAtLeast(*source, *dest)) return RK_ERR_UNSUPPORTED;
  source->width = dest->width;
  source->height = dest->height;
  source->auxCount1 = static_cast<uint16_t>(dest->width / 2);
  source->auxCount2 = static_cast<uint16_t>(dest->height / 2);
  return Rotate(dest, source, angle, flags & (kWarpTile | kWarpNearest), 0, 0, false, progress);
}

extern "C" RK_API int16_t RkFreeRotateMaskImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                                ImageBlkAttrRec* source, int16_t angle, uint32_t flags,
                                                UserCallBackRec* progress) {
  if (const int16_t bad = CheckRotateArguments(table, dest, source)) return bad;
  const WarpSampler sampler(*source, (flags & kWarpNearest) != 0, (flags & kWarpTile) != 0);
  const MaskOperation op = MaskOperation::From(*source);
  const Picture d = Picture::Of(*dest);
  RotationMap map(angle, source->width, source->height, OffsetColumn(*dest), OffsetRow(*dest), sampler.scale());
  Progress report(progress);
  return WalkDestination(d, map, report, [&](int i, int, uint8_t* p) {
    int32_t x, y, v[3];
    map.At(i, &x, &y);
    sampler.Sample(x, y, v);
    if (v[0] < -255 || v[1] < -255 || v[2] < -255) return;  // nothing there: the pixel stays
    uint8_t first[3], second[3], out[3], unused[3];
    for (int c = 0; c < 3; ++c) {
      first[c] = p[d.offset[c]];
      second[c] = SampleToByte(v[c], sampler.scale());
    }
    Composite(op, first, second, out, unused);  // the exchange writes nothing back here
    for (int c = 0; c < 3; ++c) p[d.offset[c]] = out[c];
  });
}

extern "C" RK_API int16_t RkFreeRotateMethodImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                                  ImageBlkAttrRec* source, int16_t angle, RkPixelMethod method,
                                                  UserCallBackRec* progress) {
  if (method == nullptr) return RK_ERR_NULL;
  if (const int16_t bad = CheckRotateArguments(table, dest, source)) return bad;
  const WarpSampler sampler(*source, false, false);
  const Picture d = Picture::Of(*dest);
  RotationMap map(angle, source->width, source->height, OffsetColumn(*dest), OffsetRow(*dest), kPositionOne);
  Progress report(progress);
  return WalkDestination(d, map, report, [&](int i, int j, uint8_t* p) {
    int32_t x, y, v[3];
    map.At(i, &x, &y);
    sampler.Sample(x, y, v);
    PixelProcessMethodRec rec{};
    rec.result = v[0] == kSampleOutside ? 1 : 0;
    rec.red = p + d.offset[kRed];
    rec.green = p + d.offset[kGreen];
    rec.blue = p + d.offset[kBlue];
    rec.x = static_cast<uint16_t>(i);
    rec.y = static_cast<uint16_t>(j);
    rec.width = dest->width;
    rec.height = dest->height;
    rec.bottomUp = dest->bottomUp;
    if (rec.result == 0) {
      rec.refRed = SampleToByte(v[0], kPositionOne);
      rec.refGreen = SampleToByte(v[1], kPositionOne);
      rec.refBlue = SampleToByte(v[2], kPositionOne);
    }
    rec.refX = static_cast<uint16_t>(x >> kPositionShift);
    rec.refY = static_cast<uint16_t>(y >> kPositionShift);
    rec.refWidth = source->width;
    rec.refHeight = source->height;
    rec.param = dest->methodParam;
    report.Remember(method(&rec, dest->methodParam));
  });
}
