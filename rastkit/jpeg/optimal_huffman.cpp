#include "optimal_huffman.h"

#include <algorithm>

namespace rk {

uint32_t BuildOptimalHuffmanTable(ModuleTableRec* table, uint8_t* out) {
  if (table == nullptr || table->progStats == nullptr || out == nullptr) return 0;
  if (table->statsSwitch < 1 || table->statsSwitch > 4) return 0;
  auto& stats = *static_cast<HuffmanStatistics*>(table->progStats);
  uint32_t* freq = stats.freq[table->statsSwitch - 1];
  uint16_t* codeSize = stats.codeSize;
  int16_t* chain = stats.chain;
  freq[256] = 1;
  std::fill_n(codeSize, 257, uint16_t{0});
  std::fill_n(chain, 257, int16_t{-1});

  for (;;) {
    // The search keeps the last of equal frequencies: with counts
    // {3: 5, 7: 5, 256: 1} it takes 256, then 7 (not 3) as the second.
    int a = -1;
    uint32_t least = UINT32_MAX;
    for (int i = 0; i <= 256; ++i) {
      if (freq[i] != 0 && freq[i] <= least) {
        least = freq[i];
        a = i;
      }
    }
    int b = -1;
    least = UINT32_MAX;
    for (int i = 0; i <= 256; ++i) {
      if (freq[i] != 0 && freq[i] <= least && i != a) {
        least = freq[i];
        b = i;
      }
    }
    if (b < 0) break;
    freq[a] += freq[b];
    freq[b] = 0;
    // Every symbol of both subtrees moves one level down; b's chain is
    // appended to a's.
    ++codeSize[a];
    while (chain[a] >= 0) {
      a = chain[a];
      ++codeSize[a];
    }
    chain[a] = static_cast<int16_t>(b);
    ++codeSize[b];
    while (chain[b] >= 0) {
      b = chain[b];
      ++codeSize[b];
    }
  }

  uint16_t* count = stats.lengthCount;
  std::fill_n(count, 33, uint16_t{0});
  for (int i = 0; i <= 256; ++i) {
    if (codeSize[i] == 0) continue;
    if (codeSize[i] > 32) return 0;
    ++count[codeSize[i]];
  }

  // Figure K.3: a pair at length i > 16 becomes one code at i - 1 (the
  // pair's prefix) and the other goes below the longest shorter code j,
  // which turns into two codes at j + 1.
  for (int i = 32; i > 16; --i) {
    while (count[i] > 0) {
      int j = i - 2;
      while (j > 0 && count[j] == 0) --j;
      if (j == 0) return 0;  // cannot happen for a Huffman tree
      count[i] = static_cast<uint16_t>(count[i] - 2);
      ++count[i - 1];
      count[j + 1] = static_cast<uint16_t>(count[j + 1] + 2);
      --count[j];
    }
  }
  // The reserved symbol's code leaves from the longest length in use.
  int longest = 16;
  while (longest > 0 && count[longest] == 0) --longest;
  if (longest > 0) --count[longest];

  for (int len = 1; len <= 16; ++len) out[len - 1] = static_cast<uint8_t>(count[len]);
  uint32_t n = 16;
  for (int size = 1; size <= 32; ++size) {
    for (int s = 0; s <= 255; ++s) {
      if (codeSize[s] == size) out[n++] = static_cast<uint8_t>(s);
    }
  }
  return n;
}

}  // namespace rk
