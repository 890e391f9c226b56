// Progressive JPEG writing (T.81 Annex G, Huffman, 8-bit, spectral
// selection only): the whole picture is transformed and quantised into the
// coefficient store first (edge pixels repeated into partial MCUs), then
// every scan of the fixed script (scan_script.h) is coded twice, once to
// count its symbols for an optimised table, once to write them.
#pragma once

#include <cstdint>

#include "baseline_encode.h"
#include "rastkit.h"

namespace rk {

// RkExportImageByProgJFIF. kReference runs the plain kernels throughout
// (pixels, transform, quantisation, and the AC scans position by position)
// for tests: both give the same bytes.
[[nodiscard]] int16_t WriteProgressiveJfif(ModuleTableRec* table, ImageBlkAttrRec* image,
                                           UserCallBackRec* progress,
                                           EncodeKernels kernels = EncodeKernels::kFast);

// RkGetProgJPEGEncodeWorkSpaceSize as a 64-bit count.
[[nodiscard]] uint64_t ProgressiveEncodeWorkSpace(const ImageBlkAttrRec& image);

}  // namespace rk
