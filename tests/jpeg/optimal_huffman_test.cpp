// BuildOptimalHuffmanTable on chosen frequencies. (Its agreement with
// libjpeg's builder on real scans is proved in progressive_encode_test.)
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "jpeg/huffman_tables.h"
#include "jpeg/optimal_huffman.h"
#include "test_images.h"

namespace {

struct Built {
  std::vector<uint8_t> bits;     // lengths 1..16
  std::vector<uint8_t> symbols;  // HUFFVAL
  uint32_t size = 0;
};

Built Build(const std::map<int, uint32_t>& freq, int16_t which = 1) {
  rktest::ModuleTable table;
  rk::HuffmanStatistics stats{};
  for (const auto& [symbol, count] : freq) stats.freq[which - 1][symbol] = count;
  table->progStats = &stats;
  table->statsSwitch = which;
  uint8_t out[rk::kMaxDhtTableBytes] = {};
  Built b;
  b.size = rk::BuildOptimalHuffmanTable(table.get(), out);
  table->progStats = nullptr;
  if (b.size >= 16) {
    b.bits.assign(out, out + 16);
    b.symbols.assign(out + 16, out + b.size);
  }
  return b;
}

std::vector<uint8_t> Bits(std::initializer_list<uint8_t> leading) {
  std::vector<uint8_t> v(leading);
  v.resize(16, 0);
  return v;
}

TEST(OptimalHuffman, SmallTablesAsTheProcedureGives) {
  // One symbol: it and the reserved symbol share the two 1-bit codes; the
  // reserved one leaves.
  Built b = Build({{0x00, 5}});
  EXPECT_EQ(b.bits, Bits({1}));
  EXPECT_EQ(b.symbols, (std::vector<uint8_t>{0x00}));
  // Equal frequencies: the search keeps the last, so 256 pairs with 7, not
  // 3, and 3 gets the 1-bit code (with the first one found it would be 7).
  b = Build({{3, 5}, {7, 5}});
  EXPECT_EQ(b.bits, Bits({1, 1}));
  EXPECT_EQ(b.symbols, (std::vector<uint8_t>{3, 7}));
  // The second frequency table, chosen by the switch.
  b = Build({{4, 9}, {1, 2}, {2, 2}}, 2);
  EXPECT_EQ(b.size, 16u + 3u);
  EXPECT_EQ(b.bits, Bits({1, 1, 1}));
  EXPECT_EQ(b.symbols, (std::vector<uint8_t>{4, 1, 2}));
}

// Frequencies 1, 2, 3, 5, 8 ... (Fibonacci beside the reserved symbol's 1)
// make a tree as deep as there are symbols: 20 symbols give codes of 1 to
// 20 bits, limited to 16 (Figure K.3: thirteen codes of 1..13 bits and
// seven of 16); 33 symbols need 33 bits and fail.
std::map<int, uint32_t> Fibonacci(int n) {
  std::map<int, uint32_t> freq;
  uint32_t a = 1, b = 2;
  for (int s = 0; s < n; ++s) {
    freq[s] = a;
    const uint32_t next = a + b;
    a = b;
    b = next;
  }
  return freq;
}

TEST(OptimalHuffman, LimitsLengthsTo16AndFailsPast32) {
  const Built limited = Build(Fibonacci(20));
  ASSERT_EQ(limited.size, 16u + 20u);
  EXPECT_EQ(limited.bits, (std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 7}));
  // By length, then by value: 19 (the most frequent) has the 1-bit code.
  EXPECT_EQ(limited.symbols, (std::vector<uint8_t>{19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3,
                                                    2, 1, 0}));
  std::vector<uint8_t> dht(limited.bits);
  dht.insert(dht.end(), limited.symbols.begin(), limited.symbols.end());
  HuffCodeRec codes[256];
  EXPECT_EQ(rk::BuildAcCodeTable(dht, codes), rk::TableBuild::kOk);

  EXPECT_EQ(Build(Fibonacci(32)).size, 16u + 32u);
  EXPECT_EQ(Build(Fibonacci(33)).size, 0u);
}

TEST(OptimalHuffman, NeedsTheStatisticsAreaAndASwitch) {
  rktest::ModuleTable table;
  uint8_t out[rk::kMaxDhtTableBytes];
  table->statsSwitch = 1;
  EXPECT_EQ(rk::BuildOptimalHuffmanTable(table.get(), out), 0u);
  rk::HuffmanStatistics stats{};
  table->progStats = &stats;
  table->statsSwitch = 0;
  EXPECT_EQ(rk::BuildOptimalHuffmanTable(table.get(), out), 0u);
  table->progStats = nullptr;
}

}  // namespace
