#include "progressive_encode.h"

#include <bit>
#include <cstring>
#include <optional>

#include "baseline_encode.h"
#include "bit_writer.h"
#include "coef_layout.h"
#include "encode_pixels.h"
#include "forward_dct.h"
#include "geometry.h"
#include "huffman_encode.h"
#include "huffman_tables.h"
#include "jfif_writer.h"
#include "mcu_transform.h"
#include "memory.h"
#include "optimal_huffman.h"
#include "quantize.h"
#include "scan_script.h"
#include "segment_writer.h"
#include "table_check.h"
#include "zigzag_mask.h"

namespace rk {
namespace {

constexpr int kZrl = 0xF0;
// An end-of-band run is written at once when it reaches this length, the
// longest that symbol 0xE0 and 14 extra bits can say.
constexpr uint32_t kMaxEobRun = 32767;
// How many blocks ahead an AC scan fetches the store.
constexpr int kPrefetchBlocks = 4;

// Symbol sinks of a scan's coding pass: the first pass counts into the
// statistics area, the second writes codes.
struct SymbolCounter {
  uint32_t* dcFreq[3];  // per component: the first table for 0, the second for 1 and 2
  uint32_t* acFreq;
  bool Dc(int c, int size, uint32_t) {
    ++dcFreq[c][size];
    return true;
  }
  bool Ac(int symbol, uint32_t, int) {
    ++acFreq[symbol];
    return true;
  }
};

// Codes from the packed tables (huffman_encode.h: length << 16 | code, 0
// without a code).
struct SymbolWriter {
  BitWriter* writer;
  const uint32_t* dc[3];
  const uint32_t* ac;
  // The code and the value bits go out in one Put (16 + 15 bits at most).
  bool Dc(int c, int size, uint32_t bits) {
    const uint32_t e = dc[c][size];
    writer->Put(((e & 0xFFFF) << size) | bits, static_cast<int>(e >> 16) + size);
    return e != 0;
  }
  bool Ac(int symbol, uint32_t bits, int count) {
    const uint32_t e = ac[symbol];
    writer->Put(((e & 0xFFFF) << count) | bits, static_cast<int>(e >> 16) + count);
    return e != 0;
  }
};

// Where an AC scan takes a block's zigzag mask of non-zero coefficients
// from: the masks the transform pass stored (one per block of the store),
// ZigzagMasks on the block, or (neither: a zigzag table that is not a
// permutation, or the plain form) position by position.
struct MaskSource {
  const int16_t* store = nullptr;
  const uint64_t* stored = nullptr;
  const ZigzagMasks* tables = nullptr;
};

// The DC scan: every MCU, each component's blocks in order, the DC
// difference to the component's predictor.
template <class Sink>
bool CodeDcScan(const CoefficientLayout& layout, const int16_t* store, int16_t zz0, Sink& sink) {
  const McuGeometry& geo = layout.geo;
  int16_t predictor[3] = {0, 0, 0};
  const size_t mcus = layout.mcuCount();
  const int16_t* block = store;
  for (size_t m = 0; m < mcus; ++m) {
    for (int c = 0; c < geo.components; ++c) {
      for (int b = 0; b < geo.blocksPerMcu(c); ++b, block += 64) {
        const int16_t value = block[zz0];
        const int32_t diff = static_cast<int16_t>(value - predictor[c]);
        predictor[c] = value;
        const int size = SizeOf(diff);
        if (size > 15 || !sink.Dc(c, size, ValueBits(diff, size))) return false;
      }
    }
  }
  return true;
}

// An AC scan of component c over band ss..se (T.81 G.1.2.2, Al = 0): the
// component's T.81 block grid row by row; blocks with nothing left in the
// band join the end-of-band run, which is written before the next coded
// coefficient, at 32767 blocks and at the end of the scan. A run E is
// symbol 16 x floor(log2 E) and the bits of E below its top bit: 5 blocks
// are 0x20 and the bits 01.
template <class Sink>
bool CodeAcScan(const CoefficientLayout& layout, const int16_t* store, int c, int ss, int se, const uint8_t* zz,
                const MaskSource& masks, Sink& sink) {
  uint32_t eobrun = 0;
  auto flushRun = [&]() {
    const int n = 31 - std::countl_zero(eobrun);
    const bool ok = sink.Ac(16 * n, eobrun & ((1u << n) - 1), n);
    eobrun = 0;
    return ok;
  };
  const int wide = layout.gridWide[c];
  for (int by = 0; by < layout.gridHigh[c]; ++by) {
    GridRow row(layout, const_cast<int16_t*>(store), c, by);
    // The store is far larger than the caches: the block a few columns on
    // is fetched while this one is coded.
    GridRow ahead = row;
    int aheadAt = 0;
    for (; aheadAt < kPrefetchBlocks && aheadAt + 1 < wide; ++aheadAt) ahead.Next();
    for (int bx = 0; bx < wide; ++bx) {
      const int16_t* block = row.block();
      __builtin_prefetch(ahead.block());
      __builtin_prefetch(ahead.block() + 32);
      __builtin_prefetch(ahead.block() + 63);
      if (bx + 1 < wide) row.Next();
      if (aheadAt + 1 < wide) {
        ahead.Next();
        ++aheadAt;
      }
      // The band's non-zero coefficients as a mask over zigzag positions,
      // so that runs of zeros cost nothing; position by position in the
      // plain form (also for a zigzag table that is not a permutation).
      uint64_t nonzero = 0;
      if (masks.stored != nullptr) {
        nonzero = masks.stored[(block - masks.store) / 64] & Positions(ss, se);
      } else if (masks.tables != nullptr) {
        nonzero = masks.tables->NonZero(block) & Positions(ss, se);
      } else {
        for (int k = ss; k <= se; ++k) nonzero |= static_cast<uint64_t>(block[zz[k]] != 0) << k;
      }
      int last = ss - 1;
      while (nonzero != 0) {
        const int k = std::countr_zero(nonzero);
        nonzero &= nonzero - 1;
        if (eobrun > 0 && !flushRun()) return false;
        int run = k - last - 1;
        for (; run > 15; run -= 16) {
          if (!sink.Ac(kZrl, 0, 0)) return false;
        }
        const int16_t value = block[zz[k]];
        const int size = SizeOf(value);
        if (size > 15 || !sink.Ac(16 * run + size, ValueBits(value, size), size)) return false;
        last = k;
      }
      if (last < se && ++eobrun == kMaxEobRun && !flushRun()) return false;
    }
  }
  return eobrun == 0 || flushRun();
}

class ProgressiveWriter {
 public:
  ProgressiveWriter(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress, EncodeKernels kernels)
      : table_(table), image_(image), progress_(progress), plain_(kernels == EncodeKernels::kReference) {}
  int16_t Run();

 private:
  // masks: one per block of the store (same order), filled when the
  // transformer gives them; null when there is no room for them.
  int16_t Transform(const CoefficientLayout& layout, uint8_t* head, int16_t* store, uint64_t* masks);
  int16_t WriteScan(const ScriptScan& scan, const CoefficientLayout& layout, const int16_t* store,
                    HuffmanStatistics& stats, SegmentWriter& out);

  ModuleTableRec* table_;
  ImageBlkAttrRec* image_;
  UserCallBackRec* progress_;
  bool plain_;
  McuGeometry geo_{};
  uint8_t zz_[64] = {};
  std::optional<ZigzagMasks> masks_;
  MaskSource maskSource_;
  bool masksFilled_ = false;  // the transform pass stored every block's mask
};

int16_t ProgressiveWriter::Transform(const CoefficientLayout& layout, uint8_t* head, int16_t* store, uint64_t* masks) {
  const PixelSource src = PixelSource::From(*image_, geo_);
  McuWorkArea area;
  area.Place(head, geo_);  // the planes; blocks are placed in the store below
  std::optional<McuTransformer> fast;
  if (!plain_) fast.emplace(*table_, geo_, src, EdgeFill::kRepeat);
  masksFilled_ = fast && fast->givesMasks() && masks != nullptr;
  uint64_t scratchMasks[kMaxBlocksPerMcu];
  const int height = image_->height;
  for (int my = 0; my < layout.mcuRows; ++my) {
    const int y0 = my * geo_.mcuHeight;
    for (int mx = 0; mx < layout.mcuCols; ++mx) {
      const size_t offset = layout.McuOffset(mx, my);
      area.blocks = store + offset;
      if (fast) {
        fast->Run(mx * geo_.mcuWidth, y0, area, masks != nullptr ? masks + offset / 64 : scratchMasks);
        continue;
      }
      reference::GatherMcu(src, geo_, mx * geo_.mcuWidth, y0, area, EdgeFill::kRepeat);
      reference::ConvertColour(src, geo_, area);
      reference::SplitBlocks(geo_, area);
      int16_t* block = area.blocks;
      for (int c = 0; c < geo_.components; ++c) {
        for (int b = 0; b < geo_.blocksPerMcu(c); ++b, block += 64) {
          reference::ForwardDct(*table_, block);
          reference::QuantizeBlock(block, table_->quantTable[c]);
        }
      }
    }
    if (progress_ != nullptr && progress_->proc != nullptr &&
        progress_->proc(y0, height - 1, store + layout.McuOffset(0, my), progress_->userData) == RK_STOPPED) {
      return RK_STOPPED;
    }
  }
  if (progress_ != nullptr && progress_->proc != nullptr) {
    progress_->proc(height - 1, height - 1, store, progress_->userData);  // its value is not the result
  }
  return RK_OK;
}

int16_t ProgressiveWriter::WriteScan(const ScriptScan& scan, const CoefficientLayout& layout, const int16_t* store,
                                     HuffmanStatistics& stats, SegmentWriter& out) {
  // Count the scan's symbols.
  std::memset(stats.freq, 0, sizeof stats.freq);
  table_->statsSwitch = 1;
  SymbolCounter counter{{stats.freq[0], stats.freq[1], stats.freq[1]}, stats.freq[0]};
  const bool counted = scan.dc ? CodeDcScan(layout, store, zz_[0], counter)
                               : CodeAcScan(layout, store, scan.component, scan.ss, scan.se, zz_, maskSource_, counter);
  if (!counted) {
    table_->statsSwitch = 0;
    return RK_ERR_UNSUPPORTED;  // a value without a size category (not from 8-bit samples)
  }

  // DHT with the scan's tables, each built from its frequency table.
  uint8_t dht[2][kMaxDhtTableBytes];
  uint32_t sizes[2] = {0, 0};
  uint32_t segment = 2;
  for (int t = 0; t < scan.tableCount; ++t) {
    table_->statsSwitch = scan.statistics[t];
    sizes[t] = BuildOptimalHuffmanTable(table_, dht[t]);
    if (sizes[t] == 0) {
      table_->statsSwitch = 0;
      return RK_ERR_CODE_TOO_LONG;
    }
    segment += 1 + sizes[t];
  }
  table_->statsSwitch = 0;
  if (!out.Fits(2 + segment)) return RK_ERR_BUFFER;
  out.Marker(0xC4);
  out.U16(segment);
  for (int t = 0; t < scan.tableCount; ++t) {
    out.Byte(scan.tableIds[t]);
    out.Bytes(dht[t], sizes[t]);
  }
  if (!out.Fits(2 + static_cast<uint32_t>(scan.sosLength))) return RK_ERR_BUFFER;
  out.Marker(0xDA);
  out.Bytes(scan.sos, static_cast<uint32_t>(scan.sosLength));

  // The tables just written become the module table's code tables: the DC
  // scan's in dcCodeTable 0 and 1, an AC scan's in acCodeTable 0 (component
  // 0) or 1.
  for (int t = 0; t < scan.tableCount; ++t) {
    const std::span<const uint8_t> bytes(dht[t], sizes[t]);
    const TableBuild built = scan.dc ? BuildDcCodeTable(bytes, table_->dcCodeTable[t])
                                     : BuildAcCodeTable(bytes, table_->acCodeTable[scan.component == 0 ? 0 : 1]);
    if (built != TableBuild::kOk) return RK_ERR_FORMAT;
  }

  // Write the scan, its last byte completed with 1-bits through the writer
  // (a byte that becomes 0xFF gets its stuffing byte).
  BitWriter writer(out.cursor(), out.left());
  PackedCodes codes[2];
  const HuffCodeRec* ac = table_->acCodeTable[scan.component == 0 ? 0 : 1];
  PackCodes(table_->dcCodeTable[0], ac, codes[0]);
  PackCodes(table_->dcCodeTable[geo_.components == 3 ? 1 : 0], ac, codes[1]);
  SymbolWriter sink{&writer, {codes[0].dc, codes[1].dc, codes[1].dc}, codes[0].ac};
  table_->streamData = out.cursor();
  table_->streamLength = out.left();
  table_->dcPredictor[0] = table_->dcPredictor[1] = table_->dcPredictor[2] = 0;
  const bool coded = scan.dc ? CodeDcScan(layout, store, zz_[0], sink)
                             : CodeAcScan(layout, store, scan.component, scan.ss, scan.se, zz_, maskSource_, sink);
  writer.PadWithOnes();
  writer.Flush();
  if (!coded) return RK_ERR_FORMAT;
  if (writer.overflow()) return RK_ERR_BUFFER;
  const uint64_t bits = writer.bitPosition();
  table_->bitPos = static_cast<uint32_t>(bits);
  out.Skip(static_cast<uint32_t>(bits / 8));
  return RK_OK;
}

int16_t ProgressiveWriter::Run() {
  if (!TableArraysReady(table_)) return RK_ERR_NULL;
  if (image_->width == 0 || image_->height == 0) return RK_ERR_UNSUPPORTED;
  // No restart intervals here: the record's interval is not read.
  ImageBlkAttrRec check = *image_;
  check.restartInterval = 0;
  if (const int16_t r = CheckEncodable(check); r != RK_OK) return r;
  ComputeMcuGeometry(image_->format, geo_);
  table_->statsSwitch = 0;
  if (const int16_t r = CheckEncoderTables(*table_, geo_.components); r != RK_OK) return r;
  int quantTables = 0;
  if (const int16_t r = CheckStreamHead(*table_, geo_.components, false, &quantTables); r != RK_OK) return r;
  uint64_t seen = 0;
  for (int k = 0; k < 64; ++k) {
    zz_[k] = static_cast<uint8_t>(table_->zigzag[k]);
    seen |= uint64_t{1} << zz_[k];
  }
  if (seen == ~uint64_t{0} && !plain_) masks_.emplace(zz_);

  uint8_t* const start = image_->data;
  const uint32_t capacity = image_->dataLength;
  SegmentWriter out(start, capacity);
  if (const int16_t r = WriteStreamHead(*table_, *image_, false, quantTables, out); r != RK_OK) return r;
  if (const int16_t r = WriteFrameHeader(0xC2, *image_, geo_, quantTables, out); r != RK_OK) return r;
  uint8_t* const afterFrame = out.cursor();

  table_->streamData = afterFrame;
  table_->streamLength = out.left();
  table_->bitPos = 0;
  table_->dcPredictor[0] = table_->dcPredictor[1] = table_->dcPredictor[2] = 0;
  table_->decodeError = 0;
  table_->restartMcus = 0;
  table_->mcuCount = 0;
  image_->auxCount1 = static_cast<uint16_t>(geo_.mcuWidth);
  image_->auxCount2 = static_cast<uint16_t>(geo_.mcuHeight);
  image_->samplesPerPixel = static_cast<uint16_t>(geo_.mcuWidth);

  // Work area: head (block buffer and MCU planes), coefficient store,
  // statistics area. The statistics start on an 8-byte boundary inside
  // their 6400 bytes (the builder's arrays take 5206). The zigzag masks of
  // the blocks (8 bytes a block, an eighth of the store's coefficients)
  // follow the coefficients where the store's room holds them (4:2:2 and
  // 4:2:0 use half or two thirds of it), else the end of an area that the
  // writer allocates itself; a work shop without room for them leaves the
  // AC scans to find each mask from the block.
  const CoefficientLayout layout(geo_, image_->width, image_->height);
  const uint64_t head = ProgressiveHeadBytes(geo_);
  const uint64_t room = ProgressiveStoreRoom(geo_, image_->width, image_->height);
  const uint64_t storeBytes = 2 * static_cast<uint64_t>(layout.coefficientCount());
  const uint64_t maskBytes = layout.coefficientCount() / 8 + 8;  // + 8 for alignment
  const bool masksInRoom = room - storeBytes >= maskBytes;
  const uint64_t total = head + room + kHuffmanStatisticsBytes;
  if (table_->workShop != nullptr && total > 0xFFFFFFFFull) return RK_ERR_MEMORY;
  const bool ownArea = table_->workShop == nullptr;
  Scratch scratch(table_, static_cast<size_t>(total + (ownArea && !masksInRoom ? maskBytes : 0)));
  if (!scratch.ok()) return RK_ERR_MEMORY;
  auto* store = reinterpret_cast<int16_t*>(scratch.data() + head);
  uint8_t* statsBytes = scratch.data() + head + room;
  statsBytes += (8 - reinterpret_cast<uintptr_t>(statsBytes) % 8) % 8;
  static_assert(sizeof(HuffmanStatistics) + 7 <= kHuffmanStatisticsBytes);
  auto* stats = reinterpret_cast<HuffmanStatistics*>(statsBytes);
  uint64_t* storedMasks = nullptr;
  if (masksInRoom || ownArea) {
    uint8_t* at = masksInRoom ? scratch.data() + head + storeBytes : scratch.data() + total;
    at += (8 - reinterpret_cast<uintptr_t>(at) % 8) % 8;
    storedMasks = reinterpret_cast<uint64_t*>(at);
  }

  int16_t result = Transform(layout, scratch.data(), store, storedMasks);
  maskSource_.store = store;
  maskSource_.stored = masksFilled_ ? storedMasks : nullptr;
  maskSource_.tables = masks_ ? &*masks_ : nullptr;
  if (result == RK_OK) {
    table_->progStats = stats;
    for (const ScriptScan& scan : ProgressiveScript(geo_.components == 3)) {
      result = WriteScan(scan, layout, store, *stats, out);
      if (result != RK_OK) break;
    }
    table_->progStats = nullptr;
    table_->statsSwitch = 0;
  }
  if (result == RK_OK && !out.Fits(2)) result = RK_ERR_BUFFER;
  if (result != RK_OK) {
    image_->data = start;
    image_->dataLength = capacity;
    return result;
  }
  out.Marker(0xD9);  // EOI
  image_->dataLength = out.written();
  image_->data = afterFrame;
  return RK_OK;
}

}  // namespace

uint64_t ProgressiveEncodeWorkSpace(const ImageBlkAttrRec& image) {
  McuGeometry geo{};
  ComputeMcuGeometry(image.format, geo);
  if (!IsCodableGeometry(geo)) return 0;
  return ProgressiveHeadBytes(geo) + ProgressiveStoreRoom(geo, image.width, image.height) +
         kHuffmanStatisticsBytes;
}

int16_t WriteProgressiveJfif(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress,
                             EncodeKernels kernels) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  ProgressiveWriter writer(table, image, progress, kernels);
  return writer.Run();
}

}  // namespace rk

extern "C" {

RK_API int16_t RkExportImageByProgJFIF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress) {
  return rk::WriteProgressiveJfif(table, image, progress);
}

RK_API uint32_t RkGetProgJPEGEncodeWorkSpaceSize(ImageBlkAttrRec* image) {
  if (image == nullptr) return 0;
  const uint64_t bytes = rk::ProgressiveEncodeWorkSpace(*image);
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

}  // extern "C"
