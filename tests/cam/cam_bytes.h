// Builds CAM container bytes by hand for tests of the parser: any byte-order
// marks, any directory (including lengths that lie), any section contents.
#pragma once

#include <cstdint>
#include <vector>

namespace camtest {

struct Entry {
  int16_t tag;
  std::vector<uint8_t> body;
  // When set, the directory states this length instead of body.size().
  bool overrideLength = false;
  uint32_t statedLength = 0;
};

inline void Put16(std::vector<uint8_t>& out, uint16_t v, bool bigEndian) {
  if (bigEndian) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  } else {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v, bool bigEndian) {
  if (bigEndian) {
    Put16(out, static_cast<uint16_t>(v >> 16), true);
    Put16(out, static_cast<uint16_t>(v), true);
  } else {
    Put16(out, static_cast<uint16_t>(v), false);
    Put16(out, static_cast<uint16_t>(v >> 16), false);
  }
}

// marks: bytes 2 and 3 ("MM", "II", "MI", "IM"); byte 3 decides the order.
inline std::vector<uint8_t> Container(const char marks[2], const std::vector<Entry>& entries) {
  const bool be = marks[1] == 'M';
  std::vector<uint8_t> out = {0x07, 0x20, static_cast<uint8_t>(marks[0]), static_cast<uint8_t>(marks[1])};
  Put16(out, static_cast<uint16_t>(entries.size()), be);
  for (const Entry& e : entries) {
    Put16(out, static_cast<uint16_t>(e.tag), be);
    Put32(out, e.overrideLength ? e.statedLength : static_cast<uint32_t>(e.body.size()), be);
    out.insert(out.end(), 10, 0);
  }
  for (const Entry& e : entries) out.insert(out.end(), e.body.begin(), e.body.end());
  return out;
}

// A CAM picture section: the 136-byte header (luminance quantisation bytes
// 1..64 and chrominance 101..164 in stored order) and stream bytes filled
// with a recognisable pattern.
inline std::vector<uint8_t> ImageSection(uint16_t ly, uint16_t lb, uint16_t lr, bool bigEndian) {
  std::vector<uint8_t> s;
  Put16(s, 0, bigEndian);
  Put16(s, ly, bigEndian);
  Put16(s, lb, bigEndian);
  Put16(s, lr, bigEndian);
  for (int k = 0; k < 64; ++k) s.push_back(static_cast<uint8_t>(1 + k));
  for (int k = 0; k < 64; ++k) s.push_back(static_cast<uint8_t>(101 + k));
  for (uint32_t i = 0; i < uint32_t{ly} + lb + lr; ++i) s.push_back(static_cast<uint8_t>(i * 7 + 3));
  return s;
}

}  // namespace camtest
