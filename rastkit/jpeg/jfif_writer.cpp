#include "jfif_writer.h"

#include <cstring>

#include "baseline_encode.h"
#include "geometry.h"
#include "std_tables.h"
#include "table_check.h"

namespace rk {
namespace {

// Appends segments to the output, checking the whole segment against the
// capacity before writing any of it.
class SegmentWriter {
 public:
  SegmentWriter(uint8_t* out, uint32_t capacity) : out_(out), capacity_(capacity) {}

  // Room for `bytes` more: capacity - written >= bytes.
  [[nodiscard]] bool Fits(uint64_t bytes) const { return bytes <= capacity_ - pos_; }
  void Byte(uint8_t b) { out_[pos_++] = b; }
  void U16(uint32_t v) {
    Byte(static_cast<uint8_t>(v >> 8));
    Byte(static_cast<uint8_t>(v));
  }
  void Bytes(const uint8_t* data, uint32_t n) {
    std::memcpy(out_ + pos_, data, n);
    pos_ += n;
  }
  void Marker(uint8_t code) {
    Byte(0xFF);
    Byte(code);
  }
  [[nodiscard]] uint32_t written() const { return pos_; }
  [[nodiscard]] uint8_t* cursor() const { return out_ + pos_; }
  [[nodiscard]] uint32_t left() const { return capacity_ - pos_; }
  void Skip(uint32_t n) { pos_ += n; }

 private:
  uint8_t* out_;
  uint32_t capacity_;
  uint32_t pos_ = 0;
};

constexpr uint8_t kSosColour[14] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x00, 0x00, 0x01,
                                    0x11, 0x02, 0x11, 0x00, 0x3F, 0x00};
constexpr uint8_t kSosGrey[10] = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x00, 0x00, 0x00, 0x3F, 0x00};

uint32_t WriteSpec(const HuffSpec& dht, uint8_t classDest, uint8_t* out) {
  uint32_t n = 0;
  out[n++] = classDest;
  for (uint8_t b : dht.bits) out[n++] = b;
  for (uint8_t v : dht.values) out[n++] = v;
  return n;
}

bool EqualTables(const uint16_t* a, const uint16_t* b) { return std::memcmp(a, b, 64 * sizeof(uint16_t)) == 0; }

}  // namespace

uint32_t WriteStandardHuffmanTables(bool colour, std::span<uint8_t> out) {
  const uint32_t need = colour ? kStdHuffmanBytesColour : kStdHuffmanBytesGrey;
  if (out.size() < need) return 0;
  uint8_t* p = out.data();
  uint32_t n = WriteSpec(kStdDcLuminance, 0x00, p);
  n += WriteSpec(kStdAcLuminance, 0x10, p + n);
  if (colour) {
    n += WriteSpec(kStdDcChrominance, 0x01, p + n);
    n += WriteSpec(kStdAcChrominance, 0x11, p + n);
  }
  return n;
}

namespace {

// What the writer puts around the scan, decided once from the table and
// the record (see PlanStream).
struct StreamPlan {
  bool colour = true;
  int tables = 2;  // DQT tables: 1 grey, 2 when tables 1 and 2 are equal, else 3
  bool exif = false;
  bool hasComment = false;
  uint32_t commentLength = 0;
  bool impliedTables = false;  // format bit 15 without 14: no DHT
  bool restart = false;

  // Bytes of every segment before the scan: SOI 2, APP1 (Exif) comment + 10
  // or APP0 18 and COM comment + 4, DQT 4 + 65 per table, DHT 4 + 416 (208
  // grey), SOF0 19 (13), DRI 6, SOS 14 (10). Colour with two tables and no
  // comment: 2 + 18 + 134 + 420 + 19 + 14 = 607.
  [[nodiscard]] uint64_t HeaderBytes() const {
    uint64_t n = 2;
    if (exif) {
      n += hasComment ? commentLength + 10 : 0;
    } else {
      n += 18 + (hasComment ? commentLength + 4 : 0);
    }
    n += 4 + 65u * tables;
    if (!impliedTables) n += 4 + (colour ? kStdHuffmanBytesColour : kStdHuffmanBytesGrey);
    n += colour ? 19 : 13;
    if (restart) n += 6;
    n += colour ? 14 : 10;
    return n;
  }
};

// Checks what the writer and the encoder need of the picture's shape and
// the table (whose arrays are there) and plans the segments. RK_OK, or RK_ERR_UNSUPPORTED for what
// cannot be coded, a quantisation entry above 255 or a comment too long for
// its segment; RK_ERR_NULL from CheckEncoderTables.
int16_t PlanStream(const ModuleTableRec& table, const ImageBlkAttrRec& image, StreamPlan* plan) {
  if (const int16_t r = CheckEncodableShape(image); r != RK_OK) return r;
  McuGeometry geo;
  ComputeMcuGeometry(image.format, geo);
  plan->colour = geo.components == 3;
  if (const int16_t r = CheckEncoderTables(table, geo.components); r != RK_OK) return r;

  // DQT carries 8-bit entries: a wider one would be written as its low byte
  // while the data was quantised with the whole value.
  plan->tables = !plan->colour ? 1 : EqualTables(table.quantTable[1], table.quantTable[2]) ? 2 : 3;
  for (int t = 0; t < plan->tables; ++t) {
    for (int i = 0; i < 64; ++i) {
      if (table.quantTable[t][i] > 255) return RK_ERR_UNSUPPORTED;
    }
  }

  plan->exif = image.methodParam == RK_METHOD_PARAM_EXIF;
  plan->hasComment = table.comment != nullptr && table.commentLength >= 1;
  plan->commentLength = plan->hasComment ? table.commentLength : 0;
  if (plan->hasComment && plan->commentLength > (plan->exif ? kMaxApp1Comment : kMaxComComment)) {
    return RK_ERR_UNSUPPORTED;
  }
  plan->impliedTables = (image.format & 0xC000) == RK_FORMAT_DEFAULT_HUFFMAN;
  plan->restart = image.restartInterval != 0;
  return RK_OK;
}

}  // namespace

int16_t WriteJfifStream(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* callback) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (const int16_t r = CheckEncodable(*image); r != RK_OK) return r;
  StreamPlan plan;
  if (const int16_t r = PlanStream(*table, *image, &plan); r != RK_OK) return r;
  const bool colour = plan.colour;
  const int tables = plan.tables;
  const bool exif = plan.exif;
  const bool hasComment = plan.hasComment;
  const uint32_t commentLength = plan.commentLength;

  SegmentWriter out(image->data, image->dataLength);
  if (!out.Fits(2)) return RK_ERR_BUFFER;
  out.Marker(0xD8);  // SOI

  if (exif) {
    if (hasComment) {
      if (!out.Fits(commentLength + 10)) return RK_ERR_BUFFER;
      out.Marker(0xE1);
      out.U16(commentLength + 8);
      out.Bytes(reinterpret_cast<const uint8_t*>("Exif\0\0"), 6);
      out.Bytes(table->comment, commentLength);
    }
  } else {
    if (!out.Fits(18)) return RK_ERR_BUFFER;
    static constexpr uint8_t kApp0Head[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x02, 0x01};
    out.Bytes(kApp0Head, sizeof kApp0Head);
    out.U16(image->xDpi != 0 ? image->xDpi : 72);
    out.U16(image->yDpi != 0 ? image->yDpi : 72);
    out.Byte(0);
    out.Byte(0);
    if (hasComment) {
      if (!out.Fits(commentLength + 4)) return RK_ERR_BUFFER;
      out.Marker(0xFE);
      out.U16(commentLength + 2);
      out.Bytes(table->comment, commentLength);
    }
  }

  if (!out.Fits(4 + 65u * tables)) return RK_ERR_BUFFER;
  out.Marker(0xDB);
  out.U16(2 + 65u * tables);
  for (int t = 0; t < tables; ++t) {
    out.Byte(static_cast<uint8_t>(t));
    for (int k = 0; k < 64; ++k) out.Byte(static_cast<uint8_t>(table->quantTable[t][table->zigzag[k]]));
  }

  if (!plan.impliedTables) {
    const uint32_t body = colour ? kStdHuffmanBytesColour : kStdHuffmanBytesGrey;
    if (!out.Fits(body + 4)) return RK_ERR_BUFFER;
    out.Marker(0xC4);
    out.U16(body + 2);
    out.Skip(WriteStandardHuffmanTables(colour, {out.cursor(), body}));
  }

  const uint32_t sofLength = colour ? 17 : 11;
  if (!out.Fits(sofLength + 2)) return RK_ERR_BUFFER;
  out.Marker(0xC0);
  out.U16(sofLength);
  out.Byte(8);
  out.U16(image->height);
  out.U16(image->width);
  const int components = colour ? 3 : 1;
  out.Byte(static_cast<uint8_t>(components));
  for (int c = 0; c < components; ++c) {
    const int h = ((image->format >> (4 * c)) & 3) + 1;
    const int v = ((image->format >> (4 * c + 2)) & 3) + 1;
    out.Byte(static_cast<uint8_t>(c));
    out.Byte(static_cast<uint8_t>(h * 16 + v));
    out.Byte(static_cast<uint8_t>(c == 0 ? 0 : c == 1 ? 1 : tables - 1));
  }

  if (plan.restart) {
    if (!out.Fits(6)) return RK_ERR_BUFFER;
    out.Marker(0xDD);
    out.U16(4);
    out.U16(image->restartInterval & 0xFFFF);
  }

  if (!out.Fits(colour ? sizeof kSosColour : sizeof kSosGrey)) return RK_ERR_BUFFER;
  if (colour) {
    out.Bytes(kSosColour, sizeof kSosColour);
  } else {
    out.Bytes(kSosGrey, sizeof kSosGrey);
  }

  // The scan is written into what is left; the record is restored when the
  // encoder fails so that the caller's buffer description stays as it was.
  uint8_t* const start = image->data;
  const uint32_t capacity = image->dataLength;
  const uint32_t headers = out.written();
  image->data = out.cursor();
  image->dataLength = out.left();
  const int16_t result = EncodeBaselineScan(table, image, callback);
  if (result != RK_OK) {
    image->data = start;
    image->dataLength = capacity;
    return result;
  }
  const uint32_t dataBytes = image->dataLength;
  if (capacity - headers - dataBytes < 2) {
    image->data = start;
    image->dataLength = capacity;
    return RK_ERR_BUFFER;
  }
  image->data[dataBytes] = 0xFF;  // EOI
  image->data[dataBytes + 1] = 0xD9;
  image->dataLength = headers + dataBytes + 2;
  return RK_OK;
}

uint64_t MaxJfifStreamBytes(const ModuleTableRec& table, const ImageBlkAttrRec& image, int16_t* result) {
  StreamPlan plan;
  *result = PlanStream(table, image, &plan);
  if (*result != RK_OK) return 0;
  return plan.HeaderBytes() + MaxScanBytes(image) + 2;  // + EOI
}

}  // namespace rk

extern "C" RK_API int16_t RkExportImageByJFIF(ModuleTableRec* table, ImageBlkAttrRec* image,
                                              UserCallBackRec* callback) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  RkInitLHuffmanTable(table);
  RkInitCHuffmanTable(table);
  return rk::WriteJfifStream(table, image, callback);
}

extern "C" RK_API int32_t RkGetExportJFIFImageSize(ModuleTableRec* table, ImageBlkAttrRec* image) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  int16_t result = RK_OK;
  const uint64_t bytes = rk::MaxJfifStreamBytes(*table, *image, &result);
  if (result != RK_OK) return result;
  return bytes <= INT32_MAX ? static_cast<int32_t>(bytes) : RK_ERR_UNSUPPORTED;
}
