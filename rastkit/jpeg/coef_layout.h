// The whole-image coefficient store of the progressive codec (and of the
// multi-scan sequential streams that go through it).
//
// Every block of the picture is kept, MCU after MCU in raster order, and
// within an MCU in the order of the baseline decoder's block buffer:
// component 0's H0 x V0 blocks row by row, then component 1's, then 2's;
// 64 coefficients per block in natural order. An MCU's blocks are therefore
// exactly what the reconstruction of one MCU (ReconstructMcu) takes, and the
// encoder's transform pass writes each MCU straight into its place.
//
// A component's blocks also form its block grid: bx = MCU column x H + h,
// by = MCU row x V + v. Scans of one component visit the part of that grid
// that T.81 defines for a non-interleaved scan, ceil(W x H / Hmax / 8) by
// ceil(Hgt x V / Vmax / 8) blocks; with 4:2:0 at 47 x 33 (MCUs 16 x 16, three
// columns and three rows of them) that is 6 x 5 luminance blocks out of the
// 6 x 6 stored, and 3 x 3 chrominance blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry.h"

namespace rk {

struct CoefficientLayout {
  McuGeometry geo{};
  int mcuCols = 0;
  int mcuRows = 0;
  int blocksPerMcu = 0;    // all components
  int firstBlock[3] = {};  // offset of component c's blocks within an MCU
  int gridWide[3] = {};    // T.81 block grid of component c
  int gridHigh[3] = {};

  // geo must be codable (IsCodableGeometry); width and height at least 1.
  CoefficientLayout(const McuGeometry& geometry, int width, int height);

  [[nodiscard]] size_t mcuCount() const { return static_cast<size_t>(mcuCols) * static_cast<size_t>(mcuRows); }
  // 16-bit coefficients of the whole store.
  [[nodiscard]] size_t coefficientCount() const { return mcuCount() * static_cast<size_t>(blocksPerMcu) * 64; }
  // Offset (in coefficients) of MCU (col, row).
  [[nodiscard]] size_t McuOffset(int col, int row) const {
    return (static_cast<size_t>(row) * static_cast<size_t>(mcuCols) + static_cast<size_t>(col)) *
           static_cast<size_t>(blocksPerMcu) * 64;
  }
};

// The progressive codec's work area: a head holding one MCU's blocks and
// three MCU sample planes (at least 1058 bytes, the scratch the Huffman
// table builders may need), then the coefficient store, sized as three
// padded planes of 16-bit values (6 x padded width x padded height bytes;
// the store uses 2 x coefficientCount() of them). 4:2:0 at 2048 x 1536:
// head 128 x 6 + 6 x 16 x 16 = 2304 bytes, store room 6 x 2048 x 1536.
[[nodiscard]] uint64_t ProgressiveHeadBytes(const McuGeometry& geo);
[[nodiscard]] uint64_t ProgressiveStoreRoom(const McuGeometry& geo, int width, int height);

// Walks one row of a component's block grid left to right: each Next()
// moves to the following block (H blocks per MCU, then on to the next MCU).
class GridRow {
 public:
  // Block row by of component c, starting at column 0.
  GridRow(const CoefficientLayout& layout, int16_t* store, int c, int by);
  [[nodiscard]] int16_t* block() const { return block_; }
  void Next() {
    if (++h_ == wide_) {
      h_ = 0;
      block_ += mcuStep_ - 64 * (wide_ - 1);
    } else {
      block_ += 64;
    }
  }

 private:
  int16_t* block_;
  int wide_;          // H of the component
  int h_ = 0;         // column within the MCU
  ptrdiff_t mcuStep_; // coefficients from one MCU to the next
};

}  // namespace rk
