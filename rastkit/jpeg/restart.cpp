#include "restart.h"

namespace rk {

bool ResyncAtRestart(ModuleTableRec* table) {
  const uint8_t* data = table->streamData;
  const uint32_t length = table->streamLength;
  uint32_t j = table->bitPos / 8;
  if (j > 0) --j;
  // Pairs (j, j + 1) with j + 1 < length: the marker's second byte must lie
  // inside the stream.
  for (; data != nullptr && j + 1 < length && j + 1 > j; ++j) {
    if (data[j] != 0xFF) continue;
    const uint8_t m = data[j + 1];
    if (m >= 0xD0 && m <= 0xD7) {
      table->bitPos = 8 * (j + 2);
      table->dcPredictor[0] = table->dcPredictor[1] = table->dcPredictor[2] = 0;
      table->mcuCount = 0;
      return true;
    }
    if (m == 0xD9) break;
  }
  table->decodeError = RK_ERR_END_OF_DATA;
  return false;
}

bool RestartMarkerNear(const ModuleTableRec* table, uint32_t bitPos) {
  const uint8_t* data = table->streamData;
  const uint64_t length = table->streamLength;
  const uint64_t at = bitPos / 8;
  for (uint64_t j = at > 0 ? at - 1 : 0; j <= at + 3 && j + 1 < length; ++j) {
    if (data[j] == 0xFF && data[j + 1] >= 0xD0 && data[j + 1] <= 0xD7) return true;
  }
  return false;
}

}  // namespace rk
