// Export: the file name decides the format; JPEG sources are written back
// unchanged unless Always Compress is set; auto conversion on the image object.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app_support.h"
#include "document.h"
#include "rk_dib.h"

using corvid::CRKDib;
using corvid::Message;

namespace {

class Export : public ::testing::Test {
 protected:
  Export() : image_(ui_, CRKDib::Profile::Ignore) {}

  void Adopt(int width, int height) {
    picture_ = apptest::Gradient(width, height);
    image_.AdoptPicture(apptest::ToBlock(picture_));
  }
  // Exports into a fresh file named `name`; its bytes afterwards.
  QByteArray ExportAs(const QString& name, bool* ok) {
    QFile file(dir_.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    *ok = image_.ExportFile(file, name);
    file.close();
    return apptest::ReadBytes(dir_.filePath(name));
  }
  QByteArray Bmp() const {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(image_.BmpBytes(bytes));
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  }

  QTemporaryDir dir_;
  apptest::CollectingUi ui_;
  CRKDib image_;
  apptest::Rgb picture_;
};

TEST_F(Export, NothingWithoutAPicture) {
  bool ok = true;
  EXPECT_TRUE(ExportAs("photo.jpg", &ok).isEmpty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(ui_.messages.empty());
}

class BmpNames : public Export, public ::testing::WithParamInterface<const char*> {};
TEST_P(BmpNames, WriteTheBitmap) {
  Adopt(5, 3);
  bool ok = false;
  const QByteArray written = ExportAs(QString::fromLatin1(GetParam()), &ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(written, Bmp());
}
INSTANTIATE_TEST_SUITE_P(Spellings, BmpNames,
                         ::testing::Values("photo.bmp", "photo.BMP", "photo.bmp.jpg"),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

class UnknownNames : public Export, public ::testing::WithParamInterface<const char*> {};
TEST_P(UnknownNames, FormatErrorAndAnEmptyFile) {
  Adopt(5, 3);
  bool ok = true;
  EXPECT_TRUE(ExportAs(QString::fromLatin1(GetParam()), &ok).isEmpty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(ui_.messages, std::vector<Message>{Message::FormatError});
}
INSTANTIATE_TEST_SUITE_P(Spellings, UnknownNames,
                         ::testing::Values("photo.Jpg", "photo.jPG", "photo.Bmp", "photo.Tif",
                                           "photo.png", "photo", "photo.jpeg"),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

class BmpOfOddWidths : public Export, public ::testing::WithParamInterface<int> {};
TEST_P(BmpOfOddWidths, ReadByQtAsThePicture) {
  Adopt(GetParam(), 4);
  bool ok = false;
  const QByteArray written = ExportAs("odd.bmp", &ok);
  ASSERT_TRUE(ok);
  QImage back;
  ASSERT_TRUE(back.loadFromData(written, "BMP"));
  ASSERT_EQ(back.size(), QSize(GetParam(), 4));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < GetParam(); ++x) {
      const uint8_t* p = &picture_.px[(static_cast<size_t>(y) * GetParam() + x) * 3];
      ASSERT_EQ(back.pixel(x, y), qRgb(p[0], p[1], p[2]));
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Widths, BmpOfOddWidths, ::testing::Values(1, 3, 5, 7, 13),
                         [](const auto& info) { return "Width" + std::to_string(info.param); });

class JpegNames : public Export, public ::testing::WithParamInterface<const char*> {};
TEST_P(JpegNames, EncodeThePicture) {
  Adopt(64, 48);
  bool ok = false;
  const QByteArray written = ExportAs(QString::fromLatin1(GetParam()), &ok);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ui_.messages.empty());
  const apptest::Rgb back = apptest::TurboDecode(written);
  ASSERT_EQ(back.width, 64);
  ASSERT_EQ(back.height, 48);
  EXPECT_LE(apptest::MeanDifference(back, picture_), 2.0);
  EXPECT_LE(apptest::MaxDifference(back, picture_), 32);
  EXPECT_GT(ui_.busyCalls, 0);
  EXPECT_EQ(ui_.depth, 0);
}
INSTANTIATE_TEST_SUITE_P(Spellings, JpegNames, ::testing::Values("photo.jpg", "photo.JPG"),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// The output buffer holds every style's file for every picture: half the
// raw pixel bytes cannot hold even the headers of a small picture (1 x 1:
// 2 bytes), progressive files add seven scans' tables, Exif files a block
// of up to 64 KB (a 64 x 64 picture has 12 KB of pixels). Noise at
// Compress Scale 1 (every quantiser 1) gives the most data there can be.
struct SmallCase {
  int width;
  int height;
  corvid::FileStyle style;
};
class SmallPictures : public Export, public ::testing::WithParamInterface<SmallCase> {};
TEST_P(SmallPictures, EncodeInEveryStyle) {
  const SmallCase c = GetParam();
  picture_ = apptest::Gradient(c.width, c.height);
  uint32_t state = 12345;
  for (uint8_t& v : picture_.px) v = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 23);
  image_.AdoptPicture(apptest::ToBlock(picture_));
  image_.settings().compressScale = 1;
  image_.settings().fileStyle = c.style;
  bool ok = false;
  const apptest::Rgb back = apptest::TurboDecode(ExportAs("tiny.jpg", &ok));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(back.width, c.width);
  EXPECT_EQ(back.height, c.height);
}
INSTANTIATE_TEST_SUITE_P(
    Sizes, SmallPictures,
    ::testing::Values(SmallCase{1, 1, corvid::FileStyle::Normal}, SmallCase{17, 9, corvid::FileStyle::Normal},
                      SmallCase{8, 8, corvid::FileStyle::Normal}, SmallCase{1, 1, corvid::FileStyle::Progressive},
                      SmallCase{17, 9, corvid::FileStyle::Progressive},
                      SmallCase{64, 64, corvid::FileStyle::Progressive}, SmallCase{1, 1, corvid::FileStyle::Exif},
                      SmallCase{64, 64, corvid::FileStyle::Exif}, SmallCase{1000, 3, corvid::FileStyle::Exif}),
    [](const auto& info) {
      return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "Style" +
             std::to_string(static_cast<int>(info.param.style));
    });

// TIFF and progressive files byte for byte as the fixtures hold them: the
// program's TIFF (comment "TIFF by Halvard", 72 dpi; the JPEG style does
// not matter), and a progressive file at Compress Scale 96 (0.75).
TEST_F(Export, TiffAndProgressiveAsTheFixtures) {
  struct Case {
    const char* source;
    const char* name;
    corvid::FileStyle style;
    int16_t scale;
    const char* expected;
  };
  for (const Case c : {Case{"tiff/rgchecker_64x64.ppm", "photo.tif", corvid::FileStyle::Normal, 32,
                            "tiff/rgchecker_program.expected.tif"},
                       Case{"tiff/rgchecker_64x64.ppm", "photo.TIF", corvid::FileStyle::Exif, 32,
                            "tiff/rgchecker_program.expected.tif"},
                       Case{"prog/dune57x39.ppm", "photo.jpg", corvid::FileStyle::Progressive, 96,
                            "prog/e2_dune57x39_3001.jpg"}}) {
    image_.AdoptPicture(apptest::ToBlock(apptest::LoadPpm(apptest::Fixture(c.source))));
    image_.settings().fileStyle = c.style;
    image_.settings().compressScale = c.scale;
    bool ok = false;
    EXPECT_EQ(ExportAs(QString::fromLatin1(c.name), &ok), apptest::ReadBytes(apptest::Fixture(c.expected))) << c.name;
    EXPECT_TRUE(ok) << c.name;
  }
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(ui_.depth, 0);
}

// An Exif save read by exiftool: no warning, the program's texts (a UTF-8
// copyright among them) and the local time of saving in all three dates;
// the thumbnail is a 160 x 120 JPEG.
TEST_F(Export, ExifFileAsExiftoolReadsIt) {
  // The tests run at UTC+5:30, so a time written in UTC would show.
  ASSERT_EQ(QDateTime::currentDateTime().offsetFromUtc(), 19800);
  Adopt(200, 132);
  image_.settings().fileStyle = corvid::FileStyle::Exif;
  image_.settings().copyright = QStringLiteral("\u00A9 Quillbank");
  const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
  bool ok = false;
  const QByteArray written = ExportAs("exif.jpg", &ok);
  const QDateTime after = QDateTime::currentDateTime();
  ASSERT_TRUE(ok);
  EXPECT_LE(apptest::MeanDifference(apptest::TurboDecode(written), picture_), 2.0);

  const QJsonArray tags = QJsonDocument::fromJson(apptest::RunTool(
      "exiftool", {"-j", "-validate", "-warning", "-Make", "-Model", "-Software", "-Copyright", "-ModifyDate",
                   "-DateTimeOriginal", "-CreateDate", dir_.filePath("exif.jpg")})).array();
  ASSERT_EQ(tags.size(), 1);
  const QJsonObject o = tags[0].toObject();
  EXPECT_EQ(o["Validate"].toString(), "OK");
  EXPECT_FALSE(o.contains("Warning")) << o["Warning"].toString().toStdString();
  EXPECT_EQ(o["Make"].toString(), "QUILLBANK");
  EXPECT_EQ(o["Model"].toString(), "Pictor");
  EXPECT_EQ(o["Software"].toString(), "Corvid32");
  EXPECT_EQ(o["Copyright"].toString(), QStringLiteral("\u00A9 Quillbank"));
  for (const char* date : {"ModifyDate", "DateTimeOriginal", "CreateDate"}) {
    const QDateTime saved = QDateTime::fromString(o[date].toString(), "yyyy:MM:dd HH:mm:ss");
    EXPECT_TRUE(saved >= before && saved <= after) << date << " " << o[date].toString().toStdString();
  }
  const apptest::Rgb thumbnail = apptest::TurboDecode(
      apptest::RunTool("exiftool", {"-b", "-ThumbnailImage", dir_.filePath("exif.jpg")}));
  EXPECT_EQ(thumbnail.width, 160);
  EXPECT_EQ(thumbnail.height, 120);
}

TEST_F(Export, FailingDeviceIsAWriteError) {
  Adopt(64, 48);
  QBuffer device;
  device.open(QIODevice::ReadOnly);
  EXPECT_FALSE(image_.ExportFile(device, "photo.jpg"));
  EXPECT_EQ(ui_.messages, std::vector<Message>{Message::WriteError});
}

class KeptStream : public Export {
 protected:
  void OpenJpeg() {
    jpeg_ = apptest::TurboEncode(apptest::Gradient(64, 40), 95);
    apptest::WriteBytes(dir_.filePath("source.jpg"), jpeg_);
    ASSERT_TRUE(image_.ImportFile(dir_.filePath("source.jpg")));
  }
  QByteArray jpeg_;
};

TEST_F(KeptStream, WrittenBackByteForByte) {
  OpenJpeg();
  image_.settings().compressScale = 128;  // not applied to a kept stream
  bool ok = false;
  EXPECT_EQ(ExportAs("copy.jpg", &ok), jpeg_);
  EXPECT_TRUE(ok);
}

TEST_F(KeptStream, AlwaysCompressEncodesAnew) {
  OpenJpeg();
  image_.settings().alwaysCompress = 1;
  bool ok = false;
  const QByteArray written = ExportAs("again.jpg", &ok);
  ASSERT_TRUE(ok);
  EXPECT_NE(written, jpeg_);
  const apptest::Rgb back = apptest::TurboDecode(written);
  EXPECT_LE(apptest::MeanDifference(back, apptest::FromBlock(*image_.Picture())), 2.0);
  EXPECT_LE(apptest::MaxDifference(back, apptest::FromBlock(*image_.Picture())), 32);
}

TEST_F(KeptStream, AnotherPictureDropsTheStream) {
  OpenJpeg();
  Adopt(8, 8);
  EXPECT_EQ(image_.KeptStream(), nullptr);
}

TEST(ExifTexts, FilledFromTheSettings) {
  corvid::Settings settings;
  settings.model = QString(300, QLatin1Char('m'));
  // 254 bytes and a two-byte character: cut before it, not through it.
  settings.copyright = QString(254, QLatin1Char('c')) + QStringLiteral("\u00A9");
  ExifTagInfoRec record{};
  corvid::ExifTextBlock block{};
  const QDateTime now(QDate(2026, 12, 7), QTime(6, 5, 4));
  corvid::FillExifTexts(record, block, settings, now);
  EXPECT_STREQ(record.make, "QUILLBANK");
  EXPECT_EQ(record.makeLength, 10);  // the terminating zero counted
  EXPECT_EQ(record.make, block.slot[0]);
  // Cut to the slot: 255 characters and the zero.
  EXPECT_EQ(std::string(record.model), std::string(255, 'm'));
  EXPECT_EQ(record.modelLength, 256);
  EXPECT_STREQ(record.software, "Corvid32");
  EXPECT_EQ(std::string(record.copyright), std::string(254, 'c'));
  EXPECT_EQ(record.copyrightLength, 255);
  settings.copyright = QStringLiteral("\u00A9 Q");
  corvid::FillExifTexts(record, block, settings, now);
  EXPECT_STREQ(record.copyright, "\xC2\xA9 Q");  // UTF-8
  EXPECT_EQ(record.copyrightLength, 5);
  settings.copyright.clear();
  corvid::FillExifTexts(record, block, settings, now);
  EXPECT_EQ(record.copyright, nullptr);
  EXPECT_EQ(record.copyrightLength, 0);
  EXPECT_EQ(record.dateTime, &block.date);
  EXPECT_EQ(record.dateTimeOriginal, &block.date);
  EXPECT_EQ(record.dateTimeDigitized, &block.date);
  EXPECT_EQ(block.date.year, 2026);
  EXPECT_EQ(block.date.month, 12);
  EXPECT_EQ(block.date.day, 7);
  EXPECT_EQ(block.date.hour, 6);
  EXPECT_EQ(block.date.minute, 5);
  EXPECT_EQ(block.date.second, 4);
}

// Auto conversion on the image object.
class AutoConversion : public Export {
 protected:
  void SetUp() override {
    Adopt(7, 5);
    source_ = dir_.filePath("cam/IMG.CAM");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("cam"));
  }
  QString source_;
};

TEST_F(AutoConversion, BmpBesideTheSourceThenCounted) {
  image_.settings().storeType = corvid::kAutoConversionOn | 0;
  ASSERT_TRUE(image_.AutoConvert(source_));
  EXPECT_EQ(image_.LastConversion().outputPath, dir_.filePath("cam/IMG.bmp"));
  EXPECT_EQ(apptest::ReadBytes(dir_.filePath("cam/IMG.bmp")), Bmp());
  ASSERT_TRUE(image_.AutoConvert(source_));
  EXPECT_EQ(image_.LastConversion().outputPath, dir_.filePath("cam/~001_IMG.bmp"));
  ASSERT_TRUE(image_.AutoConvert(source_));
  EXPECT_EQ(image_.LastConversion().outputPath, dir_.filePath("cam/~002_IMG.bmp"));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(AutoConversion, OutputPathIsAFolderWithOrWithoutItsSeparator) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir("out"));
  for (const QString& typed : {dir_.filePath("out"), dir_.filePath("out") + "/"}) {
    image_.settings().outputPath = typed;
    ASSERT_TRUE(image_.AutoConvert(source_));
  }
  EXPECT_EQ(apptest::Entries(dir_.filePath("out")), (std::vector<QString>{"IMG.bmp", "~001_IMG.bmp"}));
  EXPECT_FALSE(QFile::exists(dir_.filePath("outIMG.bmp")));
}

TEST_F(AutoConversion, FailuresAreReportedAndWriteNothing) {
  image_.settings().outputPath = dir_.filePath("missing/");
  image_.settings().storeType = 2;
  EXPECT_FALSE(image_.AutoConvert(source_));
  EXPECT_FALSE(image_.LastConversion().ok);
  EXPECT_EQ(ui_.messages, (std::vector<Message>{Message::CantOpenFile}));
  EXPECT_TRUE(apptest::Entries(dir_.filePath("cam")).empty());
}

// Every target and JPEG style: a TIFF that libtiff reads as the picture,
// JPEG files (baseline, progressive, Exif) that libjpeg-turbo decodes.
TEST_F(AutoConversion, EveryTargetAndStyle) {
  Adopt(67, 45);
  image_.settings().storeType = corvid::kAutoConversionOn | 2;
  ASSERT_TRUE(image_.AutoConvert(source_));
  EXPECT_EQ(apptest::MaxDifference(apptest::LibtiffDecode(dir_.filePath("cam/IMG.tif")), picture_), 0);
  image_.settings().storeType = corvid::kAutoConversionOn | 1;
  for (const auto style : {corvid::FileStyle::Normal, corvid::FileStyle::Progressive, corvid::FileStyle::Exif}) {
    image_.settings().fileStyle = style;
    ASSERT_TRUE(image_.AutoConvert(source_));
    const apptest::Rgb back = apptest::TurboDecode(apptest::ReadBytes(image_.LastConversion().outputPath));
    EXPECT_LE(apptest::MeanDifference(back, picture_), 2.0) << static_cast<int>(style);
  }
  EXPECT_EQ(apptest::Entries(dir_.filePath("cam")),
            (std::vector<QString>{"IMG.jpg", "IMG.tif", "~001_IMG.jpg", "~002_IMG.jpg"}));
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(AutoConversion, NothingWithoutASourcePath) {
  EXPECT_FALSE(image_.AutoConvert(QString()));
  EXPECT_FALSE(image_.LastConversion().attempted);
}

TEST_F(AutoConversion, JpegSourceWritesItsKeptStream) {
  const QByteArray jpeg = apptest::TurboEncode(apptest::Gradient(30, 20));
  apptest::WriteBytes(dir_.filePath("cam/shot.JPG"), jpeg);
  image_.settings().storeType = corvid::kAutoConversionOn | 1;
  ASSERT_TRUE(image_.ImportFile(dir_.filePath("cam/shot.JPG")));
  ASSERT_TRUE(image_.LastConversion().ok);
  EXPECT_EQ(image_.LastConversion().outputPath, dir_.filePath("cam/shot.jpg"));
  EXPECT_EQ(apptest::ReadBytes(dir_.filePath("cam/shot.jpg")), jpeg);
}

TEST_F(AutoConversion, CamOpenedTwiceGivesCountedJpegs) {
  QFile::copy(apptest::Fixture("cam/scene_MM_thumb.cam"), source_);
  image_.settings().storeType = corvid::kAutoConversionOn | 1;
  ASSERT_TRUE(image_.ImportFile(source_));
  ASSERT_TRUE(image_.ImportFile(source_));
  EXPECT_TRUE(ui_.messages.empty());
  const QByteArray first = apptest::ReadBytes(dir_.filePath("cam/IMG.jpg"));
  const QByteArray second = apptest::ReadBytes(dir_.filePath("cam/~001_IMG.jpg"));
  EXPECT_EQ(first, second);
  const apptest::Rgb decoded = apptest::TurboDecode(first);
  EXPECT_EQ(decoded.width, 480);
  EXPECT_EQ(decoded.height, 360);
  EXPECT_LE(apptest::MeanDifference(decoded, apptest::FromBlock(*image_.Picture())), 3.0);
}

// The document's open and save.
TEST(Document, SaveAndOpenEdges) {
  QTemporaryDir dir;
  apptest::CollectingUi ui;
  corvid::CCorvidDoc doc(ui, CRKDib::Profile::Ignore);
  // No picture: nothing happens, not even a file.
  EXPECT_FALSE(doc.Save(dir.filePath("a.bmp")));
  EXPECT_FALSE(QFile::exists(dir.filePath("a.bmp")));
  EXPECT_TRUE(ui.messages.empty());
  // A failed open keeps the document's path.
  EXPECT_FALSE(doc.Open(dir.filePath("nothing.cam")));
  EXPECT_EQ(doc.Path(), "");
  EXPECT_EQ(ui.messages, std::vector<Message>{Message::CantOpenFile});
  ui.messages.clear();
  doc.Image().AdoptPicture(apptest::ToBlock(apptest::Gradient(3, 3)));
  EXPECT_FALSE(doc.Save(dir.filePath("no/such/folder/a.bmp")));
  EXPECT_EQ(ui.messages, std::vector<Message>{Message::CantFileCreate});
  // Save truncates what was there.
  apptest::WriteBytes(dir.filePath("old.bmp"), QByteArray(5000, 'x'));
  EXPECT_TRUE(doc.Save(dir.filePath("old.bmp")));
  EXPECT_EQ(apptest::ReadBytes(dir.filePath("old.bmp")).size(), 54 + 12 * 3);
  EXPECT_FALSE(doc.HasInfo());
  EXPECT_TRUE(doc.InfoLines().isEmpty());
}

// A save that fails (a name of no known type: ".jpeg" holds no ".jpg")
// leaves the file it would have replaced byte for byte as it was.
TEST(Document, FailedSaveLeavesTheTargetAsItWas) {
  QTemporaryDir dir;
  const QByteArray jpeg = apptest::TurboEncode(apptest::Gradient(40, 24));
  apptest::WriteBytes(dir.filePath("photo.jpg"), jpeg);
  struct Case {
    const char* name;
    corvid::FileStyle style;
    Message message;
  };
  for (const Case c : {Case{"photo.png", corvid::FileStyle::Normal, Message::FormatError},
                       Case{"photo.jpeg", corvid::FileStyle::Exif, Message::FormatError}}) {
    const QString target = dir.filePath(QString::fromLatin1(c.name));
    if (!QFile::exists(target)) apptest::WriteBytes(target, jpeg);
    apptest::CollectingUi ui;
    corvid::CCorvidDoc doc(ui, CRKDib::Profile::Ignore);
    ASSERT_TRUE(doc.Open(dir.filePath("photo.jpg")));
    doc.Image().settings().alwaysCompress = 1;
    doc.Image().settings().fileStyle = c.style;
    EXPECT_FALSE(doc.Save(target)) << c.name;
    EXPECT_EQ(ui.messages, std::vector<Message>{c.message}) << c.name;
    EXPECT_EQ(apptest::ReadBytes(target), jpeg) << c.name;
  }
  EXPECT_EQ(apptest::Entries(dir.path()).size(), 3u);  // nothing left beside them
}

TEST(Document, ScaledSizeForTheZoom) {
  EXPECT_EQ(corvid::ScaledSize(QSize(481, 361), 64), QSize(240, 180));
  EXPECT_EQ(corvid::ScaledSize(QSize(481, 361), 128), QSize(481, 361));
  EXPECT_EQ(corvid::ScaledSize(QSize(481, 361), 256), QSize(962, 722));
  EXPECT_EQ(corvid::ScaledSize(QSize(0, 0), 64), QSize(0, 0));
}

TEST(Document, ProposedSaveNameDropsTheExtension) {
  QTemporaryDir dir;
  QFile::copy(apptest::Fixture("cam/chart_II_extra.cam"), dir.filePath("chart.v2.cam"));
  apptest::CollectingUi ui;
  corvid::CCorvidDoc doc(ui, CRKDib::Profile::Ignore);
  ASSERT_TRUE(doc.Open(dir.filePath("chart.v2.cam")));
  EXPECT_EQ(doc.ProposedSaveName(), dir.filePath("chart.v2"));
}

}  // namespace
