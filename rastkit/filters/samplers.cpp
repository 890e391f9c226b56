#include "samplers.h"

#include <algorithm>
#include <cmath>

namespace rk::filters {
namespace {

// A position resolved into whole parts and fractions, with the neighbour
// columns and rows that the edge rule gives.
struct Cell {
  int32_t x[3];  // columns x, x + 1, x + 2 after the edge rule
  int32_t y[3];  // image rows likewise
  int32_t fx;
  int32_t fy;
};

int32_t Wrap(int64_t v, int64_t period) {
  v %= period;
  if (v < 0) v += period;
  return static_cast<int32_t>(v);
}

int32_t Neighbour(int32_t first, int32_t step, int32_t size, SampleEdge edge) {
  const int32_t n = first + step;  // first < size <= 65535: no overflow
  if (n < size) return n;
  return edge == SampleEdge::kWrap ? n - size : size - 1;
}

// Resolves the 8.8 position (px, py); false when it lies outside.
bool Locate(const SampleSource& s, int32_t px, int32_t py, SampleEdge edge, Cell& c) {
  if (s.width <= 0 || s.height <= 0) return false;
  if (edge == SampleEdge::kWrap) {
    px = Wrap(px, int64_t{s.width} << kPositionShift);
    py = Wrap(py, int64_t{s.height} << kPositionShift);
  } else if (px < 0 || py < 0) {
    return false;
  }
  const int32_t x = px >> kPositionShift;
  const int32_t y = py >> kPositionShift;
  if (x > s.width - 1 || y > s.height - 1) return false;
  for (int k = 0; k < 3; ++k) {
    c.x[k] = k == 0 ? x : Neighbour(c.x[k - 1], 1, s.width, edge);
    c.y[k] = k == 0 ? y : Neighbour(c.y[k - 1], 1, s.height, edge);
  }
  c.fx = px & (kPositionOne - 1);
  c.fy = py & (kPositionOne - 1);
  return true;
}

const uint8_t* Row(const SampleSource& s, int32_t imageRow) {
  const int32_t stored = s.bottomUp ? s.height - 1 - imageRow : imageRow;
  return s.pixels + stored * s.rowStride;
}

int32_t At(const uint8_t* row, const SampleSource& s, int32_t x, uint32_t channel) {
  return row[x * s.pixelStride + channel];
}

// One step of the quadratic: weights of the parabola through the points at
// 0, 255 and 510, scaled by 2 / 259561. At t = 0 the weights are
// 260100 / 259561, 0, 0 (not exactly 1: the divisor is not 255 * 510 * 2).
// The inputs of the second pass may lie a little outside 0 .. 255, so the
// products are formed in 64 bits.
int32_t Quadratic(int32_t p0, int32_t p1, int32_t p2, int32_t t) {
  const int64_t sum = int64_t{t - 255} * (t - 510) * p0 - 2 * int64_t{t} * (t - 510) * p1 +
                      int64_t{t} * (t - 255) * p2;
  return static_cast<int32_t>(2 * sum / 259561);
}

uint8_t Lookup(const uint8_t* table, int32_t weight, int32_t value) {
  return table[weight * 256 + std::min(value, 255)];
}

}  // namespace

SampleSource SourceOf(const ImageBlkAttrRec& image) {
  SampleSource s;
  s.pixels = image.pixels;
  s.rowStride = image.rowStride;
  s.pixelStride = image.pixelStride;
  s.width = image.width;
  s.height = image.height;
  s.bottomUp = image.bottomUp != 0;
  return s;
}

int32_t SampleBilinear(const SampleSource& source, uint32_t channel, int32_t x, int32_t y, SampleEdge edge) {
  Cell c;
  if (!Locate(source, x, y, edge, c)) return kSampleOutside;
  const uint8_t* r0 = Row(source, c.y[0]);
  const uint8_t* r1 = Row(source, c.y[1]);
  const int32_t p00 = At(r0, source, c.x[0], channel), p10 = At(r0, source, c.x[1], channel);
  const int32_t p01 = At(r1, source, c.x[0], channel), p11 = At(r1, source, c.x[1], channel);
  return BlendBilinear(p00, p10, p01, p11, c.fx, c.fy) * 256;
}

int32_t SampleQuadratic(const SampleSource& source, uint32_t channel, int32_t x, int32_t y, SampleEdge edge) {
  Cell c;
  if (!Locate(source, x, y, edge, c)) return kSampleOutside;
  int32_t rows[3];
  for (int k = 0; k < 3; ++k) {
    const uint8_t* row = Row(source, c.y[k]);
    rows[k] = Quadratic(At(row, source, c.x[0], channel), At(row, source, c.x[1], channel),
                        At(row, source, c.x[2], channel), c.fx);
  }
  return std::clamp(Quadratic(rows[0], rows[1], rows[2], c.fy), 0, 255) * 256;
}

int32_t SampleTable(const SampleSource& source, uint32_t channel, int32_t x, int32_t y, const uint8_t* table,
                    SampleEdge edge) {
  Cell c;
  if (!Locate(source, x, y, edge, c)) return kSampleOutside;
  const uint8_t* r0 = Row(source, c.y[0]);
  const uint8_t* r1 = Row(source, c.y[1]);
  const int32_t p00 = At(r0, source, c.x[0], channel), p10 = At(r0, source, c.x[1], channel);
  const int32_t p01 = At(r1, source, c.x[0], channel), p11 = At(r1, source, c.x[1], channel);
  const int32_t g = 255 - c.fx, h = 255 - c.fy;
  const int32_t c0 = Lookup(table, h, p00) + Lookup(table, c.fy, p01);
  const int32_t c1 = Lookup(table, h, p10) + Lookup(table, c.fy, p11);
  const int32_t s0 = Lookup(table, g, p00) + Lookup(table, c.fx, p10);
  const int32_t s1 = Lookup(table, g, p01) + Lookup(table, c.fx, p11);
  const int32_t s = Lookup(table, g, c0) + Lookup(table, c.fx, c1) + Lookup(table, h, s0) +
                    Lookup(table, c.fy, s1);
  return (s & ~1) * 128;
}

int32_t SampleNearest(const SampleSource& source, uint32_t channel, int32_t x, int32_t y, SampleEdge edge) {
  if (source.width <= 0 || source.height <= 0) return kSampleOutside;
  if (edge == SampleEdge::kWrap) {
    x = Wrap(x, source.width);
    y = Wrap(y, source.height);
  } else if (x < 0 || y < 0 || x > source.width - 1 || y > source.height - 1) {
    return kSampleOutside;
  }
  return At(Row(source, y), source, x, channel);
}

}  // namespace rk::filters

extern "C" RK_API void RkCreateSamplingLUT(uint8_t* lut) {
  if (lut == nullptr) return;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) lut[a * 256 + b] = static_cast<uint8_t>(a * b / 256);
  }
}

extern "C" RK_API void RkCreateSamplingSinLUT(uint8_t* lut) {
  if (lut == nullptr) return;
  // Weight a times sin^2 of the value's quarter turn: value 128 is half way
  // (sin^2(pi/4) = 0.5, so entry [200 * 256 + 128] = 99, just below 100
  // because the quarter turn is reached only at value 256).
  for (int b = 0; b < 256; ++b) {
    const double s = std::sin(b * 1.57079632675 / 256);
    for (int a = 0; a < 256; ++a) lut[a * 256 + b] = static_cast<uint8_t>(a * (s * s));
  }
}
