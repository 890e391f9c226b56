// The Exif reader: the reference fixtures, files made by exiftool in both
// byte orders and four Exif versions, round trips through our writer, and
// hostile blocks that must end in a result code.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <initializer_list>
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
  std::vector<uint8_t> bytes;  // the file: the record's texts point into it
  int16_t check = 0;
  int32_t app1 = 0;
  int16_t result = 0;
  ImageBlkAttrRec image{};
  ExifTagInfoRec info{};
};

// The program's calling order, over a copy of the file cut at the limit so
// that a read past it shows under the address sanitizer. The copy moves
// with the result.
Read ReadFile(const std::vector<uint8_t>& file) {
  Read r;
  r.bytes = file;
  r.check = RkCheckExifFile(r.bytes.data(), static_cast<int32_t>(r.bytes.size()), &r.app1);
  if (r.check != 12) return r;
  const int32_t limit = std::min<int32_t>(r.app1, static_cast<int32_t>(r.bytes.size()) - 12);
  r.bytes.resize(static_cast<size_t>(limit) + 12);
  r.bytes.shrink_to_fit();
  std::memset(&r.info, 0xAB, sizeof r.info);  // fields read before they are set show
  RkInitExifTagVers(&r.info);
  r.result = RkDecodeExifHeader(r.bytes.data() + 12, &limit, &r.image, &r.info);
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

// ---------------------------------------------------------------------------
// Files made by exiftool: our reader agrees with exiftool's own reading of
// every kept tag, in both byte orders, four Exif versions, with and without
// an IFD1 thumbnail.

// A bare JPEG (no APP segment) of a picture, from our own writer.
std::vector<uint8_t> BareJpeg(int w, int h) {
  rktest::Bitmap24 bitmap(rktest::MakePhotoLike(w, h));
  ModuleTable table;
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  image.format = 0x3001;
  std::vector<uint8_t> out(100000);
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  EXPECT_EQ(RkExportImageByExif(table.get(), &image, nullptr, nullptr), RK_OK);
  out.resize(image.dataLength);
  return out;
}

struct MadeCase {
  const char* order;
  const char* version;
  bool thumbnail;
};

class ExiftoolMade : public testing::TestWithParam<MadeCase> {};

TEST_P(ExiftoolMade, ReadsWhatExiftoolReads) {
  const MadeCase& mc = GetParam();
  const std::string name = std::string("rk_made_") + mc.order + mc.version + (mc.thumbnail ? "t" : "") + ".jpg";
  const std::string path = rkexif::WriteTemp(name, BareJpeg(96, 64));
  std::string args = std::string("-ExifByteOrder=") + mc.order + " -ExifIFD:ExifVersion=" + mc.version +
                     " -Make='Lumen Works' -Model=Q5 -Software='Capture 5.0.1' -Copyright='(c) 2008 B. Q.'"
                     " -ModifyDate='2019:10:11 12:13:14' -DateTimeOriginal='2019:10:11 12:13:00'"
                     " -CreateDate='2019:10:11 12:13:01' -XResolution=300 -YResolution=300 -ResolutionUnit=inches"
                     " -ExposureTime=0.002 -FNumber=8 -ExposureProgram=3 -ISO=400 -ShutterSpeedValue=0.002"
                     " -ApertureValue=8 -BrightnessValue=5.5 -ExposureCompensation=-1 -MaxApertureValue=2.8"
                     " -SubjectDistance=3.5 -MeteringMode=5 -LightSource=17 -ExifIFD:Flash=9 -FocalLength=35"
                     " -CompressedBitsPerPixel=3 -FlashpixVersion=0100 -ColorSpace=65535 -ExifImageWidth=96"
                     " -ExifImageHeight=64 -FocalPlaneXResolution=2000 -FocalPlaneYResolution=1500"
                     " -FocalPlaneResolutionUnit=3";
  if (mc.thumbnail) {
    const std::string thumb = rkexif::WriteTemp("rk_made_thumb.jpg", BareJpeg(16, 12));
    args += " '-ThumbnailImage<=" + thumb + "' -IFD1:XResolution=96 -IFD1:YResolution=96";
  }
  rkexif::Capture("exiftool -q -n -overwrite_original " + args + " '" + path + "' 2>&1");
  const Json t = rkexif::ExiftoolJson(path, "-G1");
  ASSERT_EQ(t["File:ExifByteOrder"].text, mc.order);

  const Read r = ReadFile(rktest::ReadFile(path));
  ASSERT_EQ(r.check, 12);
  ASSERT_EQ(r.result, std::stoi(mc.version));
  const ExifTagInfoRec& i = r.info;
  EXPECT_EQ(Text(i.make, i.makeLength), t["IFD0:Make"].text);
  EXPECT_EQ(Text(i.model, i.modelLength), t["IFD0:Model"].text);
  EXPECT_EQ(Text(i.software, i.softwareLength), t["IFD0:Software"].text);
  EXPECT_EQ(Text(i.copyright, i.copyrightLength), t["IFD0:Copyright"].text);
  EXPECT_EQ(std::string(static_cast<const char*>(i.dateTime)), t["IFD0:ModifyDate"].text);
  EXPECT_EQ(std::string(static_cast<const char*>(i.dateTimeOriginal)), t["ExifIFD:DateTimeOriginal"].text);
  EXPECT_EQ(std::string(static_cast<const char*>(i.dateTimeDigitized)), t["ExifIFD:CreateDate"].text);
  const std::string group = mc.thumbnail ? "IFD1:" : "IFD0:";  // the later IFD's resolution wins
  EXPECT_EQ(r.image.xDpi, t[group + "XResolution"].Int());
  EXPECT_EQ(r.image.yDpi, t[group + "YResolution"].Int());
  EXPECT_EQ(r.image.width, t["ExifIFD:ExifImageWidth"].Int());
  EXPECT_EQ(r.image.height, t["ExifIFD:ExifImageHeight"].Int());
  // exiftool's -n values: shutter speed in seconds, apertures as F numbers,
  // brightness and bias as APEX values (ours: 2^v and 2^(v/2)).
  const Number reals[] = {{"ExifIFD:ExposureTime", i.exposureTime},
                          {"ExifIFD:FNumber", i.fNumber},
                          {"ExifIFD:ShutterSpeedValue", i.shutterSpeed},
                          {"ExifIFD:ApertureValue", i.aperture},
                          {"ExifIFD:BrightnessValue", std::log2(i.brightness)},
                          {"ExifIFD:ExposureCompensation", 2 * std::log2(i.exposureBias)},
                          {"ExifIFD:MaxApertureValue", i.maxAperture},
                          {"ExifIFD:CompressedBitsPerPixel", i.compressedBitsPerPixel},
                          {"ExifIFD:SubjectDistance", i.subjectDistance},
                          {"ExifIFD:FocalLength", i.focalLength},
                          {"ExifIFD:FocalPlaneXResolution", i.focalPlaneXResolution},
                          {"ExifIFD:FocalPlaneYResolution", i.focalPlaneYResolution}};
  for (const Number& n : reals) EXPECT_NEAR(n.value, t[n.name].Num(), 1e-5 * std::fabs(n.value) + 1e-6) << n.name;
  const Number codes[] = {{"ExifIFD:ExposureProgram", i.exposureProgram},
                          {"ExifIFD:ISO", i.isoSpeed},
                          {"ExifIFD:MeteringMode", i.meteringMode},
                          {"ExifIFD:LightSource", i.lightSource},
                          {"ExifIFD:Flash", i.flash},
                          {"ExifIFD:ColorSpace", i.colorSpace},
                          {"ExifIFD:FocalPlaneResolutionUnit", i.focalPlaneResolutionUnit}};
  for (const Number& n : codes) EXPECT_EQ(n.value, t[n.name].Num()) << n.name;
  EXPECT_EQ(i.meteringMode * 10000 + i.lightSource * 100 + i.flash, 51709);  // exiftool wrote them all
  EXPECT_EQ(i.colorSpace, 65535);
  EXPECT_EQ(i.exifVersion, std::stoi(mc.version));
  EXPECT_EQ(i.flashpixVersion, 100);
  EXPECT_EQ(i.thumbnail, nullptr);  // the reader does not extract the thumbnail
}

INSTANTIATE_TEST_SUITE_P(Files, ExiftoolMade,
                         testing::Values(MadeCase{"MM", "0220", true}, MadeCase{"II", "0230", false},
                                         MadeCase{"II", "0100", true}, MadeCase{"MM", "0210", false}),
                         [](const testing::TestParamInfo<MadeCase>& info) {
                           return std::string(info.param.order) + info.param.version +
                                  (info.param.thumbnail ? "Thumb" : "");
                         });

// ---------------------------------------------------------------------------
// Round trip through our writer: the record comes back (APEX values within
// the writer's tenths and bias), the image size and resolution too.

TEST(ExifRoundTrip, WriterRecordReadsBack) {
  rktest::Bitmap24 bitmap(rktest::MakePhotoLike(90, 70));
  ModuleTable table;
  static const uint8_t kNote[3] = {1, 2, 3};
  const ExifDateTimeRec date{2008, 5, 17, 16, 45, 30};
  ExifTagInfoRec w{};
  RkInitExifTagVers(&w);
  RkInitExifTagInfo(&w);
  w.make = "Tern";
  w.makeLength = 4;  // without its zero, as the reader counts
  w.model = "T1";
  w.modelLength = 3;
  w.dateTime = w.dateTimeOriginal = w.dateTimeDigitized = &date;
  w.makerNote = kNote;
  w.makerNoteLength = 3;
  w.fNumber = 5.6f;
  w.shutterSpeed = 1.0f / 60;
  w.exposureBias = 0.5f;  // -2 EV
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  image.format = 0x3001;
  image.xDpi = 200;
  image.yDpi = 150;
  std::vector<uint8_t> out(200000);
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  const double scale = 1;
  ASSERT_EQ(RkExportCustomExifFile(table.get(), &scale, &scale, &w, &image, nullptr), RK_OK);
  out.resize(image.dataLength);

  const Read r = ReadFile(out);
  ASSERT_EQ(r.result, 210);
  const ExifTagInfoRec& i = r.info;
  EXPECT_EQ(Text(i.make, i.makeLength) + Text(i.model, i.modelLength), "TernT1");
  EXPECT_EQ(std::string(static_cast<const char*>(i.dateTimeDigitized)), "2008:05:17 16:45:30");
  EXPECT_EQ(std::vector<uint8_t>(i.makerNote, i.makerNote + i.makerNoteLength), std::vector<uint8_t>(kNote, kNote + 3));
  EXPECT_FLOAT_EQ(i.fNumber, 5.6f);
  EXPECT_NEAR(std::log2(i.shutterSpeed), std::log2(1.0 / 60), 0.1);  // tenths of APEX and the bias
  EXPECT_NEAR(std::log2(i.exposureBias), -1, 0.05);
  EXPECT_EQ(i.exposureProgram * 1000 + i.flashpixVersion, 2100);
  EXPECT_FLOAT_EQ(i.compressedBitsPerPixel, 2.0f);
  EXPECT_EQ(r.image.width * 1000 + r.image.height, 90070);  // PixelX/YDimension
  EXPECT_EQ(r.image.xDpi * 1000 + r.image.yDpi, 200150);    // IFD1's, which repeats IFD0's
}

// ---------------------------------------------------------------------------
// Hostile blocks: every prefix of a real one, and hand-made faults. Each
// ends in a result code; the copies are exactly as long as the limit, so a
// read beyond it shows under the address sanitizer.

int16_t Decode(std::vector<uint8_t>& tiff, ImageBlkAttrRec* image, ExifTagInfoRec& info) {
  tiff.shrink_to_fit();  // no spare capacity behind the last byte
  const auto limit = static_cast<int32_t>(tiff.size());
  RkInitExifTagVers(&info);
  return RkDecodeExifHeader(tiff.empty() ? reinterpret_cast<const uint8_t*>("") : tiff.data(), &limit, image, &info);
}

TEST(ExifHostile, EveryPrefixOfARealBlock) {
  const std::vector<uint8_t> file = rktest::ReadFile(rktest::Fixture("exif/read_storm_MM_0220_thumb.jpg"));
  const size_t n = static_cast<size_t>(file[4] << 8 | file[5]) - 8;
  const std::vector<uint8_t> tiff(file.begin() + 12, file.begin() + 12 + static_cast<long>(n));
  for (size_t len = 0; len <= n; ++len) {
    ExifTagInfoRec info;
    ImageBlkAttrRec image{};
    std::vector<uint8_t> prefix(tiff.begin(), tiff.begin() + static_cast<long>(len));
    const int16_t r = Decode(prefix, &image, info);
    ASSERT_TRUE(r == RK_ERR_BUFFER || r == 220) << "prefix " << len << ": " << r;
    if (r == RK_ERR_BUFFER) {
      ASSERT_EQ(image.width, 0) << "prefix " << len;
    }
  }
}

// A little-endian TIFF block put together entry by entry.
struct Block {
  std::vector<uint8_t> b{'I', 'I', 42, 0, 8, 0, 0, 0};
  void Set16(size_t at, uint32_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  void Set32(size_t at, uint32_t v) {
    Set16(at, v & 0xFFFF);
    Set16(at + 2, v >> 16);
  }
  // An IFD at `at` with (tag, type, count, value) entries and a next offset.
  void Ifd(size_t at, std::initializer_list<std::array<uint32_t, 4>> entries, uint32_t next = 0) {
    Set16(at, static_cast<uint32_t>(entries.size()));
    size_t p = at + 2;
    for (const auto& e : entries) {
      Set16(p, e[0]);
      Set16(p + 2, e[1]);
      Set32(p + 4, e[2]);
      Set32(p + 8, e[3]);
      p += 12;
    }
    Set32(p, next);
  }
  void Bytes(size_t at, const std::string& s) {
    if (b.size() < at + s.size()) b.resize(at + s.size());
    std::copy(s.begin(), s.end(), b.begin() + static_cast<long>(at));
  }
};

constexpr uint32_t kExifAt = 100;  // where the hand-made blocks keep their Exif IFD

struct HostileCase {
  const char* name;
  int16_t result;
  uint16_t xDpi;  // what the image record holds afterwards
  void (*make)(Block&);
};

class ExifHostileBlock : public testing::TestWithParam<HostileCase> {};

TEST_P(ExifHostileBlock, EndsWithItsResult) {
  const HostileCase& hc = GetParam();
  Block blk;
  hc.make(blk);
  ExifTagInfoRec info;
  ImageBlkAttrRec image{};
  EXPECT_EQ(Decode(blk.b, &image, info), hc.result);
  EXPECT_EQ(image.xDpi, hc.xDpi);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExifHostileBlock,
    testing::Values(
        HostileCase{"IfdLoop", 230, 72, [](Block& k) {
                      k.Ifd(8, {{{34665, 4, 1, kExifAt}}}, 8);
                      k.Ifd(kExifAt, {{{36864, 7, 4, 0x30333230}}}, kExifAt);
                    }},
        HostileCase{"TwoIfdLoop", 0, 300, [](Block& k) {
                      k.Ifd(8, {{{282, 5, 1, 60}}}, 40);
                      k.Set32(60, 300);
                      k.Set32(64, 1);
                      k.Ifd(40, {}, 8);
                    }},
        HostileCase{"HugeEntryCount", RK_ERR_BUFFER, 72, [](Block& k) { k.Ifd(8, {}); k.Set16(8, 0xFFFF); }},
        HostileCase{"Ifd0PastLimit", RK_ERR_BUFFER, 72, [](Block& k) { k.Set32(4, 0x7FFFFFF0); }},
        HostileCase{"NextIfdPastLimit", RK_ERR_BUFFER, 72, [](Block& k) { k.Ifd(8, {}, 5000); }},
        HostileCase{"ExifIfdPastLimit", RK_ERR_BUFFER, 72, [](Block& k) { k.Ifd(8, {{{34665, 4, 1, 0xFFFFFFF0}}}); }},
        HostileCase{"TextOffsetPastLimit", RK_ERR_BUFFER, 72, [](Block& k) { k.Ifd(8, {{{271, 2, 10, 0xFFFFFFF8}}}); }},
        HostileCase{"UnterminatedText", RK_ERR_BUFFER, 72, [](Block& k) {
                      k.Ifd(8, {{{271, 2, 0xFFFF, 30}}});
                      k.Bytes(30, "Heron");
                    }},
        HostileCase{"UnterminatedDate", RK_ERR_BUFFER, 72, [](Block& k) {
                      k.Ifd(8, {{{306, 2, 20, 30}}});
                      k.Bytes(30, "2001:01:01 00:00:00#");
                    }},
        HostileCase{"HugeMakerNote", RK_ERR_BUFFER, 72, [](Block& k) {
                      k.Ifd(8, {{{34665, 4, 1, kExifAt}}});
                      k.Ifd(kExifAt, {{{37500, 5, 0x20000001, 8}}});
                    }},
        HostileCase{"RationalPastLimit", RK_ERR_BUFFER, 72, [](Block& k) { k.Ifd(8, {{{282, 5, 1, 28}}}); }},
        HostileCase{"ZeroDenominator", 0, 72, [](Block& k) {
                      k.Ifd(8, {{{282, 5, 1, 40}}});
                      k.Set32(40, 300);
                      k.Set32(44, 0);
                    }},
        HostileCase{"MinOverMinusOne", 0, 72, [](Block& k) {
                      k.Ifd(8, {{{282, 10, 1, 40}}});
                      k.Set32(40, 0x80000000);
                      k.Set32(44, 0xFFFFFFFF);
                    }},
        HostileCase{"VersionNotDigits", 0, 72, [](Block& k) {
                      k.Ifd(8, {{{34665, 4, 1, kExifAt}}});
                      k.Ifd(kExifAt, {{{36864, 7, 4, 0x30FF3230}}});
                    }},
        HostileCase{"ByteOrder", RK_ERR_FORMAT, 72, [](Block& k) { k.b[1] = 'M'; }},
        HostileCase{"NotFortyTwo", RK_ERR_FORMAT, 72, [](Block& k) { k.b[2] = 43; k.Ifd(8, {}); }},
        HostileCase{"TooShortForTheHeader", RK_ERR_BUFFER, 72, [](Block& k) { k.b.resize(6); }}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST(ExifHostile, TextsStopAtTheirCountSizesFromIfd0NullsRefused) {
  Block k;
  // "ABCD" fills its entry without a zero; the size from ImageWidth (SHORT)
  // and ImageLength (LONG) when there is no Exif IFD.
  k.Ifd(8, {{{256, 3, 1, 640}}, {{257, 4, 1, 480}}, {{271, 2, 4, 0x44434241}}, {{272, 2, 6, 70}}});
  k.Bytes(70, "XYZWVUT");
  ExifTagInfoRec info;
  ImageBlkAttrRec image{};
  EXPECT_EQ(Decode(k.b, &image, info), 0);
  EXPECT_EQ(image.width * 1000 + image.height, 640480);
  EXPECT_EQ(Text(info.make, info.makeLength), "ABCD");
  EXPECT_EQ(Text(info.model, info.modelLength), "XYZWVU");
  const int32_t limit = 100;
  EXPECT_EQ(RkDecodeExifHeader(nullptr, &limit, nullptr, &info), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeExifHeader(k.b.data(), nullptr, nullptr, &info), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeExifHeader(k.b.data(), &limit, nullptr, nullptr), RK_ERR_NULL);
  int32_t app1 = -7;
  const uint8_t notExif[12] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1};
  EXPECT_EQ(RkCheckExifFile(notExif, 12, &app1), RK_ERR_FORMAT);
  EXPECT_EQ(RkCheckExifFile(notExif, 11, &app1), RK_ERR_FORMAT);
  EXPECT_EQ(RkCheckExifFile(nullptr, 12, &app1), RK_ERR_NULL);
  EXPECT_EQ(app1, -7);
}

TEST(ExifHostile, VersionOneRecordIsNotTouchedPastItsEnd) {
  // A version-1 record ends after makerNoteLength: an allocation of exactly
  // that size shows any write (or read) past it.
  const size_t size = offsetof(ExifTagInfoRec, subjectDistance);
  auto* info = static_cast<ExifTagInfoRec*>(std::malloc(size));
  ASSERT_NE(info, nullptr);
  info->version = 1;
  RkInitExifTagInfo(info);
  rktest::Bitmap24 bitmap(rktest::MakePhotoLike(16, 16));
  ModuleTable table;
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  image.format = 0x3001;
  std::vector<uint8_t> out(20000);
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  ASSERT_EQ(RkExportImageByExif(table.get(), &image, info, nullptr), RK_OK);
  const std::vector<uint8_t> file(out.begin(), out.begin() + image.dataLength);
  const int32_t limit = (file[4] << 8 | file[5]) - 8;
  EXPECT_EQ(RkDecodeExifHeader(file.data() + 12, &limit, nullptr, info), 200);
  EXPECT_EQ(info->version, 1);
  std::free(info);
}

}  // namespace
