#include "container.h"

namespace rk {
namespace {

// Reads 16- and 32-bit values in the file's byte order. The caller has
// checked that the bytes are there.
struct OrderedReader {
  const uint8_t* base;
  bool bigEndian;
  [[nodiscard]] uint16_t U16(uint64_t at) const {
    const uint8_t* p = base + at;
    return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  [[nodiscard]] uint32_t U32(uint64_t at) const {
    const uint8_t* p = base + at;
    if (bigEndian) return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
};

constexpr uint8_t kMarkM = 0x4D;  // 'M'
constexpr uint8_t kMarkI = 0x49;  // 'I'

bool IdentifyingByteOk(uint64_t i, uint8_t b) {
  switch (i) {
    case 0: return b == 0x07;
    case 1: return b == 0x20;
    default: return b == kMarkM || b == kMarkI;
  }
}

}  // namespace

CamParse ParseCamDirectory(const uint8_t* file, uint64_t fileSize, CamDirectory& dir) {
  dir = CamDirectory{};
  // The three identifying bytes decide "not a CAM file" on whatever part of
  // them is present; a file that starts like a CAM file but stops before
  // the end of its 6-byte header is a truncated CAM file.
  if (fileSize == 0) return CamParse::kNotCam;
  for (uint64_t i = 0; i < 3; ++i) {
    if (i >= fileSize) return CamParse::kTruncated;
    if (!IdentifyingByteOk(i, file[i])) return CamParse::kNotCam;
  }
  if (fileSize < kCamFileHeaderBytes) return CamParse::kTruncated;

  // Byte 3 alone fixes the order: "MM" and "IM" are big-endian, "II" and
  // "MI" little-endian.
  dir.bigEndian = file[3] == kMarkM;
  const OrderedReader in{file, dir.bigEndian};
  dir.entryCount = in.U16(4);
  const uint64_t directoryEnd = kCamFileHeaderBytes + kCamEntryBytes * dir.entryCount;
  if (directoryEnd > fileSize) return CamParse::kTruncated;

  uint64_t running = directoryEnd;
  for (uint64_t i = 0; i < dir.entryCount; ++i) {
    const uint64_t entry = kCamFileHeaderBytes + kCamEntryBytes * i;
    const auto tag = static_cast<int16_t>(in.U16(entry));
    const uint32_t length = in.U32(entry + 2);
    if (tag >= kCamTagInfo && tag <= kCamTagJpeg) dir.sections[tag] = CamSection{length, running};
    // At most 65535 lengths below 2^32 each: the sum stays far below 2^64.
    running += length;
  }
  return CamParse::kOk;
}

CamImageHeader ReadCamImageHeader(const uint8_t* file, uint64_t offset, bool bigEndian) {
  const uint8_t* section = file + offset;
  const OrderedReader in{section, bigEndian};
  CamImageHeader h;
  h.streamLength = {in.U16(2), in.U16(4), in.U16(6)};
  for (int k = 0; k < 64; ++k) {
    h.lumaQuant[k] = section[8 + k];
    h.chromaQuant[k] = section[72 + k];
  }
  return h;
}

}  // namespace rk
