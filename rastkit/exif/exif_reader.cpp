// Reading the Exif block of a JPEG file (or the IFDs of a TIFF file) into an
// ExifTagInfoRec: the TIFF header, the IFD0 chain (IFD1 with it), then the
// Exif IFD chain.
//
// Every byte read lies below the caller's limit, counted from the TIFF
// header: entry counts, entries, next-IFD offsets, values at offsets, texts
// up to their zero byte, the maker note's whole extent. Anything beyond it
// ends the read with -4. A chain that comes back to an IFD it has read ends
// there without error.
#include <climits>
#include <cmath>
#include <cstdint>

#include "exif_record.h"
#include "exif_tags.h"
#include "rastkit.h"

namespace rk::exif {
namespace {

// IFDs followed in one chain at most. Files have one or two (IFD0 and the
// thumbnail's IFD1; the Exif IFD alone); a longer chain ends here as a loop
// would.
constexpr int kMaxIfdsPerChain = 32;

enum class Status { kOk, kPastLimit };

class TiffBytes {
 public:
  TiffBytes(const uint8_t* base, int32_t limit)
      : base_(base), limit_(limit > 0 ? static_cast<uint32_t>(limit) : 0) {}

  void SetBigEndian(bool big) { big_ = big; }
  // n bytes at offset lie below the limit.
  [[nodiscard]] bool Has(uint64_t offset, uint64_t n) const { return offset <= limit_ && n <= limit_ - offset; }
  [[nodiscard]] uint8_t U8(uint64_t off) const { return base_[off]; }
  [[nodiscard]] uint16_t U16(uint64_t off) const {
    const uint8_t* p = base_ + off;
    return static_cast<uint16_t>(big_ ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
  }
  [[nodiscard]] uint32_t U32(uint64_t off) const {
    const uint8_t* p = base_ + off;
    return big_ ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
  [[nodiscard]] const uint8_t* At(uint64_t off) const { return base_ + off; }
  [[nodiscard]] uint32_t limit() const { return limit_; }

 private:
  const uint8_t* base_;
  uint32_t limit_;
  bool big_ = false;
};

struct Entry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint64_t bytes;  // type size x count, in 64 bits (a count near 2^32 of RATIONALs)
  uint64_t value;  // where the value starts: the entry's value field when it takes 4 bytes or fewer
};

// What one IFD entry yields: a number, a rational, a text. Each returns
// kPastLimit when the value would reach beyond the limit, and leaves `ok`
// false when the entry holds no value of that kind (the tag is then passed
// over).
class Values {
 public:
  explicit Values(const TiffBytes& bytes) : b_(bytes) {}

  // SHORT, LONG (and BYTE, SSHORT, SLONG, which carry whole numbers too): the
  // first value. Other types have no number.
  Status Number(const Entry& e, uint32_t& out, bool& ok) const {
    ok = false;
    if (e.count == 0) return Status::kOk;
    const uint32_t size = TypeSize(e.type);
    if (e.type != kByte && e.type != kShort && e.type != kSShort && e.type != kLong && e.type != kSLong)
      return Status::kOk;
    if (!b_.Has(e.value, size)) return Status::kPastLimit;
    out = size == 1 ? b_.U8(e.value) : size == 2 ? b_.U16(e.value) : b_.U32(e.value);
    ok = true;
    return Status::kOk;
  }

  // RATIONAL or SRATIONAL, both halves read as signed.
  Status Rational(const Entry& e, int32_t& num, int32_t& den, bool& ok) const {
    ok = false;
    if ((e.type != kRational && e.type != kSRational) || e.count == 0) return Status::kOk;
    if (!b_.Has(e.value, 8)) return Status::kPastLimit;
    num = static_cast<int32_t>(b_.U32(e.value));
    den = static_cast<int32_t>(b_.U32(e.value + 4));
    ok = true;
    return Status::kOk;
  }

  // A rational as a real: numerator / denominator in double precision. A
  // zero denominator gives no value (the field keeps what it held).
  Status Real(const Entry& e, double& out, bool& ok) const {
    int32_t num = 0, den = 0;
    if (Rational(e, num, den, ok) != Status::kOk) return Status::kPastLimit;
    ok = ok && den != 0;
    if (ok) out = static_cast<double>(num) / den;
    return Status::kOk;
  }

  // A counted text: the bytes before its first zero byte, at most the
  // entry's extent. The bytes looked at (up to the zero, or the whole
  // extent when it has none) must lie below the limit.
  Status Text(const Entry& e, const char*& text, uint16_t& length) const {
    uint64_t n = 0;
    while (n < e.bytes) {
      if (!b_.Has(e.value + n, 1)) return Status::kPastLimit;
      if (b_.U8(e.value + n) == 0) break;
      ++n;
    }
    text = reinterpret_cast<const char*>(b_.At(e.value));
    length = static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n);
    return Status::kOk;
  }

  // A date: read later as a zero-terminated text, so its zero byte must lie
  // below the limit.
  Status Date(const Entry& e, const void*& date) const {
    for (uint64_t n = 0;; ++n) {
      if (!b_.Has(e.value + n, 1)) return Status::kPastLimit;
      if (b_.U8(e.value + n) == 0) break;
    }
    date = b_.At(e.value);
    return Status::kOk;
  }

  // Four ASCII digits, "0220" -> 220. Anything else gives no value: the
  // result must not turn into a negative code or a number that was never
  // written.
  Status Version(const Entry& e, uint16_t& out, bool& ok) const {
    ok = false;
    if (e.bytes < 4) return Status::kOk;
    if (!b_.Has(e.value, 4)) return Status::kPastLimit;
    uint16_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t d = b_.U8(e.value + i);
      if (d < '0' || d > '9') return Status::kOk;
      v = static_cast<uint16_t>(v * 10 + (d - '0'));
    }
    out = v;
    ok = true;
    return Status::kOk;
  }

  // The maker note's whole extent must lie below the limit.
  Status Block(const Entry& e, const uint8_t*& data, uint16_t& length) const {
    if (!b_.Has(e.value, e.bytes)) return Status::kPastLimit;
    data = b_.At(e.value);
    length = static_cast<uint16_t>(e.count);
    return Status::kOk;
  }

 private:
  const TiffBytes& b_;
};

// Walks the chain of IFDs that starts at `first`, handing each entry of a
// defined type to onEntry (Status(const Entry&)).
template <typename OnEntry>
Status WalkChain(const TiffBytes& b, uint32_t first, OnEntry onEntry) {
  uint32_t visited[kMaxIfdsPerChain];
  int seen = 0;
  for (uint32_t ifd = first; ifd != 0;) {
    for (int i = 0; i < seen; ++i) {
      if (visited[i] == ifd) return Status::kOk;  // a loop: the chain ends
    }
    if (seen == kMaxIfdsPerChain) return Status::kOk;
    visited[seen++] = ifd;
    if (!b.Has(ifd, 2)) return Status::kPastLimit;
    const uint32_t count = b.U16(ifd);
    uint64_t pos = uint64_t{ifd} + 2;
    for (uint32_t i = 0; i < count; ++i, pos += kEntryBytes) {
      if (!b.Has(pos, kEntryBytes)) return Status::kPastLimit;
      Entry e;
      e.tag = b.U16(pos);
      e.type = b.U16(pos + 2);
      e.count = b.U32(pos + 4);
      const uint32_t size = TypeSize(e.type);
      if (size == 0) continue;  // an undefined type: no value to read
      e.bytes = uint64_t{size} * e.count;
      e.value = e.bytes <= 4 ? pos + 8 : b.U32(pos + 8);
      if (onEntry(e) != Status::kOk) return Status::kPastLimit;
    }
    if (!b.Has(pos, 4)) return Status::kPastLimit;
    ifd = b.U32(pos);
  }
  return Status::kOk;
}

struct Working {
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t xDpi = 72;
  int32_t yDpi = 72;
  uint32_t exifIfd = 0;
  bool versionFound = false;
};

// Resolution = numerator / denominator truncated; a zero denominator (or
// INT_MIN / -1, which has no 32-bit quotient) keeps the previous value.
void SetResolution(int32_t num, int32_t den, int32_t& out) {
  if (den == 0 || (num == INT_MIN && den == -1)) return;
  out = num / den;
}

Status ReadIfd0Entry(const Values& v, const Entry& e, Working& w, ExifTagInfoRec& info) {
  bool ok = false;
  uint32_t n = 0;
  int32_t num = 0, den = 0;
  switch (e.tag) {
    case kImageWidth:
    case kImageLength:
    case kExifIfdPointer:
      if (v.Number(e, n, ok) != Status::kOk) return Status::kPastLimit;
      if (!ok) break;
      (e.tag == kImageWidth ? w.width : e.tag == kImageLength ? w.height : w.exifIfd) = n;
      break;
    case kXResolution:
    case kYResolution:
      if (v.Rational(e, num, den, ok) != Status::kOk) return Status::kPastLimit;
      if (ok) SetResolution(num, den, e.tag == kXResolution ? w.xDpi : w.yDpi);
      break;
    case kMake: return v.Text(e, info.make, info.makeLength);
    case kModel: return v.Text(e, info.model, info.modelLength);
    case kSoftware: return v.Text(e, info.software, info.softwareLength);
    case kCopyright: return v.Text(e, info.copyright, info.copyrightLength);
    case kDateTime: return v.Date(e, info.dateTime);
    default: break;
  }
  return Status::kOk;
}

Status ReadExifEntry(const Values& v, const Entry& e, Working& w, ExifTagInfoRec& info) {
  bool ok = false;
  uint32_t n = 0;
  double real = 0;
  const bool tail = HasTail(info);
  switch (e.tag) {
    case kExposureProgram:
    case kIsoSpeedRatings:
    case kMeteringMode:
    case kLightSource:
    case kFlash:
    case kColorSpace:
    case kFocalPlaneResolutionUnit:
    case kPixelXDimension:
    case kPixelYDimension: {
      if (v.Number(e, n, ok) != Status::kOk) return Status::kPastLimit;
      if (!ok) break;
      const auto low = static_cast<uint16_t>(n);  // 16-bit fields take the low 16 bits
      switch (e.tag) {
        case kExposureProgram: info.exposureProgram = low; break;
        case kIsoSpeedRatings: info.isoSpeed = low; break;
        case kFlash: info.flash = low; break;
        case kColorSpace: info.colorSpace = low; break;
        case kPixelXDimension: w.width = n; break;
        case kPixelYDimension: w.height = n; break;
        case kMeteringMode: if (tail) info.meteringMode = low; break;
        case kLightSource: if (tail) info.lightSource = low; break;
        default: if (tail) info.focalPlaneResolutionUnit = low; break;
      }
      break;
    }
    case kExposureTime:
    case kFNumber:
    case kCompressedBitsPerPixel:
    case kSubjectDistance:
    case kFocalLength:
    case kFocalPlaneXResolution:
    case kFocalPlaneYResolution:
    case kShutterSpeedValue:
    case kApertureValue:
    case kBrightnessValue:
    case kExposureBiasValue:
    case kMaxApertureValue: {
      if (v.Real(e, real, ok) != Status::kOk) return Status::kPastLimit;
      if (!ok) break;
      // APEX values back to natural units: the shutter speed as seconds
      // (value 9 -> 2^-9 = 1/512 s), apertures as F numbers (value 5 ->
      // 2^2.5 = F5.7), brightness and bias as factors.
      switch (e.tag) {
        case kExposureTime: info.exposureTime = static_cast<float>(real); break;
        case kFNumber: info.fNumber = static_cast<float>(real); break;
        case kCompressedBitsPerPixel: info.compressedBitsPerPixel = static_cast<float>(real); break;
        case kFocalLength: info.focalLength = static_cast<float>(real); break;
        case kShutterSpeedValue: info.shutterSpeed = static_cast<float>(std::pow(2.0, -real)); break;
        case kApertureValue: info.aperture = static_cast<float>(std::pow(2.0, real / 2)); break;
        case kBrightnessValue: info.brightness = static_cast<float>(std::pow(2.0, real)); break;
        case kExposureBiasValue: info.exposureBias = static_cast<float>(std::pow(2.0, real / 2)); break;
        case kMaxApertureValue: info.maxAperture = static_cast<float>(std::pow(2.0, real / 2)); break;
        case kSubjectDistance: if (tail) info.subjectDistance = static_cast<float>(real); break;
        case kFocalPlaneXResolution: if (tail) info.focalPlaneXResolution = static_cast<float>(real); break;
        default: if (tail) info.focalPlaneYResolution = static_cast<float>(real); break;
      }
      break;
    }
    case kExifVersion:
      if (v.Version(e, info.exifVersion, ok) != Status::kOk) return Status::kPastLimit;
      if (ok) w.versionFound = true;
      break;
    case kFlashpixVersion:
      return v.Version(e, info.flashpixVersion, ok);
    case kDateTimeOriginal: return v.Date(e, info.dateTimeOriginal);
    case kDateTimeDigitized: return v.Date(e, info.dateTimeDigitized);
    case kMakerNote: return v.Block(e, info.makerNote, info.makerNoteLength);
    default: break;
  }
  return Status::kOk;
}

int16_t DecodeExif(const uint8_t* tiff, int32_t limit, ImageBlkAttrRec* image, ExifTagInfoRec& info) {
  InitRecord(info);
  info.exifVersion = 0;
  info.flashpixVersion = 0;
  info.exposureProgram = 0;
  info.compressedBitsPerPixel = 0;
  if (image != nullptr) {
    image->xDpi = 72;
    image->yDpi = 72;
  }

  TiffBytes b(tiff, limit);
  if (!b.Has(0, 2)) return RK_ERR_BUFFER;
  if (b.U8(0) == 'M' && b.U8(1) == 'M') {
    b.SetBigEndian(true);
  } else if (!(b.U8(0) == 'I' && b.U8(1) == 'I')) {
    return RK_ERR_FORMAT;
  }
  if (!b.Has(2, 2)) return RK_ERR_BUFFER;
  if (b.U16(2) != 42) return RK_ERR_FORMAT;
  if (!b.Has(4, 4)) return RK_ERR_BUFFER;

  const Values values(b);
  Working w;
  auto ifd0 = [&](const Entry& e) { return ReadIfd0Entry(values, e, w, info); };
  if (WalkChain(b, b.U32(4), ifd0) != Status::kOk) return RK_ERR_BUFFER;
  if (w.exifIfd != 0) {
    auto exif = [&](const Entry& e) { return ReadExifEntry(values, e, w, info); };
    if (WalkChain(b, w.exifIfd, exif) != Status::kOk) return RK_ERR_BUFFER;
  }

  if (image != nullptr) {
    image->width = static_cast<uint16_t>(w.width);
    image->height = static_cast<uint16_t>(w.height);
    image->xDpi = static_cast<uint16_t>(w.xDpi);
    image->yDpi = static_cast<uint16_t>(w.yDpi);
  }
  return w.versionFound ? static_cast<int16_t>(info.exifVersion) : int16_t{0};
}

}  // namespace
}  // namespace rk::exif

extern "C" RK_API int16_t RkCheckExifFile(const uint8_t* file, int32_t count, int32_t* app1Length) {
  if (file == nullptr) return RK_ERR_NULL;
  if (count < 12) return RK_ERR_FORMAT;
  static constexpr uint8_t kSoiApp1[4] = {0xFF, 0xD8, 0xFF, 0xE1};
  for (int i = 0; i < 4; ++i) {
    if (file[i] != kSoiApp1[i]) return RK_ERR_FORMAT;
  }
  if (file[6] != 'E' || file[7] != 'x' || file[8] != 'i' || file[9] != 'f') return RK_ERR_FORMAT;
  if (app1Length != nullptr) *app1Length = file[4] << 8 | file[5];
  return 12;  // SOI, APP1 marker and length, "Exif" 00 00
}

extern "C" RK_API int16_t RkDecodeExifHeader(const uint8_t* tiffHeader, const int32_t* limit, ImageBlkAttrRec* image,
                                             ExifTagInfoRec* info) {
  if (tiffHeader == nullptr || limit == nullptr || info == nullptr) return RK_ERR_NULL;
  return rk::exif::DecodeExif(tiffHeader, *limit, image, *info);
}
