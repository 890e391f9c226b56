// Rotation: quarter turns map every pixel exactly, into a destination with
// an offset, with the background, keep and tile modes, the nearest pixel,
// and through a pixel method.
#include <gtest/gtest.h>

#include <vector>

#include "filter_pictures.h"

namespace {

using rktest::Picture;
using rktest::Rgb;

constexpr uint8_t kBg[3] = {7, 200, 90};

struct Turn {
  int16_t angle;
  int cos, sin;
};

enum class Mode { kBackground, kKeep, kTile, kNearest, kMethod };

// Writes the sampled colour, or the background where the source has none.
int16_t Paint(PixelProcessMethodRec* p, uint32_t) {
  const bool out = p->result == 1;
  *p->red = out ? kBg[0] : p->refRed, *p->green = out ? kBg[1] : p->refGreen, *p->blue = out ? kBg[2] : p->refBlue;
  return 0;
}

class QuarterTurn : public testing::TestWithParam<std::tuple<Turn, Mode>> {};

TEST_P(QuarterTurn, MapsEveryPixelExactly) {
  const auto [turn, mode] = GetParam();
  const Rgb src = rktest::MakeNoise(6, 4, 11);
  const uint8_t old = 33;  // what the destination held before
  rktest::ModuleTable table;
  Picture s(src, rktest::kTopDownRgb), d(rktest::Flat(9, 8, old, old, old), rktest::kBottomUpBgr);
  ImageBlkAttrRec rs = s.Record(), rd = d.Record();
  for (int c = 0; c < 3; ++c) rs.segmentLength[c] = kBg[c];
  rd.auxCount1 = static_cast<uint16_t>(-1);  // offset column -1, row 2
  rd.auxCount2 = 2;
  const uint32_t flags = mode == Mode::kKeep ? 0x0100 : mode == Mode::kTile ? 0x0001 : mode == Mode::kNearest ? 0x0200 : 0;
  ASSERT_EQ(mode == Mode::kMethod ? RkFreeRotateMethodImage(table.get(), &rd, &rs, turn.angle, Paint, nullptr)
                                  : RkFreeRotateImage(table.get(), &rd, &rs, turn.angle, flags, nullptr),
            0);
  const Rgb out = d.ToRgb();
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 9; ++i) {
      // A turn about (W/2, H/2) = (3, 2): (X - 3, Y - 2) is (u - 3, v - 2)
      // turned, with u = i + 1 and v = j - 2; whole pixels for even sizes.
      const int u = i + 1 - 3, v = j - 2 - 2;
      int x = turn.cos * u + turn.sin * v + 3, y = -turn.sin * u + turn.cos * v + 2;
      if (mode == Mode::kTile) x = (x % 6 + 6) % 6, y = (y % 4 + 4) % 4;
      std::vector<uint8_t> want(kBg, kBg + 3);
      if (x >= 0 && x < 6 && y >= 0 && y < 4)
        want.assign(src.at(x, y), src.at(x, y) + 3);
      else if (mode == Mode::kKeep)
        want.assign(3, old);
      EXPECT_EQ(std::vector<uint8_t>(out.at(i, j), out.at(i, j) + 3), want) << i << ", " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Rotations, QuarterTurn,
                         testing::Combine(testing::Values(Turn{0, 1, 0}, Turn{5400, 0, 1}, Turn{10800, -1, 0},
                                                          Turn{-5400, 0, -1}, Turn{21600, 1, 0}),
                                          testing::Values(Mode::kBackground, Mode::kKeep, Mode::kTile,
                                                          Mode::kNearest, Mode::kMethod)));

}  // namespace
