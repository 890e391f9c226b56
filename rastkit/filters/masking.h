// The masking composite: one pixel of a first picture combined with one of a
// second by an operation word, two percentage weights and a key colour. Used
// by RkMaskingImage and by the compositing rotation.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk::filters {

struct MaskOperation {
  uint16_t word = 0;       // bits 0-2 channels, 3 key colour, 7 exchange, 8-15 operation
  int32_t firstWeight = 0;   // percent
  int32_t secondWeight = 0;  // percent
  uint8_t key[3] = {0, 0, 0};

  // From the fields of the second picture's record: codecFlags (operation
  // word), componentIds (weights), segmentLength (key colour, low bytes).
  static MaskOperation From(const ImageBlkAttrRec& second);
  [[nodiscard]] bool exchange() const { return (word & 0x80) != 0; }
};

// Combines first and second (red, green, blue values) into *toFirst. With
// the exchange bit the weighted first values go to *toSecond as well, and
// the function returns true; otherwise *toSecond is untouched.
bool Composite(const MaskOperation& op, const uint8_t first[3], const uint8_t second[3], uint8_t toFirst[3],
               uint8_t toSecond[3]);

}  // namespace rk::filters
