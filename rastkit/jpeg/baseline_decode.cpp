// Baseline sequential JPEG decoding: the MCU loop over one interleaved
// Huffman scan, restart handling and recovery from early restart markers,
// slices of restart intervals decoded on two threads, and the one-call
// RkDecodeJFIF.
#include "baseline_decode.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "geometry.h"
#include "parallel.h"
#include "mcu_reconstruct.h"
#include "memory.h"
#include "restart_resync.h"
#include "simd_level.h"
#include "table_check.h"

namespace rk {
namespace {

// bitPos counts bits in 32 bits, so the reader can address 2^29 bytes;
// bytes beyond are treated as the end of the data.
constexpr uint32_t kMaxStreamBytes = 0xFFFFFFFFu / 8;
// Three components of at most 4 x 4 blocks each.
constexpr int kMaxMcuBlocks = 48;

Status CallProgress(const UserCallBackRec* progress, int32_t done, int32_t total, void* work) {
  if (progress == nullptr || progress->proc == nullptr) return Status::kOk;
  return FromCallback(progress->proc(done, total, work, progress->userData));
}

// One run of consecutive MCUs with its own bit reader: the whole picture,
// or one slice of it. The bit reader's state (bitPos, decodeError, the DC
// predictors, mcuCount) lives in `table`: the caller's module table for the
// run that the calling thread makes, a copy of it for a helper's run.
struct Run {
  ModuleTableRec* table = nullptr;
  int16_t* planes = nullptr;
  int16_t* blocks = nullptr;
  uint32_t count = 0;     // MCUs since the last restart marker
  bool skipping = false;  // inside an interval cut short by an early restart marker
  size_t end = 0;         // where it ended: the failing MCU, or the end of its range
};

enum class RunEnd : uint8_t { kDone, kFailed, kStopped };

class BaselineDecoder {
 public:
  BaselineDecoder(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress, int threads)
      : table_(table), image_(image), progress_(progress), threads_(threads) {}
  // The table's arrays are there (the export checked).
  Status Run();

 private:
  // Entropy-decodes one MCU into the block buffer. kOk, or the status of
  // the block that failed (the remaining blocks are not decoded).
  DecodeStatus DecodeMcu(BlockDecoder& decoder, ModuleTableRec* table, int16_t* blocks);
  // Decodes MCUs first .. end - 1 (raster order). With `report` (the
  // calling thread only) the progress callback follows each finished MCU
  // row; a helper's run instead watches `cancel` at each row's end.
  RunEnd DecodeRange(rk::Run& run, size_t first, size_t end, bool report, const std::atomic<bool>* cancel);
  // The progress calls of the MCU rows that end at an MCU in first .. end - 1.
  Status ReportRows(size_t first, size_t end, void* work) const;
  // Two slices when the picture allows: see Run().
  [[nodiscard]] int Slices(size_t mcus, uint32_t interval) const;
  Status Finish(bool failed, void* work) const;

  ModuleTableRec* table_;
  ImageBlkAttrRec* image_;
  UserCallBackRec* progress_;
  int threads_;
  McuGeometry geo_{};
  PixelTarget target_{};
  SimdLevel level_ = SimdLevel::kNone;
  size_t cols_ = 0;
  int blocks_ = 0;  // blocks per MCU
  uint32_t interval_ = 0;
  bool rgb_ = false;
  std::array<const uint16_t*, kMaxMcuBlocks> quant_{};
  HuffLookup dc_[2];
  HuffLookup ac_[2];
};

DecodeStatus BaselineDecoder::DecodeMcu(BlockDecoder& decoder, ModuleTableRec* table, int16_t* blocks) {
  // Cleared blocks: the decoder then writes only the coded coefficients.
  std::memset(blocks, 0, sizeof(int16_t) * 64 * static_cast<size_t>(blocks_));
  for (int c = 0; c < geo_.components; ++c) {
    const int t = c == 0 ? 0 : 1;
    for (int b = 0; b < geo_.blocksPerMcu(c); ++b, blocks += 64) {
      const DecodeStatus s = decoder.DecodeCleared(blocks, dc_[t], ac_[t], &table->dcPredictor[c]);
      if (s != DecodeStatus::kOk) return s;
    }
  }
  return DecodeStatus::kOk;
}

RunEnd BaselineDecoder::DecodeRange(rk::Run& run, size_t first, size_t end, bool report,
                                    const std::atomic<bool>* cancel) {
  ModuleTableRec* table = run.table;
  BlockDecoder decoder(table);
  const uint32_t interval = interval_;
  // At the end of an interval (complete or cut short): move past the
  // restart marker. When none follows, decodeError stays -17 and the next
  // MCU, if there is one, fails.
  auto endInterval = [&]() {
    decoder.Sync();
    if (ResyncAtRestart(table)) table->decodeError = 0;
    decoder.Reload();
    run.count = 0;
    run.skipping = false;
  };

  for (size_t m = first; m < end; ++m) {
    const int x0 = static_cast<int>(m % cols_) * geo_.mcuWidth;
    const int y0 = static_cast<int>(m / cols_) * geo_.mcuHeight;
    bool decoded = false;
    if (!run.skipping) {
      DecodeStatus status = DecodeStatus::kStreamError;
      // Where the MCU starts matters only for an interval cut short; it is
      // worked out from the register, so not for every MCU.
      const uint32_t mcuStart = interval > 0 ? decoder.bitPos() : 0;
      if (decoder.decodeError() == 0) status = DecodeMcu(decoder, table, run.blocks);
      if ((status == DecodeStatus::kNoCode || status == DecodeStatus::kBadRun) && interval > 0 &&
          PaddingThenRestartMarker(table, mcuStart)) {
        // The interval's data ended early, right after its last whole
        // MCU: the marker's bytes were read as code bits.
        decoder.Sync();
        table->decodeError = RK_ERR_RESTART;
        decoder.Reload();
        status = DecodeStatus::kStreamError;
      }
      if (status == DecodeStatus::kOk) {
        DequantizeTransformBlocks(table_, run.blocks, quant_.data(), blocks_, level_);
        const McuSource mcu{&geo_, run.blocks, rgb_, x0, y0};
        if (target_.separate) {
          ReconstructMcu(mcu, run.planes, target_, level_);
        } else {
          ReconstructMcuReference(mcu, run.planes, target_);
        }
        if (interval > 0 && ++run.count == interval) endInterval();
        decoded = true;
      } else if (status != DecodeStatus::kStreamError || decoder.decodeError() != RK_ERR_RESTART ||
                 interval == 0) {
        // End of data, a code that matches nothing, a run past coefficient
        // 63, or a restart marker without restart intervals: corrupt data.
        table->mcuCount = static_cast<int16_t>(run.count);
        decoder.Sync();
        run.end = m;
        return RunEnd::kFailed;
      } else {
        // A restart marker inside an interval: this MCU and the rest of the
        // interval are left as they were; decoding resumes after the marker.
        run.skipping = true;
      }
    }
    if (!decoded && ++run.count == interval) endInterval();
    if (m % cols_ == cols_ - 1) {
      table->mcuCount = static_cast<int16_t>(run.count);
      if (report && CallProgress(progress_, y0, image_->height - 1, run.blocks) == Status::kStopped) {
        decoder.Sync();
        run.end = m + 1;
        return RunEnd::kStopped;
      }
      if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
        decoder.Sync();
        run.end = m + 1;
        return RunEnd::kStopped;
      }
    }
  }
  decoder.Sync();
  run.end = end;
  return RunEnd::kDone;
}

Status BaselineDecoder::ReportRows(size_t first, size_t end, void* work) const {
  for (size_t m = first; m < end; ++m) {
    if (m % cols_ != cols_ - 1) continue;
    const int y0 = static_cast<int>(m / cols_) * geo_.mcuHeight;
    if (CallProgress(progress_, y0, image_->height - 1, work) == Status::kStopped) return Status::kStopped;
  }
  return Status::kOk;
}

int BaselineDecoder::Slices(size_t mcus, uint32_t interval) const {
  // Pixels must not share bytes between MCUs (the plain write order then
  // decides), and two slices need two intervals.
  if (interval == 0 || mcus < 2 * static_cast<size_t>(interval) || !target_.separate) return 1;
  if (threads_ == 0) {
    const uint64_t pixels = uint64_t{image_->width} * image_->height;
    return pixels >= kSlicedDecodeMinPixels ? std::min(MaxThreads(), 2) : 1;
  }
  return std::min(threads_, 2);
}

Status BaselineDecoder::Finish(bool failed, void* work) const {
  const Status final = CallProgress(progress_, image_->height - 1, image_->height - 1, work);
  return failed ? Status::kFormat : final;
}

Status BaselineDecoder::Run() {
  ComputeMcuGeometry(image_->format, geo_);
  if (!IsCodableGeometry(geo_)) return Status::kUnsupported;
  image_->auxCount1 = static_cast<uint16_t>(geo_.mcuWidth);
  image_->auxCount2 = static_cast<uint16_t>(geo_.mcuHeight);
  image_->samplesPerPixel = static_cast<uint16_t>(geo_.mcuWidth);
  if (image_->pixels == nullptr || (image_->data == nullptr && image_->dataLength != 0)) {
    return Status::kUnsupported;
  }
  if (!DescribeTarget(*image_, geo_.components, target_)) return Status::kUnsupported;

  table_->streamData = image_->data;
  table_->streamLength = std::min(image_->dataLength, kMaxStreamBytes);
  table_->bitPos = 0;
  table_->dcPredictor[0] = table_->dcPredictor[1] = table_->dcPredictor[2] = 0;
  table_->decodeError = 0;
  // DRI carries an unsigned 16-bit interval; the module table's field is
  // signed, so the loop keeps its own unsigned copy (an interval of 40000
  // must not read as "no restarts").
  interval_ = image_->restartInterval & 0xFFFF;
  table_->restartMcus = static_cast<int16_t>(interval_);
  table_->mcuCount = 0;

  const size_t workSamples = 3 * static_cast<size_t>(McuPlaneSamples(geo_)) + 64 * static_cast<size_t>(geo_.totalBlocks());
  Scratch scratch(table_, 2 * workSamples);
  if (!scratch.ok()) return Status::kMemory;

  level_ = ActiveSimdLevel();
  blocks_ = geo_.totalBlocks();
  for (int t = 0; t < 2; ++t) {
    dc_[t].Build(table_->dcCodeTable[t], 16, table_->huffLut[t]);
    // A lookup buffer marks windows that no code covers with a symbol that
    // has no code; an AC table that codes all 256 symbols has none to spare,
    // so it is searched instead (same results, see BuildDecodeLut).
    const HuffCodeRec* ac = table_->acCodeTable[t];
    const bool allCoded = std::all_of(ac, ac + 256, [](const HuffCodeRec& e) { return e.length != 0; });
    ac_[t].Build(ac, 256, allCoded ? nullptr : table_->huffLut[2 + t]);
  }
  for (int c = 0, b = 0; c < geo_.components; ++c) {
    for (int n = 0; n < geo_.blocksPerMcu(c); ++n) quant_[b++] = table_->quantTable[c];
  }
  rgb_ = (image_->codecFlags & RK_CODEC_FLAG_RGB) != 0;
  cols_ = (static_cast<size_t>(image_->width) + geo_.mcuWidth - 1) / geo_.mcuWidth;
  const size_t rowsOfMcus = (static_cast<size_t>(image_->height) + geo_.mcuHeight - 1) / geo_.mcuHeight;
  const size_t mcus = cols_ * rowsOfMcus;

  rk::Run main;
  main.table = table_;
  main.planes = reinterpret_cast<int16_t*>(scratch.data());
  main.blocks = main.planes + 3 * McuPlaneSamples(geo_);

  // Two slices: the first half of the restart intervals on this thread,
  // the rest on a helper, each from its own marker. The helper starts at
  // the marker that ends interval k - 1, found by a search over the data;
  // a stream whose intervals are where their markers say puts the
  // sequential decoder there too, with the predictors and the interval
  // count reset, which this thread checks when its slice is done. Only
  // then is the helper's part kept; otherwise (damaged data, a marker
  // missing or extra) the rest is decoded again as the one-thread decoder
  // does, from where this thread stopped. Rows are reported in order:
  // those of the first slice as they finish, the others after the join.
  if (Slices(mcus, interval_) == 2) {
    const size_t intervals = (mcus + interval_ - 1) / interval_;
    const uint32_t k = static_cast<uint32_t>(intervals / 2);
    const size_t split = static_cast<size_t>(k) * interval_;
    const int64_t marker = FindRestartMarker(table_->streamData, table_->streamLength, k);
    Scratch helperScratch(nullptr, 2 * workSamples);
    if (marker >= 0 && helperScratch.ok()) {
      const uint32_t helperStart = 8 * static_cast<uint32_t>(marker + 2);
      ModuleTableRec copy = *table_;
      copy.bitPos = helperStart;
      copy.dcPredictor[0] = copy.dcPredictor[1] = copy.dcPredictor[2] = 0;
      copy.mcuCount = 0;
      copy.decodeError = 0;
      rk::Run helper;
      helper.table = &copy;
      helper.planes = reinterpret_cast<int16_t*>(helperScratch.data());
      helper.blocks = helper.planes + 3 * McuPlaneSamples(geo_);
      std::atomic<bool> cancel{false};
      RunEnd mainEnd = RunEnd::kDone;
      RunEnd helperEnd = RunEnd::kDone;
      // Task 1 runs on a thread of its own (or, when none can be started,
      // here after task 0; a stop there has set cancel and it ends at once).
      auto slice = [&](int index) {
        if (index == 1) {
          helperEnd = DecodeRange(helper, split, mcus, false, &cancel);
          return;
        }
        mainEnd = DecodeRange(main, 0, split, true, nullptr);
        if (mainEnd == RunEnd::kStopped) cancel.store(true, std::memory_order_relaxed);
      };
      RunTasks(2, slice);
      if (mainEnd == RunEnd::kStopped) return Status::kStopped;
      if (mainEnd == RunEnd::kFailed) return Finish(true, main.blocks);
      const bool joined = table_->decodeError == 0 && table_->bitPos == helperStart && !main.skipping &&
                          main.count == 0;
      if (joined) {
        // The helper's end is the sequential decoder's end.
        table_->bitPos = copy.bitPos;
        table_->decodeError = copy.decodeError;
        std::copy(std::begin(copy.dcPredictor), std::end(copy.dcPredictor), table_->dcPredictor);
        table_->mcuCount = copy.mcuCount;
        if (ReportRows(split, helper.end, main.blocks) == Status::kStopped) return Status::kStopped;
        return Finish(helperEnd == RunEnd::kFailed || helper.skipping, main.blocks);
      }
      const RunEnd rest = DecodeRange(main, split, mcus, true, nullptr);
      if (rest == RunEnd::kStopped) return Status::kStopped;
      return Finish(rest == RunEnd::kFailed || main.skipping, main.blocks);
    }
  }

  const RunEnd end = DecodeRange(main, 0, mcus, true, nullptr);
  if (end == RunEnd::kStopped) return Status::kStopped;
  // The image ending inside a cut-short interval is a failure too.
  return Finish(end == RunEnd::kFailed || main.skipping, main.blocks);
}

}  // namespace

Status DecodeBaseline(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress, int threads) {
  if (image == nullptr || !TableArraysReady(table)) return Status::kNull;
  BaselineDecoder decoder(table, image, progress, threads);
  return decoder.Run();
}

}  // namespace rk

extern "C" {

RK_API int16_t RkDecompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                       UserCallBackRec* progress) {
  return rk::ToResult(rk::DecodeBaseline(table, image, progress));
}

RK_API int16_t RkDecodeJFIF(ModuleTableRec* table, const uint8_t* data, const uint32_t* size,
                            uint8_t* pixels, int32_t rowStride, UserCallBackRec* progress) {
  if (data == nullptr || pixels == nullptr || size == nullptr || !rk::TableArraysReady(table)) {
    return RK_ERR_NULL;
  }
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
