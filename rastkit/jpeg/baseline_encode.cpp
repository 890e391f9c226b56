#include "baseline_encode.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "bit_writer.h"
#include "encode_pixels.h"
#include "forward_dct.h"
#include "geometry.h"
#include "huffman_encode.h"
#include "mcu_work_area.h"
#include "mcu_transform.h"
#include "memory.h"
#include "parallel.h"
#include "quantize.h"
#include "restart_marker.h"
#include "table_check.h"

namespace rk {
namespace {

// Component c codes with table set 0 (luminance) or 1 (chrominance).
inline int TableSetOf(int c) { return c == 0 ? 0 : 1; }

// Statistics switch on: symbols are counted into the statistics area (257
// counts per table; the first table takes luminance DC and all AC symbols,
// the second the DC symbols coded with dcCodeTable 1).
bool CountMcuBlock(const ModuleTableRec& table, int c, const int16_t* block, int16_t* predictor, uint32_t* counts) {
  const HuffCodeRec* dc = table.dcCodeTable[TableSetOf(c)];
  uint32_t* dcCounts = dc == table.dcCodeTable[1] ? counts + 257 : counts;
  return CountBlock(block, table.zigzag, predictor, dcCounts, counts);
}

// The fast pipeline of one MCU: McuTransformer's blocks, coded by the
// masked Huffman coder when the transformer gives masks, else by
// EncodeBlock.
class FastKernels {
 public:
  using Writer = BitWriter;

  FastKernels(const ModuleTableRec& table, const McuGeometry& geo, const PixelSource& src)
      : table_(table), transformer_(table, geo, src, EdgeFill::kBlack) {
    if (!transformer_.givesMasks()) return;
    PackCodes(table.dcCodeTable[0], table.acCodeTable[0], codes_[0]);
    complete_ = codes_[0].complete;
    if (geo.components > 1) {
      PackCodes(table.dcCodeTable[1], table.acCodeTable[1], codes_[1]);
      complete_ = complete_ && codes_[1].complete;
    }
  }

  // Codes (or, with counts, counts) the MCU at (x0, y0). False when a block
  // needs a symbol without a code.
  bool CodeMcu(int x0, int y0, const McuWorkArea& area, Writer& w, int16_t* predictor, uint32_t* counts) {
    transformer_.Run(x0, y0, area, masks_);
    const McuBlocks& blocks = transformer_.blocks();
    const bool masked = transformer_.givesMasks();
    bool ok = true;
    for (int b = 0; b < blocks.count; ++b) {
      const int c = blocks.component[b];
      const int set = TableSetOf(c);
      const int16_t* block = area.blocks + 64 * b;
      if (counts != nullptr) {
        ok &= CountMcuBlock(table_, c, block, &predictor[c], counts);
      } else if (masked && complete_) {
        EncodeMaskedBlock<false>(w, block, masks_[b], codes_[set], &predictor[c]);
      } else if (masked) {
        ok &= EncodeMaskedBlock<true>(w, block, masks_[b], codes_[set], &predictor[c]);
      } else {
        ok &= EncodeBlock(w, block, table_.zigzag, table_.dcCodeTable[set], table_.acCodeTable[set], &predictor[c]);
      }
    }
    return ok;
  }

 private:
  const ModuleTableRec& table_;
  McuTransformer transformer_;
  PackedCodes codes_[2];
  bool complete_ = false;
  uint64_t masks_[kMaxBlocksPerMcu] = {};
};

class ReferenceKernels {
 public:
  using Writer = reference::BitWriter;

  ReferenceKernels(const ModuleTableRec& table, const McuGeometry& geo, const PixelSource& src)
      : table_(table), geo_(geo), src_(src), blocks_(geo) {}

  bool CodeMcu(int x0, int y0, const McuWorkArea& area, Writer& w, int16_t* predictor, uint32_t* counts) {
    reference::GatherMcu(src_, geo_, x0, y0, area);
    reference::ConvertColour(src_, geo_, area);
    reference::SplitBlocks(geo_, area);
    bool ok = true;
    for (int b = 0; b < blocks_.count; ++b) {
      const int c = blocks_.component[b];
      int16_t* block = area.blocks + 64 * b;
      reference::ForwardDct(table_, block);
      reference::QuantizeBlock(block, table_.quantTable[c]);
      if (counts != nullptr) {
        ok &= CountMcuBlock(table_, c, block, &predictor[c], counts);
      } else {
        const int set = TableSetOf(c);
        ok &= reference::EncodeBlock(w, block, table_.zigzag, table_.dcCodeTable[set], table_.acCodeTable[set],
                                     &predictor[c]);
      }
    }
    return ok;
  }

 private:
  const ModuleTableRec& table_;
  const McuGeometry& geo_;
  const PixelSource& src_;
  McuBlocks blocks_;
};

// What a run of MCUs carries from one MCU to the next.
struct RunState {
  int16_t predictor[3] = {0, 0, 0};
  uint32_t sinceRestart = 0;
  uint64_t markers = 0;  // written by this run
};

// Where a run's restart markers take their numbers from: the process-wide
// number (the sequential coder) or their index in the picture (slices).
enum class MarkerNumbers { kProcessWide, kByIndex };

// Codes the MCUs first .. end - 1 (raster order) into w. After the last MCU
// of each MCU row: RK_ERR_BUFFER once the writer ran out of room, else
// onRow(first image row of the MCU row), which returns RK_OK to go on.
template <class Kernels, class OnRow>
int16_t CodeMcus(Kernels& k, typename Kernels::Writer& w, const McuGeometry& geo, int mcuCols, uint64_t first,
                 uint64_t end, uint32_t interval, MarkerNumbers numbers, const McuWorkArea& area, RunState& st,
                 uint32_t* counts, OnRow&& onRow) {
  const uint64_t firstMarker = interval != 0 ? first / interval : 0;
  int col = static_cast<int>(first % static_cast<uint64_t>(mcuCols));
  int row = static_cast<int>(first / static_cast<uint64_t>(mcuCols));
  for (uint64_t m = first; m < end; ++m) {
    const int y0 = row * geo.mcuHeight;
    if (!k.CodeMcu(col * geo.mcuWidth, y0, area, w, st.predictor, counts)) return RK_ERR_UNSUPPORTED;
    if (interval != 0 && ++st.sinceRestart == interval) {
      w.PutMarker(numbers == MarkerNumbers::kByIndex ? RestartMarkerCode(firstMarker + st.markers)
                                                     : NextRestartMarker());
      ++st.markers;
      st.predictor[0] = st.predictor[1] = st.predictor[2] = 0;
      st.sinceRestart = 0;
    }
    if (++col == mcuCols) {
      if (w.overflow()) return RK_ERR_BUFFER;
      if (const int16_t r = onRow(y0); r != RK_OK) return r;
      col = 0;
      ++row;
    }
  }
  return RK_OK;
}

struct ScanJob {
  ModuleTableRec& table;
  ImageBlkAttrRec& image;
  const McuGeometry& geo;
  const PixelSource& src;
  int mcuCols;
  uint64_t mcus;
};

// One slice of whole restart intervals, coded into its own part of the
// output buffer.
struct Slice {
  uint64_t first = 0, end = 0;   // MCUs
  uint32_t outStart = 0, room = 0;
  uint8_t* areaMemory = nullptr;  // its work area (slice 0 uses the call's)
  int16_t result = RK_OK;
  uint32_t bytes = 0;
  RunState state;
};

// Codes the picture in slices of whole restart intervals, one per thread,
// each into a share of the output buffer proportional to its MCUs, then
// moves the shares together. Every interval starts with predictors 0 and
// ends on a byte boundary with its marker, so the joined bytes are exactly
// the sequential coder's. False when the slices could not be used (no
// memory for a work area, a share too small, a failing block): the caller
// then codes the picture sequentially, which gives the result (and the
// error) the picture really has.
bool EncodeSlices(ScanJob& job, const McuWorkArea& mainArea, int count) {
  const uint32_t interval = job.image.restartInterval;
  const uint64_t intervals = (job.mcus + interval - 1) / interval;
  const uint32_t capacity = job.image.dataLength;
  Slice slices[kMaxSlices];
  bool ready = true;
  for (int s = 0; s < count; ++s) {
    Slice& slice = slices[s];
    slice.first = std::min(job.mcus, intervals * static_cast<uint64_t>(s) / static_cast<uint64_t>(count) * interval);
    slice.end = std::min(job.mcus, intervals * static_cast<uint64_t>(s + 1) / static_cast<uint64_t>(count) * interval);
    slice.outStart = static_cast<uint32_t>(uint64_t{capacity} * slice.first / job.mcus);
    if (s > 0) {
      slices[s - 1].room = slice.outStart - slices[s - 1].outStart;
      slice.areaMemory = static_cast<uint8_t*>(AllocZeroed(McuWorkArea::Bytes(job.geo), 1));
      ready &= slice.areaMemory != nullptr;
    }
  }
  slices[count - 1].room = capacity - slices[count - 1].outStart;

  auto code = [&](int s) {
    Slice& slice = slices[s];
    McuWorkArea area = mainArea;
    if (s > 0) area.Place(slice.areaMemory, job.geo);
    FastKernels k(job.table, job.geo, job.src);
    BitWriter w(job.image.data + slice.outStart, slice.room);
    slice.result = CodeMcus(k, w, job.geo, job.mcuCols, slice.first, slice.end, interval, MarkerNumbers::kByIndex,
                            area, slice.state, nullptr, [](int) { return int16_t{RK_OK}; });
    w.PadWithOnes();  // a no-op after the marker that ends every slice but the last
    w.Flush();
    if (slice.result == RK_OK && w.overflow()) slice.result = RK_ERR_BUFFER;
    slice.bytes = static_cast<uint32_t>(w.bitPosition() / 8);
  };
  if (ready) RunTasks(count, code);
  for (int s = 1; s < count; ++s) FreeMemory(slices[s].areaMemory);
  if (!ready) return false;
  for (int s = 0; s < count; ++s) {
    if (slices[s].result != RK_OK) return false;
  }

  uint32_t total = slices[0].bytes;
  uint64_t markers = slices[0].state.markers;
  for (int s = 1; s < count; ++s) {
    std::memmove(job.image.data + total, job.image.data + slices[s].outStart, slices[s].bytes);
    total += slices[s].bytes;
    markers += slices[s].state.markers;
  }
  AdvanceRestartMarkers(markers);
  const RunState& last = slices[count - 1].state;
  for (int c = 0; c < 3; ++c) job.table.dcPredictor[c] = last.predictor[c];
  job.table.mcuCount = static_cast<int16_t>(last.sinceRestart);
  job.table.bitPos = total * 8;
  job.image.dataLength = total;
  return true;
}

// How many slices a picture gets (see kMinSlicePixels); `wanted` 0 decides
// from the picture's size and MaxThreads().
int SliceCount(const ModuleTableRec& table, const ImageBlkAttrRec& image, const UserCallBackRec* callback,
               uint64_t mcus, int wanted) {
  if (image.restartInterval == 0 || table.statsSwitch != 0 || table.workShop != nullptr) return 1;
  if (callback != nullptr && callback->proc != nullptr) return 1;
  if (wanted == 0 && uint64_t{image.width} * image.height < kMinSlicePixels) return 1;
  const uint64_t intervals = (mcus + image.restartInterval - 1) / image.restartInterval;
  const int limit = wanted == 0 ? MaxThreads() : wanted;
  const uint64_t threads = static_cast<uint64_t>(std::clamp(limit, 1, kMaxSlices));
  return static_cast<int>(std::min(threads, intervals));
}

template <class Kernels>
int16_t RunScan(ModuleTableRec& table, ImageBlkAttrRec& image, const UserCallBackRec* callback,
                const McuGeometry& geo, const McuWorkArea& area, int slices) {
  const PixelSource src = PixelSource::From(image, geo);
  const int mcuCols = (image.width + geo.mcuWidth - 1) / geo.mcuWidth;
  const int mcuRows = (image.height + geo.mcuHeight - 1) / geo.mcuHeight;
  const uint64_t mcus = static_cast<uint64_t>(mcuCols) * static_cast<uint64_t>(mcuRows);
  const uint32_t interval = image.restartInterval;
  table.restartMcus = static_cast<int16_t>(interval);
  table.mcuCount = 0;
  if (interval != 0) ResetRestartMarkers();

  if constexpr (std::is_same_v<Kernels, FastKernels>) {
    ScanJob job{table, image, geo, src, mcuCols, mcus};
    if (slices > 1 && EncodeSlices(job, area, slices)) return RK_OK;
    if (interval != 0) ResetRestartMarkers();
  }

  Kernels k(table, geo, src);
  typename Kernels::Writer writer(image.data, image.dataLength);
  uint32_t* counts = table.statsSwitch != 0 ? static_cast<uint32_t*>(table.progStats) : nullptr;
  RunState st;
  const int height = image.height;
  auto onRow = [&](int y0) -> int16_t {
    table.mcuCount = static_cast<int16_t>(st.sinceRestart);
    for (int c = 0; c < 3; ++c) table.dcPredictor[c] = st.predictor[c];
    if (callback != nullptr && callback->proc != nullptr &&
        callback->proc(y0, height - 1, area.blocks, callback->userData) == RK_STOPPED) {
      return RK_STOPPED;
    }
    return RK_OK;
  };
  const int16_t result =
      CodeMcus(k, writer, geo, mcuCols, 0, mcus, interval, MarkerNumbers::kProcessWide, area, st, counts, onRow);
  table.mcuCount = static_cast<int16_t>(st.sinceRestart);
  for (int c = 0; c < 3; ++c) table.dcPredictor[c] = st.predictor[c];
  if (result != RK_OK) return result;
  writer.PadWithOnes();
  writer.Flush();
  if (writer.overflow()) return RK_ERR_BUFFER;

  const uint64_t bits = writer.bitPosition();
  table.bitPos = static_cast<uint32_t>(bits);
  image.dataLength = static_cast<uint32_t>((bits + 7) / 8);
  if (callback != nullptr && callback->proc != nullptr) {
    return callback->proc(height - 1, height - 1, area.blocks, callback->userData);
  }
  return RK_OK;
}

}  // namespace

uint64_t MaxScanBytes(const ImageBlkAttrRec& image) {
  McuGeometry geo;
  ComputeMcuGeometry(image.format, geo);
  const uint64_t columns = (uint64_t{image.width} + geo.mcuWidth - 1) / geo.mcuWidth;
  const uint64_t rows = (uint64_t{image.height} + geo.mcuHeight - 1) / geo.mcuHeight;
  const uint64_t mcus = columns * rows;
  const uint64_t markers = image.restartInterval != 0 ? mcus / image.restartInterval : 0;
  const uint64_t bits = mcus * static_cast<uint64_t>(geo.totalBlocks()) * kMaxBlockBits + 7 * (markers + 1);
  return 2 * ((bits + 7) / 8) + 2 * markers;
}

int16_t CheckEncodable(const ImageBlkAttrRec& image) {
  if (image.pixels == nullptr || image.data == nullptr) return RK_ERR_UNSUPPORTED;
  return CheckEncodableShape(image);
}

int16_t CheckEncodableShape(const ImageBlkAttrRec& image) {
  if (image.width == 0 || image.height == 0) return RK_ERR_UNSUPPORTED;
  McuGeometry geo;
  ComputeMcuGeometry(image.format, geo);
  if (!IsCodableGeometry(geo)) return RK_ERR_UNSUPPORTED;
  if (geo.components == 1 && (image.format & 0xF) != 0) return RK_ERR_UNSUPPORTED;
  if (geo.totalBlocks() > kMaxBlocksPerMcu) return RK_ERR_UNSUPPORTED;
  if (image.restartInterval > kMaxRestartInterval) return RK_ERR_UNSUPPORTED;
  return RK_OK;
}

int16_t CheckEncoderTables(const ModuleTableRec& table, int components) {
  for (int c = 0; c < components; ++c) {
    if (table.quantTable[c] == nullptr) return RK_ERR_NULL;
  }
  for (int set = 0; set < (components > 1 ? 2 : 1); ++set) {
    if (table.dcCodeTable[set] == nullptr || table.acCodeTable[set] == nullptr) return RK_ERR_NULL;
  }
  if (table.zigzag == nullptr || table.coefScratch == nullptr) return RK_ERR_NULL;
  for (int c = 0; c < components; ++c) {
    for (int i = 0; i < 64; ++i) {
      if (table.quantTable[c][i] == 0) return RK_ERR_UNSUPPORTED;
    }
  }
  for (int i = 0; i < 64; ++i) {
    if (table.zigzag[i] < 0 || table.zigzag[i] > 63) return RK_ERR_UNSUPPORTED;
  }
  if (table.statsSwitch != 0 && table.progStats == nullptr) return RK_ERR_UNSUPPORTED;
  return RK_OK;
}

int16_t EncodeBaselineScan(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* callback,
                           EncodeKernels kernels, int slices) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (const int16_t r = CheckEncodable(*image); r != RK_OK) return r;
  McuGeometry geo;
  ComputeMcuGeometry(image->format, geo);
  if (const int16_t r = CheckEncoderTables(*table, geo.components); r != RK_OK) return r;

  table->streamData = image->data;
  table->streamLength = image->dataLength;
  table->bitPos = 0;
  table->dcPredictor[0] = table->dcPredictor[1] = table->dcPredictor[2] = 0;

  image->auxCount1 = static_cast<uint16_t>(geo.mcuWidth);
  image->samplesPerPixel = static_cast<uint16_t>(geo.mcuWidth);
  image->auxCount2 = static_cast<uint16_t>(geo.mcuHeight);

  Scratch scratch(table, McuWorkArea::Bytes(geo));
  if (!scratch.ok()) return RK_ERR_MEMORY;
  McuWorkArea area;
  area.Place(scratch.data(), geo);

  if (kernels == EncodeKernels::kReference) {
    return RunScan<ReferenceKernels>(*table, *image, callback, geo, area, 1);
  }
  const uint64_t mcus = uint64_t{(image->width + geo.mcuWidth - 1u) / geo.mcuWidth} *
                        ((image->height + geo.mcuHeight - 1u) / geo.mcuHeight);
  return RunScan<FastKernels>(*table, *image, callback, geo, area, SliceCount(*table, *image, callback, mcus, slices));
}

}  // namespace rk

extern "C" RK_API int16_t RkCompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                                UserCallBackRec* callback) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  return rk::EncodeBaselineScan(table, image, callback);
}
