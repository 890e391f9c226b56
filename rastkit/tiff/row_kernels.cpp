#include "tiff/row_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace rk::tiff {

namespace reference {

void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t a = src[3 * i], b = src[3 * i + 1], c = src[3 * i + 2];
    dst[3 * i] = c;
    dst[3 * i + 1] = b;
    dst[3 * i + 2] = a;
  }
}

void InterleaveBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    dst[3 * i] = blue[i];
    dst[3 * i + 1] = green[i];
    dst[3 * i + 2] = red[i];
  }
}

}  // namespace reference

#if defined(__SSE2__)
namespace {

__m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Four (b, g, r, 0) words to their twelve bytes at the bottom, zeros above:
// per 64-bit half pixel 0 stays in bytes 0-2 and pixel 1 moves down to 3-5,
// then the upper half's six bytes move down beside the lower half's.
__m128i Pack4(__m128i v) {
  const __m128i even = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i odd = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000), 0x0000FFFF,
                                    static_cast<int>(0xFF000000));
  const __m128i q = _mm_or_si128(_mm_and_si128(v, even), _mm_and_si128(_mm_srli_epi64(v, 8), odd));
  return _mm_or_si128(_mm_move_epi64(q), _mm_slli_si128(_mm_srli_si128(q, 8), 6));
}

// With SSSE3 one byte shuffle swaps the five whole pixels of 15 bytes;
// each step stores 16 bytes, the last of which the next step rewrites, so
// the steps stop while a pixel still follows them.
// Returns the pixels done.
__attribute__((target("ssse3"))) size_t SwapRedBlueSsse3(const uint8_t* src, uint8_t* dst, size_t pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  size_t i = 0;
  for (; i + 6 <= pixels; i += 5) Store(dst + 3 * i, _mm_shuffle_epi8(Load(src + 3 * i), order));
  return i;
}

// Machines without SSSE3 (before 2006) take the plain loop.
const bool kHasSsse3 = [] {
  __builtin_cpu_init();  // this may run before the compiler's own start-up code
  return __builtin_cpu_supports("ssse3") != 0;
}();

}  // namespace

void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels) {
  const size_t done = kHasSsse3 ? SwapRedBlueSsse3(src, dst, pixels) : 0;
  reference::SwapRedBlue(src + 3 * done, dst + 3 * done, pixels - done);
}

void InterleaveBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels) {
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const __m128i r = Load(red + i), g = Load(green + i), b = Load(blue + i);
    const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
    const __m128i rLo = _mm_unpacklo_epi8(r, zero), rHi = _mm_unpackhi_epi8(r, zero);
    const __m128i p0 = Pack4(_mm_unpacklo_epi16(bgLo, rLo)), p1 = Pack4(_mm_unpackhi_epi16(bgLo, rLo));
    const __m128i p2 = Pack4(_mm_unpacklo_epi16(bgHi, rHi)), p3 = Pack4(_mm_unpackhi_epi16(bgHi, rHi));
    // Four runs of twelve bytes into three vectors of sixteen.
    uint8_t* d = dst + 3 * i;
    Store(d, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    Store(d + 16, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    Store(d + 32, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
  reference::InterleaveBgr(red + i, green + i, blue + i, dst + 3 * i, pixels - i);
}

#else

void SwapRedBlue(const uint8_t* src, uint8_t* dst, size_t pixels) { reference::SwapRedBlue(src, dst, pixels); }
void InterleaveBgr(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dst, size_t pixels) {
  reference::InterleaveBgr(red, green, blue, dst, pixels);
}

#endif

}  // namespace rk::tiff
