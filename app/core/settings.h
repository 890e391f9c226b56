// The program's settings: typed values with their defaults in one place,
// and the one file that reads and writes them in the profile store.
//
// Profile store: QSettings in the native format with organisation
// "Quillbank" and application "Corvid" (on Linux ~/.config/Quillbank/
// Corvid.conf), standing in for the per-user registry key
// Software\Quillbank\Corvid; one group per section, "CAM Param" and
// "JPEG Param". Read when the image object is made, written when it is
// destroyed; dialogs and commands change only the values in memory.
#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>

namespace corvid {

enum class Target : uint32_t { Bmp = 0, Jpeg = 1, Tiff = 2 };
enum class FileStyle : uint8_t { Normal = 0, Progressive = 1, Exif = 2 };

constexpr uint32_t kAutoConversionOn = 0x10;  // store type bit
constexpr uint32_t kTargetMask = 0x0F;        // store type low 4 bits
constexpr int16_t kMinCompressScale = 1;      // JPEG dialog's slider 0..127, plus 1
constexpr int16_t kMaxCompressScale = 128;

struct Settings {
  // "CAM Param"
  int16_t camWidth = 480;  // "CAM Size": 0 480x360, 1 480x240, 2 320x240
  int16_t camHeight = 360;
  QString outputPath;      // "CAM Store Path": a text prefix for auto-converted files
  uint32_t storeType = 0;  // "CAM Store Type": target in the low 4 bits, bit 0x10 on/off
  // "JPEG Param"
  uint8_t alwaysCompress = 0;             // "Always Compress": 1 re-encodes JPEG sources
  FileStyle fileStyle = FileStyle::Normal;  // "Progressive"
  int16_t compressScale = 32;             // "Compress Scale": quantisation scale in 128ths
  QString make = QStringLiteral("QUILLBANK");  // "Manufacture"
  QString model = QStringLiteral("Pictor");    // "Model"
  QString software = QStringLiteral("Corvid32");  // "Software"
  QString copyright;                           // "Copyright"
  // The view's scale in 128ths (128, 64, 256); not stored.
  int16_t zoom = 128;
  // corvid-convert's --quality, 1..100: libjpeg's tables for that quality
  // replace those of Compress Scale (jpeg_quality.h). 0: not given; not
  // stored.
  int jpegQuality = 0;

  bool autoConversion() const { return (storeType & kAutoConversionOn) != 0; }
  Target target() const { return static_cast<Target>(storeType & kTargetMask); }
  // Compress Scale / 128: 32 gives 0.25, 128 gives 1.0, 1 gives 0.0078125.
  double quantScale() const { return compressScale * 0.0078125; }
  // 0, 1 or 2 as stored for "CAM Size".
  int camSizeCode() const;
  void setCamSizeCode(int code);
};

// The store the program uses: QSettings("Quillbank", "Corvid"), native format.
QSettings::Format ProfileFormat();
Settings LoadSettings(QSettings& store);
void StoreSettings(QSettings& store, const Settings& settings);

}  // namespace corvid
