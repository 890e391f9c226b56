#include "exif_text.h"

#include "json_line.h"

#include <QStringDecoder>
#include <climits>
#include <cstdio>
#include <cstring>

namespace corvid {
namespace {

constexpr int kLastPosition = 23;
constexpr size_t kDateChars = 19;  // "YYYY:MM:DD HH:MM:SS"

// Bytes that are valid UTF-8 are read as UTF-8 (what cameras and tools
// write today: "\u00A9" as C2 A9); any other bytes as Latin-1, one
// character a byte (older files: A9 alone), never the locale's encoding.
QString Decode(const char* bytes, qsizetype count) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString text = utf8.decode(QByteArrayView(bytes, count));
  if (utf8.hasError()) return QString::fromLatin1(bytes, count);
  return text;
}

QString Text(const char* text, uint16_t length) {
  if (text == nullptr || length == 0) return QString();
  // The reader counts the bytes without the trailing zero; stop at an
  // embedded zero all the same.
  return Decode(text, static_cast<qsizetype>(strnlen(text, length)));
}

QString Date(const void* date) {
  if (date == nullptr) return QString();
  const char* text = static_cast<const char*>(date);
  return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, kDateChars)));
}

template <typename... Args>
QString Format(const char* format, Args... args) {
  char line[96];
  std::snprintf(line, sizeof line, format, args...);
  return QString::fromLatin1(line);
}

// 1 / t computed in double from the 32-bit value and truncated toward zero:
// 1/60 s held as a float is 0.016666668, whose reciprocal 59.99999... gives
// 59. A time so short that its reciprocal leaves int (below 1/2147483647 s,
// which no shutter gives) is shown in seconds like the long ones, rather
// than as a wrapped or clamped fraction.
QString Duration(const char* label, float t) {
  const double reciprocal = 1.0 / static_cast<double>(t);
  if (t >= 1.0f || !(reciprocal < static_cast<double>(INT_MAX) + 1.0)) {
    return Format("%s:%5.1fsecs", label, static_cast<double>(t));
  }
  return Format("%s:1/%dsec", label, static_cast<int>(reciprocal));
}

QString ProgramName(uint16_t v) {
  static const char* const kNames[] = {"Manual", "Normal Program", "Averture Prior",
                                       "Shutter Prior", "Creative Program", "Action Program",
                                       "Portrait", "Landscape"};
  if (v >= 1 && v <= 8) return QString::fromLatin1(kNames[v - 1]);
  return QStringLiteral("Unknown");
}

QString FlashText(uint16_t v) {
  switch (v) {
    case 0: return QStringLiteral("Flash:No");
    case 1: return QStringLiteral("Flash:Yes");
    case 5: return QStringLiteral("Flash:No Return");
    case 7: return QStringLiteral("Flash:Return");
    default: return QStringLiteral("Flash:Unknown");
  }
}

QString MeteringText(uint16_t v) {
  static const char* const kNames[] = {"Average", "Center Weighted Average", "Spot",
                                       "Multi Spot", "Pattern", "Partial"};
  if (v >= 1 && v <= 6) return QStringLiteral("Metering:") + QString::fromLatin1(kNames[v - 1]);
  return QStringLiteral("Metering:Unknown");
}

QString LightSourceText(uint16_t v) {
  const char* name = "Unknown";
  switch (v) {
    case 1: name = "Daylight"; break;
    case 2: name = "Fluorescent"; break;
    case 3: name = "Tungsten"; break;
    case 17: name = "A"; break;
    case 18: name = "B"; break;
    case 19: name = "C"; break;
    case 20: name = "D55"; break;
    case 21: name = "D65"; break;
    case 22: name = "D75"; break;
    default: break;
  }
  return QStringLiteral("Light Source:") + QString::fromLatin1(name);
}

}  // namespace

void CExif::Clear() { *this = CExif(); }

void CExif::LoadFromRecord(const ExifTagInfoRec& r) {
  version_ = r.version;
  if (r.makeLength != 0) make_ = Text(r.make, r.makeLength);
  if (r.modelLength != 0) model_ = Text(r.model, r.modelLength);
  if (r.softwareLength != 0) software_ = Text(r.software, r.softwareLength);
  if (r.copyrightLength != 0) copyright_ = Text(r.copyright, r.copyrightLength);
  if (r.dateTime != nullptr) dateTime_ = Date(r.dateTime);
  if (r.dateTimeOriginal != nullptr) dateTimeOriginal_ = Date(r.dateTimeOriginal);
  if (r.dateTimeDigitized != nullptr) dateTimeDigitized_ = Date(r.dateTimeDigitized);
  if (r.focalLength > 0) focalLength_ = r.focalLength;
  if (r.fNumber > 0) fNumber_ = r.fNumber;
  if (r.exposureTime > 0) exposureTime_ = r.exposureTime;
  if (r.isoSpeed != 0) isoSpeed_ = r.isoSpeed;
  if (r.shutterSpeed > 0) shutterSpeed_ = r.shutterSpeed;
  if (r.aperture > 0) aperture_ = r.aperture;
  if (r.brightness > 0) brightness_ = r.brightness;
  if (r.exposureBias != 0) exposureBias_ = r.exposureBias;
  if (r.maxAperture > 0) maxAperture_ = r.maxAperture;
  if (r.exposureProgram != 0) exposureProgram_ = r.exposureProgram;
  flash_ = r.flash;
  if (r.version >= 2) {
    if (r.subjectDistance > 0) subjectDistance_ = r.subjectDistance;
    if (r.meteringMode != 0) meteringMode_ = r.meteringMode;
    if (r.lightSource != 0) lightSource_ = r.lightSource;
    if (r.focalPlaneXResolution > 0) focalPlaneXResolution_ = r.focalPlaneXResolution;
    if (r.focalPlaneYResolution > 0) focalPlaneYResolution_ = r.focalPlaneYResolution;
  }
}

QString CExif::NextLine(int16_t* index) const {
  if (index == nullptr || version_ < 1) return QString();
  while (*index >= 0 && *index < kLastPosition) {
    const int position = ++*index;
    switch (position) {
      case 1: if (!make_.isEmpty()) return QStringLiteral("Manufacture:") + make_; break;
      case 2: if (!model_.isEmpty()) return QStringLiteral("Model:") + model_; break;
      case 3: if (!software_.isEmpty()) return QStringLiteral("Software:") + software_; break;
      case 4: if (!copyright_.isEmpty()) return QStringLiteral("Copyright:") + copyright_; break;
      case 5: if (!dateTime_.isEmpty()) return QStringLiteral("DateTime:") + dateTime_; break;
      case 6:
        if (!dateTimeOriginal_.isEmpty()) return QStringLiteral("DateTime Original:") + dateTimeOriginal_;
        break;
      case 7:
        if (!dateTimeDigitized_.isEmpty()) return QStringLiteral("DateTime Digitized:") + dateTimeDigitized_;
        break;
      case 8:
        if (focalLength_ > 0) return Format("Focal Length:%4.1fmm", static_cast<double>(focalLength_));
        break;
      case 9: if (fNumber_ > 0) return Format("F Number:F%4.1f", static_cast<double>(fNumber_)); break;
      case 10: if (exposureTime_ > 0) return Duration("Exposure Time", exposureTime_); break;
      case 11: if (isoSpeed_ != 0) return Format("ISO:%d", static_cast<int>(isoSpeed_)); break;
      case 12: if (shutterSpeed_ > 0) return Duration("Shutter Speed", shutterSpeed_); break;
      case 13: if (aperture_ > 0) return Format("Aperture:F%4.1f", static_cast<double>(aperture_)); break;
      case 14:
        if (brightness_ > 0) return Format("Brightness:%6.2f", static_cast<double>(brightness_));
        break;
      case 15:
        // Kept when negative, but only a positive bias has a line.
        if (exposureBias_ > 0) return Format("Exposure Bias:%4.2f", static_cast<double>(exposureBias_));
        break;
      case 16:
        if (maxAperture_ > 0) return Format("Aperture Max:F%4.1f", static_cast<double>(maxAperture_));
        break;
      case 17: if (exposureProgram_ != 0) return ProgramName(exposureProgram_); break;
      case 18: return FlashText(flash_);
      case 19:
        if (subjectDistance_ > 0) return Format("Distance:%5.2fm", static_cast<double>(subjectDistance_));
        break;
      case 20: if (meteringMode_ != 0) return MeteringText(meteringMode_); break;
      case 21: if (lightSource_ != 0) return LightSourceText(lightSource_); break;
      case 22:
        if (focalPlaneXResolution_ > 0)
          return Format("FocalPlaneXResolution:%6.2f", static_cast<double>(focalPlaneXResolution_));
        break;
      case 23:
        if (focalPlaneYResolution_ > 0)
          return Format("FocalPlaneYResolution:%6.2f", static_cast<double>(focalPlaneYResolution_));
        break;
      default: break;
    }
  }
  return QString();
}

QString CExif::ToJson() const {
  JsonObject o;
  if (!HasInfo()) return o.Text();
  auto text = [&o](const char* key, const QString& value) {
    if (!value.isEmpty()) o.Add(key, value);
  };
  auto real = [&o](const char* key, float value, bool present) {
    if (present) o.AddReal(key, value);
  };
  auto code = [&o](const char* key, uint16_t value) {
    if (value != 0) o.Add(key, int64_t{value});
  };
  text("Make", make_);
  text("Model", model_);
  text("Software", software_);
  text("Copyright", copyright_);
  text("DateTime", dateTime_);
  text("DateTimeOriginal", dateTimeOriginal_);
  text("DateTimeDigitized", dateTimeDigitized_);
  real("FocalLength", focalLength_, focalLength_ > 0);
  real("FNumber", fNumber_, fNumber_ > 0);
  real("ExposureTime", exposureTime_, exposureTime_ > 0);
  code("ISOSpeedRatings", isoSpeed_);
  real("ShutterSpeed", shutterSpeed_, shutterSpeed_ > 0);
  real("Aperture", aperture_, aperture_ > 0);
  real("Brightness", brightness_, brightness_ > 0);
  real("ExposureBias", exposureBias_, exposureBias_ != 0);
  real("MaxAperture", maxAperture_, maxAperture_ > 0);
  code("ExposureProgram", exposureProgram_);
  o.Add("Flash", int64_t{flash_});
  real("SubjectDistance", subjectDistance_, subjectDistance_ > 0);
  code("MeteringMode", meteringMode_);
  code("LightSource", lightSource_);
  real("FocalPlaneXResolution", focalPlaneXResolution_, focalPlaneXResolution_ > 0);
  real("FocalPlaneYResolution", focalPlaneYResolution_, focalPlaneYResolution_ > 0);
  return o.Text();
}

}  // namespace corvid
