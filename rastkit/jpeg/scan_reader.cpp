#include "scan_reader.h"

namespace rk {

// ---------------------------------------------------------------------------
// PlainScanReader

bool PlainScanReader::AtEnd() {
  if (length_ > reader_.bitPos() / 8) return false;
  marker_ = endError_;
  return true;
}

bool PlainScanReader::ForeignMarker() {
  const uint32_t pos = reader_.bitPos();
  if (pos < 8) return false;
  const uint32_t current = pos / 8;
  if (current >= length_ || data_[current - 1] != 0xFF) return false;
  const uint8_t b = data_[current];
  if (b == 0x00 || (b >= 0xD0 && b <= 0xD7) || b == 0xD9) return false;  // BitReader's cases
  marker_ = RK_ERR_BAD_MARKER;
  return true;
}

ReadStep PlainScanReader::Symbol(Reg&, const HuffLookup& lookup, unsigned* symbol) {
  if (!BeginSymbol()) return ReadStep::kError;
  unsigned s = 0, len = 0;
  if (!lookup.Match(reader_.Window(), &s, &len)) return ReadStep::kNoCode;
  reader_.Advance(len);
  *symbol = s;
  return ReadStep::kOk;
}

ReadStep PlainScanReader::SymbolValue(Reg& r, const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value) {
  const ReadStep step = Symbol(r, lookup, symbol);
  if (step != ReadStep::kOk) return step;
  const unsigned size = ac ? (*symbol & 15) : *symbol;
  if (size > 16) return ReadStep::kNoCode;
  if (size == 0) {
    *value = 0;
    return ReadStep::kOk;
  }
  if (!BeginBits()) return ReadStep::kError;
  const uint32_t raw = reader_.Window() >> (16 - size);
  reader_.Advance(size);
  *value = ExtendValue(raw, size);
  return ReadStep::kOk;
}

ReadStep PlainScanReader::Bits(Reg&, unsigned n, uint32_t* bits) {
  if (n == 0) {
    *bits = 0;
    return ReadStep::kOk;
  }
  if (!BeginBits()) return ReadStep::kError;
  *bits = reader_.Window() >> (16 - n);
  reader_.Advance(n);
  return ReadStep::kOk;
}

ReadStep PlainScanReader::LeadBit(Reg&, uint32_t* bit) {
  if (!BeginSymbol()) return ReadStep::kError;
  *bit = reader_.Window() >> 15;
  reader_.Advance(1);
  return ReadStep::kOk;
}

// ---------------------------------------------------------------------------
// ScanReader

ScanReader::ScanReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t endError)
    : data_(data), length_(data == nullptr ? 0 : length), endError_(endError) {
  register_.Reset(data_, length_, bitPos);
}

template <class Read>
ReadStep ScanReader::Slow(Read&& read) {
  if (error_ != 0) return ReadStep::kError;
  PlainScanReader plain(data_, length_, register_.RawBitPos(), endError_);
  PlainScanReader::Reg none;
  const ReadStep step = read(plain, none);
  error_ = plain.error();
  // After an error nothing is loaded: every later read fails at once.
  register_.Reset(data_, length_, plain.bitPos(), error_ == 0);
  return step;
}

ReadStep ScanReader::SlowSymbol(const HuffLookup& lookup, unsigned* symbol) {
  return Slow([&](PlainScanReader& p, PlainScanReader::Reg& n) { return p.Symbol(n, lookup, symbol); });
}

ReadStep ScanReader::SlowSymbolValue(const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value) {
  return Slow([&](PlainScanReader& p, PlainScanReader::Reg& n) { return p.SymbolValue(n, lookup, ac, symbol, value); });
}

ReadStep ScanReader::SlowBits(unsigned n, uint32_t* bits) {
  return Slow([&](PlainScanReader& p, PlainScanReader::Reg& none) { return p.Bits(none, n, bits); });
}

ReadStep ScanReader::SlowLeadBit(uint32_t* bit) {
  return Slow([&](PlainScanReader& p, PlainScanReader::Reg& n) { return p.LeadBit(n, bit); });
}

}  // namespace rk
