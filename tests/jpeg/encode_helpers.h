// Helpers of the JPEG encoder tests: run the library's writers into a
// vector, and decode streams with libjpeg-turbo (a test-only peer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rastkit.h"
#include "simd_levels.h"
#include "test_images.h"

namespace rktest {

struct EncodeSettings {
  uint16_t format = 0x3001;
  double scale = 1.0;
  uint32_t restartInterval = 0;
  std::string comment;  // empty: none
  uint32_t methodParam = 0;
  uint16_t xDpi = 0, yDpi = 0;
  bool progressive = false;  // RkExportImageByProgJFIF instead
  bool workShop = false;     // progressive: with a work shop of the queried size
};

struct Encoded {
  int16_t result = 0;
  std::vector<uint8_t> bytes;  // the stream (dataLength bytes) on success
  ImageBlkAttrRec record{};    // the record after the call
};

// RkExportImageByJFIF on a fresh module table with the default Huffman
// tables and the scale set for both quantisation kinds; `describe` points
// the record at the pixels. capacity 0 means "generous".
Encoded ExportJfif(const EncodeSettings& s, void (*describe)(ImageBlkAttrRec&, void*), void* pixels,
                   uint32_t capacity = 0);
Encoded ExportJfif(const EncodeSettings& s, Bitmap24& bitmap, uint32_t capacity = 0);

// Decodes with TurboJPEG into RGB. `clean` is false when libjpeg-turbo
// reported an error or a warning.
struct PeerDecoded {
  bool clean = false;
  std::string message;
  Rgb image;
};
PeerDecoded DecodeWithTurbo(const std::vector<uint8_t>& jpeg);

// Offset of the first marker FF `code` in a stream's header part (before
// the scan data), or -1.
long FindMarker(const std::vector<uint8_t>& jpeg, uint8_t code);

}  // namespace rktest
