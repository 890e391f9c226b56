// Progressive JPEG writing (T.81 Annex G, Huffman, 8-bit, spectral
// selection only): the whole picture is transformed and quantised into the
// coefficient store first (edge pixels repeated into partial MCUs), then
// every scan of the fixed script (scan_script.h) is coded twice, once to
// count its symbols for an optimised table, once to write them.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

// RkExportImageByProgJFIF.
[[nodiscard]] int16_t WriteProgressiveJfif(ModuleTableRec* table, ImageBlkAttrRec* image,
                                           UserCallBackRec* progress);

// RkGetProgJPEGEncodeWorkSpaceSize as a 64-bit count.
[[nodiscard]] uint64_t ProgressiveEncodeWorkSpace(const ImageBlkAttrRec& image);

}  // namespace rk
