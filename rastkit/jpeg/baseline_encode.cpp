#include "baseline_encode.h"

#include "bit_writer.h"
#include "encode_pixels.h"
#include "forward_dct.h"
#include "geometry.h"
#include "huffman_encode.h"
#include "mcu_work_area.h"
#include "memory.h"
#include "quantize.h"
#include "restart_marker.h"
#include "table_check.h"

namespace rk {
namespace {

// Component c codes with table set 0 (luminance) or 1 (chrominance).
inline int TableSetOf(int c) { return c == 0 ? 0 : 1; }

struct FastKernels {
  using Writer = BitWriter;
  QuantDivisors divisors[3];
  bool standardDct = true;

  explicit FastKernels(const ModuleTableRec& table, int components) {
    for (int c = 0; c < components; ++c) PrepareDivisors(table.quantTable[c], divisors[c]);
    standardDct = HasStandardTransformConstants(table);
  }
  void Pixels(const PixelSource& src, const McuGeometry& geo, int x0, int y0, const McuWorkArea& area) {
    GatherMcu(src, geo, x0, y0, area);
    SplitBlocks(geo, area);
  }
  void Transform(const ModuleTableRec& table, int16_t* block) {
    if (standardDct) {
      ForwardDct(table.coefScratch, block);
    } else {
      reference::ForwardDct(table, block);
    }
  }
  void Quantize(const ModuleTableRec&, int c, int16_t* block) { QuantizeBlock(block, divisors[c]); }
  bool Code(Writer& w, const ModuleTableRec& table, int c, const int16_t* block, int16_t* predictor) {
    const int set = TableSetOf(c);
    return EncodeBlock(w, block, table.zigzag, table.dcCodeTable[set], table.acCodeTable[set], predictor);
  }
};

struct ReferenceKernels {
  using Writer = reference::BitWriter;

  ReferenceKernels(const ModuleTableRec&, int) {}
  void Pixels(const PixelSource& src, const McuGeometry& geo, int x0, int y0, const McuWorkArea& area) {
    reference::GatherMcu(src, geo, x0, y0, area);
    reference::ConvertColour(src, geo, area);
    reference::SplitBlocks(geo, area);
  }
  void Transform(const ModuleTableRec& table, int16_t* block) { reference::ForwardDct(table, block); }
  void Quantize(const ModuleTableRec& table, int c, int16_t* block) {
    reference::QuantizeBlock(block, table.quantTable[c]);
  }
  bool Code(Writer& w, const ModuleTableRec& table, int c, const int16_t* block, int16_t* predictor) {
    const int set = TableSetOf(c);
    return reference::EncodeBlock(w, block, table.zigzag, table.dcCodeTable[set], table.acCodeTable[set],
                                  predictor);
  }
};

template <class Kernels>
int16_t RunScan(ModuleTableRec& table, ImageBlkAttrRec& image, const UserCallBackRec* callback,
                const McuGeometry& geo, const McuWorkArea& area) {
  Kernels k(table, geo.components);
  typename Kernels::Writer writer(image.data, image.dataLength);
  const PixelSource src = PixelSource::From(image, geo);

  // Statistics switch on: symbols are counted into the statistics area
  // (257 counts per table; the first table takes luminance DC and all AC
  // symbols, the second the DC symbols coded with dcCodeTable 1).
  uint32_t* counts = table.statsSwitch != 0 ? static_cast<uint32_t*>(table.progStats) : nullptr;

  const uint32_t interval = image.restartInterval;
  uint32_t sinceRestart = 0;
  table.restartMcus = static_cast<int16_t>(interval);
  table.mcuCount = 0;
  if (interval != 0) ResetRestartMarkers();

  const int width = image.width, height = image.height;
  for (int y0 = 0; y0 < height; y0 += geo.mcuHeight) {
    for (int x0 = 0; x0 < width; x0 += geo.mcuWidth) {
      k.Pixels(src, geo, x0, y0, area);
      int16_t* block = area.blocks;
      for (int c = 0; c < geo.components; ++c) {
        for (int b = 0; b < geo.blocksPerMcu(c); ++b, block += 64) {
          k.Transform(table, block);
          k.Quantize(table, c, block);
          bool coded;
          if (counts != nullptr) {
            const HuffCodeRec* dc = table.dcCodeTable[TableSetOf(c)];
            uint32_t* dcCounts = dc == table.dcCodeTable[1] ? counts + 257 : counts;
            coded = CountBlock(block, table.zigzag, &table.dcPredictor[c], dcCounts, counts);
          } else {
            coded = k.Code(writer, table, c, block, &table.dcPredictor[c]);
          }
          if (!coded) return RK_ERR_UNSUPPORTED;
        }
      }
      if (interval != 0 && ++sinceRestart == interval) {
        writer.PutMarker(NextRestartMarker());
        table.dcPredictor[0] = table.dcPredictor[1] = table.dcPredictor[2] = 0;
        sinceRestart = 0;
      }
      table.mcuCount = static_cast<int16_t>(sinceRestart);
    }
    if (writer.overflow()) return RK_ERR_BUFFER;
    if (callback != nullptr && callback->proc != nullptr &&
        callback->proc(y0, height - 1, area.blocks, callback->userData) == RK_STOPPED) {
      return RK_STOPPED;
    }
  }
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
                           EncodeKernels kernels) {
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
    return RunScan<ReferenceKernels>(*table, *image, callback, geo, area);
  }
  return RunScan<FastKernels>(*table, *image, callback, geo, area);
}

}  // namespace rk

extern "C" RK_API int16_t RkCompressImageByJPEG(ModuleTableRec* table, ImageBlkAttrRec* image,
                                                UserCallBackRec* callback) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  return rk::EncodeBaselineScan(table, image, callback);
}
