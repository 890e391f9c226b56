// Colour conversion between RGB and YCbCr with 8-bit fixed-point weights
// (the T.81/JFIF matrix times 256, rounded): 359 = 1.402 * 256,
// 88 = 0.34414 * 256, 182 = 0.71414 * 256, 454 = 1.772 * 256; and
// 77/150/29 = 0.299/0.587/0.114 * 256 for luminance.
#include <algorithm>

#include "cam/kernels.h"

namespace rk {

namespace {

inline int16_t Clamp255(int32_t v) { return static_cast<int16_t>(std::clamp(v, 0, 255)); }

// Inputs are any 16-bit values: every product and sum stays well inside 32
// bits (454 * 32768 + 256 * 32768 < 2^31).
inline void YccPixel(int16_t& y, int16_t& cb, int16_t& cr) {
  const int32_t Y = 256 * y + 128;
  const int32_t r = (Y + 359 * cr) >> 8;
  const int32_t g = (Y - 88 * cb - 182 * cr) >> 8;
  const int32_t b = (Y + 454 * cb) >> 8;
  y = Clamp255(r);
  cb = Clamp255(g);
  cr = Clamp255(b);
}

inline void RgbPixel(int16_t& r, int16_t& g, int16_t& b) {
  const int32_t y = (77 * r + 150 * g + 29 * b + 128) >> 8;
  const int32_t cb = (-43 * r - 85 * g + 128 * b + 128) >> 8;
  const int32_t cr = (128 * r - 107 * g - 21 * b + 128) >> 8;
  r = static_cast<int16_t>(y);
  g = static_cast<int16_t>(cb);
  b = static_cast<int16_t>(cr);
}

}  // namespace

void YccToRgb(int16_t* y, int16_t* cb, int16_t* cr) { YccPixel(*y, *cb, *cr); }

void RgbToYcc(int16_t* r, int16_t* g, int16_t* b) { RgbPixel(*r, *g, *b); }

void YccToRgbRow(int16_t* y, int16_t* cb, int16_t* cr, size_t count) {
  for (size_t i = 0; i < count; ++i) YccPixel(y[i], cb[i], cr[i]);
}

void RgbToYccRow(int16_t* r, int16_t* g, int16_t* b, size_t count) {
  for (size_t i = 0; i < count; ++i) RgbPixel(r[i], g[i], b[i]);
}

}  // namespace rk
