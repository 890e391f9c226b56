#include "forward_dct.h"

namespace rk {
namespace {

constexpr int32_t kK = kDctK, kC1 = kDctC1, kC2 = kDctC2, kC3 = kDctC3, kC5 = kDctC5, kC6 = kDctC6, kC7 = kDctC7;

// Bounds for inputs |x| <= 128: a row output is at most
// (K x 8 x 128 + 2^15) >> 16 = 362 (DC) and, for the odd terms,
// (c1 + c3 + c5 + c7) x 256 >> 16 = 327. The column pass then sees
// |x| <= 362, so its largest product sum is K x 8 x 362 = 67 M, and its odd
// sums (c1 + c3 + c5 + c7) x 724 = 61 M: both far inside 2^31.
static_assert(int64_t{kK} * 8 * 362 + 32768 < (int64_t{1} << 31));
static_assert(int64_t{kC1 + kC3 + kC5 + kC7} * 724 + 32768 < (int64_t{1} << 31));
static_assert(int64_t{kC2 + kC6} * 2 * 724 + 32768 < (int64_t{1} << 31));

inline int32_t Round16(int32_t v) { return (v + 32768) >> 16; }

struct Constants {
  int32_t k, c1, c2, c3, c5, c6, c7;
};

// The 8-point transform of one vector, read with stride `step`.
template <typename In>
inline void Transform8(const In* x, int step, const Constants& c, int32_t out[8]) {
  const int32_t x0 = static_cast<int32_t>(x[0 * step]), x1 = static_cast<int32_t>(x[1 * step]);
  const int32_t x2 = static_cast<int32_t>(x[2 * step]), x3 = static_cast<int32_t>(x[3 * step]);
  const int32_t x4 = static_cast<int32_t>(x[4 * step]), x5 = static_cast<int32_t>(x[5 * step]);
  const int32_t x6 = static_cast<int32_t>(x[6 * step]), x7 = static_cast<int32_t>(x[7 * step]);
  const int32_t a0 = x0 + x7, a1 = x1 + x6, a2 = x2 + x5, a3 = x3 + x4;
  const int32_t d0 = x0 - x7, d1 = x1 - x6, d2 = x2 - x5, d3 = x3 - x4;
  out[0] = Round16(c.k * (a0 + a1 + a2 + a3));
  out[4] = Round16(c.k * ((a0 + a3) - (a1 + a2)));
  out[2] = Round16(c.c2 * (a0 - a3) + c.c6 * (a1 - a2));
  out[6] = Round16(c.c6 * (a0 - a3) - c.c2 * (a1 - a2));
  out[1] = Round16(c.c1 * d0 + c.c3 * d1 + c.c5 * d2 + c.c7 * d3);
  out[3] = Round16(c.c3 * d0 - c.c7 * d1 - c.c1 * d2 - c.c5 * d3);
  out[5] = Round16(c.c5 * d0 - c.c1 * d1 + c.c7 * d2 + c.c3 * d3);
  out[7] = Round16(c.c7 * d0 - c.c5 * d1 + c.c3 * d2 - c.c1 * d3);
}

}  // namespace

bool HasStandardTransformConstants(const ModuleTableRec& table) {
  const int16_t* k = table.idctConst;
  return k[0] == kK && k[2] == kC1 && k[3] == kC2 && k[4] == kC3 && k[5] == kC7 && k[6] == kC6 &&
         k[7] == kC5;
}

void ForwardDct(uint32_t* coefScratch, int16_t* block) {
  // Rows: the column loop below is written over all eight columns at once
  // so that the compiler can keep them in vector registers.
  int32_t rows[64];
  for (int r = 0; r < 8; ++r) {
    const int16_t* x = block + 8 * r;
    const int32_t a0 = x[0] + x[7], a1 = x[1] + x[6], a2 = x[2] + x[5], a3 = x[3] + x[4];
    const int32_t d0 = x[0] - x[7], d1 = x[1] - x[6], d2 = x[2] - x[5], d3 = x[3] - x[4];
    int32_t* o = rows + 8 * r;
    o[0] = Round16(kK * (a0 + a1 + a2 + a3));
    o[4] = Round16(kK * ((a0 + a3) - (a1 + a2)));
    o[2] = Round16(kC2 * (a0 - a3) + kC6 * (a1 - a2));
    o[6] = Round16(kC6 * (a0 - a3) - kC2 * (a1 - a2));
    o[1] = Round16(kC1 * d0 + kC3 * d1 + kC5 * d2 + kC7 * d3);
    o[3] = Round16(kC3 * d0 - kC7 * d1 - kC1 * d2 - kC5 * d3);
    o[5] = Round16(kC5 * d0 - kC1 * d1 + kC7 * d2 + kC3 * d3);
    o[7] = Round16(kC7 * d0 - kC5 * d1 + kC3 * d2 - kC1 * d3);
  }
  for (int i = 0; i < 64; ++i) coefScratch[i] = static_cast<uint32_t>(rows[i]);
  for (int c = 0; c < 8; ++c) {
    const int32_t a0 = rows[c] + rows[56 + c], a1 = rows[8 + c] + rows[48 + c];
    const int32_t a2 = rows[16 + c] + rows[40 + c], a3 = rows[24 + c] + rows[32 + c];
    const int32_t d0 = rows[c] - rows[56 + c], d1 = rows[8 + c] - rows[48 + c];
    const int32_t d2 = rows[16 + c] - rows[40 + c], d3 = rows[24 + c] - rows[32 + c];
    block[c] = static_cast<int16_t>(Round16(kK * (a0 + a1 + a2 + a3)));
    block[32 + c] = static_cast<int16_t>(Round16(kK * ((a0 + a3) - (a1 + a2))));
    block[16 + c] = static_cast<int16_t>(Round16(kC2 * (a0 - a3) + kC6 * (a1 - a2)));
    block[48 + c] = static_cast<int16_t>(Round16(kC6 * (a0 - a3) - kC2 * (a1 - a2)));
    block[8 + c] = static_cast<int16_t>(Round16(kC1 * d0 + kC3 * d1 + kC5 * d2 + kC7 * d3));
    block[24 + c] = static_cast<int16_t>(Round16(kC3 * d0 - kC7 * d1 - kC1 * d2 - kC5 * d3));
    block[40 + c] = static_cast<int16_t>(Round16(kC5 * d0 - kC1 * d1 + kC7 * d2 + kC3 * d3));
    block[56 + c] = static_cast<int16_t>(Round16(kC7 * d0 - kC5 * d1 + kC3 * d2 - kC1 * d3));
  }
}

namespace reference {

void ForwardDct(const ModuleTableRec& table, int16_t* block) {
  const int16_t* k = table.idctConst;
  // idctConst holds r, c4, c1, c2, c3, s1, s2, s3; s1 = c7, s2 = c6, s3 = c5.
  const Constants c{k[0], k[2], k[3], k[4], k[7], k[6], k[5]};
  uint32_t* scratch = table.coefScratch;
  for (int r = 0; r < 8; ++r) {
    int32_t out[8];
    Transform8(block + 8 * r, 1, c, out);
    for (int i = 0; i < 8; ++i) scratch[8 * r + i] = static_cast<uint32_t>(out[i]);
  }
  for (int col = 0; col < 8; ++col) {
    int32_t in[8], out[8];
    for (int i = 0; i < 8; ++i) in[i] = static_cast<int32_t>(scratch[8 * i + col]);
    Transform8(in, 1, c, out);
    for (int i = 0; i < 8; ++i) block[8 * i + col] = static_cast<int16_t>(out[i]);
  }
}

}  // namespace reference
}  // namespace rk
