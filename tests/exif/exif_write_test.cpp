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

// ---------------------------------------------------------------------------
// Helpers: little-endian fields of the TIFF block, decoding a stream.

constexpr size_t kTiff = 12;  // SOI, APP1 marker and length, "Exif" 00 00
uint32_t Le16(const std::vector<uint8_t>& f, size_t at) { return f[kTiff + at] | f[kTiff + at + 1] << 8; }
uint32_t Le32(const std::vector<uint8_t>& f, size_t at) { return Le16(f, at) | Le16(f, at + 2) << 16; }

// The value of a tag in the IFD at `ifd` (the entry's value field), or -1.
int64_t Entry(const std::vector<uint8_t>& f, uint32_t ifd, uint16_t tag) {
  for (uint32_t i = 0; i < Le16(f, ifd); ++i) {
    if (Le16(f, ifd + 2 + 12 * i) == tag) return Le32(f, ifd + 2 + 12 * i + 8);
  }
  return -1;
}

rktest::Rgb Decode(const std::vector<uint8_t>& jpeg) {
  const uint32_t size = static_cast<uint32_t>(jpeg.size());
  ImageBlkAttrRec head{};
  if (RkDecodeJFIFHeader(nullptr, jpeg.data(), &size, &head) < 0) return {};
  rktest::Buffer32 out(head.width, head.height);
  ModuleTable table;
  if (RkDecodeJFIF(table.get(), jpeg.data(), &size, out.bytes.data(), head.width * 4, nullptr) != RK_OK) return {};
  return out.ToRgb();
}

// A record with every field set: texts of odd and even lengths with their
// zero byte, an odd maker note, all reals and codes.
void FillRecord(Record& r) {
  r.SetText(r.info.make, r.info.makeLength, r.make, std::string("Kite Cam\0", 9));
  r.SetText(r.info.model, r.info.modelLength, r.model, std::string("K-7 Mark II\0", 12));
  r.SetText(r.info.software, r.info.softwareLength, r.software, std::string("corvid 1.5\0", 11));
  r.SetText(r.info.copyright, r.info.copyrightLength, r.copyright, std::string("A. Writer\0", 10));
  r.SetDates({2003, 11, 2, 17, 45, 9});
  static const uint8_t kNote[5] = {'K', 'N', 1, 2, 3};
  r.info.makerNote = kNote;
  r.info.makerNoteLength = 5;
  r.info.focalLength = 6.3f;
  r.info.fNumber = 2.8f;
  r.info.exposureTime = 1.0f / 125;
  r.info.isoSpeed = 200;
  r.info.shutterSpeed = 1.0f / 125;
  r.info.aperture = 2.8f;
  r.info.brightness = 5.66f;
  r.info.exposureBias = 1.26f;  // +2/3 EV
  r.info.maxAperture = 2.0f;
  r.info.exposureProgram = 3;
  r.info.flash = 1;
  r.info.meteringMode = 2;
  r.info.lightSource = 21;
}

// ---------------------------------------------------------------------------
// exiftool reads what we write without a warning, with the record's values.

struct OracleCase {
  const char* name;
  How how;
  void (*fill)(Record&);
  const char* expect;  // "Group:Tag=value" pairs, ';'-separated; "!Group:" = no tag of that group
};

class ExiftoolReads : public testing::TestWithParam<OracleCase> {};

TEST_P(ExiftoolReads, WithoutWarningAndWithTheRecordsValues) {
  const OracleCase& oc = GetParam();
  Bitmap24 bitmap(rktest::MakePhotoLike(203, 157));
  ModuleTable table;
  Record r;
  oc.fill(r);
  const Output out = Export(oc.how, table, bitmap, &r.info);
  ASSERT_EQ(out.result, RK_OK);
  const std::string path = rkexif::WriteTemp(std::string("rk_exif_") + oc.name + ".jpg", out.bytes);
  const Json tags = rkexif::ExiftoolJson(path, "-a -G1 -all -validate -warning");
  // An arbitrary maker note is one that exiftool cannot recognise: that
  // minor warning alone is expected.
  const bool note = r.info.makerNote != nullptr;
  EXPECT_EQ(tags["ExifTool:Validate"].text, note ? "0 1 1" : "0 0 0");
  for (const auto& [key, value] : tags.members) {
    if (key.find("Warning") == std::string::npos) continue;
    EXPECT_TRUE(note && value.text == "[minor] Unrecognized MakerNotes") << key << ": " << value.text;
  }

  std::string expect = oc.expect;
  for (size_t start = 0; start < expect.size();) {
    const size_t end = std::min(expect.find(';', start), expect.size());
    const std::string item = expect.substr(start, end - start);
    start = end + 1;
    if (item[0] == '!') {
      for (const auto& [key, value] : tags.members) EXPECT_NE(key.rfind(item.substr(1), 0), 0u) << key;
      continue;
    }
    const size_t eq = item.find('=');
    const Json& v = tags[item.substr(0, eq)];
    const std::string want = item.substr(eq + 1);
    if (v.kind == Json::kNumber) {
      EXPECT_NEAR(v.number, std::stod(want), 1e-6) << item;
    } else {
      EXPECT_EQ(v.text, want) << item;
    }
  }

  if (note) {
    EXPECT_EQ(rkexif::Capture("exiftool -b -MakerNotes '" + path + "'"),
              std::string(reinterpret_cast<const char*>(r.info.makerNote), r.info.makerNoteLength));
  }
  if (oc.how == How::kCustom) {
    // The thumbnail: a 160 x 120 JPEG that djpeg decodes cleanly.
    const std::string thumb = testing::TempDir() + "rk_exif_thumb.jpg";
    rkexif::Capture("exiftool -b -ThumbnailImage '" + path + "' > '" + thumb + "'");
    EXPECT_EQ(rkexif::Capture("djpeg -pnm '" + thumb + "' 2>&1 | head -c 11"), "P6\n160 120\n");
    EXPECT_EQ(tags["IFD1:ThumbnailLength"].Int(), r.info.thumbnailLength);
  }
}

void NoFields(Record&) {}
void AllFields(Record& r) { FillRecord(r); }
// Texts as the reader counts them (no zero byte): "Tern" goes to an offset
// with its zero added, "T1" stands in its entry.
void ReaderTexts(Record& r) {
  FillRecord(r);
  r.SetText(r.info.make, r.info.makeLength, r.make, "Tern");
  r.SetText(r.info.model, r.info.modelLength, r.model, "T1");
  r.SetText(r.info.software, r.info.softwareLength, r.software, "abc");
}
// Negative APEX values: 2.5 s, -1 EV bias, brightness 2^-3.
void NegativeApex(Record& r) {
  FillRecord(r);
  r.info.shutterSpeed = 2.5f;
  r.info.exposureBias = 0.70710677f;
  r.info.brightness = 0.125f;
  r.info.exposureTime = 2.5f;
}

INSTANTIATE_TEST_SUITE_P(
    Records, ExiftoolReads,
    testing::Values(
        OracleCase{"Defaults", How::kByExif, NoFields,
                   "ExifIFD:ExifVersion=0200;ExifIFD:ExposureProgram=2;ExifIFD:CompressedBitsPerPixel=2;"
                   "ExifIFD:ExifImageWidth=203;ExifIFD:ExifImageHeight=157;ExifIFD:FlashpixVersion=0100;"
                   "IFD0:XResolution=72;!InteropIFD:;!IFD1:;!IFD0:Make"},
        OracleCase{"AllFields", How::kCustom, AllFields,
                   "IFD0:Make=Kite Cam;IFD0:Model=K-7 Mark II;IFD0:Software=corvid 1.5;IFD0:Copyright=A. Writer;"
                   "IFD0:ModifyDate=2003:11:02 17:45:09;ExifIFD:DateTimeOriginal=2003:11:02 17:45:09;"
                   "ExifIFD:ExifVersion=0210;InteropIFD:InteropIndex=R98;ExifIFD:ExposureTime=0.008;"
                   "ExifIFD:FNumber=2.8;ExifIFD:ISO=200;ExifIFD:ShutterSpeedValue=0.0078125;"
                   "ExifIFD:ExposureCompensation=0.7;ExifIFD:BrightnessValue=2.6;ExifIFD:MeteringMode=2;"
                   "ExifIFD:LightSource=21;ExifIFD:FocalLength=6.3;"
                   "IFD1:Compression=6"},
        OracleCase{"ReaderTexts", How::kCustom, ReaderTexts, "IFD0:Make=Tern;IFD0:Model=T1;IFD0:Software=abc"},
        OracleCase{"NegativeApex", How::kCustom, NegativeApex,
                   "ExifIFD:ShutterSpeedValue=2.63901582154579;ExifIFD:ExposureCompensation=-1.1;"
                   "ExifIFD:BrightnessValue=-3;ExifIFD:ExposureTime=2"}),
    [](const testing::TestParamInfo<OracleCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Value encodings.

TEST(ExifEncoding, RationalsApexAndDates) {
  using rk::exif::EncodeApex;
  using rk::exif::EncodeRational;
  struct R {
    double v;
    uint32_t d;
    bool isSigned;
    bool ok;
    int64_t num, den;
  };
  const R rationals[] = {
      {2.5, 0, false, true, 2, 1},                        // exposure times of a second or more: whole seconds
      {1.0f / 250, 0, false, true, 1, 250},               // shorter ones: 1 / n
      {1.0 / 60, 0, false, true, 1, 60},
      {7.1f, 10, false, true, 71, 10},                    // 7.0999999 + 0.05 -> 71
      {300, 1, false, true, 300, 1},
      {-1, 10, false, false, 0, 0},                       // an unsigned RATIONAL holds no negative value
      {NAN, 10, true, false, 0, 0},
      {5e8, 10, false, false, 0, 0},                      // 5e9 is beyond 32 bits
      {1e-12, 0, false, false, 0, 0},                     // 1 / 1e-12 as a denominator, likewise
      {-3.3, 10, true, true, -32, 10},                    // (0.05 - 3.3) x 10 = -32.5 -> -32 (plain rule)
  };
  for (const R& c : rationals) {
    uint32_t num = 0, den = 0;
    ASSERT_EQ(EncodeRational(c.v, c.d, c.isSigned, num, den), c.ok) << c.v;
    if (!c.ok) continue;
    EXPECT_EQ(c.isSigned ? int64_t{static_cast<int32_t>(num)} : int64_t{num}, c.num) << c.v;
    EXPECT_EQ(den, c.den) << c.v;
  }
  struct A {
    double a;
    bool isSigned, biasAtZero, ok;
    int32_t num;
  };
  const A apex[] = {
      {-std::log2(1.0 / 60), true, false, true, 60},  // 5.907 + 0.05 -> 60/10
      {2.0 / 3, true, true, true, 7},                   // +2/3 EV
      {-2.0 / 3, true, true, true, -7},                 // -2/3 EV: the exact negative
      {-1.3219, true, false, true, -14},                // 2.5 s: -(1.3219 + 0.05 + 0.05) x 10
      {0, true, false, true, 0},                        // the shutter speed adds no bias at 0
      {0, false, true, true, 1},                        // the others always do
      {-0.5, false, true, false, 0},                    // an aperture below F1 in an unsigned RATIONAL
      {NAN, true, true, false, 0},
  };
  for (const A& c : apex) {
    uint32_t num = 0, den = 0;
    ASSERT_EQ(EncodeApex(c.a, c.isSigned, c.biasAtZero, num, den), c.ok) << c.a;
    if (!c.ok) continue;
    EXPECT_EQ(static_cast<int32_t>(num), c.num) << c.a;
    EXPECT_EQ(den, 10u);
  }
  struct D {
    ExifDateTimeRec date;
    const char* text;
  };
  const D dates[] = {{{2025, 3, 14, 9, 26, 53}, "2025:03:14 09:26:53"},
                     {{99, 12, 31, 23, 59, 59}, "1999:12:31 23:59:59"},
                     {{12000, 1, 2, 3, 4, 5}, "9999:01:02 03:04:05"},
                     {{2001, 101, 1, 0, 0, 0}, "2001:01:01 00:00:00"}};  // two digits of the value modulo 100
  for (const D& c : dates) {
    uint8_t out[20];
    std::memset(out, 0xAB, sizeof out);
    rk::exif::FormatDate(c.date, out);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out)), c.text);
  }
}

// ---------------------------------------------------------------------------
// The thumbnail fills a centred rectangle of the black 160 x 120 canvas.

struct FitCase {
  int width, height;
  int left, top, w, h;  // the rectangle, top counted in image rows from the top
};

class ThumbnailFit : public testing::TestWithParam<FitCase> {};

TEST_P(ThumbnailFit, PlacesThePictureInItsRectangle) {
  const FitCase& fc = GetParam();
  Bitmap24 white(fc.width, fc.height, 255);
  ModuleTable table;
  Record r;
  const Output out = Export(How::kCustom, table, white, &r.info);
  ASSERT_EQ(out.result, RK_OK);
  const uint32_t ifd1 = Le32(out.bytes, 4) == 8 ? static_cast<uint32_t>(Le32(out.bytes, 8 + 2 + 12 * Le16(out.bytes, 8))) : 0;
  ASSERT_NE(ifd1, 0u);
  const auto at = static_cast<size_t>(Entry(out.bytes, ifd1, 513));
  const auto len = static_cast<size_t>(Entry(out.bytes, ifd1, 514));
  const rktest::Rgb thumb =
      Decode(std::vector<uint8_t>(out.bytes.begin() + kTiff + at, out.bytes.begin() + kTiff + at + len));
  ASSERT_EQ(thumb.width, 160);
  ASSERT_EQ(thumb.height, 120);
  // Mean brightness of rows and columns; JPEG blurs the edges by a pixel.
  auto mean = [&](bool row, int i) {
    long sum = 0;
    const int n = row ? 160 : 120;
    for (int k = 0; k < n; ++k) sum += thumb.at(row ? k : i, row ? i : k)[1];
    return sum / n;
  };
  for (int y = 0; y < 120; ++y) {
    if (y < fc.top - 1 || y > fc.top + fc.h) {
      EXPECT_LT(mean(true, y), 40) << "row " << y;
    } else if (y > fc.top && y < fc.top + fc.h - 1) {
      EXPECT_GT(mean(true, y), 215 * fc.w / 160) << "row " << y;
    }
  }
  for (int x = 0; x < 160; ++x) {
    if (x < fc.left - 1 || x > fc.left + fc.w) {
      EXPECT_LT(mean(false, x), 40) << "column " << x;
    }
  }
  if (fc.h == 1) {  // the single row is the brightest
    for (int y = 0; y < 120; ++y) EXPECT_LE(mean(true, y), mean(true, fc.top)) << "row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ThumbnailFit,
                         testing::Values(FitCase{300, 200, 0, 7, 160, 106},     // resampled (300 / 160 is 1)
                                         FitCase{1600, 1200, 0, 0, 160, 120},   // shrunk into the whole canvas
                                         FitCase{480, 1300, 58, 0, 44, 120},    // shrunk, pillar-boxed
                                         FitCase{2000, 10, 0, 60, 160, 1}));    // 200 times wider: one row

TEST(ThumbnailFit, ComesOutUprightFromEitherRowOrder) {
  // Red above blue, large enough to be shrunk (which walks stored rows).
  rktest::Rgb pic{640, 480, std::vector<uint8_t>(640 * 480 * 3)};
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) pic.at(x, y)[y < 240 ? 0 : 2] = 255;
  Bitmap24 bottomUp(pic);
  rktest::Buffer32 topDown(pic);
  for (int layout = 0; layout < 2; ++layout) {
    ModuleTable table;
    Record r;
    ImageBlkAttrRec image{};
    if (layout == 0) {
      bottomUp.Describe(image);
    } else {
      topDown.Describe(image);
    }
    image.format = 0x3001;
    const Output out = Export(How::kCustom, table, bottomUp, &r.info, 0.75, 0, &image);
    ASSERT_EQ(out.result, RK_OK);
    const uint32_t ifd1 = static_cast<uint32_t>(Le32(out.bytes, 8 + 2 + 12 * Le16(out.bytes, 8)));
    const auto at = static_cast<size_t>(Entry(out.bytes, ifd1, 513));
    const rktest::Rgb thumb = Decode(std::vector<uint8_t>(out.bytes.begin() + kTiff + at, out.bytes.end()));
    ASSERT_EQ(thumb.width, 160);
    EXPECT_GT(thumb.at(80, 10)[0], 200) << "layout " << layout;
    EXPECT_GT(thumb.at(80, 110)[2], 200) << "layout " << layout;
  }
}

// ---------------------------------------------------------------------------
// What the writers borrow they give back; the output depends only on the
// picture and the record.

TEST(ExifWriterState, GivesBackWhatItBorrows) {
  Bitmap24 bitmap(rktest::MakePhotoLike(64, 48));
  ModuleTable table;
  static const uint8_t kComment[] = "kept";
  RkSetGlobalComment(table.get(), kComment, 4);
  Record r;
  FillRecord(r);
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  image.format = 0x3001;
  image.methodParam = 1234;
  const Output first = Export(How::kCustom, table, bitmap, &r.info, 0.5, 0, &image);
  ASSERT_EQ(first.result, RK_OK);
  EXPECT_EQ(image.methodParam, 1234u);
  uint32_t length = 0;
  EXPECT_EQ(RkGetGlobalComment(table.get(), &length), kComment);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(r.info.thumbnail, nullptr);
  // The quantisation tables are left at the caller's scale.
  ModuleTable reference;
  const double half = 0.5;
  RkSetQuantizeScaleFactor(reference.get(), &half, &half);
  for (int t = 0; t < 3; ++t)
    EXPECT_EQ(0, std::memcmp(table->quantTable[t], reference->quantTable[t], 128)) << "table " << t;

  // A work shop full of junk changes nothing in the file (padding is 0).
  std::vector<uint8_t> shop(70000, 0xAB);
  RkSetCustomModuleTableWorkshop(table.get(), shop.data());
  bitmap.Describe(image);
  image.format = 0x3001;
  const Output second = Export(How::kCustom, table, bitmap, &r.info, 0.5, 0, &image);
  ASSERT_EQ(second.result, RK_OK);
  EXPECT_EQ(second.bytes, first.bytes);
}

TEST(ExifWriterState, CodesWithTheTablesItWrites) {
  // A decoded file's own Huffman tables are still in the module table; the
  // file written next must be coded with the standard tables of its DHT.
  const rktest::Rgb pic = rktest::MakePhotoLike(48, 32);
  Bitmap24 bitmap(pic);
  ModuleTable table;
  HuffCodeRec odd[256];
  for (int s = 0; s < 256; ++s) odd[s] = HuffCodeRec{static_cast<uint16_t>(s), 9};
  RkSetHuffmanTable(table.get(), odd, 2);
  RkSetHuffmanTable(table.get(), odd, 3);
  Record r;
  const Output out = Export(How::kByExif, table, bitmap, &r.info, 0.5);
  ASSERT_EQ(out.result, RK_OK);
  const rktest::Rgb back = Decode(out.bytes);
  ASSERT_EQ(back.width, 48);
  EXPECT_GT(rktest::Compare(back, pic).psnr, 30);
}

TEST(ExifWriterState, CapacityRuleAndShortBuffers) {
  // The same picture as JFIF, plus RK_EXIF_EXPORT_EXTRA, always suffices; the
  // APP1 segment needs its whole length before anything else.
  Bitmap24 bitmap(rktest::MakePhotoLike(64, 64));
  ModuleTable table;
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  image.format = 0x3001;
  std::vector<uint8_t> jfif(100000);
  image.data = jfif.data();
  image.dataLength = static_cast<uint32_t>(jfif.size());
  const double scale = 0.75;
  RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
  ASSERT_EQ(RkExportImageByJFIF(table.get(), &image, nullptr), RK_OK);
  const uint32_t jfifSize = image.dataLength;

  Record r;
  FillRecord(r);
  const Output fits = Export(How::kCustom, table, bitmap, &r.info, scale, jfifSize + RK_EXIF_EXPORT_EXTRA);
  ASSERT_EQ(fits.result, RK_OK);
  const uint32_t app1 = static_cast<uint32_t>(fits.bytes[4] << 8 | fits.bytes[5]);
  EXPECT_LE(fits.bytes.size(), jfifSize - 18 + 2 + app1);
  EXPECT_EQ(Export(How::kCustom, table, bitmap, &r.info, scale, app1 + 3).result, RK_ERR_BUFFER);
}

TEST(ExifWriterState, DefaultExportWritesItsTextsAndTheLocalTime) {
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz != nullptr ? oldTz : "";
  setenv("TZ", "RKT-5:30", 1);  // 5 h 30 min east of UTC
  tzset();
  Bitmap24 bitmap(rktest::MakePhotoLike(40, 30));
  ModuleTable table;
  const std::time_t before = std::time(nullptr);
  const Output out = Export(How::kDefault, table, bitmap, nullptr);
  const std::time_t after = std::time(nullptr);
  ASSERT_EQ(out.result, RK_OK);
  const Json tags = rkexif::ExiftoolJson(rkexif::WriteTemp("rk_exif_default.jpg", out.bytes), "-G1");
  EXPECT_EQ(tags["IFD0:Make"].text, "QUILLBANK");
  EXPECT_EQ(tags["IFD0:Model"].text, "Windows");
  EXPECT_EQ(tags["IFD0:Software"].text, "Pictor");
  EXPECT_EQ(tags["ExifIFD:ExifVersion"].text, "0210");
  auto text = [](std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[20];
    std::strftime(buf, sizeof buf, "%Y:%m:%d %H:%M:%S", &tm);
    return std::string(buf);
  };
  const std::string written = tags["IFD0:ModifyDate"].text;
  EXPECT_TRUE(written == text(before) || written == text(after)) << written;
  EXPECT_EQ(tags["ExifIFD:CreateDate"].text, written);
  if (oldTz != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

// ---------------------------------------------------------------------------
// Refusals: a result code and nothing written.

TEST(ExifWriterRefusals, NullsMissingArraysUnholdableValuesTooLongTexts) {
  Bitmap24 bitmap(rktest::MakePhotoLike(16, 16));
  ModuleTable table;
  Record r;
  ImageBlkAttrRec image{};
  const double scale = 1;
  EXPECT_EQ(RkExportImageByExif(nullptr, &image, &r.info, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkExportImageByExif(table.get(), nullptr, &r.info, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkExportCustomExifFile(table.get(), &scale, &scale, nullptr, &image, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkExportDefaultExifFile(table.get(), &scale, &scale, nullptr, nullptr), RK_ERR_NULL);
  ModuleTable broken;
  uint16_t* q = broken->quantTable[1];
  broken->quantTable[1] = nullptr;
  EXPECT_EQ(RkExportDefaultExifFile(broken.get(), &scale, &scale, &image, nullptr), RK_ERR_NULL);
  broken->quantTable[1] = q;

  struct Bad {
    const char* what;
    void (*spoil)(Record&);
  };
  static std::vector<uint8_t> longNote(65000, 7);
  const Bad bad[] = {
      {"aperture below F1", [](Record& x) { x.info.aperture = 0.5f; }},
      {"infinite focal length", [](Record& x) { x.info.focalLength = INFINITY; }},
      {"NaN bits per pixel", [](Record& x) { x.info.compressedBitsPerPixel = NAN; }},
      {"texts and maker note beyond one block",
       [](Record& x) {
         x.info.makerNote = longNote.data();
         x.info.makerNoteLength = 65000;
         x.SetText(x.info.copyright, x.info.copyrightLength, x.copyright, std::string(600, 'c'));
       }},
  };
  for (const Bad& b : bad) {
    for (How how : {How::kByExif, How::kCustom}) {
      Record x;
      FillRecord(x);
      b.spoil(x);
      const Output out = Export(how, table, bitmap, &x.info, 0.75, 4000);
      EXPECT_EQ(out.result, RK_ERR_UNSUPPORTED) << b.what;
      EXPECT_EQ(out.bytes, std::vector<uint8_t>(4000, 0xEE)) << b.what;
      EXPECT_EQ(x.info.exifVersion, 210) << b.what;
    }
  }
}

}  // namespace
