// Baseline sequential encoding of one interleaved scan: the entropy-coded
// data only (restart markers included, no other markers), with whatever
// quantisation and Huffman tables the module table holds.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

// The DRI segment holds the interval in 16 bits.
constexpr uint32_t kMaxRestartInterval = 65535;
// T.81 B.2.3: an interleaved MCU holds at most 10 blocks.
constexpr int kMaxBlocksPerMcu = 10;

// Refuses (RK_ERR_UNSUPPORTED) what the encoder cannot code: zero width or
// height, a null pixels or data pointer, a component count other than 1 or
// 3, a span that does not divide the MCU, a grey format with sampling bits
// (T.81 codes a single component one block per MCU), more than 10 blocks per
// MCU, a restart interval above 65535. RK_OK otherwise.
[[nodiscard]] int16_t CheckEncodable(const ImageBlkAttrRec& image);

// Refuses (RK_ERR_NULL) a table whose arrays are missing and
// (RK_ERR_UNSUPPORTED) one with a zero quantisation entry in a table that
// `components` components use, or a zigzag entry outside 0 .. 63.
[[nodiscard]] int16_t CheckEncoderTables(const ModuleTableRec& table, int components);

enum class EncodeKernels { kFast, kReference };

// RkCompressImageByJPEG. kReference runs the plain kernels throughout (for
// tests: both give the same bytes). Results: RK_OK or the final progress
// value, RK_ERR_NULL, RK_ERR_UNSUPPORTED (see the checks above; also a
// symbol without a code in the tables), RK_ERR_BUFFER (the data does not
// fit dataLength), RK_ERR_MEMORY, RK_STOPPED.
[[nodiscard]] int16_t EncodeBaselineScan(ModuleTableRec* table, ImageBlkAttrRec* image,
                                         UserCallBackRec* callback,
                                         EncodeKernels kernels = EncodeKernels::kFast);

}  // namespace rk
