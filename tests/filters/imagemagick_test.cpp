// ImageMagick as an oracle for the standard operations among the filters:
// the nine-point median (edge pixels repeated past the border, as the
// filters' border rule does), the 3 x 3 mean, and the diamond blur against
// a normalised diamond convolution. ImageMagick rounds where the filters
// truncate, so the means may differ by one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "filter_pictures.h"

namespace {

using rktest::Picture;
using rktest::Rgb;

Rgb Convert(const Rgb& in, const std::string& operation) {
  const auto dir = std::filesystem::temp_directory_path();
  const std::string stem = (dir / ("rk_im_" + std::to_string(::getpid()))).string();
  rktest::SavePpm(stem + "_in.ppm", in);
  const std::string cmd = "convert " + stem + "_in.ppm " + operation + " -depth 8 " + stem + "_out.ppm";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  Rgb out = rktest::LoadPpm(stem + "_out.ppm");
  std::filesystem::remove(stem + "_in.ppm");
  std::filesystem::remove(stem + "_out.ppm");
  return out;
}

Rgb Filter(const Rgb& in, uint32_t flags) {
  rktest::ModuleTable table;
  Picture p(in, rktest::kBottomUpBgr);
  ImageBlkAttrRec r = p.Record();
  EXPECT_EQ(RkRemoveNoiseFilter(table.get(), &r, flags, nullptr), 0);
  return p.ToRgb();
}

// Largest channel difference over the pixels at least margin from the border.
int MaxDifference(const Rgb& a, const Rgb& b, int margin) {
  int worst = 0;
  for (int y = margin; y < a.height - margin; ++y)
    for (int x = margin; x < a.width - margin; ++x)
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(a.at(x, y)[c] - b.at(x, y)[c]));
  return worst;
}

TEST(ImageMagick, NinePointMedianIsTheStatisticMedian) {
  for (const Rgb& img : {rktest::MakeNoise(31, 23, 4), rktest::MakePhotoLike(40, 29, 7)}) {
    const Rgb want = Convert(img, "-virtual-pixel edge -statistic Median 3x3");
    EXPECT_EQ(rktest::FirstDifference(Filter(img, 0x0BBB), want), "");
  }
}

TEST(ImageMagick, NinePointMeanIsTheStatisticMeanWithinRounding) {
  const Rgb img = rktest::MakeNoise(33, 21, 5);
  const Rgb want = Convert(img, "-virtual-pixel edge -statistic Mean 3x3");
  EXPECT_LE(MaxDifference(Filter(img, 0x0AAA), want, 0), 1);
}

TEST(ImageMagick, DiamondBlurIsANormalisedDiamondConvolutionWithinRounding) {
  const Rgb img = rktest::MakeNoise(30, 24, 6);
  for (int radius = 1; radius <= 4; ++radius) {
    rktest::ModuleTable table;
    Picture s(img, rktest::kTopDownRgb), d(img, rktest::kTopDownRgb);
    ImageBlkAttrRec rs = s.Record(), rd = d.Record();
    ASSERT_EQ(RkBluringImage(table.get(), &rd, &rs, static_cast<int16_t>(radius), 0, nullptr), 0);
    const Rgb want =
        Convert(img, "-define convolve:scale=! -morphology Convolve Diamond:" + std::to_string(radius));
    // Near the border ImageMagick invents pixels, the blur averages fewer.
    EXPECT_LE(MaxDifference(d.ToRgb(), want, radius), 1) << radius;
  }
}

}  // namespace
