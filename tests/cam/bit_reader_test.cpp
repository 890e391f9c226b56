// The plain bit reader and DecodeBlock: stuffing, markers, the end of the
// data, symbol lookup and the block's run-length rules, on hand-made bytes.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "cam/bit_reader.h"
#include "cam/kernels.h"
#include "huff_writer.h"
#include "test_images.h"

namespace {

using rk::BitReader;
using rk::DecodeStatus;
using rktest::ModuleTable;

// The stream in a heap block of exactly its size, so that AddressSanitizer
// catches any read at or past its end.
struct ExactBytes {
  std::unique_ptr<uint8_t[]> data;
  uint32_t size;
  explicit ExactBytes(const std::vector<uint8_t>& bytes)
      : data(new uint8_t[bytes.empty() ? 1 : bytes.size()]), size(static_cast<uint32_t>(bytes.size())) {
    std::copy(bytes.begin(), bytes.end(), data.get());
  }
};

using Block = std::array<int16_t, 64>;
Block Junk() {
  Block b;
  b.fill(0x5A5A);
  return b;
}

// ---------------------------------------------------------------------------
// BitReader

struct WindowCase {
  const char* name;
  std::vector<uint8_t> bytes;
  uint32_t bitPos;
  uint32_t window;      // 16 data bits from bitPos
  unsigned advance;     // then consume this many
  uint32_t bitPosAfter;
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class BitReaderWindow : public testing::TestWithParam<WindowCase> {};

TEST_P(BitReaderWindow, WindowAndAdvance) {
  const WindowCase& c = GetParam();
  ExactBytes bytes(c.bytes);
  BitReader reader(bytes.data.get(), bytes.size, c.bitPos, 0);
  EXPECT_EQ(reader.Window(), c.window);
  reader.Advance(c.advance);
  EXPECT_EQ(reader.bitPos(), c.bitPosAfter);
  EXPECT_EQ(reader.error(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitReaderWindow,
    testing::Values(
        WindowCase{"Aligned", {0x12, 0x34, 0x56}, 0, 0x1234, 16, 16},
        WindowCase{"MidByte", {0x12, 0x34, 0x56}, 4, 0x2345, 12, 16},
        // 12 FF 00 A5 from bit 4: 2, FF, (00 skipped), A -> 2FFA; 16 bits
        // land 8 positions beyond 4 + 16.
        WindowCase{"StuffingInside", {0x12, 0xFF, 0x00, 0xA5}, 4, 0x2FFA, 16, 28},
        // Consuming exactly up to the stuffing byte leaves bitPos on it.
        WindowCase{"StuffingLeftForLater", {0x12, 0xFF, 0x00, 0xA5}, 4, 0x2FFA, 12, 16},
        WindowCase{"StopBeforeStuffing", {0x12, 0xFF, 0x00, 0xA5}, 0, 0x12FF, 16, 16},
        // FF 00 00: only the first 00 is stuffing.
        WindowCase{"DoubleZero", {0xFF, 0x00, 0x00, 0x7E}, 0, 0xFF00, 16, 24},
        // FF FF 00: the second FF is data, its 00 is stuffing.
        WindowCase{"FillThenStuffing", {0xFF, 0xFF, 0x00, 0x81}, 0, 0xFFFF, 16, 16},
        // Markers inside a window are data.
        WindowCase{"MarkerInsideWindow", {0x0F, 0xFF, 0xD9}, 4, 0xFFFD, 8, 12},
        // Past the end the bits are zeros: never read, never stuffing.
        WindowCase{"ZerosPastEnd", {0xAB}, 0, 0xAB00, 8, 8},
        WindowCase{"LastByteFF", {0x00, 0xFF}, 4, 0x0FF0, 12, 16}),
    [](const auto& info) { return std::string(info.param.name); });

struct CheckCase {
  const char* name;
  std::vector<uint8_t> bytes;
  uint32_t bitPos;
  bool ok;
  int16_t error;
  uint32_t bitPosAfter;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }

class BitReaderSymbolStart : public testing::TestWithParam<CheckCase> {};

TEST_P(BitReaderSymbolStart, ChecksTheCurrentByte) {
  const CheckCase& c = GetParam();
  ExactBytes bytes(c.bytes);
  BitReader reader(bytes.data.get(), bytes.size, c.bitPos, 0);
  EXPECT_EQ(reader.BeginSymbol(), c.ok);
  EXPECT_EQ(reader.error(), c.error);
  EXPECT_EQ(reader.bitPos(), c.bitPosAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitReaderSymbolStart,
    testing::Values(
        CheckCase{"PlainData", {0x12, 0x34}, 8, true, 0, 8},
        CheckCase{"StuffingSkipped", {0xFF, 0x00, 0x34}, 8, true, 0, 16},
        CheckCase{"Restart0", {0xFF, 0xD0, 0x00}, 8, false, RK_ERR_RESTART, 8},
        CheckCase{"Restart7", {0xFF, 0xD7, 0x00}, 8, false, RK_ERR_RESTART, 8},
        CheckCase{"EndOfImage", {0xFF, 0xD9, 0x00}, 8, false, RK_ERR_END_OF_DATA, 8},
        // Mid-byte in a marker byte (a code straddled FF D0) still stops.
        CheckCase{"RestartMidByte", {0xFF, 0xD0, 0x00}, 12, false, RK_ERR_RESTART, 12},
        // Any other byte after FF is data.
        CheckCase{"OtherAfterFF", {0xFF, 0xC4, 0x00}, 8, true, 0, 8},
        CheckCase{"AtEnd", {0x12, 0x34}, 16, false, RK_ERR_END_OF_DATA, 16},
        CheckCase{"FarPastEnd", {0x12, 0x34}, 0xFFFFFFF0u, false, RK_ERR_END_OF_DATA, 0xFFFFFFF0u},
        CheckCase{"LastBitInside", {0x12, 0x34}, 15, true, 0, 15},
        CheckCase{"EmptyStream", {}, 0, false, RK_ERR_END_OF_DATA, 0},
        // Stuffing as the last byte: stepped over to the end, no read past it.
        CheckCase{"StuffingLast", {0xFF, 0x00}, 8, true, 0, 16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BitReader, ValueBitsCheckTheirByteButNotTheLength) {
  // A value starting on a restart marker byte stops with -16 ...
  {
    const std::vector<uint8_t> v{0xFF, 0xD3};
    ExactBytes bytes(v);
    BitReader reader(bytes.data.get(), bytes.size, 8, 0);
    EXPECT_FALSE(reader.BeginBits());
    EXPECT_EQ(reader.error(), RK_ERR_RESTART);
  }
  // ... while value bits past the end read as zeros without an error.
  {
    const std::vector<uint8_t> v{0xF0};
    ExactBytes bytes(v);
    BitReader reader(bytes.data.get(), bytes.size, 4, 0);
    int32_t value = 99;
    ASSERT_TRUE(rk::ReadValue(reader, 8, &value));
    EXPECT_EQ(value, -255);  // 0000 0000: 0 - 256 + 1
    EXPECT_EQ(reader.bitPos(), 12u);
    EXPECT_EQ(reader.error(), 0);
  }
}

TEST(BitReader, ExtendValue) {
  struct Case {
    uint32_t bits;
    unsigned size;
    int32_t value;
  };
  for (const Case& c : {Case{0, 0, 0}, Case{1, 1, 1}, Case{0, 1, -1}, Case{5, 3, 5}, Case{2, 3, -5},
                        Case{0, 3, -7}, Case{0x7FFF, 15, 32767}, Case{0, 15, -32767},
                        Case{0x4000, 15, 16384}, Case{0x3FFF, 15, -16384}}) {
    EXPECT_EQ(rk::ExtendValue(c.bits, c.size), c.value) << c.bits << "/" << c.size;
  }
}

// ---------------------------------------------------------------------------
// Symbol matching

TEST(MatchSymbol, FirstMatchInSymbolOrderWins) {
  // Symbol 1 ("1", 1 bit) shadows symbol 2 ("10", 2 bits); symbol 0 has no
  // code; symbol 3 has code bits above its length and never matches.
  std::array<HuffCodeRec, 16> codes{};
  codes[1] = {1, 1};
  codes[2] = {2, 2};
  codes[3] = {4, 2};
  codes[4] = {0, 3};
  unsigned s = 99, len = 99;
  ASSERT_TRUE(rk::MatchSymbol(0x8000, codes.data(), 16, nullptr, &s, &len));
  EXPECT_EQ(s, 1u);
  EXPECT_EQ(len, 1u);
  ASSERT_TRUE(rk::MatchSymbol(0x1FFF, codes.data(), 16, nullptr, &s, &len));
  EXPECT_EQ(s, 4u);
  EXPECT_EQ(len, 3u);
  EXPECT_FALSE(rk::MatchSymbol(0x4000, codes.data(), 16, nullptr, &s, &len));
}

TEST(MatchSymbol, LookupBufferEntryTakesTheTablesLength) {
  std::array<HuffCodeRec, 16> codes{};
  codes[2] = {3, 5};
  std::vector<uint8_t> lut(65536, 0);
  lut[0x1234] = 2;   // trusted as is: the buffer decides the symbol
  lut[0x2345] = 20;  // outside a 16-entry DC table: no match, no read
  unsigned s = 99, len = 99;
  ASSERT_TRUE(rk::MatchSymbol(0x1234, codes.data(), 16, lut.data(), &s, &len));
  EXPECT_EQ(s, 2u);
  EXPECT_EQ(len, 5u);
  EXPECT_FALSE(rk::MatchSymbol(0x0000, codes.data(), 16, lut.data(), &s, &len));  // length 0
  EXPECT_FALSE(rk::MatchSymbol(0x2345, codes.data(), 16, lut.data(), &s, &len));
}

// ---------------------------------------------------------------------------
// DecodeBlock with the default luminance tables

class DecodeBlockTest : public testing::Test {
 protected:
  ModuleTable table;
  DecodeStatus Decode(const ExactBytes& bytes, uint32_t bitPos, Block& block, int16_t& predictor,
                      bool withLut = false) {
    table->streamData = bytes.data.get();
    table->streamLength = bytes.size;
    table->bitPos = bitPos;
    table->decodeError = 0;
    if (withLut) {
      dcLut = rktest::MakeLut(table->dcCodeTable[0], 16);
      acLut = rktest::MakeLut(table->acCodeTable[0], 256);
    }
    return rk::DecodeBlock(table.get(), block.data(), table->dcCodeTable[0], table->acCodeTable[0],
                           withLut ? dcLut.data() : nullptr, withLut ? acLut.data() : nullptr,
                           &predictor);
  }
  std::vector<uint8_t> dcLut, acLut;
};

TEST_F(DecodeBlockTest, CategoryZeroThenEndOfBlock) {
  // 00 (DC category 0) 1010 (EOB) 11 (padding) = 0x2B
  for (bool lut : {false, true}) {
    ExactBytes bytes({0x2B});
    Block block = Junk();
    int16_t predictor = 37;
    EXPECT_EQ(Decode(bytes, 0, block, predictor, lut), DecodeStatus::kOk);
    EXPECT_EQ(predictor, 37);
    EXPECT_EQ(block[0], 37);
    for (int i = 1; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
    EXPECT_EQ(table->bitPos, 6u);
    EXPECT_EQ(table->decodeError, 0);
  }
}

TEST_F(DecodeBlockTest, CodeStraddlingStuffing) {
  // DC category 11 (111111110) with difference 1500 (10111011100), then EOB
  // (1010): the 9-bit code spans FF 00 5D; the 00 carries no bits.
  ExactBytes bytes({0xFF, 0x00, 0x5D, 0xCA});
  for (bool lut : {false, true}) {
    Block block = Junk();
    int16_t predictor = -500;
    EXPECT_EQ(Decode(bytes, 0, block, predictor, lut), DecodeStatus::kOk);
    EXPECT_EQ(block[0], 1000);
    EXPECT_EQ(predictor, 1000);
    EXPECT_EQ(table->bitPos, 9u + 11 + 4 + 8);
  }
}

TEST_F(DecodeBlockTest, WriterRoundTripWithStuffing) {
  // Values chosen so that many bytes come out as FF and get stuffed.
  rktest::HuffBitWriter out;
  Block source{};
  source[0] = 2047;
  for (int i = 1; i < 64; i += 3) source[i] = static_cast<int16_t>(i % 2 ? 1023 : -1023);
  int16_t encPred = 0;
  rktest::EncodeBlock(out, source.data(), &encPred, table->dcCodeTable[0], table->acCodeTable[0],
                      table->zigzag);
  const uint32_t end = out.bitPos();
  out.Flush();
  ExactBytes bytes(out.bytes());
  Block block = Junk();
  int16_t predictor = 0;
  EXPECT_EQ(Decode(bytes, 0, block, predictor), DecodeStatus::kOk);
  EXPECT_EQ(block, source);
  EXPECT_EQ(table->bitPos, end);
}

TEST_F(DecodeBlockTest, MarkersAndEndOfData) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t bitPos;
    int16_t error;
  };
  for (const Case& c : {Case{"restart", {0x5A, 0xFF, 0xD0}, 16, RK_ERR_RESTART},
                        Case{"end of image", {0x5A, 0xFF, 0xD9}, 16, RK_ERR_END_OF_DATA},
                        Case{"length reached", {0x5A}, 8, RK_ERR_END_OF_DATA}}) {
    ExactBytes bytes(c.bytes);
    Block block = Junk();
    int16_t predictor = 5;
    EXPECT_EQ(Decode(bytes, c.bitPos, block, predictor), DecodeStatus::kStreamError) << c.name;
    EXPECT_EQ(table->decodeError, c.error) << c.name;
    EXPECT_EQ(table->bitPos, c.bitPos) << c.name;
    EXPECT_EQ(predictor, 5) << c.name;
    EXPECT_EQ(block, Junk()) << c.name;
  }
}

TEST_F(DecodeBlockTest, RestartMarkerUnderValueBits) {
  // From bit 8 the window is FF D0 read as data, 11111111 11010000, whose
  // first match is category 13 (11111111110). The code ends at bit 19,
  // inside D0 after FF, where its value bits would start: -16, with the
  // code consumed and nothing stored.
  ExactBytes bytes({0xFE, 0xFF, 0xD0});
  Block block = Junk();
  int16_t predictor = 5;
  EXPECT_EQ(Decode(bytes, 8, block, predictor), DecodeStatus::kStreamError);
  EXPECT_EQ(table->decodeError, RK_ERR_RESTART);
  EXPECT_EQ(table->bitPos, 19u);
  EXPECT_EQ(predictor, 5);
  EXPECT_EQ(block, Junk());
}

TEST_F(DecodeBlockTest, TruncatedStreamStopsAtTheEnd) {
  // A block whose AC data is cut: the first AC symbols are stored, then the
  // length check stops the block and leaves the rest as it was.
  rktest::HuffBitWriter out;
  Block source{};
  source[0] = 3;
  for (int k = 1; k < 64; ++k) source[table->zigzag[k]] = static_cast<int16_t>(k);
  int16_t encPred = 0;
  rktest::EncodeBlock(out, source.data(), &encPred, table->dcCodeTable[0], table->acCodeTable[0],
                      table->zigzag);
  out.Flush();
  std::vector<uint8_t> cut(out.bytes().begin(), out.bytes().begin() + 6);
  ExactBytes bytes(cut);
  Block block = Junk();
  int16_t predictor = 0;
  EXPECT_EQ(Decode(bytes, 0, block, predictor), DecodeStatus::kStreamError);
  EXPECT_EQ(table->decodeError, RK_ERR_END_OF_DATA);
  EXPECT_EQ(block[0], 3);
  int k = 1;
  while (k < 64 && block[table->zigzag[k]] == k) ++k;
  EXPECT_GT(k, 2);
  for (; k < 64; ++k) EXPECT_EQ(block[table->zigzag[k]], 0x5A5A) << k;
}

TEST_F(DecodeBlockTest, ZeroRunsAndLastCoefficient) {
  // ZRL (F/0) twice, then a value at zigzag 33 and one at 63 without EOB.
  Block source{};
  source[0] = -1;
  source[table->zigzag[33]] = 7;
  source[table->zigzag[63]] = -2;
  rktest::HuffBitWriter out;
  int16_t encPred = 0;
  rktest::EncodeBlock(out, source.data(), &encPred, table->dcCodeTable[0], table->acCodeTable[0],
                      table->zigzag);
  const uint32_t end = out.bitPos();
  out.Flush();
  ExactBytes bytes(out.bytes());
  Block block = Junk();
  int16_t predictor = 0;
  EXPECT_EQ(Decode(bytes, 0, block, predictor), DecodeStatus::kOk);
  EXPECT_EQ(block, source);
  EXPECT_EQ(table->bitPos, end);
}

TEST_F(DecodeBlockTest, PredictorWrapsAt16Bits) {
  // Difference +2047 onto 32000 wraps to -31489.
  rktest::HuffBitWriter out;
  out.PutCode(table->dcCodeTable[0][11]);
  out.PutValue(2047, 11);
  out.PutCode(table->acCodeTable[0][0]);
  out.Flush();
  ExactBytes bytes(out.bytes());
  Block block = Junk();
  int16_t predictor = 32000;
  EXPECT_EQ(Decode(bytes, 0, block, predictor), DecodeStatus::kOk);
  EXPECT_EQ(predictor, -31489);
  EXPECT_EQ(block[0], -31489);
}

TEST_F(DecodeBlockTest, RunPastTheLastCoefficientStaysInTheBlock) {
  // Sixty values of 1 then ZRL at k = 61: 16 zeros would reach k = 76.
  rktest::HuffBitWriter out;
  out.PutCode(table->dcCodeTable[0][0]);
  for (int k = 1; k <= 60; ++k) {
    out.PutCode(table->acCodeTable[0][0x01]);
    out.PutValue(1, 1);
  }
  out.PutCode(table->acCodeTable[0][0xF0]);
  const uint32_t end = out.bitPos();
  out.Flush();
  ExactBytes bytes(out.bytes());
  Block block = Junk();
  int16_t predictor = 0;
  EXPECT_EQ(Decode(bytes, 0, block, predictor), DecodeStatus::kBadRun);
  for (int k = 1; k <= 60; ++k) EXPECT_EQ(block[table->zigzag[k]], 1) << k;
  for (int k = 61; k < 64; ++k) EXPECT_EQ(block[table->zigzag[k]], 0) << k;
  EXPECT_EQ(table->bitPos, end);
  EXPECT_EQ(table->decodeError, 0);
}

TEST_F(DecodeBlockTest, WindowWithoutCodeIsReportedNotConsumed) {
  // Sixteen one bits match no DC luminance code (the longest, category 15,
  // is twelve ones and a zero).
  ExactBytes bytes({0x00, 0xFF, 0xFF, 0xFF});
  Block block = Junk();
  int16_t predictor = 9;
  EXPECT_EQ(Decode(bytes, 8, block, predictor), DecodeStatus::kNoCode);
  EXPECT_EQ(table->bitPos, 8u);
  EXPECT_EQ(table->decodeError, 0);
  EXPECT_EQ(predictor, 9);
  EXPECT_EQ(block, Junk());
}

TEST_F(DecodeBlockTest, ErrorLeftSetStopsAfterTheDcSymbol) {
  // The field is checked after the DC symbol, not before: an error the
  // caller left in place consumes that symbol and stores nothing.
  ExactBytes bytes({0x2B});
  table->streamData = bytes.data.get();
  table->streamLength = bytes.size;
  table->bitPos = 0;
  table->decodeError = RK_ERR_RESTART;
  Block block = Junk();
  int16_t predictor = 4;
  EXPECT_EQ(rk::DecodeBlock(table.get(), block.data(), table->dcCodeTable[0], table->acCodeTable[0],
                            nullptr, nullptr, &predictor),
            DecodeStatus::kStreamError);
  EXPECT_EQ(table->bitPos, 2u);
  EXPECT_EQ(table->decodeError, RK_ERR_RESTART);
  EXPECT_EQ(predictor, 4);
  EXPECT_EQ(block, Junk());
}

}  // namespace
