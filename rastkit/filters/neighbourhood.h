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

// Columns go through the walk in chunks of this many pixels.
constexpr int kChunk = 256;

// One chunk of one row as the kernels see it: for component c and row r
// (0 before, 1 the row itself, 2 after), plane[c][r][i] is the value of
// column x0 - 1 + i with the border rule (i = 0 and i = n + 1 are the margin
// columns). Results go to out[c][i - 1] for i = 1 .. n.
struct Chunk {
  const int16_t* plane[3][3];
  int n;
};

// Feeds a per-pixel kernel(const Gathered&, int16_t out[3]) from a chunk.
template <class Kernel>
void EachPixel(const Chunk& chunk, int16_t (*out)[kChunk], Kernel&& kernel) {
  for (int i = 1; i <= chunk.n; ++i) {
    Gathered g;
    for (int c = 0; c < 3; ++c) {
      const int16_t* b = chunk.plane[c][0];
      const int16_t* m = chunk.plane[c][1];
      const int16_t* a = chunk.plane[c][2];
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
    int16_t o[3];
    kernel(g, o);
    for (int c = 0; c < 3; ++c) out[c][i - 1] = o[c];
  }
}

// chunkKernel(const Chunk&, int16_t out[3][kChunk]) gives the chunk's
// results in the walk's space. Returns true when the progress procedure
// stopped the pass (the rows finished so far are back in the picture).
template <class ChunkKernel>
[[nodiscard]] bool FilterRows(const Picture& pic, Space space, const RowStore& store, const PassReport& pass,
                              ChunkKernel&& chunkKernel) {
  int16_t plane[3][3][kChunk + 2];
  int16_t out[3][kChunk];
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
      const Chunk chunk{{{plane[0][0], plane[0][1], plane[0][2]},
                         {plane[1][0], plane[1][1], plane[1][2]},
                         {plane[2][0], plane[2][1], plane[2][2]}},
                        n};
      chunkKernel(chunk, out);
      if (space == Space::kYcc) YccToRgbRow(out[0], out[1], out[2], static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) {
        uint8_t* s = slot + static_cast<int64_t>(x0 + i) * store.pixelStride;
        for (int c = 0; c < 3; ++c) s[store.offset[c]] = Clamp255(out[c][i]);
      }
    }
    if (y > 0) detail::WriteBack(pic, store, (y - 1) & 1, y - 1);
    if (pass.progress->Report(pass.doneBase + y, pass.total, pass.work)) return true;
  }
  if (height > 0) detail::WriteBack(pic, store, (height - 1) & 1, height - 1);
  return pass.finalCall && pass.progress->Report(pass.doneBase + height, pass.total, pass.work);
}

}  // namespace rk::filters
