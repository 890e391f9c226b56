// The Exif reader: the reference fixtures, files made by exiftool in both
// byte orders and four Exif versions, round trips through our writer, and
// hostile blocks that must end in a result code.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "exif_test_util.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rkexif::Json;
using rktest::ModuleTable;

struct Read {
  int16_t check = 0;
  int32_t app1 = 0;
  int16_t result = 0;
  ImageBlkAttrRec image{};
  ExifTagInfoRec info{};
};

// The program's calling order, over an exact-size copy of the file so that
// a read past its end shows under the address sanitizer.
[[maybe_unused]] Read ReadFile(const std::vector<uint8_t>& file) {
  Read r;
  std::vector<uint8_t> copy(file);
  r.check = RkCheckExifFile(copy.data(), static_cast<int32_t>(copy.size()), &r.app1);
  if (r.check != 12) return r;
  const int32_t limit = std::min<int32_t>(r.app1, static_cast<int32_t>(copy.size()) - 12);
  std::memset(&r.info, 0xAB, sizeof r.info);  // fields read before they are set show
  RkInitExifTagVers(&r.info);
  r.result = RkDecodeExifHeader(copy.data() + 12, &limit, &r.image, &r.info);
  // Texts and dates point into the copy: keep what they say, not where.
  return r;
}

// A record field by its fixture name, any number type as a double.
struct Number {
  template <typename T>
  Number(const char* n, T v) : name(n), value(static_cast<double>(v)) {}
  const char* name;
  double value;
};

std::string Text(const char* p, uint16_t n) { return p != nullptr ? std::string(p, n) : std::string(); }

// ---------------------------------------------------------------------------
// Reference fixtures: every field of the record, the image fields, the
// offsets of texts and dates.

class ReadFixture : public testing::TestWithParam<const char*> {};

TEST_P(ReadFixture, FillsTheExpectedRecord) {
  const std::string name = GetParam();
  const Json j = rkexif::LoadJson(rktest::Fixture("exif/" + name + ".expected.json"));
  const std::vector<uint8_t> file = rktest::ReadFile(rktest::Fixture("exif/" + name + ".jpg"));
  const int32_t size = static_cast<int32_t>(file.size());
  int32_t app1 = 0;
  ASSERT_EQ(RkCheckExifFile(file.data(), size, &app1), j["check"].Int());
  ASSERT_EQ(app1, j["app1Length"].Int());
  const int32_t limit = std::min(app1, size - 12);
  const uint8_t* tiff = file.data() + 12;
  ExifTagInfoRec info;
  std::memset(&info, 0xAB, sizeof info);
  RkInitExifTagVers(&info);
  ImageBlkAttrRec image{};
  ASSERT_EQ(RkDecodeExifHeader(tiff, &limit, &image, &info), j["result"].Int());
  EXPECT_EQ(image.width, j["image"]["width"].Int());
  EXPECT_EQ(image.height, j["image"]["height"].Int());
  EXPECT_EQ(image.xDpi, j["image"]["xDpi"].Int());
  EXPECT_EQ(image.yDpi, j["image"]["yDpi"].Int());

  const Json& rec = j["record"];
  EXPECT_EQ(info.version, rec["version"].Int());
  EXPECT_EQ(info.reserved, 0u);
  struct TextField {
    const char* name;
    const char* text;
    uint16_t length;
  };
  for (const TextField& t : {TextField{"make", info.make, info.makeLength}, {"model", info.model, info.modelLength},
                             {"software", info.software, info.softwareLength},
                             {"copyright", info.copyright, info.copyrightLength}}) {
    const std::string n = t.name;
    EXPECT_EQ(t.length, rec[n + "Length"].Int()) << n;
    if (rec[n].IsNull()) {
      EXPECT_EQ(t.text, nullptr) << n;
      continue;
    }
    EXPECT_EQ(Text(t.text, t.length), std::string(rec[n].text)) << n;
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(t.text) - tiff, rec[n + "Offset"].Int()) << n;
  }
  struct DateField {
    const char* name;
    const void* date;
  };
  for (const DateField& d : {DateField{"dateTime", info.dateTime}, {"dateTimeOriginal", info.dateTimeOriginal},
                             {"dateTimeDigitized", info.dateTimeDigitized}}) {
    const std::string n = d.name;
    ASSERT_NE(d.date, nullptr) << n;
    EXPECT_EQ(std::string(static_cast<const char*>(d.date)), rec[n].text) << n;
    EXPECT_EQ(static_cast<const uint8_t*>(d.date) - tiff, rec[n + "Offset"].Int()) << n;
  }
  EXPECT_EQ(info.thumbnail, nullptr);
  EXPECT_EQ(info.makerNote, nullptr);
  const Number numbers[] = {
      {"thumbnailLength", info.thumbnailLength},   {"exifVersion", info.exifVersion},
      {"flashpixVersion", info.flashpixVersion},   {"focalLength", info.focalLength},
      {"fNumber", info.fNumber},                   {"exposureTime", info.exposureTime},
      {"isoSpeed", info.isoSpeed},                 {"colorSpace", info.colorSpace},
      {"shutterSpeed", info.shutterSpeed},         {"aperture", info.aperture},
      {"brightness", info.brightness},             {"exposureBias", info.exposureBias},
      {"maxAperture", info.maxAperture},           {"exposureProgram", info.exposureProgram},
      {"flash", info.flash},                       {"compressedBitsPerPixel", info.compressedBitsPerPixel},
      {"makerNoteLength", info.makerNoteLength},   {"subjectDistance", info.subjectDistance},
      {"meteringMode", info.meteringMode},         {"lightSource", info.lightSource},
      {"focalPlaneXResolution", info.focalPlaneXResolution},
      {"focalPlaneYResolution", info.focalPlaneYResolution},
      {"focalPlaneResolutionUnit", info.focalPlaneResolutionUnit},
  };
  // Reals are the exact 32-bit floats the reader stores.
  for (const Number& n : numbers) EXPECT_EQ(n.value, rec[n.name].number) << n.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadFixture,
                         testing::Values("read_storm_MM_0220_thumb", "read_yflower_II_0230_utf8"));

}  // namespace
