// Arbitrary bytes as an Exif JPEG file: RkCheckExifFile, then
// RkDecodeExifHeader with the program's limit (the smaller of the APP1
// length and the bytes after the TIFF header); the same bytes as a bare TIFF
// structure (the TIFF branch, limit = the whole input); and a version-1
// record of exactly its size. Each copy is exactly as long as the limit, and
// every byte the record points at (texts by their lengths, dates up to
// their zero byte, the maker note) is read afterwards and must lie inside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rastkit.h"

namespace {

constexpr size_t kMaxInput = 1 << 17;

volatile uint32_t g_sink;

void Inside(const void* p, size_t n, const uint8_t* base, size_t size) {
  if (p == nullptr) return;
  const auto* b = static_cast<const uint8_t*>(p);
  if (b < base || n > size || b - base > static_cast<std::ptrdiff_t>(size - n)) __builtin_trap();
  uint32_t s = 0;
  for (size_t i = 0; i < n; ++i) s = s * 31 + b[i];
  g_sink = s;
}

void ReadDate(const void* p, const uint8_t* base, size_t size) {
  if (p == nullptr) return;
  Inside(p, 1, base, size);
  const size_t n = std::strlen(static_cast<const char*>(p));  // stops inside: the reader checked the zero
  Inside(p, n + 1, base, size);
}

void ReadRecord(const ExifTagInfoRec& r, const uint8_t* base, size_t size) {
  Inside(r.make, r.makeLength, base, size);
  Inside(r.model, r.modelLength, base, size);
  Inside(r.software, r.softwareLength, base, size);
  Inside(r.copyright, r.copyrightLength, base, size);
  Inside(r.makerNote, r.makerNoteLength, base, size);
  ReadDate(r.dateTime, base, size);
  ReadDate(r.dateTimeOriginal, base, size);
  ReadDate(r.dateTimeDigitized, base, size);
  if (r.thumbnail != nullptr) __builtin_trap();  // the reader never sets it
  uint32_t s = r.exifVersion ^ r.flashpixVersion ^ r.isoSpeed ^ r.colorSpace ^ r.flash ^ r.exposureProgram;
  for (float f : {r.focalLength, r.fNumber, r.exposureTime, r.shutterSpeed, r.aperture, r.brightness,
                  r.exposureBias, r.maxAperture, r.compressedBitsPerPixel}) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    s ^= bits;
  }
  g_sink = s;
}

void Decode(const uint8_t* tiff, int32_t limit) {
  const size_t size = limit > 0 ? static_cast<size_t>(limit) : 0;
  std::vector<uint8_t> copy(tiff, tiff + size);  // exactly the limit
  const uint8_t empty = 0;
  const uint8_t* p = size > 0 ? copy.data() : &empty;

  ExifTagInfoRec info;
  std::memset(&info, 0xAB, sizeof info);
  RkInitExifTagVers(&info);
  ImageBlkAttrRec image{};
  const int16_t r = RkDecodeExifHeader(p, &limit, &image, &info);
  if (r < 0 && r != RK_ERR_FORMAT && r != RK_ERR_BUFFER) __builtin_trap();
  if (r > 9999) __builtin_trap();  // four decimal digits at most
  ReadRecord(info, p, size);
  g_sink = image.width ^ image.height ^ image.xDpi ^ image.yDpi;

  // A version-1 record ends after makerNoteLength: nothing past it is
  // touched (the allocation is exactly that long).
  // The block is raw bytes shorter than the record, so its fields are
  // reached by offset: a typed access would claim the whole record.
  const size_t shortSize = offsetof(ExifTagInfoRec, subjectDistance);
  auto* raw = static_cast<unsigned char*>(std::malloc(shortSize));
  if (raw == nullptr) return;
  std::memset(raw, 0xAB, shortSize);
  const decltype(ExifTagInfoRec::version) one = 1;
  std::memcpy(raw + offsetof(ExifTagInfoRec, version), &one, sizeof one);
  const int16_t r1 = RkDecodeExifHeader(p, &limit, nullptr, reinterpret_cast<ExifTagInfoRec*>(raw));
  if (r1 != r) __builtin_trap();
  decltype(ExifTagInfoRec::make) make;
  decltype(ExifTagInfoRec::makeLength) makeLength;
  std::memcpy(&make, raw + offsetof(ExifTagInfoRec, make), sizeof make);
  std::memcpy(&makeLength, raw + offsetof(ExifTagInfoRec, makeLength), sizeof makeLength);
  Inside(make, makeLength, p, size);
  std::free(raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  std::vector<uint8_t> file(data, data + size);  // exactly size bytes
  const uint8_t empty = 0;
  const uint8_t* p = size > 0 ? file.data() : &empty;
  const auto count = static_cast<int32_t>(size);

  int32_t app1 = -1;
  const int16_t check = RkCheckExifFile(p, count, &app1);
  if (check == 12) {
    if (app1 < 0 || app1 > 65535) __builtin_trap();
    Decode(p + 12, app1 < count - 12 ? app1 : count - 12);
  } else if (check != RK_ERR_FORMAT || app1 != -1) {
    __builtin_trap();
  }
  Decode(p, count);
  return 0;
}
