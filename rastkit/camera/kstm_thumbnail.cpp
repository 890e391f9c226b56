// KSTM thumbnail decoding: one 2 x 2 pixel square per 4:2:0 MCU from the DC
// terms alone, and the thumbnail's bitmap exports.
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

constexpr int kBlocks = 6;  // four luminance, Cb, Cr
constexpr uint32_t kMaxStreamBytes = 0xFFFFFFFFu / 8;

// The DC term's sample value: the inverse transform of a block holding only
// d gives (d x 4096 x 128 + 2^14) >> 15 = 16 x d everywhere (a DC of 8
// gives 128), kept as a 16-bit value. Widened first: d x 2^19 does not fit
// 32 bits for |d| >= 4096.
inline int16_t DcSample(int16_t d) {
  return static_cast<int16_t>((int64_t{d} * 128 * 4096 + 16384) >> 15);
}

}  // namespace

int16_t DecodeKstmThumbnail(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (!TableArraysReady(table)) return RK_ERR_NULL;
  if (image->pixels == nullptr || image->width == 0 || image->height == 0) return RK_ERR_UNSUPPORTED;

  table->streamData = image->data;
  table->streamLength = image->data == nullptr ? 0 : std::min(image->dataLength, kMaxStreamBytes);
  table->bitPos = 0;
  table->dcPredictor[0] = table->dcPredictor[1] = table->dcPredictor[2] = 0;
  table->decodeError = 0;
  table->restartMcus = 0;
  table->mcuCount = 0;
  image->auxCount1 = 2;
  image->samplesPerPixel = 2;
  image->auxCount2 = 2;

  // Only the DC terms matter, which the decoder writes whatever the block
  // held; the other coefficients land in this scratch block and are unused.
  int16_t block[64] = {};
  const TableLookups lookups(*table);
  BlockDecoder decoder(table);
  const OutputImage out = OutputImage::From(*image, image->width, image->height);
  const int32_t last = out.height - 1;
  for (int y = 0; y < out.height; y += 2) {
    bool failed = false;
    for (int x = 0; x < out.width && !failed; x += 2) {
      int16_t dc[kBlocks];
      for (int b = 0; b < kBlocks && !failed; ++b) {
        const int c = b < 4 ? 0 : b - 3;
        const int t = c == 0 ? 0 : 1;
        int16_t* predictor = &table->dcPredictor[c];
        failed = decoder.decodeError() != 0 ||
                 decoder.DecodeCleared(block, lookups.dc[t], lookups.ac[t], predictor) != DecodeStatus::kOk;
        dc[b] = *predictor;  // the block's DC term
      }
      if (failed) break;
      const int16_t cb = DcSample(dc[4]), cr = DcSample(dc[5]);
      for (int k = 0; k < 4; ++k) {
        const int px = x + (k & 1), py = y + (k >> 1);
        if (px >= out.width || py >= out.height) continue;
        int16_t r = static_cast<int16_t>(DcSample(dc[k]) + 128), g = cb, b = cr;
        YccToRgb(&r, &g, &b);
        uint8_t* p = out.At(px, py);
        p[out.red] = static_cast<uint8_t>(r);
        p[out.green] = static_cast<uint8_t>(g);
        p[out.blue] = static_cast<uint8_t>(b);
      }
    }
    const int16_t answer = CallProgress(progress, y, last, block);
    if (answer == RK_STOPPED || failed) {
      decoder.Sync();
      return answer == RK_STOPPED ? answer : static_cast<int16_t>(RK_ERR_FORMAT);
    }
  }
  decoder.Sync();
  return CallProgress(progress, last, last, block);
}

namespace {

// An FF D9 pair inside the length: where the thumbnail stream ends.
int16_t CheckThumbnailData(const uint8_t* data, int32_t length) {
  if (data == nullptr) return RK_ERR_NULL;
  for (int32_t j = 1; j < length; ++j) {
    if (data[j] == 0xD9 && data[j - 1] == 0xFF) return RK_OK;
  }
  return RK_ERR_UNSUPPORTED;
}

int16_t DecodeInto(ModuleTableRec* table, const uint8_t* data, int32_t length, uint8_t* block) {
  ImageBlkAttrRec image{};
  DescribeBitmap(block, kKstmThumbWidth, kKstmThumbHeight, image);
  image.format = kKstmThumbFormat;
  image.data = const_cast<uint8_t*>(data);
  image.dataLength = static_cast<uint32_t>(length);
  return DecodeKstmThumbnail(table, &image, nullptr);
}

void* NewThumbnailBitmap(ModuleTableRec* table, const uint8_t* data, int32_t length, int16_t* result) {
  int16_t code = RK_OK;
  uint8_t* block = NewFilledBitmap(kKstmThumbWidth, kKstmThumbHeight, code,
                                   [&](uint8_t* b) { return DecodeInto(table, data, length, b); });
  return ReportBitmap(result, code, block);
}

void* Refuse(int16_t* result, int16_t code) { return ReportBitmap(result, code, nullptr); }

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" {

RK_API uint32_t RkGetDIBKSTMCameraThumbnailSize(void) {
  return static_cast<uint32_t>(PackedBitmapBytes(kKstmThumbWidth, kKstmThumbHeight));
}

RK_API void* RkCreateDIBKSTMCameraThumbnail(ModuleTableRec* table, const uint8_t* data, int32_t length,
                                            int16_t* result) {
  if (!TableArraysReady(table)) return Refuse(result, RK_ERR_NULL);
  if (const int16_t r = CheckThumbnailData(data, length); r != RK_OK) return Refuse(result, r);
  return NewThumbnailBitmap(table, data, length, result);
}

RK_API void* RkGetImgDIBKSTMCameraThumbnail(const uint8_t* data, int32_t length, int16_t* result) {
  if (const int16_t r = CheckThumbnailData(data, length); r != RK_OK) return Refuse(result, r);
  OwnTable table(OwnTable::Kind::kCodec);
  if (!table.ok()) return Refuse(result, RK_ERR_MEMORY);
  return NewThumbnailBitmap(table.get(), data, length, result);
}

RK_API int16_t RkConvertDIBKSTMCameraThumbnail(ModuleTableRec* table, const uint8_t* data, int32_t length,
                                               uint8_t* block) {
  if (!TableArraysReady(table) || block == nullptr) return RK_ERR_NULL;
  if (const int16_t r = CheckThumbnailData(data, length); r != RK_OK) return r;
  WriteBitmapHeader(block, kKstmThumbWidth, kKstmThumbHeight);
  return DecodeInto(table, data, length, block);
}

}  // extern "C"
