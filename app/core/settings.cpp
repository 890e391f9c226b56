#include "settings.h"

#include <algorithm>

namespace corvid {
namespace {

const QString kCamSection = QStringLiteral("CAM Param");
const QString kJpegSection = QStringLiteral("JPEG Param");

// An integer key; a missing or non-numeric value gives the default, as the
// profile store's integer reader does.
qlonglong ReadInt(QSettings& store, const QString& key, qlonglong fallback) {
  bool ok = false;
  const qlonglong v = store.value(key).toLongLong(&ok);
  return ok ? v : fallback;
}

}  // namespace

int Settings::camSizeCode() const {
  if (camWidth == 480 && camHeight == 240) return 1;
  if (camWidth == 320 && camHeight == 240) return 2;
  return 0;
}

void Settings::setCamSizeCode(int code) {
  switch (code) {
    case 1: camWidth = 480; camHeight = 240; break;
    case 2: camWidth = 320; camHeight = 240; break;
    default: camWidth = 480; camHeight = 360; break;
  }
}

QSettings::Format ProfileFormat() { return QSettings::NativeFormat; }

Settings LoadSettings(QSettings& store) {
  Settings s;
  store.beginGroup(kCamSection);
  s.setCamSizeCode(static_cast<int>(ReadInt(store, QStringLiteral("CAM Size"), 0)));
  s.outputPath = store.value(QStringLiteral("CAM Store Path"), QString()).toString();
  s.storeType = static_cast<uint32_t>(ReadInt(store, QStringLiteral("CAM Store Type"), 0));
  // A target above TIFF goes back to BMP; the on/off bit and its
  // neighbours are kept: 0x13 reads as 0x10.
  if ((s.storeType & kTargetMask) > static_cast<uint32_t>(Target::Tiff)) s.storeType &= 0xF0;
  store.endGroup();

  store.beginGroup(kJpegSection);
  s.alwaysCompress = ReadInt(store, QStringLiteral("Always Compress"), 0) != 0 ? 1 : 0;
  // A style other than the three the dialog offers encodes as Normal.
  const qlonglong style = ReadInt(store, QStringLiteral("Progressive"), 0);
  s.fileStyle = (style >= 0 && style <= 2) ? static_cast<FileStyle>(style) : FileStyle::Normal;
  // Kept to what the JPEG dialog can set: 0 reads as 1, above 128 as 128.
  const qlonglong scale = ReadInt(store, QStringLiteral("Compress Scale"), 32);
  s.compressScale = static_cast<int16_t>(
      std::clamp<qlonglong>(scale, kMinCompressScale, kMaxCompressScale));
  s.make = store.value(QStringLiteral("Manufacture"), s.make).toString();
  s.model = store.value(QStringLiteral("Model"), s.model).toString();
  s.software = store.value(QStringLiteral("Software"), s.software).toString();
  s.copyright = store.value(QStringLiteral("Copyright"), s.copyright).toString();
  store.endGroup();
  return s;
}

void StoreSettings(QSettings& store, const Settings& s) {
  store.beginGroup(kCamSection);
  store.setValue(QStringLiteral("CAM Size"), s.camSizeCode());
  store.setValue(QStringLiteral("CAM Store Path"), s.outputPath);
  store.setValue(QStringLiteral("CAM Store Type"), s.storeType);
  store.endGroup();
  store.beginGroup(kJpegSection);
  store.setValue(QStringLiteral("Always Compress"), static_cast<int>(s.alwaysCompress));
  store.setValue(QStringLiteral("Progressive"), static_cast<int>(s.fileStyle));
  store.setValue(QStringLiteral("Compress Scale"), static_cast<int>(s.compressScale));
  store.setValue(QStringLiteral("Manufacture"), s.make);
  store.setValue(QStringLiteral("Model"), s.model);
  store.setValue(QStringLiteral("Software"), s.software);
  store.setValue(QStringLiteral("Copyright"), s.copyright);
  store.endGroup();
  store.sync();
}

}  // namespace corvid
