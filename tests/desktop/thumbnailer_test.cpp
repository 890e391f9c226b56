// corvid-thumbnailer, run as file managers run it: PNG size by SIZE, exit
// codes, and nothing written for a file it cannot read.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "desktop_support.h"
#include "thumbnail.h"

namespace {

using desktoptest::Damage;

struct Outcome {
  int exitCode = -1;
  QString err;
};

Outcome Thumbnail(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(THUMBNAILER_PATH), args);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) return {};
  return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

TEST(FitWithin, LargerSideBecomesSizeAndTheOtherKeepsTheProportion) {
  struct Case {
    QSize picture;
    int size;
    QSize expected;
  };
  const Case cases[] = {
      {{480, 360}, 128, {128, 96}},   {{640, 480}, 100, {100, 75}},  {{360, 480}, 128, {96, 128}},
      {{640, 480}, 33, {33, 25}},     // 24.75 rounds up
      {{481, 361}, 480, {480, 360}},  // 360.25 rounds down
      {{1000, 3}, 128, {128, 1}},     {{3, 1000}, 10, {1, 10}},  // never 0
      {{480, 360}, 480, {480, 360}},  {{480, 360}, 1024, {480, 360}},  // never enlarged
      {{65535, 65535}, 7, {7, 7}},    {{65535, 1}, 65534, {65534, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(corvid::thumbnailer::FitWithin(c.picture, c.size), c.expected)
        << c.picture.width() << "x" << c.picture.height() << " at " << c.size;
  }
}

TEST(Thumbnailer, WritesAPngOfAtMostSizeForEverySample) {
  struct Case {
    const char* sample;
    int size;
    QSize expected;
  };
  const Case cases[] = {
      {"photo_scene.cam", 128, {128, 96}},  {"colour_chart.cam", 256, {256, 192}},
      {"lines_text.cam", 1024, {480, 360}}, {"jpeg_section.cam", 128, {128, 96}},
      {"jpeg_section.cam", 700, {640, 480}}, {"photo_scene.cam", 1, {1, 1}},
  };
  for (const Case& c : cases) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("thumb.png"));
    const Outcome run = Thumbnail({QStringLiteral("-s"), QString::number(c.size),
                               QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(c.sample), out});
    EXPECT_EQ(run.exitCode, 0) << c.sample << " " << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    QImage png;
    ASSERT_TRUE(png.load(out, "png")) << c.sample << " at " << c.size;
    EXPECT_EQ(png.size(), c.expected) << c.sample << " at " << c.size;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("thumb.png")});
  }
}

TEST(Thumbnailer, UnscaledThumbnailHoldsTheDecodedPixels) {
  // At a SIZE the picture fits in, the PNG is the picture as the library
  // decodes it: the CAM-coded one at 480x360, the JPEG one at its size.
  for (const char* sample : {"photo_scene.cam", "colour_chart.cam", "jpeg_section.cam"}) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("t.png"));
    ASSERT_EQ(Thumbnail({QStringLiteral("-s"), QStringLiteral("640"),
                         QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(sample), out})
                  .exitCode,
              0);
    const desktoptest::Rgb expected = desktoptest::LibraryDecode(desktoptest::Sample(sample), QSize(480, 360));
    ASSERT_FALSE(expected.px.empty()) << sample;
    EXPECT_TRUE(desktoptest::FromImage(QImage(out)) == expected) << sample;
  }
}

TEST(Thumbnailer, RefusesUnreadableFilesAndWritesNothing) {
  const QByteArray photo = desktoptest::Sample("photo_scene.cam");
  const QByteArray jpeg = desktoptest::Sample("jpeg_section.cam");
  std::vector<std::pair<QString, QByteArray>> inputs;
  for (Damage d : {Damage::kLumaAllOnes, Damage::kZeroedTail, Damage::kRestartMarkers, Damage::kShortLumaLength}) {
    inputs.emplace_back(QLatin1String(desktoptest::DamageName(d)), desktoptest::Damaged(photo, d));
  }
  // Cut inside the file header, the directory, the thumbnail, the picture
  // header and the coded streams.
  for (qsizetype cut : {qsizetype{0}, qsizetype{2}, qsizetype{5}, qsizetype{30}, qsizetype{200},
                        qsizetype{14500}, photo.size() / 2, photo.size() - 1}) {
    inputs.emplace_back(QStringLiteral("photo_cut_%1").arg(cut), photo.left(cut));
  }
  for (qsizetype cut : {qsizetype{40}, jpeg.size() / 2, jpeg.size() - 3}) {
    inputs.emplace_back(QStringLiteral("jpeg_cut_%1").arg(cut), jpeg.left(cut));
  }
  inputs.emplace_back(QStringLiteral("no_sections"), QByteArray("\x07\x20MM\x00\x00", 6));
  QByteArray png;  // a picture, but not a CAM file
  {
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    QImage(8, 8, QImage::Format_RGB32).save(&b, "png");
  }
  inputs.emplace_back(QStringLiteral("png"), png);

  for (const auto& [name, bytes] : inputs) {
    QTemporaryDir in, out;
    const QString input = in.filePath(name + QStringLiteral(".cam"));
    desktoptest::WriteFile(input, bytes);
    const QString output = out.filePath(QStringLiteral("thumb.png"));
    const Outcome run = Thumbnail({QStringLiteral("-s"), QStringLiteral("128"), input, output});
    EXPECT_EQ(run.exitCode, corvid::thumbnailer::kExitFailed) << name.toStdString();
    EXPECT_TRUE(run.err.contains(input)) << run.err.toStdString();
    EXPECT_TRUE(QDir(out.path()).isEmpty()) << name.toStdString() << " left a file behind";
  }
}

TEST(Thumbnailer, FailureLeavesAnExistingOutputAlone) {
  QTemporaryDir dir;
  const QString input = dir.filePath(QStringLiteral("bad.cam"));
  desktoptest::WriteFile(input, desktoptest::Damaged(desktoptest::Sample("photo_scene.cam"), Damage::kLumaAllOnes));
  const QString output = dir.filePath(QStringLiteral("thumb.png"));
  desktoptest::WriteFile(output, "earlier thumbnail");
  EXPECT_EQ(Thumbnail({QStringLiteral("-s"), QStringLiteral("128"), input, output}).exitCode, 1);
  EXPECT_EQ(desktoptest::ReadFile(output), QByteArray("earlier thumbnail"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(Thumbnailer, MissingInputOrUnwritableOutputFails) {
  QTemporaryDir dir;
  const QString sample = QStringLiteral(RK_SOURCE_DIR "/samples/photo_scene.cam");
  EXPECT_EQ(Thumbnail({QStringLiteral("-s"), QStringLiteral("128"), dir.filePath(QStringLiteral("absent.cam")),
                       dir.filePath(QStringLiteral("t.png"))})
                .exitCode,
            1);
  EXPECT_EQ(Thumbnail({QStringLiteral("-s"), QStringLiteral("128"), sample,
                       dir.filePath(QStringLiteral("no/such/folder/t.png"))})
                .exitCode,
            1);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(Thumbnailer, BadCommandLinesAreUsageErrors) {
  QTemporaryDir dir;
  const QString sample = QStringLiteral(RK_SOURCE_DIR "/samples/photo_scene.cam");
  const QString out = dir.filePath(QStringLiteral("t.png"));
  const QStringList cases[] = {
      {QStringLiteral("-s"), QStringLiteral("0"), sample, out},
      {QStringLiteral("-s"), QStringLiteral("big"), sample, out},
      {QStringLiteral("-s"), QStringLiteral("128"), sample},
      {QStringLiteral("-s"), QStringLiteral("128"), sample, out, out},
      {QStringLiteral("--colour"), sample, out},
  };
  for (const QStringList& args : cases) {
    EXPECT_EQ(Thumbnail(args).exitCode, corvid::thumbnailer::kExitUsage) << args.join(' ').toStdString();
  }
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

}  // namespace
