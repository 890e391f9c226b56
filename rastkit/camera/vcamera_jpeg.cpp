// RkExportVCameraDataToJPEG: a camera's entropy-coded 640 x 480 4:2:2 image
// and its two quantisation tables wrapped in a complete JFIF file. The
// entropy data is copied unchanged; the segments around it are those of a
// baseline stream with the standard Huffman tables.
#include <cstring>

#include "jpeg/jfif_writer.h"
#include "rastkit.h"

namespace rk::camera {
namespace {

// SOI 2, APP0 18, DQT 134, DHT 420, SOF0 19, SOS 14: 607 bytes around the
// data (a 1000-byte stream makes a 1607-byte file).
constexpr uint32_t kFixedBytes = 607;

constexpr uint8_t kApp0[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x02,
                             0x01, 0x00, 0x48, 0x00, 0x48, 0x00, 0x00};
// 8-bit samples, 480 rows, 640 columns, components 0, 1, 2 sampled 2 x 1,
// 1 x 1, 1 x 1 with quantisation tables 0, 1, 1.
constexpr uint8_t kSof0[] = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80, 0x03,
                             0x00, 0x21, 0x00, 0x01, 0x11, 0x01, 0x02, 0x11, 0x01};
// Components 0, 1, 2 with DC/AC tables 0/0, 1/1, 1/1; spectral selection
// 0 .. 63, no successive approximation.
constexpr uint8_t kSos[] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x00, 0x00, 0x01,
                            0x11, 0x02, 0x11, 0x00, 0x3F, 0x00};
static_assert(2 + sizeof kApp0 + 134 + 4 + kStdHuffmanBytesColour + sizeof kSof0 + sizeof kSos == kFixedBytes);

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" RK_API uint32_t RkExportVCameraDataToJPEG(const uint8_t* quant, const uint8_t* comment,
                                                     uint32_t commentLength, const uint8_t* data,
                                                     uint32_t dataLength, uint8_t* out) {
  if (quant == nullptr || data == nullptr || out == nullptr) return 0;
  const bool hasComment = comment != nullptr && commentLength >= 1;
  if (hasComment && commentLength > kMaxComComment) return 0;  // the COM length field holds 16 bits
  const uint64_t total = uint64_t{kFixedBytes} + dataLength + (hasComment ? commentLength + 4u : 0u);
  if (total > 0xFFFFFFFFu) return 0;  // the count could not be returned

  uint8_t* p = out;
  *p++ = 0xFF;
  *p++ = 0xD8;
  std::memcpy(p, kApp0, sizeof kApp0);
  p += sizeof kApp0;
  if (hasComment) {
    const uint32_t length = commentLength + 2;
    *p++ = 0xFF;
    *p++ = 0xFE;
    *p++ = static_cast<uint8_t>(length >> 8);
    *p++ = static_cast<uint8_t>(length);
    std::memcpy(p, comment, commentLength);
    p += commentLength;
  }
  constexpr uint8_t kDqtHead[] = {0xFF, 0xDB, 0x00, 0x84};  // two 65-byte tables
  std::memcpy(p, kDqtHead, sizeof kDqtHead);
  p += sizeof kDqtHead;
  for (int t = 0; t < 2; ++t) {
    *p++ = static_cast<uint8_t>(t);  // 8-bit precision, destination t
    std::memcpy(p, quant + 64 * t, 64);
    p += 64;
  }
  constexpr uint8_t kDhtHead[] = {0xFF, 0xC4, 0x01, 0xA2};  // 2 + 416
  std::memcpy(p, kDhtHead, sizeof kDhtHead);
  p += sizeof kDhtHead;
  p += WriteStandardHuffmanTables(true, {p, kStdHuffmanBytesColour});
  std::memcpy(p, kSof0, sizeof kSof0);
  p += sizeof kSof0;
  std::memcpy(p, kSos, sizeof kSos);
  p += sizeof kSos;
  std::memcpy(p, data, dataLength);
  p += dataLength;
  return static_cast<uint32_t>(p - out);
}
