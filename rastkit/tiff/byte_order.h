// TIFF byte-order routines: reading and storing 16- and 32-bit values,
// rationals and 12-byte directory entries in either byte order. The TIFF
// reader and writer use them, and so do the Exif reader and writer, whose
// data is a TIFF structure.
//
// Order 0 is big-endian ("MM"), 1 little-endian ("II"). The routines take
// the order and width as plain numbers, the way a directory walker has
// them; an order or width outside those values reads 0 or stores nothing.
#pragma once

#include <cstdint>

namespace rk::tiff {

constexpr int kBigEndian = 0;
constexpr int kLittleEndian = 1;

// Field types of directory entries and the bytes one value of each takes.
enum FieldType : uint16_t {
  kTypeByte = 1,
  kTypeAscii = 2,
  kTypeShort = 3,
  kTypeLong = 4,
  kTypeRational = 5,
  kTypeSByte = 6,
  kTypeUndefined = 7,
  kTypeSShort = 8,
  kTypeSLong = 9,
  kTypeSRational = 10,
  kTypeFloat = 11,
  kTypeDouble = 12,
};
// 0 for a type this library does not know.
[[nodiscard]] uint32_t TypeSize(uint32_t type);

constexpr uint32_t kEntryBytes = 12;

// The 16-bit (width 2) or 32-bit (width 4) unsigned value at p; 0 for any
// other width or order. The caller has checked that the bytes exist.
[[nodiscard]] uint32_t ReadValue(const uint8_t* p, int order, int width);

// The 32-bit numerator at p over the 32-bit denominator after it, both
// signed, divided in double precision. A zero denominator gives the
// quotient's usual IEEE result (inf or NaN); callers test the denominator
// with ReadRationalParts when they must tell.
[[nodiscard]] double ReadRational(const uint8_t* p, int order);
void ReadRationalParts(const uint8_t* p, int order, int32_t* numerator, int32_t* denominator);

// Stores the low 2 or 4 bytes of value at p; nothing for any other width
// or order.
void StoreValue(uint8_t* p, int order, int width, uint32_t value);

// Stores a directory entry: tag and type (16-bit), count and the value
// field (32-bit). A SHORT value belongs in the first two bytes of the
// field: pass it shifted up 16 bits for big-endian, as is for
// little-endian (StoreShortEntry does that).
void StoreEntry(uint8_t* p, int order, uint16_t tag, uint16_t type, uint32_t count, uint32_t value);
void StoreShortEntry(uint8_t* p, int order, uint16_t tag, uint16_t value);

// Stores value as numerator and denominator (32-bit each, numerator
// first). With d != 0 the numerator is (0.5 / d + value) * d truncated
// toward zero over d: 300 with d = 10000 gives 3000000/10000. With d = 0 a
// value strictly between 0 and 1 becomes 1 over (0.5 + 1 / value)
// truncated (0.25 -> 1/4, 0.3 -> 1/3), and anything else its truncation
// over 1 (2.7 -> 2/1). A numerator or denominator beyond the 32-bit range
// saturates there (negative values are stored in two's complement, as an
// SRATIONAL holds them); NaN stores 0.
void StoreRational(uint8_t* p, int order, double value, uint32_t d);

}  // namespace rk::tiff
