#include "exif_block.h"

#include <cmath>
#include <cstring>

#include "exif_record.h"
#include "exif_tags.h"

namespace rk::exif {
namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

// One IFD entry and its value. A value of 4 bytes or fewer stands in the
// entry itself, left-aligned and zero-filled (a SHORT is the 32-bit number);
// a longer one goes to the IFD's value area at an offset.
struct Field {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint8_t own[kDateTextBytes] = {};  // the value's bytes when it is not the caller's
  const uint8_t* data = nullptr;     // the caller's bytes (texts, maker note), else own
  uint32_t bytes = 0;                // value bytes from data or own
  bool addZero = false;              // a zero byte follows the caller's text
  int rank = -1;                     // place in the value area (it differs from the entry order)

  [[nodiscard]] uint32_t ValueBytes() const { return bytes + (addZero ? 1 : 0); }
  [[nodiscard]] bool Inline() const { return ValueBytes() <= 4; }
  // Bytes in the value area: the value and a padding byte that keeps the
  // next value at an even offset.
  [[nodiscard]] uint32_t AreaBytes() const { return Inline() ? 0 : ValueBytes() + (ValueBytes() & 1); }
  void CopyValue(uint8_t* out) const {
    std::memcpy(out, data != nullptr ? data : own, bytes);
    if (addZero) out[bytes] = 0;
  }
};

class Ifd {
 public:
  Field& Add(uint16_t tag, uint16_t type, uint32_t count) {
    Field& f = fields_[n_++];
    f.tag = tag;
    f.type = type;
    f.count = count;
    return f;
  }
  void Short(uint16_t tag, uint32_t v) {
    Field& f = Add(tag, kShort, 1);
    Put16(f.own, v);
    f.bytes = 2;
  }
  void Long(uint16_t tag, uint32_t v) {
    Field& f = Add(tag, kLong, 1);
    Put32(f.own, v);
    f.bytes = 4;
  }
  void Bytes(uint16_t tag, uint16_t type, const uint8_t* v, uint32_t count) {
    Field& f = Add(tag, type, count);
    std::memcpy(f.own, v, count);
    f.bytes = count;
  }
  void Rational(uint16_t tag, uint16_t type, uint32_t num, uint32_t den, int rank) {
    Field& f = Add(tag, type, 1);
    Put32(f.own, num);
    Put32(f.own + 4, den);
    f.bytes = 8;
    f.rank = rank;
  }
  // The Long entry whose value becomes known once the layout is: the
  // offset of a sub-IFD.
  uint8_t* LongSlot(uint16_t tag) {
    Long(tag, 0);
    return fields_[n_ - 1].own;
  }

  [[nodiscard]] uint64_t Size() const {
    uint64_t size = 2 + uint64_t{kEntryBytes} * n_ + 4;
    for (int i = 0; i < n_; ++i) size += fields_[i].AreaBytes();
    return size;
  }

  // Writes the IFD at offset `at` of the block, its value area behind it.
  void Write(uint8_t* block, uint32_t at, uint32_t next) const {
    uint32_t area = at + 2 + kEntryBytes * n_ + 4;
    uint32_t offsets[kMaxFields] = {};
    for (int rank = 0; rank < kMaxFields; ++rank) {
      for (int i = 0; i < n_; ++i) {
        const Field& f = fields_[i];
        if (f.rank != rank || f.Inline()) continue;
        offsets[i] = area;
        f.CopyValue(block + area);
        if (f.ValueBytes() & 1) block[area + f.ValueBytes()] = 0;
        area += f.AreaBytes();
      }
    }
    uint8_t* p = block + at;
    Put16(p, static_cast<uint32_t>(n_));
    p += 2;
    for (int i = 0; i < n_; ++i, p += kEntryBytes) {
      const Field& f = fields_[i];
      Put16(p, f.tag);
      Put16(p + 2, f.type);
      Put32(p + 4, f.count);
      if (f.Inline()) {
        std::memset(p + 8, 0, 4);
        f.CopyValue(p + 8);
      } else {
        Put32(p + 8, offsets[i]);
      }
    }
    Put32(p, next);
  }

 private:
  static constexpr int kMaxFields = 32;
  Field fields_[kMaxFields];
  int n_ = 0;
};

// A caller's text with its length. The terminating zero is kept: a text
// whose counted bytes hold no zero byte (as the reader counts them) gets one
// added, and whether it stands in the entry is decided with it ("T1" of
// length 2 becomes "T1" 00, count 3, in the entry).
void AddText(Ifd& ifd, uint16_t tag, const char* text, uint16_t length, int rank) {
  if (text == nullptr || length == 0) return;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  const bool terminated = std::memchr(bytes, 0, length) != nullptr;
  Field& f = ifd.Add(tag, kAscii, length + (terminated ? 0u : 1u));
  f.data = bytes;
  f.bytes = length;
  f.addZero = !terminated;
  f.rank = rank;
}

void AddDate(Ifd& ifd, uint16_t tag, const void* date, int rank) {
  if (date == nullptr) return;
  Field& f = ifd.Add(tag, kAscii, kDateTextBytes);
  FormatDate(*static_cast<const ExifDateTimeRec*>(date), f.own);
  f.bytes = kDateTextBytes;
  f.rank = rank;
}

// "0210" for 210: thousands, hundreds, tens, units, each plus '0'.
void VersionDigits(uint16_t v, uint8_t out[4]) {
  out[0] = static_cast<uint8_t>('0' + v / 1000);
  out[1] = static_cast<uint8_t>('0' + v % 1000 / 100);
  out[2] = static_cast<uint8_t>('0' + v % 100 / 10);
  out[3] = static_cast<uint8_t>('0' + v % 10);
}

bool TruncatedFits(double v, bool isSigned, uint32_t& out) {
  const double t = std::trunc(v);
  if (std::isnan(t)) return false;
  if (isSigned) {
    if (t < -2147483648.0 || t > 2147483647.0) return false;
    out = static_cast<uint32_t>(static_cast<int32_t>(t));
  } else {
    if (t < 0 || t > 4294967295.0) return false;
    out = static_cast<uint32_t>(t);
  }
  return true;
}

// A real tag, written when its value is above 0 (a value not above 0 counts
// as absent). False when it cannot be held.
bool AddReal(Ifd& ifd, uint16_t tag, float v, uint32_t d, int rank) {
  if (!(v > 0)) return true;
  uint32_t num = 0, den = 0;
  if (!EncodeRational(v, d, false, num, den)) return false;
  ifd.Rational(tag, kRational, num, den, rank);
  return true;
}

// An APEX tag from its natural value: a = scale x log2(value) (the shutter
// speed's scale is -1: 1/500 s gives 8.97).
bool AddApex(Ifd& ifd, uint16_t tag, float value, double scale, bool isSigned, bool biasAtZero, int rank) {
  if (!(value > 0)) return true;
  uint32_t num = 0, den = 0;
  if (!EncodeApex(scale * std::log2(static_cast<double>(value)), isSigned, biasAtZero, num, den)) return false;
  ifd.Rational(tag, isSigned ? kSRational : kRational, num, den, rank);
  return true;
}

// Ranks of the values in IFD0's value area, and in the Exif IFD's.
enum Ifd0Rank { kMakeRank, kModelRank, kSoftwareRank, kCopyrightRank, kDateRank, kXResRank, kYResRank };
enum ExifRank {
  kShutterRank, kApertureRank, kBrightnessRank, kBiasRank, kMaxApertureRank, kFocalRank, kExposureRank,
  kFNumberRank, kBitsRank, kOriginalRank, kDigitizedRank, kMakerNoteRank
};

constexpr uint32_t kInteropIfdBytes = 2 + 2 * kEntryBytes + 4;  // 30
constexpr uint32_t kIfd1Entries = 8;
constexpr uint32_t kIfd1Bytes = 2 + kIfd1Entries * kEntryBytes + 4 + 16;  // entries and the two rationals

}  // namespace

uint16_t WrittenExifVersion(const ExifTagInfoRec& info) {
  const bool complete = (info.make != nullptr && info.makeLength > 0) &&
                        (info.model != nullptr && info.modelLength > 0) && info.dateTimeOriginal != nullptr &&
                        info.dateTimeDigitized != nullptr;
  return info.exifVersion > 200 && !complete ? uint16_t{200} : info.exifVersion;
}

bool EncodeRational(double v, uint32_t d, bool isSigned, uint32_t& num, uint32_t& den) {
  if (std::isnan(v) || (!isSigned && v < 0)) return false;
  if (d != 0) {
    den = d;
    return TruncatedFits((0.5 / d + v) * d, isSigned, num);
  }
  if (v > 0 && v < 1) {
    num = 1;
    return TruncatedFits(0.5 + 1 / v, false, den) && (!isSigned || den <= 2147483647u);
  }
  den = 1;
  return TruncatedFits(v, isSigned, num);
}

bool EncodeApex(double a, bool isSigned, bool withBiasAtZero, uint32_t& num, uint32_t& den) {
  if (std::isnan(a) || (!isSigned && a < 0)) return false;
  const double magnitude = std::fabs(a);
  const double biased = magnitude == 0 && !withBiasAtZero ? 0.0 : magnitude + 0.05;
  if (!EncodeRational(biased, 10, isSigned, num, den)) return false;
  if (a < 0) num = static_cast<uint32_t>(-static_cast<int32_t>(num));  // num <= 2^31 - 1 here
  return true;
}

void FormatDate(const ExifDateTimeRec& date, uint8_t out[20]) {
  uint32_t year = date.year;
  if (year < 100) year += 1900;
  if (year > 9999) year = 9999;
  auto two = [&](uint8_t* p, uint32_t v) {
    v %= 100;
    p[0] = static_cast<uint8_t>('0' + v / 10);
    p[1] = static_cast<uint8_t>('0' + v % 10);
  };
  two(out, year / 100);
  two(out + 2, year % 100);
  out[4] = ':';
  two(out + 5, date.month);
  out[7] = ':';
  two(out + 8, date.day);
  out[10] = ' ';
  two(out + 11, date.hour);
  out[13] = ':';
  two(out + 14, date.minute);
  out[16] = ':';
  two(out + 17, date.second);
  out[19] = 0;
}

int16_t BuildExifBlock(const ExifTagInfoRec& info, uint16_t version, const ImageBlkAttrRec& image, uint8_t* out,
                       uint32_t& length) {
  const uint32_t xDpi = image.xDpi != 0 ? image.xDpi : 72;
  const uint32_t yDpi = image.yDpi != 0 ? image.yDpi : 72;
  const bool interop = version >= 210;

  Ifd ifd0;
  AddText(ifd0, kMake, info.make, info.makeLength, kMakeRank);
  AddText(ifd0, kModel, info.model, info.modelLength, kModelRank);
  ifd0.Short(kOrientation, 1);
  ifd0.Rational(kXResolution, kRational, xDpi, 1, kXResRank);
  ifd0.Rational(kYResolution, kRational, yDpi, 1, kYResRank);
  ifd0.Short(kResolutionUnit, 2);  // inch
  AddText(ifd0, kSoftware, info.software, info.softwareLength, kSoftwareRank);
  AddDate(ifd0, kDateTime, info.dateTime, kDateRank);
  ifd0.Short(kYCbCrPositioning, 2);  // co-sited
  AddText(ifd0, kCopyright, info.copyright, info.copyrightLength, kCopyrightRank);
  uint8_t* exifPointer = ifd0.LongSlot(kExifIfdPointer);

  Ifd exif;
  bool ok = AddReal(exif, kExposureTime, info.exposureTime, 0, kExposureRank);
  ok = ok && AddReal(exif, kFNumber, info.fNumber, 10, kFNumberRank);
  exif.Short(kExposureProgram, info.exposureProgram);
  if (info.isoSpeed != 0) exif.Short(kIsoSpeedRatings, info.isoSpeed);
  uint8_t digits[4];
  VersionDigits(version, digits);
  exif.Bytes(kExifVersion, kUndefined, digits, 4);
  AddDate(exif, kDateTimeOriginal, info.dateTimeOriginal, kOriginalRank);
  AddDate(exif, kDateTimeDigitized, info.dateTimeDigitized, kDigitizedRank);
  static constexpr uint8_t kYCbCrComponents[4] = {1, 2, 3, 0};
  exif.Bytes(kComponentsConfiguration, kUndefined, kYCbCrComponents, 4);
  {
    // Written always, also when the record holds 0 (0/10).
    uint32_t num = 0, den = 0;
    ok = ok && EncodeRational(info.compressedBitsPerPixel, 10, false, num, den);
    if (ok) exif.Rational(kCompressedBitsPerPixel, kRational, num, den, kBitsRank);
  }
  ok = ok && AddApex(exif, kShutterSpeedValue, info.shutterSpeed, -1, true, false, kShutterRank);
  ok = ok && AddApex(exif, kApertureValue, info.aperture, 2, false, true, kApertureRank);
  ok = ok && AddApex(exif, kBrightnessValue, info.brightness, 1, true, true, kBrightnessRank);
  ok = ok && AddApex(exif, kExposureBiasValue, info.exposureBias, 2, true, true, kBiasRank);
  ok = ok && AddApex(exif, kMaxApertureValue, info.maxAperture, 2, false, true, kMaxApertureRank);
  if (!ok) return RK_ERR_UNSUPPORTED;
  if (HasTail(info) && info.meteringMode != 0) exif.Short(kMeteringMode, info.meteringMode);
  if (HasTail(info) && info.lightSource != 0) exif.Short(kLightSource, info.lightSource);
  exif.Short(kFlash, info.flash);
  if (!AddReal(exif, kFocalLength, info.focalLength, 10, kFocalRank)) return RK_ERR_UNSUPPORTED;
  if (info.makerNote != nullptr && info.makerNoteLength > 0) {
    Field& f = exif.Add(kMakerNote, kUndefined, info.makerNoteLength);
    f.data = info.makerNote;
    f.bytes = info.makerNoteLength;
    f.rank = kMakerNoteRank;
  }
  VersionDigits(info.flashpixVersion, digits);
  exif.Bytes(kFlashpixVersion, kUndefined, digits, 4);
  exif.Short(kColorSpace, info.colorSpace);
  exif.Long(kPixelXDimension, image.width);
  exif.Long(kPixelYDimension, image.height);
  uint8_t* interopPointer = interop ? exif.LongSlot(kInteroperabilityIfdPointer) : nullptr;
  static constexpr uint8_t kDigitalCamera = 3, kPhotographed = 1;
  exif.Bytes(kFileSource, kUndefined, &kDigitalCamera, 1);
  exif.Bytes(kSceneType, kUndefined, &kPhotographed, 1);

  // The layout: every offset follows from the sizes before it.
  const uint64_t exifAt = kTiffHeaderBytes + ifd0.Size();
  const uint64_t interopAt = exifAt + exif.Size();
  const uint64_t end = interopAt + (interop ? kInteropIfdBytes : 0);
  if (end > kMaxExifBlock) return RK_ERR_UNSUPPORTED;  // texts and maker note alone too long
  const bool thumbnail = info.thumbnail != nullptr && info.thumbnailLength > 0 &&
                         end + kIfd1Bytes + info.thumbnailLength <= kMaxExifBlock;

  Put32(exifPointer, static_cast<uint32_t>(exifAt));
  if (interopPointer != nullptr) Put32(interopPointer, static_cast<uint32_t>(interopAt));
  static constexpr uint8_t kHeader[kTiffHeaderBytes] = {'I', 'I', 42, 0, 8, 0, 0, 0};
  std::memcpy(out, kHeader, sizeof kHeader);
  ifd0.Write(out, kTiffHeaderBytes, thumbnail ? static_cast<uint32_t>(end) : 0);
  exif.Write(out, static_cast<uint32_t>(exifAt), 0);
  if (interop) {
    Ifd index;
    static constexpr uint8_t kR98[4] = {'R', '9', '8', 0};
    static constexpr uint8_t kVersion100[4] = {'0', '1', '0', '0'};
    index.Bytes(kInteroperabilityIndex, kAscii, kR98, 4);
    index.Bytes(kInteroperabilityVersion, kUndefined, kVersion100, 4);
    index.Write(out, static_cast<uint32_t>(interopAt), 0);
  }
  length = static_cast<uint32_t>(end);
  if (thumbnail) {
    const auto ifd1At = static_cast<uint32_t>(end);
    const uint32_t thumbAt = ifd1At + kIfd1Bytes;
    Ifd ifd1;
    ifd1.Short(kCompression, 6);  // JPEG
    ifd1.Short(kOrientation, 1);
    ifd1.Rational(kXResolution, kRational, xDpi, 1, 0);
    ifd1.Rational(kYResolution, kRational, yDpi, 1, 1);
    ifd1.Short(kResolutionUnit, 2);
    ifd1.Long(kJpegInterchangeFormat, thumbAt);
    ifd1.Long(kJpegInterchangeFormatLength, info.thumbnailLength);
    ifd1.Short(kYCbCrPositioning, 2);
    ifd1.Write(out, ifd1At, 0);
    std::memcpy(out + thumbAt, info.thumbnail, info.thumbnailLength);
    length = thumbAt + info.thumbnailLength;
  }
  return RK_OK;
}

}  // namespace rk::exif
