// The fast entropy path against the plain one: HuffLookup against
// MatchSymbol for every window, and BlockDecoder against DecodeBlock block
// by block over valid, damaged, truncated and random streams.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cam/bit_reader.h"
#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "huff_writer.h"
#include "test_images.h"

namespace {

using rk::BlockDecoder;
using rk::DecodeStatus;
using rk::HuffLookup;
using rktest::ModuleTable;
using Block = std::array<int16_t, 64>;
using Codes = std::vector<HuffCodeRec>;

const char* Name(DecodeStatus s) {
  switch (s) {
    case DecodeStatus::kOk: return "ok";
    case DecodeStatus::kStreamError: return "stream error";
    case DecodeStatus::kNoCode: return "no code";
    case DecodeStatus::kBadRun: return "bad run";
  }
  return "?";
}

// ---------------------------------------------------------------------------
// Code tables

Codes FromTable(const HuffCodeRec* codes, unsigned count) { return Codes(codes, codes + count); }

// Random codes with lengths across 1..16 (a few longer, a few with code
// bits above their length): overlapping prefixes make symbol order matter.
Codes OddTable(unsigned count, std::mt19937& rng) {
  Codes codes(count);
  for (auto& c : codes) {
    const unsigned pick = rng() % 10;
    if (pick < 2) continue;  // no code
    unsigned len = pick < 5 ? 1 + rng() % 9 : 10 + rng() % 7;
    if (rng() % 40 == 0) len = 17 + rng() % 4;
    c.length = static_cast<uint16_t>(len);
    const uint32_t limit = len >= 16 ? 65536u : (1u << len);
    c.code = static_cast<uint16_t>(rng() % 50 == 0 ? limit + rng() % 7 : rng() % limit);
  }
  return codes;
}

// A canonical table with some symbols removed: windows that fall into the
// gaps match nothing.
Codes Incomplete(Codes codes, std::mt19937& rng) {
  for (auto& c : codes) {
    if (c.length != 0 && rng() % 4 == 0) c.length = 0;
  }
  return codes;
}

void ExpectLookupMatchesSearch(const Codes& codes, const uint8_t* lut, const std::string& what) {
  HuffLookup lookup(codes.data(), static_cast<unsigned>(codes.size()), lut);
  int mismatches = 0;
  for (uint32_t w = 0; w < 65536 && mismatches < 5; ++w) {
    unsigned s1 = 1000, l1 = 1000, s2 = 1000, l2 = 1000;
    const bool m1 = rk::MatchSymbol(w, codes.data(), static_cast<unsigned>(codes.size()), lut, &s1, &l1);
    const bool m2 = lookup.Match(w, &s2, &l2);
    if (m1 != m2 || (m1 && (s1 != s2 || l1 != l2))) {
      ++mismatches;
      ADD_FAILURE() << what << " window " << std::hex << w << std::dec << ": search " << m1 << "/" << s1
                    << "/" << l1 << ", lookup " << m2 << "/" << s2 << "/" << l2;
    }
    // A short-code entry is the same symbol with its value bits read.
    const HuffLookup::Short& hit = lookup.ShortCode(w);
    if (hit.bits != 0) {
      const unsigned size = s1 & 15;
      const int32_t value = size == 0 ? 0 : rk::ExtendValue((w >> (16 - l1 - size)) & ((1u << size) - 1), size);
      if (!m1 || lut != nullptr || hit.symbol != s1 || hit.bits != l1 + size || hit.value != value) {
        ++mismatches;
        ADD_FAILURE() << what << " window " << std::hex << w << std::dec << ": short code " << unsigned{hit.symbol}
                      << "/" << unsigned{hit.bits} << "/" << hit.value;
      }
    }
  }
}

TEST(HuffLookup, DefaultTablesGiveTheSearchResultForEveryWindow) {
  ModuleTable t;
  const Codes tables[] = {FromTable(t->dcCodeTable[0], 16), FromTable(t->dcCodeTable[1], 16),
                          FromTable(t->acCodeTable[0], 256), FromTable(t->acCodeTable[1], 256)};
  for (const Codes& codes : tables) {
    ExpectLookupMatchesSearch(codes, nullptr, "search");
    const auto lut = rktest::MakeLut(codes.data(), static_cast<unsigned>(codes.size()));
    ExpectLookupMatchesSearch(codes, lut.data(), "buffer");
  }
}

TEST(HuffLookup, OddAndIncompleteTablesGiveTheSearchResultForEveryWindow) {
  ModuleTable t;
  std::mt19937 rng(7);
  for (int round = 0; round < 12; ++round) {
    const unsigned count = round % 2 ? 256 : 16;
    const Codes odd = OddTable(count, rng);
    ExpectLookupMatchesSearch(odd, nullptr, "odd " + std::to_string(round));
    const auto lut = rktest::MakeLut(odd.data(), count);
    ExpectLookupMatchesSearch(odd, lut.data(), "odd with buffer " + std::to_string(round));
    const Codes base = count == 16 ? FromTable(t->dcCodeTable[round % 4 / 2], 16)
                                   : FromTable(t->acCodeTable[round % 4 / 2], 256);
    ExpectLookupMatchesSearch(Incomplete(base, rng), nullptr, "incomplete " + std::to_string(round));
  }
}

TEST(HuffLookup, StaleOrGarbageBufferGivesTheSearchResult) {
  // A buffer that does not belong to the table (random bytes, symbols past
  // a DC table's 16 entries) is followed exactly as the plain decoder does.
  ModuleTable t;
  std::mt19937 rng(3);
  std::vector<uint8_t> garbage(65536);
  for (auto& b : garbage) b = static_cast<uint8_t>(rng());
  ExpectLookupMatchesSearch(FromTable(t->dcCodeTable[0], 16), garbage.data(), "dc");
  ExpectLookupMatchesSearch(FromTable(t->acCodeTable[1], 256), garbage.data(), "ac");
}

TEST(HuffLookup, NullTableMatchesNothing) {
  HuffLookup lookup(nullptr, 256, nullptr);
  unsigned s, l;
  for (uint32_t w : {0u, 0x1234u, 0xFFFFu}) EXPECT_FALSE(lookup.Match(w, &s, &l));
}

// ---------------------------------------------------------------------------
// BlockDecoder against DecodeBlock

// The code tables (and, optionally, lookup buffers) of a luminance and a
// chrominance component.
struct TableSet {
  Codes dc[2], ac[2];
  std::vector<uint8_t> dcLut[2], acLut[2];
  bool withLut = false;

  static TableSet Defaults(ModuleTableRec* t, bool withLut) {
    TableSet s;
    for (int c = 0; c < 2; ++c) {
      s.dc[c] = FromTable(t->dcCodeTable[c], 16);
      s.ac[c] = FromTable(t->acCodeTable[c], 256);
    }
    if (withLut) s.MakeLuts();
    return s;
  }
  void MakeLuts() {
    withLut = true;
    for (int c = 0; c < 2; ++c) {
      dcLut[c] = rktest::MakeLut(dc[c].data(), 16);
      acLut[c] = rktest::MakeLut(ac[c].data(), 256);
    }
  }
  const uint8_t* DcLut(int c) const { return withLut ? dcLut[c].data() : nullptr; }
  const uint8_t* AcLut(int c) const { return withLut ? acLut[c].data() : nullptr; }
};

// Heap copy of exactly `length` bytes: a read past it is an ASan error.
std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* bytes, uint32_t length) {
  std::unique_ptr<uint8_t[]> p(new uint8_t[length == 0 ? 1 : length]);
  std::copy(bytes, bytes + length, p.get());
  return p;
}

// Which component a block belongs to: luminance, luminance, then the two
// chrominance blocks, as in a 2x1 MCU; each has its own predictor.
constexpr int kMcuComponent[4] = {0, 0, 1, 2};

struct DecodeOptions {
  uint32_t startBit = 0;
  int16_t startError = 0;
  int maxBlocks = 4000;
  // Blocks per restart interval of a coded stream (0 = none): at each
  // interval's end both decoders move past the padding and the FF Dn marker
  // and reset the predictors, as the codecs do.
  int blocksPerInterval = 0;
  // The coded blocks, when known: each decoded block must equal them.
  const std::vector<Block>* expected = nullptr;
  // A zigzag order to install in both tables instead of the standard one.
  const std::array<int16_t, 64>* zigzag = nullptr;
};

// Decodes the stream with both decoders in lockstep and compares every
// observable after each block. Returns the number of blocks decoded.
int ExpectSameDecoding(const uint8_t* bytes, uint32_t length, const TableSet& tables,
                       const DecodeOptions& options, const std::string& what) {
  auto data = ExactCopy(bytes, length);
  ModuleTable ref, fast;
  for (ModuleTableRec* t : {ref.get(), fast.get()}) {
    t->streamData = data.get();
    t->streamLength = length;
    t->bitPos = options.startBit;
    t->decodeError = options.startError;
    if (options.zigzag != nullptr) std::copy(options.zigzag->begin(), options.zigzag->end(), t->zigzag);
  }
  HuffLookup dc[2], ac[2];
  for (int c = 0; c < 2; ++c) {
    dc[c].Build(tables.dc[c].data(), 16, tables.DcLut(c));
    ac[c].Build(tables.ac[c].data(), 256, tables.AcLut(c));
  }
  BlockDecoder decoder(fast.get());
  int16_t refPred[3] = {0, 0, 0}, fastPred[3] = {0, 0, 0};
  int n = 0;
  auto moveBoth = [&](uint32_t bitPos) {
    for (ModuleTableRec* t : {ref.get(), fast.get()}) {
      t->bitPos = bitPos;
      t->decodeError = 0;
    }
    decoder.Reload();
  };
  for (; n < options.maxBlocks; ++n) {
    if (options.blocksPerInterval > 0 && n > 0 && n % options.blocksPerInterval == 0) {
      // The last block may end in front of a stuffing byte (bitPos is moved
      // over one only when bits are read beyond it).
      uint32_t byte = (ref->bitPos + 7) / 8;
      if (byte >= 1 && byte < length && bytes[byte] == 0x00 && bytes[byte - 1] == 0xFF) ++byte;
      if (byte + 1 < length && bytes[byte] == 0xFF && bytes[byte + 1] >= 0xD0 && bytes[byte + 1] <= 0xD7) byte += 2;
      moveBoth(8 * byte);
      refPred[0] = refPred[1] = refPred[2] = fastPred[0] = fastPred[1] = fastPred[2] = 0;
    }
    const int comp = kMcuComponent[n % 4];
    const int tab = comp == 0 ? 0 : 1;
    Block a, b;
    for (int i = 0; i < 64; ++i) a[i] = b[i] = static_cast<int16_t>(n * 131 + i);
    const DecodeStatus sa = rk::DecodeBlock(ref.get(), a.data(), tables.dc[tab].data(),
                                            tables.ac[tab].data(), tables.DcLut(tab),
                                            tables.AcLut(tab), &refPred[comp]);
    const DecodeStatus sb = decoder.Decode(b.data(), dc[tab], ac[tab], &fastPred[comp]);
    decoder.Sync();
    const std::string where = what + ", block " + std::to_string(n);
    EXPECT_EQ(Name(sa), std::string(Name(sb))) << where;
    EXPECT_EQ(a, b) << where;
    EXPECT_EQ(refPred[comp], fastPred[comp]) << where;
    EXPECT_EQ(ref->bitPos, fast->bitPos) << where;
    EXPECT_EQ(ref->decodeError, fast->decodeError) << where;
    if (options.expected != nullptr && static_cast<size_t>(n) < options.expected->size() &&
        sa == DecodeStatus::kOk && ref->bitPos <= 8 * length) {  // all its bits were there
      EXPECT_EQ(a, (*options.expected)[n]) << where;
    }
    if (testing::Test::HasFailure()) return n;
    if (sa == DecodeStatus::kNoCode) break;
    // A restart marker met unexpectedly: step past its byte and go on.
    if (sa == DecodeStatus::kStreamError) {
      if (ref->decodeError != RK_ERR_RESTART) break;
      moveBoth((ref->bitPos / 8 + 1) * 8);
    }
  }
  return n;
}

// A stream of valid blocks in the shape that coders produce, with restart
// markers every `interval` MCUs (0 = none) and FF D9 at the end.
struct EncodedStream {
  std::vector<uint8_t> bytes;
  std::vector<Block> blocks;
};

enum class Content { kSparse, kDense, kLongRuns, kExtreme };

Block RandomBlock(Content content, std::mt19937& rng) {
  Block b{};
  auto small = [&](int range) { return static_cast<int16_t>(static_cast<int>(rng() % (2 * range + 1)) - range); };
  switch (content) {
    case Content::kSparse:
      b[0] = small(600);
      for (int i = 0; i < 6; ++i) b[rng() % 20] = small(40);
      break;
    case Content::kDense:
      for (auto& v : b) v = small(300);
      break;
    case Content::kLongRuns:
      b[0] = small(100);
      b[rng() % 64] = small(5);
      b[63] = rng() % 2 ? small(3) : 0;
      break;
    case Content::kExtreme:  // the largest categories the default tables code
      b[0] = static_cast<int16_t>(rng() % 2 ? 2047 : -2047);
      for (int i = 1; i < 64; ++i) b[i] = static_cast<int16_t>(rng() % 3 == 0 ? (rng() % 2 ? 1023 : -1023) : 0);
      break;
  }
  return b;
}

EncodedStream Encode(ModuleTableRec* t, Content content, int mcus, int interval, uint32_t seed) {
  std::mt19937 rng(seed);
  EncodedStream s;
  rktest::HuffBitWriter out;
  int16_t pred[3] = {0, 0, 0};
  int marker = 0;
  for (int m = 0; m < mcus; ++m) {
    if (interval > 0 && m > 0 && m % interval == 0) {
      out.PutMarker(static_cast<uint8_t>(0xD0 + marker++ % 8));
      pred[0] = pred[1] = pred[2] = 0;
    }
    for (int i = 0; i < 4; ++i) {
      const int comp = kMcuComponent[i];
      const int tab = comp == 0 ? 0 : 1;
      Block b = RandomBlock(content, rng);
      // Keep DC differences within category 11.
      b[0] = static_cast<int16_t>(std::clamp<int>(b[0], pred[comp] - 2047, pred[comp] + 2047));
      rktest::EncodeBlock(out, b.data(), &pred[comp], t->dcCodeTable[tab], t->acCodeTable[tab], t->zigzag);
      s.blocks.push_back(b);
    }
  }
  out.PutMarker(0xD9);
  s.bytes = out.bytes();
  return s;
}

struct StreamCase {
  const char* name;
  Content content;
  int interval;
  bool withLut;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class FastMatchesPlain : public testing::TestWithParam<StreamCase> {};

TEST_P(FastMatchesPlain, ValidStream) {
  const StreamCase& c = GetParam();
  ModuleTable t;
  const EncodedStream s = Encode(t.get(), c.content, 60, c.interval, 11);
  const TableSet tables = TableSet::Defaults(t.get(), c.withLut);
  DecodeOptions o;
  o.blocksPerInterval = 4 * c.interval;
  o.expected = &s.blocks;
  const int n = ExpectSameDecoding(s.bytes.data(), static_cast<uint32_t>(s.bytes.size()), tables, o, c.name);
  EXPECT_GE(n, static_cast<int>(s.blocks.size()));
}

TEST_P(FastMatchesPlain, EveryTruncation) {
  const StreamCase& c = GetParam();
  ModuleTable t;
  const EncodedStream s = Encode(t.get(), c.content, 6, c.interval == 0 ? 0 : 2, 5);
  const TableSet tables = TableSet::Defaults(t.get(), c.withLut);
  DecodeOptions o;
  o.blocksPerInterval = c.interval == 0 ? 0 : 8;
  o.expected = &s.blocks;
  for (uint32_t len = 0; len <= s.bytes.size() && !HasFailure(); ++len) {
    ExpectSameDecoding(s.bytes.data(), len, tables, o, std::string(c.name) + " cut at " + std::to_string(len));
  }
}

TEST_P(FastMatchesPlain, EveryStartPosition) {
  // Starting at each bit of the stream puts both decoders out of step with
  // the coder: mostly garbage symbols, many misses and bad runs.
  const StreamCase& c = GetParam();
  ModuleTable t;
  const EncodedStream s = Encode(t.get(), c.content, 2, c.interval == 0 ? 0 : 1, 9);
  const TableSet tables = TableSet::Defaults(t.get(), c.withLut);
  // Every bit of the first 160 bytes, then every 13th.
  for (uint32_t bit = 0; bit < 8 * s.bytes.size() && !HasFailure(); bit += bit < 1280 ? 1 : 13) {
    DecodeOptions o;
    o.startBit = bit;
    ExpectSameDecoding(s.bytes.data(), static_cast<uint32_t>(s.bytes.size()), tables, o,
                       std::string(c.name) + " from bit " + std::to_string(bit));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FastMatchesPlain,
    testing::Values(StreamCase{"Sparse", Content::kSparse, 0, false},
                    StreamCase{"SparseLut", Content::kSparse, 0, true},
                    StreamCase{"DenseRestarts", Content::kDense, 3, false},
                    StreamCase{"DenseRestartsLut", Content::kDense, 3, true},
                    StreamCase{"LongRunsRestarts", Content::kLongRuns, 1, false},
                    StreamCase{"ExtremeValues", Content::kExtreme, 0, false},
                    StreamCase{"ExtremeValuesLut", Content::kExtreme, 5, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FastMatchesPlainRoundTrip, ValidStreamDecodesToTheCodedBlocks) {
  // The lockstep test compares the decoders with each other; this one ties
  // them to the coded values.
  ModuleTable t;
  const EncodedStream s = Encode(t.get(), Content::kDense, 40, 0, 21);
  t->streamData = const_cast<uint8_t*>(s.bytes.data());
  t->streamLength = static_cast<uint32_t>(s.bytes.size());
  t->bitPos = 0;
  t->decodeError = 0;
  HuffLookup dc[2] = {{t->dcCodeTable[0], 16, nullptr}, {t->dcCodeTable[1], 16, nullptr}};
  HuffLookup ac[2] = {{t->acCodeTable[0], 256, nullptr}, {t->acCodeTable[1], 256, nullptr}};
  BlockDecoder decoder(t.get());
  int16_t pred[3] = {0, 0, 0};
  for (size_t n = 0; n < s.blocks.size(); ++n) {
    const int comp = kMcuComponent[n % 4];
    Block b{};
    ASSERT_EQ(decoder.Decode(b.data(), dc[comp ? 1 : 0], ac[comp ? 1 : 0], &pred[comp]), DecodeStatus::kOk);
    ASSERT_EQ(b, s.blocks[n]) << n;
  }
  Block b{};
  EXPECT_EQ(decoder.Decode(b.data(), dc[0], ac[0], &pred[0]), DecodeStatus::kStreamError);
  decoder.Sync();
  EXPECT_EQ(t->decodeError, RK_ERR_END_OF_DATA);
}

// Bytes drawn mostly from the ones that matter to the reader: FF, 00,
// restart markers and D9.
std::vector<uint8_t> AdversarialBytes(size_t n, std::mt19937& rng, int ffPercent) {
  static constexpr uint8_t kSpecial[] = {0xFF, 0x00, 0xD0, 0xD7, 0xD9, 0xFF, 0xC4};
  std::vector<uint8_t> v(n);
  for (auto& b : v) {
    const unsigned r = rng() % 100;
    b = r < static_cast<unsigned>(ffPercent) ? kSpecial[rng() % 7] : static_cast<uint8_t>(rng());
  }
  return v;
}

struct RandomCase {
  const char* name;
  int ffPercent;
  int tableKind;  // 0 default, 1 default + buffers, 2 odd, 3 incomplete, 4 default + garbage buffers
};

void PrintTo(const RandomCase& c, std::ostream* os) { *os << c.name; }

class FastMatchesPlainOnRandom : public testing::TestWithParam<RandomCase> {};

TEST_P(FastMatchesPlainOnRandom, Streams) {
  const RandomCase& c = GetParam();
  ModuleTable t;
  std::mt19937 rng(1234 + c.tableKind * 10 + c.ffPercent);
  std::vector<uint8_t> garbage[4];
  for (int round = 0; round < 150 && !HasFailure(); ++round) {
    TableSet tables = TableSet::Defaults(t.get(), c.tableKind == 1);
    if (c.tableKind == 2 || c.tableKind == 3) {
      for (int k = 0; k < 2; ++k) {
        tables.dc[k] = c.tableKind == 2 ? OddTable(16, rng) : Incomplete(tables.dc[k], rng);
        tables.ac[k] = c.tableKind == 2 ? OddTable(256, rng) : Incomplete(tables.ac[k], rng);
      }
      if (round % 2) tables.MakeLuts();
    }
    if (c.tableKind == 4) {
      if (round % 25 == 0) {  // new garbage now and then: it is slow to make
        for (int k = 0; k < 2; ++k) {
          garbage[k] = AdversarialBytes(65536, rng, 0);
          garbage[k + 2] = AdversarialBytes(65536, rng, 0);
        }
      }
      tables.withLut = true;
      for (int k = 0; k < 2; ++k) {
        tables.dcLut[k] = garbage[k];
        tables.acLut[k] = garbage[k + 2];
      }
    }
    const auto bytes = AdversarialBytes(1 + rng() % 400, rng, c.ffPercent);
    DecodeOptions o;
    o.startBit = rng() % 3 == 0 ? static_cast<uint32_t>(rng() % (8 * bytes.size())) : 0;
    if (round % 10 == 9) o.startError = RK_ERR_BAD_MARKER;  // a caller left an error set
    ExpectSameDecoding(bytes.data(), static_cast<uint32_t>(bytes.size()), tables, o,
                       std::string(c.name) + " round " + std::to_string(round));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Random, FastMatchesPlainOnRandom,
    testing::Values(RandomCase{"PlainBytesDefaultTables", 0, 0},
                    RandomCase{"MarkerRichDefaultTables", 30, 0},
                    RandomCase{"MarkerRichWithBuffers", 30, 1},
                    RandomCase{"OddTables", 10, 2},
                    RandomCase{"IncompleteTables", 10, 3},
                    RandomCase{"GarbageBuffers", 10, 4},
                    RandomCase{"AlmostAllMarkers", 90, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FastMatchesPlainZigzag, DamagedOrderStaysInTheBlockAndAgrees) {
  // A zigzag table with repeated and out-of-range entries: every write must
  // stay inside the block, and the fast decoder's end-of-block clearing
  // must give what the plain one's position-by-position zeros give.
  ModuleTable t;
  const EncodedStream s = Encode(t.get(), Content::kSparse, 30, 0, 4);
  const TableSet tables = TableSet::Defaults(t.get(), false);
  std::mt19937 rng(2);
  for (int round = 0; round < 20 && !HasFailure(); ++round) {
    std::array<int16_t, 64> zz;
    for (int k = 0; k < 64; ++k) zz[k] = t->zigzag[k];
    for (int i = 0; i < 1 + round % 5; ++i) {
      const int k = static_cast<int>(rng() % 64);
      zz[k] = round % 2 ? static_cast<int16_t>(rng() % 64) : static_cast<int16_t>(rng());
    }
    DecodeOptions o;
    o.zigzag = &zz;
    ExpectSameDecoding(s.bytes.data(), static_cast<uint32_t>(s.bytes.size()), tables, o,
                       "damaged zigzag " + std::to_string(round));
  }
}

TEST(BlockDecoder, ReloadPicksUpAMovedStream) {
  // Two separate streams decoded through one decoder: Reload after the
  // caller points the table at the second.
  ModuleTable t;
  const EncodedStream s1 = Encode(t.get(), Content::kSparse, 2, 0, 1);
  const EncodedStream s2 = Encode(t.get(), Content::kSparse, 2, 0, 2);
  HuffLookup dc(t->dcCodeTable[0], 16, nullptr), ac(t->acCodeTable[0], 256, nullptr);
  HuffLookup dcc(t->dcCodeTable[1], 16, nullptr), acc(t->acCodeTable[1], 256, nullptr);
  t->streamData = const_cast<uint8_t*>(s1.bytes.data());
  t->streamLength = static_cast<uint32_t>(s1.bytes.size());
  t->bitPos = 0;
  t->decodeError = 0;
  BlockDecoder decoder(t.get());
  int16_t pred[3] = {0, 0, 0};
  Block b{};
  for (int n = 0; n < 4; ++n) {
    const int comp = kMcuComponent[n];
    ASSERT_EQ(decoder.Decode(b.data(), comp ? dcc : dc, comp ? acc : ac, &pred[comp]), DecodeStatus::kOk);
  }
  t->streamData = const_cast<uint8_t*>(s2.bytes.data());
  t->streamLength = static_cast<uint32_t>(s2.bytes.size());
  t->bitPos = 0;
  decoder.Reload();
  pred[0] = pred[1] = pred[2] = 0;
  for (int n = 0; n < 4; ++n) {
    const int comp = kMcuComponent[n];
    ASSERT_EQ(decoder.Decode(b.data(), comp ? dcc : dc, comp ? acc : ac, &pred[comp]), DecodeStatus::kOk);
    EXPECT_EQ(b, s2.blocks[n]) << n;
  }
}

}  // namespace
