// Progressive JPEG decoding (T.81 Annex G, Huffman, 8-bit) and the
// multi-scan sequential streams that share its machinery: every scan of the
// stream is decoded into one whole-image coefficient store, then the
// picture is reconstructed MCU by MCU like a baseline picture.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

enum class ScanReaders { kFast, kReference };

// RkDecompressImageByProgJPEG. kReference reads every bit through the
// plain checked reader (for tests: both give the same pixels and results).
[[nodiscard]] int16_t DecodeProgressive(ModuleTableRec* table, ImageBlkAttrRec* image,
                                        UserCallBackRec* progress, ScanReaders readers = ScanReaders::kFast);

// RkGetProgJPEGDecodeWorkSpaceSize as a 64-bit count (0 for a format the
// decoder cannot handle).
[[nodiscard]] uint64_t ProgressiveDecodeWorkSpace(const ImageBlkAttrRec& image);

}  // namespace rk
