#include "huffman_encode.h"

#include <bit>

namespace rk {
namespace {

constexpr int kZrl = 0xF0;
constexpr int kEob = 0x00;

}  // namespace

void PackCodes(const HuffCodeRec* dcTable, const HuffCodeRec* acTable, PackedCodes& out) {
  auto pack = [](const HuffCodeRec& c) {
    const uint32_t length = static_cast<uint32_t>(CodeLength(c));
    return length == 0 ? 0u : length << 16 | CodeBits(c);
  };
  bool complete = true;
  for (int s = 0; s < 16; ++s) {
    out.dc[s] = pack(dcTable[s]);
    if (s <= 12) complete &= out.dc[s] != 0;
  }
  for (int sym = 0; sym < 256; ++sym) {
    out.ac[sym] = pack(acTable[sym]);
    const uint32_t e = out.ac[sym];
    const uint32_t bits = static_cast<uint32_t>(sym & 15);
    out.acWithRoom[sym] = e == 0 ? 0 : uint64_t{(e >> 16) + bits} << 32 | (e & 0xFFFF) << bits;
    const int size = sym & 15;
    if (size >= 1 && size <= 10) complete &= out.ac[sym] != 0;
  }
  complete &= out.ac[kEob] != 0 && out.ac[kZrl] != 0;
  out.complete = complete;
}

bool EncodeBlock(BitWriter& w, const int16_t* block, const int16_t* zigzag, const HuffCodeRec* dcTable,
                 const HuffCodeRec* acTable, int16_t* predictor) {
  bool ok = true;
  const int16_t dcValue = block[zigzag[0]];
  const int32_t diff = static_cast<int16_t>(dcValue - *predictor);
  *predictor = dcValue;
  int s = SizeOf(diff);
  if (s > 15) return false;
  HuffCodeRec code = dcTable[s];
  ok &= CodeLength(code) != 0;
  w.Put((CodeBits(code) << s) | ValueBits(diff, s), CodeLength(code) + s);

  int16_t coef[64];
  uint64_t nonzero = 0;
  for (int k = 1; k < 64; ++k) {
    coef[k] = block[zigzag[k]];
    nonzero |= static_cast<uint64_t>(coef[k] != 0) << k;
  }
  int last = 0;
  while (nonzero != 0) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    while (run > 15) {
      ok &= CodeLength(acTable[kZrl]) != 0;
      w.Put(CodeBits(acTable[kZrl]), CodeLength(acTable[kZrl]));
      run -= 16;
    }
    const int32_t v = coef[k];
    s = SizeOf(v);
    if (s > 15) return false;
    code = acTable[run * 16 + s];
    ok &= CodeLength(code) != 0;
    w.Put((CodeBits(code) << s) | ValueBits(v, s), CodeLength(code) + s);
    last = k;
  }
  if (last != 63) {
    ok &= CodeLength(acTable[kEob]) != 0;
    w.Put(CodeBits(acTable[kEob]), CodeLength(acTable[kEob]));
  }
  return ok;
}

bool CountBlock(const int16_t* block, const int16_t* zigzag, int16_t* predictor, uint32_t* dcCounts,
                uint32_t* acCounts) {
  const int16_t dcValue = block[zigzag[0]];
  const int32_t diff = static_cast<int16_t>(dcValue - *predictor);
  *predictor = dcValue;
  const int s = SizeOf(diff);
  if (s > 15) return false;
  ++dcCounts[s];
  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int32_t v = block[zigzag[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16) ++acCounts[kZrl];
    const int size = SizeOf(v);
    if (size > 15) return false;
    ++acCounts[run * 16 + size];
    run = 0;
  }
  if (block[zigzag[63]] == 0) ++acCounts[kEob];
  return true;
}

namespace reference {

bool EncodeBlock(BitWriter& w, const int16_t* block, const int16_t* zigzag, const HuffCodeRec* dcTable,
                 const HuffCodeRec* acTable, int16_t* predictor) {
  bool ok = true;
  auto putCode = [&](const HuffCodeRec& c) {
    ok &= CodeLength(c) != 0;
    w.Put(CodeBits(c), CodeLength(c));
  };
  const int16_t dcValue = block[zigzag[0]];
  const int16_t diff = static_cast<int16_t>(dcValue - *predictor);
  *predictor = dcValue;
  int s = 0;
  while (s < 16 && (diff < 0 ? -diff : diff) > (1 << s) - 1) ++s;
  if (s > 15) return false;
  putCode(dcTable[s]);
  if (s > 0) w.Put(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff) & ((1u << s) - 1), s);

  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int v = block[zigzag[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    while (run > 15) {
      putCode(acTable[kZrl]);
      run -= 16;
    }
    s = 0;
    while (s < 16 && (v < 0 ? -v : v) > (1 << s) - 1) ++s;
    if (s > 15) return false;
    putCode(acTable[run * 16 + s]);
    w.Put(static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << s) - 1), s);
    run = 0;
  }
  if (block[zigzag[63]] == 0) putCode(acTable[kEob]);
  return ok;
}

}  // namespace reference
}  // namespace rk
