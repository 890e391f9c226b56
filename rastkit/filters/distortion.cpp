// RkDistortionFilter: bends the picture in place away from its centre
// (negative levels) or towards it (positive levels), most in the corners.
//
// Each quadrant is walked so that a pixel only ever reads pixels not yet
// rewritten: outwards from the centre when the displacement points away
// from it, inwards from the corner when it points towards it.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "picture.h"
#include "samplers.h"

namespace rk::filters {
namespace {

// A displacement in 8.8 fixed point, truncated toward zero; the whole part
// and the fraction keep its sign (-1.5 px is whole -1, fraction -128).
struct Step {
  int64_t whole;
  int fraction;
};

// Displacements come out far beyond any picture for large levels; past
// 2^30 / 256 pixels they are all simply outside.
Step ToFixed(double pixels) {
  const double scaled = std::clamp(pixels * 256, -1073741824.0, 1073741824.0);
  const int64_t v = static_cast<int64_t>(scaled);
  return Step{v / 256, static_cast<int>(v % 256)};
}

// One quadrant: the walk over rows and columns, each with its start, its
// step (+1 or -1), its length, the normaliser of its distances, and the
// direction (in picture coordinates) in which a positive displacement
// moves the sampling position.
struct Axis {
  int64_t start, step, length;
  int64_t normaliser;
  int towards;  // +1: a positive displacement goes to higher coordinates
  // Distance from the centre of the k-th position of the walk.
  int64_t firstDistance, distanceStep;
};

class Distortion {
 public:
  Distortion(const Picture& pic, double s, const uint8_t background[3]) : pic_(pic), s_(s) {
    for (int c = 0; c < 3; ++c) background_[c] = background[c];
    // Real division: a 47 x 36 picture gives sqrt(40.5) * 0.0005.
    c_ = std::sqrt(((pic.width - 1) + (pic.height - 1)) / 2.0) * 0.0005;
  }

  // Returns true when stopped.
  bool Run(Progress& report) {
    const int64_t w = pic_.width, h = pic_.height;
    const int64_t cxl = (w - 1) / 2, cxr = w / 2, cyl = (h - 1) / 2, cyr = h / 2;
    Axis left, right, top, bottom;
    if (s_ < 0) {
      // Outwards: the centre row and column are part of the walk.
      left = Axis{cxl, -1, cxl + 1, cxl, +1, 0, 1};
      right = Axis{cxr, +1, w - cxr, w - 1 - cxr, -1, 0, 1};
      top = Axis{cyl, -1, cyl + 1, cyl, +1, 0, 1};
      bottom = Axis{cyr, +1, h - cyr, h - 1 - cyr, -1, 0, 1};
    } else {
      // Inwards from the corners: the centre row and column stay.
      left = Axis{0, +1, cxl, cxl, +1, cxl - 1, -1};
      right = Axis{w - 1, -1, w - 1 - cxr, w - 1 - cxr, -1, w - 2 - cxr, -1};
      top = Axis{0, +1, cyl, cyl, +1, cyl - 1, -1};
      bottom = Axis{h - 1, -1, h - 1 - cyr, h - 1 - cyr, -1, h - 2 - cyr, -1};
    }
    const Axis* rows[4] = {&top, &top, &bottom, &bottom};
    const Axis* cols[4] = {&left, &right, &left, &right};
    // Progress: quadrant q's k-th row reports q * cy + k out of 4 * cy
    // (cy is the same for the top and the bottom half).
    const int64_t cy = top.normaliser;
    for (int q = 0; q < 4; ++q) {
      const Axis& ry = *rows[q];
      const Axis& cx = *cols[q];
      for (int64_t k = 0; k < ry.length; ++k) {
        const int64_t row = ry.start + k * ry.step;
        const int64_t j = ry.firstDistance + k * ry.distanceStep;
        for (int64_t m = 0; m < cx.length; ++m) {
          const int64_t col = cx.start + m * cx.step;
          const int64_t i = cx.firstDistance + m * cx.distanceStep;
          MovePixel(col, row, i, j, cx, ry);
        }
        if (report.Report(static_cast<int32_t>(q * cy + k), static_cast<int32_t>(4 * cy), nullptr)) return true;
      }
    }
    return false;
  }

 private:
  // (distance / normaliser)^2, or 0 when the half is too thin to have a
  // normaliser (pictures 1 or 2 pixels across).
  static double Ratio2(int64_t distance, int64_t normaliser) {
    if (normaliser == 0) return 0;
    const double r = static_cast<double>(distance) / static_cast<double>(normaliser);
    return r * r;
  }

  void MovePixel(int64_t col, int64_t row, int64_t i, int64_t j, const Axis& cx, const Axis& cy) {
    const double dx = Ratio2(j, cy.normaliser) * s_ * std::sqrt(c_ * static_cast<double>(i));
    const double dy = Ratio2(i, cx.normaliser) * s_ * std::sqrt(c_ * static_cast<double>(j));
    const Step sx = ToFixed(dx), sy = ToFixed(dy);
    // In picture coordinates: the whole position, then the neighbour one
    // step further on the side of the fraction, weighted by its size.
    const int64_t x = col + cx.towards * sx.whole, y = row + cy.towards * sy.whole;
    const int fx = cx.towards * sx.fraction, fy = cy.towards * sy.fraction;
    const int64_t nx = x + (fx > 0) - (fx < 0), ny = y + (fy > 0) - (fy < 0);
    uint8_t* out = pic_.At(pic_.StoredRow(row), col);
    if (!pic_.Inside(x, y) || !pic_.Inside(nx, ny)) {
      for (int c = 0; c < 3; ++c) out[pic_.offset[c]] = background_[c];
      return;
    }
    const uint8_t* p00 = pic_.At(pic_.StoredRow(y), x);
    const uint8_t* p10 = pic_.At(pic_.StoredRow(y), nx);
    const uint8_t* p01 = pic_.At(pic_.StoredRow(ny), x);
    const uint8_t* p11 = pic_.At(pic_.StoredRow(ny), nx);
    uint8_t v[3];
    for (int c = 0; c < 3; ++c) {
      const uint32_t o = pic_.offset[c];
      v[c] = static_cast<uint8_t>(BlendBilinear(p00[o], p10[o], p01[o], p11[o], std::abs(fx), std::abs(fy)));
    }
    for (int c = 0; c < 3; ++c) out[pic_.offset[c]] = v[c];
  }

  Picture pic_;
  double s_, c_ = 0;
  uint8_t background_[3];
};

}  // namespace
}  // namespace rk::filters

extern "C" RK_API int16_t RkDistortionFilter(ModuleTableRec* table, ImageBlkAttrRec* image, int16_t level,
                                             UserCallBackRec* progress) {
  using namespace rk::filters;
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  const double s = level * 0.2;
  if (s == 0 || image->width == 0 || image->height == 0) return RK_OK;
  const uint8_t background[3] = {static_cast<uint8_t>(image->segmentLength[0]),
                                 static_cast<uint8_t>(image->segmentLength[1]),
                                 static_cast<uint8_t>(image->segmentLength[2])};
  Progress report(progress);
  Distortion d(Picture::Of(*image), s, background);
  return d.Run(report) ? RK_STOPPED : RK_OK;
}
