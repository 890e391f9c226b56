// TIFF header and directory reading: the byte-order mark, the chain of
// image file directories as far as format's low byte asks, and the fields
// that say where the strips are and how their samples are laid out.
//
// Every read is checked against the length the caller gave before it is
// made: an entry count, the entries, the next-directory offset, a strip
// table, a rational or a subsampling pair that lies past the data ends the
// call with RK_ERR_BUFFER. Offsets are 32-bit and sums are taken in 64 bits.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "rastkit.h"
#include "tiff/byte_order.h"
#include "tiff/tiff_layout.h"

namespace rk::tiff {
namespace {

constexpr uint16_t kDefaultDpi = 72;
constexpr uint32_t kLargestDimension = 0xFFFF;  // width and height are 16-bit fields
constexpr uint32_t kLargestStripCount = 0xFFFF;  // auxCount1 and auxCount2 are 16-bit fields
// The header result is a signed 32-bit offset: a larger strip offset would
// read as an error code.
constexpr uint32_t kLargestReturnableOffset = 0x7FFFFFFF;

// Bounds of the directory walk for a chain that does not end by itself.
// Directories met before end the chain at once; these two stop a chain of
// fresh (overlapping) directories: 1 MiB of data holds about 87000 distinct
// directory starts, and each could claim up to 65535 entries. Real files
// have a handful of directories of a few dozen entries.
constexpr size_t kMaxDirectories = 4096;
constexpr uint64_t kMaxEntriesWalked = uint64_t{1} << 20;

enum class Status { kOk, kPastEnd };

struct StripTable {
  uint32_t value = 0;  // one strip's offset (or byte count), or the offset of the table
  uint32_t count = 0;
  uint32_t entryWidth = 4;
};

// What the directories say, the later directory overwriting the earlier.
struct Fields {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t compression = 0;
  uint32_t photometric = 0;
  uint32_t samples = 0;
  uint32_t planar = kPlanarChunky;  // TIFF's default when the tag is absent
  StripTable offsets;
  StripTable counts;
  bool hasSubsampling = false;
  uint32_t subH = 0;
  uint32_t subV = 0;
  uint32_t jpegOffset = 0;
  uint32_t jpegLength = 0;
};

bool ValidSubsampling(uint32_t f) { return f == 1 || f == 2 || f == 4; }

class DirectoryReader {
 public:
  DirectoryReader(const uint8_t* data, uint64_t size, int order, ImageBlkAttrRec& image)
      : data_(data), size_(size), order_(order), image_(image) {}

  // Walks the chain from the first directory offset; stops after maxDirs
  // directories (0: no limit), at a next offset of 0, or at one met before.
  Status Walk(uint32_t first, uint32_t maxDirs, Fields& f);

 private:
  bool Has(uint64_t at, uint64_t n) const { return at <= size_ && n <= size_ - at; }
  uint32_t U16(uint64_t at) const { return ReadValue(data_ + at, order_, 2); }
  uint32_t U32(uint64_t at) const { return ReadValue(data_ + at, order_, 4); }

  Status ReadEntry(uint64_t at, Fields& f);
  // The first value of an integer entry (BYTE, SHORT or LONG), 0 for other
  // types and for an entry without values.
  Status Scalar(uint32_t type, uint32_t count, uint64_t field, uint32_t* value) const;
  Status Strips(uint32_t type, uint32_t count, uint64_t field, StripTable& table) const;
  Status Resolution(uint32_t type, uint32_t count, uint64_t field, uint16_t* dpi) const;

  // Where an entry's values are: in its value field when they fit in four
  // bytes, else at the offset the field holds.
  uint64_t ValuesAt(uint32_t type, uint32_t count, uint64_t field) const {
    return uint64_t{count} * TypeSize(type) <= 4 ? field : U32(field);
  }

  const uint8_t* data_;
  uint64_t size_;
  int order_;
  ImageBlkAttrRec& image_;
};

Status DirectoryReader::Walk(uint32_t first, uint32_t maxDirs, Fields& f) {
  std::vector<uint32_t> visited;
  uint64_t walked = 0;
  uint32_t at = first;
  while (at != 0) {
    if (std::find(visited.begin(), visited.end(), at) != visited.end()) break;  // a loop
    if (visited.size() == kMaxDirectories) break;
    if (!Has(at, 2)) return Status::kPastEnd;
    const uint32_t count = U16(at);
    if (!Has(uint64_t{at} + 2, uint64_t{count} * kEntryBytes)) return Status::kPastEnd;
    if (walked + count > kMaxEntriesWalked) break;
    walked += count;
    visited.push_back(at);
    for (uint32_t i = 0; i < count; ++i) {
      if (ReadEntry(uint64_t{at} + 2 + uint64_t{i} * kEntryBytes, f) != Status::kOk) return Status::kPastEnd;
    }
    if (maxDirs != 0 && visited.size() >= maxDirs) break;
    const uint64_t nextAt = uint64_t{at} + 2 + uint64_t{count} * kEntryBytes;
    if (!Has(nextAt, 4)) return Status::kPastEnd;
    at = U32(nextAt);
  }
  return Status::kOk;
}

Status DirectoryReader::Scalar(uint32_t type, uint32_t count, uint64_t field, uint32_t* value) const {
  *value = 0;
  const int width = type == kTypeByte ? 1 : type == kTypeShort ? 2 : type == kTypeLong ? 4 : 0;
  if (width == 0 || count == 0) return Status::kOk;
  const uint64_t at = ValuesAt(type, count, field);
  if (!Has(at, static_cast<uint64_t>(width))) return Status::kPastEnd;
  *value = width == 1 ? data_[at] : ReadValue(data_ + at, order_, width);
  return Status::kOk;
}

// StripOffsets and StripByteCounts. One strip: the value itself. Several:
// a table of SHORT or LONG entries, which must lie inside the data; the
// record then carries the table's offset. Two SHORT entries fit in the
// value field, so that table's offset is the field's own position.
Status DirectoryReader::Strips(uint32_t type, uint32_t count, uint64_t field, StripTable& table) const {
  table = StripTable{};
  if ((type != kTypeShort && type != kTypeLong) || count == 0) return Status::kOk;  // as if absent
  const uint32_t width = TypeSize(type);
  table.count = count;
  table.entryWidth = width;
  if (count == 1) {
    table.value = ReadValue(data_ + field, order_, static_cast<int>(width));
    return Status::kOk;
  }
  const uint64_t at = ValuesAt(type, count, field);
  if (!Has(at, uint64_t{count} * width)) return Status::kPastEnd;
  table.value = static_cast<uint32_t>(at);
  return Status::kOk;
}

// XResolution, YResolution as whole dots: 300/1 -> 300, 1/3 -> 0. The
// division is in floating point, so neither a zero denominator nor
// INT32_MIN / -1 can trap; a quotient that the 16-bit field cannot hold
// (negative, above 65535, or the zero denominator's) leaves the value as it
// was. Integer types are taken as they stand.
Status DirectoryReader::Resolution(uint32_t type, uint32_t count, uint64_t field, uint16_t* dpi) const {
  if (count == 0) return Status::kOk;
  double value = -1;
  if (type == kTypeRational || type == kTypeSRational) {
    const uint64_t at = U32(field);
    if (!Has(at, 8)) return Status::kPastEnd;
    int32_t n = 0;
    int32_t d = 0;
    ReadRationalParts(data_ + at, order_, &n, &d);
    if (d == 0) return Status::kOk;
    value = std::trunc(ReadRational(data_ + at, order_));
  } else {
    uint32_t v = 0;
    if (Scalar(type, count, field, &v) != Status::kOk) return Status::kPastEnd;
    if (type == kTypeByte || type == kTypeShort || type == kTypeLong) value = v;
  }
  if (value >= 0 && value <= 65535) *dpi = static_cast<uint16_t>(value);
  return Status::kOk;
}

Status DirectoryReader::ReadEntry(uint64_t at, Fields& f) {
  const uint32_t tag = U16(at);
  const uint32_t type = U16(at + 2);
  const uint32_t count = U32(at + 4);
  const uint64_t field = at + 8;
  switch (tag) {
    case kTagImageWidth: return Scalar(type, count, field, &f.width);
    case kTagImageLength: return Scalar(type, count, field, &f.height);
    case kTagCompression: return Scalar(type, count, field, &f.compression);
    case kTagPhotometric: return Scalar(type, count, field, &f.photometric);
    case kTagSamplesPerPixel: return Scalar(type, count, field, &f.samples);
    case kTagPlanarConfiguration: return Scalar(type, count, field, &f.planar);
    case kTagJpegInterchangeFormat: return Scalar(type, count, field, &f.jpegOffset);
    case kTagJpegInterchangeFormatLength: return Scalar(type, count, field, &f.jpegLength);
    case kTagStripOffsets: return Strips(type, count, field, f.offsets);
    case kTagStripByteCounts: return Strips(type, count, field, f.counts);
    case kTagXResolution: return Resolution(type, count, field, &image_.xDpi);
    case kTagYResolution: return Resolution(type, count, field, &image_.yDpi);
    case kTagYCbCrSubSampling: {
      if (type != kTypeShort || count < 2) return Status::kOk;
      const uint64_t values = ValuesAt(type, count, field);
      if (!Has(values, 4)) return Status::kPastEnd;
      f.hasSubsampling = true;
      f.subH = U16(values);
      f.subV = U16(values + 2);
      return Status::kOk;
    }
    default: return Status::kOk;  // BitsPerSample and ResolutionUnit included
  }
}

bool Accepted(const Fields& f) {
  if (f.compression != kCompressionNone) return false;
  if (f.photometric == kPhotometricRgb || f.photometric == kPhotometricYCbCr) {
    return f.samples == 3 && (f.planar == kPlanarChunky || f.planar == kPlanarSeparate);
  }
  // One sample a pixel is the same bytes in every planar configuration.
  return f.photometric == kPhotometricBlackIsZero && f.samples == 1 && f.planar <= kPlanarSeparate;
}

int32_t DecodeHeader(const uint8_t* data, uint64_t size, ImageBlkAttrRec& image) {
  image.xDpi = kDefaultDpi;
  image.yDpi = kDefaultDpi;
  if (size < 4) return RK_ERR_FORMAT;
  int order;
  if (data[0] == 'M' && data[1] == 'M') {
    order = kBigEndian;
  } else if (data[0] == 'I' && data[1] == 'I') {
    order = kLittleEndian;
  } else {
    return RK_ERR_FORMAT;
  }
  if (ReadValue(data + 2, order, 2) != 42) return RK_ERR_FORMAT;
  if (size < 8) return RK_ERR_BUFFER;

  const uint16_t format = image.format;
  Fields f;
  DirectoryReader reader(data, size, order, image);
  if (reader.Walk(ReadValue(data + 4, order, 4), format & 0xFF, f) != Status::kOk) return RK_ERR_BUFFER;

  if (f.compression == kCompressionOldJpeg && f.jpegOffset != 0 && f.jpegLength != 0) {
    // The stream is handed on for JPEG decoding: it must start inside the
    // data, and a stated length that runs past the end (old writers often
    // got it wrong) is cut to the bytes there are.
    if (f.jpegOffset >= size) return RK_ERR_BUFFER;
    image.data = const_cast<uint8_t*>(data);
    image.dataOffset = f.jpegOffset;
    image.dataLength = static_cast<uint32_t>(std::min<uint64_t>(f.jpegLength, size - f.jpegOffset));
    return RK_TIFF_HOLDS_JPEG;
  }

  // A field the caller exempted and the file leaves out takes TIFF's
  // default (no compression), or for samples the caller's own value; one
  // missing without exemption is refused before the record is filled.
  if (f.compression == 0 && (format & RK_TIFF_NEED_NO_COMPRESSION)) f.compression = kCompressionNone;
  if (f.samples == 0 && (format & RK_TIFF_NEED_NO_SAMPLES)) {
    f.samples = image.samplesPerPixel != 0 ? image.samplesPerPixel : 1;
  }
  if (f.compression != kCompressionNone) return RK_ERR_FORMAT;
  if ((f.width == 0 && !(format & RK_TIFF_NEED_NO_WIDTH)) ||
      (f.height == 0 && !(format & RK_TIFF_NEED_NO_HEIGHT)) ||
      (f.offsets.value == 0 && !(format & RK_TIFF_NEED_NO_STRIP_OFFSETS)) ||
      (f.photometric == 0 && !(format & RK_TIFF_NEED_NO_PHOTOMETRIC)) || f.samples == 0) {
    return RK_ERR_FORMAT;
  }
  if (f.photometric == kPhotometricYCbCr && f.hasSubsampling &&
      (!ValidSubsampling(f.subH) || !ValidSubsampling(f.subV))) {
    return RK_ERR_FORMAT;
  }
  if ((!(format & RK_TIFF_NEED_NO_WIDTH) && f.width > kLargestDimension) ||
      (!(format & RK_TIFF_NEED_NO_HEIGHT) && f.height > kLargestDimension) ||
      f.offsets.count > kLargestStripCount || f.counts.count > kLargestStripCount ||
      f.offsets.value > kLargestReturnableOffset) {
    return RK_ERR_UNSUPPORTED;
  }

  if (!(format & RK_TIFF_NEED_NO_WIDTH)) image.width = static_cast<uint16_t>(f.width);
  if (!(format & RK_TIFF_NEED_NO_HEIGHT)) image.height = static_cast<uint16_t>(f.height);
  if (!(format & RK_TIFF_NEED_NO_SAMPLES)) image.samplesPerPixel = static_cast<uint16_t>(f.samples);
  image.auxCount1 = static_cast<uint16_t>(f.counts.count);
  image.auxCount2 = static_cast<uint16_t>(f.offsets.count);
  image.dataOffset = f.offsets.value;
  image.dataLength = f.offsets.value <= size ? static_cast<uint32_t>(size - f.offsets.value) : 0;
  image.codecFlags = f.counts.value;
  image.segmentLength[kOffsetEntryWidth] = f.offsets.entryWidth;
  image.segmentLength[kCountEntryWidth] = f.counts.entryWidth;
  image.data = const_cast<uint8_t*>(data);
  image.componentIds = PackFormatCode(f.compression, f.photometric, f.samples, f.planar);
  if (f.hasSubsampling && ValidSubsampling(f.subH) && ValidSubsampling(f.subV)) {
    image.format = SubsamplingFormat(f.subH, f.subV);
  } else if (f.photometric == kPhotometricYCbCr) {
    image.format = kDefaultSubsamplingFormat;
  }
  if (!Accepted(f)) return RK_ERR_FORMAT;
  return static_cast<int32_t>(f.offsets.value);
}

}  // namespace
}  // namespace rk::tiff

extern "C" RK_API int32_t RkDecodeTIFFHeader(ModuleTableRec* table, const uint8_t* data, const uint32_t* size,
                                              ImageBlkAttrRec* image) {
  if (table == nullptr || image == nullptr || data == nullptr || size == nullptr) return RK_ERR_NULL;
  return rk::tiff::DecodeHeader(data, *size, *image);
}
