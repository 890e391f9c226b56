// corvid-convert: its arguments, and the program itself run on real files.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTransform>
#include <QTemporaryDir>
#include <QtGlobal>
#include <cerrno>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "app_support.h"
#include "batch.h"

using corvid::ParseConvertArgs;
using corvid::ParseResult;

namespace {

ParseResult Parse(QStringList args, corvid::ConvertOptions* options, QString* text = nullptr) {
  QString ignored;
  args.prepend("corvid-convert");
  return ParseConvertArgs(args, options, text ? text : &ignored);
}

TEST(ConvertArguments, Defaults) {
  corvid::ConvertOptions o;
  ASSERT_EQ(Parse({"a.cam", "b.cam"}, &o), ParseResult::Run);
  EXPECT_EQ(o.files, (QStringList{"a.cam", "b.cam"}));
  EXPECT_TRUE(o.settings.autoConversion());
  EXPECT_EQ(o.settings.target(), corvid::Target::Jpeg);
  EXPECT_EQ(o.settings.fileStyle, corvid::FileStyle::Normal);
  EXPECT_EQ(o.settings.compressScale, 32);
  EXPECT_EQ(o.settings.camWidth, 480);
  EXPECT_EQ(o.settings.camHeight, 360);
  EXPECT_EQ(o.settings.alwaysCompress, 0);
  EXPECT_EQ(o.settings.outputPath, "");
  EXPECT_GE(o.jobs, 1);
  EXPECT_FALSE(o.info);
  EXPECT_FALSE(o.quiet);
  // The Exif texts are the program's defaults, not anything stored.
  EXPECT_EQ(o.settings.make, "QUILLBANK");
}

TEST(ConvertArguments, EveryOption) {
  QTemporaryDir dir;
  corvid::ConvertOptions o;
  ASSERT_EQ(Parse({"-t", "bmp", "-s", "exif", "--scale", "128", "--cam-size", "320x240",
                   "--always-compress", "-o", dir.path(), "-j", "3", "--quiet", "x.cam"},
                  &o),
            ParseResult::Run);
  EXPECT_EQ(o.settings.target(), corvid::Target::Bmp);
  EXPECT_EQ(o.settings.fileStyle, corvid::FileStyle::Exif);
  EXPECT_EQ(o.settings.compressScale, 128);
  EXPECT_EQ(o.settings.camWidth, 320);
  EXPECT_EQ(o.settings.camHeight, 240);
  EXPECT_EQ(o.settings.alwaysCompress, 1);
  EXPECT_EQ(o.settings.outputPath, dir.path() + "/");  // a folder, joined with '/'
  EXPECT_EQ(o.jobs, 3);
  EXPECT_TRUE(o.quiet);
  EXPECT_TRUE(o.tablesGiven);
  EXPECT_EQ(o.settings.jpegQuality, 0);
  ASSERT_EQ(Parse({"--to", "tif", "--style", "progressive", "--quality", "75", "--cam-size",
                   "480x240", "--out", dir.path() + "/", "--info", "x.cam"},
                  &o),
            ParseResult::Run);
  EXPECT_EQ(o.settings.target(), corvid::Target::Tiff);
  EXPECT_EQ(o.settings.fileStyle, corvid::FileStyle::Progressive);
  EXPECT_EQ(o.settings.jpegQuality, 75);
  EXPECT_TRUE(o.tablesGiven);
  EXPECT_EQ(o.settings.camHeight, 240);
  EXPECT_EQ(o.settings.outputPath, dir.path() + "/");
  EXPECT_TRUE(o.info);
  EXPECT_FALSE(o.settings.autoConversion());
}

TEST(ConvertArguments, HelpAndVersion) {
  corvid::ConvertOptions o;
  QString text;
  EXPECT_EQ(Parse({"-h"}, &o, &text), ParseResult::Help);
  EXPECT_TRUE(text.contains("--always-compress"));
  EXPECT_EQ(Parse({"--version"}, &o, &text), ParseResult::Version);
  EXPECT_EQ(Parse({"-V"}, &o, &text), ParseResult::Version);
  EXPECT_TRUE(text.startsWith("corvid-convert "));
}

class UsageErrors : public ::testing::TestWithParam<QStringList> {};
TEST_P(UsageErrors, Refused) {
  corvid::ConvertOptions o;
  EXPECT_EQ(Parse(GetParam(), &o), ParseResult::UsageError);
}
INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageErrors,
    ::testing::Values(QStringList{}, QStringList{"--to", "png", "a"}, QStringList{"-s", "fancy", "a"},
                      QStringList{"--scale", "0", "a"}, QStringList{"--scale", "129", "a"},
                      QStringList{"--scale", "lots", "a"}, QStringList{"--quality", "0", "a"},
                      QStringList{"--quality", "101", "a"}, QStringList{"--quality", "75", "--scale", "8", "a"},
                      // -q read like a quality but was the scale: no short spelling.
                      QStringList{"-q", "75", "a"}, QStringList{"--cam-size", "640x480", "a"},
                      QStringList{"-j", "0", "a"}, QStringList{"-j", "x", "a"},
                      QStringList{"-o", "/no/such/folder/anywhere", "a"},
                      QStringList{"--bogus", "a"}, QStringList{"-t"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct ProgramRun {
  int code = -1;
  QString out;
  QString err;
};

enum class As { kSelf, kOrdinaryUser };

// Runs corvid-convert. kOrdinaryUser drops root's rights in the child
// (user and group 65534), so that folder permissions apply to it.
ProgramRun Convert(const QStringList& args, As as = As::kSelf) {
  QProcess process;
  if (as == As::kOrdinaryUser && ::geteuid() == 0) {
    process.setChildProcessModifier([] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    });
  }
  process.start(QStringLiteral(CORVID_CONVERT_PATH), args);
  ProgramRun run;
  if (!process.waitForFinished(120000)) return run;
  run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

TEST(ConvertProgram, UsageErrorExitsWithTwo) {
  EXPECT_EQ(Convert({}).code, 2);
  EXPECT_EQ(Convert({"--to", "gif", "x"}).code, 2);
  EXPECT_EQ(Convert({"--help"}).code, 0);
  const ProgramRun version = Convert({"-V"});
  EXPECT_EQ(version.code, 0);
  EXPECT_TRUE(version.out.startsWith("corvid-convert "));
}

TEST(ConvertProgram, FailuresExitWithOneAndSayWhy) {
  QTemporaryDir dir;
  apptest::WriteBytes(dir.filePath("junk.cam"), QByteArray(100, 'j'));
  const ProgramRun run = Convert({"-o", dir.path(), dir.filePath("junk.cam"), dir.filePath("gone.cam")});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_TRUE(run.err.contains(dir.filePath("junk.cam") + ": Format Error"));
  EXPECT_TRUE(run.err.contains(dir.filePath("gone.cam") + ": Can't Open File (" + qt_error_string(ENOENT) + ")"));
  EXPECT_TRUE(run.err.contains("0 of 2 files converted, 2 failed"));
  // Only the junk file remains: nothing was written.
  EXPECT_EQ(apptest::Entries(dir.path()).size(), 1u);
}

class ConvertCams : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("in"));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("out"));
    QFile::copy(apptest::Fixture("cam/scene_MM_thumb.cam"), dir_.filePath("in/scene.cam"));
    QFile::copy(apptest::Fixture("cam/chart_II_extra.cam"), dir_.filePath("in/chart.cam"));
  }
  QTemporaryDir dir_;
};

TEST_F(ConvertCams, JpegsDecodedByLibjpegTurbo) {
  const ProgramRun run = Convert({"-o", dir_.filePath("out"), "-j", "2", dir_.filePath("in/scene.cam"),
                           dir_.filePath("in/chart.cam")});
  EXPECT_EQ(run.code, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.contains(dir_.filePath("in/scene.cam") + " -> " + dir_.filePath("out/scene.jpg")));
  EXPECT_TRUE(run.out.contains(dir_.filePath("in/chart.cam") + " -> " + dir_.filePath("out/chart.jpg")));
  EXPECT_TRUE(run.err.contains("2 of 2 files converted, 0 failed"));
  for (const char* name : {"scene", "chart"}) {
    const apptest::Rgb decoded = apptest::TurboDecode(apptest::ReadBytes(dir_.filePath("out/") + name + ".jpg"));
    const apptest::Rgb expected =
        apptest::LoadPpm(apptest::Fixture((std::string("cam/") + (name == std::string("scene") ? "scene_MM_thumb" : "chart_II_extra") + ".480x360.ppm").c_str()));
    ASSERT_EQ(decoded.width, 480) << name;
    ASSERT_EQ(decoded.height, 360) << name;
    EXPECT_LE(apptest::MeanDifference(decoded, expected), 3.0) << name;
  }
}

TEST_F(ConvertCams, JobsRacingForOneNameNeverOverwrite) {
  QStringList args{"-t", "bmp", "--cam-size", "320x240", "-o", dir_.filePath("out"), "-j", "4"};
  for (int i = 0; i < 6; ++i) args << dir_.filePath("in/scene.cam");
  const ProgramRun run = Convert(args);
  EXPECT_EQ(run.code, 0) << run.err.toStdString();
  const std::vector<QString> names = apptest::Entries(dir_.filePath("out"));
  EXPECT_EQ(names, (std::vector<QString>{"scene.bmp", "~001_scene.bmp", "~002_scene.bmp",
                                         "~003_scene.bmp", "~004_scene.bmp", "~005_scene.bmp"}));
  for (const QString& name : names) {
    EXPECT_EQ(apptest::ReadBytes(dir_.filePath("out/") + name).size(), 54 + 960 * 240) << name.toStdString();
  }
}

TEST_F(ConvertCams, BesideTheSourceByDefaultAndInfoWritesNothing) {
  const ProgramRun info = Convert({"--info", dir_.filePath("in/scene.cam")});
  EXPECT_EQ(info.code, 0);
  EXPECT_TRUE(info.out.contains("no Exif information"));
  EXPECT_EQ(apptest::Entries(dir_.filePath("in")).size(), 2u);
  const ProgramRun run = Convert({"-t", "bmp", dir_.filePath("in/chart.cam")});
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(QFile::exists(dir_.filePath("in/chart.bmp")));
}

// --quiet: nothing on success, only the failures.
TEST_F(ConvertCams, QuietPrintsOnlyFailures) {
  const ProgramRun good = Convert({"--quiet", "-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")});
  EXPECT_EQ(good.code, 0);
  EXPECT_EQ(good.out, "");
  EXPECT_EQ(good.err, "");
  EXPECT_TRUE(QFile::exists(dir_.filePath("out/scene.jpg")));
  apptest::WriteBytes(dir_.filePath("in/junk.cam"), QByteArray(100, 'j'));
  const ProgramRun bad = Convert({"--quiet", "-o", dir_.filePath("out"), dir_.filePath("in/chart.cam"),
                                  dir_.filePath("in/junk.cam")});
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err, dir_.filePath("in/junk.cam") + ": Format Error\n");
}

// A folder it may not write: the output path and the system's reason, not
// the source's name.
TEST_F(ConvertCams, ReadOnlyOutputFolderNamesTheOutputPath) {
  for (const QString& path : {dir_.path(), dir_.filePath("in")}) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
  }
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.filePath("in/scene.cam")).constData(), 0644), 0);
  ASSERT_EQ(::chmod(QFile::encodeName(dir_.filePath("out")).constData(), 0555), 0);
  const ProgramRun run =
      Convert({"-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")}, As::kOrdinaryUser);
  ::chmod(QFile::encodeName(dir_.filePath("out")).constData(), 0755);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err.section('\n', 0, 0),
            dir_.filePath("out/scene.jpg") + ": Can't Open File (" + qt_error_string(EACCES) + ")");
  EXPECT_TRUE(apptest::Entries(dir_.filePath("out")).empty());
}

// The quantisation tables of a JPEG stream by destination, 64 entries in
// stream (zigzag) order each.
std::map<int, QByteArray> QuantTables(const QByteArray& jpeg) {
  std::map<int, QByteArray> tables;
  for (qsizetype i = 2; i + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[i]) == 0xFF;) {
    const uint8_t marker = static_cast<uint8_t>(jpeg[i + 1]);
    const int length = static_cast<uint8_t>(jpeg[i + 2]) << 8 | static_cast<uint8_t>(jpeg[i + 3]);
    if (marker == 0xDA) break;
    if (marker == 0xDB) {
      for (qsizetype p = i + 4; p + 65 <= i + 2 + length; p += 65) {
        tables[static_cast<uint8_t>(jpeg[p]) & 15] = jpeg.mid(p + 1, 64);
      }
    }
    i += 2 + length;
  }
  return tables;
}

// --quality 75 installs exactly the tables cjpeg -quality 75 writes.
TEST_F(ConvertCams, QualityGivesLibjpegsTables) {
  const ProgramRun run = Convert({"--quality", "75", "-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")});
  ASSERT_EQ(run.code, 0) << run.err.toStdString();
  const apptest::Rgb picture = apptest::Gradient(32, 16);
  QByteArray ppm = QByteArray("P6\n32 16\n255\n");
  ppm.append(reinterpret_cast<const char*>(picture.px.data()), static_cast<qsizetype>(picture.px.size()));
  apptest::WriteBytes(dir_.filePath("ramp.ppm"), ppm);
  QProcess cjpeg;
  cjpeg.start(QStringLiteral("cjpeg"), {"-quality", "75", "-outfile", dir_.filePath("ramp.jpg"), dir_.filePath("ramp.ppm")});
  ASSERT_TRUE(cjpeg.waitForFinished(60000));
  ASSERT_EQ(cjpeg.exitCode(), 0);
  const auto ours = QuantTables(apptest::ReadBytes(dir_.filePath("out/scene.jpg")));
  const auto theirs = QuantTables(apptest::ReadBytes(dir_.filePath("ramp.jpg")));
  ASSERT_EQ(theirs.size(), 2u);
  ASSERT_EQ(ours.size(), 2u);  // chrominance tables 1 and 2 are one table
  EXPECT_EQ(ours.at(0), theirs.at(0));
  EXPECT_EQ(ours.at(1), theirs.at(1));
  EXPECT_EQ(static_cast<uint8_t>(ours.at(0)[0]), 8);  // (16 x 50 + 50) / 100
  // An Exif file too (its writer sets the tables from the scale itself),
  // with the Exif block intact.
  const ProgramRun exif =
      Convert({"--quality", "75", "-s", "exif", "-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")});
  ASSERT_EQ(exif.code, 0) << exif.err.toStdString();
  const QByteArray exifFile = apptest::ReadBytes(dir_.filePath("out/~001_scene.jpg"));
  const auto exifTables = QuantTables(exifFile);
  ASSERT_EQ(exifTables.size(), 2u);
  EXPECT_EQ(exifTables.at(0), theirs.at(0));
  EXPECT_EQ(exifTables.at(1), theirs.at(1));
  const QString validated = QString::fromUtf8(apptest::RunTool(
      "exiftool", {"-s3", "-validate", "-Make", "-ThumbnailLength", dir_.filePath("out/~001_scene.jpg")}));
  EXPECT_EQ(validated.split('\n', Qt::SkipEmptyParts).value(0), "OK") << validated.toStdString();
  EXPECT_TRUE(validated.contains("QUILLBANK"));
}

// A JPEG source is copied unless re-encoding is asked for; a scale or
// quality given for it says so once.
TEST_F(ConvertCams, CopiedJpegWithTablesGivenSaysSoOnce) {
  const QByteArray jpeg = apptest::TurboEncode(apptest::Gradient(40, 24));
  apptest::WriteBytes(dir_.filePath("in/a.jpg"), jpeg);
  apptest::WriteBytes(dir_.filePath("in/b.jpg"), jpeg);
  const QStringList sources{dir_.filePath("in/a.jpg"), dir_.filePath("in/b.jpg")};
  const ProgramRun copied = Convert(QStringList{"--scale", "8", "-o", dir_.filePath("out")} + sources);
  EXPECT_EQ(copied.code, 0);
  EXPECT_EQ(copied.err.count("--always-compress"), 1);
  EXPECT_EQ(apptest::ReadBytes(dir_.filePath("out/a.jpg")), jpeg);
  const ProgramRun encoded =
      Convert(QStringList{"--scale", "8", "--always-compress", "-o", dir_.filePath("out")} + sources);
  EXPECT_EQ(encoded.code, 0);
  EXPECT_FALSE(encoded.err.contains("--always-compress"));
  EXPECT_NE(apptest::ReadBytes(dir_.filePath("out/~001_a.jpg")), jpeg);
}

// Every target and style through the program: TIFF as libtiff reads it
// (the exact CAM picture), progressive and Exif JPEG.
TEST_F(ConvertCams, EveryTargetAndStyle) {
  const ProgramRun tif = Convert({"-t", "tif", "-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")});
  EXPECT_EQ(tif.code, 0) << tif.err.toStdString();
  EXPECT_EQ(apptest::MaxDifference(apptest::LibtiffDecode(dir_.filePath("out/scene.tif")),
                                   apptest::LoadPpm(apptest::Fixture("cam/scene_MM_thumb.480x360.ppm"))),
            0);
  for (const char* style : {"progressive", "exif"}) {
    const ProgramRun run = Convert({"-s", style, "-o", dir_.filePath("out"), dir_.filePath("in/chart.cam")});
    EXPECT_EQ(run.code, 0) << style << run.err.toStdString();
  }
  const QByteArray progressive = apptest::ReadBytes(dir_.filePath("out/chart.jpg"));
  EXPECT_TRUE(progressive.contains("\xFF\xC2"));  // SOF2
  const QByteArray exif = apptest::ReadBytes(dir_.filePath("out/~001_chart.jpg"));
  EXPECT_EQ(exif.mid(6, 4), "Exif");
  for (const QByteArray& jpeg : {progressive, exif}) {
    EXPECT_LE(apptest::MeanDifference(apptest::TurboDecode(jpeg),
                                      apptest::LoadPpm(apptest::Fixture("cam/chart_II_extra.480x360.ppm"))),
              3.0);
  }
}

// The operations in command-line order, each with its own values, and the
// values each refuses.
TEST(ConvertArguments, OperationsInTheirOrder) {
  using Kind = corvid::ImageOperation::Kind;
  corvid::ConvertOptions o;
  ASSERT_EQ(Parse({"--sharpen", "--rotate", "-90", "--resize", "50%", "--denoise", "--sharpen", "7",
                   "--blur", "3", "--background", "#102030", "--auto-white-balance", "--resize", "64x48",
                   "--sharpen=2", "a.cam"},
                  &o),
            ParseResult::Run);
  EXPECT_EQ(o.files, QStringList{"a.cam"});
  ASSERT_EQ(o.operations.size(), 9u);
  const Kind kinds[] = {Kind::Sharpen, Kind::Rotate, Kind::ResizePercent, Kind::Denoise, Kind::Sharpen,
                        Kind::Blur,    Kind::AutoWhiteBalance, Kind::Resize, Kind::Sharpen};
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(o.operations[i].kind, kinds[i]) << i;
  EXPECT_EQ(o.operations[0].level, 4);
  EXPECT_EQ(o.operations[1].degrees, -90.0);
  EXPECT_EQ(o.operations[1].background[0], 0x10);
  EXPECT_EQ(o.operations[1].background[2], 0x30);
  EXPECT_EQ(o.operations[2].percent, 50u);
  EXPECT_EQ(o.operations[4].level, 7);
  EXPECT_EQ(o.operations[5].radius, 3);
  EXPECT_EQ(o.operations[7].width, 64u);
  EXPECT_EQ(o.operations[7].height, 48u);
  EXPECT_EQ(o.operations[8].level, 2);
  QString help;
  ASSERT_EQ(Parse({"--help"}, &o, &help), ParseResult::Help);
  for (const char* option : {"--rotate <DEG>", "--background", "--resize <WxH|N%>", "--sharpen [LEVEL]",
                             "--denoise", "--auto-white-balance", "--blur <RADIUS>", "--json", "--recursive",
                             "--null"}) {
    EXPECT_TRUE(help.contains(option)) << option;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, UsageErrors,
    ::testing::Values(QStringList{"--rotate", "ninety", "a"}, QStringList{"--rotate", "nan", "a"},
                      QStringList{"--resize", "0x10", "a"}, QStringList{"--resize", "10x0", "a"},
                      QStringList{"--resize", "0%", "a"}, QStringList{"--resize", "70000x10", "a"},
                      QStringList{"--resize", "big", "a"}, QStringList{"--sharpen=0", "a"},
                      QStringList{"--sharpen", "11", "a"}, QStringList{"--sharpen=x", "a"},
                      QStringList{"--blur", "-1", "a"}, QStringList{"--blur", "40000", "a"},
                      QStringList{"--background", "pink", "--rotate", "5", "a"}, QStringList{"--json", "a"},
                      QStringList{"-0", "a"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// The operations run on the picture before it is written (BMP keeps it
// exactly), in their order: a quarter turn permutes the pixels, 50 % then
// halves each side of the turned picture rounding down, and a JPEG source
// is encoded anew, not copied.
TEST_F(ConvertCams, OperationsChangeThePictureBeforeEncoding) {
  const apptest::Rgb picture = apptest::Gradient(37, 23);
  apptest::WriteBytes(dir_.filePath("in/ramp.jpg"), apptest::TurboEncode(picture));
  const ProgramRun plain = Convert({"-t", "bmp", "-o", dir_.filePath("out"), dir_.filePath("in/ramp.jpg")});
  ASSERT_EQ(plain.code, 0) << plain.err.toStdString();
  const ProgramRun turned =
      Convert({"-t", "bmp", "--rotate", "90", "-o", dir_.filePath("out"), dir_.filePath("in/ramp.jpg")});
  ASSERT_EQ(turned.code, 0) << turned.err.toStdString();
  const ProgramRun halved = Convert(
      {"-t", "bmp", "--rotate", "90", "--resize", "50%", "-o", dir_.filePath("out"), dir_.filePath("in/ramp.jpg")});
  ASSERT_EQ(halved.code, 0) << halved.err.toStdString();
  QImage before, after, small;
  ASSERT_TRUE(before.load(dir_.filePath("out/ramp.bmp")));
  ASSERT_TRUE(after.load(dir_.filePath("out/~001_ramp.bmp")));
  ASSERT_TRUE(small.load(dir_.filePath("out/~002_ramp.bmp")));
  EXPECT_EQ(after, before.transformed(QTransform().rotate(90)));  // clockwise
  EXPECT_EQ(small.size(), QSize(11, 18));  // 23 x 37 halved, rounded down
  // A JPEG target is encoded from the changed picture.
  const ProgramRun jpeg = Convert({"--denoise", "-o", dir_.filePath("out"), dir_.filePath("in/ramp.jpg")});
  ASSERT_EQ(jpeg.code, 0);
  EXPECT_NE(apptest::ReadBytes(dir_.filePath("out/ramp.jpg")), apptest::ReadBytes(dir_.filePath("in/ramp.jpg")));
  // An operation whose result would be too large fails the file alone.
  const ProgramRun huge = Convert({"-t", "bmp", "--resize", "2000000%", "-o", dir_.filePath("out"),
                                   dir_.filePath("in/ramp.jpg"), dir_.filePath("in/scene.cam")});
  EXPECT_EQ(huge.code, 1);
  EXPECT_TRUE(huge.err.contains(dir_.filePath("in/ramp.jpg") + ": Operation Error"));
}

// --info --json: one object a line with the fixture's values; a file that
// fails is a line with its error.
TEST_F(ConvertCams, InfoAsJsonLines) {
  QFile::copy(apptest::Fixture("exif/read_yflower_II_0230_utf8.jpg"), dir_.filePath("in/flower.jpg"));
  const ProgramRun run = Convert({"--info", "--json", "-j", "1", dir_.filePath("in/flower.jpg"),
                                  dir_.filePath("in/scene.cam"), dir_.filePath("in/none.jpg")});
  EXPECT_EQ(run.code, 1);
  const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  QJsonObject flower = QJsonDocument::fromJson(lines[0].toUtf8()).object();
  EXPECT_EQ(flower["path"].toString(), dir_.filePath("in/flower.jpg"));
  EXPECT_EQ(flower["size"].toInteger(), QFileInfo(dir_.filePath("in/flower.jpg")).size());
  EXPECT_EQ(flower["type"].toString(), "JPEG");
  EXPECT_EQ(flower["width"].toInt(), 320);
  const QJsonObject exif = flower["exif"].toObject();
  const QJsonObject expected = QJsonDocument::fromJson(apptest::ReadBytes(
      apptest::Fixture("exif/read_yflower_II_0230_utf8.expected.json"))).object()["record"].toObject();
  EXPECT_EQ(exif["Copyright"].toString(), expected["copyright"].toString());
  EXPECT_EQ(exif["Model"].toString(), "Q5");
  // Reals as the 32-bit values the reader keeps.
  EXPECT_EQ(static_cast<float>(exif["ExposureTime"].toDouble()), static_cast<float>(expected["exposureTime"].toDouble()));
  EXPECT_EQ(static_cast<float>(exif["ExposureBias"].toDouble()), static_cast<float>(expected["exposureBias"].toDouble()));
  EXPECT_EQ(exif["ISOSpeedRatings"].toInt(), expected["isoSpeed"].toInt());
  const QJsonObject scene = QJsonDocument::fromJson(lines[1].toUtf8()).object();
  EXPECT_EQ(scene["type"].toString(), "CAM");
  EXPECT_FALSE(scene.contains("exif"));
  const QJsonObject none = QJsonDocument::fromJson(lines[2].toUtf8()).object();
  EXPECT_TRUE(none["error"].toString().startsWith("Can't Open File")) << lines[2].toStdString();
}

// --recursive walks folders for pictures; - reads paths from standard
// input, one a line or NUL-separated with -0.
TEST_F(ConvertCams, FilesFromFoldersAndStandardInput) {
  ASSERT_TRUE(QDir(dir_.path()).mkpath("in/sub/.hidden"));
  QFile::copy(dir_.filePath("in/scene.cam"), dir_.filePath("in/sub/deeper.CAM"));
  QFile::copy(dir_.filePath("in/scene.cam"), dir_.filePath("in/sub/.hidden/skipped.cam"));
  apptest::WriteBytes(dir_.filePath("in/sub/notes.txt"), "not a picture");
  corvid::ConvertOptions o;
  ASSERT_EQ(Parse({"-r", dir_.filePath("in"), "-", "x.cam"}, &o), ParseResult::Run);
  const QStringList files = corvid::CollectFiles(o, [] { return QByteArray("a b.cam\r\n\nc.jpg\n"); });
  EXPECT_EQ(files, (QStringList{dir_.filePath("in/chart.cam"), dir_.filePath("in/scene.cam"),
                                dir_.filePath("in/sub/deeper.CAM"), "a b.cam", "c.jpg", "x.cam"}));
  ASSERT_EQ(Parse({"-0", "-", dir_.filePath("in")}, &o), ParseResult::Run);
  EXPECT_EQ(corvid::CollectFiles(o, [] { return QByteArray("p\nq\0r\0\0", 7); }),
            (QStringList{"p\nq", "r", dir_.filePath("in")}));

  // The program itself, with the list on its standard input.
  QProcess process;
  process.start(QStringLiteral(CORVID_CONVERT_PATH), {"-0", "-t", "bmp", "-o", dir_.filePath("out"), "-"});
  process.write(QFile::encodeName(dir_.filePath("in/chart.cam")) + '\0' +
                QFile::encodeName(dir_.filePath("in/sub/deeper.CAM")) + '\0');
  process.closeWriteChannel();
  ASSERT_TRUE(process.waitForFinished(120000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_EQ(apptest::Entries(dir_.filePath("out")), (std::vector<QString>{"chart.bmp", "deeper.bmp"}));
}

// The progress line goes to a terminal only: "n/N files, R files/s".
TEST_F(ConvertCams, ProgressOnATerminalOnly) {
  const QString command = QStringLiteral("'%1' -t bmp -o '%2' '%3' '%4'")
                              .arg(QStringLiteral(CORVID_CONVERT_PATH), dir_.filePath("out"),
                                   dir_.filePath("in/scene.cam"), dir_.filePath("in/chart.cam"));
  // script(1) runs the command on a pseudo-terminal and copies what it shows.
  const QString shown = QString::fromLocal8Bit(apptest::RunTool("script", {"-qec", command, "/dev/null"}));
  EXPECT_TRUE(shown.contains(QRegularExpression("2/2 files, [0-9.]+ files/s"))) << shown.toStdString();
  const ProgramRun piped = Convert({"-t", "bmp", "-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")});
  EXPECT_EQ(piped.err, "1 of 1 files converted, 0 failed\n");
}

}  // namespace
