// Tag numbers and field types of the Exif TIFF structure, shared by the
// reader and the writer.
#pragma once

#include <cstdint>

namespace rk::exif {

// TIFF field types and the bytes one value of each takes.
enum FieldType : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};

// 0 for a type that TIFF does not define.
constexpr uint32_t TypeSize(uint16_t type) {
  switch (type) {
    case kByte: case kAscii: case kSByte: case kUndefined: return 1;
    case kShort: case kSShort: return 2;
    case kLong: case kSLong: case kFloat: return 4;
    case kRational: case kSRational: case kDouble: return 8;
    default: return 0;
  }
}

enum Tag : uint16_t {
  // IFD0 and IFD1
  kImageWidth = 256,
  kImageLength = 257,
  kCompression = 259,
  kMake = 271,
  kModel = 272,
  kOrientation = 274,
  kXResolution = 282,
  kYResolution = 283,
  kResolutionUnit = 296,
  kSoftware = 305,
  kDateTime = 306,
  kJpegInterchangeFormat = 513,
  kJpegInterchangeFormatLength = 514,
  kYCbCrPositioning = 531,
  kCopyright = 33432,
  kExifIfdPointer = 34665,
  // Exif IFD
  kExposureTime = 33434,
  kFNumber = 33437,
  kExposureProgram = 34850,
  kIsoSpeedRatings = 34855,
  kExifVersion = 36864,
  kDateTimeOriginal = 36867,
  kDateTimeDigitized = 36868,
  kComponentsConfiguration = 37121,
  kCompressedBitsPerPixel = 37122,
  kShutterSpeedValue = 37377,
  kApertureValue = 37378,
  kBrightnessValue = 37379,
  kExposureBiasValue = 37380,
  kMaxApertureValue = 37381,
  kSubjectDistance = 37382,
  kMeteringMode = 37383,
  kLightSource = 37384,
  kFlash = 37385,
  kFocalLength = 37386,
  kMakerNote = 37500,
  kFlashpixVersion = 40960,
  kColorSpace = 40961,
  kPixelXDimension = 40962,
  kPixelYDimension = 40963,
  kInteroperabilityIfdPointer = 40965,
  kFocalPlaneXResolution = 41486,
  kFocalPlaneYResolution = 41487,
  kFocalPlaneResolutionUnit = 41488,
  kFileSource = 41728,
  kSceneType = 41729,
  // Interoperability IFD
  kInteroperabilityIndex = 1,
  kInteroperabilityVersion = 2,
};

// An IFD entry: tag, type, count, value or offset.
constexpr uint32_t kEntryBytes = 12;
// The TIFF header: byte order, 42, offset of IFD0.
constexpr uint32_t kTiffHeaderBytes = 8;
// The TIFF block of an APP1 segment: its 16-bit length counts itself (2)
// and "Exif" 00 00 (6), so the block holds at most 65535 - 8 bytes.
constexpr uint32_t kMaxExifBlock = 65527;
// An Exif date text: "YYYY:MM:DD HH:MM:SS" and a zero byte.
constexpr uint32_t kDateTextBytes = 20;

// The version-2 part of ExifTagInfoRec starts after makerNoteLength; a
// record of version 1 or less ends there.
constexpr int32_t kFullRecordVersion = 2;

}  // namespace rk::exif
