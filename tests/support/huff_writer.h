// A minimal Huffman bit writer for building entropy-coded test streams:
// bits most significant first, a 0x00 stuffed after every 0xFF data byte,
// JPEG-style value bits, and raw bytes for markers and damage. Test-only.
#pragma once

#include <cstdint>
#include <vector>

#include "rastkit.h"

namespace rktest {

class HuffBitWriter {
 public:
  // Appends the low n bits of bits (n <= 24).
  void PutBits(uint32_t bits, unsigned n);
  void PutCode(const HuffCodeRec& code) { PutBits(code.code, code.length); }
  // The `size` value bits of v (size = SizeOf(v)).
  void PutValue(int32_t v, unsigned size);
  // Pads the last byte with one bits.
  void Flush();
  // Flush, then FF marker (no stuffing).
  void PutMarker(uint8_t marker);
  // A byte appended as is (after a Flush).
  void PutRawByte(uint8_t byte);
  [[nodiscard]] const std::vector<uint8_t>& bytes() const { return bytes_; }
  // Bit position (raw, stuffing included) of the next bit to be written.
  [[nodiscard]] uint32_t bitPos() const {
    return static_cast<uint32_t>(bytes_.size() * 8 + used_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t acc_ = 0;
  unsigned used_ = 0;  // bits in acc_ (< 8)
};

// Number of value bits of v: 0 for 0, 1 for +-1, 2 for +-2..3, ...
unsigned SizeOf(int32_t v);

// Encodes a natural-order block (DC difference against *predictor, then AC
// run/size symbols with ZRL and EOB) using zigzag order; *predictor becomes
// block[0]. Codes that the tables lack are a test error (ADD_FAILURE).
void EncodeBlock(HuffBitWriter& out, const int16_t* block, int16_t* predictor,
                 const HuffCodeRec* dc, const HuffCodeRec* ac, const int16_t* zigzag);

// Fills a 65536-byte lookup buffer the way the header decoders do: for each
// symbol s with length L in 1..16 and code C < 2^L, the 2^(16-L) entries from
// C << (16-L) hold s (later symbols overwrite earlier ones); others stay 0.
std::vector<uint8_t> MakeLut(const HuffCodeRec* codes, unsigned count);

}  // namespace rktest
