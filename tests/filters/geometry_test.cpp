// Rotation and tilt: exact pixel mappings of the quarter turns, the
// background, keep and tile modes, the pixel method's view, the keystone
// identities, and the refusals.
#include <gtest/gtest.h>

#include <vector>

#include "filter_pictures.h"

namespace {

using rktest::Picture;
using rktest::Rgb;

constexpr uint8_t kBg[3] = {7, 200, 90};

struct Turn {
  int16_t angle;
  int cos, sin;  // exact for the quarter turns
};

// Where destination (i, j) samples a W x H source for a quarter turn, by
// exact integer arithmetic: a turn about (W/2, H/2), so (X - cx, Y - cy) is
// (u - cx, v - cy) turned by theta with u = i - offset column, v = j -
// offset row (W and H even: whole-pixel positions).
void SourceOf(const Turn& t, int w, int h, int oc, int orow, int i, int j, int* x, int* y) {
  const int cx = w / 2, cy = h / 2, u = i - oc, v = j - orow;
  *x = t.cos * (u - cx) + t.sin * (v - cy) + cx;
  *y = -t.sin * (u - cx) + t.cos * (v - cy) + cy;
}

enum class Mode { kBackground, kKeep, kTile, kNearest };

class QuarterTurn : public testing::TestWithParam<std::tuple<Turn, Mode>> {};

TEST_P(QuarterTurn, MapsEveryPixelExactly) {
  const auto [turn, mode] = GetParam();
  const Rgb src = rktest::MakeNoise(6, 4, 11);
  const uint8_t old = 33;  // what the destination held before
  rktest::ModuleTable table;
  Picture s(src, rktest::TopDownRgb()), d(9, 8, rktest::BottomUpBgr(), old);
  ImageBlkAttrRec rs = s.Record(), rd = d.Record();
  for (int c = 0; c < 3; ++c) rs.segmentLength[c] = kBg[c];
  rd.auxCount1 = static_cast<uint16_t>(-1);  // offset column -1
  rd.auxCount2 = 2;
  const uint32_t flags = mode == Mode::kKeep ? 0x0100 : mode == Mode::kTile ? 0x0001 : mode == Mode::kNearest ? 0x0200 : 0;
  ASSERT_EQ(RkFreeRotateImage(table.get(), &rd, &rs, turn.angle, flags, nullptr), 0);
  const Rgb out = d.ToRgb();
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 9; ++i) {
      int x, y;
      SourceOf(turn, 6, 4, -1, 2, i, j, &x, &y);
      std::vector<uint8_t> want(kBg, kBg + 3);
      if (mode == Mode::kTile) x = (x % 6 + 6) % 6, y = (y % 4 + 4) % 4;
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
                                          testing::Values(Mode::kBackground, Mode::kKeep, Mode::kTile, Mode::kNearest)));

TEST(Rotation, QuarterTurnIntoTheBoundingBoxKeepsEveryPixel) {
  // The box of a 90-degree turn swaps width and height; the offset (H - 1 -
  // cx - cy, cx - cy) = (-4, 3) for 10 x 4 brings the turned picture to the
  // box's origin.
  const Rgb src = rktest::MakeNoise(10, 4, 4);
  rktest::ModuleTable table;
  Picture s(src, rktest::BottomUpBgr()), d(4, 10, rktest::TopDownRgb());
  ImageBlkAttrRec rs = s.Record(), rd = d.Record();
  rd.auxCount1 = static_cast<uint16_t>(-4);
  rd.auxCount2 = 3;
  ASSERT_EQ(RkFreeRotateImage(table.get(), &rd, &rs, 5400, 0, nullptr), 0);
  const Rgb out = d.ToRgb();
  // Clockwise: the source's top row becomes the right-hand column.
  for (int j = 0; j < 10; ++j)
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::equal(out.at(i, j), out.at(i, j) + 3, src.at(j, 3 - i))) << i << ", " << j;
}

TEST(Rotation, MethodSeesOutsidePixelsAndSampledColours) {
  const Rgb src = rktest::Flat(4, 4, 10, 20, 30);
  rktest::ModuleTable table;
  Picture s(src, rktest::TopDownRgb()), d(6, 6, rktest::TopDownRgb());
  ImageBlkAttrRec rs = s.Record(), rd = d.Record();
  rd.methodParam = 77;
  struct Seen { int calls = 0, outside = 0, wrongColour = 0, wrongParam = 0; };
  static Seen seen;
  seen = {};
  const RkPixelMethod method = [](PixelProcessMethodRec* p, uint32_t param) -> int16_t {
    ++seen.calls;
    seen.wrongParam += param != 77 || p->param != 77 || p->width != 6 || p->refWidth != 4;
    if (p->result == 1) {
      ++seen.outside;
      seen.wrongColour += p->refRed != 0;
    } else {
      seen.wrongColour += p->refRed != 10 || p->refGreen != 20 || p->refBlue != 30;
    }
    return static_cast<int16_t>(p->x + p->y);
  };
  EXPECT_EQ(RkFreeRotateMethodImage(table.get(), &rd, &rs, 0, method, nullptr), 10);  // last pixel (5, 5)
  EXPECT_EQ(seen.calls, 36);
  EXPECT_EQ(seen.outside, 36 - 16);  // angle 0, offset 0: the 4 x 4 corner is inside
  EXPECT_EQ(seen.wrongColour, 0);
  EXPECT_EQ(seen.wrongParam, 0);
}

TEST(Rotation, LutVariantTurnsADestinationSizedSourceAndRefusesASmallerOne) {
  const Rgb src = rktest::MakeNoise(8, 6, 2);
  rktest::ModuleTable table;
  std::vector<uint8_t> lut(65536);
  RkCreateSamplingLUT(lut.data());
  Picture s(src, rktest::TopDownRgb()), d(6, 6, rktest::TopDownRgb());
  ImageBlkAttrRec rs = s.Record(), rd = d.Record();
  ASSERT_EQ(RkFreeRotateLUTImage(table.get(), &rd, &rs, 10800, 0, lut.data(), nullptr), 0);
  EXPECT_EQ(rs.width, 6);
  EXPECT_EQ(rs.auxCount1, 3);
  // A half turn of the source's 6 x 6 corner about (3, 3): i maps to 6 - i,
  // so the first row and column fall outside and take the background (0).
  const Rgb out = d.ToRgb();
  const uint8_t black[3] = {0, 0, 0};
  for (int j = 0; j < 6; ++j)
    for (int i = 0; i < 6; ++i) {
      const uint8_t* want = i == 0 || j == 0 ? black : src.at(6 - i, 6 - j);
      EXPECT_TRUE(std::equal(out.at(i, j), out.at(i, j) + 3, want)) << i << ", " << j;
    }

  Picture small(rktest::MakeNoise(5, 6, 1), rktest::TopDownRgb());
  ImageBlkAttrRec rsmall = small.Record();
  EXPECT_EQ(RkFreeRotateLUTImage(table.get(), &rd, &rsmall, 0, 0, lut.data(), nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(rsmall.width, 5);
  EXPECT_EQ(RkFreeRotateLUTImage(table.get(), &rd, &rs, 0, 0, nullptr, nullptr), RK_ERR_NULL);
}

TEST(Tilt, AngleZeroCopiesAndAnglesPast45DegreesAreRefused) {
  const Rgb src = rktest::MakeNoise(7, 5, 8);
  rktest::ModuleTable table;
  for (auto tilt : {RkTiltHorzImage, RkTiltVertImage}) {
    Picture s(src, rktest::BottomUpBgr()), d(7, 5, rktest::TopDownRgb(), 1);
    ImageBlkAttrRec rs = s.Record(), rd = d.Record();
    EXPECT_EQ(tilt(table.get(), &rd, &rs, 2701, 0, nullptr), RK_ERR_UNSUPPORTED);
    EXPECT_EQ(tilt(table.get(), &rd, &rs, -2701, 0, nullptr), RK_ERR_UNSUPPORTED);
    EXPECT_EQ(rktest::FirstDifference(d.ToRgb(), rktest::Flat(7, 5, 1, 1, 1)), "");
    EXPECT_EQ(tilt(table.get(), &rd, &rs, 0, 0, nullptr), 0);
    EXPECT_EQ(rktest::FirstDifference(d.ToRgb(), src), "");
  }
}

TEST(Tilt, OppositeAnglesMirrorAboutTheCentre) {
  // Horizontal tilts by +a and -a open the keystone to opposite sides: the
  // warped column u of -a is 2 cx - u of +a, with the same row. With the
  // nearest pixel and a source symmetric about its middle column (pixel
  // 8 - X mirrors X in 9 columns), destination column 9 - x of -a shows
  // what column x of +a shows.
  Rgb src = rktest::MakeNoise(9, 7, 5);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 4; ++x) std::copy_n(src.at(8 - x, y), 3, src.at(x, y));
  rktest::ModuleTable table;
  Rgb out[2];
  for (int k = 0; k < 2; ++k) {
    Picture s(src, rktest::TopDownRgb()), d(9, 7, rktest::TopDownRgb());
    ImageBlkAttrRec rs = s.Record(), rd = d.Record();
    ASSERT_EQ(RkTiltHorzImage(table.get(), &rd, &rs, k ? -1800 : 1800, 0x0200, nullptr), 0);
    out[k] = d.ToRgb();
  }
  for (int y = 0; y < 7; ++y)
    for (int x = 1; x < 9; ++x)
      EXPECT_TRUE(std::equal(out[0].at(x, y), out[0].at(x, y) + 3, out[1].at(9 - x, y))) << x << ", " << y;
}

}  // namespace
