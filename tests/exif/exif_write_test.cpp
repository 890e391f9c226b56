// The Exif writers: exact bytes against the reference fixtures, files read
// by exiftool without a warning, the thumbnail, the value encodings, and
// what the writers borrow and give back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "exif/exif_block.h"
#include "exif_test_util.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rkexif::Json;
using rktest::Bitmap24;
using rktest::ModuleTable;

// A caller's record with the texts and dates it points at.
struct Record {
  ExifTagInfoRec info{};
  std::vector<uint8_t> make, model, software, copyright;
  ExifDateTimeRec dates[3] = {};
  Record() {
    RkInitExifTagVers(&info);
    RkInitExifTagInfo(&info);
  }
  Record(const Record&) = delete;
  void SetText(const char*& field, uint16_t& length, std::vector<uint8_t>& store, const std::string& bytes) {
    store.assign(bytes.begin(), bytes.end());
    field = reinterpret_cast<const char*>(store.data());
    length = static_cast<uint16_t>(bytes.size());
  }
  void SetDates(const ExifDateTimeRec& d) {
    for (auto& x : dates) x = d;
    info.dateTime = &dates[0];
    info.dateTimeOriginal = &dates[1];
    info.dateTimeDigitized = &dates[2];
  }
};

// Fills `r` from a fixture's "record" object.
void LoadRecord(const Json& j, Record& r) {
  auto text = [&](const char* name, const char*& field, uint16_t& length, std::vector<uint8_t>& store) {
    const Json& bytes = j[std::string(name) + "Bytes"];
    if (bytes.IsNull()) return;
    store = rkexif::FromHex(bytes.text);
    field = reinterpret_cast<const char*>(store.data());
    length = static_cast<uint16_t>(j[std::string(name) + "Length"].Int());
  };
  text("make", r.info.make, r.info.makeLength, r.make);
  text("model", r.info.model, r.info.modelLength, r.model);
  text("software", r.info.software, r.info.softwareLength, r.software);
  text("copyright", r.info.copyright, r.info.copyrightLength, r.copyright);
  const char* dateNames[3] = {"dateTime", "dateTimeOriginal", "dateTimeDigitized"};
  const void** datePointers[3] = {&r.info.dateTime, &r.info.dateTimeOriginal, &r.info.dateTimeDigitized};
  for (int i = 0; i < 3; ++i) {
    const Json& d = j[dateNames[i]];
    if (d.IsNull()) continue;
    r.dates[i] = {static_cast<uint16_t>(d["year"].Int()), static_cast<uint8_t>(d["month"].Int()),
                  static_cast<uint8_t>(d["day"].Int()),   static_cast<uint8_t>(d["hour"].Int()),
                  static_cast<uint8_t>(d["minute"].Int()), static_cast<uint8_t>(d["second"].Int())};
    *datePointers[i] = &r.dates[i];
  }
  ExifTagInfoRec& i = r.info;
  i.exifVersion = static_cast<uint16_t>(j["exifVersion"].Int());
  i.flashpixVersion = static_cast<uint16_t>(j["flashpixVersion"].Int());
  i.focalLength = j["focalLength"].Float();
  i.fNumber = j["fNumber"].Float();
  i.exposureTime = j["exposureTime"].Float();
  i.isoSpeed = static_cast<uint16_t>(j["isoSpeed"].Int());
  i.colorSpace = static_cast<uint16_t>(j["colorSpace"].Int());
  i.shutterSpeed = j["shutterSpeed"].Float();
  i.aperture = j["aperture"].Float();
  i.brightness = j["brightness"].Float();
  i.exposureBias = j["exposureBias"].Float();
  i.maxAperture = j["maxAperture"].Float();
  i.exposureProgram = static_cast<uint16_t>(j["exposureProgram"].Int());
  i.flash = static_cast<uint16_t>(j["flash"].Int());
  i.compressedBitsPerPixel = j["compressedBitsPerPixel"].Float();
  i.subjectDistance = j["subjectDistance"].Float();
  i.meteringMode = static_cast<uint16_t>(j["meteringMode"].Int());
  i.lightSource = static_cast<uint16_t>(j["lightSource"].Int());
  i.focalPlaneXResolution = j["focalPlaneXResolution"].Float();
  i.focalPlaneYResolution = j["focalPlaneYResolution"].Float();
  i.focalPlaneResolutionUnit = static_cast<uint16_t>(j["focalPlaneResolutionUnit"].Int());
}

struct Output {
  int16_t result = 0;
  std::vector<uint8_t> bytes;
};

// Exports `bitmap` through `how` into a buffer of `capacity` bytes (0:
// generous) and returns the file.
enum class How { kByExif, kCustom, kDefault };

Output Export(How how, ModuleTable& table, Bitmap24& bitmap, ExifTagInfoRec* info, double scale = 0.75,
              uint32_t capacity = 0, ImageBlkAttrRec* record = nullptr) {
  ImageBlkAttrRec local{};
  ImageBlkAttrRec& image = record != nullptr ? *record : local;
  if (record == nullptr) {
    bitmap.Describe(image);
    image.format = 0x3001;
  }
  Output out;
  out.bytes.assign(capacity != 0 ? capacity : 200000 + bitmap.bytes.size() * 2, 0xEE);
  image.data = out.bytes.data();
  image.dataLength = static_cast<uint32_t>(out.bytes.size());
  switch (how) {
    case How::kByExif:
      RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
      out.result = RkExportImageByExif(table.get(), &image, info, nullptr);
      break;
    case How::kCustom: out.result = RkExportCustomExifFile(table.get(), &scale, &scale, info, &image, nullptr); break;
    case How::kDefault: out.result = RkExportDefaultExifFile(table.get(), &scale, &scale, &image, nullptr); break;
  }
  if (out.result == RK_OK) out.bytes.resize(image.dataLength);
  return out;
}

// ---------------------------------------------------------------------------
// Reference fixtures: the exact file and the record afterwards.

class WriteFixture : public testing::TestWithParam<const char*> {};

TEST_P(WriteFixture, WritesTheExactFile) {
  const std::string name = GetParam();
  const Json j = rkexif::LoadJson(rktest::Fixture("exif/" + name + ".json"));
  Bitmap24 bitmap(rktest::LoadPpm(rktest::Fixture("exif/" + j["source"].text)));
  ModuleTable table;
  RkInitCHuffmanTable(table.get());
  RkInitLHuffmanTable(table.get());
  Record r;
  LoadRecord(j["record"], r);
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  image.format = static_cast<uint16_t>(std::stoul(j["imageRecord"]["format"].text, nullptr, 16));
  image.restartInterval = static_cast<uint32_t>(j["imageRecord"]["restartInterval"].Int());
  image.xDpi = static_cast<uint16_t>(j["imageRecord"]["xDpi"].Int());
  image.yDpi = static_cast<uint16_t>(j["imageRecord"]["yDpi"].Int());
  const How how = j["operation"].text == "RkExportImageByExif" ? How::kByExif : How::kCustom;
  const Output out = Export(how, table, bitmap, &r.info, j["quantizeScale"].number, 0, &image);
  ASSERT_EQ(out.result, j["result"].Int());
  const auto expected = rktest::ReadFile(rktest::Fixture("exif/" + j["expected"].text));
  ASSERT_EQ(out.bytes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(out.bytes[i], expected[i]) << "first difference at " << i;
  EXPECT_EQ(r.info.exifVersion, j["recordAfter"]["exifVersion"].Int());
  EXPECT_EQ(r.info.thumbnailLength, j["recordAfter"]["thumbnailLength"].Int());
  EXPECT_EQ(r.info.thumbnail, nullptr);  // never left pointing at freed memory
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteFixture, testing::Values("write_custom_storm", "write_byexif_yflower"));

}  // namespace
