// The 3 x 3 walk shared by the in-place neighbourhood filters (remove noise,
// block-noise reduction, edge enhancement). For every pixel it gathers the
// nine neighbours of each component, as red, green, blue or as Y, Cb, Cr,
// hands them to a kernel, converts the kernel's result back to RGB and
// keeps it in a row store; a row goes back into the picture only after the
// next row has been computed, so every neighbourhood sees original values.
#pragma once

#include <algorithm>
#include <cstdint>

#include "cam/kernels.h"
#include "picture.h"

namespace rk::filters {

// Gathering order of the nine neighbours: 0 the pixel, 1 left, 2 right,
// 3 the row before, 4 the row after, 5 before-left, 6 before-right,
// 7 after-left, 8 after-right. The first five are the cross. At the border
// a missing step is not taken: in the first column "left" is the pixel
// itself and "before-left" the pixel before it.
struct Gathered {
  int16_t v[3][9];
};

enum class Space { kRgb, kYcc };

// Two rows of results, laid out as pixels (pixel stride, channel offsets).
struct RowStore {
  uint8_t* rows[2];
  int64_t pixelStride;
  uint32_t offset[3];
};

// How one pass reports: done = doneBase + row after each row, and with
// finalCall one more call, doneBase + height, after the last row is back.
struct PassReport {
  Progress* progress;
  void* work;
  int32_t doneBase;
  int32_t total;
  bool finalCall;
};

namespace detail {

inline void WriteBack(const Picture& pic, const RowStore& store, int slot, int y) {
  uint8_t* out = pic.ImageRow(y);
  const uint8_t* in = store.rows[slot];
  for (int x = 0; x < pic.width; ++x) {
    uint8_t* o = pic.At(out, x);
    const uint8_t* s = in + x * store.pixelStride;
    for (int c = 0; c < 3; ++c) o[pic.offset[c]] = s[store.offset[c]];
  }
}

}  // namespace detail

// kernel(const Gathered&, int16_t out[3]) gives the pixel's three
// components in the walk's space. Returns true when the progress procedure
// stopped the pass (the rows finished so far are back in the picture).
template <class Kernel>
[[nodiscard]] bool FilterRows(const Picture& pic, Space space, const RowStore& store, const PassReport& pass,
                              Kernel&& kernel) {
  // Columns go in chunks, each with one column of margin on either side,
  // gathered once per row into small planes (converted to YCbCr there).
  constexpr int kChunk = 256;
  int16_t plane[3][3][kChunk + 2];
  const int width = pic.width, height = pic.height;
  for (int y = 0; y < height; ++y) {
    const uint8_t* rows[3] = {pic.ImageRow(std::max(y - 1, 0)), pic.ImageRow(y),
                              pic.ImageRow(std::min(y + 1, height - 1))};
    uint8_t* slot = store.rows[y & 1];
    for (int x0 = 0; x0 < width; x0 += kChunk) {
      const int n = std::min(kChunk, width - x0);
      for (int r = 0; r < 3; ++r) {
        for (int i = 0; i < n + 2; ++i) {
          const int x = std::clamp(x0 - 1 + i, 0, width - 1);
          const uint8_t* p = pic.At(rows[r], x);
          for (int c = 0; c < 3; ++c) plane[c][r][i] = p[pic.offset[c]];
        }
        if (space == Space::kYcc) RgbToYccRow(plane[0][r], plane[1][r], plane[2][r], static_cast<size_t>(n) + 2);
      }
      for (int i = 1; i <= n; ++i) {
        Gathered g;
        for (int c = 0; c < 3; ++c) {
          const int16_t* b = plane[c][0];
          const int16_t* m = plane[c][1];
          const int16_t* a = plane[c][2];
          int16_t* v = g.v[c];
          v[0] = m[i];
          v[1] = m[i - 1];
          v[2] = m[i + 1];
          v[3] = b[i];
          v[4] = a[i];
          v[5] = b[i - 1];
          v[6] = b[i + 1];
          v[7] = a[i - 1];
          v[8] = a[i + 1];
        }
        int16_t out[3];
        kernel(g, out);
        if (space == Space::kYcc) YccToRgb(&out[0], &out[1], &out[2]);
        uint8_t* s = slot + static_cast<int64_t>(x0 + i - 1) * store.pixelStride;
        for (int c = 0; c < 3; ++c) s[store.offset[c]] = Clamp255(out[c]);
      }
    }
    if (y > 0) detail::WriteBack(pic, store, (y - 1) & 1, y - 1);
    if (pass.progress->Report(pass.doneBase + y, pass.total, pass.work)) return true;
  }
  if (height > 0) detail::WriteBack(pic, store, (height - 1) & 1, height - 1);
  return pass.finalCall && pass.progress->Report(pass.doneBase + height, pass.total, pass.work);
}

}  // namespace rk::filters
