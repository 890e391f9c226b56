// Streams written by libjpeg-turbo decode to the pixels libjpeg-turbo
// itself produces with its accurate integer inverse transform and
// pixel-replicating upsampling (TJFLAG_ACCURATEDCT | TJFLAG_FASTUPSAMPLE),
// within a small tolerance.
//
// Why a tolerance and how large: both decoders compute the T.81 inverse
// transform in fixed point, but ours rounds to 16 bits after each pass
// (within 4 of the exact value) while libjpeg-turbo keeps extra fraction
// bits between its passes; our colour conversion uses 8-bit fractions
// (359, 88, 182, 454 / 256) where libjpeg-turbo uses 16-bit ones. Each step
// can move a sample by a few levels. The differences grow with quality
// (more AC coefficients, more roundings): on these pictures the largest
// seen was 7 levels and the largest mean 1.24 (q95, 17x9), about 0.4 to 1.0
// on the 481x361 picture. The bounds leave a little room above that.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "jpeg_test_util.h"
#include "test_images.h"

namespace {

using jpegtest::Bytes;

constexpr int kMaxDifference = 8;
constexpr double kMaxMeanDifference = 1.5;

// A stream recipe; the stream is made inside the test, so that listing the
// cases (once per test process under ctest) encodes nothing.
struct PeerCase {
  std::string name;
  int width, height;
  int tjSubsamp;  // TurboJPEG encode when >= 0, else libjpeg with `options`
  int quality;
  jpegtest::LibjpegOptions options;
};

Bytes MakeStream(const PeerCase& c) {
  const rktest::Rgb img = rktest::MakePhotoLike(c.width, c.height, 7);
  return c.tjSubsamp >= 0 ? jpegtest::TurboEncode(img, c.tjSubsamp, c.quality)
                          : jpegtest::LibjpegEncode(img, c.options);
}

std::vector<PeerCase> PeerCases() {
  std::vector<PeerCase> cases;
  struct Size { int w, h; };
  const Size sizes[] = {{1, 1}, {17, 9}, {481, 361}};
  struct Samp { const char* name; int tj; };
  const Samp samps[] = {{"420", TJSAMP_420}, {"422", TJSAMP_422}, {"444", TJSAMP_444}, {"grey", TJSAMP_GRAY}};
  for (const Size& size : sizes) {
    const std::string dim = std::to_string(size.w) + "x" + std::to_string(size.h);
    for (const Samp& samp : samps) {
      for (int quality : {50, 75, 95}) {
        cases.push_back({"tj_" + std::string(samp.name) + "_q" + std::to_string(quality) + "_" + dim, size.w,
                         size.h, samp.tj, quality, {}});
      }
    }
    // What TurboJPEG cannot ask for: optimised tables, restart intervals,
    // a comment, RGB storage.
    jpegtest::LibjpegOptions opt;
    opt.optimize = true;
    cases.push_back({"lj_420_q75_optimised_" + dim, size.w, size.h, -1, 0, opt});
    opt = {};
    opt.restartInterval = 3;
    opt.quality = 90;
    opt.hSamp = 2, opt.vSamp = 1;
    cases.push_back({"lj_422_q90_rst3_" + dim, size.w, size.h, -1, 0, opt});
    opt = {};
    opt.restartInterval = 1;
    opt.grey = true;
    opt.optimize = true;
    cases.push_back({"lj_grey_q75_rst1_optimised_" + dim, size.w, size.h, -1, 0, opt});
    opt = {};
    opt.comment = "a comment \xFF\xD9 with marker bytes";
    opt.hSamp = opt.vSamp = 1;
    opt.quality = 95;
    cases.push_back({"lj_444_q95_comment_" + dim, size.w, size.h, -1, 0, opt});
    opt = {};
    opt.rgb = true;
    opt.quality = 90;
    opt.hSamp = opt.vSamp = 1;
    cases.push_back({"lj_rgb_q90_" + dim, size.w, size.h, -1, 0, opt});
  }
  return cases;
}

class PeerCompare : public ::testing::TestWithParam<PeerCase> {};

TEST_P(PeerCompare, PixelsWithinToleranceOfLibjpegTurbo) {
  const PeerCase& c = GetParam();
  const Bytes stream = MakeStream(c);
  const rktest::Rgb peer = jpegtest::TurboDecode(stream);
  for (bool withLut : {false, true}) {
    const auto ours = jpegtest::DecodeToBitmap(stream, withLut);
    ASSERT_EQ(ours.header, 0);
    ASSERT_EQ(ours.result, 0);
    ASSERT_EQ(ours.rgb.width, c.width);
    ASSERT_EQ(ours.rgb.height, c.height);
    const auto diff = rktest::Compare(ours.rgb, peer);
    RecordProperty(withLut ? "max_lut" : "max", diff.maxAbs);
    RecordProperty(withLut ? "mean_lut" : "mean", std::to_string(diff.mean));
    std::printf("    %-36s %s max %d mean %.4f psnr %.1f\n", c.name.c_str(), withLut ? "lut   " : "search",
                diff.maxAbs, diff.mean, diff.psnr);
    EXPECT_LE(diff.maxAbs, kMaxDifference);
    EXPECT_LE(diff.mean, kMaxMeanDifference);
  }
}

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }

INSTANTIATE_TEST_SUITE_P(LibjpegTurbo, PeerCompare, ::testing::ValuesIn(PeerCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
