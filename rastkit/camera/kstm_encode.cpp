// KSTM encoders: the thumbnail stream (4:2:0 MCUs whose blocks keep only a
// coarse DC term and the sign of strong AC terms) and the image data ("KM"
// header and a baseline 4:2:2 scan), from the baseline encoder's kernels.
#include <algorithm>
#include <cstring>

#include "camera/common.h"
#include "camera/kstm.h"
#include "jpeg/baseline_encode.h"
#include "jpeg/bit_writer.h"
#include "jpeg/encode_pixels.h"
#include "jpeg/forward_dct.h"
#include "jpeg/geometry.h"
#include "jpeg/huffman_encode.h"
#include "jpeg/mcu_work_area.h"
#include "memory.h"
#include "table_check.h"

namespace rk::camera {
namespace {

// The baseline encoder's progress, one call per MCU row, relayed as
// (offset + row, total); its closing call after the last row belongs to the
// whole operation and is answered here with 0.
struct Relay {
  ProgressSpan span;
  int32_t rowsLeft;
};

int16_t RelayProgress(int32_t done, int32_t, void* work, uintptr_t userData) {
  Relay* relay = reinterpret_cast<Relay*>(userData);
  if (relay->rowsLeft-- <= 0) return RK_OK;
  return CallProgress(relay->span.user, relay->span.offset + done, relay->span.total, work);
}

// Reduction of one transformed thumbnail block: DC 8 x (mean - 128) becomes
// (DC + 64) / 128, about (mean - 128) / 16, which the decoder scales back by
// 16; an AC term keeps only its sign, and only from a magnitude of 255.
void Reduce(int16_t* block) {
  block[0] = static_cast<int16_t>((block[0] + 64) / 128);  // truncates toward zero
  for (int i = 1; i < 64; ++i) block[i] = static_cast<int16_t>(block[i] >= 255 ? 1 : block[i] <= -255 ? -1 : 0);
}

inline int32_t Round16(int32_t v) { return (v + 32768) >> 16; }

// The largest span of sample values for which no AC term can reach 255.
// An AC term is 1/4 x C(u) C(v) x the sum of the samples against two
// cosine rows, and the same sum against the samples minus their mid-level
// (the cosines of an AC row sum to 0), each at most span / 2. The absolute
// cosines of a row, times C, sum to at most sqrt(32) (row 4: 8 x 0.7071),
// so |F| <= 1/4 x 32 x span / 2 = 4 x span. The integer transform rounds
// twice and stays within 2 of the exact one: 4 x 60 + 2 = 242 < 255. A
// checkerboard of row-4 signs with span 64 reaches 256.
constexpr int kFlatSpan = 60;

}  // namespace

void ReduceThumbnailBlock(const ModuleTableRec& table, int16_t* block) {
  if (HasStandardTransformConstants(table)) {
    int16_t lo = block[0], hi = block[0];
    for (int i = 1; i < 64; ++i) {
      lo = std::min(lo, block[i]);
      hi = std::max(hi, block[i]);
    }
    if (hi - lo <= kFlatSpan) {
      // Only the DC term can survive: the transform's DC with its own two
      // roundings (each row's sum times r, then the column of those).
      const int32_t r = table.idctConst[0];
      int32_t column = 0;
      for (int row = 0; row < 8; ++row) {
        const int16_t* x = block + 8 * row;
        column += Round16(r * (x[0] + x[1] + x[2] + x[3] + x[4] + x[5] + x[6] + x[7]));
      }
      const int32_t dc = Round16(r * column);
      std::fill_n(block, 64, int16_t{0});
      block[0] = static_cast<int16_t>((dc + 64) / 128);
      return;
    }
    ForwardDct(table.coefScratch, block);
  } else {
    rk::reference::ForwardDct(table, block);
  }
  Reduce(block);
}

namespace reference {

void ReduceThumbnailBlock(const ModuleTableRec& table, int16_t* block) {
  rk::reference::ForwardDct(table, block);
  Reduce(block);
}

}  // namespace reference

int16_t EncodeKstmThumbnail(ModuleTableRec* table, const ImageBlkAttrRec& source, uint8_t* out, uint32_t capacity,
                            uint32_t* written, const ProgressSpan& progress) {
  if (!TableArraysReady(table) || out == nullptr || written == nullptr) return RK_ERR_NULL;
  if (source.pixels == nullptr || source.width == 0 || source.height == 0) return RK_ERR_UNSUPPORTED;
  McuGeometry geo;
  ComputeMcuGeometry(kKstmThumbFormat, geo);
  Scratch scratch(table, McuWorkArea::Bytes(geo));
  if (!scratch.ok()) return RK_ERR_MEMORY;
  McuWorkArea area;
  area.Place(scratch.data(), geo);

  ImageBlkAttrRec image = source;
  image.format = kKstmThumbFormat;
  image.pixelFormat = 0;
  const PixelSource src = PixelSource::From(image, geo);
  int16_t predictor[3] = {0, 0, 0};
  const int blocksPerMcu = geo.totalBlocks();  // four luminance, Cb, Cr
  BitWriter writer(out, capacity);
  for (int y0 = 0; y0 < image.height; y0 += geo.mcuHeight) {
    for (int x0 = 0; x0 < image.width; x0 += geo.mcuWidth) {
      GatherMcu(src, geo, x0, y0, area);
      SplitBlocks(geo, area);
      int16_t* block = area.blocks;
      for (int b = 0; b < blocksPerMcu; ++b, block += 64) {
        const int c = b < 4 ? 0 : b - 3;
        const int set = c == 0 ? 0 : 1;
        ReduceThumbnailBlock(*table, block);
        if (!EncodeBlock(writer, block, table->zigzag, table->dcCodeTable[set], table->acCodeTable[set],
                         &predictor[c])) {
          return RK_ERR_UNSUPPORTED;
        }
      }
    }
    if (writer.overflow()) return RK_ERR_BUFFER;
    if (CallProgress(progress.user, progress.offset + y0, progress.total, area.blocks) == RK_STOPPED) {
      return RK_STOPPED;
    }
  }
  // The last byte's unused bits stay 0 (zero bits cannot make it 0xFF).
  writer.Put(0, static_cast<int>((8 - writer.bitPosition() % 8) % 8));
  writer.Flush();
  const uint64_t bytes = writer.bitPosition() / 8;
  if (writer.overflow() || capacity - bytes < 2) return RK_ERR_BUFFER;
  out[bytes] = 0xFF;
  out[bytes + 1] = 0xD9;
  *written = static_cast<uint32_t>(bytes + 2);
  return RK_OK;
}

int16_t EncodeKstmImage(ModuleTableRec* table, const ImageBlkAttrRec& source, uint8_t* out, uint32_t capacity,
                        uint32_t* written, const ProgressSpan& progress) {
  if (!TableArraysReady(table) || out == nullptr || written == nullptr) return RK_ERR_NULL;
  if (capacity < kKstmHeaderBytes) return RK_ERR_BUFFER;
  std::memset(out, 0, 8);
  out[0] = 'K';
  out[1] = 'M';
  // The data carries one chrominance table for Cb and Cr alike.
  if (std::memcmp(table->quantTable[1], table->quantTable[2], 64 * sizeof(uint16_t)) != 0) {
    return RK_ERR_UNSUPPORTED;
  }
  for (int k = 0; k < 64; ++k) {
    const int natural = table->zigzag[k] & 63;
    // Entries above 255 (possible only in tables set by hand) would not be
    // what the decoder reads back; the scale factor keeps them in 1 .. 255.
    if (table->quantTable[0][natural] > 255 || table->quantTable[1][natural] > 255) return RK_ERR_UNSUPPORTED;
    out[8 + k] = static_cast<uint8_t>(table->quantTable[0][natural]);
    out[72 + k] = static_cast<uint8_t>(table->quantTable[1][natural]);
  }

  ImageBlkAttrRec image = source;
  image.format = kKstmImageFormat;
  image.restartInterval = 0;
  image.data = out + kKstmHeaderBytes;
  image.dataLength = capacity - kKstmHeaderBytes;
  McuGeometry geo;
  ComputeMcuGeometry(kKstmImageFormat, geo);
  Relay relay{progress, (image.height + geo.mcuHeight - 1) / geo.mcuHeight};
  UserCallBackRec callback{RelayProgress, reinterpret_cast<uintptr_t>(&relay)};
  const int16_t result = EncodeBaselineScan(table, &image, &callback);
  if (result != RK_OK) return result;
  *written = kKstmHeaderBytes + image.dataLength;
  return RK_OK;
}

}  // namespace rk::camera
