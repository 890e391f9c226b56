// Settings: defaults, reading rules, and the round trip through the
// profile store (a private folder, see app_support.cpp).
#include <QSettings>
#include <gtest/gtest.h>

#include "app_support.h"
#include "rk_dib.h"
#include "settings.h"

using corvid::Settings;

namespace {

std::unique_ptr<QSettings> Profile() {
  return std::make_unique<QSettings>(corvid::ProfileFormat(), QSettings::UserScope,
                                     QStringLiteral("Quillbank"), QStringLiteral("Corvid"));
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    auto store = Profile();
    store->clear();
    store->sync();
  }
  void Put(const char* section, const char* key, const QVariant& value) {
    auto store = Profile();
    store->setValue(QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key), value);
    store->sync();
  }
  Settings Load() {
    auto store = Profile();
    return corvid::LoadSettings(*store);
  }
};

TEST_F(SettingsStore, EmptyStoreGivesTheDefaults) {
  const Settings s = Load();
  EXPECT_EQ(s.camWidth, 480);
  EXPECT_EQ(s.camHeight, 360);
  EXPECT_EQ(s.outputPath, "");
  EXPECT_EQ(s.storeType, 0u);
  EXPECT_FALSE(s.autoConversion());
  EXPECT_EQ(s.alwaysCompress, 0);
  EXPECT_EQ(s.fileStyle, corvid::FileStyle::Normal);
  EXPECT_EQ(s.compressScale, 32);
  EXPECT_DOUBLE_EQ(s.quantScale(), 0.25);
  EXPECT_EQ(s.make, "QUILLBANK");
  EXPECT_EQ(s.model, "Pictor");
  EXPECT_EQ(s.software, "Corvid32");
  EXPECT_EQ(s.copyright, "");
  EXPECT_EQ(s.zoom, 128);
}

struct CamSizeCase {
  QVariant stored;
  int width;
  int height;
};
class CamSizeReading : public SettingsStore, public ::testing::WithParamInterface<CamSizeCase> {};
TEST_P(CamSizeReading, CodeGivesSize) {
  Put("CAM Param", "CAM Size", GetParam().stored);
  const Settings s = Load();
  EXPECT_EQ(s.camWidth, GetParam().width);
  EXPECT_EQ(s.camHeight, GetParam().height);
}
INSTANTIATE_TEST_SUITE_P(Codes, CamSizeReading,
                         ::testing::Values(CamSizeCase{0, 480, 360}, CamSizeCase{1, 480, 240},
                                           CamSizeCase{2, 320, 240}, CamSizeCase{3, 480, 360},
                                           CamSizeCase{-1, 480, 360},
                                           CamSizeCase{QStringLiteral("two"), 480, 360}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

struct IntCase {
  const char* section;
  const char* key;
  qlonglong stored;
  qlonglong read;
};
class IntReading : public SettingsStore, public ::testing::WithParamInterface<IntCase> {};
TEST_P(IntReading, Rule) {
  const IntCase c = GetParam();
  Put(c.section, c.key, c.stored);
  const Settings s = Load();
  qlonglong value = 0;
  const std::string key = c.key;
  if (key == "CAM Store Type") value = s.storeType;
  if (key == "Compress Scale") value = s.compressScale;
  if (key == "Progressive") value = static_cast<qlonglong>(s.fileStyle);
  if (key == "Always Compress") value = s.alwaysCompress;
  EXPECT_EQ(value, c.read);
}
INSTANTIATE_TEST_SUITE_P(
    Rules, IntReading,
    ::testing::Values(
        // A target above TIFF goes back to BMP, the on bit stays.
        IntCase{"CAM Param", "CAM Store Type", 0x13, 0x10},
        IntCase{"CAM Param", "CAM Store Type", 0x03, 0x00},
        IntCase{"CAM Param", "CAM Store Type", 0x1F, 0x10},
        IntCase{"CAM Param", "CAM Store Type", 0x12, 0x12},
        IntCase{"CAM Param", "CAM Store Type", 0x01, 0x01},
        // Kept within the JPEG dialog's 1..128.
        IntCase{"JPEG Param", "Compress Scale", 0, 1},
        IntCase{"JPEG Param", "Compress Scale", -7, 1},
        IntCase{"JPEG Param", "Compress Scale", 1, 1},
        IntCase{"JPEG Param", "Compress Scale", 64, 64},
        IntCase{"JPEG Param", "Compress Scale", 128, 128},
        IntCase{"JPEG Param", "Compress Scale", 129, 128},
        IntCase{"JPEG Param", "Compress Scale", 70000, 128},
        IntCase{"JPEG Param", "Progressive", 1, 1},
        IntCase{"JPEG Param", "Progressive", 2, 2},
        IntCase{"JPEG Param", "Progressive", 3, 0},
        IntCase{"JPEG Param", "Always Compress", 1, 1},
        IntCase{"JPEG Param", "Always Compress", 0, 0}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(SettingsStore, ImageObjectReadsAtStartAndWritesAtEnd) {
  Put("CAM Param", "CAM Size", 2);
  Put("CAM Param", "CAM Store Path", QStringLiteral("/tmp/out/"));
  Put("CAM Param", "CAM Store Type", 0x11);
  Put("JPEG Param", "Compress Scale", 0);
  Put("JPEG Param", "Copyright", QStringLiteral("Me"));
  {
    apptest::CollectingUi ui;
    corvid::CRKDib image(ui, corvid::CRKDib::Profile::Use);
    EXPECT_EQ(image.settings().camWidth, 320);
    EXPECT_EQ(image.settings().outputPath, "/tmp/out/");
    EXPECT_EQ(image.settings().storeType, 0x11u);
    EXPECT_EQ(image.settings().compressScale, 1);
    EXPECT_EQ(image.settings().copyright, "Me");
    // Changes stay in memory until the object goes.
    image.settings().setCamSizeCode(1);
    image.settings().fileStyle = corvid::FileStyle::Exif;
    image.settings().alwaysCompress = 1;
    image.settings().make = QStringLiteral("Maker");
    EXPECT_EQ(Load().camWidth, 320);
  }
  auto profile = Profile();
  QSettings& store = *profile;
  EXPECT_EQ(store.value("CAM Param/CAM Size").toInt(), 1);
  EXPECT_EQ(store.value("CAM Param/CAM Store Path").toString(), "/tmp/out/");
  EXPECT_EQ(store.value("CAM Param/CAM Store Type").toInt(), 0x11);
  EXPECT_EQ(store.value("JPEG Param/Always Compress").toInt(), 1);
  EXPECT_EQ(store.value("JPEG Param/Progressive").toInt(), 2);
  EXPECT_EQ(store.value("JPEG Param/Compress Scale").toInt(), 1);
  EXPECT_EQ(store.value("JPEG Param/Manufacture").toString(), "Maker");
  EXPECT_EQ(store.value("JPEG Param/Model").toString(), "Pictor");
  EXPECT_EQ(store.value("JPEG Param/Software").toString(), "Corvid32");
  EXPECT_EQ(store.value("JPEG Param/Copyright").toString(), "Me");
}

TEST_F(SettingsStore, IgnoredProfileIsNeitherReadNorWritten) {
  Put("CAM Param", "CAM Size", 2);
  {
    apptest::CollectingUi ui;
    corvid::CRKDib image(ui, corvid::CRKDib::Profile::Ignore);
    EXPECT_EQ(image.settings().camWidth, 480);
    image.settings().setCamSizeCode(1);
  }
  EXPECT_EQ(Profile()->value("CAM Param/CAM Size").toInt(), 2);
}

struct WrittenSize {
  int width;
  int height;
  int code;
};
class CamSizeWriting : public ::testing::TestWithParam<WrittenSize> {};
TEST_P(CamSizeWriting, PairGivesCode) {
  Settings s;
  s.camWidth = static_cast<int16_t>(GetParam().width);
  s.camHeight = static_cast<int16_t>(GetParam().height);
  EXPECT_EQ(s.camSizeCode(), GetParam().code);
}
INSTANTIATE_TEST_SUITE_P(Pairs, CamSizeWriting,
                         ::testing::Values(WrittenSize{480, 360, 0}, WrittenSize{480, 240, 1},
                                           WrittenSize{320, 240, 2}, WrittenSize{320, 360, 0},
                                           WrittenSize{640, 480, 0}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(QuantScale, CompressScaleInOneHundredTwentyEighths) {
  Settings s;
  s.compressScale = 128;
  EXPECT_DOUBLE_EQ(s.quantScale(), 1.0);
  s.compressScale = 1;
  EXPECT_DOUBLE_EQ(s.quantScale(), 0.0078125);
}

}  // namespace
