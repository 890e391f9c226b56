#include "camera_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cam/kernels.h"
#include "camera/kslv_image.h"
#include "camera/kstm.h"
#include "rastkit.h"

namespace rktools {
namespace {

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  explicit Table(bool unit) {
    if (unit) {
      RkInitKSLVImageProcessUnit(get());
    } else {
      RkInitModuleTable(get());
    }
  }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

// For each output level, the 8-bit value whose trip through the input and
// output curves of the unit comes nearest it (ties to the smaller value).
std::array<uint8_t, 256> InverseGamma() {
  Table unit(true);
  const ModuleTableRec* t = unit.get();
  std::array<uint8_t, 256> inverse{};
  for (int level = 0; level < 256; ++level) {
    int best = 0, bestError = 1 << 30;
    for (int v = 0; v < 256; ++v) {
      const int error = std::abs(t->outputGamma[t->inputGamma[v]] - level);
      if (error < bestError) {
        best = v;
        bestError = error;
      }
    }
    inverse[level] = static_cast<uint8_t>(best);
  }
  return inverse;
}

int ClampInt(double v, int lo, int hi) { return std::clamp(static_cast<int>(std::lround(v)), lo, hi); }

// A picture as the library's 640 x 480 bottom-up source record.
struct KstmSource {
  std::vector<uint8_t> pixels;
  ImageBlkAttrRec record{};
  explicit KstmSource(const Picture& pic) {
    const Picture sized = Resize(pic, rk::camera::kKstmWidth, rk::camera::kKstmHeight);
    int32_t stride = 0;
    pixels = BottomUpBgr(sized, stride);
    record.width = static_cast<uint16_t>(sized.width);
    record.height = static_cast<uint16_t>(sized.height);
    record.pixels = pixels.data();
    record.rowStride = stride;
    record.blueOffset = 0;
    record.greenOffset = 1;
    record.redOffset = 2;
    record.pixelStride = 3;
    record.bottomUp = 1;
  }
};

}  // namespace

std::vector<uint8_t> BottomUpBgr(const Picture& pic, int32_t& stride) {
  stride = (pic.width * 3 + 3) / 4 * 4;
  std::vector<uint8_t> out(static_cast<size_t>(stride) * pic.height, 0);
  for (int y = 0; y < pic.height; ++y) {
    uint8_t* row = &out[static_cast<size_t>(pic.height - 1 - y) * stride];
    for (int x = 0; x < pic.width; ++x) {
      row[3 * x] = pic.at(x, y)[2];
      row[3 * x + 1] = pic.at(x, y)[1];
      row[3 * x + 2] = pic.at(x, y)[0];
    }
  }
  return out;
}

std::vector<uint8_t> WriteKslvThumbnail(const Picture& pic) {
  const Picture sized = Resize(pic, 60, 30);
  const auto inverse = InverseGamma();
  std::vector<uint8_t> out(3600);
  for (int y = 0; y < 30; ++y) {
    for (int k = 0; k < 30; ++k) {
      int16_t ycc[2][3];
      for (int i = 0; i < 2; ++i) {
        const uint8_t* p = sized.at(2 * k + i, y);
        ycc[i][0] = inverse[p[0]];
        ycc[i][1] = inverse[p[1]];
        ycc[i][2] = inverse[p[2]];
        rk::RgbToYcc(&ycc[i][0], &ycc[i][1], &ycc[i][2]);
      }
      uint8_t* q = &out[static_cast<size_t>(y) * 120 + 4 * k];
      q[0] = static_cast<uint8_t>(std::clamp<int>(ycc[0][0], 0, 255));
      q[1] = static_cast<uint8_t>(std::clamp<int>(ycc[1][0], 0, 255));
      q[2] = static_cast<uint8_t>(std::clamp((ycc[0][1] + ycc[1][1]) / 2 + 127, 0, 255));
      q[3] = static_cast<uint8_t>(std::clamp((ycc[0][2] + ycc[1][2]) / 2 + 127, 0, 255));
    }
  }
  return out;
}

bool WriteKslvImage(const Picture& pic, const KslvImageOptions& options, std::vector<uint8_t>& out) {
  rk::camera::KslvGains gains;
  if (rk::camera::GainsFromReference(options.reference.data(), gains) != RK_OK) return false;
  const Picture sized = Resize(pic, 480, 240);
  const auto inverse = InverseGamma();

  // The decoder forms, per channel, ((256 Y + matrix terms) x gain) >> 16:
  // R = (Y + 839/256 Cr) g_R / 256, G = (Y - 180/256 Cb - 300/256 Cr)
  // g_G / 256, B = (Y + 910/256 Cb - 384/256 Cr) g_B / 256. Solved here for
  // (Y, Cb, Cr) from the wanted (R, G, B).
  const double m[3][3] = {{1, 0, 839 / 256.0}, {1, -180 / 256.0, -300 / 256.0}, {1, 910 / 256.0, -384 / 256.0}};
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  double inv[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
      inv[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
    }
  }
  const size_t plane = 480 * 240;
  std::vector<int16_t> planes(3 * plane);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 480; ++x) {
      const uint8_t* p = sized.at(x, y);
      const double rgb[3] = {inverse[p[0]] * 256.0 / static_cast<double>(gains.red),
                             inverse[p[1]] * 256.0 / static_cast<double>(gains.green),
                             inverse[p[2]] * 256.0 / static_cast<double>(gains.blue)};
      double ycc[3];
      for (int i = 0; i < 3; ++i) ycc[i] = inv[i][0] * rgb[0] + inv[i][1] * rgb[1] + inv[i][2] * rgb[2];
      const size_t at = static_cast<size_t>(y) * 480 + x;
      planes[at] = static_cast<int16_t>(ClampInt(ycc[0], 0, 255));
      planes[plane + at] = static_cast<int16_t>(ClampInt(ycc[1], -127, 128));
      planes[2 * plane + at] = static_cast<int16_t>(ClampInt(ycc[2], -127, 128));
    }
  }

  Table table(false);
  RkSetQuantizeScaleFactor(table.get(), &options.scale, &options.scale);
  uint8_t comment[8] = {options.reference[0], options.reference[1], options.reference[2], options.reference[3],
                        'K', 'S', 'L', 'V'};
  RkSetGlobalComment(table.get(), comment, sizeof comment);
  out.assign(1 << 20, 0);
  ImageBlkAttrRec image{};
  image.width = 480;
  image.height = 240;
  image.format = options.format;
  image.restartInterval = options.restartInterval;
  image.pixels = reinterpret_cast<uint8_t*>(planes.data());
  image.pixelFormat = RK_PIXEL_PLANAR_YCC16;
  image.rowStride = 480;
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  if (RkExportImageByJFIF(table.get(), &image, nullptr) != RK_OK) return false;
  out.resize(image.dataLength);
  return true;
}

bool WriteKstmImage(const Picture& pic, double scale, std::vector<uint8_t>& out) {
  KstmSource source(pic);
  Table table(false);
  RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
  out.assign(4 << 20, 0);
  uint32_t written = 0;
  if (rk::camera::EncodeKstmImage(table.get(), source.record, out.data(), static_cast<uint32_t>(out.size()) - 2,
                                  &written, {}) != RK_OK) {
    return false;
  }
  out[written] = 0xFF;
  out[written + 1] = 0xD9;
  out.resize(written + 2);
  return true;
}

bool WriteKstmThumbnail(const Picture& pic, std::vector<uint8_t>& out) {
  KstmSource source(pic);
  Table table(false);
  out.assign(1 << 20, 0);
  uint32_t written = 0;
  if (rk::camera::EncodeKstmThumbnail(table.get(), source.record, out.data(), static_cast<uint32_t>(out.size()),
                                      &written, {}) != RK_OK) {
    return false;
  }
  out.resize(written);
  return true;
}

}  // namespace rktools
