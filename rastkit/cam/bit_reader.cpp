#include "cam/bit_reader.h"

namespace rk {

bool BitReader::CheckByte() {
  if (bitPos_ < 8) return true;
  const uint32_t current = bitPos_ / 8;
  // Past the end there is nothing to inspect: those bits read as zeros.
  if (current >= length_ || data_[current - 1] != 0xFF) return true;
  const uint8_t byte = data_[current];
  if (byte == 0x00) {
    bitPos_ += 8;
    return true;
  }
  if (byte >= 0xD0 && byte <= 0xD7) {
    error_ = RK_ERR_RESTART;
    return false;
  }
  if (byte == 0xD9) {
    error_ = RK_ERR_END_OF_DATA;
    return false;
  }
  return true;
}

bool BitReader::BeginSymbol() {
  if (length_ <= bitPos_ / 8) {
    error_ = RK_ERR_END_OF_DATA;
    return false;
  }
  return CheckByte();
}

bool BitReader::BeginBits() { return CheckByte(); }

uint32_t BitReader::Window() const {
  // At most 8 bits come from the current byte, so three data bytes after
  // the skipped stuffing always cover 16 bits.
  uint32_t i = bitPos_ / 8;
  const unsigned offset = bitPos_ % 8;
  uint32_t acc = ByteAt(i) & (0xFFu >> offset);
  unsigned have = 8 - offset;
  while (have < 16) {
    ++i;
    if (IsStuffing(i)) ++i;
    acc = (acc << 8) | ByteAt(i);
    have += 8;
  }
  return (acc >> (have - 16)) & 0xFFFFu;
}

void BitReader::Advance(unsigned n) {
  while (n > 0) {
    const unsigned left = 8 - bitPos_ % 8;
    if (n < left) {
      bitPos_ += n;
      return;
    }
    bitPos_ += left;
    n -= left;
    // Only a stuffing byte that bits are actually taken from beyond is
    // stepped over here; one right at the end stays for the next check.
    if (n > 0 && IsStuffing(bitPos_ / 8)) bitPos_ += 8;
  }
}

bool MatchSymbol(uint32_t window, const HuffCodeRec* codes, unsigned count, const uint8_t* lut,
                 unsigned* symbol, unsigned* length) {
  if (codes == nullptr) return false;
  if (lut != nullptr) {
    const unsigned s = lut[window & 0xFFFFu];
    if (s >= count) return false;
    const unsigned len = codes[s].length;
    if (len == 0 || len > 16) return false;
    *symbol = s;
    *length = len;
    return true;
  }
  for (unsigned s = 0; s < count; ++s) {
    const unsigned len = codes[s].length;
    if (len == 0 || len > 16) continue;
    if (codes[s].code == (window & 0xFFFFu) >> (16 - len)) {
      *symbol = s;
      *length = len;
      return true;
    }
  }
  return false;
}

SymbolResult ReadSymbol(BitReader& reader, const HuffCodeRec* codes, unsigned count,
                        const uint8_t* lut, unsigned* symbol) {
  if (!reader.BeginSymbol()) return SymbolResult::kError;
  unsigned length = 0;
  if (!MatchSymbol(reader.Window(), codes, count, lut, symbol, &length)) {
    return SymbolResult::kNoCode;
  }
  reader.Advance(length);
  return SymbolResult::kOk;
}

bool ReadValue(BitReader& reader, unsigned size, int32_t* value) {
  if (size == 0) {
    *value = 0;
    return true;
  }
  if (!reader.BeginBits()) return false;
  const uint32_t bits = reader.Window() >> (16 - size);
  reader.Advance(size);
  *value = ExtendValue(bits, size);
  return true;
}

}  // namespace rk
