#include "huff_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace rktest {

void HuffBitWriter::PutBits(uint32_t bits, unsigned n) {
  for (unsigned i = n; i-- > 0;) {
    acc_ = (acc_ << 1) | ((bits >> i) & 1u);
    if (++used_ == 8) {
      bytes_.push_back(static_cast<uint8_t>(acc_));
      if (acc_ == 0xFF) bytes_.push_back(0x00);
      acc_ = 0;
      used_ = 0;
    }
  }
}

void HuffBitWriter::PutValue(int32_t v, unsigned size) {
  if (size == 0) return;
  const uint32_t bits = v >= 0 ? static_cast<uint32_t>(v) : static_cast<uint32_t>(v + (1 << size) - 1);
  PutBits(bits & ((1u << size) - 1), size);
}

void HuffBitWriter::Flush() {
  if (used_ > 0) PutBits(0xFF, 8 - used_);
}

void HuffBitWriter::PutMarker(uint8_t marker) {
  Flush();
  bytes_.push_back(0xFF);
  bytes_.push_back(marker);
}

void HuffBitWriter::PutRawByte(uint8_t byte) {
  Flush();
  bytes_.push_back(byte);
}

unsigned SizeOf(int32_t v) {
  unsigned a = static_cast<unsigned>(std::abs(v));
  unsigned s = 0;
  while (a != 0) {
    ++s;
    a >>= 1;
  }
  return s;
}

void EncodeBlock(HuffBitWriter& out, const int16_t* block, int16_t* predictor,
                 const HuffCodeRec* dc, const HuffCodeRec* ac, const int16_t* zigzag) {
  auto put = [&](const HuffCodeRec& code, unsigned symbol) {
    if (code.length == 0) ADD_FAILURE() << "no code for symbol " << symbol;
    out.PutCode(code);
  };
  const int32_t diff = block[0] - *predictor;
  *predictor = block[0];
  const unsigned cat = SizeOf(diff);
  put(dc[cat], cat);
  out.PutValue(diff, cat);
  unsigned run = 0;
  for (int k = 1; k < 64; ++k) {
    const int16_t v = block[zigzag[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    while (run >= 16) {
      put(ac[0xF0], 0xF0);
      run -= 16;
    }
    const unsigned size = SizeOf(v);
    const unsigned symbol = (run << 4) | size;
    put(ac[symbol], symbol);
    out.PutValue(v, size);
    run = 0;
  }
  if (run > 0) put(ac[0x00], 0);
}

std::vector<uint8_t> MakeLut(const HuffCodeRec* codes, unsigned count) {
  std::vector<uint8_t> lut(65536, 0);
  for (unsigned s = 0; s < count; ++s) {
    const unsigned len = codes[s].length;
    if (len == 0 || len > 16 || (codes[s].code >> len) != 0) continue;
    const uint32_t first = static_cast<uint32_t>(codes[s].code) << (16 - len);
    for (uint32_t i = 0; i < (1u << (16 - len)); ++i) lut[first + i] = static_cast<uint8_t>(s);
  }
  return lut;
}

}  // namespace rktest
