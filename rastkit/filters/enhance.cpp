// Enhancement filters: RkEdgeEnhanceFilter (3 x 3 unsharp masking with
// per-component gains and neighbour sets, on RGB or YCbCr) and
// RkChromaEnhanceFilter (saturation through a fixed-point colour matrix).
#include <cmath>
#include <cstdlib>
#include <limits>

#include "memory.h"
#include "neighbourhood.h"

namespace rk::filters {
namespace {

constexpr uint16_t kSharpenBit[3] = {0x0008, 0x0080, 0x0800};
constexpr uint16_t kYccComponents = 0x1000;
// Neighbour mask bits: left and right; the rows before and after; diagonals.
constexpr uint16_t kSides = 0x0002, kAboveBelow = 0x0001, kDiagonals = 0x0004;

int64_t EdgeWorkSize(int width) { return (int64_t{width} + 6) * 12; }  // as the remove-noise filter's
constexpr int64_t kEdgeHead = 4 * 9 * 2;

int16_t SaturateInt16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

// One component: C + ((n C - S) gain) / 128 with S the sum of the n chosen
// neighbours. The result is a 16-bit value; gains above about 2000 take it
// past 32767 (8 x 255 x 2000 / 128 = 31875), where it saturates.
int16_t Sharpen(const int16_t* v, int gain, uint16_t mask) {
  int32_t sum = 0, n = 0;
  if (mask & kSides) sum += v[1] + v[2], n += 2;
  if (mask & kAboveBelow) sum += v[3] + v[4], n += 2;
  if (mask & kDiagonals) sum += v[5] + v[6] + v[7] + v[8], n += 4;
  const int64_t edge = (int64_t{n} * v[0] - sum) * gain / 128;
  return SaturateInt16(v[0] + edge);
}

// Chroma matrix coefficients: each is 128 x its expression truncated. The
// largest is kBB = 128 (0.9 t + 0.1) with t = (level / 127)^2; at level
// 2141 it is 32754 and at 2142 it would be 32784, past 16 bits.
constexpr int kMaxChromaLevel = 2141;

struct ChromaMatrix {
  int64_t rr, rg, rb, gg, gb, gr, bg, br, bb;
  explicit ChromaMatrix(int level) {
    const double q = level / 127.0;
    const double t = q * q;
    const double a = 0.6 * (1 - t), b = 0.1 * (1 - t), c = 0.3 * (1 - t);
    const double red = t + c, blue = t + b;
    const auto k = [](double e) { return static_cast<int64_t>(128 * e); };
    rr = k(red);
    rg = k(a);
    rb = k(b);
    gg = k(5.0 / 3.0 * (0.6 - 0.3 * a - 0.1 * a));
    gb = k(5.0 / 3.0 * (0.1 - 0.3 * b - 0.1 * blue));
    gr = k(5.0 / 3.0 * (0.3 - 0.3 * red - 0.1 * c));
    bg = k(a);
    br = k(c);
    bb = k(blue);
  }
};

}  // namespace
}  // namespace rk::filters

using namespace rk::filters;

extern "C" RK_API int16_t RkEdgeEnhanceFilter(ModuleTableRec* table, ImageBlkAttrRec* image,
                                              const EdgeEnhanceParamRec* params, UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr || params == nullptr || params->gains == nullptr ||
      params->masks == nullptr)
    return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  // One shared entry, one for luminance and one for both chroma parts, or
  // one each; any other count leaves the entries undefined.
  if (params->count < 1 || params->count > 3) return RK_ERR_UNSUPPORTED;
  const Picture pic = Picture::Of(*image);
  rk::Scratch work(table, static_cast<size_t>(EdgeWorkSize(pic.width)));
  if (!work.ok()) return RK_ERR_MEMORY;
  const int64_t rowBytes = 3 * int64_t{pic.width};
  const RowStore store{{work.data() + kEdgeHead, work.data() + kEdgeHead + rowBytes}, 3, {0, 1, 2}};

  static constexpr int kEntry[4][3] = {{0, 0, 0}, {0, 0, 0}, {0, 1, 1}, {0, 1, 2}};
  int gain[3];
  uint16_t mask[3];
  for (int c = 0; c < 3; ++c) {
    gain[c] = params->gains[kEntry[params->count][c]];
    mask[c] = params->masks[kEntry[params->count][c]];
  }
  const uint16_t flags = params->flags;
  const auto kernel = [&](const Gathered& g, int16_t out[3]) {
    for (int c = 0; c < 3; ++c) out[c] = (flags & kSharpenBit[c]) ? Sharpen(g.v[c], gain[c], mask[c]) : g.v[c][0];
  };
  Progress report(progress);
  const PassReport pass{&report, work.data(), 0, pic.height - 1, false};
  const Space space = (flags & kYccComponents) ? Space::kYcc : Space::kRgb;
  return FilterRows(pic, space, store, pass, [&](const Chunk& c, int16_t(*out)[kChunk]) { EachPixel(c, out, kernel); })
             ? RK_STOPPED
             : RK_OK;
}

extern "C" RK_API int16_t RkChromaEnhanceFilter(ModuleTableRec* table, ImageBlkAttrRec* image, int16_t level,
                                                UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (image->pixels == nullptr || std::abs(int{level}) > kMaxChromaLevel) return RK_ERR_UNSUPPORTED;
  const ChromaMatrix k(level);
  const Picture pic = Picture::Of(*image);
  Progress report(progress);
  for (int y = 0; y < pic.height; ++y) {
    uint8_t* row = pic.ImageRow(y);
    for (int x = 0; x < pic.width; ++x) {
      uint8_t* p = pic.At(row, x);
      const int64_t r = p[pic.offset[kRed]], g = p[pic.offset[kGreen]], b = p[pic.offset[kBlue]];
      // Each row of the matrix uses the unclamped results before it, in
      // 64 bits: with large levels R1 alone reaches about 2^17.
      const int64_t r1 = (k.rr * r + k.rg * g + k.rb * b) / 128;
      p[pic.offset[kRed]] = Clamp255(r1);
      const int64_t g1 = (k.gg * g + k.gb * b + k.gr * r1) / 128;
      p[pic.offset[kGreen]] = Clamp255(g1);
      const int64_t b1 = (k.bg * g1 + k.br * r1 + k.bb * b) / 128;
      p[pic.offset[kBlue]] = Clamp255(b1);
    }
    if (report.Report(y, pic.height - 1, pic.At(row, 0) + pic.offset[kRed])) return RK_STOPPED;
  }
  return RK_OK;
}
