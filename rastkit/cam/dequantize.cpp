#include "cam/kernels.h"

namespace rk {

// The low 16 bits of a product do not depend on the signedness of its
// factors, so the multiply runs on unsigned values (which compilers
// vectorise as 16-bit lanes) and the result is reinterpreted as signed. The
// factors are widened to 32-bit unsigned first: two uint16_t would promote
// to int, and 65535 * 65535 overflows int.
void DequantizeBlock(int16_t* block, const uint16_t* quant) {
  for (int i = 0; i < 64; ++i) {
    const uint32_t coefficient = static_cast<uint16_t>(block[i]);
    block[i] = static_cast<int16_t>(static_cast<uint16_t>(coefficient * quant[i]));
  }
}

namespace reference {

void DequantizeBlock(int16_t* block, const uint16_t* quant) {
  for (int i = 0; i < 64; ++i) {
    const int32_t product = static_cast<int32_t>(block[i]) * static_cast<int32_t>(quant[i]);
    block[i] = static_cast<int16_t>(product);  // mod 2^16
  }
}

}  // namespace reference
}  // namespace rk
