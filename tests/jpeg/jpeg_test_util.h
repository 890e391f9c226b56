// Helpers of the JPEG decoder tests: decoding a whole stream into the
// program's bitmap, hand-built streams, and TurboJPEG/libjpeg encodes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace jpegtest {

using Bytes = std::vector<uint8_t>;

// Header plus baseline decode into a bottom-up BGR bitmap. result is the
// decoder's result, or the header's when it failed.
struct Decoded {
  int32_t header = 0;
  int16_t result = 0;
  rktest::Rgb rgb;
};
Decoded DecodeToBitmap(const Bytes& stream, bool withLut, uint8_t fill = 0);

// Hand-built streams, segment by segment.
class StreamBuilder {
 public:
  StreamBuilder& Raw(std::initializer_list<uint8_t> bytes);
  StreamBuilder& Raw(const Bytes& bytes);
  StreamBuilder& Soi() { return Raw({0xFF, 0xD8}); }
  StreamBuilder& Eoi() { return Raw({0xFF, 0xD9}); }
  // Marker with a body; the length field is body size + 2 unless given.
  StreamBuilder& Segment(uint8_t marker, const Bytes& body, int lengthOverride = -1);
  StreamBuilder& App0(uint8_t units, uint16_t x, uint16_t y);
  StreamBuilder& Adobe(uint8_t transform);
  // One 8-bit table; values in zigzag order; all equal to `value` if values empty.
  StreamBuilder& Dqt(uint8_t destination, uint8_t value, const Bytes& values = {});
  // The standard T.81 tables: luminance DC/AC at destination 0, and the
  // chrominance ones at destination 1 when chroma is set.
  StreamBuilder& DhtStandard(bool chroma);
  StreamBuilder& Dht(uint8_t classDest, const uint8_t (&bits)[16], const Bytes& values);
  // components: {id, sampling byte, quant table}.
  StreamBuilder& Sof(uint8_t marker, uint16_t width, uint16_t height,
                     const std::vector<std::array<uint8_t, 3>>& components, uint8_t precision = 8);
  StreamBuilder& Dri(uint16_t interval);
  StreamBuilder& Sos(int components);
  StreamBuilder& Com(const Bytes& text);
  const Bytes& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  Bytes bytes_;
};

// TurboJPEG encode of an RGB picture. subsamp: TJSAMP_*; flags: TJFLAG_*.
Bytes TurboEncode(const rktest::Rgb& img, int subsamp, int quality, int flags = 0);
// libjpeg encode with the options TurboJPEG lacks: restart interval in
// MCUs, a comment, optimised tables, grey output.
struct LibjpegOptions {
  int quality = 75;
  int hSamp = 2, vSamp = 2;  // luminance sampling; chroma 1x1
  bool grey = false;
  bool rgb = false;  // stored as RGB (Adobe transform 0)
  bool optimize = false;
  int restartInterval = 0;
  std::string comment;
};
Bytes LibjpegEncode(const rktest::Rgb& img, const LibjpegOptions& options);
// TurboJPEG decode to RGB with accurate DCT and pixel-replicating upsampling.
rktest::Rgb TurboDecode(const Bytes& stream);

}  // namespace jpegtest
