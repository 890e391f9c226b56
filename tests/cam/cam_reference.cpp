#include "cam_reference.h"

#include <algorithm>
#include <cstring>

#include "cam/kernels.h"

namespace camtest {

Planes ReferencePlanes(const ModuleTableRec& table, const ImageBlkAttrRec& image) {
  Planes out;
  struct Plane {
    std::vector<int16_t>* samples;
    int blocksWide, blocksHigh, table, quant, shift;
  };
  const Plane planes[3] = {{&out.y, 60, 30, 0, 0, 128}, {&out.cb, 20, 15, 1, 1, 0}, {&out.cr, 20, 15, 1, 2, 0}};
  uint64_t start = 0;
  const uint64_t total = image.dataLength;
  for (int i = 0; i < 3; ++i) {
    ModuleTableRec copy = table;
    const uint64_t s = std::min(start, total);
    copy.streamData = image.data + s;
    copy.streamLength = static_cast<uint32_t>(std::min<uint64_t>(image.segmentLength[i], total - s));
    copy.bitPos = 0;
    copy.decodeError = 0;
    start += image.segmentLength[i];
    const Plane& p = planes[i];
    int16_t predictor = 0;
    bool dead = false;
    const int width = 8 * p.blocksWide;
    for (int by = 0; by < p.blocksHigh; ++by) {
      for (int bx = 0; bx < p.blocksWide; ++bx) {
        int16_t block[64] = {};
        if (!dead) {
          const rk::DecodeStatus st =
              rk::DecodeBlock(&copy, block, table.dcCodeTable[p.table], table.acCodeTable[p.table], nullptr,
                              nullptr, &predictor);
          if (st == rk::DecodeStatus::kStreamError || st == rk::DecodeStatus::kNoCode) {
            dead = true;
            std::memset(block, 0, sizeof block);
            if (out.firstError == 0) {
              out.firstError = st == rk::DecodeStatus::kNoCode ? int16_t{RK_ERR_END_OF_DATA} : copy.decodeError;
            }
          }
        }
        rk::DequantizeBlock(block, table.quantTable[p.quant]);
        rk::InverseTransformBlock(&table, block);
        for (int r = 0; r < 8; ++r) {
          for (int c = 0; c < 8; ++c) {
            (*p.samples)[(8 * by + r) * width + 8 * bx + c] = static_cast<int16_t>(block[8 * r + c] + p.shift);
          }
        }
      }
    }
  }
  return out;
}

namespace {

void SourcePixel(const Planes& pl, int x, int y, int luma, uint8_t rgb[3]) {
  int16_t a = static_cast<int16_t>(luma);
  int16_t b = pl.cb[(y / 2) * 160 + x / 3];
  int16_t c = pl.cr[(y / 2) * 160 + x / 3];
  rk::YccToRgb(&a, &b, &c);
  rgb[0] = static_cast<uint8_t>(a);
  rgb[1] = static_cast<uint8_t>(b);
  rgb[2] = static_cast<uint8_t>(c);
}

}  // namespace

rktest::Rgb ReferencePicture(const Planes& pl, int width, int height) {
  rktest::Rgb img;
  img.width = width;
  img.height = height;
  img.px.resize(static_cast<size_t>(width) * height * 3);
  auto Y = [&](int x, int y) { return int{pl.y[y * 480 + x]}; };
  if (width == 480 && height == 240) {
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 480; ++x) SourcePixel(pl, x, y, Y(x, y), img.at(x, y));
  } else if (width == 320 && height == 240) {
    for (int y = 0; y < 240; ++y) {
      for (int k = 0; k < 160; ++k) {
        SourcePixel(pl, 3 * k, y, (Y(3 * k, y) + Y(3 * k + 1, y)) >> 1, img.at(2 * k, y));
        SourcePixel(pl, 3 * k, y, Y(3 * k + 2, y), img.at(2 * k + 1, y));
      }
    }
  } else {
    // Each image row j > 0 sits at source position (2j - 1) / 3 between the
    // two nearest source rows; row 0 is source row 0.
    for (int m = 0; m < 120; ++m) {
      for (int x = 0; x < 480; ++x) {
        uint8_t p[3], n[3];
        SourcePixel(pl, x, 2 * m, Y(x, 2 * m), p);
        SourcePixel(pl, x, 2 * m + 1, Y(x, 2 * m + 1), n);
        for (int c = 0; c < 3; ++c) {
          img.at(x, 3 * m + 2)[c] = n[c];
          img.at(x, 3 * m)[c] = m == 0 ? p[c] : static_cast<uint8_t>((img.at(x, 3 * m - 1)[c] + 2 * p[c]) / 3);
          img.at(x, 3 * m + 1)[c] = static_cast<uint8_t>((n[c] + 2 * p[c]) / 3);
        }
      }
    }
  }
  return img;
}

}  // namespace camtest
