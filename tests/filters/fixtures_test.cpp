// The reference pictures of fixtures/filters: each operation, with the
// arguments of CASES.tsv, must give the expected picture exactly.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "filter_pictures.h"

namespace {

using rktest::LoadFilterFixture;
using rktest::Picture;
using rktest::Rgb;

struct FixtureCase {
  std::string name;      // expected picture, without ".ppm"
  std::string input;
  // Runs the export on the top-down 24-bit input; returns its result and
  // leaves the output picture in *out.
  std::function<int16_t(ModuleTableRec*, Picture& input, Rgb* out)> run;
  int16_t result = 0;
};

void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.name; }

// In-place filters: the input is the output.
template <class F>
std::function<int16_t(ModuleTableRec*, Picture&, Rgb*)> InPlace(F f) {
  return [f](ModuleTableRec* t, Picture& in, Rgb* out) {
    ImageBlkAttrRec rec = in.Record();
    const int16_t r = f(t, &rec);
    *out = in.ToRgb();
    return r;
  };
}

void SetBackground(ImageBlkAttrRec& rec, uint8_t r, uint8_t g, uint8_t b) {
  rec.segmentLength[0] = r;
  rec.segmentLength[1] = g;
  rec.segmentLength[2] = b;
}

int16_t AbsoluteDifference(PixelProcessMethodRec* p, uint32_t) {
  *p->red = static_cast<uint8_t>(std::abs(*p->red - p->refRed));
  *p->green = static_cast<uint8_t>(std::abs(*p->green - p->refGreen));
  *p->blue = static_cast<uint8_t>(std::abs(*p->blue - p->refBlue));
  return *p->red;
}

// A two-buffer geometry case: the input as the source, a destination of the
// given size (its auxCount1/2 the offset), the background in the source.
std::function<int16_t(ModuleTableRec*, Picture&, Rgb*)> Geometry(
    int width, int height, int offsetColumn, int offsetRow, std::array<uint8_t, 3> background,
    std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec*, ImageBlkAttrRec*)> f) {
  return [=](ModuleTableRec* t, Picture& in, Rgb* out) {
    Picture dest(width, height, rktest::TopDownRgb());
    ImageBlkAttrRec d = dest.Record(), s = in.Record();
    d.auxCount1 = static_cast<uint16_t>(offsetColumn);
    d.auxCount2 = static_cast<uint16_t>(offsetRow);
    SetBackground(s, background[0], background[1], background[2]);
    const int16_t r = f(t, &d, &s);
    *out = dest.ToRgb();
    return r;
  };
}

std::vector<FixtureCase> Cases() {
  return {
      {"f01_rotate_2250", "bug_56x40.ppm",
       Geometry(60, 52, 2, 6, {40, 80, 160},
                [](ModuleTableRec* t, ImageBlkAttrRec* d, ImageBlkAttrRec* s) {
                  return RkFreeRotateImage(t, d, s, 2250, 0, nullptr);
                })},
      {"f02_rotate_m5400", "dune_56x40.ppm",
       Geometry(40, 56, -8, 8, {255, 255, 255},
                [](ModuleTableRec* t, ImageBlkAttrRec* d, ImageBlkAttrRec* s) {
                  return RkFreeRotateImage(t, d, s, -5400, 0, nullptr);
                })},
      {"f03_tiltv_1650", "storm_47x36.ppm",
       Geometry(47, 36, 0, 0, {0, 0, 128},
                [](ModuleTableRec* t, ImageBlkAttrRec* d, ImageBlkAttrRec* s) {
                  return RkTiltVertImage(t, d, s, 1650, 0, nullptr);
                })},
      {"f04_removenoise_1BBB", "dune_56x40.ppm",
       InPlace([](ModuleTableRec* t, ImageBlkAttrRec* r) { return RkRemoveNoiseFilter(t, r, 0x1BBB, nullptr); })},
      {"f05_edge_1808", "bug_56x40.ppm", InPlace([](ModuleTableRec* t, ImageBlkAttrRec* r) {
         const int16_t gains[3] = {40, 50, -30};
         const uint16_t masks[3] = {0x7, 0x2, 0x5};
         const EdgeEnhanceParamRec p{0x1808, 3, gains, masks};
         return RkEdgeEnhanceFilter(t, r, &p, nullptr);
       })},
      {"f06_chroma_m250", "bug_56x40.ppm",
       InPlace([](ModuleTableRec* t, ImageBlkAttrRec* r) { return RkChromaEnhanceFilter(t, r, -250, nullptr); })},
      {"f07_wbauto", "cast_56x40.ppm", InPlace([](ModuleTableRec* t, ImageBlkAttrRec* r) {
         double gCb = 0, gCr = 0;
         const int16_t result = RkAutomaticWhiteBalance(t, r, &gCb, &gCr, nullptr);
         EXPECT_DOUBLE_EQ(gCb, 0.986013986013986);
         EXPECT_DOUBLE_EQ(gCr, 1.0272727272727273);
         return result;
       })},
      {"f08_blur_r2_06", "dune_56x40.ppm",
       [](ModuleTableRec* t, Picture& in, Rgb* out) {
         Picture dest(in.ToRgb(), rktest::TopDownRgb());
         ImageBlkAttrRec d = dest.Record(), s = in.Record();
         const int16_t r = RkBluringImage(t, &d, &s, 2, 0x06, nullptr);
         *out = dest.ToRgb();
         return r;
       }},
      {"f09_distort_110", "storm_47x36.ppm", InPlace([](ModuleTableRec* t, ImageBlkAttrRec* r) {
         SetBackground(*r, 255, 0, 255);
         return RkDistortionFilter(t, r, 110, nullptr);
       })},
      {"f10_mask_020F", "bug_56x40.ppm",
       [](ModuleTableRec* t, Picture& in, Rgb* out) {
         Picture key(LoadFilterFixture("dunekey_56x40.ppm"), rktest::TopDownRgb());
         ImageBlkAttrRec a = in.Record(), b = key.Record();
         b.codecFlags = 0x020F;
         b.componentIds = 90 | (100u << 16);
         SetBackground(b, 255, 255, 255);
         const int16_t r = RkMaskingImage(t, &a, &b, nullptr);
         *out = in.ToRgb();
         return r;
       }},
      {"f11_shadow_r2", "shape_56x40.ppm",
       [](ModuleTableRec* t, Picture& in, Rgb* out) {
         Picture dest(56, 40, rktest::TopDownRgb());
         ImageBlkAttrRec d = dest.Record(), s = in.Record();
         const int16_t r = RkShadowingImage(t, &d, &s, 2, 4, 3, 1, nullptr);
         *out = dest.ToRgb();
         return r;
       }},
      {"f12_method_absdiff", "bug_56x40.ppm",
       [](ModuleTableRec* t, Picture& in, Rgb* out) {
         Picture ref(LoadFilterFixture("dune_56x40.ppm"), rktest::TopDownRgb());
         ImageBlkAttrRec a = in.Record(), b = ref.Record();
         const int16_t r = RkProcessMethodImage(t, &a, &b, AbsoluteDifference, nullptr);
         *out = in.ToRgb();
         return r;
       },
       19},
  };
}

class FilterFixture : public testing::TestWithParam<FixtureCase> {};

TEST_P(FilterFixture, GivesTheExpectedPicture) {
  const FixtureCase& c = GetParam();
  rktest::ModuleTable table;
  Picture input(LoadFilterFixture(c.input), rktest::TopDownRgb());
  Rgb out;
  EXPECT_EQ(c.run(table.get(), input, &out), c.result);
  const Rgb want = LoadFilterFixture(c.name + ".ppm");
  EXPECT_EQ(rktest::FirstDifference(out, want), "");
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FilterFixture, testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
