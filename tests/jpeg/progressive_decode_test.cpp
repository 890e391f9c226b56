// Progressive decoding. The peer proof: jpegtran keeps the coefficients, so
// every progressive (or multi-scan sequential) stream libjpeg writes must
// decode to exactly the pixels our baseline decoder gives for the same
// stream transcoded to one sequential scan. Plus the independent fixtures,
// damaged streams, and the interface (work shop, callback, layouts).
#include <gtest/gtest.h>

#include <cstring>

#include "jpeg/progressive_decode.h"
#include "jpeg_test_util.h"
#include "prog_test_util.h"
#include "test_images.h"

namespace {

using progtest::Bytes;

// ---------------------------------------------------------------------------
// Fixtures of the independent implementation

class ProgressiveFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgressiveFixture, DecodesToTheExpectedPictureExactly) {
  const std::string base = rktest::Fixture(std::string("prog/") + GetParam());
  const Bytes stream = rktest::ReadFile(base + ".jpg");
  const rktest::Rgb expected = rktest::LoadPpm(base + ".ppm");
  ASSERT_FALSE(stream.empty());
  for (const progtest::DecodeOptions options : {progtest::DecodeOptions{}, progtest::DecodeOptions{true, true, true}}) {
    const auto decoded = progtest::ProgressiveDecode(stream, options);
    ASSERT_EQ(decoded.header, 0);
    ASSERT_EQ(decoded.result, 0);
    ASSERT_EQ(decoded.rgb.width, expected.width);
    ASSERT_EQ(decoded.rgb.height, expected.height);
    EXPECT_EQ(rktest::Compare(decoded.rgb, expected).maxAbs, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Prog, ProgressiveFixture,
                         ::testing::Values("d1_storm64x48_422_sa", "d2_flower64x48_444_rst5", "d3_dune52x36_grey",
                                           "d4_bug47x33_420"));

// ---------------------------------------------------------------------------
// libjpeg's streams against our baseline decode of their transcoding

struct PeerCase {
  std::string name;
  int width, height;
  progtest::PeerOptions options;
};

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }

std::vector<PeerCase> PeerCases() {
  struct Samp {
    const char* name;
    int h, v;
    bool grey, rgb;
  };
  const Samp samps[] = {{"420", 2, 2, false, false}, {"422", 2, 1, false, false}, {"444", 1, 1, false, false},
                        {"grey", 1, 1, true, false}, {"rgb", 1, 1, false, true}};
  struct Scripted {
    const char* name;
    progtest::Script colour;
    bool colourOnly;
  };
  const Scripted scripts[] = {{"default", {}, false},
                              {"approx", progtest::ApproximationScript(), true},
                              {"dcsplit", progtest::SingleComponentDcScript(), true},
                              {"sequential", progtest::SequentialScript(3), true}};
  struct Restart {
    const char* name;
    int interval, rows;
  };
  const Restart restarts[] = {{"", 0, 0}, {"_rst2", 2, 0}, {"_rows1", 0, 1}};
  std::vector<PeerCase> cases;
  for (const auto& size : {std::pair{1, 1}, std::pair{17, 9}, std::pair{40, 24}, std::pair{160, 120}}) {
    const std::string dim = std::to_string(size.first) + "x" + std::to_string(size.second);
    for (const Samp& samp : samps) {
      for (const Scripted& script : scripts) {
        if (samp.grey && script.colourOnly) continue;
        for (const Restart& restart : restarts) {
          progtest::PeerOptions o;
          o.quality = size.first == 160 ? 92 : 80;
          o.hSamp = samp.h, o.vSamp = samp.v, o.grey = samp.grey, o.rgb = samp.rgb;
          o.script = script.colour;
          o.restartInterval = restart.interval;
          o.restartRows = restart.rows;
          cases.push_back({std::string(script.name) + "_" + samp.name + restart.name + "_" + dim, size.first,
                           size.second, o});
        }
      }
    }
  }
  return cases;
}

class PeerProgressive : public ::testing::TestWithParam<PeerCase> {};

TEST_P(PeerProgressive, DecodesExactlyAsTheTranscodedSequentialStream) {
  const PeerCase& c = GetParam();
  const Bytes stream = progtest::PeerEncode(rktest::MakePhotoLike(c.width, c.height, 11), c.options);
  ASSERT_FALSE(stream.empty());
  const Bytes sequential = progtest::Transcode(stream);
  const auto expected = jpegtest::DecodeToBitmap(sequential, false);
  ASSERT_EQ(expected.result, 0);

  // Progressive frames and multi-scan sequential ones alike reach the
  // progressive decoder through the header's progressive bit.
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIFHeader(nullptr, stream.data(), &size, &image), 0);
  EXPECT_NE(image.format & RK_FORMAT_PROGRESSIVE, 0);
  EXPECT_EQ(image.dataLength + 2, stream.size());

  for (const progtest::DecodeOptions options :
       {progtest::DecodeOptions{false, false, false}, progtest::DecodeOptions{true, true, true}}) {
    const auto decoded = progtest::ProgressiveDecode(stream, options);
    ASSERT_EQ(decoded.result, 0) << "lut/shop/reference " << options.lut;
    EXPECT_EQ(rktest::Compare(decoded.rgb, expected.rgb).maxAbs, 0) << "lut/shop/reference " << options.lut;
  }
}

INSTANTIATE_TEST_SUITE_P(Libjpeg, PeerProgressive, ::testing::ValuesIn(PeerCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
