// A plain baseline decoder written straight from the defined arithmetic,
// one step at a time: the symbol-at-a-time block decoder, dequantisation
// and the 8-point inverse transform exactly as defined, pixel replication
// into MCU planes, sample-by-sample colour conversion, and pixel writes
// from the last MCU sample to the first. The library's decoder (fast bit
// reader, lookup tables, skipping transform, fused reconstruction) must
// produce the same pixels and the same result for every stream, valid or
// corrupt.
#pragma once

#include "rastkit.h"

namespace jpegref {

// Decodes the stream that image describes (after RkDecodeJFIFHeader) into
// image's pixel buffer with the tables of the module table.
int16_t Decode(ModuleTableRec* table, ImageBlkAttrRec* image);

// The 8x8 inverse transform as defined (rows, then columns).
void InverseTransform(const int16_t* k, int16_t* block);

}  // namespace jpegref
