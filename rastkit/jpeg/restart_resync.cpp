#include "restart_resync.h"

#include <cstring>

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

bool PaddingThenRestartMarker(const ModuleTableRec* table, uint32_t bitPos) {
  const uint8_t* data = table->streamData;
  const uint64_t length = data != nullptr ? table->streamLength : 0;
  uint64_t at = bitPos / 8;
  const unsigned used = bitPos % 8;
  auto stuffingAt = [&](uint64_t i) { return i >= 1 && i < length && data[i] == 0x00 && data[i - 1] == 0xFF; };
  if (used != 0) {
    if (at >= length) return false;
    const unsigned padding = (1u << (8 - used)) - 1;  // the byte's last 8 - used bits
    if ((data[at] & padding) != padding) return false;
    ++at;
  }
  if (stuffingAt(at)) ++at;
  return at + 1 < length && data[at] == 0xFF && data[at + 1] >= 0xD0 && data[at + 1] <= 0xD7;
}

int64_t FindRestartMarker(const uint8_t* data, uint32_t length, uint32_t n) {
  if (data == nullptr || n == 0) return -1;
  uint32_t j = 0;
  // 0xFF bytes are rare in entropy-coded data (stuffing, markers): memchr
  // skips the rest. A pair FF FF Dn is the marker FF Dn one byte on.
  while (j + 1 < length) {
    const void* hit = std::memchr(data + j, 0xFF, length - 1 - j);
    if (hit == nullptr) break;
    j = static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - data);
    const uint8_t m = data[j + 1];
    if (m >= 0xD0 && m <= 0xD7 && --n == 0) return j;
    if (m == 0xD9) break;
    ++j;
  }
  return -1;
}

}  // namespace rk
