#include "huffman_tables.h"

#include <cstring>

namespace rk {

uint32_t HuffmanTableDataSize(const uint8_t* bits) {
  uint32_t n = 16;
  for (int i = 0; i < 16; ++i) n += bits[i];
  return n;
}

namespace {

TableBuild BuildCodeTable(std::span<const uint8_t> spec, HuffCodeRec* codes, int count,
                          int maxSymbol) {
  std::memset(codes, 0, sizeof(HuffCodeRec) * static_cast<size_t>(count));
  if (spec.size() < 16) return TableBuild::kInvalid;
  const uint8_t* bits = spec.data();
  const uint32_t total = HuffmanTableDataSize(bits) - 16;
  if (total > static_cast<uint32_t>(count) || spec.size() < 16 + total) return TableBuild::kInvalid;
  const uint8_t* values = spec.data() + 16;
  for (uint32_t k = 0; k < total; ++k) {
    if (values[k] > maxSymbol) return TableBuild::kInvalid;
  }
  // Check the counts before writing: after the codes of length L are
  // assigned the next code must still fit in L bits (e.g. BITS 3 at length 1
  // would need codes 0, 1 and 2 in one bit).
  uint32_t code = 0;
  for (int len = 1; len <= 16; ++len) {
    code += bits[len - 1];
    if (code > (1u << len)) return TableBuild::kInvalid;
    code <<= 1;
  }
  code = 0;
  uint32_t k = 0;
  for (int len = 1; len <= 16; ++len) {
    for (int i = 0; i < bits[len - 1]; ++i, ++k) {
      codes[values[k]] = HuffCodeRec{static_cast<uint16_t>(code), static_cast<uint16_t>(len)};
      ++code;
    }
    code <<= 1;
  }
  return TableBuild::kOk;
}

}  // namespace

TableBuild BuildDcCodeTable(std::span<const uint8_t> spec, HuffCodeRec* codes) {
  return BuildCodeTable(spec, codes, kDcCodeCount, 15);
}

TableBuild BuildAcCodeTable(std::span<const uint8_t> spec, HuffCodeRec* codes) {
  return BuildCodeTable(spec, codes, kAcCodeCount, 255);
}

void BuildDecodeLut(const HuffCodeRec* codes, int count, uint8_t* lut) {
  // Windows that no code covers get a symbol without a code, so that a
  // lookup of corrupt data finds "no match" as the code search does,
  // instead of a symbol left from an earlier table. DC tables use 255 (not
  // a category); an AC table uses its first symbol without a code, if any.
  int none = 255;
  if (count > 16) {
    none = 0;
    while (none < count - 1 && codes[none].length != 0) ++none;
  }
  std::memset(lut, none, kLutEntries);
  for (int s = 0; s < count; ++s) {
    const uint32_t len = codes[s].length;
    if (len == 0 || len > 16 || codes[s].code >= (1u << len)) continue;
    const uint32_t shift = 16 - len;
    std::memset(lut + (static_cast<uint32_t>(codes[s].code) << shift), s, size_t{1} << shift);
  }
}

}  // namespace rk
