// The Qt image plugin, loaded from the build tree through QT_PLUGIN_PATH
// the way any Qt program loads it: recognition by content, the sizes, the
// pixels our decoder gives, and damaged files refused without a crash.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

#include "desktop_support.h"

namespace {

using desktoptest::Damage;

TEST(CamPlugin, IsFoundAndNamesTheCamTypes) {
  EXPECT_TRUE(QImageReader::supportedImageFormats().contains("cam"));
  EXPECT_TRUE(QImageReader::supportedMimeTypes().contains("image/x-quillbank-cam"));
}

TEST(CamPlugin, RecognisesCamFilesByContentWhateverTheirName) {
  QTemporaryDir dir;
  struct Case {
    const char* sample;
    const char* name;
    QSize size;
  };
  const Case cases[] = {
      {"photo_scene.cam", "picture", {480, 360}},
      {"colour_chart.cam", "picture.png", {480, 360}},  // a misleading suffix
      {"jpeg_section.cam", "scan.dat", {640, 480}},
  };
  for (const Case& c : cases) {
    const QString path = dir.filePath(QLatin1String(c.name));
    desktoptest::WriteFile(path, desktoptest::Sample(c.sample));
    QImageReader reader(path);
    EXPECT_TRUE(reader.canRead()) << c.name;
    EXPECT_EQ(reader.format(), QByteArray("cam")) << c.name;
    EXPECT_EQ(reader.size(), c.size) << c.name;
    EXPECT_EQ(reader.read().size(), c.size) << c.name << ": " << reader.errorString().toStdString();
  }
}

TEST(CamPlugin, LeavesOtherFilesToOtherFormats) {
  QByteArray png;
  {
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&b, "png");
  }
  const QByteArray notCam[] = {
      png,
      QByteArray("\x07\x20XX\x00\x01", 6),  // third byte neither 'M' nor 'I'
      QByteArray("\x07\x20MM\x00\x00", 6),  // a CAM header whose directory is empty
      QByteArray("\x07\x20", 2),
  };
  for (const QByteArray& bytes : notCam) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    EXPECT_NE(reader.format(), QByteArray("cam")) << bytes.toHex().left(16).toStdString();
  }
}

// setScaledSize picks the CAM output size; every pixel is what the
// library's decoder writes at that size.
TEST(CamPlugin, ReadsTheThreeCamSizesWithTheDecodersPixels) {
  for (const char* sample : {"photo_scene.cam", "colour_chart.cam", "lines_text.cam"}) {
    const QByteArray file = desktoptest::Sample(sample);
    for (QSize size : {QSize(), QSize(480, 360), QSize(480, 240), QSize(320, 240)}) {
      QBuffer buffer;
      buffer.setData(file);
      buffer.open(QIODevice::ReadOnly);
      QImageReader reader(&buffer);
      if (size.isValid()) reader.setScaledSize(size);
      const QImage image = reader.read();
      const QSize expectedSize = size.isValid() ? size : QSize(480, 360);
      ASSERT_EQ(image.size(), expectedSize) << sample << ": " << reader.errorString().toStdString();
      EXPECT_TRUE(desktoptest::FromImage(image) == desktoptest::LibraryDecode(file, expectedSize))
          << sample << " at " << expectedSize.width() << "x" << expectedSize.height();
    }
  }
}

TEST(CamPlugin, ReadsTheEmbeddedJpegKind) {
  const QByteArray file = desktoptest::Sample("jpeg_section.cam");
  QBuffer buffer;
  buffer.setData(file);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QImage image = reader.read();
  ASSERT_EQ(image.size(), QSize(640, 480));
  EXPECT_TRUE(desktoptest::FromImage(image) == desktoptest::LibraryDecode(file, {}));
}

TEST(CamPlugin, OtherScaledSizesComeOutExactlyThatSize) {
  for (const char* sample : {"photo_scene.cam", "jpeg_section.cam"}) {
    for (QSize size : {QSize(200, 150), QSize(100, 300), QSize(960, 720)}) {
      QImageReader reader(QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(sample));
      reader.setScaledSize(size);
      EXPECT_EQ(reader.read().size(), size) << sample;
    }
  }
}

TEST(CamPlugin, RefusesDamagedFilesWithoutCrashing) {
  const QByteArray photo = desktoptest::Sample("photo_scene.cam");
  const QByteArray jpeg = desktoptest::Sample("jpeg_section.cam");
  std::vector<QByteArray> damaged;
  for (Damage d : {Damage::kLumaAllOnes, Damage::kZeroedTail, Damage::kRestartMarkers, Damage::kShortLumaLength}) {
    damaged.push_back(desktoptest::Damaged(photo, d));
  }
  for (qsizetype cut : {qsizetype{3}, qsizetype{40}, qsizetype{14500}, photo.size() - 1}) {
    damaged.push_back(photo.left(cut));
  }
  for (qsizetype cut : {qsizetype{40}, jpeg.size() / 2, jpeg.size() - 3}) damaged.push_back(jpeg.left(cut));

  for (const QByteArray& bytes : damaged) {
    for (QSize size : {QSize(), QSize(320, 240)}) {
      QBuffer buffer;
      buffer.setData(bytes);
      buffer.open(QIODevice::ReadOnly);
      QImageReader reader(&buffer, "cam");
      reader.setScaledSize(size);
      QImage image;
      EXPECT_FALSE(reader.read(&image)) << bytes.size() << " bytes";
      EXPECT_TRUE(image.isNull());
    }
  }
}

}  // namespace
