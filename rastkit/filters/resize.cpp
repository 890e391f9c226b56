// Resizing between two caller-owned 24-bit pixel buffers: the block-averaging
// shrink and the resampling resize (bilinear, quadratic, nearest pixel, or
// through a sampling table).
#include <algorithm>
#include <cstdint>

#include "rastkit.h"
#include "samplers.h"

namespace rk::filters {
namespace {

constexpr uint16_t kMethodNearest = 65535;
constexpr uint16_t kMethodQuadratic = 256;

enum class Interpolation { kBilinear, kQuadratic, kTable };

uint8_t* StoredRow(const ImageBlkAttrRec& image, int32_t stored) {
  return image.pixels + int64_t{stored} * image.rowStride;
}

uint8_t ClampToByte(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

// Calls the progress procedure after destination row `row`; the caller stops
// when this returns true (the procedure asked for RK_STOPPED). `result`
// keeps the procedure's last value, which becomes the operation's result.
bool StopAfterRow(UserCallBackRec* progress, int32_t row, int32_t rows, uint8_t* address, int16_t& result) {
  if (progress == nullptr || progress->proc == nullptr) return false;
  result = progress->proc(row, rows - 1, address, progress->userData);
  return result == RK_STOPPED;
}

int16_t Shrink(const ImageBlkAttrRec& dest, const ImageBlkAttrRec& source, UserCallBackRec* progress) {
  if (dest.height == 0) return RK_OK;
  if (dest.width == 0) return RK_ERR_UNSUPPORTED;
  // The ratios are kept as 32-bit floats and the block origins x * rx are
  // formed in single precision. That decides origins: 168 into 80 columns
  // has rx = 2.1f = 2.09999990463..., so column 10 starts at 20.9999990 ->
  // 20, where the exact 21.0 would start one column later.
  const auto rx = static_cast<float>(static_cast<double>(source.width) / dest.width);
  const auto ry = static_cast<float>(static_cast<double>(source.height) / dest.height);
  const auto bx = static_cast<int32_t>(rx);
  const auto by = static_cast<int32_t>(ry);
  if (bx < 2 || by < 2) return RK_ERR_UNSUPPORTED;
  if (source.pixels == nullptr) return RK_ERR_UNSUPPORTED;

  const uint32_t channel[3] = {source.redOffset, source.greenOffset, source.blueOffset};
  const uint32_t out[3] = {dest.redOffset, dest.greenOffset, dest.blueOffset};
  int16_t result = RK_OK;
  // Stored rows throughout: a source and a destination of the same
  // orientation give the upright picture.
  for (int32_t y = 0; y < dest.height; ++y) {
    const auto y0 = static_cast<int32_t>(static_cast<float>(y) * ry);
    const int32_t y1 = std::min<int32_t>(y0 + by, source.height);
    uint8_t* row = StoredRow(dest, y);
    for (int32_t x = 0; x < dest.width; ++x) {
      const auto x0 = static_cast<int32_t>(static_cast<float>(x) * rx);
      const int32_t x1 = std::min<int32_t>(x0 + bx, source.width);
      uint32_t sum[3] = {0, 0, 0};
      uint64_t wide[3] = {0, 0, 0};
      for (int32_t sy = y0; sy < y1; ++sy) {
        const uint8_t* p = StoredRow(source, sy) + int64_t{x0} * source.pixelStride;
        for (int32_t sx = x0; sx < x1; ++sx, p += source.pixelStride) {
          sum[0] += p[channel[0]];
          sum[1] += p[channel[1]];
          sum[2] += p[channel[2]];
        }
        // Flush per source row so that a block of any size cannot overflow
        // the 32-bit row sums (a row holds at most 65535 x 255 < 2^24).
        for (int c = 0; c < 3; ++c) {
          wide[c] += sum[c];
          sum[c] = 0;
        }
      }
      const int64_t count = int64_t{x1 - x0} * (y1 - y0);
      uint8_t* px = row + int64_t{x} * dest.pixelStride;
      for (int c = 0; c < 3; ++c) {
        px[out[c]] = count > 0 ? ClampToByte(static_cast<int64_t>(wide[c]) / count) : 0;
      }
    }
    if (StopAfterRow(progress, y, dest.height, row, result)) return RK_STOPPED;
  }
  return result;
}

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
  return rk::filters::Shrink(*dest, *source, progress);
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
