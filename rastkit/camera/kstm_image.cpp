// KSTM image decoding: strips of 16 x 8 MCUs (two luminance blocks, one Cb,
// one Cr) reconstructed with the block kernels, and the image's bitmap
// exports.
#include <cstring>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "camera/common.h"
#include "camera/kstm.h"
#include "camera/packed_bitmap.h"
#include "memory.h"
#include "table_check.h"

namespace rk::camera {
namespace {

constexpr int kMcuWidth = 16;
constexpr int kMcuHeight = 8;
constexpr int kMcuSamples = kMcuWidth * kMcuHeight;
constexpr int kBlocks = 4;  // Y left, Y right, Cb, Cr
// Three planes of one MCU, then the four coefficient blocks.
constexpr size_t kWorkBytes = (3 * kMcuSamples + 64 * kBlocks) * sizeof(int16_t);  // 1280

// bitPos counts bits in 32 bits: the reader addresses 2^29 bytes at most.
constexpr uint32_t kMaxStreamBytes = 0xFFFFFFFFu / 8;

}  // namespace

int16_t DecodeKstmImage(ModuleTableRec* table, const uint8_t* quant, ImageBlkAttrRec* image,
                        UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr || quant == nullptr) return RK_ERR_NULL;
  if (!TableArraysReady(table)) return RK_ERR_NULL;
  if (image->pixels == nullptr || image->width == 0 || image->height == 0) return RK_ERR_UNSUPPORTED;

  table->streamData = image->data;
  table->streamLength = image->data == nullptr ? 0 : std::min(image->dataLength, kMaxStreamBytes);
  table->bitPos = 0;
  table->dcPredictor[0] = table->dcPredictor[1] = table->dcPredictor[2] = 0;
  table->decodeError = 0;
  table->restartMcus = 0;
  table->mcuCount = 0;
  for (int k = 0; k < 64; ++k) {
    const int natural = table->zigzag[k] & 63;
    table->quantTable[0][natural] = quant[k];
    table->quantTable[1][natural] = table->quantTable[2][natural] = quant[64 + k];
  }
  image->auxCount1 = kMcuWidth;
  image->samplesPerPixel = kMcuWidth;
  image->auxCount2 = kMcuHeight;

  Scratch scratch(table, kWorkBytes);
  if (!scratch.ok()) return RK_ERR_MEMORY;
  auto* planeY = reinterpret_cast<int16_t*>(scratch.data());
  int16_t* planeCb = planeY + kMcuSamples;
  int16_t* planeCr = planeCb + kMcuSamples;
  int16_t* blocks = planeCr + kMcuSamples;

  const TableLookups lookups(*table);
  BlockDecoder decoder(table);
  const OutputImage out = OutputImage::From(*image, image->width, image->height);
  const int32_t last = out.height - 1;
  for (int y0 = 0; y0 < out.height; y0 += kMcuHeight) {
    bool failed = false;
    for (int x0 = 0; x0 < out.width && !failed; x0 += kMcuWidth) {
      std::memset(blocks, 0, sizeof(int16_t) * 64 * kBlocks);
      for (int b = 0; b < kBlocks && !failed; ++b) {
        const int c = b < 2 ? 0 : b - 1;
        const int t = c == 0 ? 0 : 1;
        failed = decoder.decodeError() != 0 ||
                 decoder.DecodeCleared(blocks + 64 * b, lookups.dc[t], lookups.ac[t], &table->dcPredictor[c]) !=
                     DecodeStatus::kOk;
      }
      if (failed) break;
      for (int b = 0; b < kBlocks; ++b) {
        DequantizeTransformBlock(table, blocks + 64 * b, table->quantTable[b < 2 ? 0 : b - 1]);
      }
      for (int r = 0; r < kMcuHeight; ++r) {
        for (int s = 0; s < kMcuWidth; ++s) {
          const int i = r * kMcuWidth + s;
          planeY[i] = static_cast<int16_t>(blocks[64 * (s / 8) + 8 * r + s % 8] + 128);
          planeCb[i] = blocks[128 + 8 * r + s / 2];
          planeCr[i] = blocks[192 + 8 * r + s / 2];
        }
      }
      YccToRgbRow(planeY, planeCb, planeCr, kMcuSamples);
      const int rows = std::min(kMcuHeight, out.height - y0);
      const int columns = std::min(kMcuWidth, out.width - x0);
      for (int r = 0; r < rows; ++r) {
        uint8_t* p = out.At(x0, y0 + r);
        for (int s = 0; s < columns; ++s, p += out.pixelStride) {
          const int i = r * kMcuWidth + s;
          p[out.red] = static_cast<uint8_t>(planeY[i]);
          p[out.green] = static_cast<uint8_t>(planeCb[i]);
          p[out.blue] = static_cast<uint8_t>(planeCr[i]);
        }
      }
    }
    const int16_t answer = CallProgress(progress, y0, last, blocks);
    if (answer == RK_STOPPED) {
      decoder.Sync();
      return RK_STOPPED;
    }
    if (failed) {
      decoder.Sync();
      return RK_ERR_FORMAT;
    }
  }
  decoder.Sync();
  // Each strip's answer becomes the result in turn; the last one made is
  // this closing call's.
  return CallProgress(progress, last, last, blocks);
}

namespace {

// The checks of every image export: data present, "KM" first, and an FF D9
// pair whose D9 lies at index 137 or later, inside the length.
int16_t CheckImageData(const uint8_t* data, int32_t length) {
  if (data == nullptr || length < 1) return RK_ERR_NULL;
  if (length < 2 || data[0] != 'K' || data[1] != 'M') return RK_ERR_UNSUPPORTED;
  for (int32_t j = kKstmHeaderBytes + 1; j < length; ++j) {
    if (data[j] == 0xD9 && data[j - 1] == 0xFF) return RK_OK;
  }
  return RK_ERR_UNSUPPORTED;
}

int16_t DecodeInto(ModuleTableRec* table, const uint8_t* data, int32_t length, uint8_t* block,
                   UserCallBackRec* progress) {
  ImageBlkAttrRec image{};
  DescribeBitmap(block, kKstmWidth, kKstmHeight, image);
  image.format = kKstmImageFormat;
  image.data = const_cast<uint8_t*>(data) + kKstmHeaderBytes;
  image.dataLength = static_cast<uint32_t>(length) - kKstmHeaderBytes;
  return DecodeKstmImage(table, data + 8, &image, progress);
}

void* NewImageBitmap(ModuleTableRec* table, const uint8_t* data, int32_t length, int16_t* result,
                     UserCallBackRec* progress) {
  int16_t code = RK_OK;
  uint8_t* block = NewFilledBitmap(kKstmWidth, kKstmHeight, code,
                                   [&](uint8_t* b) { return DecodeInto(table, data, length, b, progress); });
  return ReportBitmap(result, code, block);
}

void* Refuse(int16_t* result, int16_t code) { return ReportBitmap(result, code, nullptr); }

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" {

RK_API uint32_t RkGetDIBKSTMCameraImageSize(void) {
  return static_cast<uint32_t>(PackedBitmapBytes(kKstmWidth, kKstmHeight));
}

RK_API void* RkCreateDIBKSTMCameraImage(ModuleTableRec* table, const uint8_t* data, int32_t length,
                                        int16_t* result, UserCallBackRec* progress) {
  if (!TableArraysReady(table)) return Refuse(result, RK_ERR_NULL);
  if (const int16_t r = CheckImageData(data, length); r != RK_OK) return Refuse(result, r);
  return NewImageBitmap(table, data, length, result, progress);
}

RK_API void* RkGetImgDIBKSTMCameraImage(const uint8_t* data, int32_t length, int16_t* result,
                                        UserCallBackRec* progress) {
  if (const int16_t r = CheckImageData(data, length); r != RK_OK) return Refuse(result, r);
  OwnTable table(OwnTable::Kind::kCodec);
  if (!table.ok()) return Refuse(result, RK_ERR_MEMORY);
  return NewImageBitmap(table.get(), data, length, result, progress);
}

RK_API int16_t RkConvertDIBKSTMCameraImage(ModuleTableRec* table, const uint8_t* data, int32_t length,
                                           uint8_t* block, UserCallBackRec* progress) {
  if (!TableArraysReady(table) || block == nullptr) return RK_ERR_NULL;
  if (const int16_t r = CheckImageData(data, length); r != RK_OK) return r;
  WriteBitmapHeader(block, kKstmWidth, kKstmHeight);
  return DecodeInto(table, data, length, block, progress);
}

}  // extern "C"
