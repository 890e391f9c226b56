// Worked values of the image-processing unit and the camera arithmetic:
// gamma entries, the enhancement step, gains from a white reference, the
// detail measure, and the bitmap sizes.
#include <gtest/gtest.h>

#include <cmath>

#include "camera/compound.h"
#include "camera/enhance.h"
#include "camera/kslv_image.h"
#include "camera_helpers.h"

namespace {

using cameratest::Table;

TEST(CameraUnit, InputGammaIsPiecewiseLinearThroughTheMiddle) {
  Table unit;
  const uint16_t* in = unit.get()->inputGamma;
  ASSERT_NE(in, nullptr);
  const std::pair<int, int> cases[] = {{0, 0}, {1, 4}, {64, 256}, {128, 512}, {129, 516}, {200, 801}, {255, 1023}};
  for (const auto& [v, expected] : cases) EXPECT_EQ(in[v], expected) << "v = " << v;
}

TEST(CameraUnit, OutputGammaFollowsTheExponent) {
  Table unit;
  RkInitOutGamma(unit.get(), 1.0);
  const uint16_t* out = unit.get()->outputGamma;
  EXPECT_EQ(out[1023], 255);
  EXPECT_EQ(out[512], 127);
  EXPECT_EQ(out[0], 0);
  // 0.83 (the unit's own curve) lifts the middle: 255 x (512/1023)^0.83 = 143.2.
  RkInitOutGamma(unit.get(), 0.83);
  EXPECT_EQ(unit.get()->outputGamma[512], 143);
  EXPECT_EQ(unit.get()->outputGamma[1023], 255);
  for (const double gamma : {0.0, -1.5, std::nan("")}) {
    RkInitOutGamma(unit.get(), gamma);
    for (int i = 0; i < 1024; ++i) ASSERT_LE(unit.get()->outputGamma[i], 255) << gamma << " at " << i;
  }
}

TEST(CameraUnit, EnhanceColourUsesTheChannelsAlreadyUpdated) {
  struct Case {
    int16_t in[3];
    int shift;
    int16_t out[3];
  };
  const Case cases[] = {
      {{200, 100, 100}, 2, {250, 63, 72}},
      {{90, 90, 90}, 3, {90, 90, 90}},       // grey stays
      {{255, 0, 0}, 2, {255, 0, 0}},         // clamped at both ends
      {{10, 240, 10}, 3, {0, 255, 0}},
  };
  for (const Case& c : cases) {
    int16_t r = c.in[0], g = c.in[1], b = c.in[2];
    rk::camera::EnhanceColour(r, g, b, c.shift);
    EXPECT_EQ(r, c.out[0]);
    EXPECT_EQ(g, c.out[1]);
    EXPECT_EQ(b, c.out[2]);
  }
}

TEST(CameraUnit, GainsFromTheWhiteReference) {
  struct Case {
    uint8_t reference[4];
    int16_t result;
    int64_t red, green, blue;
  };
  const Case cases[] = {
      // Equal bytes: 6553600 / 25728 = 254 for all; red (first of the tie)
      // becomes 256, the others 254 x 256 / 254.
      {{100, 100, 100, 100}, 0, 256, 256, 256},
      // (104, 92, 117, 99): Yr 103, Crr -6, Cbr 9: denominators 21462
      // (red), 26676 (green), 36990 (blue); gains 314, 253, 182, blue the
      // smallest: 256, and 314 x 256 / 182 = 441, 253 x 256 / 182 = 355.
      {{104, 92, 117, 99}, 0, 441, 355, 256},
      {{0, 100, 100, 100}, -20, 0, 0, 0},
      // Red's denominator 256 x 2 + 839 x (-127) + 128 < 0.
      {{255, 1, 2, 1}, -20, 0, 0, 0},
  };
  for (const Case& c : cases) {
    rk::camera::KslvGains gains;
    EXPECT_EQ(rk::camera::GainsFromReference(c.reference, gains), c.result);
    if (c.result != 0) continue;
    EXPECT_EQ(gains.red, c.red);
    EXPECT_EQ(gains.green, c.green);
    EXPECT_EQ(gains.blue, c.blue);
  }
}

TEST(CameraUnit, DetailMeasureAndTheScaleItChooses) {
  // A flat picture has no detail; columns of green 255 and 0 in turn give
  // green Laplacians of 4 x 255 - 2 x 255 = 510 and -510, whose luminance
  // is (150 x 510 + 128) >> 8 = 299 and (-76500 + 128) >> 8 = -299.
  std::vector<uint8_t> flat(640 * 480 * 3, 77);
  EXPECT_EQ(rk::camera::DetailMeasure(flat.data(), 640, 480, 1920), 0u);
  std::vector<uint8_t> stripes(640 * 480 * 3, 0);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; x += 2) stripes[(y * 640 + x) * 3 + 1] = 255;
  const uint32_t detail = rk::camera::DetailMeasure(stripes.data(), 640, 480, 1920);
  EXPECT_EQ(detail, 299u);

  struct Case {
    uint32_t target, detail;
    double scale;
    uint32_t limit;
  };
  const Case cases[] = {{65536, 0, 0.5, 65536},   {65536, 15, 1.0, 65536},  {60000, 29, 1.0, 65536},
                        {1000, 30, 2.0, 65536},   {65537, 14, 0.25, 131072}, {131072, 20, 0.5, 131072},
                        {200000, 300, 1.0, 131072}};
  for (const Case& c : cases) {
    const auto choice = rk::camera::ChooseScale(c.target, c.detail);
    EXPECT_EQ(choice.scale, c.scale) << c.target << "/" << c.detail;
    EXPECT_EQ(choice.limit, c.limit);
    EXPECT_EQ(choice.large, c.target > 65536);
  }
}

TEST(CameraUnit, SizeQueries) {
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(320, 240), 230440u);
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(480, 360), 518440u);
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(321, 1), 40u + 964u);
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(0, 100), 40u);
  // 4 bytes per row: 40 + 4 x 1073741813 = 2^32 - 4 is the largest that fits.
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(1, 1073741813), 0xFFFFFFFCu);
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(1, 1073741814), 0u);
  EXPECT_EQ(RkGetDIBKSLVCameraImageSize(0xFFFFFFFFu, 0xFFFFFFFFu), 0u);
  EXPECT_EQ(RkGetDIBKSLVCameraThumbnailSize(), 3640u);
  EXPECT_EQ(RkGetDIBKSTMCameraThumbnailSize(), 14440u);
  EXPECT_EQ(RkGetDIBKSTMCameraImageSize(), 921640u);
  EXPECT_EQ(RkGetThumbnailDecodeWorkSpaceSize(), 720u);
  EXPECT_EQ(RkGetCamImgDecodeWorkSpaceSize(), 25600u);
}

}  // namespace
