// Huffman table builders and the decode lookup buffers.
#include <gtest/gtest.h>

#include <random>

#include "jpeg/huffman_tables.h"
#include "test_images.h"

namespace {

using rk::TableBuild;

std::vector<uint8_t> Spec(std::initializer_list<uint8_t> bits, std::vector<uint8_t> values) {
  std::vector<uint8_t> s(bits);
  s.resize(16, 0);
  s.insert(s.end(), values.begin(), values.end());
  return s;
}

TEST(HuffmanTables, DataSizeIsBitsPlusOneBytePerCode) {
  const auto s = Spec({0, 1, 5, 1, 1, 1, 1, 1, 1}, {});
  EXPECT_EQ(rk::HuffmanTableDataSize(s.data()), 16u + 12u);
  std::vector<uint8_t> full(16, 255);
  EXPECT_EQ(rk::HuffmanTableDataSize(full.data()), 16u + 16u * 255u);  // no 8-bit wrap
}

TEST(HuffmanTables, StandardDcTableGivesTheModuleTableDefaults) {
  rktest::ModuleTable defaults;
  HuffCodeRec built[16];
  const auto s = Spec({0, 1, 5, 1, 1, 1, 1, 1, 1}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  ASSERT_EQ(rk::BuildDcCodeTable(s, built), TableBuild::kOk);
  for (int c = 0; c < 12; ++c) {
    EXPECT_EQ(built[c].code, defaults->dcCodeTable[0][c].code) << c;
    EXPECT_EQ(built[c].length, defaults->dcCodeTable[0][c].length) << c;
  }
  EXPECT_EQ(built[12].length, 0);  // the stream's table stops at 11
}

TEST(HuffmanTables, CodesCountUpAndShiftAtEachLength) {
  HuffCodeRec built[256];
  // Lengths 2, 2, 3, 5: codes 00, 01, 100, 10100 for symbols 0x31, 0x05, 0xF0, 0x00.
  const auto s = Spec({0, 2, 1, 0, 1}, {0x31, 0x05, 0xF0, 0x00});
  ASSERT_EQ(rk::BuildAcCodeTable(s, built), TableBuild::kOk);
  EXPECT_EQ(built[0x31].code, 0b00);
  EXPECT_EQ(built[0x05].code, 0b01);
  EXPECT_EQ(built[0xF0].code, 0b100);
  EXPECT_EQ(built[0x00].code, 0b10100);
  EXPECT_EQ(built[0x00].length, 5);
  EXPECT_EQ(built[0x01].length, 0);
}

struct BadSpec {
  const char* name;
  bool dc;
  std::vector<uint8_t> spec;
};

class RefusedSpec : public ::testing::TestWithParam<BadSpec> {};

TEST_P(RefusedSpec, LeavesTheTableCleared) {
  HuffCodeRec built[256];
  std::fill(std::begin(built), std::end(built), HuffCodeRec{0x1234, 9});
  const auto& p = GetParam();
  const TableBuild r = p.dc ? rk::BuildDcCodeTable(p.spec, built) : rk::BuildAcCodeTable(p.spec, built);
  EXPECT_EQ(r, TableBuild::kInvalid);
  for (int s = 0; s < (p.dc ? 16 : 256); ++s) ASSERT_EQ(built[s].length, 0) << s;
  if (p.dc) {
    EXPECT_EQ(built[16].length, 9);  // nothing beyond the 16 DC entries
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedSpec,
    ::testing::Values(BadSpec{"dcSymbolAbove15", true, Spec({0, 1}, {16})},
                      BadSpec{"dcMoreThan16Codes", true, Spec({0, 0, 0, 0, 17}, std::vector<uint8_t>(17, 1))},
                      BadSpec{"threeCodesOfOneBit", false, Spec({3}, {1, 2, 3})},
                      // 0, 1 use up one bit; a code of two bits no longer fits.
                      BadSpec{"overfullAtLength2", false, Spec({2, 1}, {1, 2, 3})},
                      // One code at each length 1..15 leaves room for two of 16 bits, not three.
                      BadSpec{"overfullAtLength16", false,
                              Spec({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3}, std::vector<uint8_t>(18, 1))},
                      BadSpec{"shorterThanItsCounts", false, Spec({0, 4}, {1, 2})}),
    [](const auto& info) { return std::string(info.param.name); });

// Every 16-bit window maps to the symbol whose code is its prefix; windows
// no code covers map to a symbol without a code.
TEST(HuffmanTables, LookupBufferAgreesWithPrefixSearch) {
  std::mt19937 rng(3);
  for (int round = 0; round < 20; ++round) {
    // A random complete or incomplete AC code.
    std::vector<uint8_t> bits(16, 0);
    uint32_t room = 2;
    int total = 0;
    for (int len = 1; len <= 16 && total < 200; ++len) {
      const uint32_t n = std::min<uint32_t>(room, rng() % 6);
      bits[len - 1] = static_cast<uint8_t>(n);
      total += static_cast<int>(n);
      room = (room - n) * 2;
    }
    std::vector<uint8_t> symbols(256);
    for (int i = 0; i < 256; ++i) symbols[i] = static_cast<uint8_t>(i);
    std::shuffle(symbols.begin(), symbols.end(), rng);
    std::vector<uint8_t> spec = bits;
    spec.insert(spec.end(), symbols.begin(), symbols.begin() + total);
    HuffCodeRec codes[256];
    ASSERT_EQ(rk::BuildAcCodeTable(spec, codes), TableBuild::kOk);
    std::vector<uint8_t> lut(65536, 0x5A);
    rk::BuildDecodeLut(codes, 256, lut.data());
    for (uint32_t w = 0; w < 65536; ++w) {
      int match = -1;
      for (int s = 0; s < 256 && match < 0; ++s) {
        const uint32_t len = codes[s].length;
        if (len > 0 && (w >> (16 - len)) == codes[s].code) match = s;
      }
      if (match >= 0) {
        ASSERT_EQ(lut[w], match) << round << " " << w;
      } else {
        ASSERT_EQ(codes[lut[w]].length, 0) << round << " " << w;
      }
    }
  }
}

TEST(HuffmanTables, LookupSkipsCodesThatDoNotFitTheirLength) {
  HuffCodeRec codes[16] = {};
  codes[3] = {0x1FF, 8};  // nine bits claimed as eight: a damaged table
  codes[4] = {0x1, 1};
  std::vector<uint8_t> lut(65536, 0);
  rk::BuildDecodeLut(codes, 16, lut.data());
  EXPECT_EQ(lut[0x8000], 4);
  EXPECT_EQ(lut[0x0000], 255);
}

}  // namespace
