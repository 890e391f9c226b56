// Huffman table builders shared by the JPEG decoders and encoders: turning
// the BITS/HUFFVAL form that a DHT segment carries into the module table's
// (code, length) entries, and filling the 64 KB decode lookup buffers.
#pragma once

#include <cstdint>
#include <span>

#include "rastkit.h"

namespace rk {

// Entries of the two kinds of code table.
constexpr int kDcCodeCount = 16;   // categories 0..15
constexpr int kAcCodeCount = 256;  // run/size symbols 0x00..0xFF
constexpr uint32_t kLutEntries = 65536;

// Bytes that follow the class/destination byte of one table in a DHT
// segment: the 16 BITS counts plus one HUFFVAL byte per code.
[[nodiscard]] uint32_t HuffmanTableDataSize(const uint8_t* bits);

enum class TableBuild {
  kOk,
  kInvalid,  // more codes than the table holds, a DC symbol above 15, or
             // counts that do not form a prefix code (the canonical codes of
             // some length would not fit in that many bits)
};

// Build a code table from BITS followed by HUFFVAL (spec.size() must be at
// least HuffmanTableDataSize(spec.data())). The table is cleared first
// (16 or 256 entries) and stays cleared when the spec is refused. Codes are
// assigned as in T.81 Annex C: increasing within a length, shifted left by
// one at each new length.
[[nodiscard]] TableBuild BuildDcCodeTable(std::span<const uint8_t> spec, HuffCodeRec* codes);
[[nodiscard]] TableBuild BuildAcCodeTable(std::span<const uint8_t> spec, HuffCodeRec* codes);

// For every symbol s < count (ascending) with a length L in 1..16, the
// 2^(16-L) entries from code << (16-L) upward become s; a code that does not
// fit its length is skipped, so the buffer is never written out of range.
// Entries that no code covers hold a symbol that has no code (255 for DC, the
// first AC symbol of length 0), so looking them up finds no match, exactly as
// searching the code table does. (Only an AC table that gives all 256 symbols
// a code yet leaves windows uncovered has no such symbol.)
void BuildDecodeLut(const HuffCodeRec* codes, int count, uint8_t* lut);

}  // namespace rk
