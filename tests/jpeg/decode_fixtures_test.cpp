// The reference fixtures: exact pictures that an independent implementation
// of the same decoder produced for streams of our encoder and of cjpeg.
#include <gtest/gtest.h>

#include "jpeg_test_util.h"
#include "simd_levels.h"
#include "test_images.h"

namespace {

using jpegtest::DecodeToBitmap;

struct FixtureCase {
  const char* name;
  bool withLut;
};

void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.name; }

class DecodeFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(DecodeFixture, MatchesExpectedPictureExactly) {
  const std::string base = rktest::Fixture(std::string("jpeg/") + GetParam().name);
  const auto stream = rktest::ReadFile(base + ".jpg");
  const rktest::Rgb expected = rktest::LoadPpm(base + ".expected.ppm");
  ASSERT_FALSE(stream.empty());
  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    const auto decoded = DecodeToBitmap(stream, GetParam().withLut);
    ASSERT_EQ(decoded.header, 0);
    ASSERT_EQ(decoded.result, 0);
    ASSERT_EQ(decoded.rgb.width, expected.width);
    ASSERT_EQ(decoded.rgb.height, expected.height);
    const auto diff = rktest::Compare(decoded.rgb, expected);
    EXPECT_EQ(diff.maxAbs, 0) << "mean " << diff.mean;
  });
}

std::string CaseName(const ::testing::TestParamInfo<FixtureCase>& info) {
  return std::string(info.param.name) + (info.param.withLut ? "_lut" : "_search");
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DecodeFixture,
    ::testing::ValuesIn(std::vector<FixtureCase>{
        {"enc_3001_s025_comment", false}, {"enc_3001_s025_comment", true},
        {"enc_1000_s050_rst3", false},    {"enc_1000_s050_rst3", true},
        {"enc_3005_s100_rst7", false},    {"enc_3005_s100_rst7", true},
        {"dec_peer_q75_420_rst2", false}, {"dec_peer_q75_420_rst2", true},
        {"dec_peer_q90_422_opt", false},  {"dec_peer_q90_422_opt", true},
        {"dec_peer_q80_grey", false},     {"dec_peer_q80_grey", true}}),
    CaseName);

}  // namespace
