#include "cam/block_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "cam/bit_reader.h"

namespace rk {

// ---------------------------------------------------------------------------
// HuffLookup

void HuffLookup::Build(const HuffCodeRec* codes, unsigned count, const uint8_t* lut) {
  BuildSearch(codes, count);
  if (count_ == 0 || lut == nullptr) return;

  // The buffer decides every window: symbol lut[w], with the table's length
  // for it whatever its code. Where it agrees with the code search on all
  // 65536 windows (as a buffer built from this table does), the compact
  // lookup gives the same symbols and lengths and stays in use, short codes
  // included; otherwise the buffer is read per symbol.
  std::array<uint8_t, kMaxSymbols> lutLengths{};
  for (unsigned s = 0; s < count_; ++s) {
    const unsigned len = codes[s].length;
    lutLengths[s] = static_cast<uint8_t>(len > 16 ? 0 : len);
  }
  auto agrees = [&]() {
    constexpr unsigned kSpan = 1u << (16 - kPrimaryBits);  // windows per entry
    for (unsigned e = 0; e < (1u << kPrimaryBits); ++e) {
      const Entry& entry = primary_[e];
      const uint8_t* slice = lut + e * kSpan;
      if (entry.listCount == 0 && entry.length != 0) {
        // Every window of the entry is the entry's symbol.
        if (lutLengths[entry.symbol] != entry.length) return false;
        for (unsigned i = 0; i < kSpan; ++i) {
          if (slice[i] != entry.symbol) return false;
        }
        continue;
      }
      for (unsigned i = 0; i < kSpan; ++i) {
        const unsigned s = slice[i];
        const bool bufferHit = s < count_ && lutLengths[s] != 0;
        unsigned symbol = 0, length = 0;
        const bool searchHit = Match(e * kSpan + i, &symbol, &length);
        if (bufferHit != searchHit || (bufferHit && (s != symbol || lutLengths[s] != length))) return false;
      }
    }
    return true;
  };
  if (agrees()) return;
  lut_ = lut;
  lengths_ = lutLengths;
  short_.fill(Short{});
}

void HuffLookup::BuildSearch(const HuffCodeRec* codes, unsigned count) {
  count_ = codes == nullptr ? 0 : std::min(count, kMaxSymbols);
  lut_ = nullptr;
  lengths_.fill(0);
  codes_.fill(0);
  primary_.fill(Entry{});
  short_.fill(Short{});
  for (unsigned s = 0; s < count_; ++s) {
    const unsigned len = codes[s].length;
    if (len == 0 || len > 16) continue;
    // Searching, a code with bits above its length never equals a window
    // prefix.
    if ((codes[s].code >> len) != 0) continue;
    lengths_[s] = static_cast<uint8_t>(len);
    codes_[s] = codes[s].code;
  }
  if (count_ == 0) return;

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
  table_->bitPos = RawBitPos(reg_);
  table_->decodeError = error_;
}

void BlockDecoder::Reload() {
  data_ = table_->streamData;
  length_ = data_ == nullptr ? 0 : table_->streamLength;
  error_ = table_->decodeError;
  uint64_t seen = 0;
  for (unsigned k = 0; k < 64; ++k) {
    zigzag_[k] = static_cast<uint8_t>(table_->zigzag[k] & 63);
    seen |= uint64_t{1} << zigzag_[k];
  }
  zigzagIsPermutation_ = seen == ~uint64_t{0};
  Restart(table_->bitPos);
}

void BlockDecoder::Restart(uint32_t bitPos) {
  stuffCount_ = 0;
  reg_ = Reg{};
  const uint32_t current = bitPos / 8;
  // The register starts on a byte that is data for certain: inside the
  // data, not 0xFF, not after 0xFF. Anything else waits for the plain
  // reader (limit = next: nothing is loaded).
  const bool plain = current < length_ && data_[current] != 0xFF &&
                     (current == 0 || data_[current - 1] != 0xFF);
  const unsigned offset = bitPos % 8;
  if (!plain) {
    // Held as "offset bits of byte `current` consumed", loading nothing.
    reg_.next = current;
    reg_.limit = current;
    reg_.count = 0;
    startOffset_ = offset;
    return;
  }
  startOffset_ = 0;
  reg_.bits = (uint64_t{data_[current]} << 56) << offset;
  reg_.count = 8 - offset;
  reg_.next = current + 1;
  reg_.limit = length_;
}

uint32_t BlockDecoder::RawBitPos(const Reg& r) const {
  // Walk back from the next byte to load over the bits still held. A
  // stuffing byte is passed once a bit after it has been taken; while all
  // the bits after it are still held, the position is at or before it
  // (resting on the 00 when exactly those bits remain).
  // Worked example, bytes 12 FF 00 A5 loaded from bit 4: next = 4, 20 bits
  // held, stuffing at 2. The 8 bits after it (A5) are held, so the walk
  // goes to 8 * 2 = 16 with 12 bits left: 16 - 12 = 4. After 12 bits are
  // taken, 8 remain: 16 - 0 = 16, on the 00. After 16 bits, 4 remain,
  // fewer than the 8 after the stuffing: 32 - 4 = 28.
  uint32_t raw = 8 * r.next;
  uint32_t remaining = r.count;
  for (unsigned i = 0; i < stuffCount_; ++i) {
    const uint32_t z = stuff_[(stuffHead_ - 1 - i) % kStuffSlots];
    const uint32_t after = raw - 8 * (z + 1);
    if (remaining < after) break;
    remaining -= after;
    raw = 8 * z;
  }
  return raw - remaining + startOffset_;
}

namespace {
// High bit set in exactly the bytes of x that are zero.
inline uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t y = (x & kLow7) + kLow7;
  return ~(y | x | kLow7);
}

inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}
}  // namespace

inline void BlockDecoder::Fill(Reg& r) {
  // Usual case: eight bytes ahead, none of them 0xFF. The whole word is
  // ORed in at the register's end; only its whole bytes that fit are
  // counted, and the bits past them are the stream's next bytes, which a
  // later fill ORs in again at the same place (the word holds no 0xFF, so
  // no stuffing shifts them).
  if (r.limit - r.next >= 8) {
    const uint64_t word = LoadBigEndian64(data_ + r.next);
    if (ZeroBytes(~word) == 0) {
      r.bits |= word >> r.count;
      const uint32_t take = (63 - r.count) >> 3;
      r.next += take;
      r.count += 8 * take;
      return;
    }
  }
  reg_ = r;
  FillSlow();
  r = reg_;
}

void BlockDecoder::FillSlow() {
  Reg& r = reg_;
  while (r.count <= 55 && r.next < r.limit) {
    const uint8_t byte = data_[r.next];
    if (byte == 0xFF) {
      // Data only with its stuffing 00 (inside the data) behind it.
      if (r.next + 1 >= length_ || data_[r.next + 1] != 0x00) {
        r.limit = r.next;
        return;
      }
      stuff_[stuffHead_++ % kStuffSlots] = r.next + 1;
      if (stuffCount_ < kStuffSlots) ++stuffCount_;
      r.bits |= uint64_t{0xFF} << (56 - r.count);
      r.count += 8;
      r.next += 2;
      continue;
    }
    r.bits |= uint64_t{byte} << (56 - r.count);
    r.count += 8;
    ++r.next;
  }
}

template <bool kAc>
inline BlockDecoder::Step BlockDecoder::Symbol(Reg& r, const HuffLookup& lookup, unsigned* symbol,
                                               int32_t* value) {
  if (r.count < 32) Fill(r);
  if (r.count >= 16) {
    // A DC category is the symbol itself; lookups built for DC tables have
    // symbols below 16, where that equals symbol & 15.
    const uint32_t window = static_cast<uint32_t>(r.bits >> 48);
    const HuffLookup::Short& hit = lookup.ShortCode(window);
    if (hit.bits != 0 && (kAc || hit.symbol < 16)) {
      *symbol = hit.symbol;
      *value = hit.value;
      r.bits <<= hit.bits;
      r.count -= hit.bits;
      return Step::kOk;
    }
    unsigned s = 0, len = 0;
    // The window lies in data bytes, where the byte checks cannot fire:
    // a miss here is a miss of the plain decoder with nothing consumed.
    if (!lookup.Match(window, &s, &len) || (!kAc && s >= 16)) return Step::kNoCode;
    const unsigned size = kAc ? (s & 15) : s;
    const unsigned used = len + size;
    if (used <= r.count) {
      const uint64_t after = r.bits << len;
      *value = size == 0 ? 0 : ExtendValue(static_cast<uint32_t>(after >> (64 - size)), size);
      *symbol = s;
      r.bits <<= used;  // used <= 32
      r.count -= used;
      return Step::kOk;
    }
  }
  reg_ = r;
  const Step step = SlowSymbol(lookup, kAc, symbol, value);
  r = reg_;
  return step;
}

BlockDecoder::Step BlockDecoder::SlowSymbol(const HuffLookup& lookup, bool ac, unsigned* symbol,
                                            int32_t* value) {
  BitReader reader(data_, length_, RawBitPos(reg_), error_);
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
  error_ = reader.error();
  Restart(reader.bitPos());
  return step;
}

DecodeStatus BlockDecoder::DecodeCleared(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                                         int16_t* predictor) {
  // A repeated position in a damaged zigzag order can have a run's zero
  // overwrite an earlier value: only the full decoder writes those zeros.
  if (!zigzagIsPermutation_) return Decode(block, dc, ac, predictor);
  Reg r = reg_;
  DecodeStatus status = DecodeStatus::kOk;
  unsigned symbol = 0;
  int32_t value = 0;
  // A decodeError already set on entry stops the block after the DC
  // symbol, as one set by it does.
  Step step = Symbol<false>(r, dc, &symbol, &value);
  if (step == Step::kNoCode) {
    status = DecodeStatus::kNoCode;
  } else if (step == Step::kError || error_ != 0) {
    status = DecodeStatus::kStreamError;
  } else {
    *predictor = static_cast<int16_t>(*predictor + value);
    block[zigzag_[0]] = *predictor;
    // Every position is zero already and each is visited once, so runs, the
    // end of block and a run past 63 leave nothing to write.
    for (unsigned k = 1; k < 64;) {
      step = Symbol<true>(r, ac, &symbol, &value);
      if (step != Step::kOk) {
        status = step == Step::kNoCode ? DecodeStatus::kNoCode : DecodeStatus::kStreamError;
        break;
      }
      if (symbol == 0) break;  // end of block
      k += symbol >> 4;
      if (k > 63) {
        status = DecodeStatus::kBadRun;
        break;
      }
      block[zigzag_[k++]] = static_cast<int16_t>(value);
    }
  }
  reg_ = r;
  return status;
}

DecodeStatus BlockDecoder::Decode(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                                  int16_t* predictor) {
  Reg r = reg_;
  DecodeStatus status = DecodeStatus::kOk;
  unsigned symbol = 0;
  int32_t value = 0;
  Step step = Symbol<false>(r, dc, &symbol, &value);
  if (step == Step::kNoCode) {
    reg_ = r;
    return DecodeStatus::kNoCode;
  }
  if (step == Step::kError || error_ != 0) {
    reg_ = r;
    return DecodeStatus::kStreamError;
  }
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
    step = Symbol<true>(r, ac, &symbol, &value);
    if (step != Step::kOk) {
      status = step == Step::kNoCode ? DecodeStatus::kNoCode : DecodeStatus::kStreamError;
      break;
    }
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
      break;
    }
    if (k + run > 63) {
      for (; k < 64; ++k) block[zigzag_[k]] = 0;
      status = DecodeStatus::kBadRun;
      break;
    }
    for (unsigned i = 0; i < run; ++i) block[zigzag_[k++]] = 0;
    stored[storedCount++] = zigzag_[k];
    block[zigzag_[k++]] = static_cast<int16_t>(value);
  }
  reg_ = r;
  return status;
}

}  // namespace rk
