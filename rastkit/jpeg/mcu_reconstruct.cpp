#include "mcu_reconstruct.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "cam/color.h"
#include "cam/simd_target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rk {
namespace {

// Every size of this interface is 32-bit: a pixel buffer whose last byte
// lies further than this from `pixels` cannot be described to callers that
// compute its size (e.g. 65535 x 65535 pixels of 3 bytes = 12.9 GB).
constexpr int64_t kMaxPixelSpan = 0xFFFFFFFFll;

// The value a block sample takes in its plane.
inline int16_t PlaneValue(int16_t v, int component, bool rgb) {
  if (rgb) return static_cast<int16_t>(Clamp255(v + 128));
  if (component == 0) return static_cast<int16_t>(v + 128);  // wraps like the 16-bit plane
  return v;
}

inline void Store16(uint8_t* base, int64_t index, int16_t v) {
  std::memcpy(base + 2 * index, &v, sizeof v);
}

}  // namespace

bool DescribeTarget(const ImageBlkAttrRec& image, int components, PixelTarget& out) {
  out.pixels = image.pixels;
  out.rowStride = image.rowStride;
  out.offset[0] = image.redOffset;
  out.offset[1] = image.greenOffset;
  out.offset[2] = image.blueOffset;
  out.pixelStride = image.pixelStride;
  out.bottomUp = image.bottomUp != 0;
  out.planar = (image.pixelFormat & 15) == RK_PIXEL_PLANAR_YCC16;
  out.width = image.width;
  out.height = image.height;
  const int64_t w = out.width;
  const int64_t h = out.height;
  if (w == 0 || h == 0) {
    out.separate = true;
    return true;
  }
  const int64_t stride = std::llabs(out.rowStride);
  if (out.planar) {
    const int64_t planeSamples = w * h;
    const int64_t lastSample = (h - 1) * stride + (w - 1) + (components == 3 ? 2 * planeSamples : 0);
    if (2 * (lastSample + 1) > kMaxPixelSpan) return false;
    out.separate = out.rowStride >= w && (components == 1 || (h - 1) * stride + w <= planeSamples);
    if (h == 1) out.separate = components == 1 || w <= planeSamples;
    return true;
  }
  const int64_t maxOffset = std::max({out.offset[0], out.offset[1], out.offset[2]});
  const int64_t rowBytes = (w - 1) * out.pixelStride + maxOffset + 1;
  if ((h - 1) * stride + rowBytes > kMaxPixelSpan) return false;
  // Within a pixel the three samples are always written red, green, blue,
  // so shared offsets give the same bytes in either writer; only pixels or
  // rows that overlap each other need the reference order.
  const bool pixelsApart = w == 1 || out.pixelStride >= maxOffset + 1;
  const bool rowsApart = h == 1 || stride >= rowBytes;
  out.separate = pixelsApart && rowsApart;
  return true;
}

void ReconstructMcuReference(const McuSource& mcu, int16_t* planes, const PixelTarget& target) {
  const McuGeometry& geo = *mcu.geo;
  const int mw = geo.mcuWidth;
  const int mh = geo.mcuHeight;
  const int n = geo.components;
  const bool rgb = mcu.rgb && n == 3;
  int16_t* plane[3] = {planes, planes + mw * mh, planes + 2 * mw * mh};

  // Pixel replication: block sample (r, s) of block (bi, bj) covers the
  // fx x fy plane samples from row 8*fy*bj + fy*r, column 8*fx*bi + fx*s.
  const int16_t* block = mcu.blocks;
  for (int c = 0; c < n; ++c) {
    const int fx = geo.reductionX(c);
    const int fy = geo.reductionY(c);
    for (int bj = 0; bj < geo.blocksHigh(c); ++bj) {
      for (int bi = 0; bi < geo.blocksWide(c); ++bi, block += 64) {
        for (int r = 0; r < 8; ++r) {
          for (int s = 0; s < 8; ++s) {
            const int16_t v = PlaneValue(block[8 * r + s], c, rgb);
            for (int dy = 0; dy < fy; ++dy) {
              for (int dx = 0; dx < fx; ++dx) {
                plane[c][(8 * fy * bj + fy * r + dy) * mw + 8 * fx * bi + fx * s + dx] = v;
              }
            }
          }
        }
      }
    }
  }

  if (!rgb && !target.planar) {
    for (int i = 0; i < mw * mh; ++i) {
      if (n == 3) {
        const RgbValues rgb = YccToRgbValues(plane[0][i], plane[1][i], plane[2][i]);
        plane[0][i] = static_cast<int16_t>(rgb.red);
        plane[1][i] = static_cast<int16_t>(rgb.green);
        plane[2][i] = static_cast<int16_t>(rgb.blue);
      } else {
        plane[0][i] = static_cast<int16_t>(Clamp255(plane[0][i]));
        plane[1][i] = plane[0][i];
        plane[2][i] = plane[0][i];
      }
    }
  }

  const int64_t planeSamples = static_cast<int64_t>(target.width) * target.height;
  for (int r = mh - 1; r >= 0; --r) {
    const int y = std::min(mcu.y0 + r, target.height - 1);
    const int64_t row = target.bottomUp ? target.height - 1 - y : y;
    for (int s = mw - 1; s >= 0; --s) {
      const int x = std::min(mcu.x0 + s, target.width - 1);
      const int i = r * mw + s;
      if (target.planar) {
        const int64_t index = row * target.rowStride + x;
        for (int c = 0; c < (n == 3 ? 3 : 1); ++c) Store16(target.pixels, c * planeSamples + index, plane[c][i]);
      } else {
        uint8_t* p = target.pixels + row * target.rowStride + static_cast<int64_t>(x) * target.pixelStride;
        for (int c = 0; c < 3; ++c) p[target.offset[c]] = static_cast<uint8_t>(plane[c][i]);
      }
    }
  }
}

namespace {

// Widest MCU: four 8-sample blocks side by side.
constexpr int kMaxMcuWidth = 32;

// Where one component's samples come from within the MCU's blocks.
struct ComponentRows {
  const int16_t* blocks;
  int fx, fy;  // replication
  int bw;      // blocks side by side
  ComponentRows(const McuGeometry& geo, const int16_t* first, int c)
      : blocks(first), fx(geo.reductionX(c)), fy(geo.reductionY(c)), bw(geo.blocksWide(c)) {}
};

// One MCU row of a component, replicated to the MCU width: sample s is
// block sample (r, s / fx) of the block that covers it. Component 0 of a
// YCbCr stream gets its level shift here (+128, wrapping like the 16-bit
// plane). vr is the row within the component's span (MCU row / fy).
template <bool kSse2>
inline void BuildRow(const ComponentRows& comp, int vr, int16_t bias, int16_t* out) {
  const int16_t* row = comp.blocks + 64 * ((vr >> 3) * comp.bw) + 8 * (vr & 7);
  const int fx = comp.fx;
#if defined(__SSE2__)
  if (kSse2 && fx <= 2) {
    const __m128i add = _mm_set1_epi16(bias);
    for (int bi = 0; bi < comp.bw; ++bi, row += 64) {
      const __m128i v = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)), add);
      if (fx == 1) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * bi), v);
      } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * bi), _mm_unpacklo_epi16(v, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * bi + 8), _mm_unpackhi_epi16(v, v));
      }
    }
    return;
  }
#endif
  for (int bi = 0; bi < comp.bw; ++bi, row += 64) {
    int16_t v[8];
    for (int s = 0; s < 8; ++s) v[s] = static_cast<int16_t>(row[s] + bias);
    int16_t* d = out + 8 * fx * bi;
    for (int s = 0; s < 8; ++s)
      for (int dx = 0; dx < fx; ++dx) d[fx * s + dx] = v[s];
  }
}

inline uint8_t Saturate(int32_t v) { return static_cast<uint8_t>(Clamp255(v)); }

// YCbCr rows to clamped R, G, B bytes, n <= kMaxMcuWidth samples.
template <bool kSse2>
void ConvertYcc(const int16_t* y, const int16_t* cb, const int16_t* cr, uint8_t* r, uint8_t* g, uint8_t* b,
                int n) {
  int s = 0;
#if defined(__SSE2__)
  for (; kSse2 && s + 8 <= n; s += 8) {
    const RgbBytes8 v = YccToRgb8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + s)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + s)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + s)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r + s), v.red);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(g + s), v.green);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(b + s), v.blue);
  }
#endif
  for (; s < n; ++s) {
    const RgbValues rgb = YccToRgbValues(y[s], cb[s], cr[s]);
    r[s] = static_cast<uint8_t>(rgb.red);
    g[s] = static_cast<uint8_t>(rgb.green);
    b[s] = static_cast<uint8_t>(rgb.blue);
  }
}

// Signed 16-bit samples to 0..255.
template <bool kSse2>
void Clamp16(const int16_t* v, uint8_t* out, int n) {
  int s = 0;
#if defined(__SSE2__)
  for (; kSse2 && s + 8 <= n; s += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + s));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + s), _mm_packus_epi16(x, x));
  }
#endif
  for (; s < n; ++s) out[s] = Saturate(v[s]);
}

// Interleaved writes with the channel offsets as constants where the
// layout is one of the two the program uses.
enum class Layout { kGeneric, kBgr24, kXrgb32 };

template <Layout L, bool kSse2>
void WritePixels(uint8_t* out, int64_t ps, const uint32_t* offset, const uint8_t* r, const uint8_t* g,
                 const uint8_t* b, int n) {
  if constexpr (L == Layout::kBgr24) {
    // One 4-byte store per pixel; its fourth byte is the next pixel's blue,
    // rewritten at once. The last pixel is stored byte by byte, so nothing
    // past it (row padding, the next MCU) is touched.
    alignas(16) uint32_t words[kMaxMcuWidth];
    int s = 0;
#if defined(__SSE2__)
    // (b, g, r, 0) words, eight at a time; the rows hold kMaxMcuWidth bytes.
    for (; kSse2 && s < n; s += 8) {
      const __m128i bg = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + s)),
                                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(g + s)));
      const __m128i r0 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r + s)),
                                           _mm_setzero_si128());
      _mm_store_si128(reinterpret_cast<__m128i*>(words + s), _mm_unpacklo_epi16(bg, r0));
      _mm_store_si128(reinterpret_cast<__m128i*>(words + s + 4), _mm_unpackhi_epi16(bg, r0));
    }
#endif
    for (; s < n; ++s) words[s] = b[s] | g[s] << 8 | static_cast<uint32_t>(r[s]) << 16;
    for (s = 0; s + 1 < n; ++s, out += 3) std::memcpy(out, &words[s], 4);
    out[2] = r[s], out[1] = g[s], out[0] = b[s];
  } else if constexpr (L == Layout::kXrgb32) {
    for (int s = 0; s < n; ++s, out += 4) out[1] = r[s], out[2] = g[s], out[3] = b[s];
  } else {
    const uint32_t o0 = offset[0], o1 = offset[1], o2 = offset[2];
    for (int s = 0; s < n; ++s, out += ps) out[o0] = r[s], out[o1] = g[s], out[o2] = b[s];
  }
}

template <Layout L, bool kSse2>
void ReconstructInterleaved(const McuSource& mcu, const PixelTarget& target, int rows, int cols) {
  const McuGeometry& geo = *mcu.geo;
  const int n = geo.components;
  const bool rgb = mcu.rgb && n == 3;
  const int16_t* first[3] = {mcu.blocks, nullptr, nullptr};
  for (int c = 1; c < n; ++c) first[c] = first[c - 1] + 64 * geo.blocksPerMcu(c - 1);
  const ComponentRows comp[3] = {{geo, first[0], 0}, {geo, first[1], n == 3 ? 1 : 0},
                                 {geo, first[2], n == 3 ? 2 : 0}};
  alignas(16) int16_t row[3][kMaxMcuWidth];
  alignas(16) uint8_t out[3][kMaxMcuWidth] = {};  // whole rows are read eight at a time
  const int64_t ps = target.pixelStride;
  // RGB streams: v + 128 in 16 bits wraps for v near 2^15 where the
  // definition clamps v + 128 computed in 32 bits; a component holding such
  // values takes the scalar path.
  bool wraps[3] = {false, false, false};
  if (rgb) {
    for (int c = 0; c < 3; ++c) {
      for (int i = 0; i < 64 * geo.blocksPerMcu(c); ++i) wraps[c] |= first[c][i] > 32767 - 128;
    }
  }
  int built[3] = {-1, -1, -1};
  for (int pr = 0; pr < rows; ++pr) {
    const int y = mcu.y0 + pr;
    const int64_t stored = target.bottomUp ? target.height - 1 - y : y;
    uint8_t* dest = target.pixels + stored * target.rowStride + mcu.x0 * ps;
    if (n == 1) {
      BuildRow<kSse2>(comp[0], pr / comp[0].fy, 128, row[0]);
      Clamp16<kSse2>(row[0], out[0], cols);
      WritePixels<L, kSse2>(dest, ps, target.offset, out[0], out[0], out[0], cols);
      continue;
    }
    for (int c = 0; c < 3; ++c) {
      // A component sampled at half height gives two MCU rows the same row.
      const int source = comp[c].fy == 1 ? pr : pr / comp[c].fy;
      if (source != built[c]) {
        BuildRow<kSse2>(comp[c], source, rgb || c == 0 ? 128 : 0, row[c]);
        built[c] = source;
      }
    }
    if (rgb) {
      for (int c = 0; c < 3; ++c) {
        if (wraps[c]) {
          alignas(16) int16_t raw[kMaxMcuWidth];
          BuildRow<kSse2>(comp[c], pr / comp[c].fy, 0, raw);
          for (int s = 0; s < cols; ++s) out[c][s] = Saturate(raw[s] + 128);
        } else {
          Clamp16<kSse2>(row[c], out[c], cols);
        }
      }
    } else {
      ConvertYcc<kSse2>(row[0], row[1], row[2], out[0], out[1], out[2], cols);
    }
    WritePixels<L, kSse2>(dest, ps, target.offset, out[0], out[1], out[2], cols);
  }
}

template <bool kSse2>
void ReconstructPlanar(const McuSource& mcu, const PixelTarget& target, int rows, int cols) {
  const McuGeometry& geo = *mcu.geo;
  const int n = geo.components;
  const bool rgb = mcu.rgb && n == 3;
  const int16_t* first[3] = {mcu.blocks, nullptr, nullptr};
  for (int c = 1; c < n; ++c) first[c] = first[c - 1] + 64 * geo.blocksPerMcu(c - 1);
  const ComponentRows comp[3] = {{geo, first[0], 0}, {geo, first[1], n == 3 ? 1 : 0},
                                 {geo, first[2], n == 3 ? 2 : 0}};
  const int64_t planeSamples = static_cast<int64_t>(target.width) * target.height;
  alignas(16) int16_t row[kMaxMcuWidth];
  for (int pr = 0; pr < rows; ++pr) {
    const int y = mcu.y0 + pr;
    const int64_t stored = target.bottomUp ? target.height - 1 - y : y;
    const int64_t index = stored * target.rowStride + mcu.x0;
    for (int c = 0; c < n; ++c) {
      if (rgb) {
        BuildRow<kSse2>(comp[c], pr / comp[c].fy, 0, row);
        for (int s = 0; s < cols; ++s) row[s] = static_cast<int16_t>(Clamp255(row[s] + 128));
      } else {
        BuildRow<kSse2>(comp[c], pr / comp[c].fy, c == 0 ? 128 : 0, row);
      }
      std::memcpy(target.pixels + 2 * (c * planeSamples + index), row, sizeof(int16_t) * cols);
    }
  }
}

#if defined(__SSE2__)
// YCbCr into a 24-bit bitmap when every component is replicated at most
// twice across (4:2:0, 4:2:2, 4:4:4 and the like): each group of eight
// pixels is read straight from the blocks (eight samples of a block row, or
// four doubled), converted by YccToRgb8 and packed into (b, g, r, 0) words
// in registers, with no intermediate rows.
// Four (b, g, r, 0) words to their twelve b, g, r bytes at the bottom.
inline __m128i Pack4Bgr(__m128i v) {
  const __m128i even = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i odd = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000), 0x0000FFFF,
                                    static_cast<int>(0xFF000000));
  // Per 64-bit half: pixel 0 in bytes 0-2, pixel 1 moved down to bytes 3-5.
  const __m128i q = _mm_or_si128(_mm_and_si128(v, even), _mm_and_si128(_mm_srli_epi64(v, 8), odd));
  // The upper half's six bytes moved down next to the lower half's.
  return _mm_or_si128(_mm_move_epi64(q), _mm_slli_si128(_mm_srli_si128(q, 8), 6));
}

inline void StoreU32(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

bool CanMergeYcc(const McuGeometry& geo) {
  if (geo.components != 3) return false;
  for (int c = 0; c < 3; ++c) {
    if (geo.reductionX(c) > 2) return false;
  }
  return true;
}

void ReconstructMergedBgr24(const McuSource& mcu, const PixelTarget& target, int rows, int cols) {
  const McuGeometry& geo = *mcu.geo;
  const int16_t* first[3] = {mcu.blocks, nullptr, nullptr};
  for (int c = 1; c < 3; ++c) first[c] = first[c - 1] + 64 * geo.blocksPerMcu(c - 1);
  const ComponentRows comp[3] = {{geo, first[0], 0}, {geo, first[1], 1}, {geo, first[2], 2}};
  const __m128i level = _mm_set1_epi16(128);
  const __m128i zero = _mm_setzero_si128();
  const int groups = (cols + 7) / 8;
  alignas(16) uint32_t words[kMaxMcuWidth];
  // Replication down is by 1, 2 or 4 in every usual sampling: a shift
  // instead of a division per row.
  int shiftY[3];
  for (int c = 0; c < 3; ++c) {
    const int fy = comp[c].fy;
    shiftY[c] = (fy & (fy - 1)) == 0 ? __builtin_ctz(static_cast<unsigned>(fy)) : -1;
  }
  for (int pr = 0; pr < rows; ++pr) {
    const int16_t* base[3];
    for (int c = 0; c < 3; ++c) {
      const int vr = shiftY[c] >= 0 ? pr >> shiftY[c] : pr / comp[c].fy;
      base[c] = comp[c].blocks + 64 * ((vr >> 3) * comp[c].bw) + 8 * (vr & 7);
    }
    auto load = [&](int c, int g) {
      if (comp[c].fx == 1) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(base[c] + 64 * g));
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base[c] + 64 * (g >> 1) + 4 * (g & 1)));
      return _mm_unpacklo_epi16(v, v);
    };
    const int y = mcu.y0 + pr;
    const int64_t stored = target.bottomUp ? target.height - 1 - y : y;
    uint8_t* out = target.pixels + stored * target.rowStride + mcu.x0 * 3;
    for (int g = 0; g < groups; ++g) {
      const RgbBytes8 v = YccToRgb8(_mm_add_epi16(load(0, g), level), load(1, g), load(2, g));
      const __m128i bg = _mm_unpacklo_epi8(v.blue, v.green);
      const __m128i r0 = _mm_unpacklo_epi8(v.red, zero);
      const __m128i lo = _mm_unpacklo_epi16(bg, r0);
      const __m128i hi = _mm_unpackhi_epi16(bg, r0);
      if (8 * g + 8 <= cols) {
        // Whole group: 24 bytes in four exact stores.
        const __m128i a = Pack4Bgr(lo), b = Pack4Bgr(hi);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 24 * g), a);
        StoreU32(out + 24 * g + 8, _mm_cvtsi128_si32(_mm_srli_si128(a, 8)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 24 * g + 12), b);
        StoreU32(out + 24 * g + 20, _mm_cvtsi128_si32(_mm_srli_si128(b, 8)));
      } else {
        _mm_store_si128(reinterpret_cast<__m128i*>(words + 8 * g), lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(words + 8 * g + 4), hi);
      }
    }
    // A group cut by the image's edge: 4-byte stores, the fourth byte
    // rewritten by the next pixel; the last pixel byte by byte, so nothing
    // past it is touched.
    int s = cols & ~7;
    if (s == cols) continue;
    uint8_t* last = out + 3 * s;
    for (; s + 1 < cols; ++s, last += 3) std::memcpy(last, &words[s], 4);
    out = last;
    out[0] = static_cast<uint8_t>(words[s]);
    out[1] = static_cast<uint8_t>(words[s] >> 8);
    out[2] = static_cast<uint8_t>(words[s] >> 16);
  }
}
#endif

template <bool kSse2>
void ReconstructOn(const McuSource& mcu, const PixelTarget& target, int rows, int cols, SimdLevel level) {
  if (target.planar) {
    ReconstructPlanar<kSse2>(mcu, target, rows, cols);
  } else if (target.pixelStride == 3 && target.offset[0] == 2 && target.offset[1] == 1 && target.offset[2] == 0) {
#if RK_X86_SIMD
    if (level == SimdLevel::kAvx2 && !mcu.rgb && avx2::CanMergeBgr24(*mcu.geo) &&
        avx2::ReconstructMergedBgr24(mcu, target, rows, cols)) {
      return;
    }
#endif
#if defined(__SSE2__)
    if (kSse2 && !mcu.rgb && CanMergeYcc(*mcu.geo)) {
      ReconstructMergedBgr24(mcu, target, rows, cols);
      return;
    }
#endif
    ReconstructInterleaved<Layout::kBgr24, kSse2>(mcu, target, rows, cols);
  } else if (target.pixelStride == 4 && target.offset[0] == 1 && target.offset[1] == 2 && target.offset[2] == 3) {
    ReconstructInterleaved<Layout::kXrgb32, kSse2>(mcu, target, rows, cols);
  } else {
    ReconstructInterleaved<Layout::kGeneric, kSse2>(mcu, target, rows, cols);
  }
}

}  // namespace

void ReconstructMcu(const McuSource& mcu, int16_t* /*planes*/, const PixelTarget& target, SimdLevel level) {
  const int rows = std::min<int>(mcu.geo->mcuHeight, target.height - mcu.y0);
  const int cols = std::min<int>(mcu.geo->mcuWidth, target.width - mcu.x0);
  if (rows <= 0 || cols <= 0) return;
  if (level == SimdLevel::kNone) {
    ReconstructOn<false>(mcu, target, rows, cols, level);
  } else {
    ReconstructOn<true>(mcu, target, rows, cols, level);
  }
}

}  // namespace rk
