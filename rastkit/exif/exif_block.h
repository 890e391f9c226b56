// The TIFF block that an Exif JPEG carries in its APP1 segment, built from
// an ExifTagInfoRec: little-endian header, IFD0, the Exif IFD, the
// interoperability IFD (Exif 2.1 and later) and IFD1 with the thumbnail.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::exif {

// The Exif version written for a record: its own, or 200 when it claims a
// later one but lacks what Exif 2.1 requires (Make, Model and both
// original and digitized dates).
[[nodiscard]] uint16_t WrittenExifVersion(const ExifTagInfoRec& info);

// The two 32-bit numbers of a RATIONAL (isSigned false) or SRATIONAL for
// the real v with denominator d:
//   d > 0: numerator (0.5 / d + v) * d truncated toward zero, denominator d;
//   d = 0 and 0 < v < 1: 1 / (0.5 + 1 / v truncated) (1/60 s stays 1/60);
//   d = 0 otherwise: v truncated / 1.
// False when the tag cannot hold the result: NaN, a negative value in an
// unsigned RATIONAL, a number beyond 32 bits.
[[nodiscard]] bool EncodeRational(double v, uint32_t d, bool isSigned, uint32_t& num, uint32_t& den);

// APEX values in tenths: a + 0.05 (bias), then the rational rule with
// d = 10, so 1/60 s (a = 5.907) is written 60/10. A negative value is
// written as the negative of its magnitude's result (-2/3 EV: -7/10, as
// +2/3 EV gives 7/10). withBiasAtZero false (the shutter speed) leaves a
// value of exactly 0 without the bias. False as EncodeRational.
[[nodiscard]] bool EncodeApex(double a, bool isSigned, bool withBiasAtZero, uint32_t& num, uint32_t& den);

// The 20-byte Exif date text "YYYY:MM:DD HH:MM:SS" and a zero byte; years
// below 100 count from 1900, years above 9999 are written 9999.
void FormatDate(const ExifDateTimeRec& date, uint8_t out[20]);

// Builds the block for `info` (whose exifVersion is taken as `version`)
// and the image's size and resolution into out, which holds 65527 bytes.
// Every byte up to `length` is written (padding bytes are 0). IFD1 and the
// thumbnail are added when the record holds a thumbnail and they fit.
// RK_OK, or RK_ERR_UNSUPPORTED (nothing written) for a value that its tag
// cannot hold or texts and maker note too long for one block.
[[nodiscard]] int16_t BuildExifBlock(const ExifTagInfoRec& info, uint16_t version, const ImageBlkAttrRec& image,
                                     uint8_t* out, uint32_t& length);

}  // namespace rk::exif
