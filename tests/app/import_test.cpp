// Import: recognition, decoding and what an import that fails leaves alone.
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app_support.h"
#include "document.h"
#include "rk_dib.h"

using corvid::CRKDib;
using corvid::Message;

namespace {

class Import : public ::testing::Test {
 protected:
  Import() : image_(ui_, CRKDib::Profile::Ignore) {}

  bool ImportBytes(const QByteArray& bytes, const QString& name = "picture.cam") {
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    return image_.ImportFile(device, dir_.path() + QLatin1Char('/') + name);
  }
  // A picture the import must leave in place when it fails.
  void AdoptMarker() {
    image_.AdoptPicture(apptest::ToBlock(apptest::Gradient(9, 5)));
    marker_ = image_.Picture();
  }
  void ExpectMarkerKept() {
    EXPECT_EQ(image_.Picture(), marker_);
    EXPECT_EQ(image_.Header(), marker_->data());
    EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*marker_), apptest::Gradient(9, 5)), 0);
  }

  QTemporaryDir dir_;
  apptest::CollectingUi ui_;
  CRKDib image_;
  const corvid::PixelBlock* marker_ = nullptr;
};

QByteArray BmpFile() {
  auto block = apptest::ToBlock(apptest::Gradient(6, 4));
  apptest::CollectingUi ui;
  corvid::CDib dib(ui);
  dib.AttachImage(block->data(), false);
  std::vector<uint8_t> bytes;
  dib.BmpBytes(bytes);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

struct Unknown {
  const char* name;
  QByteArray bytes;
};
class UnknownFile : public Import, public ::testing::WithParamInterface<Unknown> {};

TEST_P(UnknownFile, FormatErrorAndThePictureStays) {
  AdoptMarker();
  image_.settings().storeType = corvid::kAutoConversionOn | 0;  // would write a BMP
  EXPECT_FALSE(ImportBytes(GetParam().bytes));
  EXPECT_EQ(ui_.messages, std::vector<Message>{Message::FormatError});
  EXPECT_FALSE(image_.Loaded());
  ExpectMarkerKept();
  EXPECT_FALSE(image_.LastConversion().attempted);
  EXPECT_TRUE(apptest::Entries(dir_.path()).empty());
  EXPECT_EQ(ui_.depth, 0);  // the busy indicator ended
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnknownFile,
    ::testing::Values(Unknown{"Empty", QByteArray()}, Unknown{"OneByte", QByteArray(1, '\x07')},
                      Unknown{"Junk", QByteArray(5000, '\xAB')},
                      Unknown{"Text", QByteArray("just some words\n")},
                      Unknown{"Bmp", BmpFile()},
                      Unknown{"SoiEoiOnly", QByteArray("\xFF\xD8\xFF\xD9", 4)},
                      // A CAM header with an empty directory holds no picture.
                      Unknown{"CamWithoutSections", QByteArray("\x07\x20MM\x00\x00", 6)},
                      // A CAM directory whose picture section runs far past the file.
                      Unknown{"CamSectionPastEnd",
                              QByteArray("\x07\x20MM\x00\x01\x00\x03\x7F\xFF\xFF\xFF"
                                         "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00",
                                         22) + QByteArray(200, '\0')}),
    [](const auto& info) { return std::string(info.param.name); });

// A file that cannot be opened is not a file of an unknown format.
TEST_F(Import, MissingFileOrFolderCannotBeOpened) {
  AdoptMarker();
  EXPECT_FALSE(image_.ImportFile(dir_.path() + "/does-not-exist.cam"));
  EXPECT_FALSE(image_.ImportFile(dir_.path()));  // a folder
  EXPECT_EQ(ui_.messages, (std::vector<Message>{Message::CantOpenFile, Message::CantOpenFile}));
  ExpectMarkerKept();
}

// The device claims more bytes than it delivers.
TEST_F(Import, ShortReadIsAFormatError) {
  class Liar : public QBuffer {
   public:
    qint64 size() const override { return QBuffer::size() + 100; }
  };
  Liar device;
  device.setData(apptest::ReadBytes(apptest::Fixture("cam/scene_MM_thumb.cam")));
  device.open(QIODevice::ReadOnly);
  AdoptMarker();
  EXPECT_FALSE(image_.ImportFile(device, dir_.path() + "/x.cam"));
  EXPECT_EQ(ui_.messages, std::vector<Message>{Message::FormatError});
  ExpectMarkerKept();
}

struct CamCase {
  const char* file;
  int sizeCode;
  const char* expected;
};
class CamPicture : public Import, public ::testing::WithParamInterface<CamCase> {};

TEST_P(CamPicture, DecodesToTheReferencePicture) {
  image_.settings().setCamSizeCode(GetParam().sizeCode);
  ASSERT_TRUE(image_.ImportFile(apptest::Fixture(GetParam().file)));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(image_.Loaded());
  EXPECT_EQ(image_.StreamOffset(), -1);  // nothing kept for a CAM picture
  EXPECT_EQ(image_.KeptStream(), nullptr);
  EXPECT_FALSE(image_.Exif().HasInfo());
  const apptest::Rgb expected = apptest::LoadPpm(apptest::Fixture(GetParam().expected));
  EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), expected), 0);
  EXPECT_EQ(image_.PixelSize(), QSize(expected.width, expected.height));
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CamPicture,
    ::testing::Values(CamCase{"cam/scene_MM_thumb.cam", 0, "cam/scene_MM_thumb.480x360.ppm"},
                      CamCase{"cam/scene_MM_thumb.cam", 1, "cam/scene_MM_thumb.480x240.ppm"},
                      CamCase{"cam/scene_MM_thumb.cam", 2, "cam/scene_MM_thumb.320x240.ppm"},
                      CamCase{"cam/chart_II_extra.cam", 0, "cam/chart_II_extra.480x360.ppm"},
                      CamCase{"cam/chart_II_extra.cam", 2, "cam/chart_II_extra.320x240.ppm"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(Import, CamSizeAppliesToTheNextOpenOnly) {
  ASSERT_TRUE(image_.ImportFile(apptest::Fixture("cam/chart_II_extra.cam")));
  image_.settings().setCamSizeCode(2);
  EXPECT_EQ(image_.PixelSize(), QSize(480, 360));
  ASSERT_TRUE(image_.ImportFile(apptest::Fixture("cam/chart_II_extra.cam")));
  EXPECT_EQ(image_.PixelSize(), QSize(320, 240));
}

TEST_F(Import, JpegSectionOfACamFileIsDecodedAndKept) {
  const QByteArray file = apptest::ReadBytes(apptest::Fixture("cam/pattern_MM_jpegsection.cam"));
  ASSERT_TRUE(ImportBytes(file));
  EXPECT_TRUE(ui_.messages.empty());
  ASSERT_NE(image_.KeptStream(), nullptr);
  // The section is the file's last 637 bytes, SOI to EOI.
  EXPECT_EQ(image_.StreamLength(), 637);
  EXPECT_EQ(image_.StreamOffset(), file.size() - 637);
  const QByteArray stream(reinterpret_cast<const char*>(image_.KeptStream()), image_.StreamLength());
  EXPECT_TRUE(stream.startsWith("\xFF\xD8"));
  EXPECT_TRUE(stream.endsWith("\xFF\xD9"));
  EXPECT_FALSE(image_.Exif().HasInfo());
  // Our decoder and libjpeg-turbo agree on the picture.
  const apptest::Rgb peer = apptest::TurboDecode(stream);
  EXPECT_LE(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), peer), 6);
  EXPECT_LE(apptest::MeanDifference(apptest::FromBlock(*image_.Picture()), peer), 1.0);
}

TEST_F(Import, PlainJfifIsDecodedAndItsStreamKept) {
  const apptest::Rgb picture = apptest::Gradient(61, 37);
  const QByteArray jpeg = apptest::TurboEncode(picture);
  ASSERT_TRUE(ImportBytes(jpeg, "photo.jpg"));
  EXPECT_EQ(image_.PixelSize(), QSize(61, 37));
  EXPECT_EQ(image_.StreamOffset(), 0);
  EXPECT_EQ(image_.StreamLength(), jpeg.size());
  EXPECT_FALSE(image_.Exif().HasInfo());
  // Two decoders of one stream differ only by their arithmetic.
  const apptest::Rgb peer = apptest::TurboDecode(jpeg);
  EXPECT_LE(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), peer), 6);
  EXPECT_LE(apptest::MeanDifference(apptest::FromBlock(*image_.Picture()), peer), 1.0);
}

TEST_F(Import, JpegAfterLeadingJunkKeepsOnlyTheStream) {
  const QByteArray jpeg = apptest::TurboEncode(apptest::Gradient(16, 16));
  ASSERT_TRUE(ImportBytes(QByteArray(33, 'j') + jpeg + QByteArray(10, 't'), "odd.bin"));
  EXPECT_EQ(image_.StreamOffset(), 33);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(image_.KeptStream()), image_.StreamLength()), jpeg);
}

// JPEG streams coded in several scans: progressive ones (libjpeg-turbo's
// script; cjpeg's with restart intervals, grey) and a sequential one whose
// components come in scans of their own. Each opens with exactly the
// pixels of the same coefficients re-coded as one baseline scan (jpegtran
// keeps the coefficients), inside a CAM file too, and its own stream is
// the one kept for saving.
struct ScanCase {
  const char* name;
  QStringList cjpeg;  // empty: libjpeg-turbo's progressive encode
  const char* script;
  bool inCam;
};
class ScanCoded : public Import, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ScanCoded, SamePixelsAsTheBaselineRecoding) {
  const ScanCase& c = GetParam();
  const apptest::Rgb picture = apptest::Gradient(61, 37);
  QByteArray jpeg;
  if (c.cjpeg.isEmpty()) {
    jpeg = apptest::TurboEncode(picture, 90, true);
  } else {
    QStringList args = c.cjpeg;
    if (c.script != nullptr) {
      apptest::WriteBytes(dir_.filePath("scans.txt"), c.script);
      args << "-scans" << dir_.filePath("scans.txt");
    }
    jpeg = apptest::RunTool("cjpeg", args, apptest::Ppm(picture));
  }
  const QByteArray baseline = apptest::RunTool("jpegtran", {"-copy", "none"}, jpeg);
  ASSERT_TRUE(ImportBytes(baseline, "baseline.jpg"));
  const apptest::Rgb expected = apptest::FromBlock(*image_.Picture());

  const QByteArray file = c.inCam ? apptest::CamWithJpeg(jpeg) : jpeg;
  ASSERT_TRUE(ImportBytes(file, "scans.jpg"));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(image_.Kind(), c.inCam ? corvid::SourceKind::CamJpeg : corvid::SourceKind::Jpeg);
  EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), expected), 0);
  ASSERT_NE(image_.KeptStream(), nullptr);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(image_.KeptStream()), image_.StreamLength()), jpeg);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ScanCoded,
    ::testing::Values(ScanCase{"Progressive", {}, nullptr, false},
                      ScanCase{"ProgressiveInCam", {}, nullptr, true},
                      ScanCase{"ProgressiveRestartsGrey", {"-progressive", "-restart", "1", "-grayscale"}, nullptr, false},
                      ScanCase{"Progressive444Restarts", {"-progressive", "-restart", "3B", "-sample", "1x1"}, nullptr,
                               true},
                      // Three sequential scans of one component each.
                      ScanCase{"SequentialComponentScans", {"-sample", "2x2"}, "0;\n1;\n2;\n", false}),
    [](const auto& info) { return std::string(info.param.name); });

// TIFF files: the fixtures (YCbCr 2 x 2 in data units, planar RGB through
// scattered strips) to the exact picture; a TIFF holding a JPEG stream the
// old way through the JPEG decoder; a TIFF with a JPEG stream elsewhere in
// it (as a thumbnail directory would point at) still shows its own picture.
TEST_F(Import, TiffFilesOpenWithTheirPicture) {
  for (const char* name : {"flower_ycc22_II", "storm_planar_II"}) {
    ASSERT_TRUE(image_.ImportFile(apptest::Fixture((std::string("tiff/") + name + ".tif").c_str()))) << name;
    EXPECT_EQ(image_.Kind(), corvid::SourceKind::Tiff);
    EXPECT_EQ(image_.KeptStream(), nullptr);
    const apptest::Rgb expected = apptest::LoadPpm(apptest::Fixture((std::string("tiff/") + name + ".expected.ppm").c_str()));
    EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), expected), 0) << name;
  }

  const apptest::Rgb picture = apptest::Gradient(45, 29);
  const QByteArray jpeg = apptest::TurboEncode(picture);
  ASSERT_TRUE(ImportBytes(jpeg, "plain.jpg"));
  const apptest::Rgb fromJpeg = apptest::FromBlock(*image_.Picture());
  ASSERT_TRUE(ImportBytes(apptest::OldJpegTiff(jpeg, 45, 29), "old.tif"));
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(image_.Kind(), corvid::SourceKind::Tiff);
  EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), fromJpeg), 0);
  // The same stream without its Huffman tables (as TIFF writers that kept
  // the tables apart left it) decodes with the standard ones libjpeg wrote.
  QByteArray bare = jpeg;
  for (qsizetype at = bare.indexOf("\xFF\xC4"); at >= 0; at = bare.indexOf("\xFF\xC4")) {
    const int length = static_cast<uint8_t>(bare[at + 2]) << 8 | static_cast<uint8_t>(bare[at + 3]);
    bare.remove(at, 2 + length);
  }
  ASSERT_TRUE(ImportBytes(apptest::OldJpegTiff(bare, 45, 29), "bare.tif"));
  EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), fromJpeg), 0);

  image_.AdoptPicture(apptest::ToBlock(apptest::Gradient(20, 10)));
  ASSERT_TRUE(image_.SaveFile(dir_.filePath("own.tif")));
  ASSERT_TRUE(ImportBytes(apptest::ReadBytes(dir_.filePath("own.tif")) + jpeg, "trailing.tif"));
  EXPECT_EQ(image_.PixelSize(), QSize(20, 10));
  EXPECT_EQ(apptest::MaxDifference(apptest::FromBlock(*image_.Picture()), apptest::Gradient(20, 10)), 0);
}

// The information text of two Exif files, exactly as the fixtures hold it:
// big- and little-endian, a thumbnail, UTF-8 copyright, truncated 1/t.
class ExifFixture : public Import, public ::testing::WithParamInterface<const char*> {};
TEST_P(ExifFixture, InformationTextAsExpected) {
  const std::string name = std::string("exif/") + GetParam();
  corvid::CCorvidDoc doc(ui_, CRKDib::Profile::Ignore);
  ASSERT_TRUE(doc.Open(apptest::Fixture((name + ".jpg").c_str())));
  ASSERT_TRUE(doc.HasInfo());
  EXPECT_EQ(corvid::InfoText(doc.InfoLines()), apptest::ReadBytes(apptest::Fixture((name + ".expected.txt").c_str())));
}
INSTANTIATE_TEST_SUITE_P(Files, ExifFixture,
                         ::testing::Values("read_storm_MM_0220_thumb", "read_yflower_II_0230_utf8"));

// A TIFF file's own Exif directory (written here by exiftool into a TIFF
// from libtiff) is its information.
TEST_F(Import, TiffCarriesItsExifInformation) {
  const QString path = dir_.filePath("tagged.tif");
  apptest::LibtiffWrite(path, apptest::Gradient(24, 16));
  apptest::RunTool("exiftool", {"-q", "-overwrite_original", "-Make=Lumen", "-ExposureTime=0.5",
                                "-FNumber=5.6", "-ISO=400", "-ExifIFD:Flash#=1", path});
  corvid::CCorvidDoc doc(ui_, CRKDib::Profile::Ignore);
  ASSERT_TRUE(doc.Open(path));
  EXPECT_EQ(doc.InfoLines(), (QStringList{"Manufacture:Lumen", "F Number:F 5.6", "Exposure Time:1/2sec",
                                          "ISO:400", "Flash:Yes"}));
}

// Every prefix of a valid file is refused without reading past it (the
// sanitizers watch) and leaves the earlier picture in place.
class TruncatedFile : public Import, public ::testing::WithParamInterface<const char*> {};

TEST_P(TruncatedFile, EveryPrefixIsRefused) {
  const std::string name = GetParam();
  QByteArray file;
  if (name == "jpeg" || name == "progressive") {
    file = apptest::TurboEncode(apptest::Gradient(40, 24), 90, name == "progressive");
  } else {
    file = apptest::ReadBytes(apptest::Fixture(GetParam()));
  }
  ASSERT_FALSE(file.isEmpty());
  AdoptMarker();
  // Every length near both ends, and a spread of lengths in between.
  std::vector<qsizetype> lengths;
  for (qsizetype n = 0; n < file.size(); ++n) {
    if (n < 300 || file.size() - n < 300 || n % 97 == 0) lengths.push_back(n);
  }
  for (qsizetype n : lengths) {
    ui_.messages.clear();
    // A fresh copy of exactly n bytes, so that a read past it is caught.
    ASSERT_FALSE(ImportBytes(QByteArray(file.constData(), n))) << "length " << n;
    ASSERT_EQ(ui_.messages.size(), 1u) << "length " << n;
    EXPECT_TRUE(ui_.messages[0] == Message::FormatError || ui_.messages[0] == Message::MemoryError);
  }
  ExpectMarkerKept();
  ui_.messages.clear();
  EXPECT_TRUE(ImportBytes(file));
}

INSTANTIATE_TEST_SUITE_P(Files, TruncatedFile,
                         ::testing::Values("cam/scene_MM_thumb.cam", "cam/chart_II_extra.cam",
                                           "cam/pattern_MM_jpegsection.cam", "jpeg", "progressive",
                                           "tiff/storm_planar_II.tif", "exif/read_yflower_II_0230_utf8.jpg"),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace

namespace {

// Damaged files: bytes overwritten across the whole file. Each import either
// succeeds cleanly or says "Format Error"; the sanitizers watch every read.
class DamagedFile : public Import, public ::testing::WithParamInterface<const char*> {};

TEST_P(DamagedFile, DecodesOrRefusesCleanly) {
  const QByteArray file = apptest::ReadBytes(apptest::Fixture(GetParam()));
  ASSERT_FALSE(file.isEmpty());
  const qsizetype step = std::max<qsizetype>(1, file.size() / 120);
  int refused = 0;
  for (qsizetype at = 0; at < file.size(); at += step) {
    for (const char value : {'\x00', '\xFF', '\x7F'}) {
      QByteArray damaged = file;
      damaged[at] = value;
      ui_.messages.clear();
      const bool ok = ImportBytes(damaged);
      if (ok) {
        EXPECT_TRUE(ui_.messages.empty()) << "byte " << at;
      } else {
        ++refused;
        EXPECT_EQ(ui_.messages, std::vector<Message>{Message::FormatError}) << "byte " << at;
      }
    }
  }
  // The header bytes alone make some of these refusals certain.
  EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedFile,
                         ::testing::Values("cam/scene_MM_thumb.cam", "cam/chart_II_extra.cam",
                                           "cam/pattern_MM_jpegsection.cam", "tiff/flower_ycc22_II.tif",
                                           "exif/read_storm_MM_0220_thumb.jpg",
                                           "prog/d2_flower64x48_444_rst5.jpg"),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
