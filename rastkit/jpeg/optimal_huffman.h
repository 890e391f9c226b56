// Huffman tables fitted to the symbols of one scan (T.81 Annex K.2), for
// the progressive writer: symbols are counted into frequency tables, then
// each table is turned into the BITS and HUFFVAL bytes of a DHT segment.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

// The statistics area, 6400 bytes, that the module table's progStats
// addresses while the progressive writer encodes: four frequency tables of
// 257 counts (symbols 0..255 and the reserved symbol 256; the writer uses
// the first for luminance DC and all AC symbols, the second for
// chrominance DC), then the builder's working arrays.
struct HuffmanStatistics {
  uint32_t freq[4][257];
  uint16_t codeSize[257];
  int16_t chain[257];  // next symbol in the same subtree, -1 at the end
  // Codes per length 0..32. 16 bits: before the reserved code is taken
  // out, 256 symbols can share a length (a table of all 256 AC symbols at
  // 9 bits beside the reserved symbol at 1 bit).
  uint16_t lengthCount[33];
};
constexpr uint32_t kHuffmanStatisticsBytes = 6400;
static_assert(sizeof(HuffmanStatistics) <= kHuffmanStatisticsBytes);

// The BITS and HUFFVAL bytes of a table: 16 counts, then at most 256 symbols.
constexpr uint32_t kMaxDhtTableBytes = 16 + 256;

// T.81 K.2 on the frequency table that table->statsSwitch selects (1 = the
// first ... 4 = the fourth) in the statistics area at table->progStats:
//  1. the reserved symbol 256 gets frequency 1, so that no code is all ones;
//  2. the two least frequent symbols (the larger symbol number among equal
//     frequencies) are merged until one is left, each merge lengthening
//     every code in both subtrees by one;
//  3. codes longer than 16 bits are shortened as in Figure K.3, and the
//     reserved code is taken from the longest length in use;
//  4. out receives the counts for lengths 1..16 and the symbols 0..255 by
//     code length, then by value.
// Returns the bytes written (16 + symbols), or 0 when a code would need more
// than 32 bits, or when the switch or the area is missing. The frequencies
// are used up.
[[nodiscard]] uint32_t BuildOptimalHuffmanTable(ModuleTableRec* table, uint8_t* out);

}  // namespace rk
