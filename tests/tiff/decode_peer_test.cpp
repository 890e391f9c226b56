// Files laid out by libtiff and by ImageMagick, decoded by us and by
// libtiff's own reader (what tiff2rgba uses): the same pixels, exactly for
// RGB and grey, within 1 for YCbCr (libtiff converts with its own
// arithmetic).
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <random>
#include <tuple>

#include "test_images.h"
#include "tiff_test_util.h"

namespace {

using tifftest::Bytes;
using tifftest::PeerLayout;

std::vector<Bytes> RandomPlanes(int count, int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> planes(size_t(count), Bytes(size_t(w) * h));
  for (Bytes& p : planes)
    for (uint8_t& b : p) b = uint8_t(rng());
  return planes;
}

struct Kind {
  const char* name;
  int photometric, planar, subH, subV;
};
const Kind kKinds[] = {{"grey", 1, 1, 1, 1},     {"rgb", 2, 1, 1, 1},      {"rgbPlanar", 2, 2, 1, 1},
                       {"ycc11", 6, 1, 1, 1},    {"ycc21", 6, 1, 2, 1},    {"ycc22", 6, 1, 2, 2},
                       {"ycc12", 6, 1, 1, 2},    {"ycc42", 6, 1, 4, 2},    {"yccPlanar11", 6, 2, 1, 1}};

using PeerParam = std::tuple<Kind, bool>;  // kind, little-endian

class LibtiffFile : public testing::TestWithParam<PeerParam> {};

// Odd and even sizes, a single pixel, and 1 to 7 strips.
TEST_P(LibtiffFile, DecodesAsLibtiffReadsIt) {
  const auto [kind, little] = GetParam();
  for (auto [w, h] : {std::pair{37, 23}, {1, 1}, {16, 6}}) {
    for (int strips : {1, 3, 7}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + ", " + std::to_string(strips) + " strips");
      PeerLayout s{little, w, h, kind.photometric, kind.planar, 0, kind.subH, kind.subV, true};
      // Strips hold whole rows of data units.
      const int rows = (h + strips - 1) / strips;
      s.rowsPerStrip = (rows + s.subV - 1) / s.subV * s.subV;
      const auto planes = RandomPlanes(kind.photometric == 1 ? 1 : 3, w, h, uint32_t(w * 7 + strips));
      const Bytes file = tifftest::WriteWithLibtiff(s, planes);
      const rktest::Rgb expected = tifftest::ReadWithLibtiff(file);
      ASSERT_FALSE(expected.px.empty());
      for (bool buffer32 : {false, true}) {
        const auto d = tifftest::Decode(file, 1, buffer32);
        ASSERT_GT(d.header, 0);
        ASSERT_EQ(d.image, 0);
        if (kind.photometric == 6) {
          EXPECT_EQ(d.record.format, 0x3000 | (s.subH - 1) | (s.subV - 1) << 2);
        }
        EXPECT_LE(rktest::Compare(d.rgb, expected).maxAbs, kind.photometric == 6 ? 1 : 0) << "32-bit " << buffer32;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tiff, LibtiffFile, testing::Combine(testing::ValuesIn(kKinds), testing::Bool()),
                         [](const testing::TestParamInfo<PeerParam>& info) {
                           return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_II" : "_MM");
                         });

// libtiff's reader takes planar YCbCr only unsubsampled, so the oracle for
// a subsampled planar file is libtiff's reading of the same picture with
// each chroma sample repeated over its h x v block, stored 1 x 1.
TEST(TiffPlanarSubsampled, MatchesTheSamePictureStoredWithoutSubsampling) {
  for (auto [h, v] : {std::pair{2, 2}, {2, 1}, {4, 2}, {1, 2}}) {
    const int w = 29, ht = 19;
    auto planes = RandomPlanes(3, w, ht, uint32_t(h * 10 + v));
    const Bytes sub = tifftest::WriteWithLibtiff({false, w, ht, 6, 2, 4, h, v, true}, planes);
    for (int p = 1; p < 3; ++p)
      for (int y = 0; y < ht; ++y)
        for (int x = 0; x < w; ++x) planes[p][size_t(y) * w + x] = planes[p][size_t(y / v * v) * w + x / h * h];
    const rktest::Rgb expected = tifftest::ReadWithLibtiff(tifftest::WriteWithLibtiff({false, w, ht, 6, 2, 4}, planes));
    const auto d = tifftest::Decode(sub);
    ASSERT_GT(d.header, 0);
    ASSERT_EQ(d.image, 0);
    EXPECT_LE(rktest::Compare(d.rgb, expected).maxAbs, 1) << h << "x" << v;
  }
}

// ImageMagick's own TIFF writer (SHORT byte counts, its own tag set).
TEST(TiffImageMagick, FilesDecodeAsLibtiffReadsThem) {
  const std::string dir = testing::TempDir();
  const std::string src = dir + "/rk_tiff_im_src_" + std::to_string(getpid()) + ".ppm";
  rktest::SavePpm(src, rktest::MakePhotoLike(41, 27, 5));
  const char* options[] = {"-endian MSB", "-endian LSB -interlace plane -define tiff:rows-per-strip=5",
                           "-colorspace gray -define tiff:rows-per-strip=4",
                           "-colorspace YCbCr -endian MSB -define tiff:rows-per-strip=6"};
  for (const char* opt : options) {
    const std::string out = tifftest::TempPath();
    const std::string cmd = "convert " + src + " -compress none " + opt + " " + out;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const Bytes file = rktest::ReadFile(out);
    const auto d = tifftest::Decode(file);
    ASSERT_GT(d.header, 0) << opt;
    ASSERT_EQ(d.image, 0) << opt;
    const bool ycc = std::string(opt).find("YCbCr") != std::string::npos;
    EXPECT_LE(rktest::Compare(d.rgb, tifftest::ReadWithLibtiff(file)).maxAbs, ycc ? 1 : 0) << opt;
  }
}

}  // namespace
