// Vector kernels of the JPEG encoders, one set per instruction-set level
// (encode_sse2.cpp: SSE2, which every x86-64 CPU has; encode_avx2.cpp:
// AVX2, compiled for that file only and called only when the CPU has it).
// They compute exactly what their plain twins compute: the colour
// conversion and downsampling of encode_pixels.cpp, the transform of
// forward_dct.cpp and the quantisation of quantize.cpp, with the same
// constants (color.h, forward_dct.h, quantize.h). The encoders choose a set
// once per call from ActiveSimdLevel().
#pragma once

#include <cstddef>
#include <cstdint>

#include "quantize.h"
#include "simd_level.h"

namespace rk {

// At most 10 blocks an MCU (T.81 B.2.3), so at most five pairs.
inline constexpr int kMaxMcuBlocks = 10;

// The reciprocals of two blocks side by side, as the AVX2 transform reads
// them: row r of the first block's table, then row r of the second's (16
// entries a row, one 256-bit register).
struct QuantReciprocalPair {
  alignas(32) uint16_t mult[128];
  alignas(32) uint16_t half[128];
  alignas(32) uint16_t scale[128];
};

// The quantisation of every block of one MCU, in block-buffer order.
struct McuQuant {
  int blocks = 0;
  QuantReciprocals block[kMaxMcuBlocks];
  QuantReciprocalPair pair[kMaxMcuBlocks / 2];  // blocks 2p and 2p + 1
};
// tables[b]: the reciprocals of block b's component.
void BuildMcuQuant(const QuantReciprocals* const* tables, int blocks, McuQuant& out);

// Interleaved 8-bit pixels that the vector gatherers read: 3 or 4 bytes a
// pixel with red, green and blue at offsets below that. For AVX2 the two
// byte shuffles take four pixels of each 128-bit half to R0-3 G0-3 B0-3
// (each half of `first` for pixels 0-3 and 8-11, of `second` for pixels 4-7
// and 12-15 of a run of 16).
struct PixelShuffle {
  int stride = 0;
  int red = 0, green = 0, blue = 0;
  alignas(32) uint8_t first[32];
  alignas(32) uint8_t second[32];
};
// False when the layout is not one the vector gatherers take.
[[nodiscard]] bool MakePixelShuffle(int64_t pixelStride, uint32_t red, uint32_t green, uint32_t blue,
                                    PixelShuffle& out);

// Forward transform and quantisation of an MCU's blocks in place (the
// transform's input: level-shifted samples in -128 .. 128), and for every
// block the mask of its non-zero coefficients in zigzag order (bit k for
// zigzag position k), which the masked Huffman coder walks.
using TransformQuantizeFn = void (*)(int16_t* blocks, const McuQuant& quant, uint64_t* masks);

// Gathers one MCU of interleaved 8-bit pixels that lies wholly inside the
// picture, converts it to YCbCr and writes its blocks in buffer order
// (level-shifted luminance, averaged chrominance), exactly as GatherMcu and
// SplitBlocks do. `top` is the MCU's top-left pixel, `rowStep` the byte step
// from one image row to the next (negative for bottom-up bitmaps).
using PixelsToBlocksFn = void (*)(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& shuffle,
                                  int16_t* blocks);

struct EncoderVectorKernels {
  TransformQuantizeFn transformQuantize = nullptr;
  PixelsToBlocksFn pixels422 = nullptr;  // format 0x3001: MCU 16 x 8, Y 2x1, chroma 1x1
  PixelsToBlocksFn pixels420 = nullptr;  // format 0x3005: MCU 16 x 16, Y 2x2, chroma 1x1
};
// The kernels of a level; every pointer null for kNone (and on machines
// other than x86-64).
[[nodiscard]] EncoderVectorKernels VectorKernelsFor(SimdLevel level);

#if defined(__x86_64__)
namespace sse2 {
void TransformQuantize(int16_t* blocks, const McuQuant& quant, uint64_t* masks);
void Pixels422(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& shuffle, int16_t* blocks);
void Pixels420(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& shuffle, int16_t* blocks);
}  // namespace sse2
namespace avx2 {
void TransformQuantize(int16_t* blocks, const McuQuant& quant, uint64_t* masks);
void Pixels422(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& shuffle, int16_t* blocks);
void Pixels420(const uint8_t* top, ptrdiff_t rowStep, const PixelShuffle& shuffle, int16_t* blocks);
}  // namespace avx2
#endif

}  // namespace rk
