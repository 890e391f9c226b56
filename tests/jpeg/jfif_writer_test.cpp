// The JFIF writer: exact bytes against the reference fixtures, the header
// layouts of the edge cases, capacity limits and refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "encode_helpers.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::EncodeSettings;
using rktest::ExportJfif;
using rktest::FindMarker;

[[maybe_unused]] uint16_t U16At(const std::vector<uint8_t>& b, long i) {
  return static_cast<uint16_t>(b[static_cast<size_t>(i)] << 8 | b[static_cast<size_t>(i) + 1]);
}

// ---------------------------------------------------------------------------
// Reference fixtures: exact bytes for scene_203x157.ppm.

struct FixtureCase {
  const char* file;
  uint16_t format;
  double scale;
  uint32_t restart;
  const char* comment;
};

class FixtureBytes : public testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureBytes, MatchByteForByte) {
  const FixtureCase& fc = GetParam();
  Bitmap24 bitmap(rktest::LoadPpm(rktest::Fixture("jpeg/scene_203x157.ppm")));
  ASSERT_EQ(bitmap.width, 203);
  EncodeSettings s;
  s.format = fc.format;
  s.scale = fc.scale;
  s.restartInterval = fc.restart;
  s.comment = fc.comment;
  const auto e = ExportJfif(s, bitmap);
  ASSERT_EQ(e.result, RK_OK);
  const auto expected = rktest::ReadFile(rktest::Fixture(std::string("jpeg/") + fc.file));
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(e.bytes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(e.bytes[i], expected[i]) << "first difference at byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scene203x157, FixtureBytes,
    testing::Values(FixtureCase{"enc_3001_s025_comment.jpg", 0x3001, 0.25, 0, "Corvid"},
                    FixtureCase{"enc_1000_s050_rst3.jpg", 0x1000, 0.5, 3, ""},
                    FixtureCase{"enc_3005_s100_rst7.jpg", 0x3005, 1.0, 7, ""}),
    [](const testing::TestParamInfo<FixtureCase>& info) {
      std::string n = info.param.file;
      return n.substr(0, n.find('.'));
    });

}  // namespace
