// Forward 8x8 DCT of the JPEG encoders in 16-bit fixed point: rows first
// into the module table's coefScratch (32-bit row results), then columns
// back into the block, each pass rounding with (value + 2^15) >> 16.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

// True when the table's transform constants are the ones ForwardDct has
// built in (always so after RkInitModuleTable).
[[nodiscard]] bool HasStandardTransformConstants(const ModuleTableRec& table);

// In place on a block of level-shifted samples in -128 .. 128, the range
// that keeps every product inside 32 bits (see the static_asserts). Uses
// the standard constants; results equal reference::ForwardDct.
void ForwardDct(uint32_t* coefScratch, int16_t* block);

namespace reference {

// The plain transform with the constants read from table->idctConst and
// the row results stored in table->coefScratch.
void ForwardDct(const ModuleTableRec& table, int16_t* block);

}  // namespace reference
}  // namespace rk
