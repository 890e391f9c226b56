#include "mcu_reconstruct.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rk {
namespace {

// Every size of this interface is 32-bit: a pixel buffer whose last byte
// lies further than this from `pixels` cannot be described to callers that
// compute its size (e.g. 65535 x 65535 pixels of 3 bytes = 12.9 GB).
constexpr int64_t kMaxPixelSpan = 0xFFFFFFFFll;

inline int32_t Clamp255(int32_t v) { return std::min(std::max(v, 0), 255); }

// T.81 colour conversion in 8-bit fractions: 359 = round(1.402 * 256),
// 88 = round(0.34414 * 256), 182 = round(0.71414 * 256),
// 454 = round(1.772 * 256). 256 * Y is a multiple of 256, so
// (256Y + k + 128) >> 8 = Y + ((k + 128) >> 8) exactly (floor shifts).
inline int32_t RedOf(int32_t y, int32_t cr) { return Clamp255((256 * y + 359 * cr + 128) >> 8); }
inline int32_t GreenOf(int32_t y, int32_t cb, int32_t cr) {
  return Clamp255((256 * y - 88 * cb - 182 * cr + 128) >> 8);
}
inline int32_t BlueOf(int32_t y, int32_t cb) { return Clamp255((256 * y + 454 * cb + 128) >> 8); }

// The value a block sample takes in its plane.
inline int16_t PlaneValue(int16_t v, int component, bool rgb) {
  if (rgb) return static_cast<int16_t>(Clamp255(v + 128));
  if (component == 0) return static_cast<int16_t>(v + 128);  // wraps like the 16-bit plane
  return v;
}

inline void Store16(uint8_t* base, int64_t index, int16_t v) {
  std::memcpy(base + 2 * index, &v, sizeof v);
}

}  // namespace

bool DescribeTarget(const ImageBlkAttrRec& image, int components, PixelTarget& out) {
  out.pixels = image.pixels;
  out.rowStride = image.rowStride;
  out.offset[0] = image.redOffset;
  out.offset[1] = image.greenOffset;
  out.offset[2] = image.blueOffset;
  out.pixelStride = image.pixelStride;
  out.bottomUp = image.bottomUp != 0;
  out.planar = (image.pixelFormat & 15) == RK_PIXEL_PLANAR_YCC16;
  out.width = image.width;
  out.height = image.height;
  const int64_t w = out.width;
  const int64_t h = out.height;
  if (w == 0 || h == 0) {
    out.separate = true;
    return true;
  }
  const int64_t stride = std::llabs(out.rowStride);
  if (out.planar) {
    const int64_t planeSamples = w * h;
    const int64_t lastSample = (h - 1) * stride + (w - 1) + (components == 3 ? 2 * planeSamples : 0);
    if (2 * (lastSample + 1) > kMaxPixelSpan) return false;
    out.separate = out.rowStride >= w && (components == 1 || (h - 1) * stride + w <= planeSamples);
    if (h == 1) out.separate = components == 1 || w <= planeSamples;
    return true;
  }
  const int64_t maxOffset = std::max({out.offset[0], out.offset[1], out.offset[2]});
  const int64_t rowBytes = (w - 1) * out.pixelStride + maxOffset + 1;
  if ((h - 1) * stride + rowBytes > kMaxPixelSpan) return false;
  // Within a pixel the three samples are always written red, green, blue,
  // so shared offsets give the same bytes in either writer; only pixels or
  // rows that overlap each other need the reference order.
  const bool pixelsApart = w == 1 || out.pixelStride >= maxOffset + 1;
  const bool rowsApart = h == 1 || stride >= rowBytes;
  out.separate = pixelsApart && rowsApart;
  return true;
}

void ReconstructMcuReference(const McuSource& mcu, int16_t* planes, const PixelTarget& target) {
  const McuGeometry& geo = *mcu.geo;
  const int mw = geo.mcuWidth;
  const int mh = geo.mcuHeight;
  const int n = geo.components;
  const bool rgb = mcu.rgb && n == 3;
  int16_t* plane[3] = {planes, planes + mw * mh, planes + 2 * mw * mh};

  // Pixel replication: block sample (r, s) of block (bi, bj) covers the
  // fx x fy plane samples from row 8*fy*bj + fy*r, column 8*fx*bi + fx*s.
  const int16_t* block = mcu.blocks;
  for (int c = 0; c < n; ++c) {
    const int fx = geo.reductionX(c);
    const int fy = geo.reductionY(c);
    for (int bj = 0; bj < geo.blocksHigh(c); ++bj) {
      for (int bi = 0; bi < geo.blocksWide(c); ++bi, block += 64) {
        for (int r = 0; r < 8; ++r) {
          for (int s = 0; s < 8; ++s) {
            const int16_t v = PlaneValue(block[8 * r + s], c, rgb);
            for (int dy = 0; dy < fy; ++dy) {
              for (int dx = 0; dx < fx; ++dx) {
                plane[c][(8 * fy * bj + fy * r + dy) * mw + 8 * fx * bi + fx * s + dx] = v;
              }
            }
          }
        }
      }
    }
  }

  if (!rgb && !target.planar) {
    for (int i = 0; i < mw * mh; ++i) {
      if (n == 3) {
        const int32_t y = plane[0][i], cb = plane[1][i], cr = plane[2][i];
        plane[0][i] = static_cast<int16_t>(RedOf(y, cr));
        plane[1][i] = static_cast<int16_t>(GreenOf(y, cb, cr));
        plane[2][i] = static_cast<int16_t>(BlueOf(y, cb));
      } else {
        plane[0][i] = static_cast<int16_t>(Clamp255(plane[0][i]));
        plane[1][i] = plane[0][i];
        plane[2][i] = plane[0][i];
      }
    }
  }

  const int64_t planeSamples = static_cast<int64_t>(target.width) * target.height;
  for (int r = mh - 1; r >= 0; --r) {
    const int y = std::min(mcu.y0 + r, target.height - 1);
    const int64_t row = target.bottomUp ? target.height - 1 - y : y;
    for (int s = mw - 1; s >= 0; --s) {
      const int x = std::min(mcu.x0 + s, target.width - 1);
      const int i = r * mw + s;
      if (target.planar) {
        const int64_t index = row * target.rowStride + x;
        for (int c = 0; c < (n == 3 ? 3 : 1); ++c) Store16(target.pixels, c * planeSamples + index, plane[c][i]);
      } else {
        uint8_t* p = target.pixels + row * target.rowStride + static_cast<int64_t>(x) * target.pixelStride;
        for (int c = 0; c < 3; ++c) p[target.offset[c]] = static_cast<uint8_t>(plane[c][i]);
      }
    }
  }
}

namespace {

// Fills rows [0, rows) of component c's plane from its blocks.
void FillPlane(const McuGeometry& geo, int c, const int16_t* blocks, bool rgb, int rows, int16_t* plane) {
  const int mw = geo.mcuWidth;
  const int fx = geo.reductionX(c);
  const int fy = geo.reductionY(c);
  const int bw = geo.blocksWide(c);
  for (int pr = 0; pr < rows; ++pr) {
    const int bj = pr / (8 * fy);
    const int r = (pr / fy) & 7;
    int16_t* dst = plane + pr * mw;
    if (pr % fy != 0) {  // a replicated row: the same as the one above
      std::memcpy(dst, dst - mw, sizeof(int16_t) * mw);
      continue;
    }
    for (int bi = 0; bi < bw; ++bi) {
      const int16_t* src = blocks + 64 * (bj * bw + bi) + 8 * r;
      int16_t* d = dst + 8 * fx * bi;
      int16_t v[8];
      if (rgb) {
        for (int s = 0; s < 8; ++s) v[s] = static_cast<int16_t>(Clamp255(src[s] + 128));
      } else if (c == 0) {
        for (int s = 0; s < 8; ++s) v[s] = static_cast<int16_t>(src[s] + 128);
      } else {
        for (int s = 0; s < 8; ++s) v[s] = src[s];
      }
      if (fx == 1) {
        std::memcpy(d, v, sizeof v);
      } else if (fx == 2) {
        for (int s = 0; s < 8; ++s) d[2 * s] = d[2 * s + 1] = v[s];
      } else {
        for (int s = 0; s < 8; ++s)
          for (int dx = 0; dx < fx; ++dx) d[fx * s + dx] = v[s];
      }
    }
  }
}

}  // namespace

void ReconstructMcu(const McuSource& mcu, int16_t* planes, const PixelTarget& target) {
  const McuGeometry& geo = *mcu.geo;
  const int mw = geo.mcuWidth;
  const int n = geo.components;
  const bool rgb = mcu.rgb && n == 3;
  const int rows = std::min<int>(geo.mcuHeight, target.height - mcu.y0);
  const int cols = std::min<int>(mw, target.width - mcu.x0);
  if (rows <= 0 || cols <= 0) return;
  int16_t* plane[3] = {planes, planes + mw * geo.mcuHeight, planes + 2 * mw * geo.mcuHeight};

  const int16_t* blocks = mcu.blocks;
  for (int c = 0; c < n; ++c) {
    FillPlane(geo, c, blocks, rgb, rows, plane[c]);
    blocks += 64 * geo.blocksPerMcu(c);
  }

  const int64_t planeSamples = static_cast<int64_t>(target.width) * target.height;
  const uint32_t o0 = target.offset[0], o1 = target.offset[1], o2 = target.offset[2];
  const int64_t ps = target.pixelStride;
  for (int pr = 0; pr < rows; ++pr) {
    const int y = mcu.y0 + pr;
    const int64_t row = target.bottomUp ? target.height - 1 - y : y;
    const int16_t* p0 = plane[0] + pr * mw;
    const int16_t* p1 = plane[1] + pr * mw;
    const int16_t* p2 = plane[2] + pr * mw;
    if (target.planar) {
      const int64_t index = row * target.rowStride + mcu.x0;
      for (int c = 0; c < (n == 3 ? 3 : 1); ++c) {
        std::memcpy(target.pixels + 2 * (c * planeSamples + index), plane[c] + pr * mw,
                    sizeof(int16_t) * cols);
      }
      continue;
    }
    uint8_t* out = target.pixels + row * target.rowStride + mcu.x0 * ps;
    if (n == 1) {
      for (int s = 0; s < cols; ++s, out += ps) {
        const uint8_t g = static_cast<uint8_t>(Clamp255(p0[s]));
        out[o0] = g;
        out[o1] = g;
        out[o2] = g;
      }
    } else if (rgb) {
      for (int s = 0; s < cols; ++s, out += ps) {
        out[o0] = static_cast<uint8_t>(p0[s]);
        out[o1] = static_cast<uint8_t>(p1[s]);
        out[o2] = static_cast<uint8_t>(p2[s]);
      }
    } else {
      uint8_t red[32], green[32], blue[32];
      for (int s = 0; s < cols; ++s) {
        const int32_t yv = p0[s], cb = p1[s], cr = p2[s];
        red[s] = static_cast<uint8_t>(RedOf(yv, cr));
        green[s] = static_cast<uint8_t>(GreenOf(yv, cb, cr));
        blue[s] = static_cast<uint8_t>(BlueOf(yv, cb));
      }
      for (int s = 0; s < cols; ++s, out += ps) {
        out[o0] = red[s];
        out[o1] = green[s];
        out[o2] = blue[s];
      }
    }
  }
}

}  // namespace rk
