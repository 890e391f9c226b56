// Baseline sequential JPEG decoding: the MCU loop over one interleaved
// Huffman scan, restart handling and recovery from early restart markers,
// and the one-call RkDecodeJFIF.
#include <algorithm>
#include <cstring>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "geometry.h"
#include "mcu_reconstruct.h"
#include "memory.h"
#include "rastkit.h"
#include "restart.h"

namespace rk {
namespace {

// bitPos counts bits in 32 bits, so the reader can address 2^29 bytes;
// bytes beyond are treated as the end of the data.
constexpr uint32_t kMaxStreamBytes = 0xFFFFFFFFu / 8;

int16_t CallProgress(const UserCallBackRec* progress, int32_t done, int32_t total, void* work) {
  if (progress == nullptr || progress->proc == nullptr) return RK_OK;
  return progress->proc(done, total, work, progress->userData);
}

class BaselineDecoder {
 public:
  BaselineDecoder(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress)
      : table_(table), image_(image), progress_(progress) {}
  int16_t Run();

 private:
  // Entropy-decodes one MCU into the block buffer. kOk, or the status of
  // the block that failed (the remaining blocks are not decoded).
  DecodeStatus DecodeMcu(BlockDecoder& decoder, int16_t* blocks);
  void TransformMcu(int16_t* blocks) const;

  ModuleTableRec* table_;
  ImageBlkAttrRec* image_;
  UserCallBackRec* progress_;
  McuGeometry geo_{};
  HuffLookup dc_[2];
  HuffLookup ac_[2];
};

DecodeStatus BaselineDecoder::DecodeMcu(BlockDecoder& decoder, int16_t* blocks) {
  // Cleared blocks: the decoder then writes only the coded coefficients.
  std::memset(blocks, 0, sizeof(int16_t) * 64 * static_cast<size_t>(geo_.totalBlocks()));
  for (int c = 0; c < geo_.components; ++c) {
    const int t = c == 0 ? 0 : 1;
    for (int b = 0; b < geo_.blocksPerMcu(c); ++b, blocks += 64) {
      const DecodeStatus s = decoder.DecodeCleared(blocks, dc_[t], ac_[t], &table_->dcPredictor[c]);
      if (s != DecodeStatus::kOk) return s;
    }
  }
  return DecodeStatus::kOk;
}

void BaselineDecoder::TransformMcu(int16_t* blocks) const {
  for (int c = 0; c < geo_.components; ++c) {
    const uint16_t* quant = table_->quantTable[c];
    for (int b = 0; b < geo_.blocksPerMcu(c); ++b, blocks += 64) {
      DequantizeTransformBlock(table_, blocks, quant);
    }
  }
}

int16_t BaselineDecoder::Run() {
  ComputeMcuGeometry(image_->format, geo_);
  if (!IsCodableGeometry(geo_)) return RK_ERR_UNSUPPORTED;
  image_->auxCount1 = static_cast<uint16_t>(geo_.mcuWidth);
  image_->auxCount2 = static_cast<uint16_t>(geo_.mcuHeight);
  image_->samplesPerPixel = static_cast<uint16_t>(geo_.mcuWidth);
  if (image_->pixels == nullptr || (image_->data == nullptr && image_->dataLength != 0)) {
    return RK_ERR_UNSUPPORTED;
  }
  PixelTarget target;
  if (!DescribeTarget(*image_, geo_.components, target)) return RK_ERR_UNSUPPORTED;
  for (int c = 0; c < geo_.components; ++c) {
    if (table_->quantTable[c] == nullptr) return RK_ERR_MEMORY;
  }
  for (int t = 0; t < 2; ++t) {
    if (table_->dcCodeTable[t] == nullptr || table_->acCodeTable[t] == nullptr) return RK_ERR_MEMORY;
  }
  if (table_->zigzag == nullptr) return RK_ERR_MEMORY;

  table_->streamData = image_->data;
  table_->streamLength = std::min(image_->dataLength, kMaxStreamBytes);
  table_->bitPos = 0;
  table_->dcPredictor[0] = table_->dcPredictor[1] = table_->dcPredictor[2] = 0;
  table_->decodeError = 0;
  // DRI carries an unsigned 16-bit interval; the module table's field is
  // signed, so the loop keeps its own unsigned copy (an interval of 40000
  // must not read as "no restarts").
  const uint32_t interval = image_->restartInterval & 0xFFFF;
  table_->restartMcus = static_cast<int16_t>(interval);
  table_->mcuCount = 0;

  const size_t planeSamples = 3 * static_cast<size_t>(McuPlaneSamples(geo_));
  const size_t blockSamples = 64 * static_cast<size_t>(geo_.totalBlocks());
  Scratch scratch(table_, 2 * (planeSamples + blockSamples));
  if (!scratch.ok()) return RK_ERR_MEMORY;
  auto* planes = reinterpret_cast<int16_t*>(scratch.data());
  int16_t* blocks = planes + planeSamples;

  for (int t = 0; t < 2; ++t) {
    dc_[t].Build(table_->dcCodeTable[t], 16, table_->huffLut[t]);
    // A lookup buffer marks windows that no code covers with a symbol that
    // has no code; an AC table that codes all 256 symbols has none to spare,
    // so it is searched instead (same results, see BuildDecodeLut).
    const HuffCodeRec* ac = table_->acCodeTable[t];
    const bool allCoded = std::all_of(ac, ac + 256, [](const HuffCodeRec& e) { return e.length != 0; });
    ac_[t].Build(ac, 256, allCoded ? nullptr : table_->huffLut[2 + t]);
  }
  BlockDecoder decoder(table_);
  const bool rgb = (image_->codecFlags & RK_CODEC_FLAG_RGB) != 0;
  const int width = image_->width;
  const int height = image_->height;

  bool failed = false;
  bool skipping = false;  // inside an interval cut short by an early restart marker
  uint32_t count = 0;     // MCUs since the last restart marker
  // At the end of an interval (complete or cut short): move past the
  // restart marker. When none follows, decodeError stays -17 and the next
  // MCU, if there is one, fails.
  auto endInterval = [&]() {
    decoder.Sync();
    if (ResyncAtRestart(table_)) table_->decodeError = 0;
    decoder.Reload();
    count = 0;
    skipping = false;
  };

  for (int y0 = 0; y0 < height && !failed; y0 += geo_.mcuHeight) {
    for (int x0 = 0; x0 < width; x0 += geo_.mcuWidth) {
      if (!skipping) {
        DecodeStatus status = DecodeStatus::kStreamError;
        if (decoder.decodeError() == 0) status = DecodeMcu(decoder, blocks);
        if ((status == DecodeStatus::kNoCode || status == DecodeStatus::kBadRun) && interval > 0 &&
            RestartMarkerNear(table_, decoder.bitPos())) {
          // The interval's data ended early: its marker's bytes were read
          // as code bits.
          decoder.Sync();
          table_->decodeError = RK_ERR_RESTART;
          decoder.Reload();
          status = DecodeStatus::kStreamError;
        }
        if (status == DecodeStatus::kOk) {
          TransformMcu(blocks);
          const McuSource mcu{&geo_, blocks, rgb, x0, y0};
          if (target.separate) {
            ReconstructMcu(mcu, planes, target);
          } else {
            ReconstructMcuReference(mcu, planes, target);
          }
          if (interval > 0 && ++count == interval) endInterval();
          continue;
        }
        // End of data, a code that matches nothing, a run past coefficient
        // 63, or a restart marker without restart intervals: corrupt data.
        if (status != DecodeStatus::kStreamError || decoder.decodeError() != RK_ERR_RESTART ||
            interval == 0) {
          failed = true;
          break;
        }
        // A restart marker inside an interval: this MCU and the rest of the
        // interval are left as they were; decoding resumes after the marker.
        skipping = true;
      }
      if (++count == interval) endInterval();
    }
    table_->mcuCount = static_cast<int16_t>(count);
    if (failed) break;
    if (CallProgress(progress_, y0, height - 1, blocks) == RK_STOPPED) {
      decoder.Sync();
      return RK_STOPPED;
    }
  }
  decoder.Sync();
  if (skipping) failed = true;  // the image ended inside a cut-short interval

  const int16_t final = CallProgress(progress_, height - 1, height - 1, blocks);
  return failed ? static_cast<int16_t>(RK_ERR_FORMAT) : final;
}

}  // namespace
}  // namespace rk

extern "C" {

RK_API int16_t RkDecompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                       UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  rk::BaselineDecoder decoder(table, image, progress);
  return decoder.Run();
}

RK_API int16_t RkDecodeJFIF(ModuleTableRec* table, const uint8_t* data, const uint32_t* size,
                            uint8_t* pixels, int32_t rowStride, UserCallBackRec* progress) {
  if (table == nullptr || data == nullptr || pixels == nullptr || size == nullptr) return RK_ERR_NULL;
  ImageBlkAttrRec image;
  std::memset(&image, 0, sizeof image);
  image.pixels = pixels;
  image.rowStride = rowStride;
  image.pixelStride = 4;
  image.redOffset = 1;
  image.greenOffset = 2;
  image.blueOffset = 3;
  if (RkDecodeJFIFHeader(table, data, size, &image) < 0 || image.data == nullptr) {
    return RK_ERR_UNSUPPORTED;
  }
  if (image.format & RK_FORMAT_PROGRESSIVE) return RkDecompressImageByProgJPEG(table, &image, progress);
  return RkDecompressImageByJPEG(table, &image, progress);
}

}  // extern "C"
