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
// BitReader. ScanReader reads from a BitRegister (cam/bit_register.h),
// where none of the checks can fire, and falls back to PlainScanReader at
// the same position for anything else; both give the same values, bit
// positions and errors read for read.
//
// Both have the same interface, with the register state passed in: a scan
// loop takes it out once (Hold), hands it to every read and puts it back
// (Keep) before it asks for bitPos() or error(), so that the compiler can
// keep it in machine registers. PlainScanReader's state is empty.
#pragma once

#include <cstdint>

#include "cam/bit_reader.h"
#include "cam/bit_register.h"
#include "cam/block_decoder.h"
#include "rastkit.h"

namespace rk {

enum class ReadStep : uint8_t { kOk, kError, kNoCode };

class PlainScanReader {
 public:
  struct Reg {};
  // endError: RK_ERR_BAD_MARKER when a segment follows the data, else
  // RK_ERR_END_OF_DATA.
  PlainScanReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t endError = RK_ERR_END_OF_DATA)
      : data_(data), length_(data == nullptr ? 0 : length), reader_(data, length, bitPos, 0), endError_(endError) {}

  [[nodiscard]] Reg Hold() const { return {}; }
  void Keep(const Reg&) {}

  // One Huffman code (the checks before a symbol, then the lookup).
  ReadStep Symbol(Reg&, const HuffLookup& lookup, unsigned* symbol);
  // A code and its value bits, extended: size = symbol & 15 for AC tables,
  // the symbol itself for DC tables (categories 0..15).
  ReadStep SymbolValue(Reg&, const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value);
  // n raw bits (0..16), with the checks before value bits.
  ReadStep Bits(Reg&, unsigned n, uint32_t* bits);
  // One bit with the checks before a symbol (the end of the data counts):
  // the single bit per block of a DC refinement scan.
  ReadStep LeadBit(Reg&, uint32_t* bit);
  // A correction or sign bit of an AC refinement scan (checks of value bits).
  ReadStep Bit(Reg& r, uint32_t* bit) { return Bits(r, 1, bit); }
  // Up to 16 correction bits at once, first in the highest place, where
  // the register holds them all; false (nothing read) sends the caller to
  // Bit, one at a time, so that a read failing halfway leaves the bits
  // before it applied. The plain reader has no register.
  bool CorrectionBits(Reg&, unsigned, uint32_t*) { return false; }

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
  using Reg = BitRegister::Reg;
  ScanReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t endError = RK_ERR_END_OF_DATA);

  [[nodiscard]] Reg Hold() const { return register_.Hold(); }
  void Keep(const Reg& r) { register_.Keep(r); }

  ReadStep Symbol(Reg& r, const HuffLookup& lookup, unsigned* symbol);
  ReadStep SymbolValue(Reg& r, const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value);
  ReadStep Bits(Reg& r, unsigned n, uint32_t* bits);
  ReadStep LeadBit(Reg& r, uint32_t* bit);
  ReadStep Bit(Reg& r, uint32_t* bit);
  bool CorrectionBits(Reg& r, unsigned n, uint32_t* bits);

  [[nodiscard]] uint32_t bitPos() const { return register_.RawBitPos(); }
  [[nodiscard]] int16_t error() const { return error_; }

 private:
  // Runs one read of the plain reader at the register's position and takes
  // its outcome: whatever the register cannot serve.
  template <class Read>
  ReadStep Slow(Read&& read);
  [[gnu::noinline]] ReadStep SlowSymbol(const HuffLookup& lookup, unsigned* symbol);
  [[gnu::noinline]] ReadStep SlowSymbolValue(const HuffLookup& lookup, bool ac, unsigned* symbol,
                                             int32_t* value);
  [[gnu::noinline]] ReadStep SlowBits(unsigned n, uint32_t* bits);
  [[gnu::noinline]] ReadStep SlowLeadBit(uint32_t* bit);

  const uint8_t* data_;
  uint32_t length_;
  int16_t endError_;
  int16_t error_ = 0;
  BitRegister register_;
};

// The register paths, inline in the scan decoders' loops. The slow paths
// take the register through Keep/Hold and write through locals of their
// own, so that neither the register nor the caller's results ever have
// their addresses taken and all stay in machine registers.

[[gnu::always_inline]] inline ReadStep ScanReader::Symbol(Reg& r, const HuffLookup& lookup, unsigned* symbol) {
  if (r.count < 16) register_.Fill(r);
  if (r.count >= 16) {
    const uint32_t window = static_cast<uint32_t>(r.bits >> 48);
    const HuffLookup::Short& hit = lookup.ShortCode(window);
    unsigned s = hit.symbol, len = hit.codeLength;
    // A miss takes the slow path: the plain reader steps over a stuffing
    // byte that the position rests on before it looks for a code, and the
    // position a miss leaves must be that one.
    if (len != 0 || lookup.Match(window, &s, &len)) {
      r.bits <<= len;
      r.count -= len;
      *symbol = s;
      return ReadStep::kOk;
    }
  }
  unsigned slowSymbol = 0;
  register_.Keep(r);
  const ReadStep step = SlowSymbol(lookup, &slowSymbol);
  r = register_.Hold();
  *symbol = slowSymbol;
  return step;
}

[[gnu::always_inline]] inline ReadStep ScanReader::SymbolValue(Reg& r, const HuffLookup& lookup, bool ac, unsigned* symbol,
                                        int32_t* value) {
  if (r.count < 32) register_.Fill(r);
  if (r.count >= 16) {
    const uint32_t window = static_cast<uint32_t>(r.bits >> 48);
    const HuffLookup::Short& hit = lookup.ShortCode(window);
    // A DC category is the symbol itself; the short entries take the size
    // from the low four bits, which is the same for DC symbols below 16.
    if (hit.bits != 0 && (ac || hit.symbol < 16)) {
      *symbol = hit.symbol;
      *value = hit.value;
      r.bits <<= hit.bits;
      r.count -= hit.bits;
      return ReadStep::kOk;
    }
    unsigned s = hit.symbol, len = hit.codeLength;
    const bool found = len != 0 || lookup.Match(window, &s, &len);  // a miss goes the slow way too
    const unsigned size = ac ? (s & 15) : s;
    if (found && size <= 16 && len + size <= r.count) {
      const uint64_t after = r.bits << len;
      *value = size == 0 ? 0 : ExtendValue(static_cast<uint32_t>(after >> (64 - size)), size);
      *symbol = s;
      const unsigned used = len + size;
      r.bits <<= used;  // used <= 32
      r.count -= used;
      return ReadStep::kOk;
    }
  }
  unsigned slowSymbol = 0;
  int32_t slowValue = 0;
  register_.Keep(r);
  const ReadStep step = SlowSymbolValue(lookup, ac, &slowSymbol, &slowValue);
  r = register_.Hold();
  *symbol = slowSymbol;
  *value = slowValue;
  return step;
}

[[gnu::always_inline]] inline ReadStep ScanReader::Bits(Reg& r, unsigned n, uint32_t* bits) {
  if (n == 0) {
    *bits = 0;
    return ReadStep::kOk;
  }
  if (r.count < n) register_.Fill(r);
  if (r.count >= n) {
    *bits = BitRegister::Take(r, n);
    return ReadStep::kOk;
  }
  uint32_t slowBits = 0;
  register_.Keep(r);
  const ReadStep step = SlowBits(n, &slowBits);
  r = register_.Hold();
  *bits = slowBits;
  return step;
}

[[gnu::always_inline]] inline ReadStep ScanReader::LeadBit(Reg& r, uint32_t* bit) {
  if (r.count == 0) register_.Fill(r);
  if (r.count > 0) {
    *bit = BitRegister::Take(r, 1);
    return ReadStep::kOk;
  }
  uint32_t slowBit = 0;
  register_.Keep(r);
  const ReadStep step = SlowLeadBit(&slowBit);
  r = register_.Hold();
  *bit = slowBit;
  return step;
}

[[gnu::always_inline]] inline ReadStep ScanReader::Bit(Reg& r, uint32_t* bit) {
  if (r.count == 0) register_.Fill(r);
  if (r.count > 0) {
    *bit = BitRegister::Take(r, 1);
    return ReadStep::kOk;
  }
  uint32_t slowBit = 0;
  register_.Keep(r);
  const ReadStep step = SlowBits(1, &slowBit);
  r = register_.Hold();
  *bit = slowBit;
  return step;
}

// Within the register n single bits and n bits at once are the same bits:
// no check can fire there.
[[gnu::always_inline]] inline bool ScanReader::CorrectionBits(Reg& r, unsigned n, uint32_t* bits) {
  if (r.count < n) register_.Fill(r);
  if (r.count < n) return false;
  *bits = BitRegister::Take(r, n);
  return true;
}

}  // namespace rk
