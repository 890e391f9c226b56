// Noise filters: RkRemoveNoiseFilter (median or mean of the cross or the
// 3 x 3 square, per component, on RGB or YCbCr) and
// RkBlockNoiseReductionFilter (centre-weighted smoothing, optionally
// followed by a luminance sharpening), with their work-space queries.
#include "noise.h"

#include <algorithm>
#include <cstdlib>

#include "median.h"
#include "memory.h"
#include "neighbourhood.h"

namespace rk::filters {
namespace {

// Remove-noise flag bits of component c (0, 1, 2) are these shifted left by
// 4 * c; 0x1000 switches the components to Y, Cb, Cr.
constexpr uint32_t kFilter = 0x8, kMedian = 0x1, kNine = 0x2, kNearestThree = 0x4;
constexpr uint32_t kYccComponents = 0x1000;

// Remove-noise work space: a head of four arrays of nine 16-bit values (the
// median's scratch and the three components' gathered values), then six
// rows of width 16-bit values. The results wait in the rows, three bytes a
// pixel here, which the six rows hold with room to spare.
constexpr int64_t kNoiseHead = 4 * 9 * 2;
int64_t NoiseWorkSize(int width) { return (int64_t{width} + 6) * 12; }

// Block-noise work space: two rows laid out like the picture's own rows.
int64_t BlockRowBytes(const Picture& pic) { return std::max(std::abs(pic.rowStride), pic.RowFootprint()); }

}  // namespace

int16_t RemoveNoise(ModuleTableRec* table, ImageBlkAttrRec* image, uint32_t flags, UserCallBackRec* progress,
                    MedianPath path) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  const Picture pic = Picture::Of(*image);
  Scratch work(table, static_cast<size_t>(NoiseWorkSize(pic.width)));
  if (!work.ok()) return RK_ERR_MEMORY;
  int16_t* medianScratch = reinterpret_cast<int16_t*>(work.data());
  const int64_t rowBytes = 3 * int64_t{pic.width};
  const RowStore store{{work.data() + kNoiseHead, work.data() + kNoiseHead + rowBytes}, 3, {0, 1, 2}};

  // Any nine-point bit gathers the whole square, and then every median
  // works on nine values; otherwise on the five of the cross.
  const bool nine = (flags & (kNine * 0x111)) != 0;
  const int count = nine ? 9 : 5;
  // One component of one pixel by the plain rules.
  const auto component = [&](const int16_t* v, uint32_t f) -> int16_t {
    if (!(f & kFilter)) return v[0];
    if (f & kMedian) {
      if (f & kNearestThree) return NearestThreeMedian(v, count);
      return SortedMedian(v, medianScratch, count, nine ? 6 : 4, nine ? 4 : 2);
    }
    const int n = (f & kNine) ? 9 : 5;
    int sum = 0;
    for (int k = 0; k < n; ++k) sum += v[k];
    return static_cast<int16_t>(sum / n);
  };
  // Sorted medians go through the networks, a whole chunk at a time.
  bool network[3], plain = false;
  for (int c = 0; c < 3; ++c) {
    const uint32_t f = flags >> (4 * c);
    network[c] = (f & kFilter) && (f & kMedian) && !(f & kNearestThree) && path == MedianPath::kNetwork;
    plain = plain || !network[c];
  }
  const auto kernel = [&](const Chunk& chunk, int16_t (*out)[kChunk]) {
    for (int c = 0; c < 3; ++c) {
      if (!network[c]) continue;
      // Branch-free minima and maxima over arrays, which the compiler turns
      // into vector instructions.
      const int16_t* b = chunk.plane[c][0];
      const int16_t* m = chunk.plane[c][1];
      const int16_t* a = chunk.plane[c][2];
      int16_t* o = out[c];
      if (nine) {
        for (int i = 1; i <= chunk.n; ++i)
          o[i - 1] = MedianOf9(m[i], m[i - 1], m[i + 1], b[i], a[i], b[i - 1], b[i + 1], a[i - 1], a[i + 1]);
      } else {
        for (int i = 1; i <= chunk.n; ++i) o[i - 1] = MedianOf5(m[i], m[i - 1], m[i + 1], b[i], a[i]);
      }
    }
    if (!plain) return;
    int16_t rest[3][kChunk];
    EachPixel(chunk, rest, [&](const Gathered& g, int16_t o[3]) {
      for (int c = 0; c < 3; ++c) o[c] = network[c] ? 0 : component(g.v[c], flags >> (4 * c));
    });
    for (int c = 0; c < 3; ++c)
      if (!network[c]) std::copy_n(rest[c], chunk.n, out[c]);
  };
  Progress report(progress);
  const PassReport pass{&report, work.data(), 0, pic.height - 1, false};
  const Space space = (flags & kYccComponents) ? Space::kYcc : Space::kRgb;
  return FilterRows(pic, space, store, pass, kernel) ? RK_STOPPED : RK_OK;
}

}  // namespace rk::filters

using namespace rk::filters;

extern "C" RK_API int16_t RkRemoveNoiseFilter(ModuleTableRec* table, ImageBlkAttrRec* image, uint32_t flags,
                                              UserCallBackRec* progress) {
  return RemoveNoise(table, image, flags, progress, MedianPath::kNetwork);
}

extern "C" RK_API uint32_t RkGetRemoveNoiseFilterWorkSpaceSize(ImageBlkAttrRec* image) {
  if (image == nullptr) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(NoiseWorkSize(image->width));
}

extern "C" RK_API uint32_t RkGetBlockNoiseReductionFilterWorkSpaceSize(ImageBlkAttrRec* image) {
  if (image == nullptr) return 0xFFFFFFFFu;
  const int64_t size = 2 * BlockRowBytes(Picture::Of(*image));
  return size > 0xFFFFFFFE ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
}

extern "C" RK_API int16_t RkBlockNoiseReductionFilter(ModuleTableRec* table, ImageBlkAttrRec* image, uint32_t flags,
                                                      UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (image->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  const Picture pic = Picture::Of(*image);
  const int64_t rowBytes = BlockRowBytes(pic);
  rk::Scratch work(table, static_cast<size_t>(std::max<int64_t>(2 * rowBytes, 1)));
  if (!work.ok()) return RK_ERR_MEMORY;
  const RowStore store{{work.data(), work.data() + rowBytes},
                       pic.pixelStride,
                       {pic.offset[0], pic.offset[1], pic.offset[2]}};
  const bool sharpen = (flags & 1) != 0;
  Progress report(progress);
  const int32_t total = sharpen ? 2 * (pic.height - 1) : pic.height - 1;

  // Smoothing: (5 x the pixel + its eight neighbours) / 13, so a pixel of
  // 130 among neighbours of 0 becomes 650 / 13 = 50.
  const auto smooth = [](const Gathered& g, int16_t out[3]) {
    for (int c = 0; c < 3; ++c) {
      const int16_t* v = g.v[c];
      int sum = 5 * v[0];
      for (int k = 1; k < 9; ++k) sum += v[k];
      out[c] = static_cast<int16_t>(sum / 13);
    }
  };
  if (FilterRows(pic, Space::kRgb, store, PassReport{&report, work.data(), 0, total, true},
                 [&](const Chunk& c, int16_t(*out)[kChunk]) { EachPixel(c, out, smooth); }))
    return RK_STOPPED;
  if (!sharpen) return RK_OK;

  // Sharpening of the luminance against its cross: Y + (4Y - the four
  // neighbours' Y) / 2; the pixel keeps its own Cb and Cr.
  const auto crisp = [](const Gathered& g, int16_t out[3]) {
    const int16_t* y = g.v[0];
    out[0] = static_cast<int16_t>(y[0] + (4 * y[0] - y[1] - y[2] - y[3] - y[4]) / 2);
    out[1] = g.v[1][0];
    out[2] = g.v[2][0];
  };
  if (FilterRows(pic, Space::kYcc, store, PassReport{&report, work.data(), pic.height, total, true},
                 [&](const Chunk& c, int16_t(*out)[kChunk]) { EachPixel(c, out, crisp); }))
    return RK_STOPPED;
  return RK_OK;
}
