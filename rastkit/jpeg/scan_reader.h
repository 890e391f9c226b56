// Entropy readers of progressive scans: Huffman symbols, value bits, and
// the single correction bits of refinement scans.
//
// Both readers follow the bit reader of the block kernels (cam/bit_reader.h:
// stuffing, restart markers -16, EOI -17, no byte read at or past the
// length) with two rules more, because a progressive scan ends where the
// next segment begins (FF C4, FF DA ...):
//  - the reader is given the scan's data only, up to that marker, and a
//    read that starts at or past the end fails with the marker's error:
//    -8 for a segment, -17 for EOI or the end of the stream (value bits
//    too, which the block kernels would read as zeros there);
//  - a byte that follows 0xFF and is none of 00, D0..D7, D9 sets -8 where
//    bits are needed.
// So a scan whose data runs short stops at the next segment instead of
// reading its bytes as code bits (a code may span the marker as the kernels'
// windows do; the read after it fails).
//
// PlainScanReader is the checked reference: every read goes through
// BitReader. ScanReader keeps up to 64 upcoming bits of "plain" bytes (not
// 0xFF and not after 0xFF, inside the data) in a register, where none of
// the checks can fire, and falls back to PlainScanReader at the same
// position for anything else; both give the same values, bit positions and
// errors read for read.
#pragma once

#include <cstdint>

#include "cam/bit_reader.h"
#include "cam/block_decoder.h"
#include "rastkit.h"

namespace rk {

enum class ReadStep : uint8_t { kOk, kError, kNoCode };

class PlainScanReader {
 public:
  // endError: RK_ERR_BAD_MARKER when a segment follows the data, else
  // RK_ERR_END_OF_DATA.
  PlainScanReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t endError = RK_ERR_END_OF_DATA)
      : data_(data), length_(data == nullptr ? 0 : length), reader_(data, length, bitPos, 0), endError_(endError) {}

  // One Huffman code (the checks before a symbol, then the lookup).
  ReadStep Symbol(const HuffLookup& lookup, unsigned* symbol);
  // A code and its value bits, extended: size = symbol & 15 for AC tables,
  // the symbol itself for DC tables (categories 0..15).
  ReadStep SymbolValue(const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value);
  // n raw bits (0..16), with the checks before value bits.
  ReadStep Bits(unsigned n, uint32_t* bits);
  // One bit with the checks before a symbol (the end of the data counts):
  // the single bit per block of a DC refinement scan.
  ReadStep LeadBit(uint32_t* bit);
  // A correction or sign bit of an AC refinement scan (checks of value bits).
  ReadStep Bit(uint32_t* bit) { return Bits(1, bit); }

  [[nodiscard]] uint32_t bitPos() const { return reader_.bitPos(); }
  [[nodiscard]] int16_t error() const { return marker_ != 0 ? marker_ : reader_.error(); }

 private:
  bool AtEnd();
  bool ForeignMarker();
  bool BeginSymbol() { return !AtEnd() && !ForeignMarker() && reader_.BeginSymbol(); }
  bool BeginBits() { return !AtEnd() && !ForeignMarker() && reader_.BeginBits(); }

  const uint8_t* data_;
  uint32_t length_;
  BitReader reader_;
  int16_t endError_;
  int16_t marker_ = 0;  // the error of the end or of a marker, once met
};

class ScanReader {
 public:
  ScanReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t endError = RK_ERR_END_OF_DATA);

  ReadStep Symbol(const HuffLookup& lookup, unsigned* symbol);
  ReadStep SymbolValue(const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value);
  ReadStep Bits(unsigned n, uint32_t* bits);
  ReadStep LeadBit(uint32_t* bit);
  // A correction bit of an AC refinement scan (checks of value bits).
  ReadStep Bit(uint32_t* bit) {
    if (count_ == 0) Refill();
    if (count_ > 0) {
      *bit = static_cast<uint32_t>(bits_ >> 63);
      bits_ <<= 1;
      --count_;
      ++bitPos_;
      return ReadStep::kOk;
    }
    return Bits(1, bit);
  }

  [[nodiscard]] uint32_t bitPos() const { return bitPos_; }
  [[nodiscard]] int16_t error() const { return error_; }

 private:
  void Refill();
  void Restart();  // empties the register at bitPos_
  // Runs one read of the plain reader at bitPos_ and takes its outcome.
  template <class Read>
  ReadStep Slow(Read&& read);

  const uint8_t* data_;
  uint32_t length_;
  uint32_t bitPos_;      // raw position of the register's first bit
  int16_t endError_;
  int16_t error_ = 0;
  uint64_t bits_ = 0;    // upcoming bits, most significant first
  unsigned count_ = 0;   // valid bits in bits_
  uint32_t next_ = 0;    // next byte to load (length_ once a 0xFF stops loading)
};

}  // namespace rk
