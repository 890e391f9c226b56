// Block kernels shared by every DCT codec of the library (CAM, JPEG, camera
// data): the entropy bit reader and Huffman block decoder, dequantisation,
// the 8x8 inverse transform in 16-bit fixed point, and the two colour
// conversions. They keep no state of their own: the bit reader's state
// (streamData, streamLength, bitPos, decodeError), the zigzag order and the
// transform constants live in the module table.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

// Decodes one 8x8 block of Huffman-coded coefficients from the module
// table's bit stream into block (natural order), updating *predictor.
// dcLut/acLut are 65536-entry lookup buffers or null (then the code tables
// are searched). Errors of the bit reader land in table->decodeError and
// stop the block; positions the stream does not reach keep their values.
void DecodeBlock(ModuleTableRec* table, int16_t* block, const HuffCodeRec* dcTable,
                 const HuffCodeRec* acTable, const uint8_t* dcLut, const uint8_t* acLut,
                 int16_t* predictor);

// block[i] = (block[i] * quant[i]) mod 2^16, as signed 16-bit.
void DequantizeBlock(int16_t* block, const uint16_t* quant);

// In-place 8x8 inverse DCT (rows, then columns), no level shift.
void InverseTransformBlock(const ModuleTableRec* table, int16_t* block);

// In place: (Y, Cb, Cr) with Y in 0..255 and Cb, Cr centred on 0 become
// (R, G, B) clamped to 0..255.
void YccToRgb(int16_t* y, int16_t* cb, int16_t* cr);

// In place: (R, G, B) become (Y, Cb, Cr), Cb and Cr centred on 0, unclamped.
void RgbToYcc(int16_t* r, int16_t* g, int16_t* b);

}  // namespace rk
