// The YccToRgb / RgbToYcc kernels, on the arithmetic of color.h.
#include "cam/color.h"

#include "cam/kernels.h"

namespace rk {

namespace {

inline void YccPixel(int16_t& y, int16_t& cb, int16_t& cr) {
  const RgbValues rgb = YccToRgbValues(y, cb, cr);
  y = static_cast<int16_t>(rgb.red);
  cb = static_cast<int16_t>(rgb.green);
  cr = static_cast<int16_t>(rgb.blue);
}

inline void RgbPixel(int16_t& r, int16_t& g, int16_t& b) {
  const int32_t y = LumaOf(r, g, b);
  const int32_t cb = CbOf(r, g, b);
  const int32_t cr = CrOf(r, g, b);
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
