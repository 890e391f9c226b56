// CExif's lines on records filled by hand, and the text file they are saved as.
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

#include "app_support.h"
#include "document.h"
#include "exif_text.h"

using corvid::CExif;

namespace {

// A record as the reader leaves it: filled with junk first, so that a field
// read before it is set shows, then the fields a test names.
ExifTagInfoRec Record(int32_t version = 2) {
  ExifTagInfoRec r;
  std::memset(&r, 0xAB, sizeof r);
  r.version = version;
  r.make = r.model = r.software = r.copyright = nullptr;
  r.makeLength = r.modelLength = r.softwareLength = r.copyrightLength = 0;
  r.dateTime = r.dateTimeOriginal = r.dateTimeDigitized = nullptr;
  r.focalLength = r.fNumber = r.exposureTime = r.shutterSpeed = r.aperture = 0;
  r.brightness = r.exposureBias = r.maxAperture = r.subjectDistance = 0;
  r.focalPlaneXResolution = r.focalPlaneYResolution = 0;
  r.isoSpeed = r.exposureProgram = r.flash = r.meteringMode = r.lightSource = 0;
  return r;
}

std::vector<std::string> Lines(const CExif& exif) {
  std::vector<std::string> lines;
  int16_t index = 0;
  for (QString line = exif.NextLine(&index); !line.isEmpty(); line = exif.NextLine(&index)) {
    lines.push_back(line.toStdString());
    if (lines.size() > 30) break;
  }
  return lines;
}

std::vector<std::string> LinesOf(const ExifTagInfoRec& r) {
  CExif exif;
  exif.LoadFromRecord(r);
  return Lines(exif);
}

using Lines_t = std::vector<std::string>;

TEST(ExifLines, FlashAloneGivesOneLine) {
  EXPECT_EQ(LinesOf(Record()), Lines_t{"Flash:No"});
}

TEST(ExifLines, NoInformationWithoutAVersion) {
  ExifTagInfoRec r = Record(0);
  r.isoSpeed = 100;
  CExif exif;
  exif.LoadFromRecord(r);
  EXPECT_FALSE(exif.HasInfo());
  EXPECT_TRUE(Lines(exif).empty());
  exif.Clear();
  EXPECT_FALSE(exif.HasInfo());
}

TEST(ExifLines, EveryFieldInOrder) {
  ExifTagInfoRec r = Record();
  r.make = "QUILLBANK";
  r.makeLength = 9;
  r.model = "Pictor";
  r.modelLength = 6;
  r.software = "Corvid32";
  r.softwareLength = 8;
  r.copyright = "(c) Me";
  r.copyrightLength = 6;
  r.dateTime = "2024:01:02 03:04:05";
  r.dateTimeOriginal = "2023:05:06 07:08:09";
  r.dateTimeDigitized = "2022:10:11 12:13:14";
  r.focalLength = 5.4f;
  r.fNumber = 2.8f;
  r.exposureTime = 0.5f;
  r.isoSpeed = 100;
  r.shutterSpeed = 2.0f;
  r.aperture = 11.0f;
  r.brightness = 3.25f;
  r.exposureBias = 1.5f;
  r.maxAperture = 2.0f;
  r.exposureProgram = 2;
  r.flash = 1;
  r.subjectDistance = 1.25f;
  r.meteringMode = 2;
  r.lightSource = 21;
  r.focalPlaneXResolution = 1234.5f;
  r.focalPlaneYResolution = 99.125f;
  EXPECT_EQ(LinesOf(r), (Lines_t{"Manufacture:QUILLBANK",
                                 "Model:Pictor",
                                 "Software:Corvid32",
                                 "Copyright:(c) Me",
                                 "DateTime:2024:01:02 03:04:05",
                                 "DateTime Original:2023:05:06 07:08:09",
                                 "DateTime Digitized:2022:10:11 12:13:14",
                                 "Focal Length: 5.4mm",
                                 "F Number:F 2.8",
                                 "Exposure Time:1/2sec",
                                 "ISO:100",
                                 "Shutter Speed:  2.0secs",
                                 "Aperture:F11.0",
                                 "Brightness:  3.25",
                                 "Exposure Bias:1.50",
                                 "Aperture Max:F 2.0",
                                 "Normal Program",
                                 "Flash:Yes",
                                 "Distance: 1.25m",
                                 "Metering:Center Weighted Average",
                                 "Light Source:D65",
                                 "FocalPlaneXResolution:1234.50",
                                 "FocalPlaneYResolution: 99.12"}));
}

struct TimeCase {
  float seconds;
  const char* exposure;
  const char* shutter;
};
void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.seconds << " s"; }

class ExposureTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ExposureTimes, ReciprocalTruncatedOrSeconds) {
  ExifTagInfoRec r = Record();
  r.exposureTime = GetParam().seconds;
  r.shutterSpeed = GetParam().seconds;
  EXPECT_EQ(LinesOf(r), (Lines_t{GetParam().exposure, GetParam().shutter, "Flash:No"}));
}

INSTANTIATE_TEST_SUITE_P(
    Times, ExposureTimes,
    ::testing::Values(TimeCase{0.5f, "Exposure Time:1/2sec", "Shutter Speed:1/2sec"},
                      TimeCase{2.0f, "Exposure Time:  2.0secs", "Shutter Speed:  2.0secs"},
                      TimeCase{1.0f, "Exposure Time:  1.0secs", "Shutter Speed:  1.0secs"},
                      // 1/60 as a float: 1/t is just below 60 and truncated.
                      TimeCase{1.0f / 60.0f, "Exposure Time:1/59sec", "Shutter Speed:1/59sec"},
                      // 1/250 likewise: 0.004f is a little above 0.004.
                      TimeCase{0.004f, "Exposure Time:1/249sec", "Shutter Speed:1/249sec"},
                      TimeCase{0.25f, "Exposure Time:1/4sec", "Shutter Speed:1/4sec"},
                      TimeCase{123.4f, "Exposure Time:123.4secs", "Shutter Speed:123.4secs"},
                      // 2^-30 s has an int reciprocal; 2^-31 s (2147483648) and
                      // anything shorter has none and is shown in seconds.
                      TimeCase{0x1p-30f, "Exposure Time:1/1073741824sec", "Shutter Speed:1/1073741824sec"},
                      TimeCase{0x1p-31f, "Exposure Time:  0.0secs", "Shutter Speed:  0.0secs"},
                      TimeCase{1e-30f, "Exposure Time:  0.0secs", "Shutter Speed:  0.0secs"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(ExifLines, NegativeExposureBiasIsKeptButHasNoLine) {
  ExifTagInfoRec r = Record();
  r.exposureBias = -0.7f;
  EXPECT_EQ(LinesOf(r), Lines_t{"Flash:No"});
  // Zero or negative reals and zero codes are absent.
  r.focalLength = -1.0f;
  r.isoSpeed = 0;
  EXPECT_EQ(LinesOf(r), Lines_t{"Flash:No"});
}

struct CodeCase {
  uint16_t value;
  const char* text;
};
void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.value << " -> " << c.text; }

class ExposurePrograms : public ::testing::TestWithParam<CodeCase> {};
TEST_P(ExposurePrograms, Name) {
  ExifTagInfoRec r = Record();
  r.exposureProgram = GetParam().value;
  EXPECT_EQ(LinesOf(r), (Lines_t{GetParam().text, "Flash:No"}));
}
INSTANTIATE_TEST_SUITE_P(
    Table, ExposurePrograms,
    ::testing::Values(CodeCase{1, "Manual"}, CodeCase{2, "Normal Program"},
                      CodeCase{3, "Averture Prior"}, CodeCase{4, "Shutter Prior"},
                      CodeCase{5, "Creative Program"}, CodeCase{6, "Action Program"},
                      CodeCase{7, "Portrait"}, CodeCase{8, "Landscape"}, CodeCase{9, "Unknown"},
                      CodeCase{65535, "Unknown"}),
    [](const auto& info) { return "Value" + std::to_string(info.param.value); });

class FlashCodes : public ::testing::TestWithParam<CodeCase> {};
TEST_P(FlashCodes, Text) {
  ExifTagInfoRec r = Record();
  r.flash = GetParam().value;
  EXPECT_EQ(LinesOf(r), Lines_t{GetParam().text});
}
INSTANTIATE_TEST_SUITE_P(Table, FlashCodes,
                         ::testing::Values(CodeCase{0, "Flash:No"}, CodeCase{1, "Flash:Yes"},
                                           CodeCase{5, "Flash:No Return"}, CodeCase{7, "Flash:Return"},
                                           CodeCase{2, "Flash:Unknown"}, CodeCase{16, "Flash:Unknown"}),
                         [](const auto& info) { return "Value" + std::to_string(info.param.value); });

class MeteringModes : public ::testing::TestWithParam<CodeCase> {};
TEST_P(MeteringModes, Text) {
  ExifTagInfoRec r = Record();
  r.meteringMode = GetParam().value;
  EXPECT_EQ(LinesOf(r), (Lines_t{"Flash:No", GetParam().text}));
}
INSTANTIATE_TEST_SUITE_P(
    Table, MeteringModes,
    ::testing::Values(CodeCase{1, "Metering:Average"}, CodeCase{2, "Metering:Center Weighted Average"},
                      CodeCase{3, "Metering:Spot"}, CodeCase{4, "Metering:Multi Spot"},
                      CodeCase{5, "Metering:Pattern"}, CodeCase{6, "Metering:Partial"},
                      CodeCase{7, "Metering:Unknown"}, CodeCase{255, "Metering:Unknown"}),
    [](const auto& info) { return "Value" + std::to_string(info.param.value); });

class LightSources : public ::testing::TestWithParam<CodeCase> {};
TEST_P(LightSources, Text) {
  ExifTagInfoRec r = Record();
  r.lightSource = GetParam().value;
  EXPECT_EQ(LinesOf(r), (Lines_t{"Flash:No", GetParam().text}));
}
INSTANTIATE_TEST_SUITE_P(
    Table, LightSources,
    ::testing::Values(CodeCase{1, "Light Source:Daylight"}, CodeCase{2, "Light Source:Fluorescent"},
                      CodeCase{3, "Light Source:Tungsten"}, CodeCase{17, "Light Source:A"},
                      CodeCase{18, "Light Source:B"}, CodeCase{19, "Light Source:C"},
                      CodeCase{20, "Light Source:D55"}, CodeCase{21, "Light Source:D65"},
                      CodeCase{22, "Light Source:D75"}, CodeCase{4, "Light Source:Unknown"},
                      CodeCase{255, "Light Source:Unknown"}),
    [](const auto& info) { return "Value" + std::to_string(info.param.value); });

TEST(ExifLines, FirstLayoutRecordsHaveNoTailFields) {
  ExifTagInfoRec r = Record(1);
  r.subjectDistance = 3.0f;
  r.meteringMode = 1;
  r.lightSource = 1;
  r.focalPlaneXResolution = 10.0f;
  EXPECT_EQ(LinesOf(r), Lines_t{"Flash:No"});
}

TEST(ExifLines, CursorResumesAfterTheLastLineAndEndsEmpty) {
  ExifTagInfoRec r = Record();
  r.model = "M";
  r.modelLength = 1;
  r.isoSpeed = 50;
  CExif exif;
  exif.LoadFromRecord(r);
  int16_t index = 0;
  EXPECT_EQ(exif.NextLine(&index), "Model:M");
  EXPECT_EQ(index, 2);
  EXPECT_EQ(exif.NextLine(&index), "ISO:50");
  EXPECT_EQ(index, 11);
  EXPECT_EQ(exif.NextLine(&index), "Flash:No");
  EXPECT_EQ(exif.NextLine(&index), "");
  EXPECT_EQ(index, 23);
  EXPECT_EQ(exif.NextLine(&index), "");
}

TEST(ExifLines, LoadKeepsFieldsTheRecordDoesNotGive) {
  CExif exif;
  ExifTagInfoRec first = Record();
  first.make = "A";
  first.makeLength = 1;
  exif.LoadFromRecord(first);
  ExifTagInfoRec second = Record();
  second.isoSpeed = 200;
  exif.LoadFromRecord(second);
  EXPECT_EQ(Lines(exif), (Lines_t{"Manufacture:A", "ISO:200", "Flash:No"}));
  exif.Clear();
  EXPECT_TRUE(Lines(exif).empty());
}

TEST(ExifLines, UnterminatedDateIsReadToNineteenCharacters) {
  char date[19];
  std::memcpy(date, "2020:02:03 04:05:06", 19);  // no terminating zero
  ExifTagInfoRec r = Record();
  r.dateTime = date;
  EXPECT_EQ(LinesOf(r), (Lines_t{"DateTime:2020:02:03 04:05:06", "Flash:No"}));
}

// Texts whose bytes are valid UTF-8 show as UTF-8, any other bytes as
// Latin-1; the saved text is UTF-8 either way.
TEST(ExifLines, TextsAreUtf8OrElseLatin1) {
  struct Case {
    const char* bytes;
    const char* shown;  // UTF-8
  };
  for (const Case c : {Case{"\xC2\xA9 2008", "\xC2\xA9 2008"}, Case{"\xA9 2008", "\xC2\xA9 2008"},
                       Case{"Caf\xC3\xA9", "Caf\xC3\xA9"}, Case{"\xC3\x28", "\xC3\x83("},
                       Case{"plain", "plain"}}) {
    ExifTagInfoRec r = Record();
    r.copyright = c.bytes;
    r.copyrightLength = static_cast<uint16_t>(std::strlen(c.bytes));
    CExif exif;
    exif.LoadFromRecord(r);
    int16_t index = 0;
    const QString line = exif.NextLine(&index);
    EXPECT_EQ(line, "Copyright:" + QString::fromUtf8(c.shown)) << c.bytes;
    EXPECT_EQ(corvid::InfoText({line}), QByteArray("Copyright:") + c.shown + "\r\n");
  }
}

// --info --json's object: the fields held, with the presence rules of the
// lines (a negative exposure bias is there, as it is kept), texts escaped.
TEST(ExifLines, JsonHoldsTheFieldsPresent) {
  ExifTagInfoRec r = Record();
  r.make = "Q \"5\"\\";
  r.makeLength = 6;
  r.exposureTime = 0.002f;
  r.exposureBias = -0.5f;
  r.isoSpeed = 200;
  r.flash = 7;
  CExif exif;
  EXPECT_EQ(exif.ToJson(), "{}");
  exif.LoadFromRecord(r);
  EXPECT_EQ(exif.ToJson(),
            "{\"Make\":\"Q \\\"5\\\"\\\\\",\"ExposureTime\":0.002,\"ISOSpeedRatings\":200,"
            "\"ExposureBias\":-0.5,\"Flash\":7}");
}

TEST(InfoTextFile, LinesEndInCrLfUpToTheFirstEmptyLine) {
  EXPECT_EQ(corvid::InfoText({"Model:M", "Flash:No"}), QByteArray("Model:M\r\nFlash:No\r\n"));
  EXPECT_EQ(corvid::InfoText({"A", "", "B"}), QByteArray("A\r\n"));
  EXPECT_TRUE(corvid::InfoText({}).isEmpty());
}

struct PathCase {
  const char* chosen;
  const char* written;
};
void PrintTo(const PathCase& c, std::ostream* os) { *os << c.chosen; }
class InfoTextPaths : public ::testing::TestWithParam<PathCase> {};
TEST_P(InfoTextPaths, ExtensionBecomesTxt) {
  EXPECT_EQ(corvid::InfoTextPath(QString::fromLatin1(GetParam().chosen)),
            QString::fromLatin1(GetParam().written));
}
INSTANTIATE_TEST_SUITE_P(Paths, InfoTextPaths,
                         ::testing::Values(PathCase{"/tmp/info", "/tmp/info.txt"},
                                           PathCase{"/tmp/info.TXT", "/tmp/info.txt"},
                                           PathCase{"/tmp/a.b.c", "/tmp/a.b.txt"},
                                           // The search covers the whole path: a dot in
                                           // the folder is found first.
                                           PathCase{"/my.dir/info", "/my.txt"},
                                           // A dot in the first character is not looked at.
                                           PathCase{".profile", ".profile.txt"}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(InfoTextFile, SavedBytes) {
  QTemporaryDir dir;
  ASSERT_TRUE(corvid::SaveInfoText(dir.filePath("info"), {"Flash:No"}));
  EXPECT_EQ(apptest::ReadBytes(dir.filePath("info.txt")), QByteArray("Flash:No\r\n"));
  EXPECT_FALSE(corvid::SaveInfoText(dir.filePath("none"), {}));
  EXPECT_FALSE(QFile::exists(dir.filePath("none.txt")));
}

}  // namespace
