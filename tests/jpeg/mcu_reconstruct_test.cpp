// The fast MCU reconstruction (rows inside the image only, fused colour
// conversion and writes) against the plain definition, for every sampling
// the decoder accepts, partial MCUs at the image edges, plausible and
// extreme sample values, each output layout and each vector level.
#include <gtest/gtest.h>

#include <random>

#include "jpeg/geometry.h"
#include "jpeg/mcu_reconstruct.h"
#include "simd_level.h"

namespace {

std::vector<uint16_t> CodableFormats() {
  std::vector<uint16_t> formats;
  int colourSeen = 0;
  for (int f = 0; f < 0x1000; ++f) {
    for (int n : {1, 3}) {
      const uint16_t format = static_cast<uint16_t>(n << 12 | (n == 1 ? (f & 0xF) : f));
      rk::McuGeometry geo{};
      rk::ComputeMcuGeometry(format, geo);
      // Every grey sampling; every fifth colour one (of some 700) keeps the
      // run short under the sanitizers while covering each factor.
      if (rk::IsCodableGeometry(geo) && (n == 1 ? f < 16 : ++colourSeen % 5 == 0)) formats.push_back(format);
    }
  }
  return formats;
}

enum class Target { kBitmap24, kBuffer32, kPlanar16 };

class Reconstruct : public ::testing::TestWithParam<std::tuple<Target, bool>> {};

TEST_P(Reconstruct, FastEqualsPlainDefinition) {
  const auto [kind, rgb] = GetParam();
  std::mt19937 rng(17);
  const auto formats = CodableFormats();
  ASSERT_GT(formats.size(), 100u);
  for (uint16_t format : formats) {
    rk::McuGeometry geo{};
    rk::ComputeMcuGeometry(format, geo);
    std::vector<int16_t> blocks(64 * static_cast<size_t>(geo.totalBlocks()));
    // Samples of a decoded picture (which the short vector forms take), then
    // samples far outside 0..255 with a few extremes (which they refuse).
    for (bool extreme : {false, true}) {
      for (auto& v : blocks) {
        const uint32_t r = rng();
        v = static_cast<int16_t>(extreme && r % 16 == 0 ? (r >> 8) : (static_cast<int>(r >> 8) % 700) - 350);
      }
      // An image a little larger than one MCU in each direction, so that the
      // MCUs at (mw, mh) are partial.
      const int width = geo.mcuWidth + 1 + static_cast<int>(rng() % geo.mcuWidth);
      const int height = geo.mcuHeight + 1 + static_cast<int>(rng() % geo.mcuHeight);
      ImageBlkAttrRec image{};
      image.width = static_cast<uint16_t>(width);
      image.height = static_cast<uint16_t>(height);
      const int n = geo.components;
      size_t bytes = 0;
      if (kind == Target::kPlanar16) {
        image.pixelFormat = RK_PIXEL_PLANAR_YCC16;
        image.rowStride = width;
        image.bottomUp = 1;
        bytes = 2 * static_cast<size_t>(width) * height * (n == 3 ? 3 : 1);
      } else if (kind == Target::kBitmap24) {
        image.rowStride = ((width * 3 + 3) / 4) * 4;
        image.pixelStride = 3, image.redOffset = 2, image.greenOffset = 1, image.blueOffset = 0;
        image.bottomUp = 1;
        bytes = static_cast<size_t>(image.rowStride) * height;
      } else {
        image.rowStride = width * 4;
        image.pixelStride = 4, image.redOffset = 1, image.greenOffset = 2, image.blueOffset = 3;
        bytes = static_cast<size_t>(image.rowStride) * height;
      }
      std::vector<uint8_t> plain(bytes, 0xC3);
      std::vector<int16_t> planes(3 * static_cast<size_t>(rk::McuPlaneSamples(geo)), 0x2222);
      rk::PixelTarget target;
      image.pixels = plain.data();
      ASSERT_TRUE(rk::DescribeTarget(image, n, target));
      ASSERT_TRUE(target.separate);
      const int16_t* first = blocks.data();
      for (int y0 : {0, static_cast<int>(geo.mcuHeight)}) {
        for (int x0 : {0, static_cast<int>(geo.mcuWidth)}) {
          rk::ReconstructMcuReference({&geo, first, rgb, x0, y0}, planes.data(), target);
        }
      }
      for (rk::SimdLevel level : rk::ExecutableSimdLevels()) {
        std::vector<uint8_t> fast(bytes, 0xC3);
        image.pixels = fast.data();
        ASSERT_TRUE(rk::DescribeTarget(image, n, target));
        for (int y0 : {0, static_cast<int>(geo.mcuHeight)}) {
          for (int x0 : {0, static_cast<int>(geo.mcuWidth)}) {
            rk::ReconstructMcu({&geo, first, rgb, x0, y0}, planes.data(), target, level);
          }
        }
        ASSERT_EQ(fast, plain) << "format " << std::hex << format << std::dec << ", "
                               << rk::SimdLevelName(level) << (extreme ? ", extreme samples" : "");
      }
    }
  }
}

std::string LayoutName(const ::testing::TestParamInfo<std::tuple<Target, bool>>& info) {
  static const char* names[] = {"bitmap24", "buffer32", "planar16"};
  return std::string(names[static_cast<int>(std::get<0>(info.param))]) +
         (std::get<1>(info.param) ? "_rgb" : "_ycc");
}

INSTANTIATE_TEST_SUITE_P(Layouts, Reconstruct,
                         ::testing::Combine(::testing::Values(Target::kBitmap24, Target::kBuffer32,
                                                              Target::kPlanar16),
                                            ::testing::Bool()),
                         LayoutName);

TEST(DescribeTarget, SharedBytesNeedTheDefinedOrder) {
  ImageBlkAttrRec image{};
  image.width = 10, image.height = 4;
  uint8_t px[1];
  image.pixels = px;
  image.pixelStride = 3, image.redOffset = 2, image.rowStride = 32;
  rk::PixelTarget t;
  ASSERT_TRUE(rk::DescribeTarget(image, 3, t));
  EXPECT_TRUE(t.separate);
  image.pixelStride = 2;  // red of one pixel is blue of the next
  ASSERT_TRUE(rk::DescribeTarget(image, 3, t));
  EXPECT_FALSE(t.separate);
  image.pixelStride = 3, image.rowStride = 20;  // rows overlap
  ASSERT_TRUE(rk::DescribeTarget(image, 3, t));
  EXPECT_FALSE(t.separate);
  image.redOffset = image.greenOffset = image.blueOffset = 0, image.pixelStride = 1, image.rowStride = 10;
  ASSERT_TRUE(rk::DescribeTarget(image, 1, t));  // one byte per pixel: grey written thrice to one byte
  EXPECT_TRUE(t.separate);
}

}  // namespace
