#include "encode_pixels.h"

#include <algorithm>
#include <cstring>

namespace rk {
namespace {

// The RgbToYcc formulas in 8-bit fractions (77 + 150 + 29 = 256, so white
// gives Y = 255; the chroma rows sum to 0, so grey gives Cb = Cr = 0).
// The shifts are arithmetic (floor).
inline int LumaOf(int r, int g, int b) { return (77 * r + 150 * g + 29 * b + 128) >> 8; }
inline int CbOf(int r, int g, int b) { return (128 * b + 128 - 85 * g - 43 * r) >> 8; }
inline int CrOf(int r, int g, int b) { return (128 * r + 128 - 107 * g - 21 * b) >> 8; }

int16_t ReadPlanar(const PixelSource& src, int plane, int64_t index) {
  const int64_t planeBytes = 2 * static_cast<int64_t>(src.width) * src.height;
  int16_t v;
  std::memcpy(&v, src.pixels + plane * planeBytes + 2 * index, sizeof v);
  if (plane == 0) return static_cast<int16_t>(std::clamp<int>(v, 0, 255));
  return static_cast<int16_t>(std::clamp<int>(v, kPlanarChromaMin, kPlanarChromaMax));
}

// One component: block (bi, bj) of the span averages FX x FY plane samples
// per output sample, truncating toward zero like the plain version.
template <int FX, int FY>
int16_t* SplitComponent(const int16_t* plane, int mcuWidth, int blocksWide, int blocksHigh, int shift,
                        int16_t* out) {
  for (int bj = 0; bj < blocksHigh; ++bj) {
    for (int bi = 0; bi < blocksWide; ++bi, out += 64) {
      const int16_t* base = plane + 8 * FY * bj * mcuWidth + 8 * FX * bi;
      for (int r = 0; r < 8; ++r) {
        const int16_t* row = base + FY * r * mcuWidth;
        for (int s = 0; s < 8; ++s) {
          int sum = 0;
          for (int dy = 0; dy < FY; ++dy)
            for (int dx = 0; dx < FX; ++dx) sum += row[dy * mcuWidth + FX * s + dx];
          out[8 * r + s] = static_cast<int16_t>(sum / (FX * FY) - shift);
        }
      }
    }
  }
  return out;
}

}  // namespace

PixelSource PixelSource::From(const ImageBlkAttrRec& image, const McuGeometry& geo) {
  PixelSource s;
  s.pixels = image.pixels;
  s.rowStride = image.rowStride;
  s.pixelStride = image.pixelStride;
  s.redOffset = image.redOffset;
  s.greenOffset = image.greenOffset;
  s.blueOffset = image.blueOffset;
  s.width = image.width;
  s.height = image.height;
  s.bottomUp = image.bottomUp != 0;
  s.planar = (image.pixelFormat & 0xF) == RK_PIXEL_PLANAR_YCC16;
  s.colour = geo.components == 3;
  return s;
}

void GatherMcu(const PixelSource& src, const McuGeometry& geo, int x0, int y0, const McuWorkArea& area,
               EdgeFill edge) {
  const int w = geo.mcuWidth, h = geo.mcuHeight;
  if (src.planar || x0 + w > src.width || y0 + h > src.height) {
    reference::GatherMcu(src, geo, x0, y0, area, edge);
    reference::ConvertColour(src, geo, area);
    return;
  }
  int16_t* y = area.plane[0];
  int16_t* cb = area.plane[1];
  int16_t* cr = area.plane[2];
  const int64_t ps = src.pixelStride;
  const uint32_t ro = src.redOffset, go = src.greenOffset, bo = src.blueOffset;
  for (int r = 0; r < h; ++r) {
    const uint8_t* p = src.pixels + src.StoredRow(y0 + r) * src.rowStride + x0 * ps;
    if (src.colour) {
      for (int s = 0; s < w; ++s, p += ps) {
        const int R = p[ro], G = p[go], B = p[bo];
        *y++ = static_cast<int16_t>(LumaOf(R, G, B));
        *cb++ = static_cast<int16_t>(CbOf(R, G, B));
        *cr++ = static_cast<int16_t>(CrOf(R, G, B));
      }
    } else {
      for (int s = 0; s < w; ++s, p += ps) *y++ = static_cast<int16_t>(LumaOf(p[ro], p[go], p[bo]));
    }
  }
}

void SplitBlocks(const McuGeometry& geo, const McuWorkArea& area) {
  int16_t* out = area.blocks;
  for (int c = 0; c < geo.components; ++c) {
    const int fx = geo.reductionX(c), fy = geo.reductionY(c);
    const int shift = c == 0 ? 128 : 0;
    const int bw = geo.blocksWide(c), bh = geo.blocksHigh(c);
    const int16_t* plane = area.plane[c];
    if (fx == 1 && fy == 1) {
      out = SplitComponent<1, 1>(plane, geo.mcuWidth, bw, bh, shift, out);
    } else if (fx == 2 && fy == 1) {
      out = SplitComponent<2, 1>(plane, geo.mcuWidth, bw, bh, shift, out);
    } else if (fx == 1 && fy == 2) {
      out = SplitComponent<1, 2>(plane, geo.mcuWidth, bw, bh, shift, out);
    } else if (fx == 2 && fy == 2) {
      out = SplitComponent<2, 2>(plane, geo.mcuWidth, bw, bh, shift, out);
    } else {
      // Rare reductions (3 or 4) take the plain loop for the whole MCU.
      reference::SplitBlocks(geo, area);
      return;
    }
  }
}

namespace reference {

void GatherMcu(const PixelSource& src, const McuGeometry& geo, int x0, int y0, const McuWorkArea& area,
               EdgeFill edge) {
  const int w = geo.mcuWidth, h = geo.mcuHeight;
  for (int r = 0; r < h; ++r) {
    for (int s = 0; s < w; ++s) {
      int x = x0 + s, y = y0 + r;
      const int i = r * w + s;
      if (x >= src.width || y >= src.height) {
        if (edge == EdgeFill::kBlack) {
          area.plane[0][i] = area.plane[1][i] = area.plane[2][i] = 0;  // black outside the image
          continue;
        }
        x = std::min(x, src.width - 1);
        y = std::min(y, src.height - 1);
      }
      const int64_t row = src.StoredRow(y);
      if (src.planar) {
        const int64_t index = row * src.rowStride + x;
        for (int c = 0; c < 3; ++c) area.plane[c][i] = ReadPlanar(src, c, index);
      } else {
        const uint8_t* p = src.pixels + row * src.rowStride + x * src.pixelStride;
        area.plane[0][i] = p[src.redOffset];
        area.plane[1][i] = p[src.greenOffset];
        area.plane[2][i] = p[src.blueOffset];
      }
    }
  }
}

void ConvertColour(const PixelSource& src, const McuGeometry& geo, const McuWorkArea& area) {
  if (src.planar) return;
  const int n = geo.mcuWidth * geo.mcuHeight;
  for (int i = 0; i < n; ++i) {
    const int r = area.plane[0][i], g = area.plane[1][i], b = area.plane[2][i];
    area.plane[0][i] = static_cast<int16_t>(LumaOf(r, g, b));
    if (src.colour) {
      area.plane[1][i] = static_cast<int16_t>(CbOf(r, g, b));
      area.plane[2][i] = static_cast<int16_t>(CrOf(r, g, b));
    }
  }
}

void SplitBlocks(const McuGeometry& geo, const McuWorkArea& area) {
  int16_t* out = area.blocks;
  const int w = geo.mcuWidth;
  for (int c = 0; c < geo.components; ++c) {
    const int fx = geo.reductionX(c), fy = geo.reductionY(c);
    for (int bj = 0; bj < geo.blocksHigh(c); ++bj) {
      for (int bi = 0; bi < geo.blocksWide(c); ++bi, out += 64) {
        for (int r = 0; r < 8; ++r) {
          for (int s = 0; s < 8; ++s) {
            int sum = 0;
            for (int dy = 0; dy < fy; ++dy) {
              for (int dx = 0; dx < fx; ++dx) {
                sum += area.plane[c][(8 * fy * bj + fy * r + dy) * w + 8 * fx * bi + fx * s + dx];
              }
            }
            int v = sum / (fx * fy);  // truncates toward zero
            if (c == 0) v -= 128;
            out[8 * r + s] = static_cast<int16_t>(v);
          }
        }
      }
    }
  }
}

}  // namespace reference
}  // namespace rk
