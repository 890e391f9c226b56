// Point samplers: the value of one 8-bit channel of a picture at a
// fractional position. The resizes use them, and so do the geometric
// operations (rotation, tilt, distortion), which work backwards from each
// destination pixel to a source position.
//
// Positions are 8.8 fixed point: 600 stands for 600 / 256 = 2.34 pixels,
// whole part 2 (the column or row), fraction 88 (0 .. 255). The
// interpolating samplers return the channel value times 256 (200 comes back
// as 51200), the nearest sampler takes whole-pixel positions and returns
// the plain value; all of them return kSampleOutside (-256) for a position
// outside the picture. Positions count image rows from the top: a bottom-up
// picture is read from its last stored row upwards.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::filters {

// What the samplers read: the pixel fields of an ImageBlkAttrRec. The
// channel to read is passed to each call as its byte offset in the pixel
// (the record's redOffset, greenOffset or blueOffset).
struct SampleSource {
  const uint8_t* pixels = nullptr;
  int64_t rowStride = 0;   // bytes from one stored row to the next (may be negative)
  int64_t pixelStride = 0; // bytes from one pixel to the next
  int32_t width = 0;
  int32_t height = 0;
  bool bottomUp = false;   // stored row 0 is the bottom image row
};

[[nodiscard]] SampleSource SourceOf(const ImageBlkAttrRec& image);

// Marker for a position outside the picture (below -255, so that it is told
// apart from any interpolated value).
constexpr int32_t kSampleOutside = -256;
// Fraction bits of a position: the interpolating samplers' scale.
constexpr int kPositionShift = 8;
constexpr int32_t kPositionOne = 1 << kPositionShift;
// Bytes of a sampling table: entry [weight * 256 + value].
constexpr uint32_t kSamplingTableSize = 65536;

// What lies beyond the picture's edges.
//   kClamp: nothing. A position with a negative coordinate, or whose whole
//     part is beyond width - 1 or height - 1, is outside; a pixel in the last
//     column (row) takes its own column (row) as the right (lower) neighbour.
//   kWrap: the picture repeats in both directions (tiling). The position is
//     first wrapped into the picture (modulo its width or height, negative
//     positions wrap from the far edge), nothing is outside, and the
//     neighbour beyond the last column is the first pixel of the same row,
//     beyond the last row the first pixel of the same column. An empty
//     picture is outside everywhere.
enum class SampleEdge : uint8_t { kClamp, kWrap };

// Bilinear: with p00 at (x, y), p10 at (x + 1, y), p01 at (x, y + 1), p11 at
// (x + 1, y + 1), fractions fx, fy and / truncating toward zero, the mean
// (arithmetic shift) of the interpolation along x first and along y first:
//   a = p00 + (p10 - p00) * fx / 256,  b = p00 + (p01 - p00) * fy / 256
//   x first: a + (((p11 - p01) * fx / 256 + p01 - a) * fy) / 256
//   y first: b + (((p11 - p10) * fy / 256 + p10 - b) * fx) / 256
// times 256.
[[nodiscard]] int32_t SampleBilinear(const SampleSource& source, uint32_t channel, int32_t x, int32_t y,
                                     SampleEdge edge = SampleEdge::kClamp);

// The bilinear rule above on four given values, as a plain value (not times
// 256). The distortion filter picks its own neighbours (on the side its
// displacement points to) and blends them with it.
[[nodiscard]] inline int32_t BlendBilinear(int32_t p00, int32_t p10, int32_t p01, int32_t p11, int32_t fx,
                                           int32_t fy) {
  const int32_t a = p00 + (p10 - p00) * fx / 256;
  const int32_t b = p00 + (p01 - p00) * fy / 256;
  const int32_t alongX = a + (((p11 - p01) * fx / 256 + p01 - a) * fy) / 256;
  const int32_t alongY = b + (((p11 - p10) * fy / 256 + p10 - b) * fx) / 256;
  return (alongX + alongY) >> 1;
}

// Quadratic through three columns x .. x + 2 and three rows y .. y + 2 (the
// last existing column or row stands in for missing ones): along each row
// q(p0, p1, p2, t) = 2 * ((t - 255)(t - 510) p0 - 2 t (t - 510) p1
// + t (t - 255) p2) / 259561 with t = fx, then q over the three row results
// with t = fy; the result is clamped to 0 .. 255 and times 256.
[[nodiscard]] int32_t SampleQuadratic(const SampleSource& source, uint32_t channel, int32_t x, int32_t y,
                                      SampleEdge edge = SampleEdge::kClamp);

// Through a 65536-byte sampling table T (RkCreateSamplingLUT or
// RkCreateSamplingSinLUT, or the caller's own), with g = 255 - fx and
// h = 255 - fy and the bilinear neighbours:
//   c0 = T[h][p00] + T[fy][p01], c1 = T[h][p10] + T[fy][p11]
//   r0 = T[g][p00] + T[fx][p10], r1 = T[g][p01] + T[fx][p11]
//   s  = T[g][c0] + T[fx][c1] + T[h][r0] + T[fy][r1]
// and the result is s with its lowest bit cleared, times 128. A sum above
// 255 (possible only with a caller's own table) indexes entry 255.
[[nodiscard]] int32_t SampleTable(const SampleSource& source, uint32_t channel, int32_t x, int32_t y,
                                  const uint8_t* table, SampleEdge edge = SampleEdge::kClamp);

// The pixel at whole-pixel position (x, y), unscaled (0 .. 255), or
// kSampleOutside.
[[nodiscard]] int32_t SampleNearest(const SampleSource& source, uint32_t channel, int32_t x, int32_t y,
                                    SampleEdge edge = SampleEdge::kClamp);

}  // namespace rk::filters
