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
// The same without the pointer checks: what the picture's size, format and
// restart interval allow (for size queries made before the buffers exist).
[[nodiscard]] int16_t CheckEncodableShape(const ImageBlkAttrRec& image);

// Refuses (RK_ERR_NULL) a table whose arrays are missing and
// (RK_ERR_UNSUPPORTED) one with a zero quantisation entry in a table that
// `components` components use, or a zigzag entry outside 0 .. 63.
[[nodiscard]] int16_t CheckEncoderTables(const ModuleTableRec& table, int components);

// The most bits one block can take in the scan, whatever its content and
// code tables (codes are at most 16 bits long):
// - DC: a code and at most 11 value bits. A flat block of value v gives a
//   DC coefficient within 1 of 8 v, and level-shifted samples lie in
//   -128 .. 128, so a DC coefficient lies within 1025 of 0 and two of one
//   component (Y: -1025 .. 1017; Cb, Cr: -1017 .. 1025) differ by at most
//   2042, category 11; quantising by an entry of 1 or more only shrinks
//   them: 16 + 11 = 27 bits.
// - AC: each of the 63 positions costs at most 16 + 10 bits when it holds a
//   value (magnitudes stay within 1023, size 10); a run of zeros costs at
//   most 16 bits per 16 positions (ZRL) and the end of block at most 16
//   bits for the rest, both less than a value per position: 63 x 26 = 1638.
// A symbol that would need more has no code and fails the encode (nothing
// past the capacity is ever written either way).
constexpr uint64_t kMaxBlockBits = 27 + 63 * 26;  // 1665

// The most bytes EncodeBaselineScan can write for the image (checked by
// CheckEncodable): every block at kMaxBlockBits, up to 7 padding bits
// after each restart interval and at the end, every data byte doubled by
// stuffing, and 2 bytes a restart marker. Worked example, 1 x 1 at 0x3001:
// one MCU of 4 blocks, 4 x 1665 + 7 = 6667 bits = 834 bytes, 1668 with
// stuffing.
[[nodiscard]] uint64_t MaxScanBytes(const ImageBlkAttrRec& image);

// kFast: the kernels of the active vector level; kReference: the plain
// kernels throughout, on the calling thread (for tests: both give the same
// bytes).
enum class EncodeKernels { kFast, kReference };

// A picture with restart intervals is coded in slices of whole intervals,
// one thread each, when it has at least kMinSlicePixels pixels (starting a
// thread costs some tens of microseconds, a megapixel takes milliseconds),
// no progress callback (it runs on the calling thread after every MCU row),
// the statistics switch off and no work shop (a caller that installs one
// asks for no allocation); as many slices as MaxThreads() allows, at most
// kMaxSlices. `slices` overrides the count (tests and benchmarks): 1 keeps
// the calling thread only, n > 1 cuts n slices whatever the picture's size
// (the other conditions still hold).
constexpr int kMaxSlices = 8;
constexpr uint64_t kMinSlicePixels = uint64_t{1} << 19;

// RkCompressImageByJPEG. Results: RK_OK or the final progress
// value, RK_ERR_NULL, RK_ERR_UNSUPPORTED (see the checks above; also a
// symbol without a code in the tables), RK_ERR_BUFFER (the data does not
// fit dataLength), RK_ERR_MEMORY, RK_STOPPED.
[[nodiscard]] int16_t EncodeBaselineScan(ModuleTableRec* table, ImageBlkAttrRec* image,
                                         UserCallBackRec* callback,
                                         EncodeKernels kernels = EncodeKernels::kFast, int slices = 0);

}  // namespace rk
