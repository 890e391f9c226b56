// CAM file writer for tests and samples: the inverse of the library's
// decoder. A picture is resized to 480x240, converted to YCbCr, its
// chrominance averaged over 3 x 2 luminance samples into 160x120 planes, and
// each plane coded as one stream of 8x8 DCT blocks in raster order with the
// default Huffman tables and the chosen quantisation tables (stored in the
// file in zigzag order). The container around it can carry a thumbnail, any
// number of unknown sections before the picture, and a JPEG section.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "picture.h"

namespace rktools {

struct CamWriteOptions {
  bool bigEndian = true;        // "MM"; false writes "II"
  double lumaScale = 0.5;       // of the standard luminance table
  double chromaScale = 0.5;     // of the standard chrominance table
  bool camPicture = true;       // a tag-3 section
  bool thumbnail = false;       // a tag-2 section: 80x60 RGB bytes
  int unknownSections = 0;      // tag-9 sections before the picture
  bool jpegSection = false;     // a tag-4 section: the picture as JFIF
  int jpegQualityScale = 100;   // percent of the standard tables for it
};

enum class CamWriteStatus {
  kOk,
  kStreamTooLong,  // a coded stream needs more than 65535 bytes
  kEncoderError,   // a block the default tables cannot code
  kJpegError,      // the JFIF export failed
  kEmptyPicture,
};

// The coded picture of a tag-3 section.
struct CamCoded {
  std::array<uint8_t, 64> lumaZigzag{};    // quantisation values as stored
  std::array<uint8_t, 64> chromaZigzag{};
  std::array<std::vector<uint8_t>, 3> streams;  // Y, Cb, Cr
};

// Codes a 480x240 picture with quantisation tables given in natural order
// (values 1..255).
CamWriteStatus EncodeCamPicture(const Picture& pic480x240, const std::array<uint16_t, 64>& lumaQuant,
                                const std::array<uint16_t, 64>& chromaQuant, CamCoded& out);

// A whole CAM file for any picture.
CamWriteStatus WriteCam(const Picture& pic, const CamWriteOptions& options, std::vector<uint8_t>& file);

const char* ToString(CamWriteStatus status);

}  // namespace rktools
