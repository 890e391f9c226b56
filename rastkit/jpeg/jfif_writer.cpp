#include "jfif_writer.h"

#include <cstring>

#include "baseline_encode.h"
#include "geometry.h"
#include "segment_writer.h"
#include "std_tables.h"

namespace rk {
namespace {

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

int16_t CheckStreamHead(const ModuleTableRec& table, int components, bool exif, int* quantTables) {
  const bool colour = components == 3;
  // DQT carries 8-bit entries: a wider one would be written as its low byte
  // while the data was quantised with the whole value.
  const int tables = !colour ? 1 : EqualTables(table.quantTable[1], table.quantTable[2]) ? 2 : 3;
  for (int t = 0; t < tables; ++t) {
    for (int i = 0; i < 64; ++i) {
      if (table.quantTable[t][i] > 255) return RK_ERR_UNSUPPORTED;
    }
  }
  const bool hasComment = table.comment != nullptr && table.commentLength >= 1;
  if (hasComment && table.commentLength > (exif ? kMaxApp1Comment : kMaxComComment)) return RK_ERR_UNSUPPORTED;
  *quantTables = tables;
  return RK_OK;
}

int16_t WriteStreamHead(const ModuleTableRec& table, const ImageBlkAttrRec& image, bool exif, int quantTables,
                        SegmentWriter& out) {
  const bool hasComment = table.comment != nullptr && table.commentLength >= 1;
  const uint32_t commentLength = hasComment ? table.commentLength : 0;
  if (!out.Fits(2)) return RK_ERR_BUFFER;
  out.Marker(0xD8);  // SOI

  if (exif) {
    if (hasComment) {
      if (!out.Fits(commentLength + 10)) return RK_ERR_BUFFER;
      out.Marker(0xE1);
      out.U16(commentLength + 8);
      out.Bytes(reinterpret_cast<const uint8_t*>("Exif\0\0"), 6);
      out.Bytes(table.comment, commentLength);
    }
  } else {
    if (!out.Fits(18)) return RK_ERR_BUFFER;
    static constexpr uint8_t kApp0Head[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x02, 0x01};
    out.Bytes(kApp0Head, sizeof kApp0Head);
    out.U16(image.xDpi != 0 ? image.xDpi : 72);
    out.U16(image.yDpi != 0 ? image.yDpi : 72);
    out.Byte(0);
    out.Byte(0);
    if (hasComment) {
      if (!out.Fits(commentLength + 4)) return RK_ERR_BUFFER;
      out.Marker(0xFE);
      out.U16(commentLength + 2);
      out.Bytes(table.comment, commentLength);
    }
  }

  if (!out.Fits(4 + 65u * quantTables)) return RK_ERR_BUFFER;
  out.Marker(0xDB);
  out.U16(2 + 65u * quantTables);
  for (int t = 0; t < quantTables; ++t) {
    out.Byte(static_cast<uint8_t>(t));
    for (int k = 0; k < 64; ++k) out.Byte(static_cast<uint8_t>(table.quantTable[t][table.zigzag[k]]));
  }
  return RK_OK;
}

int16_t WriteFrameHeader(uint8_t marker, const ImageBlkAttrRec& image, const McuGeometry& geo, int quantTables,
                         SegmentWriter& out) {
  const uint32_t sofLength = geo.components == 3 ? 17 : 11;
  if (!out.Fits(sofLength + 2)) return RK_ERR_BUFFER;
  out.Marker(marker);
  out.U16(sofLength);
  out.Byte(8);
  out.U16(image.height);
  out.U16(image.width);
  out.Byte(static_cast<uint8_t>(geo.components));
  for (int c = 0; c < geo.components; ++c) {
    const int h = ((image.format >> (4 * c)) & 3) + 1;
    const int v = ((image.format >> (4 * c + 2)) & 3) + 1;
    out.Byte(static_cast<uint8_t>(c));
    out.Byte(static_cast<uint8_t>(h * 16 + v));
    out.Byte(static_cast<uint8_t>(c == 0 ? 0 : c == 1 ? 1 : quantTables - 1));
  }
  return RK_OK;
}

int16_t WriteJfifStream(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* callback) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  if (const int16_t r = CheckEncodable(*image); r != RK_OK) return r;
  McuGeometry geo;
  ComputeMcuGeometry(image->format, geo);
  const bool colour = geo.components == 3;
  if (const int16_t r = CheckEncoderTables(*table, geo.components); r != RK_OK) return r;
  const bool exif = image->methodParam == RK_METHOD_PARAM_EXIF;
  int tables = 0;
  if (const int16_t r = CheckStreamHead(*table, geo.components, exif, &tables); r != RK_OK) return r;

  SegmentWriter out(image->data, image->dataLength);
  if (const int16_t r = WriteStreamHead(*table, *image, exif, tables, out); r != RK_OK) return r;

  const bool impliedTables = (image->format & 0xC000) == RK_FORMAT_DEFAULT_HUFFMAN;
  if (!impliedTables) {
    const uint32_t body = colour ? kStdHuffmanBytesColour : kStdHuffmanBytesGrey;
    if (!out.Fits(body + 4)) return RK_ERR_BUFFER;
    out.Marker(0xC4);
    out.U16(body + 2);
    out.Skip(WriteStandardHuffmanTables(colour, {out.cursor(), body}));
  }

  if (const int16_t r = WriteFrameHeader(0xC0, *image, geo, tables, out); r != RK_OK) return r;

  if (image->restartInterval != 0) {
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

}  // namespace rk

extern "C" RK_API int16_t RkExportImageByJFIF(ModuleTableRec* table, ImageBlkAttrRec* image,
                                              UserCallBackRec* callback) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  RkInitLHuffmanTable(table);
  RkInitCHuffmanTable(table);
  return rk::WriteJfifStream(table, image, callback);
}
