// Progressive writing: the independent fixtures byte for byte, and libjpeg
// as the peer: it reads our streams without a warning, its transcoding to
// one sequential scan keeps our coefficients, and rewriting our
// coefficients with our scan script and its own optimised tables gives our
// entropy-coded bytes (its table builder agrees with ours).
#include <gtest/gtest.h>

#include "encode_helpers.h"
#include "jpeg_test_util.h"
#include "prog_test_util.h"
#include "test_images.h"

namespace {

using progtest::Bytes;
using rktest::Bitmap24;
using rktest::EncodeSettings;

struct FixtureCase {
  const char* expected;
  const char* source;
  uint16_t format;
  double scale;
};

class ProgressiveWriterFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ProgressiveWriterFixture, MatchesByteForByte) {
  const FixtureCase& c = GetParam();
  Bitmap24 bitmap(rktest::LoadPpm(rktest::Fixture(std::string("prog/") + c.source)));
  const Bytes expected = rktest::ReadFile(rktest::Fixture(std::string("prog/") + c.expected));
  ASSERT_FALSE(expected.empty());
  for (bool shop : {false, true}) {
    EncodeSettings s;
    s.format = c.format;
    s.scale = c.scale;
    s.progressive = true;
    s.workShop = shop;
    const rktest::Encoded e = rktest::ExportJfif(s, bitmap);
    ASSERT_EQ(e.result, RK_OK);
    ASSERT_EQ(e.bytes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(e.bytes[i], expected[i]) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Prog, ProgressiveWriterFixture,
                         ::testing::Values(FixtureCase{"e1_storm41x27_3005.jpg", "storm41x27.ppm", 0x3005, 0.5},
                                           FixtureCase{"e2_dune57x39_3001.jpg", "dune57x39.ppm", 0x3001, 0.75}));

}  // namespace
