#include "jpeg_quality.h"

#include <algorithm>

namespace corvid {

int QualityPercent(int quality) {
  quality = std::clamp(quality, kMinJpegQuality, kMaxJpegQuality);
  return quality < 50 ? 5000 / quality : 200 - 2 * quality;
}

uint16_t QualityEntry(uint16_t base, int percent) {
  const long value = (static_cast<long>(base) * percent + 50) / 100;
  return static_cast<uint16_t>(std::clamp(value, 1L, 255L));
}

void InstallQualityTables(ModuleTableRec* table, int quality) {
  if (table == nullptr || table->quantTable[0] == nullptr || table->quantTable[1] == nullptr) return;
  // Both null: the defaults, unscaled (T.81 K.1 for luminance, K.2 for
  // chrominance), read back as the bases.
  RkSetQuantizeScaleFactor(table, nullptr, nullptr);
  const int percent = QualityPercent(quality);
  uint16_t luminance[64];
  uint16_t chrominance[64];
  for (int i = 0; i < 64; ++i) {
    luminance[i] = QualityEntry(table->quantTable[0][i], percent);
    chrominance[i] = QualityEntry(table->quantTable[1][i], percent);
  }
  RkSetQuantizeTable(table, luminance, 0);
  RkSetQuantizeTable(table, chrominance, 1);
  RkSetQuantizeTable(table, chrominance, 2);
}

}  // namespace corvid
