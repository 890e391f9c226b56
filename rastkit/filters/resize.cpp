// Resizing between two caller-owned 24-bit pixel buffers: the block-averaging
// shrink and the resampling resize (bilinear, quadratic, nearest pixel, or
// through a sampling table).
#include <algorithm>
#include <cstdint>

#include "cam/color.h"
#include "rastkit.h"
#include "resize.h"
#include "samplers.h"

namespace rk::filters {
namespace {

constexpr uint16_t kMethodNearest = 65535;
constexpr uint16_t kMethodQuadratic = 256;

enum class Interpolation { kBilinear, kQuadratic, kTable };


uint8_t* StoredRow(const ImageBlkAttrRec& image, int32_t stored) {
  return image.pixels + int64_t{stored} * image.rowStride;
}

uint8_t ClampToByte(int64_t v) { return static_cast<uint8_t>(rk::Clamp255(v)); }

// Calls the progress procedure after destination row `row`; the caller stops
// when this returns true (the procedure asked for RK_STOPPED). `result`
// keeps the procedure's last value, which becomes the operation's result.
bool StopAfterRow(UserCallBackRec* progress, int32_t row, int32_t rows, uint8_t* address, int16_t& result) {
  if (progress == nullptr || progress->proc == nullptr) return false;
  result = progress->proc(row, rows - 1, address, progress->userData);
  return result == RK_STOPPED;
}

// The block that destination column (row) i averages starts at i x r,
// formed in single precision as r is kept as a 32-bit float. That decides
// origins: 168 into 80 columns has r = 2.1f = 2.09999990463..., so column
// 10 starts at 20.9999990 -> 20, where the exact 21.0 would be one later.
int32_t BlockStart(int32_t i, float r) { return static_cast<int32_t>(static_cast<float>(i) * r); }

struct ShrinkPlan {
  float rx, ry;
  int32_t bx, by;
  uint32_t channel[3];  // source byte offsets of red, green, blue
  uint32_t minOffset, maxOffset;
};

void WritePixel(const ImageBlkAttrRec& dest, uint8_t* row, int32_t x, const uint64_t sum[3], int64_t count) {
  uint8_t* px = row + int64_t{x} * dest.pixelStride;
  const uint32_t out[3] = {dest.redOffset, dest.greenOffset, dest.blueOffset};
  for (int c = 0; c < 3; ++c) px[out[c]] = count > 0 ? ClampToByte(static_cast<int64_t>(sum[c]) / count) : 0;
}

// Plain kernel: each block on its own, pixel by pixel.
void ShrinkRowPlain(const ImageBlkAttrRec& dest, const ImageBlkAttrRec& source, const ShrinkPlan& plan,
                    int32_t y0, int32_t y1, uint8_t* row) {
  const int64_t step = source.pixelStride;
  for (int32_t x = 0; x < dest.width; ++x) {
    const int32_t x0 = BlockStart(x, plan.rx);
    const int32_t x1 = std::min<int32_t>(x0 + plan.bx, source.width);
    uint64_t sum[3] = {0, 0, 0};
    for (int32_t sy = y0; sy < y1; ++sy) {
      const uint8_t* p = StoredRow(source, sy) + x0 * step;
      for (int32_t sx = x0; sx < x1; ++sx, p += step) {
        for (int c = 0; c < 3; ++c) sum[c] += p[plan.channel[c]];
      }
    }
    WritePixel(dest, row, x, sum, int64_t{x1 - x0} * (y1 - y0));
  }
}

// Column-sum kernel: the source rows of a destination row's blocks are first
// added up byte by byte into column sums (a straight loop over consecutive
// bytes that the compiler turns into vector adds), then each block sums its
// columns. A 4000 x 3000 picture shrunk into 160 x 120 reads its 36 MB once,
// in address order, with one add per byte, instead of 25 rows side by side
// per block. A destination row is done in runs of columns whose source
// bytes fit kColumnBytes.
constexpr int64_t kColumnBytes = 4096;  // at most 16 KB of sums on the stack
// Up to 257 rows a column sum fits 16 bits (257 x 255 = 65535), which
// doubles the bytes one vector add takes.
constexpr int32_t kMaxRowsFor16BitSums = 65535 / 255;

bool ColumnKernelFits(const ShrinkPlan& plan, const ImageBlkAttrRec& source) {
  // One block's bytes: bx - 1 pixel steps plus the channel bytes of the last.
  return int64_t{plan.bx - 1} * source.pixelStride + (plan.maxOffset - plan.minOffset) + 1 <= kColumnBytes;
}

template <typename ColumnSum>
void ShrinkRowColumns(const ImageBlkAttrRec& dest, const ImageBlkAttrRec& source, const ShrinkPlan& plan,
                      int32_t y0, int32_t y1, uint8_t* row) {
  const int64_t step = source.pixelStride;
  ColumnSum column[kColumnBytes];
  for (int32_t cx = 0; cx < dest.width;) {
    const int32_t first = BlockStart(cx, plan.rx);
    // Extend the run while its bytes fit: from the first block's first
    // channel byte to the last block's last.
    int32_t n = 0;
    int64_t span = 0;
    while (cx + n < dest.width) {
      const int32_t end = std::min<int32_t>(BlockStart(cx + n, plan.rx) + plan.bx, source.width);
      const int64_t bytes = int64_t{end - 1 - first} * step + (plan.maxOffset - plan.minOffset) + 1;
      if (n > 0 && bytes > kColumnBytes) break;
      span = bytes;
      ++n;
    }
    const int64_t base = int64_t{first} * step + plan.minOffset;
    std::fill(column, column + span, ColumnSum{0});
    for (int32_t sy = y0; sy < y1; ++sy) {
      const uint8_t* p = StoredRow(source, sy) + base;
      for (int64_t i = 0; i < span; ++i) column[i] = static_cast<ColumnSum>(column[i] + p[i]);
    }
    for (int32_t k = 0; k < n; ++k) {
      const int32_t x0 = BlockStart(cx + k, plan.rx);
      const int32_t x1 = std::min<int32_t>(x0 + plan.bx, source.width);
      uint64_t sum[3] = {0, 0, 0};
      for (int32_t sx = x0; sx < x1; ++sx) {
        const int64_t at = int64_t{sx - first} * step - plan.minOffset;
        for (int c = 0; c < 3; ++c) sum[c] += column[at + plan.channel[c]];
      }
      WritePixel(dest, row, cx + k, sum, int64_t{x1 - x0} * (y1 - y0));
    }
    cx += n;
  }
}

}  // namespace

int16_t ShrinkImage(const ImageBlkAttrRec& dest, const ImageBlkAttrRec& source, UserCallBackRec* progress,
                    ShrinkKernel kernel) {
  if (dest.height == 0) return RK_OK;
  if (dest.width == 0) return RK_ERR_UNSUPPORTED;
  ShrinkPlan plan;
  plan.rx = static_cast<float>(static_cast<double>(source.width) / dest.width);
  plan.ry = static_cast<float>(static_cast<double>(source.height) / dest.height);
  plan.bx = static_cast<int32_t>(plan.rx);
  plan.by = static_cast<int32_t>(plan.ry);
  if (plan.bx < 2 || plan.by < 2) return RK_ERR_UNSUPPORTED;
  if (source.pixels == nullptr) return RK_ERR_UNSUPPORTED;
  plan.channel[0] = source.redOffset;
  plan.channel[1] = source.greenOffset;
  plan.channel[2] = source.blueOffset;
  plan.minOffset = std::min({source.redOffset, source.greenOffset, source.blueOffset});
  plan.maxOffset = std::max({source.redOffset, source.greenOffset, source.blueOffset});
  const bool columns = kernel == ShrinkKernel::kFast && ColumnKernelFits(plan, source);

  // Stored rows throughout: a source and a destination of the same
  // orientation give the upright picture.
  int16_t result = RK_OK;
  for (int32_t y = 0; y < dest.height; ++y) {
    const int32_t y0 = BlockStart(y, plan.ry);
    const int32_t y1 = std::min<int32_t>(y0 + plan.by, source.height);
    uint8_t* row = StoredRow(dest, y);
    if (columns && plan.by <= kMaxRowsFor16BitSums) {
      ShrinkRowColumns<uint16_t>(dest, source, plan, y0, y1, row);
    } else if (columns) {
      ShrinkRowColumns<uint32_t>(dest, source, plan, y0, y1, row);  // by x 255 < 2^32 for any height
    } else {
      ShrinkRowPlain(dest, source, plan, y0, y1, row);
    }
    if (StopAfterRow(progress, y, dest.height, row, result)) return RK_STOPPED;
  }
  return result;
}

namespace {

int32_t Sample(Interpolation how, const SampleSource& s, uint32_t channel, int32_t x, int32_t y,
               const uint8_t* table) {
  switch (how) {
    case Interpolation::kQuadratic: return SampleQuadratic(s, channel, x, y);
    case Interpolation::kTable: return SampleTable(s, channel, x, y, table);
    case Interpolation::kBilinear:
    default: return SampleBilinear(s, channel, x, y);
  }
}

int16_t Resample(const ImageBlkAttrRec& dest, const ImageBlkAttrRec& source, bool nearest, Interpolation how,
                 const uint8_t* table, UserCallBackRec* progress) {
  if (dest.width == 0 || dest.height == 0) return RK_ERR_UNSUPPORTED;
  const bool emptySource = source.width == 0 || source.height == 0;
  if (nearest && emptySource) return RK_ERR_UNSUPPORTED;
  if (source.pixels == nullptr && !emptySource) return RK_ERR_UNSUPPORTED;

  // kx x ky samples one source pixel apart per destination pixel, so that a
  // reduction by 2 or more still sees every source pixel (41 columns from 96
  // take 2 samples each, 599 / 256 = 2.34 source pixels apart).
  const int32_t kx = std::max(1, static_cast<int32_t>(static_cast<double>(source.width) / dest.width));
  const int32_t ky = std::max(1, static_cast<int32_t>(static_cast<double>(source.height) / dest.height));
  const int64_t samples = int64_t{kx} * ky;
  // Steps in 8.8: positions stay below 65535 * 256 < 2^24 (x * sx < width * 256).
  const int32_t sx = (int32_t{source.width} << kPositionShift) / dest.width;
  const int32_t sy = (int32_t{source.height} << kPositionShift) / dest.height;

  const SampleSource src = SourceOf(source);
  const uint32_t channel[3] = {source.redOffset, source.greenOffset, source.blueOffset};
  const uint32_t out[3] = {dest.redOffset, dest.greenOffset, dest.blueOffset};
  int16_t result = RK_OK;
  int32_t py = 0;
  for (int32_t y = 0; y < dest.height; ++y, py += sy) {
    uint8_t* row = StoredRow(dest, dest.bottomUp ? dest.height - 1 - y : y);
    int32_t px = 0;
    for (int32_t x = 0; x < dest.width; ++x, px += sx) {
      uint8_t* pixel = row + int64_t{x} * dest.pixelStride;
      for (int c = 0; c < 3; ++c) {
        if (nearest) {
          const int32_t v = SampleNearest(src, channel[c], px >> kPositionShift, py >> kPositionShift);
          pixel[out[c]] = ClampToByte(v);
          continue;
        }
        // Outside samples count as -1 (the marker shifted down), so a block
        // that hangs over the right or bottom edge comes out a little darker.
        int64_t sum = 0;
        for (int32_t j = 0; j < ky; ++j) {
          for (int32_t i = 0; i < kx; ++i) {
            sum += Sample(how, src, channel[c], px + (i << kPositionShift), py + (j << kPositionShift), table) >>
                   kPositionShift;
          }
        }
        pixel[out[c]] = ClampToByte(sum / samples);
      }
    }
    if (StopAfterRow(progress, y, dest.height, row, result)) return RK_STOPPED;
  }
  return result;
}

}  // namespace
}  // namespace rk::filters

using rk::filters::Interpolation;

extern "C" RK_API int16_t RkShrinkingResizeImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                                 ImageBlkAttrRec* source, UserCallBackRec* progress) {
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  return rk::filters::ShrinkImage(*dest, *source, progress);
}

extern "C" RK_API int16_t RkSamplingResizeImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                                ImageBlkAttrRec* source, uint16_t method,
                                                UserCallBackRec* progress) {
  if (table == nullptr || dest == nullptr || source == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  const Interpolation how =
      method == rk::filters::kMethodQuadratic ? Interpolation::kQuadratic : Interpolation::kBilinear;
  return rk::filters::Resample(*dest, *source, method == rk::filters::kMethodNearest, how, nullptr, progress);
}

extern "C" RK_API int16_t RkSamplingResizeLUTImage(ModuleTableRec* table, ImageBlkAttrRec* dest,
                                                   ImageBlkAttrRec* source, uint16_t method, const uint8_t* lut,
                                                   UserCallBackRec* progress) {
  if (table == nullptr || dest == nullptr || source == nullptr || lut == nullptr) return RK_ERR_NULL;
  if (dest->pixels == nullptr) return RK_ERR_UNSUPPORTED;
  return rk::filters::Resample(*dest, *source, method == rk::filters::kMethodNearest, Interpolation::kTable, lut,
                               progress);
}
