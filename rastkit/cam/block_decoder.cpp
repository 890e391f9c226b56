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
    if (bits > kPrimaryBits) {
      short_[e] = Short{entry.symbol, 0, 0, entry.length};
      continue;
    }
    const uint32_t valueBits = (e >> (kPrimaryBits - bits)) & ((1u << size) - 1);
    short_[e] = Short{entry.symbol, static_cast<uint8_t>(bits),
                      static_cast<int16_t>(ExtendValue(valueBits, size)), entry.length};
  }
}

// ---------------------------------------------------------------------------
// BlockDecoder

BlockDecoder::BlockDecoder(ModuleTableRec* table) : table_(table) { Reload(); }

void BlockDecoder::Sync() const {
  table_->bitPos = register_.RawBitPos();
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
  register_.Reset(data_, length_, table_->bitPos);
}

template <bool kAc>
inline BlockDecoder::Step BlockDecoder::Symbol(Reg& r, const HuffLookup& lookup, unsigned* symbol,
                                               int32_t* value) {
  if (r.count < 32) register_.Fill(r);
  if (r.count >= 16) {
    // A DC category is the symbol itself; lookups built for DC tables have
    // symbols below 16, where that equals symbol & 15.
    const uint32_t window = static_cast<uint32_t>(r.bits >> 48);
    const HuffLookup::Short& hit = lookup.ShortCode(window);
    unsigned s = hit.symbol, len = hit.codeLength;
    if (hit.bits != 0 && (kAc || s < 16)) {
      *symbol = s;
      *value = hit.value;
      r.bits <<= hit.bits;
      r.count -= hit.bits;
      return Step::kOk;
    }
    // A miss takes the slow path as well: the plain reader steps over a
    // stuffing byte that the position rests on before it looks for a code,
    // and the position a miss leaves must be that one.
    if ((len != 0 || lookup.Match(window, &s, &len)) && (kAc || s < 16)) {
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
  }
  // Through locals of its own, so that the caller's symbol and value never
  // have their addresses taken and stay in machine registers.
  unsigned slowSymbol = 0;
  int32_t slowValue = 0;
  register_.Keep(r);
  const Step step = SlowSymbol(lookup, kAc, &slowSymbol, &slowValue);
  r = register_.Hold();
  *symbol = slowSymbol;
  *value = slowValue;
  return step;
}

BlockDecoder::Step BlockDecoder::SlowSymbol(const HuffLookup& lookup, bool ac, unsigned* symbol,
                                            int32_t* value) {
  BitReader reader(data_, length_, register_.RawBitPos(), error_);
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
  register_.Reset(data_, length_, reader.bitPos());
  return step;
}

DecodeStatus BlockDecoder::DecodeCleared(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                                         int16_t* predictor) {
  // A repeated position in a damaged zigzag order can have a run's zero
  // overwrite an earlier value: only the full decoder writes those zeros.
  if (!zigzagIsPermutation_) return Decode(block, dc, ac, predictor);
  Reg r = register_.Hold();
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
  register_.Keep(r);
  return status;
}

DecodeStatus BlockDecoder::Decode(int16_t* block, const HuffLookup& dc, const HuffLookup& ac,
                                  int16_t* predictor) {
  Reg r = register_.Hold();
  DecodeStatus status = DecodeStatus::kOk;
  unsigned symbol = 0;
  int32_t value = 0;
  Step step = Symbol<false>(r, dc, &symbol, &value);
  if (step == Step::kNoCode) {
    register_.Keep(r);
    return DecodeStatus::kNoCode;
  }
  if (step == Step::kError || error_ != 0) {
    register_.Keep(r);
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
  register_.Keep(r);
  return status;
}

}  // namespace rk
