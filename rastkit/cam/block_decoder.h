// Fast entropy decoding of coefficient blocks.
//
// BlockDecoder decodes blocks from a BitRegister (bit_register.h): symbols
// whose window and value bits are in the register are decoded with shifts
// alone; any symbol that needs a byte beyond (a marker, the end of the
// data) goes through the plain bit reader of bit_reader.h from the same
// position. After every block the coefficients, the predictor, bitPos,
// decodeError and the status are exactly those of DecodeBlock.
//
// Typical use:
//   HuffLookup dc, ac;
//   dc.Build(table->dcCodeTable[0], 16, table->huffLut[0]);
//   ac.Build(table->acCodeTable[0], 256, table->huffLut[2]);
//   BlockDecoder decoder(table);
//   for (...) { if (decoder.Decode(block, dc, ac, &pred) != DecodeStatus::kOk) ...; }
//   decoder.Sync();   // bitPos and decodeError back into the table
#pragma once

#include <array>
#include <cstdint>

#include "cam/bit_register.h"
#include "cam/kernels.h"
#include "rastkit.h"

namespace rk {

// Symbol lookup for one code table, giving exactly the symbol and length
// that MatchSymbol gives for every 16-bit window.
//
// With a 65536-byte lookup buffer the symbol of a window is the buffer's
// entry and its length the table's length for that symbol. Build checks the
// buffer against the code search once, window by window; when they agree
// (a buffer built from the same table) the compact lookup below serves, as
// it gives the same answers, and otherwise the buffer is read per symbol.
// Without a buffer it uses a table indexed by
// the window's first kPrimaryBits bits: an entry holds the symbol directly
// when the first symbol (in symbol order) that can match such windows has a
// code of at most kPrimaryBits bits; otherwise it names a short list of
// candidates, in symbol order, which are compared against the whole window.
// Building costs one pass over the symbols plus the 1024 entries, and
// allocates nothing.
class HuffLookup {
 public:
  static constexpr unsigned kPrimaryBits = 10;
  static constexpr unsigned kMaxSymbols = 256;

  HuffLookup() = default;
  HuffLookup(const HuffCodeRec* codes, unsigned count, const uint8_t* lut) {
    Build(codes, count, lut);
  }
  // codes has count entries (16 for DC, 256 for AC; at most 256). lut may be
  // null. The code table is copied (later changes do not reach the lookup);
  // a lookup buffer is read in place and must outlive the lookup unchanged.
  // A null codes table gives a lookup that matches nothing. About 12 KB.
  void Build(const HuffCodeRec* codes, unsigned count, const uint8_t* lut);

  // Symbol and code length for a 16-bit window; false when nothing matches.
  [[nodiscard]] bool Match(uint32_t window, unsigned* symbol, unsigned* length) const;

  // Code and value bits decoded at once: for windows whose first
  // kPrimaryBits bits hold a whole short code and all of its value bits
  // (size = symbol & 15), `bits` is their count and `value` the extended
  // value; bits 0 otherwise (and always when a lookup buffer that differs
  // from the code search is in use). Where the code alone fits the first
  // kPrimaryBits bits (bits 0), codeLength is its length and `symbol` its
  // symbol, so that the value bits are read without a second lookup; 0
  // where the code is longer.
  struct Short {
    uint8_t symbol;
    uint8_t bits;
    int16_t value;
    uint8_t codeLength;
  };
  [[nodiscard]] const Short& ShortCode(uint32_t window) const {
    return short_[(window & 0xFFFFu) >> (16 - kPrimaryBits)];
  }

 private:
  struct Entry {
    uint16_t listStart;  // candidates in list_ when listCount > 0
    uint16_t listCount;
    uint8_t symbol;      // direct hit when length > 0
    uint8_t length;
  };
  // The compact lookup from the code table alone (lut_ null).
  void BuildSearch(const HuffCodeRec* codes, unsigned count);

  const uint8_t* lut_ = nullptr;
  unsigned count_ = 0;
  std::array<uint8_t, kMaxSymbols> lengths_{};  // 0 also for lengths above 16
  std::array<uint16_t, kMaxSymbols> codes_{};
  std::array<Entry, 1u << kPrimaryBits> primary_{};
  std::array<Short, 1u << kPrimaryBits> short_{};
  // Each symbol longer than kPrimaryBits sits in one list, and each list ends
  // with at most one short symbol.
  std::array<uint8_t, 2 * kMaxSymbols> list_{};
};

inline bool HuffLookup::Match(uint32_t window, unsigned* symbol, unsigned* length) const {
  window &= 0xFFFFu;
  if (lut_ != nullptr) {
    const unsigned s = lut_[window];
    if (s >= count_ || lengths_[s] == 0) return false;
    *symbol = s;
    *length = lengths_[s];
    return true;
  }
  const Entry& entry = primary_[window >> (16 - kPrimaryBits)];
  if (entry.listCount == 0) {
    if (entry.length == 0) return false;
    *symbol = entry.symbol;
    *length = entry.length;
    return true;
  }
  for (unsigned i = 0; i < entry.listCount; ++i) {
    const unsigned s = list_[entry.listStart + i];
    const unsigned len = lengths_[s];
    if (codes_[s] == window >> (16 - len)) {
      *symbol = s;
      *length = len;
      return true;
    }
  }
  return false;
}

class BlockDecoder {
 public:
  // Takes streamData, streamLength, bitPos, decodeError and the zigzag order
  // from the table. The table is written only by Sync().
  explicit BlockDecoder(ModuleTableRec* table);

  // Decodes one block as DecodeBlock does, with dc/ac built from the code
  // tables (and lookup buffers) that DecodeBlock would be given.
  DecodeStatus Decode(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                      int16_t* predictor);

  // Decode for a block that is all zero on entry, with the same result:
  // the zeros of runs, of the end of block and of a run past coefficient 63
  // are already there and are not written again.
  DecodeStatus DecodeCleared(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                             int16_t* predictor);

  // Writes bitPos and decodeError back into the table.
  void Sync() const;
  // Drops the register and re-reads streamData, streamLength, bitPos and
  // decodeError from the table (after the caller moved the stream, e.g.
  // past a restart marker, or cleared the error).
  void Reload();

  // The raw bit position DecodeBlock would have reached.
  [[nodiscard]] uint32_t bitPos() const { return register_.RawBitPos(); }
  [[nodiscard]] int16_t decodeError() const { return error_; }

 private:
  enum class Step : uint8_t { kOk, kError, kNoCode };
  using Reg = BitRegister::Reg;

  // One symbol and its value bits: symbol (AC: run/size) and value. The
  // register state lives in the caller's locals.
  template <bool kAc>
  [[gnu::always_inline]] inline Step Symbol(Reg& r, const HuffLookup& lookup, unsigned* symbol,
                                            int32_t* value);
  [[gnu::noinline]] Step SlowSymbol(const HuffLookup& lookup, bool ac, unsigned* symbol,
                                    int32_t* value);

  ModuleTableRec* table_;
  const uint8_t* data_ = nullptr;
  uint32_t length_ = 0;
  int16_t error_ = 0;
  BitRegister register_;
  std::array<uint8_t, 64> zigzag_{};
  bool zigzagIsPermutation_ = true;
};

}  // namespace rk
