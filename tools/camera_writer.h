// Camera-data writer for tests and samples: the inverse direction of the
// library's camera decoders. From any picture (resized to the format's
// size) it makes KSLV thumbnails, KSLV image streams with a white
// reference, and KSTM image and thumbnail data, so that the decoders can be
// checked by round trips.
//
// The KSLV writers undo what they can of the decoder's chain: the two gamma
// curves (through a table of the 8-bit value whose round trip through both
// curves comes nearest each output level) and the colour matrix with the
// reference's gains. The decoder's sharpening and saturation are not undone,
// so a round trip is close to the picture, not equal to it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "picture.h"

namespace rktools {

// 3600 bytes: 30 rows of 60 pixels as Y0, Y1, Cb + 127, Cr + 127.
std::vector<uint8_t> WriteKslvThumbnail(const Picture& pic);

struct KslvImageOptions {
  uint16_t format = 0x3001;                            // 0x3001 (4:2:2) or 0x3005 (4:2:0)
  uint32_t restartInterval = 0;                        // MCUs, 0 = none
  std::array<uint8_t, 4> reference = {100, 100, 100, 100};  // white reference a, b, c, d
  double scale = 0.5;                                  // of the standard quantisation tables
};

// A 480 x 240 baseline stream with a comment segment carrying the reference
// bytes and "KSLV". False when the encoder or the reference fails.
bool WriteKslvImage(const Picture& pic, const KslvImageOptions& options, std::vector<uint8_t>& out);

// KSTM image data of the picture at 640 x 480: "KM", six zero bytes, the
// tables of the standard ones times scale, the 4:2:2 scan, FF D9.
bool WriteKstmImage(const Picture& pic, double scale, std::vector<uint8_t>& out);

// The KSTM thumbnail stream of the picture at 640 x 480 (40 x 30 MCUs of
// 16 x 16 pixels), FF D9 included.
bool WriteKstmThumbnail(const Picture& pic, std::vector<uint8_t>& out);

// The program's pixel block for a picture: bottom-up blue-green-red rows
// padded to 4 bytes; stride receives the row length.
std::vector<uint8_t> BottomUpBgr(const Picture& pic, int32_t& stride);

}  // namespace rktools
