// KSTM camera data: a 640 x 480 image as "KM", six bytes, two 64-byte
// quantisation tables in zigzag order and a marker-free 4:2:2 entropy-coded
// stream ending with FF D9; a thumbnail as a 4:2:0 stream of which only the
// DC terms are used, one 2 x 2 pixel square per MCU. Decoders and encoders.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::camera {

constexpr int kKstmWidth = 640;
constexpr int kKstmHeight = 480;
constexpr int kKstmThumbWidth = 80;
constexpr int kKstmThumbHeight = 60;
// "KM", six bytes, 64 luminance and 64 chrominance quantisation values.
constexpr uint32_t kKstmHeaderBytes = 136;
constexpr uint16_t kKstmImageFormat = 0x3001;  // 2 x 1 luminance sampling
constexpr uint16_t kKstmThumbFormat = 0x3005;  // 2 x 2 luminance sampling

// Decodes the record's data (dataLength bytes) into its pixel buffer at its
// width x height, with the 128 quantisation bytes installed into the module
// table first (luminance into table 0, chrominance into 1 and 2). Strips of
// 8 rows, progress (y0, height - 1) after each and (height - 1, height - 1)
// at the end; the callback's value becomes the result. RK_ERR_NULL,
// RK_ERR_UNSUPPORTED (no pixels), RK_ERR_FORMAT (corrupt data: the MCU
// where it shows is not written, decoding ends after that strip's
// callback), RK_ERR_MEMORY, RK_STOPPED.
[[nodiscard]] int16_t DecodeKstmImage(ModuleTableRec* table, const uint8_t* quant, ImageBlkAttrRec* image,
                                      UserCallBackRec* progress);

// Decodes a thumbnail stream: each 4:2:0 MCU gives the 2 x 2 square at
// (2i, 2j) from the DC terms d of its six blocks, value 16 x d (+ 128 for
// luminance), converted to RGB. Same results as DecodeKstmImage.
[[nodiscard]] int16_t DecodeKstmThumbnail(ModuleTableRec* table, ImageBlkAttrRec* image,
                                          UserCallBackRec* progress);

// Progress of an encoder inside a longer operation: the encoder's own row
// counts are reported as (offset + row, total).
struct ProgressSpan {
  const UserCallBackRec* user = nullptr;
  int32_t offset = 0;
  int32_t total = 0;
};

// Writes the thumbnail stream of the picture that source describes (any
// size; 16 x 16 MCUs over it, black beyond its edges), FF D9 included, at
// out, and its length through written. Each block is transformed like the
// baseline encoder's; its DC becomes (DC + 64) / 128 and each AC term +-1
// when its magnitude reaches 255, else 0. The last byte's unused bits stay
// 0. RK_OK, RK_ERR_BUFFER (does not fit capacity; nothing written past it),
// RK_ERR_UNSUPPORTED, RK_ERR_MEMORY, RK_STOPPED.
[[nodiscard]] int16_t EncodeKstmThumbnail(ModuleTableRec* table, const ImageBlkAttrRec& source, uint8_t* out,
                                          uint32_t capacity, uint32_t* written, const ProgressSpan& progress);

// One thumbnail block, level-shifted samples in, reduced terms out: the
// forward transform of the baseline encoder, then DC -> (DC + 64) / 128
// and each AC term -> its sign when its magnitude reaches 255, else 0. A
// block whose samples span at most 60 levels (no AC term can then reach
// 255) has only its DC formed; reference:: always transforms the whole
// block, with the same result.
void ReduceThumbnailBlock(const ModuleTableRec& table, int16_t* block);
namespace reference {
void ReduceThumbnailBlock(const ModuleTableRec& table, int16_t* block);
}  // namespace reference

// Writes "KM", six zero bytes, the module table's quantisation tables 0 and
// 1 in zigzag order and the baseline 4:2:2 scan of the picture (without
// FF D9) at out, and the byte count through written. Results of the
// baseline encoder (RK_ERR_BUFFER when it does not fit capacity).
[[nodiscard]] int16_t EncodeKstmImage(ModuleTableRec* table, const ImageBlkAttrRec& source, uint8_t* out,
                                      uint32_t capacity, uint32_t* written, const ProgressSpan& progress);

}  // namespace rk::camera
