// What rotation and tilt share: every destination pixel is mapped back to a
// source position in 8.8 fixed point (or whole pixels with the nearest
// flag), the point samplers give the channel values there, and one rule
// turns a sample into a stored byte.
#pragma once

#include <cmath>
#include <cstdint>

#include "picture.h"
#include "samplers.h"

namespace rk::filters {

// Flags of the rotations and tilts.
constexpr uint32_t kWarpTile = 0x0001;     // the source repeats in both directions
constexpr uint32_t kWarpKeep = 0x0100;     // uncovered pixels keep their old value
constexpr uint32_t kWarpNearest = 0x0200;  // nearest pixel (scale 1) instead of bilinear (256)

// The source's three channels at a position; channels that share a byte
// offset (a grey picture) are sampled once.
class WarpSampler {
 public:
  WarpSampler(const ImageBlkAttrRec& source, bool nearest, bool tile)
      : source_(SourceOf(source)), nearest_(nearest), edge_(tile ? SampleEdge::kWrap : SampleEdge::kClamp) {
    offset_[0] = source.redOffset;
    offset_[1] = source.greenOffset;
    offset_[2] = source.blueOffset;
  }
  [[nodiscard]] int32_t scale() const { return nearest_ ? 1 : kPositionOne; }

  void Sample(int32_t x, int32_t y, int32_t out[3]) const {
    for (int c = 0; c < 3; ++c) {
      int same = -1;
      for (int k = 0; k < c && same < 0; ++k)
        if (offset_[k] == offset_[c]) same = k;
      if (same >= 0) {
        out[c] = out[same];
      } else {
        out[c] = nearest_ ? SampleNearest(source_, offset_[c], x, y, edge_)
                          : SampleBilinear(source_, offset_[c], x, y, edge_);
      }
    }
  }

 private:
  SampleSource source_;
  bool nearest_;
  SampleEdge edge_;
  uint32_t offset_[3];
};

// A sample as a byte: above 255 x scale gives 255, a negative sample 0,
// otherwise the value (shifted down from 8.8 unless the scale is 1). The
// outside marker is handled by the caller.
inline uint8_t SampleToByte(int32_t v, int32_t scale) {
  if (v > 255 * scale) return 255;
  if (v < 0) return 0;
  return static_cast<uint8_t>(scale == 1 ? v : v >> kPositionShift);
}

// Stores three samples into a destination pixel. Outside samples take the
// background colour, or leave the byte alone when background is null.
inline void StoreSamples(const Picture& dest, uint8_t* pixel, const int32_t v[3], int32_t scale,
                         const uint8_t* background) {
  for (int c = 0; c < 3; ++c) {
    if (v[c] == kSampleOutside) {
      if (background != nullptr) pixel[dest.offset[c]] = background[c];
    } else {
      pixel[dest.offset[c]] = SampleToByte(v[c], scale);
    }
  }
}

// The background colour of the rotations and tilts: the low bytes of the
// source's three segmentLength fields (red, green, blue).
struct Background {
  uint8_t rgb[3];
  explicit Background(const ImageBlkAttrRec& source) {
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>(source.segmentLength[c] & 0xFF);
  }
};

// A position in source pixels times the scale, truncated toward zero; a
// value that is not finite or does not fit 32 bits lies outside any picture
// and becomes a position the samplers refuse.
inline int32_t ToPosition(double scaled) {
  if (!(scaled > -2147483648.0 && scaled < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(scaled);
}

}  // namespace rk::filters
