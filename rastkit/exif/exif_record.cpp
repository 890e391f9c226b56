// Preparing an ExifTagInfoRec: the record version, then the defaults that
// the writer falls back on and the reader starts from.
#include "exif_record.h"

#include <ctime>

#include "exif_tags.h"

namespace rk::exif {

void InitRecord(ExifTagInfoRec& info) {
  info.reserved = 0;
  info.make = nullptr;
  info.makeLength = 0;
  info.model = nullptr;
  info.modelLength = 0;
  info.software = nullptr;
  info.softwareLength = 0;
  info.copyright = nullptr;
  info.copyrightLength = 0;
  info.dateTime = nullptr;
  info.thumbnail = nullptr;
  info.thumbnailLength = 0;
  info.exifVersion = 210;
  info.flashpixVersion = 100;
  info.focalLength = 0;
  info.fNumber = 0;
  info.exposureTime = 0;
  info.isoSpeed = 0;
  info.colorSpace = 1;  // sRGB
  info.shutterSpeed = 0;
  info.aperture = 0;
  info.brightness = 0;
  info.exposureBias = 0;
  info.maxAperture = 0;
  info.exposureProgram = 2;  // normal program
  info.flash = 0;
  info.compressedBitsPerPixel = 2.0f;
  info.dateTimeOriginal = nullptr;
  info.dateTimeDigitized = nullptr;
  info.makerNote = nullptr;
  info.makerNoteLength = 0;
  if (!HasTail(info)) return;  // a version-1 record ends here
  info.subjectDistance = 0;
  info.meteringMode = 0;
  info.lightSource = 0;
  info.focalPlaneXResolution = 0;
  info.focalPlaneYResolution = 0;
  info.focalPlaneResolutionUnit = 0;
}

ExifDateTimeRec LocalDateTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  ExifDateTimeRec date{};
  date.year = static_cast<uint16_t>(local.tm_year + 1900);
  date.month = static_cast<uint8_t>(local.tm_mon + 1);
  date.day = static_cast<uint8_t>(local.tm_mday);
  date.hour = static_cast<uint8_t>(local.tm_hour);
  date.minute = static_cast<uint8_t>(local.tm_min);
  date.second = static_cast<uint8_t>(local.tm_sec);
  return date;
}

}  // namespace rk::exif

extern "C" RK_API void RkInitExifTagVers(ExifTagInfoRec* info) {
  if (info != nullptr) info->version = rk::exif::kFullRecordVersion;
}

extern "C" RK_API void RkInitExifTagInfo(ExifTagInfoRec* info) {
  if (info != nullptr) rk::exif::InitRecord(*info);
}
