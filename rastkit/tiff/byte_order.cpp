#include "tiff/byte_order.h"

#include <cmath>

namespace rk::tiff {

uint32_t TypeSize(uint32_t type) {
  switch (type) {
    case kTypeByte:
    case kTypeAscii:
    case kTypeSByte:
    case kTypeUndefined: return 1;
    case kTypeShort:
    case kTypeSShort: return 2;
    case kTypeLong:
    case kTypeSLong:
    case kTypeFloat: return 4;
    case kTypeRational:
    case kTypeSRational:
    case kTypeDouble: return 8;
    default: return 0;
  }
}

uint32_t ReadValue(const uint8_t* p, int order, int width) {
  if (width == 2) {
    if (order == kBigEndian) return static_cast<uint32_t>(p[0] << 8 | p[1]);
    if (order == kLittleEndian) return static_cast<uint32_t>(p[1] << 8 | p[0]);
  } else if (width == 4) {
    if (order == kBigEndian) {
      return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
             static_cast<uint32_t>(p[2]) << 8 | p[3];
    }
    if (order == kLittleEndian) {
      return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
             static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
  }
  return 0;
}

void ReadRationalParts(const uint8_t* p, int order, int32_t* numerator, int32_t* denominator) {
  *numerator = static_cast<int32_t>(ReadValue(p, order, 4));
  *denominator = static_cast<int32_t>(ReadValue(p + 4, order, 4));
}

double ReadRational(const uint8_t* p, int order) {
  int32_t n = 0;
  int32_t d = 0;
  ReadRationalParts(p, order, &n, &d);
  // In double precision even INT32_MIN / -1 is an ordinary 2147483648.
  return static_cast<double>(n) / static_cast<double>(d);
}

void StoreValue(uint8_t* p, int order, int width, uint32_t value) {
  if ((width != 2 && width != 4) || (order != kBigEndian && order != kLittleEndian)) return;
  for (int i = 0; i < width; ++i) {
    const int shift = 8 * (order == kBigEndian ? width - 1 - i : i);
    p[i] = static_cast<uint8_t>(value >> shift);
  }
}

void StoreEntry(uint8_t* p, int order, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  StoreValue(p, order, 2, tag);
  StoreValue(p + 2, order, 2, type);
  StoreValue(p + 4, order, 4, count);
  StoreValue(p + 8, order, 4, value);
}

void StoreShortEntry(uint8_t* p, int order, uint16_t tag, uint16_t value) {
  StoreEntry(p, order, tag, kTypeShort, 1, order == kBigEndian ? uint32_t{value} << 16 : value);
}

namespace {

// Truncates toward zero into the 32-bit field: -1.5 -> 0xFFFFFFFF (-1),
// 5e9 -> 0xFFFFFFFF, -5e9 -> 0x80000000.
uint32_t Field32(double x) {
  if (std::isnan(x)) return 0;
  const double t = std::trunc(x);
  if (t >= 4294967295.0) return 0xFFFFFFFFu;
  if (t <= -2147483648.0) return 0x80000000u;
  return static_cast<uint32_t>(static_cast<int64_t>(t));
}

}  // namespace

void StoreRational(uint8_t* p, int order, double value, uint32_t d) {
  uint32_t numerator;
  uint32_t denominator;
  if (d != 0) {
    numerator = Field32((0.5 / d + value) * d);
    denominator = d;
  } else if (value > 0.0 && value < 1.0) {
    numerator = 1;
    denominator = Field32(0.5 + 1.0 / value);
  } else {
    numerator = Field32(value);
    denominator = 1;
  }
  StoreValue(p, order, 4, numerator);
  StoreValue(p + 4, order, 4, denominator);
}

}  // namespace rk::tiff
