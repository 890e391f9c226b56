// What the TIFF reader and writer agree on: tag numbers, the packed format
// code that the header decoder leaves in ImageBlkAttrRec.componentIds, and
// how the record carries the strip tables from the header decoder to the
// image decoder.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::tiff {

enum Tag : uint16_t {
  kTagNewSubfileType = 254,
  kTagImageWidth = 256,
  kTagImageLength = 257,
  kTagBitsPerSample = 258,
  kTagCompression = 259,
  kTagPhotometric = 262,
  kTagStripOffsets = 273,
  kTagSamplesPerPixel = 277,
  kTagStripByteCounts = 279,
  kTagXResolution = 282,
  kTagYResolution = 283,
  kTagPlanarConfiguration = 284,
  kTagResolutionUnit = 296,
  kTagJpegInterchangeFormat = 513,
  kTagJpegInterchangeFormatLength = 514,
  kTagYCbCrSubSampling = 530,
  kTagComment = 34377,  // where this library's writer keeps the global comment
};

constexpr uint32_t kCompressionNone = 1;
constexpr uint32_t kCompressionOldJpeg = 6;
constexpr uint32_t kPhotometricBlackIsZero = 1;
constexpr uint32_t kPhotometricRgb = 2;
constexpr uint32_t kPhotometricYCbCr = 6;
constexpr uint32_t kPlanarGrey = 0;  // this library's own marker for one-sample files
constexpr uint32_t kPlanarChunky = 1;
constexpr uint32_t kPlanarSeparate = 2;

// componentIds of a decoded header: one nibble each of Compression,
// PhotometricInterpretation, SamplesPerPixel and PlanarConfiguration, so
// chunky RGB is 0x1231 and planar YCbCr 0x1632.
constexpr uint32_t PackFormatCode(uint32_t compression, uint32_t photometric, uint32_t samples,
                                  uint32_t planar) {
  return (compression & 15) << 12 | (photometric & 15) << 8 | (samples & 15) << 4 | (planar & 15);
}
constexpr uint32_t CodeCompression(uint32_t code) { return code >> 12 & 15; }
constexpr uint32_t CodePhotometric(uint32_t code) { return code >> 8 & 15; }
constexpr uint32_t CodeSamples(uint32_t code) { return code >> 4 & 15; }
constexpr uint32_t CodePlanar(uint32_t code) { return code & 15; }

// format out for YCbCr: 0x3000 with the subsampling factors minus one in
// bits 0-1 (horizontal) and 2-3 (vertical). TIFF's default, 2 x 2, is 0x3005.
constexpr uint16_t SubsamplingFormat(uint32_t horizontal, uint32_t vertical) {
  return static_cast<uint16_t>((0x3000 | (horizontal - 1) | (vertical - 1) << 2) & 0x3FFF);
}
constexpr uint16_t kDefaultSubsamplingFormat = SubsamplingFormat(2, 2);
static_assert(kDefaultSubsamplingFormat == 0x3005);

// The strip tables travel in the record: auxCount2 and dataOffset are the
// StripOffsets count and value, auxCount1 and codecFlags those of
// StripByteCounts. With a count of 2 or more the value is the offset of a
// table whose entries are segmentLength[0] (offsets) and segmentLength[1]
// (counts) bytes wide: 2 for SHORT tables, 4 for LONG (0 is read as 4, a
// record that never went through the header decoder). The TIFF data runs
// from data to data + dataOffset + dataLength.
constexpr int kOffsetEntryWidth = 0;
constexpr int kCountEntryWidth = 1;

inline int EntryWidth(uint32_t stored) { return stored == 2 ? 2 : 4; }

}  // namespace rk::tiff
