// White balance: RkGetWhiteBalanceParam (mean chrominance of near-white
// pixels), RkAdjustWhiteBalance (remove a given cast, then stretch the
// levels) and RkAutomaticWhiteBalance (grey 8 x 8 blocks, a cast classified
// by hue and strength, Cb and Cr scaled in one go).
#include <cmath>
#include <cstdlib>

#include "cam/kernels.h"
#include "picture.h"

namespace rk::filters {
namespace {

struct Ycc {
  int16_t y, cb, cr;
};

Ycc ReadYcc(const Picture& pic, const uint8_t* p) {
  Ycc v{p[pic.offset[kRed]], p[pic.offset[kGreen]], p[pic.offset[kBlue]]};
  RgbToYcc(&v.y, &v.cb, &v.cr);
  return v;
}

void WriteYcc(const Picture& pic, uint8_t* p, Ycc v) {
  YccToRgb(&v.y, &v.cb, &v.cr);  // clamps to 0..255
  p[pic.offset[kRed]] = static_cast<uint8_t>(v.y);
  p[pic.offset[kGreen]] = static_cast<uint8_t>(v.cb);
  p[pic.offset[kBlue]] = static_cast<uint8_t>(v.cr);
}

bool NearWhite(const Ycc& v) {
  return v.y >= 148 && v.y <= 232 && v.cb >= -20 && v.cb <= 36 && v.cr >= -20 && v.cr <= 36;
}

// Rewrites every pixel through f(Ycc&), reporting after each row.
template <class F>
[[nodiscard]] bool MapYcc(const Picture& pic, Progress& report, F&& f) {
  for (int y = 0; y < pic.height; ++y) {
    uint8_t* row = pic.ImageRow(y);
    for (int x = 0; x < pic.width; ++x) {
      uint8_t* p = pic.At(row, x);
      Ycc v = ReadYcc(pic, p);
      f(v);
      WriteYcc(pic, p, v);
    }
    if (report.Report(y, pic.height - 1, row)) return true;
  }
  return false;
}

struct Point {
  int v[3];
};

// A cast is taken whole toward zero; 127 - |cast| is the room left, and
// 32512 / k = 127 / k in 8.8 fixed point stretches what remains back to the
// full range. A cast of 127 or more would leave no room (division by zero).
constexpr double kMaxCast = 127.0;

int16_t AdjustWhiteBalance(const Picture& pic, double castCb, double castCr, Progress& report) {
  const int ob = static_cast<int>(castCb), orr = static_cast<int>(castCr);
  const int sb = 32512 / (127 - std::abs(ob)), sr = 32512 / (127 - std::abs(orr));
  Point white{{192, 192, 192}}, black{{32, 32, 32}};
  for (int y = 0; y < pic.height; ++y) {
    uint8_t* row = pic.ImageRow(y);
    for (int x = 0; x < pic.width; ++x) {
      uint8_t* p = pic.At(row, x);
      Ycc v = ReadYcc(pic, p);
      v.cb = static_cast<int16_t>(static_cast<int16_t>(v.cb - ob) * sb / 256);
      v.cr = static_cast<int16_t>(static_cast<int16_t>(v.cr - orr) * sr / 256);
      WriteYcc(pic, p, v);
      const Point s{{p[pic.offset[kRed]], p[pic.offset[kGreen]], p[pic.offset[kBlue]]}};
      if (s.v[0] >= white.v[0] && s.v[1] >= white.v[1] && s.v[2] >= white.v[2]) white = s;
      if (s.v[0] <= black.v[0] && s.v[1] <= black.v[1] && s.v[2] <= black.v[2]) black = s;
    }
    if (report.Report(y, pic.height - 1, row)) return RK_STOPPED;
  }
  // Neither point found: stretch from the full range's ends instead.
  if (black.v[0] == 32 && black.v[1] == 32 && black.v[2] == 32) black = Point{{0, 0, 0}};
  if (white.v[0] == 192 && white.v[1] == 192 && white.v[2] == 192) white = Point{{255, 255, 255}};
  // White stays at 192 or above and black at 32 or below: W - K > 0.
  for (int y = 0; y < pic.height; ++y) {
    uint8_t* row = pic.ImageRow(y);
    for (int x = 0; x < pic.width; ++x) {
      uint8_t* p = pic.At(row, x);
      for (int c = 0; c < 3; ++c) {
        uint8_t& s = p[pic.offset[c]];
        s = Clamp255((s - black.v[c]) * 255 / (white.v[c] - black.v[c]));
      }
    }
  }
  return RK_OK;
}

// Truncating integer mean (C division: toward zero for negative sums).
int64_t Mean(int64_t sum, int64_t count) { return sum / count; }

int16_t AutomaticWhiteBalance(const Picture& pic, double* gainCb, double* gainCr, Progress& report) {
  int64_t blocks = 0, grey = 0, sumCb = 0, sumCr = 0;
  for (int by = 0; by < pic.height; by += 8) {
    const int rows = std::min(8, pic.height - by);
    for (int bx = 0; bx < pic.width; bx += 8) {
      const int cols = std::min(8, pic.width - bx);
      int64_t y = 0, cb = 0, cr = 0;
      for (int j = 0; j < rows; ++j) {
        const uint8_t* row = pic.ImageRow(by + j);
        for (int i = 0; i < cols; ++i) {
          const Ycc v = ReadYcc(pic, pic.At(row, bx + i));
          y += v.y, cb += v.cb, cr += v.cr;
        }
      }
      const int64_t n = int64_t{rows} * cols;
      const int64_t my = Mean(y, n), mcb = Mean(cb, n), mcr = Mean(cr, n);
      ++blocks;
      if (my >= 148 && my <= 232 && mcb + 128 >= 108 && mcb + 128 <= 164 && mcr + 128 >= 108 && mcr + 128 <= 164) {
        ++grey;
        sumCb += mcb;
        sumCr += mcr;
      }
    }
  }
  // Too little grey to judge the cast by.
  if (grey == 0 || blocks / grey > 64) return RK_OK;

  // The grey blocks' means lie in -20..36, so m + 128 is at least 108.
  const int64_t mCb = sumCb / grey, mCr = sumCr / grey;
  const double r = std::sqrt(static_cast<double>(mCb * mCb + mCr * mCr));
  int64_t k = 8;
  if (r > 5) {
    double hue = std::acos(static_cast<double>(mCb) / r) * 57.29577951471995;
    if (mCr <= 0) hue = -hue;
    const bool strong = (hue >= 55 && hue <= 135) || (hue >= -45 && hue <= 35);
    const bool edge = (hue >= 135 && hue <= 150) || (hue >= -55 && hue <= -45);
    if (r > 10) {
      if (strong) k = 4;
      if (edge) k = 7;  // so 135 and -45, in both ranges, give 7
    } else if (strong || edge) {
      k = 6;
    }
  }
  const int64_t tCb = mCb * k / 8 + 128, tCr = mCr * k / 8 + 128;
  if (gainCb != nullptr) *gainCb = static_cast<double>(tCb) / static_cast<double>(mCb + 128);
  if (gainCr != nullptr) *gainCr = static_cast<double>(tCr) / static_cast<double>(mCr + 128);
  // 8.8 factors: a cast of mCb = 15 at k = 7 gives (13 + 128) * 256 / 143 = 252.
  const int64_t fCb = tCb * 256 / (mCb + 128), fCr = tCr * 256 / (mCr + 128);
  const bool stopped = MapYcc(pic, report, [&](Ycc& v) {
    v.cb = static_cast<int16_t>(v.cb * fCb / 256);
    v.cr = static_cast<int16_t>(v.cr * fCr / 256);
  });
  return stopped ? RK_STOPPED : RK_OK;
}

}  // namespace
}  // namespace rk::filters

using namespace rk::filters;

extern "C" RK_API int16_t RkGetWhiteBalanceParam(ModuleTableRec* table, ImageBlkAttrRec* image, double* meanCb,
                                                 double* meanCr, uint32_t /*unused*/) {
  if (table == nullptr || image == nullptr || meanCb == nullptr || meanCr == nullptr) return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  const Picture pic = Picture::Of(*image);
  int64_t cb = 0, cr = 0, count = 0;
  for (int y = 0; y < pic.height; ++y) {
    const uint8_t* row = pic.ImageRow(y);
    for (int x = 0; x < pic.width; ++x) {
      const Ycc v = ReadYcc(pic, pic.At(row, x));
      if (NearWhite(v)) cb += v.cb, cr += v.cr, ++count;
    }
  }
  *meanCb = count ? static_cast<double>(cb) / static_cast<double>(count) : 0.0;
  *meanCr = count ? static_cast<double>(cr) / static_cast<double>(count) : 0.0;
  return RK_OK;
}

extern "C" RK_API int16_t RkAdjustWhiteBalance(ModuleTableRec* table, ImageBlkAttrRec* image, double castCb,
                                               double castCr, UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  // A cast of exactly 0.0 (either one) means "nothing measured".
  if (castCb == 0.0 || castCr == 0.0) return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  if (!(std::fabs(castCb) < kMaxCast) || !(std::fabs(castCr) < kMaxCast)) return RK_ERR_UNSUPPORTED;  // NaN too
  Progress report(progress);
  return AdjustWhiteBalance(Picture::Of(*image), castCb, castCr, report);
}

extern "C" RK_API int16_t RkAutomaticWhiteBalance(ModuleTableRec* table, ImageBlkAttrRec* image, double* gainCb,
                                                  double* gainCr, UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  if (gainCb != nullptr) *gainCb = 1.0;
  if (gainCr != nullptr) *gainCr = 1.0;
  Progress report(progress);
  return AutomaticWhiteBalance(Picture::Of(*image), gainCb, gainCr, report);
}
