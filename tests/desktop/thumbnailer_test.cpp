// corvid-thumbnailer, run as file managers run it: PNG size by SIZE, exit
// codes, and nothing written for a file it cannot read.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

#include "desktop_support.h"
#include "png_writer.h"
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

using corvid::camread::Size;
using corvid::thumbnailer::Image;

TEST(FitWithin, LargerSideBecomesSizeAndTheOtherKeepsTheProportion) {
  struct Case {
    Size picture;
    int size;
    Size expected;
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
    const Size got = corvid::thumbnailer::FitWithin(c.picture, c.size);
    EXPECT_TRUE(got == c.expected) << c.picture.width << "x" << c.picture.height << " at " << c.size << " gave "
                                   << got.width << "x" << got.height;
  }
}

Image Grey(int width, int height, std::vector<uint8_t> values) {
  Image image{width, height, {}};
  for (uint8_t v : values) image.rgb.insert(image.rgb.end(), {v, v, v});
  return image;
}

// Each output pixel is the mean of the area it covers, partial source
// pixels by the part inside, rounded to nearest.
TEST(Resample, AveragesTheCoveredArea) {
  struct Case {
    const char* name;
    Image source;
    Size to;
    std::vector<uint8_t> expected;  // grey values, row by row
  };
  const Case cases[] = {
      {"halves", Grey(4, 2, {0, 10, 20, 31, 40, 50, 60, 70}), {2, 1}, {25, 45}},  // (20+31+60+70)/4 = 45.25
      {"round half up", Grey(2, 1, {0, 1}), {1, 1}, {1}},
      // 3 -> 2: column 0 takes all of source 0 and half of source 1.
      {"thirds", Grey(3, 1, {0, 90, 255}), {2, 1}, {30, 200}},
      {"rows too", Grey(1, 3, {0, 90, 255}), {1, 2}, {30, 200}},
      {"same size", Grey(3, 2, {1, 2, 3, 4, 5, 6}), {3, 2}, {1, 2, 3, 4, 5, 6}},
      {"flat stays flat", Grey(7, 5, std::vector<uint8_t>(35, 201)), {3, 2}, std::vector<uint8_t>(6, 201)},
      {"to one pixel", Grey(5, 1, {255, 255, 255, 255, 0}), {1, 1}, {204}},
  };
  for (const Case& c : cases) {
    const Image out = corvid::thumbnailer::Resample(c.source, c.to);
    ASSERT_EQ(out.width, c.to.width) << c.name;
    ASSERT_EQ(out.height, c.to.height) << c.name;
    EXPECT_EQ(out.rgb, Grey(c.to.width, c.to.height, c.expected).rgb) << c.name;
  }
  // Channels stay apart: red 255 / blue 0 next to red 0 / blue 255.
  Image mixed{2, 1, {255, 0, 0, 0, 0, 255}};
  EXPECT_EQ(corvid::thumbnailer::Resample(mixed, {1, 1}).rgb, (std::vector<uint8_t>{128, 0, 128}));
}

// Our PNG, read back by Qt's PNG reader, holds exactly our pixels, for
// sizes that use every row filter (noise, steps, flat rows).
TEST(PngWriter, QtReadsBackTheSamePixels) {
  uint32_t seed = 12345;
  for (Size size : {Size{1, 1}, Size{7, 3}, Size{33, 17}, Size{128, 96}}) {
    Image image{size.width, size.height, {}};
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width * 3; ++x) {
        seed = seed * 1103515245u + 12345u;
        const uint8_t noise = static_cast<uint8_t>(seed >> 24);
        image.rgb.push_back(y % 3 == 0 ? noise : y % 3 == 1 ? static_cast<uint8_t>(x * 5) : 77);
      }
    }
    const std::vector<uint8_t> png = corvid::thumbnailer::EncodePng(image);
    QImage read;
    ASSERT_TRUE(read.loadFromData(png.data(), static_cast<int>(png.size()), "png")) << size.width;
    desktoptest::Rgb got = desktoptest::FromImage(read);
    EXPECT_EQ(got.width, size.width);
    EXPECT_EQ(got.height, size.height);
    EXPECT_EQ(got.px, image.rgb) << size.width << "x" << size.height;
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

// Shrunk, the thumbnail is the decoded picture averaged by area: what Qt's
// smooth scaling (a peer) makes of the library's decode, within rounding.
TEST(Thumbnailer, ShrunkThumbnailIsCloseToQtsSmoothScaling) {
  for (const char* sample : {"photo_scene.cam", "lines_text.cam", "jpeg_section.cam"}) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("t.png"));
    ASSERT_EQ(Thumbnail({QStringLiteral("-s"), QStringLiteral("128"),
                         QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(sample), out})
                  .exitCode,
              0);
    // At 128 a CAM-coded picture is made from its 320x240 decode.
    const desktoptest::Rgb decoded = desktoptest::LibraryDecode(desktoptest::Sample(sample), QSize(320, 240));
    const QImage full(decoded.px.data(), decoded.width, decoded.height, decoded.width * 3, QImage::Format_RGB888);
    const desktoptest::Rgb peer =
        desktoptest::FromImage(full.scaled(128, 96, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const desktoptest::Rgb ours = desktoptest::FromImage(QImage(out));
    ASSERT_EQ(ours.px.size(), peer.px.size()) << sample;
    int worst = 0;
    double sum = 0;
    for (size_t i = 0; i < ours.px.size(); ++i) {
      const int d = std::abs(int{ours.px[i]} - int{peer.px[i]});
      worst = std::max(worst, d);
      sum += d;
    }
    // Measured: mean 0.28 to 0.52, never more than 1 apart.
    EXPECT_LT(sum / static_cast<double>(ours.px.size()), 0.75) << sample;
    EXPECT_LE(worst, 2) << sample;
  }
}

TEST(Thumbnailer, TakesFileUris) {
  QTemporaryDir dir;
  const QString input = dir.filePath(QStringLiteral("a picture.cam"));
  desktoptest::WriteFile(input, desktoptest::Sample("colour_chart.cam"));
  const QString output = dir.filePath(QStringLiteral("the thumb.png"));
  const Outcome run = Thumbnail({QStringLiteral("--size=64"), QUrl::fromLocalFile(input).toString(QUrl::FullyEncoded),
                                 QUrl::fromLocalFile(output).toString(QUrl::FullyEncoded)});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(QImage(output).size(), QSize(64, 48));
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
