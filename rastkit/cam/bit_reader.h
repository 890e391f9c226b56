// The entropy bit reader of the DCT decoders, symbol at a time.
//
// Bits are taken most significant first. A 0x00 byte right after a 0xFF
// byte is stuffing: it carries no data and is stepped over, and bitPos moves
// over it as 8 positions. bitPos counts raw bit positions from the first
// byte and is advanced lazily: a read that ends exactly in front of a
// stuffing byte leaves bitPos on it; the next read steps over it.
//
// Worked example, bytes 12 FF 00 A5 with bitPos 4: the window of the next 16
// data bits is 2FFA (4 bits of 12, all of FF, the 00 skipped, 4 bits of A5).
// Consuming 16 bits lands at bitPos 4 + 16 + 8 = 28, mid-way into A5;
// consuming 12 ends in front of the 00 and leaves bitPos at 16.
//
// Before each Huffman symbol the reader checks, on the byte holding bitPos:
// the end of the data (-17 when bitPos / 8 >= length), and when the byte
// before is 0xFF: 00 is stepped over, D0..D7 gives -16, D9 gives -17, any
// other value is data. Value bits get the same byte check without the
// length check. Markers inside a window are read as data.
//
// No byte at or past length is ever read: such bytes count as zero data
// bits (never stuffing, never a marker).
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

class BitReader {
 public:
  BitReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t error)
      : data_(data), length_(data == nullptr ? 0 : length), bitPos_(bitPos), error_(error) {}
  // Reader over the module table's stream state.
  static BitReader FromTable(const ModuleTableRec& table) {
    return BitReader(table.streamData, table.streamLength, table.bitPos, table.decodeError);
  }
  // Writes bitPos and decodeError back.
  void StoreTo(ModuleTableRec* table) const {
    table->bitPos = bitPos_;
    table->decodeError = error_;
  }

  // The checks before a Huffman symbol (end of data, then stuffing and
  // markers). Returns false when it has just set the error.
  bool BeginSymbol();
  // The stuffing and marker check before value bits. Returns false when it
  // has just set the error.
  bool BeginBits();
  // The next 16 data bits from bitPos, stuffing bytes skipped.
  [[nodiscard]] uint32_t Window() const;
  // Moves past n data bits (n <= 16) and the stuffing bytes among them.
  void Advance(unsigned n);

  [[nodiscard]] uint32_t bitPos() const { return bitPos_; }
  [[nodiscard]] int16_t error() const { return error_; }

 private:
  // Byte i, or 0 past the end.
  [[nodiscard]] uint32_t ByteAt(uint32_t i) const { return i < length_ ? data_[i] : 0u; }
  // True for a 0x00 byte (inside the data) that follows a 0xFF byte.
  [[nodiscard]] bool IsStuffing(uint32_t i) const {
    return i >= 1 && i < length_ && data_[i] == 0x00 && data_[i - 1] == 0xFF;
  }
  bool CheckByte();

  const uint8_t* data_;
  uint32_t length_;
  uint32_t bitPos_;
  int16_t error_;
};

// Symbol lookup of the plain decoder for a 16-bit window. With a lookup
// buffer the symbol is lut[window] and its length the code table's; without
// one the first symbol in symbol order whose code equals the window's top
// `length` bits wins. Symbols of length 0 or above 16 never match, nor does
// a lookup entry past the table's count. Returns false for no match.
bool MatchSymbol(uint32_t window, const HuffCodeRec* codes, unsigned count, const uint8_t* lut,
                 unsigned* symbol, unsigned* length);

// Sign extension of `size` value bits: with the first bit 1 the value is the
// number itself, else number - 2^size + 1 (size 3: 101 -> 5, 010 -> -5).
[[nodiscard]] inline int32_t ExtendValue(uint32_t bits, unsigned size) {
  if (size == 0) return 0;
  const uint32_t half = 1u << (size - 1);
  return bits >= half ? static_cast<int32_t>(bits)
                      : static_cast<int32_t>(bits) - static_cast<int32_t>(2 * half) + 1;
}

enum class SymbolResult : uint8_t { kOk, kError, kNoCode };

// One Huffman symbol: BeginSymbol, window, match, advance past the code.
[[nodiscard]] SymbolResult ReadSymbol(BitReader& reader, const HuffCodeRec* codes, unsigned count,
                                      const uint8_t* lut, unsigned* symbol);
// `size` value bits (0..16) after a symbol, extended. Size 0 reads nothing
// and gives 0. Returns false when the byte check set the error.
[[nodiscard]] bool ReadValue(BitReader& reader, unsigned size, int32_t* value);

}  // namespace rk
