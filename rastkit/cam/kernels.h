// Block kernels shared by every DCT codec of the library (CAM, JPEG, camera
// data): the entropy block decoder, dequantisation, the 8x8 inverse
// transform in 16-bit fixed point, and the two colour conversions. They keep
// no state of their own: the bit reader's state (streamData, streamLength,
// bitPos, decodeError), the zigzag order and the transform constants live in
// the module table.
//
// DecodeBlock here is the plain, symbol-at-a-time decoder that works straight
// on the module table. Hot loops use BlockDecoder (block_decoder.h), which
// gives the same results block for block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastkit.h"
#include "simd_level.h"

namespace rk {

// Outcome of decoding one block.
enum class [[nodiscard]] DecodeStatus : uint8_t {
  kOk,           // all 64 coefficients decoded (end of block or coefficient 63)
  kStreamError,  // decodeError is set (-16 restart marker, -17 end of data,
                 // or a value the caller left there): the block stopped
  kNoCode,       // the 16-bit window matches no code of the table; nothing
                 // was consumed for that symbol and decodeError is untouched
  kBadRun,       // an AC run would pass coefficient 63: the positions up to
                 // 63 were zeroed and the block stopped there
};

// Decodes one 8x8 block of Huffman-coded coefficients from the module
// table's bit stream into block (natural order) and updates *predictor.
// dcTable has 16 entries, acTable 256. dcLut/acLut are 65536-entry lookup
// buffers (table->huffLut[...]) or null, then the code tables are searched
// in symbol order. Positions the stream does not reach keep their values.
// table->bitPos advances; table->decodeError receives -16/-17 from the bit
// reader. Never reads at or past streamLength.
//
// A block may end right in front of a stuffing byte: bitPos then rests on
// the 00 of FF 00 (the reader steps over it when it next needs bits). To
// find the restart marker after an interval: round bitPos up to a whole
// byte, step over a 00 that follows FF, and expect FF D0..D7 there.
DecodeStatus DecodeBlock(ModuleTableRec* table, int16_t* block, const HuffCodeRec* dcTable,
                         const HuffCodeRec* acTable, const uint8_t* dcLut, const uint8_t* acLut,
                         int16_t* predictor);

// block[i] = (block[i] * quant[i]) mod 2^16, as signed 16-bit.
void DequantizeBlock(int16_t* block, const uint16_t* quant);

// In-place 8x8 inverse DCT (rows, then columns) with table->idctConst, no
// level shift. Each pass writes its outputs back as wrapped signed 16-bit
// values. Eight rows or columns at a time with SSE2, a shortcut for DC-only
// blocks; bit-exact with reference::InverseTransformBlock.
void InverseTransformBlock(const ModuleTableRec* table, int16_t* block);

// DequantizeBlock then InverseTransformBlock, in one pass over the block
// where SIMD allows (the products are taken as the rows are loaded).
// These two follow ActiveSimdLevel(): kNone runs the scalar transform.
void DequantizeTransformBlock(const ModuleTableRec* table, int16_t* block, const uint16_t* quant);

// DequantizeTransformBlock on `count` consecutive blocks of 64 (block i with
// quant[i]) with the kernels of `level`, which the caller chose once for its
// whole picture: scalar (kNone), SSE2 one block at a time, AVX2 two blocks
// at a time (idct_avx2.cpp). The results are the same on every level.
void DequantizeTransformBlocks(const ModuleTableRec* table, int16_t* blocks, const uint16_t* const* quant,
                               int count, SimdLevel level);

namespace avx2 {
// Only on a CPU with AVX2 (DequantizeTransformBlocks chooses).
void DequantizeTransformBlocks(const int16_t* idctConst, int16_t* blocks, const uint16_t* const* quant, int count);
}  // namespace avx2

// The scalar transform (used where SSE2 is missing), kept testable beside
// the SIMD one.
namespace scalar {
void InverseTransformBlock(const ModuleTableRec* table, int16_t* block);
}  // namespace scalar

// In place: (Y, Cb, Cr) with Y in 0..255 and Cb, Cr centred on 0 become
// (R, G, B) clamped to 0..255.
void YccToRgb(int16_t* y, int16_t* cb, int16_t* cr);

// In place: (R, G, B) become (Y, Cb, Cr), Cb and Cr centred on 0, unclamped
// (results wrap to signed 16-bit).
void RgbToYcc(int16_t* r, int16_t* g, int16_t* b);

// The same conversions over count samples of three separate rows, in place.
void YccToRgbRow(int16_t* y, int16_t* cb, int16_t* cr, size_t count);
void RgbToYccRow(int16_t* r, int16_t* g, int16_t* b, size_t count);

// Plain versions of the optimised kernels, written straight from the
// arithmetic they define; kept compiled so that tests can hold the fast ones
// to them bit for bit.
namespace reference {
void DequantizeBlock(int16_t* block, const uint16_t* quant);
void InverseTransformBlock(const ModuleTableRec* table, int16_t* block);
}  // namespace reference

}  // namespace rk
