// The baseline JFIF stream writer: SOI, APP0 (or APP1 "Exif"), COM, DQT,
// DHT, SOF0, DRI, SOS around the entropy-coded data of one scan, and EOI.
#pragma once

#include <cstdint>
#include <span>

#include "geometry.h"
#include "rastkit.h"
#include "segment_writer.h"

namespace rk {

// The largest comment each segment's 16-bit length can carry: APP1 adds 8
// bytes (length field and "Exif" 00 00), COM adds 2 (the length field).
constexpr uint32_t kMaxApp1Comment = 65535 - 8;  // 65527
constexpr uint32_t kMaxComComment = 65535 - 2;   // 65533

// Bytes of the DHT body for grey (two tables) and colour (four tables).
constexpr uint32_t kStdHuffmanBytesGrey = 208;
constexpr uint32_t kStdHuffmanBytesColour = 416;

// Writes the DHT body of the T.81 Annex K tables: class/destination 00
// (K.3) and 10 (K.5), then for colour 01 (K.4) and 11 (K.6), each as its
// 16 BITS bytes and its HUFFVAL bytes. out must hold kStdHuffmanBytes*.
// Returns the bytes written.
uint32_t WriteStandardHuffmanTables(bool colour, std::span<uint8_t> out);

// The pieces shared with the progressive writer.
//
// What must be refused before anything is written (RK_ERR_UNSUPPORTED): a
// quantisation entry above 255 in a table that goes into DQT, a comment
// too long for its segment (APP1 with exif, else COM). Sets *quantTables
// to the tables DQT will hold: 1 for grey; 2 for colour when tables 1 and
// 2 are equal, else 3.
[[nodiscard]] int16_t CheckStreamHead(const ModuleTableRec& table, int components, bool exif, int* quantTables);
// SOI; APP1 "Exif" with the comment (exif), or APP0 and COM; DQT. Each
// segment is checked against the capacity before it is written
// (RK_ERR_BUFFER; what was written stays).
[[nodiscard]] int16_t WriteStreamHead(const ModuleTableRec& table, const ImageBlkAttrRec& image, bool exif,
                                      int quantTables, SegmentWriter& out);
// The frame header: SOF0 or SOF2 (marker), identifiers 0, 1, 2, sampling
// bytes from format, quantisation tables 0, 1 and 1 or 2.
[[nodiscard]] int16_t WriteFrameHeader(uint8_t marker, const ImageBlkAttrRec& image, const McuGeometry& geo,
                                       int quantTables, SegmentWriter& out);

// Writes the whole stream into image->data (capacity image->dataLength)
// with the module table's current code and quantisation tables. With
// image->methodParam == RK_METHOD_PARAM_EXIF the global comment goes into
// an APP1 "Exif" segment in place of APP0 and COM (the Exif writer passes
// its Exif block this way). On success dataLength is the stream size and
// data points at the first entropy-coded byte.
// RK_ERR_NULL, RK_ERR_UNSUPPORTED (what the encoder cannot code, a
// quantisation entry outside 1 .. 255, a comment too long for its segment;
// nothing written), RK_ERR_BUFFER (headers, data or EOI do not fit), or a
// non-zero result of the scan encoder (then no EOI).
[[nodiscard]] int16_t WriteJfifStream(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* callback);

}  // namespace rk
