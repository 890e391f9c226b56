// The reference pictures of fixtures/filters: each operation, with the
// arguments of CASES.tsv on top-down 24-bit buffers, must give the expected
// picture exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "filter_pictures.h"

namespace {

using rktest::Picture;
using rktest::Rgb;

Rgb Load(const std::string& name) { return rktest::LoadPpm(rktest::Fixture("filters/" + name)); }

// a: the picture the export changes; b: a second picture (the source of
// two-buffer operations), with the background in its segmentLength.
using Call = std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec* a, ImageBlkAttrRec* b)>;

struct FixtureCase {
  std::string expected, input;
  Call call;
  std::string second = "";  // b's picture; "" = a blank picture of size w x h
  int w = 0, h = 0;          // 0: a is the input itself (in place)
  int16_t result = 0;
};
void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.expected; }

void Colour(ImageBlkAttrRec* r, uint32_t red, uint32_t green, uint32_t blue) {
  r->segmentLength[0] = red, r->segmentLength[1] = green, r->segmentLength[2] = blue;
}

int16_t AbsoluteDifference(PixelProcessMethodRec* p, uint32_t) {
  *p->red = static_cast<uint8_t>(std::abs(*p->red - p->refRed));
  *p->green = static_cast<uint8_t>(std::abs(*p->green - p->refGreen));
  *p->blue = static_cast<uint8_t>(std::abs(*p->blue - p->refBlue));
  return *p->red;
}

// Rotation and tilt: the input is the source (b), a blank destination (a)
// takes the offset in auxCount1/2.
Call Turned(int16_t offsetColumn, int16_t offsetRow, uint32_t r, uint32_t g, uint32_t b,
            int16_t (*op)(ModuleTableRec*, ImageBlkAttrRec*, ImageBlkAttrRec*, int16_t, uint32_t, UserCallBackRec*),
            int16_t angle) {
  return [=](ModuleTableRec* t, ImageBlkAttrRec* d, ImageBlkAttrRec* s) {
    d->auxCount1 = static_cast<uint16_t>(offsetColumn), d->auxCount2 = static_cast<uint16_t>(offsetRow);
    Colour(s, r, g, b);
    return op(t, d, s, angle, 0, nullptr);
  };
}

const FixtureCase kCases[] = {
    {"f01_rotate_2250", "bug_56x40.ppm", Turned(2, 6, 40, 80, 160, RkFreeRotateImage, 2250), "", 60, 52},
    {"f02_rotate_m5400", "dune_56x40.ppm", Turned(-8, 8, 255, 255, 255, RkFreeRotateImage, -5400), "", 40, 56},
    {"f03_tiltv_1650", "storm_47x36.ppm", Turned(0, 0, 0, 0, 128, RkTiltVertImage, 1650), "", 47, 36},
    {"f04_removenoise_1BBB", "dune_56x40.ppm", [](auto t, auto a, auto) { return RkRemoveNoiseFilter(t, a, 0x1BBB, nullptr); }},
    {"f05_edge_1808", "bug_56x40.ppm", [](auto t, auto a, auto) {
       const int16_t gains[3] = {40, 50, -30};
       const uint16_t masks[3] = {0x7, 0x2, 0x5};
       const EdgeEnhanceParamRec p{0x1808, 3, gains, masks};
       return RkEdgeEnhanceFilter(t, a, &p, nullptr);
     }},
    {"f06_chroma_m250", "bug_56x40.ppm", [](auto t, auto a, auto) { return RkChromaEnhanceFilter(t, a, -250, nullptr); }},
    {"f07_wbauto", "cast_56x40.ppm", [](auto t, auto a, auto) {
       double gCb = 0, gCr = 0;
       const int16_t result = RkAutomaticWhiteBalance(t, a, &gCb, &gCr, nullptr);
       EXPECT_DOUBLE_EQ(gCb, 0.986013986013986);
       EXPECT_DOUBLE_EQ(gCr, 1.0272727272727273);
       return result;
     }},
    // The destination holds a copy of the source: Y comes from its pixels.
    {"f08_blur_r2_06", "dune_56x40.ppm", [](auto t, auto a, auto b) { return RkBluringImage(t, a, b, 2, 0x06, nullptr); },
     "dune_56x40.ppm"},
    {"f09_distort_110", "storm_47x36.ppm", [](auto t, auto a, auto) {
       Colour(a, 255, 0, 255);
       return RkDistortionFilter(t, a, 110, nullptr);
     }},
    {"f10_mask_020F", "bug_56x40.ppm", [](auto t, auto a, auto b) {
       b->codecFlags = 0x020F, b->componentIds = 90 | (100u << 16);
       Colour(b, 255, 255, 255);
       return RkMaskingImage(t, a, b, nullptr);
     }, "dunekey_56x40.ppm"},
    {"f11_shadow_r2", "shape_56x40.ppm", [](auto t, auto a, auto b) { return RkShadowingImage(t, b, a, 2, 4, 3, 1, nullptr); }},
    {"f12_method_absdiff", "bug_56x40.ppm",
     [](auto t, auto a, auto b) { return RkProcessMethodImage(t, a, b, AbsoluteDifference, nullptr); }, "dune_56x40.ppm",
     0, 0, 19},
};

class FilterFixture : public testing::TestWithParam<FixtureCase> {};

TEST_P(FilterFixture, GivesTheExpectedPicture) {
  const FixtureCase& c = GetParam();
  rktest::ModuleTable table;
  const Rgb input = Load(c.input);
  const bool turned = c.w != 0;
  // Shadowing draws into a blank destination (b) from the input (a).
  const bool shadow = c.expected.starts_with("f11");
  Picture a(turned ? rktest::Flat(c.w, c.h, 0, 0, 0) : input, rktest::kTopDownRgb);
  Picture b(turned ? input : !c.second.empty() ? Load(c.second) : rktest::Flat(input.width, input.height, 0, 0, 0),
            rktest::kTopDownRgb);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  EXPECT_EQ(c.call(table.get(), &ra, &rb), c.result);
  EXPECT_EQ(rktest::FirstDifference((shadow ? b : a).ToRgb(), Load(c.expected + ".ppm")), "");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FilterFixture, testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.expected; });

}  // namespace
