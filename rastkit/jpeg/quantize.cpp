#include "quantize.h"

#include <bit>

namespace rk {

void PrepareDivisors(const uint16_t* quant, QuantDivisors& out) {
  for (int i = 0; i < 64; ++i) {
    const uint64_t q = quant[i] == 0 ? 1 : quant[i];
    out.reciprocal[i] = ((uint64_t{1} << 32) + q - 1) / q;
    out.half[i] = static_cast<uint32_t>(q / 2);
  }
}

void QuantizeBlock(int16_t* block, const QuantDivisors& d) {
  for (int i = 0; i < 64; ++i) {
    const int32_t v = block[i];
    const uint32_t n = static_cast<uint32_t>(v < 0 ? -v : v) + d.half[i];
    const int32_t q = static_cast<int32_t>((n * d.reciprocal[i]) >> 32);
    block[i] = static_cast<int16_t>(v < 0 ? -q : q);
  }
}

bool PrepareReciprocals(const uint16_t* quant, QuantReciprocals& out) {
  for (int i = 0; i < 64; ++i) {
    const uint32_t q = quant[i];
    if (q < 1 || q > kReciprocalMaxEntry) return false;
    const int s = 12 + (q == 1 ? 0 : 32 - std::countl_zero(q - 1));  // 12 + ceil(log2 q): 12 .. 20
    out.mult[i] = static_cast<uint16_t>(((uint32_t{1} << s) + q - 1) / q);  // at most 4096 x 2 - 1
    out.scale[i] = static_cast<uint16_t>(uint32_t{1} << (27 - s));         // 2^15 .. 2^7
    out.half[i] = static_cast<uint16_t>(q / 2);
  }
  return true;
}

namespace reference {

void QuantizeBlock(int16_t* block, const uint16_t* quant) {
  for (int i = 0; i < 64; ++i) {
    const int32_t v = block[i];
    const int32_t q = quant[i];
    block[i] = static_cast<int16_t>(v >= 0 ? (v + q / 2) / q : (v - q / 2) / q);
  }
}

}  // namespace reference
}  // namespace rk
