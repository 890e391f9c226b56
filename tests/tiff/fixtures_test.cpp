// The reference fixtures: records, pixels and file bytes that an
// independent implementation produced for the same cases.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "test_images.h"
#include "tiff_test_util.h"

namespace {

// The value of "key" in the fixture's flat JSON: a number (decimal or a
// "0x..." string), or -1 when the key is absent or null.
int64_t JsonValue(const std::string& json, const std::string& key) {
  std::smatch m;
  if (!std::regex_search(json, m, std::regex("\"" + key + "\":\\s*\"?(-?[0-9a-fA-Fx]+)\"?"))) return -1;
  return std::stoll(m[1].str(), nullptr, 0);
}

std::string Text(const std::string& path) {
  const auto b = rktest::ReadFile(path);
  return std::string(b.begin(), b.end());
}

class ReadFixture : public testing::TestWithParam<const char*> {};

TEST_P(ReadFixture, RecordAndPixelsAsExpected) {
  const std::string base = rktest::Fixture(std::string("tiff/") + GetParam());
  const std::string json = Text(base + ".json");
  const auto d = tifftest::Decode(rktest::ReadFile(base + ".tif"), uint16_t(JsonValue(json, "formatOnEntry")));
  EXPECT_EQ(d.header, JsonValue(json, "headerResult"));
  const ImageBlkAttrRec& r = d.record;
  const std::pair<const char*, int64_t> fields[] = {
      {"width", r.width},         {"height", r.height},         {"auxCount1", r.auxCount1},
      {"auxCount2", r.auxCount2}, {"samplesPerPixel", r.samplesPerPixel}, {"format", r.format},
      {"dataLength", r.dataLength}, {"dataOffset", r.dataOffset}, {"codecFlags", r.codecFlags},
      {"componentIds", r.componentIds}, {"xDpi", r.xDpi},      {"yDpi", r.yDpi}};
  for (const auto& [key, value] : fields) EXPECT_EQ(value, JsonValue(json, key)) << key;
  EXPECT_EQ(d.image, JsonValue(json, "imageResult"));
  const auto diff = rktest::Compare(d.rgb, rktest::LoadPpm(base + ".expected.ppm"));
  EXPECT_EQ(diff.maxAbs, 0) << "mean " << diff.mean;
}

INSTANTIATE_TEST_SUITE_P(Tiff, ReadFixture, testing::Values("flower_ycc22_II", "storm_planar_II"));

class WriteFixture : public testing::TestWithParam<const char*> {};

TEST_P(WriteFixture, BytesAsExpected) {
  const std::string base = rktest::Fixture(std::string("tiff/") + GetParam());
  const std::string json = Text(base + ".json");
  std::smatch source, comment;
  ASSERT_TRUE(std::regex_search(json, source, std::regex("\"source\":\\s*\"([^\"]+)\"")));
  const bool hasComment = std::regex_search(json, comment, std::regex("\"comment\":\\s*\"([^\"]*)\""));
  const std::string text = hasComment ? comment[1].str() : "";

  rktest::ModuleTable table;
  if (hasComment) RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
  rktest::Bitmap24 bmp(rktest::LoadPpm(rktest::Fixture("tiff/" + source[1].str())));
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  r.xDpi = uint16_t(JsonValue(json, "xDpi"));
  r.yDpi = uint16_t(JsonValue(json, "yDpi"));
  const int32_t size = RkGetExportTIFFImageSize(table.get(), &r);
  EXPECT_EQ(size, JsonValue(json, "sizeQuery"));
  ASSERT_EQ(size, JsonValue(json, "capacity"));
  tifftest::Bytes out(size_t(size), 0);
  r.data = out.data();
  r.dataLength = uint32_t(size);
  EXPECT_EQ(RkExportImageByTIFF(table.get(), &r, nullptr), JsonValue(json, "result"));
  EXPECT_EQ(r.dataLength, JsonValue(json, "dataLength"));
  EXPECT_EQ(out, rktest::ReadFile(base + ".expected.tif"));
}

INSTANTIATE_TEST_SUITE_P(Tiff, WriteFixture, testing::Values("rgchecker_program", "chart_dpi_nocomment"));

}  // namespace
