// The CAM container: a 6-byte file header that fixes the byte order, a
// directory of 16-byte entries, and the sections those entries describe,
// back to back after the directory.
//
//   offset 0   07 20 ('M'|'I') order n(2)      order 'M' = big-endian
//   offset 6   n entries: tag(2) length(4) reserved(10)
//   offset 6+16n  section 0, section 1, ...     (in directory order)
//
// A CAM-coded picture section (tag 3) starts with a 136-byte header:
//   0 reserved(2)  2 Ly(2)  4 Lb(2)  6 Lr(2)  8 luminance quantisation(64,
//   zigzag order)  72 chrominance quantisation(64, zigzag order)
// followed by the Y, Cb and Cr entropy-coded streams of Ly, Lb, Lr bytes.
#pragma once

#include <array>
#include <cstdint>

namespace rk {

// Size value for a whole file that the caller vouches for without knowing
// its length: no check against the end is made.
inline constexpr uint64_t kTrustedFileSize = UINT64_MAX;

inline constexpr uint64_t kCamFileHeaderBytes = 6;
inline constexpr uint64_t kCamEntryBytes = 16;
inline constexpr uint64_t kCamImageHeaderBytes = 136;

enum CamTag : int16_t {
  kCamTagInfo = 1,       // recorded, not used by any operation
  kCamTagThumbnail = 2,  // opaque bytes, copied out unchanged
  kCamTagImage = 3,      // CAM-coded picture
  kCamTagJpeg = 4,       // complete JPEG stream
};

struct CamSection {
  uint32_t length = 0;
  // Offsets are summed in 64 bits: n lengths of up to 2^32 - 1 each must not
  // wrap around to a small offset that seems to lie inside the file.
  uint64_t offset = 0;
  // A tag counts only when both its length and its offset are non-zero.
  [[nodiscard]] bool present() const { return length != 0 && offset != 0; }
  [[nodiscard]] bool inside(uint64_t fileSize) const {
    return offset <= fileSize && length <= fileSize - offset;
  }
};

// The parsed directory: byte order plus the last entry of each tag 1..4.
struct CamDirectory {
  bool bigEndian = false;
  uint16_t entryCount = 0;
  std::array<CamSection, 5> sections{};  // indexed by tag; [0] unused
  [[nodiscard]] const CamSection& section(CamTag tag) const { return sections[tag]; }
};

enum class CamParse {
  kOk,
  kNotCam,     // the first bytes are not a CAM file header
  kTruncated,  // a CAM file header, but the header or directory runs past fileSize
};

// Parses the file header and the directory. fileSize bounds every read
// (kTrustedFileSize: the caller holds the whole file and no check is made).
// Sections are located but not checked against fileSize.
[[nodiscard]] CamParse ParseCamDirectory(const uint8_t* file, uint64_t fileSize, CamDirectory& dir);

// The fixed header of a CAM-coded picture section.
struct CamImageHeader {
  std::array<uint16_t, 3> streamLength{};   // Y, Cb, Cr
  std::array<uint8_t, 64> lumaQuant{};      // zigzag order, as stored
  std::array<uint8_t, 64> chromaQuant{};    // zigzag order, for Cb and Cr
  [[nodiscard]] uint64_t codedBytes() const {
    return uint64_t{streamLength[0]} + streamLength[1] + streamLength[2];
  }
};

// Reads the 136-byte header of the picture section at offset (the caller has
// made sure it lies in the file) in the file's byte order.
[[nodiscard]] CamImageHeader ReadCamImageHeader(const uint8_t* file, uint64_t offset, bool bigEndian);

}  // namespace rk
