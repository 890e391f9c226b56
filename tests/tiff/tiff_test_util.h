// TIFF files for tests: a small builder for hand-made (and hostile)
// directories, files laid out by libtiff from raw strips, libtiff's own
// reading of a file as the oracle, and our header + decode in one call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace tifftest {

using Bytes = std::vector<uint8_t>;

// Builds a TIFF in either byte order. Entries go into the current
// directory; EndDirectory places it at the end of the file and links it
// from the header (first) or from the previous directory.
class Builder {
 public:
  explicit Builder(bool little);
  uint32_t Put(const Bytes& b);  // appends data, returns its offset
  Bytes Values(const std::vector<uint32_t>& v, int width) const;
  Bytes Shorts(const std::vector<uint32_t>& v) const { return Values(v, 2); }
  Bytes Longs(const std::vector<uint32_t>& v) const { return Values(v, 4); }
  // An entry with these value bytes: in the value field when they fit,
  // else placed in the file and pointed at.
  Builder& Entry(uint16_t tag, uint16_t type, uint32_t count, const Bytes& values);
  Builder& Short(uint16_t tag, std::vector<uint32_t> v) { return Entry(tag, 3, uint32_t(v.size()), Shorts(v)); }
  Builder& Long(uint16_t tag, std::vector<uint32_t> v) { return Entry(tag, 4, uint32_t(v.size()), Longs(v)); }
  // Returns the directory's offset; its next-directory field stays 0.
  uint32_t EndDirectory();
  void SetU32(uint32_t at, uint32_t v);

  Bytes bytes;

 private:
  bool little_;
  std::vector<Bytes> entries_;
  uint32_t nextField_ = 4;  // where the next directory's offset goes
};

// A layout for libtiff to write from raw strips.
struct PeerLayout {
  bool little = true;
  int width = 0;
  int height = 0;
  int photometric = 2;  // 1 grey, 2 RGB, 6 YCbCr
  int planar = 1;       // 1 chunky, 2 separate
  int rowsPerStrip = 0;
  int subH = 1;  // YCbCr subsampling
  int subV = 1;
  // Writes the strips in the order R0 G0 B0 R1 ... instead of plane by plane.
  bool scatterPlanes = false;
};
// The file holding samples (3 planes w x h of 0..255, or one plane for
// grey) laid out as TIFF stores them: chunky pixels, planes, or YCbCr data
// units whose chroma is the top-left sample of each unit.
Bytes WriteWithLibtiff(const PeerLayout& layout, const std::vector<Bytes>& planes);
// libtiff's picture of a file (TIFFReadRGBAImageOriented, top row first);
// empty when libtiff cannot read it. warnings counts its warnings and errors.
rktest::Rgb ReadWithLibtiff(const Bytes& file, int* warnings = nullptr);

struct Decoded {
  int32_t header = 0;
  int16_t image = 0;
  ImageBlkAttrRec record{};  // after the header call
  rktest::Rgb rgb;           // the decoded picture (when the header succeeded)
};
// RkDecodeTIFFHeader with format on entry, then RkDecodeImageByTIFF into
// the program's bottom-up BGR bitmap (or a 32-bit top-down buffer).
Decoded Decode(const Bytes& file, uint16_t format = 1, bool buffer32 = false);

// A file name of its own in the test temp folder (ctest runs cases in
// parallel processes, so fixed names collide).
std::string TempPath();

}  // namespace tifftest
