// The defined arithmetic of the filters on small worked cases, the mends
// of overflow and out-of-range arguments, and the fast paths held to the
// plain ones (median networks, running-window blurs).
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

// A 3 x 3 grey picture of value v0 with centre c.
Rgb Spot(uint8_t around, uint8_t centre) {
  Rgb img = rktest::Flat(3, 3, around, around, around);
  std::fill_n(img.at(1, 1), 3, centre);
  return img;
}

struct Worked {
  const char* name;
  Rgb in;
  std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec*, ImageBlkAttrRec*)> run;  // image (or dest), source
  int x, y;
  std::vector<uint8_t> want;  // red, green, blue at (x, y)
};

std::vector<Worked> WorkedCases() {
  const int16_t gain64 = 64, gainHuge = 32767;
  const uint16_t sides = 0x2, all = 0x7;
  Rgb row = rktest::Flat(3, 1, 80, 80, 80);
  row.px[3] = row.px[4] = row.px[5] = 100;
  Rgb red = rktest::Flat(1, 1, 255, 0, 0);
  Rgb dark = Spot(255, 0);
  return {
      {"MeanOfTheCross", Spot(0, 100), [](auto t, auto a, auto) { return RkRemoveNoiseFilter(t, a, 0x888, nullptr); },
       1, 1, {20, 20, 20}},
      {"BrightSpotUnderNearestThree", Spot(10, 250),
       [](auto t, auto a, auto) { return RkRemoveNoiseFilter(t, a, 0xDDD, nullptr); }, 1, 1, {10, 10, 10}},
      {"CentreWeightedSmoothing", Spot(0, 130),
       [](auto t, auto a, auto) { return RkBlockNoiseReductionFilter(t, a, 0, nullptr); }, 1, 1, {50, 50, 50}},
      {"EdgeOfTwoSides", row,
       [=](auto t, auto a, auto) {
         const EdgeEnhanceParamRec p{0x888, 1, &gain64, &sides};
         return RkEdgeEnhanceFilter(t, a, &p, nullptr);
       },
       1, 0, {120, 120, 120}},
      // 0 among 255s with gain 32767: 0 + (8 x 0 - 2040) x 32767 / 128 =
      // -522232 saturates to -32768 and stores 0; wrapped it would be 2056.
      {"EdgeSaturatesInsteadOfWrapping", dark,
       [=](auto t, auto a, auto) {
         const EdgeEnhanceParamRec p{0x888, 1, &gainHuge, &all};
         return RkEdgeEnhanceFilter(t, a, &p, nullptr);
       },
       1, 1, {0, 0, 0}},
      // Level 0: kRR 38, kGR 38, kBG 76, kBR 38: R1 = 255 x 38 / 128 = 75,
      // G1 = 75 x 38 / 128 = 22, B1 = (22 x 76 + 75 x 38) / 128 = 35.
      {"ChromaLevelZeroTakesRedToLuminance", red,
       [](auto t, auto a, auto) { return RkChromaEnhanceFilter(t, a, 0, nullptr); }, 0, 0, {75, 22, 35}},
      {"ShadowHalvesWhiteUnderCover", Spot(255, 0),
       [](auto t, auto a, auto b) { return RkShadowingImage(t, a, b, 0, 1, 0, 0, nullptr); }, 2, 1, {128, 128, 128}},
      {"DefocusSpreadsAWhitePointOverFive", Spot(0, 255),
       [](auto t, auto a, auto b) { return RkBluringOutFocusImage(t, a, b, 1, nullptr); }, 1, 0, {51, 51, 51}},
      // Radius 2 at the centre of 3 x 3: the pixel once, its cross twice,
      // the diagonals once: (255 + 0) / (1 + 8 + 4).
      {"WeightsFallWithDistance", Spot(0, 255),
       [](auto t, auto a, auto b) { return RkBluringVPImage(t, a, b, 2, 0, nullptr); }, 1, 1, {19, 19, 19}},
      // Add with weights 50 and 50, each half truncated: 50 + 50.
      {"MaskingHalfAndHalf", Spot(101, 101),
       [](auto t, auto a, auto b) {
         b->codecFlags = 0x0007;
         b->componentIds = 50 | (50u << 16);
         return RkMaskingImage(t, a, b, nullptr);
       },
       0, 0, {100, 100, 100}},
  };
}

void PrintTo(const Worked& w, std::ostream* os) { *os << w.name; }

class WorkedCase : public testing::TestWithParam<Worked> {};

TEST_P(WorkedCase, GivesTheDefinedValue) {
  const Worked& w = GetParam();
  rktest::ModuleTable table;
  Picture a(w.in, rktest::BottomUpBgr()), b(w.in, rktest::BottomUpBgr());
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  ASSERT_GE(w.run(table.get(), &ra, &rb), 0);
  const Rgb out = a.ToRgb();
  EXPECT_EQ(std::vector<uint8_t>(out.at(w.x, w.y), out.at(w.x, w.y) + 3), w.want);
}

INSTANTIATE_TEST_SUITE_P(Filters, WorkedCase, testing::ValuesIn(WorkedCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Masking, ExchangeWritesTheWeightedFirstBackClamped) {
  rktest::ModuleTable table;
  Picture a(rktest::Flat(2, 2, 150, 10, 0), rktest::TopDownRgb()), b(rktest::Flat(3, 3, 40, 50, 60), rktest::TopDownRgb());
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  rb.codecFlags = 0x0287;  // replace, all channels, exchange
  rb.componentIds = 200 | (100u << 16);
  ASSERT_EQ(RkMaskingImage(table.get(), &ra, &rb, nullptr), 0);
  EXPECT_EQ(rb.width, 2);  // the second record takes the first one's size
  EXPECT_EQ(rb.auxCount2, 1);
  EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), rktest::Flat(2, 2, 255, 20, 0)), "");
  const Rgb second = b.ToRgb();  // the walk covers the first picture's 2 x 2
  EXPECT_EQ(std::vector<uint8_t>(second.at(1, 1), second.at(1, 1) + 3), (std::vector<uint8_t>{255, 20, 0}));
  EXPECT_EQ(std::vector<uint8_t>(second.at(2, 2), second.at(2, 2) + 3), (std::vector<uint8_t>{40, 50, 60}));
}

// A second picture or source smaller than the first (destination) would be
// read outside: refused before anything is written.
TEST(Filters, SmallerSecondPicturesAreRefused) {
  rktest::ModuleTable table;
  const std::vector<std::function<int16_t(ImageBlkAttrRec*, ImageBlkAttrRec*)>> ops = {
      [&](auto a, auto b) { return RkProcessMethodImage(table.get(), a, b, [](PixelProcessMethodRec*, uint32_t) -> int16_t { return 0; }, nullptr); },
      [&](auto a, auto b) { return RkMaskingImage(table.get(), a, b, nullptr); },
      [&](auto a, auto b) { return RkShadowingImage(table.get(), a, b, 1, 0, 0, 0, nullptr); },
      [&](auto a, auto b) { return RkBluringImage(table.get(), a, b, 1, 0, nullptr); },
      [&](auto a, auto b) { return RkBluringVPImage(table.get(), a, b, 1, 0, nullptr); },
      [&](auto a, auto b) { return RkBluringOutFocusImage(table.get(), a, b, 1, nullptr); },
  };
  for (auto [w, h] : {std::pair{4, 5}, {5, 4}}) {
    for (const auto& op : ops) {
      Picture a(rktest::Flat(5, 5, 9, 9, 9), rktest::TopDownRgb()), b(rktest::Flat(w, h, 1, 2, 3), rktest::TopDownRgb());
      ImageBlkAttrRec ra = a.Record(), rb = b.Record();
      EXPECT_EQ(op(&ra, &rb), RK_ERR_UNSUPPORTED);
      EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), rktest::Flat(5, 5, 9, 9, 9)), "");
      EXPECT_EQ(rb.width, w);
    }
  }
}

TEST(Filters, ArgumentsWithoutAMeaningAreRefused) {
  rktest::ModuleTable table;
  Picture a(rktest::Flat(4, 4, 200, 190, 180), rktest::TopDownRgb()), b(rktest::Flat(4, 4, 0, 0, 0), rktest::TopDownRgb());
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  const int16_t gains[4] = {};
  const uint16_t masks[4] = {};
  for (int16_t count : {0, 4, -1}) {
    const EdgeEnhanceParamRec p{0x888, count, gains, masks};
    EXPECT_EQ(RkEdgeEnhanceFilter(table.get(), &ra, &p, nullptr), RK_ERR_UNSUPPORTED) << count;
  }
  // Chroma coefficients fit 16 bits up to |level| 2141.
  EXPECT_EQ(RkChromaEnhanceFilter(table.get(), &ra, 2142, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkChromaEnhanceFilter(table.get(), &ra, -2142, nullptr), RK_ERR_UNSUPPORTED);
  // Casts: exactly 0.0 (either) means nothing measured; 127 or more leaves
  // no room to stretch; NaN is no cast.
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, 0.0, 3.0, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, 3.0, 0.0, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, 127.0, 3.0, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, 3.0, -200.5, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, NAN, 3.0, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkBluringImage(table.get(), &rb, &ra, -1, 0, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), rktest::Flat(4, 4, 200, 190, 180)), "");
  EXPECT_EQ(RkChromaEnhanceFilter(table.get(), &ra, 2141, nullptr), 0);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &ra, 126.9, -126.9, nullptr), 0);
}

TEST(WhiteBalance, MeasuresNearWhiteAndLeavesPicturesWithoutGreyAlone) {
  rktest::ModuleTable table;
  Picture grey(rktest::Flat(9, 9, 180, 180, 180), rktest::TopDownRgb());
  ImageBlkAttrRec rg = grey.Record();
  double cb = -1, cr = -1;
  ASSERT_EQ(RkGetWhiteBalanceParam(table.get(), &rg, &cb, &cr, 0), 0);
  EXPECT_EQ(cb, 0.0);
  EXPECT_EQ(cr, 0.0);
  EXPECT_EQ(RkAdjustWhiteBalance(table.get(), &rg, cb, cr, nullptr), RK_ERR_NULL);

  const Rgb red = rktest::Flat(20, 12, 200, 30, 30);
  Picture p(red, rktest::TopDownRgb());
  ImageBlkAttrRec rp = p.Record();
  ASSERT_EQ(RkGetWhiteBalanceParam(table.get(), &rp, &cb, &cr, 0), 0);
  EXPECT_EQ(cr, 0.0);
  double gCb = 0, gCr = 0;
  ASSERT_EQ(RkAutomaticWhiteBalance(table.get(), &rp, &gCb, &gCr, nullptr), 0);
  EXPECT_EQ(gCb, 1.0);
  EXPECT_EQ(gCr, 1.0);
  EXPECT_EQ(rktest::FirstDifference(p.ToRgb(), red), "");
}

TEST(Distortion, PicturesTwoPixelsAcrossStayAndLevelZeroDoesNothing) {
  rktest::ModuleTable table;
  for (auto [w, h, level] : {std::tuple{2, 7, -300}, {7, 2, 300}, {1, 5, -90}, {9, 9, 0}}) {
    const Rgb img = rktest::MakeNoise(w, h, 6);
    Picture p(img, rktest::TopDownRgb());
    ImageBlkAttrRec r = p.Record();
    EXPECT_EQ(RkDistortionFilter(table.get(), &r, static_cast<int16_t>(level), nullptr), 0);
    EXPECT_EQ(rktest::FirstDifference(p.ToRgb(), img), "") << w << "x" << h;
  }
}

TEST(Median, SelectionsOfTheExportedEntry) {
  const int16_t nine[9] = {9, 1, 8, 2, 7, 3, 6, 4, 5};
  int16_t work[9];
  MedianValueRec rec{nine, work, 0, 9, 6, 4};
  EXPECT_EQ(RkGetMedianValue(&rec, 0), 5);
  // Nearest three to 9: 9, 8, 7 -> 8.
  EXPECT_EQ(RkGetMedianValue(&rec, 1), 8);
  // Nothing to choose from, or a place outside the values: 0, nothing read.
  rec.index = 9;
  EXPECT_EQ(RkGetMedianValue(&rec, 0), 0);
  rec.index = 0, rec.count = 0;
  EXPECT_EQ(RkGetMedianValue(&rec, 0), 0);
  EXPECT_EQ(RkGetMedianValue(nullptr, 0), 0);
}

TEST(Median, NetworksGiveTheSelectionSortsOrderStatistic) {
  std::mt19937 rng(3);
  for (int round = 0; round < 20000; ++round) {
    int16_t v[9], work[9];
    for (int16_t& x : v) x = static_cast<int16_t>(rng() % (round % 2 ? 5 : 600)) - 200;  // many ties half the time
    EXPECT_EQ(rk::filters::MedianOf9(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]),
              rk::filters::SortedMedian(v, work, 9, 6, 4));
    EXPECT_EQ(rk::filters::MedianOf5(v[0], v[1], v[2], v[3], v[4]), rk::filters::SortedMedian(v, work, 5, 4, 2));
  }
}

TEST(FastPaths, AgreeWithThePlainOnes) {
  rktest::ModuleTable table;
  std::mt19937 rng(8);
  for (int round = 0; round < 12; ++round) {
    const int w = 1 + static_cast<int>(rng() % 17), h = 1 + static_cast<int>(rng() % 13);
    const Rgb img = rktest::MakeNoise(w, h, round);
    const auto layout = rktest::Layouts()[round % 4];
    for (uint32_t flags : {0x0BBBu, 0x1BBBu, 0x0999u}) {
      Rgb out[2];
      for (auto path : {rk::filters::MedianPath::kNetwork, rk::filters::MedianPath::kSelection}) {
        Picture p(img, layout);
        ImageBlkAttrRec r = p.Record();
        ASSERT_EQ(rk::filters::RemoveNoise(table.get(), &r, flags, nullptr, path), 0);
        out[path == rk::filters::MedianPath::kSelection] = p.ToRgb();
      }
      EXPECT_EQ(rktest::FirstDifference(out[0], out[1]), "") << flags;
    }
    // The source a little larger than the destination; radii past the picture.
    const int16_t radius = static_cast<int16_t>(rng() % 9);
    const uint32_t flags = round % 3 == 0 ? 0x05 : 0;
    Rgb blurred[2][2];
    for (auto path : {rk::filters::BlurPath::kWindow, rk::filters::BlurPath::kDirect}) {
      const int k = path == rk::filters::BlurPath::kDirect;
      Picture s(rktest::MakeNoise(w + 2, h + 1, round + 50), layout), d(img, layout), e(img, layout);
      ImageBlkAttrRec rs = s.Record(), rd = d.Record(), re = e.Record();
      ASSERT_EQ(rk::filters::DiamondBlur(table.get(), &rd, &rs, radius, flags, nullptr, path), 0);
      ASSERT_EQ(rk::filters::OutOfFocusBlur(table.get(), &re, &rs, radius, nullptr, path), 0);
      blurred[k][0] = d.ToRgb();
      blurred[k][1] = e.ToRgb();
    }
    EXPECT_EQ(rktest::FirstDifference(blurred[0][0], blurred[1][0]), "") << "diamond radius " << radius;
    EXPECT_EQ(rktest::FirstDifference(blurred[0][1], blurred[1][1]), "") << "disc radius " << radius;
  }
}

}  // namespace
