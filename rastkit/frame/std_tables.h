// Standard codec tables of ITU-T T.81 Annex K, shared by the module table
// (which installs them as defaults) and the JFIF writer (which copies the
// Huffman tables verbatim into its DHT segment).
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "rastkit.h"

namespace rk {

// A Huffman table in the form a DHT segment carries it: BITS[i] = number of
// codes of length i + 1, then the symbols in order of increasing code length.
struct HuffSpec {
  std::array<uint8_t, 16> bits;
  std::span<const uint8_t> values;
};

extern const HuffSpec kStdDcLuminance;    // Table K.3
extern const HuffSpec kStdDcChrominance;  // Table K.4
extern const HuffSpec kStdAcLuminance;    // Table K.5
extern const HuffSpec kStdAcChrominance;  // Table K.6

extern const std::array<uint16_t, 64> kStdLuminanceQuant;    // Table K.1, natural order
extern const std::array<uint16_t, 64> kStdChrominanceQuant;  // Table K.2, natural order
// Zigzag index -> natural index; a constant so that vector kernels can build
// their shuffles from it at compile time.
inline constexpr std::array<int16_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Assigns canonical codes (T.81 Annex C) to the symbols of the table and stores
// (code, length) at out[symbol]; symbols it does not list keep length 0.
// Symbols not below out.size() are ignored.
void BuildCodeEntries(const HuffSpec& dht, std::span<HuffCodeRec> out);

// The DC tables of the module table continue the standard's pattern of ones
// followed by a zero for categories 12 to 15.
void WriteDefaultDcLuminance(std::span<HuffCodeRec, 16> out);
void WriteDefaultDcChrominance(std::span<HuffCodeRec, 16> out);

}  // namespace rk
