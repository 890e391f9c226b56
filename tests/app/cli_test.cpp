// corvid-convert: its arguments, and the program itself run on real files.
#include <QDir>
#include <QFile>
#include <QProcess>
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

TEST_F(ConvertCams, UnavailableTargetFailsPerFile) {
  const ProgramRun run = Convert({"-t", "tif", "-o", dir_.filePath("out"), dir_.filePath("in/scene.cam")});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(run.err.contains(": Export Error"));
  EXPECT_TRUE(apptest::Entries(dir_.filePath("out")).empty());
}

}  // namespace
