// JPEG quality as libjpeg and cjpeg give it (corvid-convert's --quality),
// on the same T.81 Annex K tables that Compress Scale scales.
//
// libjpeg turns a quality q (1..100, higher is better) into a percentage,
// 5000 / q below 50 and 200 - 2 q from 50 on, and each table entry t into
// (t x percentage + 50) / 100 in integers, clamped to 1..255 for baseline
// streams. Quality 75 gives 50 %: the luminance table's first entry 16
// becomes (16 x 50 + 50) / 100 = 8, its 61 becomes 31; quality 100 gives
// 0 %, every entry 1. Compress Scale multiplies by scale / 128 and
// truncates instead, so no scale reproduces these tables.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace corvid {

constexpr int kMinJpegQuality = 1;
constexpr int kMaxJpegQuality = 100;

// The percentage for a quality (clamped to 1..100 first).
int QualityPercent(int quality);
// One entry: (t x percent + 50) / 100, clamped to 1..255.
uint16_t QualityEntry(uint16_t base, int percent);

// Restores the default T.81 tables of the module table, then installs the
// luminance table (0) and the chrominance tables (1 and 2) for `quality`
// with RkSetQuantizeTable.
void InstallQualityTables(ModuleTableRec* table, int quality);

}  // namespace corvid
