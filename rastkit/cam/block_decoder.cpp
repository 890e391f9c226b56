#include "cam/block_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "cam/bit_reader.h"

namespace rk {

// ---------------------------------------------------------------------------
// HuffLookup

void HuffLookup::Build(const HuffCodeRec* codes, unsigned count, const uint8_t* lut) {
  count_ = codes == nullptr ? 0 : std::min(count, kMaxSymbols);
  lut_ = count_ == 0 ? nullptr : lut;
  lengths_.fill(0);
  codes_.fill(0);
  primary_.fill(Entry{});
  short_.fill(Short{});
  for (unsigned s = 0; s < count_; ++s) {
    const unsigned len = codes[s].length;
    if (len == 0 || len > 16) continue;
    // Searching, a code with bits above its length never equals a window
    // prefix; a lookup buffer's symbol takes the table's length regardless.
    if (lut_ == nullptr && (codes[s].code >> len) != 0) continue;
    lengths_[s] = static_cast<uint8_t>(len);
    codes_[s] = codes[s].code;
  }
  if (count_ == 0 || lut_ != nullptr) return;

  // firstShort[e]: the first symbol (in symbol order) with a code of at most
  // kPrimaryBits bits that is a prefix of e. Painting from the last symbol
  // backwards leaves the earliest one in each entry.
  constexpr unsigned kSize = 1u << kPrimaryBits;
  constexpr uint16_t kNone = 0xFFFF;
  std::array<uint16_t, kSize> firstShort;
  firstShort.fill(kNone);
  for (unsigned s = count_; s-- > 0;) {
    const unsigned len = lengths_[s];
    if (len == 0 || len > kPrimaryBits) continue;
    const unsigned base = codes_[s] << (kPrimaryBits - len);
    std::fill_n(firstShort.begin() + base, 1u << (kPrimaryBits - len), static_cast<uint16_t>(s));
  }

  // A longer symbol can decide windows of its prefix only when it comes
  // before that prefix's first short symbol; such symbols form the
  // prefix's candidate list, closed by the short symbol.
  auto isCandidate = [&](unsigned s, unsigned* prefix) {
    const unsigned len = lengths_[s];
    if (len <= kPrimaryBits) return false;
    *prefix = codes_[s] >> (len - kPrimaryBits);
    return s < firstShort[*prefix];
  };
  for (unsigned s = 0; s < count_; ++s) {
    unsigned e = 0;
    if (isCandidate(s, &e)) ++primary_[e].listCount;
  }
  unsigned next = 0;
  for (unsigned e = 0; e < kSize; ++e) {
    Entry& entry = primary_[e];
    if (entry.listCount > 0) {
      entry.listStart = static_cast<uint16_t>(next);
      next += entry.listCount + (firstShort[e] != kNone ? 1 : 0);
      entry.listCount = 0;  // counts again while filling
    } else if (firstShort[e] != kNone) {
      entry.symbol = static_cast<uint8_t>(firstShort[e]);
      entry.length = lengths_[firstShort[e]];
    }
  }
  for (unsigned s = 0; s < count_; ++s) {
    unsigned e = 0;
    if (!isCandidate(s, &e)) continue;
    Entry& entry = primary_[e];
    list_[entry.listStart + entry.listCount++] = static_cast<uint8_t>(s);
  }
  for (unsigned e = 0; e < kSize; ++e) {
    Entry& entry = primary_[e];
    if (entry.listCount > 0 && firstShort[e] != kNone) {
      list_[entry.listStart + entry.listCount++] = static_cast<uint8_t>(firstShort[e]);
    }
  }
  // Worked example, AC luminance: symbol 0x01 has code 00 and one value
  // bit, so every e = 001x xxxx xx gives {0x01, 3 bits, value +1} and
  // 000x xxxx xx gives value -1.
  for (unsigned e = 0; e < kSize; ++e) {
    const Entry& entry = primary_[e];
    if (entry.listCount > 0 || entry.length == 0) continue;
    const unsigned size = entry.symbol & 15u;
    const unsigned bits = entry.length + size;
    if (bits > kPrimaryBits) continue;
    const uint32_t valueBits = (e >> (kPrimaryBits - bits)) & ((1u << size) - 1);
    short_[e] = Short{entry.symbol, static_cast<uint8_t>(bits),
                      static_cast<int16_t>(ExtendValue(valueBits, size))};
  }
}

// ---------------------------------------------------------------------------
// BlockDecoder

BlockDecoder::BlockDecoder(ModuleTableRec* table) : table_(table) { Reload(); }

void BlockDecoder::Sync() const {
  table_->bitPos = bitPos_;
  table_->decodeError = error_;
}

void BlockDecoder::Reload() {
  data_ = table_->streamData;
  length_ = data_ == nullptr ? 0 : table_->streamLength;
  bitPos_ = table_->bitPos;
  error_ = table_->decodeError;
  uint64_t seen = 0;
  for (unsigned k = 0; k < 64; ++k) {
    zigzag_[k] = static_cast<uint8_t>(table_->zigzag[k] & 63);
    seen |= uint64_t{1} << zigzag_[k];
  }
  zigzagIsPermutation_ = seen == ~uint64_t{0};
  Restart();
}

void BlockDecoder::Restart() {
  bits_ = 0;
  count_ = 0;
  const uint32_t current = bitPos_ / 8;
  const bool plain = current < length_ && data_[current] != 0xFF &&
                     (current == 0 || data_[current - 1] != 0xFF);
  if (!plain) {
    next_ = length_;  // nothing enters the register until the next Restart
    return;
  }
  const unsigned offset = bitPos_ % 8;
  bits_ = (uint64_t{data_[current]} << 56) << offset;
  count_ = 8 - offset;
  next_ = current + 1;
}

namespace {
// High bit set in exactly the bytes of x that are zero.
inline uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t y = (x & kLow7) + kLow7;
  return ~(y | x | kLow7);
}
}  // namespace

void BlockDecoder::Refill() {
  // Eight bytes at a time when they are all there: the register takes as
  // many whole bytes as fit, up to the first 0xFF.
  while (count_ <= 56 && next_ < length_) {
    if (length_ - next_ >= 8) {
      uint64_t word;
      std::memcpy(&word, data_ + next_, 8);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
      const unsigned room = (64 - count_) / 8;
      const uint64_t ff = ZeroBytes(~word);
      const unsigned plain = ff == 0 ? 8 : static_cast<unsigned>(std::countl_zero(ff)) / 8;
      const unsigned take = std::min(room, plain);
      if (take > 0) {
        const uint64_t chunk = take == 8 ? word : word >> (64 - 8 * take);
        bits_ |= chunk << (64 - count_ - 8 * take);
        count_ += 8 * take;
        next_ += take;
      }
      if (take < room) {
        next_ = length_;  // a 0xFF comes next: the plain bytes end here
      }
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

inline BlockDecoder::Step BlockDecoder::Symbol(const HuffLookup& lookup, bool ac, unsigned* symbol,
                                        int32_t* value) {
  if (count_ < 32) Refill();
  if (count_ >= 16) {
    // A DC category is the symbol itself; lookups built for DC tables have
    // symbols below 16, where that equals symbol & 15.
    const HuffLookup::Short& hit = lookup.ShortCode(static_cast<uint32_t>(bits_ >> 48));
    if (hit.bits != 0 && (ac || hit.symbol < 16)) {
      *symbol = hit.symbol;
      *value = hit.value;
      bits_ <<= hit.bits;
      count_ -= hit.bits;
      bitPos_ += hit.bits;
      return Step::kOk;
    }
    unsigned s = 0, len = 0;
    // The window lies in plain bytes, where the byte checks cannot fire:
    // a miss here is a miss of the plain decoder with nothing consumed.
    if (!lookup.Match(static_cast<uint32_t>(bits_ >> 48), &s, &len) || (!ac && s >= 16)) {
      return Step::kNoCode;
    }
    const unsigned size = ac ? (s & 15) : s;
    const unsigned used = len + size;
    if (used <= count_) {
      const uint64_t after = bits_ << len;
      *value = size == 0 ? 0 : ExtendValue(static_cast<uint32_t>(after >> (64 - size)), size);
      *symbol = s;
      bits_ <<= used;  // used <= 32
      count_ -= used;
      bitPos_ += used;
      return Step::kOk;
    }
  }
  return SlowSymbol(lookup, ac, symbol, value);
}

BlockDecoder::Step BlockDecoder::SlowSymbol(const HuffLookup& lookup, bool ac, unsigned* symbol,
                                            int32_t* value) {
  BitReader reader(data_, length_, bitPos_, error_);
  Step step = Step::kOk;
  unsigned s = 0, len = 0;
  if (!reader.BeginSymbol()) {
    step = Step::kError;
  } else if (!lookup.Match(reader.Window(), &s, &len) || (!ac && s >= 16)) {
    step = Step::kNoCode;
  } else {
    reader.Advance(len);
    *symbol = s;
    if (!ReadValue(reader, ac ? (s & 15) : s, value)) step = Step::kError;
  }
  bitPos_ = reader.bitPos();
  error_ = reader.error();
  Restart();
  return step;
}

DecodeStatus BlockDecoder::Decode(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                                  int16_t* predictor) {
  unsigned symbol = 0;
  int32_t value = 0;
  Step step = Symbol(dc, false, &symbol, &value);
  if (step == Step::kNoCode) return DecodeStatus::kNoCode;
  if (error_ != 0) return DecodeStatus::kStreamError;
  *predictor = static_cast<int16_t>(*predictor + value);
  block[zigzag_[0]] = *predictor;

  // Natural positions of the values stored so far (zeros of runs aside).
  // With the zigzag order a permutation, everything else is zero after the
  // end of block, so a short list lets one wide clear replace the scattered
  // zero stores of the tail.
  std::array<uint8_t, 64> stored;
  stored[0] = zigzag_[0];
  unsigned storedCount = 1;
  unsigned k = 1;
  while (k < 64) {
    step = Symbol(ac, true, &symbol, &value);
    if (step == Step::kNoCode) return DecodeStatus::kNoCode;
    if (error_ != 0) return DecodeStatus::kStreamError;
    const unsigned run = symbol >> 4;
    if (symbol == 0) {  // end of block
      if (zigzagIsPermutation_ && 64 - k > 2 * storedCount) {
        std::array<int16_t, 64> values;
        for (unsigned i = 0; i < storedCount; ++i) values[i] = block[stored[i]];
        std::memset(block, 0, 64 * sizeof(int16_t));
        for (unsigned i = 0; i < storedCount; ++i) block[stored[i]] = values[i];
      } else {
        for (; k < 64; ++k) block[zigzag_[k]] = 0;
      }
      return DecodeStatus::kOk;
    }
    if (k + run > 63) {
      for (; k < 64; ++k) block[zigzag_[k]] = 0;
      return DecodeStatus::kBadRun;
    }
    for (unsigned i = 0; i < run; ++i) block[zigzag_[k++]] = 0;
    stored[storedCount++] = zigzag_[k];
    block[zigzag_[k++]] = static_cast<int16_t>(value);
  }
  return DecodeStatus::kOk;
}

}  // namespace rk
