// The defined arithmetic on small worked cases, the mends of overflow and
// of arguments without a meaning, and the fast paths held to the plain ones
// (median networks, running-window blurs).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "filter_pictures.h"
#include "filters/blur.h"
#include "filters/median.h"
#include "filters/noise.h"

namespace {

using rktest::Picture;
using rktest::Rgb;

using Call = std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec* a, ImageBlkAttrRec* b)>;

Rgb Spot(uint8_t around, uint8_t centre) {  // 3 x 3 grey, another centre
  Rgb img = rktest::Flat(3, 3, around, around, around);
  std::fill_n(img.at(1, 1), 3, centre);
  return img;
}

int16_t Edge(ModuleTableRec* t, ImageBlkAttrRec* a, int16_t gain, uint16_t mask) {
  const EdgeEnhanceParamRec p{0x888, 1, &gain, &mask};
  return RkEdgeEnhanceFilter(t, a, &p, nullptr);
}

struct Worked {
  const char* name;
  Rgb in;
  Call call;  // on a (in place, or the destination) with b a copy of in
  int x, y;
  std::vector<uint8_t> want;
};
void PrintTo(const Worked& w, std::ostream* os) { *os << w.name; }

const Worked kWorked[] = {
    {"MeanOfTheCross", Spot(0, 100), [](auto t, auto a, auto) { return RkRemoveNoiseFilter(t, a, 0x888, nullptr); }, 1, 1, {20, 20, 20}},
    {"NearestThreeDropsASpot", Spot(10, 250), [](auto t, auto a, auto) { return RkRemoveNoiseFilter(t, a, 0xDDD, nullptr); }, 1, 1, {10, 10, 10}},
    {"CentreWeightedSmoothing", Spot(0, 130), [](auto t, auto a, auto) { return RkBlockNoiseReductionFilter(t, a, 0, nullptr); }, 1, 1, {50, 50, 50}},
    // 100 between 80s: 100 + (200 - 160) x 64 / 128.
    {"EdgeOfTwoSides", Spot(80, 100), [](auto t, auto a, auto) { return Edge(t, a, 64, 0x2); }, 1, 1, {120, 120, 120}},
    // 0 among 255s, gain 32767: (0 - 2040) x 32767 / 128 = -522232
    // saturates and stores 0; wrapped to 16 bits it would be 2056, so 255.
    {"EdgeSaturatesInsteadOfWrapping", Spot(255, 0), [](auto t, auto a, auto) { return Edge(t, a, 32767, 0x7); }, 1, 1, {0, 0, 0}},
    // Level 0: kRR 38, kGR 38, kBG 76, kBR 38: R1 = 255 x 38 / 128 = 75,
    // G1 = 75 x 38 / 128 = 22, B1 = (22 x 76 + 75 x 38) / 128 = 35.
    {"ChromaLevelZero", rktest::Flat(1, 1, 255, 0, 0), [](auto t, auto a, auto) { return RkChromaEnhanceFilter(t, a, 0, nullptr); }, 0, 0, {75, 22, 35}},
    {"ChromaLevel127Keeps", rktest::Flat(1, 1, 201, 7, 99), [](auto t, auto a, auto) { return RkChromaEnhanceFilter(t, a, -127, nullptr); }, 0, 0, {201, 7, 99}},
    {"ShadowHalvesWhiteUnderCover", Spot(255, 0), [](auto t, auto a, auto b) { return RkShadowingImage(t, a, b, 0, 1, 0, 0, nullptr); }, 2, 1, {128, 128, 128}},
    {"DefocusSpreadsAPointOverFive", Spot(0, 255), [](auto t, auto a, auto b) { return RkBluringOutFocusImage(t, a, b, 1, nullptr); }, 1, 0, {51, 51, 51}},
    // Radius 2: the pixel once, the cross twice, the diagonals once: 255 / 13.
    {"WeightsFallWithDistance", Spot(0, 255), [](auto t, auto a, auto b) { return RkBluringVPImage(t, a, b, 2, 0, nullptr); }, 1, 1, {19, 19, 19}},
    {"MaskingAddsTruncatedHalves", Spot(101, 101), [](auto t, auto a, auto b) {
       b->codecFlags = 0x0007, b->componentIds = 50 | (50u << 16);
       return RkMaskingImage(t, a, b, nullptr);
     }, 0, 0, {100, 100, 100}},
};

class WorkedCase : public testing::TestWithParam<Worked> {};

TEST_P(WorkedCase, GivesTheDefinedValue) {
  const Worked& w = GetParam();
  rktest::ModuleTable table;
  Picture a(w.in, rktest::kBottomUpBgr), b(w.in, rktest::kBottomUpBgr);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  ASSERT_GE(w.call(table.get(), &ra, &rb), 0);
  const Rgb out = a.ToRgb();
  EXPECT_EQ(std::vector<uint8_t>(out.at(w.x, w.y), out.at(w.x, w.y) + 3), w.want);
}

INSTANTIATE_TEST_SUITE_P(Filters, WorkedCase, testing::ValuesIn(kWorked), [](const auto& i) { return std::string(i.param.name); });

TEST(Masking, ExchangeWritesTheWeightedFirstBackClamped) {
  rktest::ModuleTable table;
  Picture a(rktest::Flat(2, 2, 150, 10, 0), rktest::kTopDownRgb), b(rktest::Flat(3, 3, 40, 50, 60), rktest::kTopDownRgb);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  rb.codecFlags = 0x0287;  // replace, all channels, exchange; first weighs 200 %
  rb.componentIds = 200 | (100u << 16);
  ASSERT_EQ(RkMaskingImage(table.get(), &ra, &rb, nullptr), 0);
  EXPECT_EQ(rb.width, 2);  // the second record takes the first one's size
  EXPECT_EQ(rb.auxCount2, 1);
  Rgb want = rktest::Flat(3, 3, 40, 50, 60);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) std::copy_n(std::begin({uint8_t{255}, uint8_t{20}, uint8_t{0}}), 3, want.at(x, y));
  EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), rktest::Flat(2, 2, 255, 20, 0)), "");
  EXPECT_EQ(rktest::FirstDifference(b.ToRgb(), want), "");
}

TEST(Filters, ArgumentsWithoutAMeaningAreRefusedAndWriteNothing) {
  rktest::ModuleTable table;
  const Rgb img = rktest::Flat(4, 4, 200, 190, 180);
  Picture a(img, rktest::kTopDownRgb), b(img, rktest::kTopDownRgb);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  const int16_t gains[4] = {};
  const uint16_t masks[4] = {};
  for (int16_t count : {0, 4, -1}) {
    const EdgeEnhanceParamRec p{0x888, count, gains, masks};
    EXPECT_EQ(RkEdgeEnhanceFilter(table.get(), &ra, &p, nullptr), RK_ERR_UNSUPPORTED) << count;
  }
  // Chroma coefficients fit 16 bits up to |level| 2141.
  EXPECT_EQ(RkChromaEnhanceFilter(table.get(), &ra, -2142, nullptr), RK_ERR_UNSUPPORTED);
  // A cast of exactly 0.0 (either) means nothing measured; 127 or more
  // leaves no room to stretch (a division by zero); NaN is no cast.
  for (auto [cb, cr, code] : {std::tuple{0.0, 3.0, RK_ERR_NULL}, {3.0, 0.0, RK_ERR_NULL}, {127.0, 3.0, RK_ERR_UNSUPPORTED},
                              {3.0, -200.5, RK_ERR_UNSUPPORTED}, {NAN, 3.0, RK_ERR_UNSUPPORTED}})
    EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, cb, cr, nullptr), code) << cb << ", " << cr;
  EXPECT_EQ(RkBluringImage(table.get(), &ra, &rb, -1, 0, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkTiltHorzImage(table.get(), &ra, &rb, 2701, 0, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkTiltVertImage(table.get(), &ra, &rb, -2701, 0, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), img), "");
  EXPECT_EQ(RkChromaEnhanceFilter(table.get(), &ra, 2141, nullptr), 0);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, 126.9, -126.9, nullptr), 0);
}

TEST(Filters, NeutralParametersLeavePicturesAlone) {
  rktest::ModuleTable table;
  const Rgb img = rktest::MakeNoise(7, 5, 6);
  const std::vector<Call> calls = {
      [](auto t, auto a, auto b) { return RkTiltHorzImage(t, a, b, 0, 0, nullptr); },
      [](auto t, auto a, auto b) { return RkTiltVertImage(t, a, b, 0, 0x0200, nullptr); },
      [](auto t, auto a, auto b) { return RkBluringImage(t, a, b, 0, 0, nullptr); },
      [](auto t, auto a, auto b) { return RkBluringVPImage(t, a, b, 0, 0, nullptr); },
      [](auto t, auto a, auto b) { return RkBluringOutFocusImage(t, a, b, 0, nullptr); },
      [](auto t, auto a, auto) { return RkDistortionFilter(t, a, 0, nullptr); },
      [](auto t, auto a, auto) { return Edge(t, a, 0, 0x7); },
      // Pictures two pixels across have no normaliser on that axis: they stay.
      [](auto t, auto a, auto) { a->width = 2; return RkDistortionFilter(t, a, -300, nullptr); },
      [](auto t, auto a, auto) { a->height = 2; return RkDistortionFilter(t, a, 300, nullptr); },
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    Picture a(rktest::Flat(7, 5, 1, 2, 3), rktest::kBottomUpBgr), b(img, rktest::kBottomUpBgr);
    ImageBlkAttrRec ra = a.Record(), rb = b.Record();
    const bool inPlace = i >= 5;
    EXPECT_EQ(calls[i](table.get(), inPlace ? &rb : &ra, &rb), 0) << i;
    EXPECT_EQ(rktest::FirstDifference((inPlace ? b : a).ToRgb(), img), "") << i;
  }
}

TEST(WhiteBalance, PicturesWithoutGreyAreLeftAlone) {
  rktest::ModuleTable table;
  const Rgb red = rktest::Flat(20, 12, 200, 30, 30);
  Picture p(red, rktest::kTopDownRgb);
  ImageBlkAttrRec r = p.Record();
  double cb = -1, cr = -1;
  ASSERT_EQ(RkGetWhiteBalanceParam(table.get(), &r, &cb, &cr, 0), 0);
  EXPECT_EQ(cb, 0.0);  // no near-white pixel
  ASSERT_EQ(RkAutomaticWhiteBalance(table.get(), &r, &cb, &cr, nullptr), 0);
  EXPECT_EQ(cb, 1.0);
  EXPECT_EQ(cr, 1.0);
  EXPECT_EQ(rktest::FirstDifference(p.ToRgb(), red), "");
}

TEST(Median, ExportedSelectionsAndTheirBounds) {
  const int16_t nine[9] = {9, 1, 8, 2, 7, 3, 6, 4, 5};
  int16_t work[9];
  MedianValueRec rec{nine, work, 0, 9, 6, 4};
  EXPECT_EQ(RkGetMedianValue(&rec, 0), 5);
  EXPECT_EQ(RkGetMedianValue(&rec, 1), 8);  // nearest three to 9: 9, 8, 7
  rec.index = 9;                            // outside the values: nothing read
  EXPECT_EQ(RkGetMedianValue(&rec, 0), 0);
  rec.index = 0, rec.count = 0;
  EXPECT_EQ(RkGetMedianValue(&rec, 1), 0);
}

TEST(FastPaths, AgreeWithThePlainOnes) {
  std::mt19937 rng(3);
  for (int round = 0; round < 20000; ++round) {
    int16_t v[9], work[9];
    for (int16_t& x : v) x = static_cast<int16_t>(rng() % (round % 2 ? 5 : 600)) - 200;  // ties half the time
    ASSERT_EQ(rk::filters::MedianOf9(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]), rk::filters::SortedMedian(v, work, 9, 6, 4));
    ASSERT_EQ(rk::filters::MedianOf5(v[0], v[1], v[2], v[3], v[4]), rk::filters::SortedMedian(v, work, 5, 4, 2));
  }
  rktest::ModuleTable table;
  using rk::filters::BlurPath;
  using rk::filters::MedianPath;
  for (int round = 0; round < 12; ++round) {
    const int w = 1 + static_cast<int>(rng() % 300), h = 1 + static_cast<int>(rng() % 9);  // chunks of 256 columns
    const Rgb img = rktest::MakeNoise(w, h, round);
    const auto& layout = rktest::kLayouts[round % 4];
    Rgb out[2][3];
    for (int k = 0; k < 2; ++k) {
      Picture p(img, layout), s(rktest::MakeNoise(w + 2, h + 1, round + 50), layout), d(img, layout), e(img, layout);
      ImageBlkAttrRec rp = p.Record(), rs = s.Record(), rd = d.Record(), re = e.Record();
      const int16_t radius = static_cast<int16_t>(round % 9);
      ASSERT_EQ(rk::filters::RemoveNoise(table.get(), &rp, 0x1BBB ^ (round % 3) * 0x222, nullptr, k ? MedianPath::kSelection : MedianPath::kNetwork), 0);
      ASSERT_EQ(rk::filters::DiamondBlur(table.get(), &rd, &rs, radius, round % 2 ? 5 : 0, nullptr, k ? BlurPath::kDirect : BlurPath::kWindow), 0);
      ASSERT_EQ(rk::filters::OutOfFocusBlur(table.get(), &re, &rs, radius, nullptr, k ? BlurPath::kDirect : BlurPath::kWindow), 0);
      out[k][0] = p.ToRgb(), out[k][1] = d.ToRgb(), out[k][2] = e.ToRgb();
    }
    for (int c = 0; c < 3; ++c) EXPECT_EQ(rktest::FirstDifference(out[0][c], out[1][c]), "") << round << " " << c;
  }
}

}  // namespace
