#include "scan_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

ReadStep PlainScanReader::Symbol(const HuffLookup& lookup, unsigned* symbol) {
  if (!BeginSymbol()) return ReadStep::kError;
  unsigned s = 0, len = 0;
  if (!lookup.Match(reader_.Window(), &s, &len)) return ReadStep::kNoCode;
  reader_.Advance(len);
  *symbol = s;
  return ReadStep::kOk;
}

ReadStep PlainScanReader::SymbolValue(const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value) {
  const ReadStep step = Symbol(lookup, symbol);
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

ReadStep PlainScanReader::Bits(unsigned n, uint32_t* bits) {
  if (n == 0) {
    *bits = 0;
    return ReadStep::kOk;
  }
  if (!BeginBits()) return ReadStep::kError;
  *bits = reader_.Window() >> (16 - n);
  reader_.Advance(n);
  return ReadStep::kOk;
}

ReadStep PlainScanReader::LeadBit(uint32_t* bit) {
  if (!BeginSymbol()) return ReadStep::kError;
  *bit = reader_.Window() >> 15;
  reader_.Advance(1);
  return ReadStep::kOk;
}

// ---------------------------------------------------------------------------
// ScanReader

ScanReader::ScanReader(const uint8_t* data, uint32_t length, uint32_t bitPos, int16_t endError)
    : data_(data), length_(data == nullptr ? 0 : length), bitPos_(bitPos), endError_(endError) {
  Restart();
}

void ScanReader::Restart() {
  bits_ = 0;
  count_ = 0;
  const uint32_t current = bitPos_ / 8;
  const bool plain = current < length_ && data_[current] != 0xFF && (current == 0 || data_[current - 1] != 0xFF);
  if (!plain || error_ != 0) {
    next_ = length_;  // nothing enters the register until the next Restart
    return;
  }
  const unsigned offset = bitPos_ % 8;
  bits_ = (uint64_t{data_[current]} << 56) << offset;
  count_ = 8 - offset;
  next_ = current + 1;
}

void ScanReader::Refill() {
  // As many whole bytes as fit, up to the first 0xFF or the end of the
  // data; eight at a time where eight are there.
  while (count_ <= 56 && next_ < length_) {
    if (length_ - next_ >= 8) {
      uint64_t word;
      std::memcpy(&word, data_ + next_, 8);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
      // High bit set in each byte of word that is 0xFF (a zero byte of ~word).
      constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
      const uint64_t x = ~word;
      const uint64_t ff = ~(((x & kLow7) + kLow7) | x | kLow7);
      const unsigned plain = ff == 0 ? 8 : static_cast<unsigned>(std::countl_zero(ff)) / 8;
      const unsigned room = (64 - count_) / 8;
      const unsigned take = std::min(room, plain);
      if (take > 0) {
        const uint64_t chunk = take == 8 ? word : word >> (64 - 8 * take);
        bits_ |= chunk << (64 - count_ - 8 * take);
        count_ += 8 * take;
        next_ += take;
      }
      if (take < room) next_ = length_;  // a 0xFF comes next: plain bytes end here
      return;
    }
    const uint8_t byte = data_[next_];
    if (byte == 0xFF) {
      next_ = length_;
      return;
    }
    bits_ |= uint64_t{byte} << (56 - count_);
    count_ += 8;
    ++next_;
  }
}

template <class Read>
ReadStep ScanReader::Slow(Read&& read) {
  if (error_ != 0) return ReadStep::kError;
  PlainScanReader plain(data_, length_, bitPos_, endError_);
  const ReadStep step = read(plain);
  bitPos_ = plain.bitPos();
  error_ = plain.error();
  Restart();
  return step;
}

ReadStep ScanReader::Symbol(const HuffLookup& lookup, unsigned* symbol) {
  if (count_ < 16) Refill();
  if (count_ >= 16) {
    unsigned s = 0, len = 0;
    // Inside plain bytes no check can fire: a miss is a miss of the plain
    // reader, with nothing consumed.
    if (!lookup.Match(static_cast<uint32_t>(bits_ >> 48), &s, &len)) return ReadStep::kNoCode;
    bits_ <<= len;
    count_ -= len;
    bitPos_ += len;
    *symbol = s;
    return ReadStep::kOk;
  }
  return Slow([&](PlainScanReader& r) { return r.Symbol(lookup, symbol); });
}

ReadStep ScanReader::SymbolValue(const HuffLookup& lookup, bool ac, unsigned* symbol, int32_t* value) {
  if (count_ < 32) Refill();
  if (count_ >= 16) {
    const uint32_t window = static_cast<uint32_t>(bits_ >> 48);
    const HuffLookup::Short& hit = lookup.ShortCode(window);
    // A DC category is the symbol itself; the short entries take the size
    // from the low four bits, which is the same for DC symbols below 16.
    if (hit.bits != 0 && (ac || hit.symbol < 16)) {
      *symbol = hit.symbol;
      *value = hit.value;
      bits_ <<= hit.bits;
      count_ -= hit.bits;
      bitPos_ += hit.bits;
      return ReadStep::kOk;
    }
    unsigned s = 0, len = 0;
    if (!lookup.Match(window, &s, &len)) return ReadStep::kNoCode;
    const unsigned size = ac ? (s & 15) : s;
    if (size <= 16 && len + size <= count_) {
      const uint64_t after = bits_ << len;
      *value = size == 0 ? 0 : ExtendValue(static_cast<uint32_t>(after >> (64 - size)), size);
      *symbol = s;
      const unsigned used = len + size;
      bits_ <<= used;  // used <= 32
      count_ -= used;
      bitPos_ += used;
      return ReadStep::kOk;
    }
  }
  return Slow([&](PlainScanReader& r) { return r.SymbolValue(lookup, ac, symbol, value); });
}

ReadStep ScanReader::Bits(unsigned n, uint32_t* bits) {
  if (n == 0) {
    *bits = 0;
    return ReadStep::kOk;
  }
  if (count_ < n) Refill();
  if (count_ >= n) {
    *bits = static_cast<uint32_t>(bits_ >> (64 - n));
    bits_ <<= n;
    count_ -= n;
    bitPos_ += n;
    return ReadStep::kOk;
  }
  return Slow([&](PlainScanReader& r) { return r.Bits(n, bits); });
}

ReadStep ScanReader::LeadBit(uint32_t* bit) {
  if (count_ == 0) Refill();
  if (count_ > 0) {
    *bit = static_cast<uint32_t>(bits_ >> 63);
    bits_ <<= 1;
    --count_;
    ++bitPos_;
    return ReadStep::kOk;
  }
  return Slow([&](PlainScanReader& r) { return r.LeadBit(bit); });
}

}  // namespace rk
