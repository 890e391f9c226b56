#include "cam_writer.h"

#include <cstring>
#include <vector>

#include "cam/kernels.h"
#include "jpeg/bit_writer.h"
#include "jpeg/forward_dct.h"
#include "jpeg/huffman_encode.h"
#include "jpeg/quantize.h"
#include "rastkit.h"

namespace rktools {
namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 240;
constexpr int kChromaWidth = 160;
constexpr int kChromaHeight = 120;
constexpr uint32_t kMaxStream = 65535;  // the picture header holds 16-bit lengths
constexpr int16_t kTagInfo9 = 9;

// A module table with the library's defaults, released on scope exit.
struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

// Planes of the picture: Y in 0..255, Cb and Cr centred on 0, chrominance the
// rounded mean of the six samples of its 3 x 2 cell.
struct Planes {
  std::vector<int16_t> y = std::vector<int16_t>(kWidth * kHeight);
  std::vector<int16_t> cb = std::vector<int16_t>(kChromaWidth * kChromaHeight);
  std::vector<int16_t> cr = std::vector<int16_t>(kChromaWidth * kChromaHeight);
};

// Rounded mean of six values, halves away from zero.
int16_t MeanOfSix(int sum) {
  return static_cast<int16_t>(sum >= 0 ? (sum + 3) / 6 : -((-sum + 3) / 6));
}

Planes ToPlanes(const Picture& pic) {
  Planes pl;
  std::vector<int16_t> cbFull(kWidth * kHeight), crFull(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = pic.at(x, y);
      int16_t a = p[0], b = p[1], c = p[2];
      rk::RgbToYcc(&a, &b, &c);
      pl.y[y * kWidth + x] = a;
      cbFull[y * kWidth + x] = b;
      crFull[y * kWidth + x] = c;
    }
  }
  for (int cy = 0; cy < kChromaHeight; ++cy) {
    for (int cx = 0; cx < kChromaWidth; ++cx) {
      int sb = 0, sr = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
          sb += cbFull[(2 * cy + dy) * kWidth + 3 * cx + dx];
          sr += crFull[(2 * cy + dy) * kWidth + 3 * cx + dx];
        }
      pl.cb[cy * kChromaWidth + cx] = MeanOfSix(sb);
      pl.cr[cy * kChromaWidth + cx] = MeanOfSix(sr);
    }
  }
  return pl;
}

// Codes one plane as a stream of blocks in raster order.
CamWriteStatus EncodePlane(ModuleTableRec* t, const std::vector<int16_t>& plane, int width, int height,
                           int shift, const std::array<uint16_t, 64>& quant, int tableIndex,
                           std::vector<uint8_t>& out) {
  rk::QuantDivisors divisors;
  rk::PrepareDivisors(quant.data(), divisors);
  out.assign(kMaxStream, 0);
  rk::BitWriter writer(out.data(), kMaxStream);
  int16_t predictor = 0;
  for (int by = 0; by < height / 8; ++by) {
    for (int bx = 0; bx < width / 8; ++bx) {
      int16_t block[64];
      for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
          block[8 * r + c] = static_cast<int16_t>(plane[(8 * by + r) * width + 8 * bx + c] - shift);
      rk::ForwardDct(t->coefScratch, block);
      rk::QuantizeBlock(block, divisors);
      if (!rk::EncodeBlock(writer, block, t->zigzag, t->dcCodeTable[tableIndex], t->acCodeTable[tableIndex],
                           &predictor)) {
        return CamWriteStatus::kEncoderError;
      }
    }
  }
  writer.PadWithOnes();
  writer.Flush();
  if (writer.overflow()) return CamWriteStatus::kStreamTooLong;
  out.resize(static_cast<size_t>(writer.bitPosition() / 8));
  return CamWriteStatus::kOk;
}

std::array<uint16_t, 64> ScaledTable(ModuleTableRec* t, int index, double luma, double chroma) {
  RkSetQuantizeScaleFactor(t, &luma, &chroma);
  std::array<uint16_t, 64> q{};
  std::memcpy(q.data(), t->quantTable[index], sizeof(uint16_t) * 64);
  return q;
}

void Put16(std::vector<uint8_t>& f, uint32_t v, bool be) {
  if (be) {
    f.push_back(static_cast<uint8_t>(v >> 8));
    f.push_back(static_cast<uint8_t>(v));
  } else {
    f.push_back(static_cast<uint8_t>(v));
    f.push_back(static_cast<uint8_t>(v >> 8));
  }
}

void Put32(std::vector<uint8_t>& f, uint32_t v, bool be) {
  if (be) {
    Put16(f, v >> 16, true);
    Put16(f, v & 0xFFFF, true);
  } else {
    Put16(f, v & 0xFFFF, false);
    Put16(f, v >> 16, false);
  }
}

std::vector<uint8_t> Thumbnail(const Picture& pic) { return Resize(pic, 80, 60).rgb; }

// The picture as a baseline JFIF stream, through the library's exporter as
// the program calls it (bottom-up BGR pixel block, format 0x3001).
bool JpegOf(const Picture& pic, int qualityScale, std::vector<uint8_t>& out) {
  const int32_t stride = (pic.width * 3 + 3) & ~3;
  std::vector<uint8_t> bmp(static_cast<size_t>(stride) * pic.height, 0);
  for (int y = 0; y < pic.height; ++y) {
    uint8_t* row = &bmp[static_cast<size_t>(pic.height - 1 - y) * stride];
    for (int x = 0; x < pic.width; ++x) {
      row[3 * x] = pic.at(x, y)[2];
      row[3 * x + 1] = pic.at(x, y)[1];
      row[3 * x + 2] = pic.at(x, y)[0];
    }
  }
  Table t;
  const double scale = qualityScale / 100.0;
  RkSetQuantizeScaleFactor(t.get(), &scale, &scale);
  out.assign(bmp.size() + 4096, 0);
  ImageBlkAttrRec image{};
  image.width = static_cast<uint16_t>(pic.width);
  image.height = static_cast<uint16_t>(pic.height);
  image.format = 0x3001;
  image.pixels = bmp.data();
  image.rowStride = stride;
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  if (RkExportImageByJFIF(t.get(), &image, nullptr) != RK_OK) return false;
  out.resize(image.dataLength);
  return true;
}

}  // namespace

CamWriteStatus EncodeCamPicture(const Picture& pic, const std::array<uint16_t, 64>& lumaQuant,
                                const std::array<uint16_t, 64>& chromaQuant, CamCoded& out) {
  if (pic.width != kWidth || pic.height != kHeight) return CamWriteStatus::kEmptyPicture;
  Table t;
  const Planes pl = ToPlanes(pic);
  for (int k = 0; k < 64; ++k) {
    out.lumaZigzag[k] = static_cast<uint8_t>(lumaQuant[t.get()->zigzag[k]]);
    out.chromaZigzag[k] = static_cast<uint8_t>(chromaQuant[t.get()->zigzag[k]]);
  }
  CamWriteStatus s = EncodePlane(t.get(), pl.y, kWidth, kHeight, 128, lumaQuant, 0, out.streams[0]);
  if (s == CamWriteStatus::kOk) s = EncodePlane(t.get(), pl.cb, kChromaWidth, kChromaHeight, 0, chromaQuant, 1, out.streams[1]);
  if (s == CamWriteStatus::kOk) s = EncodePlane(t.get(), pl.cr, kChromaWidth, kChromaHeight, 0, chromaQuant, 1, out.streams[2]);
  return s;
}

CamWriteStatus WriteCam(const Picture& pic, const CamWriteOptions& o, std::vector<uint8_t>& file) {
  if (pic.width <= 0 || pic.height <= 0) return CamWriteStatus::kEmptyPicture;
  struct Section {
    int16_t tag;
    std::vector<uint8_t> body;
  };
  std::vector<Section> sections;
  if (o.thumbnail) sections.push_back({2, Thumbnail(pic)});
  for (int i = 0; i < o.unknownSections; ++i) {
    // Readers skip these; their bytes only move the sections after them.
    std::vector<uint8_t> body(static_cast<size_t>(17 + 29 * i));
    for (size_t k = 0; k < body.size(); ++k) body[k] = static_cast<uint8_t>(0x90 + i + k);
    sections.push_back({kTagInfo9, std::move(body)});
  }
  if (o.camPicture) {
    Table t;
    const auto luma = ScaledTable(t.get(), 0, o.lumaScale, o.chromaScale);
    const auto chroma = ScaledTable(t.get(), 1, o.lumaScale, o.chromaScale);
    CamCoded coded;
    const CamWriteStatus s = EncodeCamPicture(Resize(pic, kWidth, kHeight), luma, chroma, coded);
    if (s != CamWriteStatus::kOk) return s;
    std::vector<uint8_t> body;
    Put16(body, 0, o.bigEndian);
    for (const auto& st : coded.streams) Put16(body, static_cast<uint32_t>(st.size()), o.bigEndian);
    body.insert(body.end(), coded.lumaZigzag.begin(), coded.lumaZigzag.end());
    body.insert(body.end(), coded.chromaZigzag.begin(), coded.chromaZigzag.end());
    for (const auto& st : coded.streams) body.insert(body.end(), st.begin(), st.end());
    sections.push_back({3, std::move(body)});
  }
  if (o.jpegSection) {
    std::vector<uint8_t> jpeg;
    if (!JpegOf(pic, o.jpegQualityScale, jpeg)) return CamWriteStatus::kJpegError;
    sections.push_back({4, std::move(jpeg)});
  }

  file = {0x07, 0x20, static_cast<uint8_t>(o.bigEndian ? 'M' : 'I'), static_cast<uint8_t>(o.bigEndian ? 'M' : 'I')};
  Put16(file, static_cast<uint32_t>(sections.size()), o.bigEndian);
  for (const Section& s : sections) {
    Put16(file, static_cast<uint16_t>(s.tag), o.bigEndian);
    Put32(file, static_cast<uint32_t>(s.body.size()), o.bigEndian);
    file.insert(file.end(), 10, 0);
  }
  for (const Section& s : sections) file.insert(file.end(), s.body.begin(), s.body.end());
  return CamWriteStatus::kOk;
}

const char* ToString(CamWriteStatus status) {
  switch (status) {
    case CamWriteStatus::kOk: return "ok";
    case CamWriteStatus::kStreamTooLong: return "a coded stream is longer than 65535 bytes";
    case CamWriteStatus::kEncoderError: return "a block has no code in the default tables";
    case CamWriteStatus::kJpegError: return "the JPEG export failed";
    case CamWriteStatus::kEmptyPicture: return "the picture is empty or of the wrong size";
  }
  return "?";
}

}  // namespace rktools
