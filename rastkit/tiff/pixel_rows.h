// Reaching the rows of a caller's pixel buffer through the record's row
// stride, pixel stride and channel offsets, for the TIFF reader (which
// writes rows) and writer (which reads them). The common layouts, the
// program's bottom-up BGR bitmap and RkInitImageAttribute's 32-bit pixel,
// get loops whose offsets are compile-time constants; every other layout
// takes the general loop, with the same result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastkit.h"

namespace rk::tiff {

struct PixelRows {
  uint8_t* pixels = nullptr;
  int64_t rowStride = 0;
  uint32_t red = 0;
  uint32_t green = 0;
  uint32_t blue = 0;
  uint32_t pixelStride = 0;
  bool bottomUp = false;
  int width = 0;
  int height = 0;

  static PixelRows Of(const ImageBlkAttrRec& image) {
    return PixelRows{image.pixels,     image.rowStride,       image.redOffset,
                     image.greenOffset, image.blueOffset,     image.pixelStride,
                     image.bottomUp != 0, static_cast<int>(image.width), static_cast<int>(image.height)};
  }

  // The program's bitmap pixel: blue, green, red in three bytes, which the
  // row kernels (row_kernels.h) serve.
  bool IsBgr24() const { return pixelStride == 3 && red == 2 && green == 1 && blue == 0; }

  // Picture row y (0 = top) wherever the buffer stores it.
  uint8_t* Row(int y) const {
    const int64_t r = bottomUp ? height - 1 - y : y;
    return pixels + r * rowStride;
  }

  // Calls visit(x, red, green, blue) with references to the three samples
  // of each pixel of a row, left to right.
  template <typename Visit>
  void ForEachPixel(uint8_t* row, Visit visit) const {
    if (IsBgr24()) {
      Fixed<3, 2, 1, 0>(row, visit);
    } else if (pixelStride == 4 && red == 1 && green == 2 && blue == 3) {
      Fixed<4, 1, 2, 3>(row, visit);
    } else {
      for (int x = 0; x < width; ++x) {
        uint8_t* d = row + static_cast<size_t>(x) * pixelStride;
        visit(x, d[red], d[green], d[blue]);
      }
    }
  }

 private:
  template <uint32_t kStride, uint32_t kRed, uint32_t kGreen, uint32_t kBlue, typename Visit>
  void Fixed(uint8_t* row, Visit visit) const {
    for (int x = 0; x < width; ++x) {
      uint8_t* d = row + static_cast<size_t>(x) * kStride;
      visit(x, d[kRed], d[kGreen], d[kBlue]);
    }
  }
};

}  // namespace rk::tiff
