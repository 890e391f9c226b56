// Export: the file name decides the format; JPEG sources are written back
// unchanged unless Always Compress is set; auto conversion on the image object.
#include <QBuffer>
#include <QFile>
#include <QImage>
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

// Half the raw pixel bytes cannot hold even the headers of a small
// picture (1 x 1: 2 bytes); the buffer is the encoder's own bound then.
class SmallPictures : public Export, public ::testing::WithParamInterface<std::pair<int, int>> {};
TEST_P(SmallPictures, EncodeUnderAlwaysCompress) {
  const auto [width, height] = GetParam();
  Adopt(width, height);
  image_.settings().alwaysCompress = 1;
  image_.settings().compressScale = 1;  // the finest tables: the most data
  bool ok = false;
  const apptest::Rgb back = apptest::TurboDecode(ExportAs("tiny.jpg", &ok));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(back.width, width);
  EXPECT_EQ(back.height, height);
}
INSTANTIATE_TEST_SUITE_P(Sizes, SmallPictures,
                         ::testing::Values(std::make_pair(1, 1), std::make_pair(17, 9), std::make_pair(8, 8)),
                         [](const auto& info) {
                           return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

// TIFF, progressive JPEG and Exif JPEG are not in the library yet: each
// save fails with "Export Error" and leaves the file empty.
TEST_F(Export, FormatsNotYetAvailableWriteNothing) {
  Adopt(64, 48);
  bool ok = true;
  EXPECT_TRUE(ExportAs("photo.tif", &ok).isEmpty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(ExportAs("photo.TIF", &ok).isEmpty());
  EXPECT_FALSE(ok);
  image_.settings().fileStyle = corvid::FileStyle::Progressive;
  EXPECT_TRUE(ExportAs("prog.jpg", &ok).isEmpty());
  EXPECT_FALSE(ok);
  image_.settings().fileStyle = corvid::FileStyle::Exif;
  EXPECT_TRUE(ExportAs("exif.jpg", &ok).isEmpty());
  EXPECT_FALSE(ok);
  EXPECT_EQ(ui_.messages, std::vector<Message>(4, Message::ExportError));
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
  EXPECT_FALSE(image_.AutoConvert(source_));
  image_.settings().outputPath.clear();
  image_.settings().storeType = 2;  // TIFF: not in the library yet
  EXPECT_FALSE(image_.AutoConvert(source_));
  EXPECT_FALSE(image_.LastConversion().ok);
  EXPECT_EQ(ui_.messages, (std::vector<Message>{Message::CantOpenFile, Message::ExportError}));
  EXPECT_TRUE(apptest::Entries(dir_.filePath("cam")).empty());
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

// A save that fails (a format not written yet, a name of no known type)
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
  for (const Case c : {Case{"photo.jpg", corvid::FileStyle::Progressive, Message::ExportError},
                       Case{"photo.jpg", corvid::FileStyle::Exif, Message::ExportError},
                       Case{"photo.jpg.tif", corvid::FileStyle::Normal, Message::ExportError},
                       Case{"photo.png", corvid::FileStyle::Normal, Message::FormatError}}) {
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
