// JFIF header parsing: one pass over a whole JPEG stream in memory that
// fills the image record, loads quantisation and Huffman tables into the
// module table and measures the entropy-coded data up to EOI.
#include <cstring>

#include "geometry.h"
#include "huffman_tables.h"
#include "rastkit.h"
#include "status.h"
#include "table_check.h"

namespace rk {
namespace {

constexpr unsigned kSeenSoi = 1;
constexpr unsigned kSeenDht = 2;
constexpr unsigned kSeenDqt = 4;

constexpr uint16_t kDefaultDpi = 72;

// Markers that stand alone, without a length field: SOI, EOI, RST0..7,
// TEM, and the fill byte 0xFF. 0x00 after 0xFF is byte stuffing.
bool HasLengthField(uint8_t m) {
  if (m == 0x00 || m == 0x01 || m == 0xFF) return false;
  if (m >= 0xD0 && m <= 0xD9) return false;
  return m >= 0xC0;  // 0x02..0xBF are reserved and carry nothing we know of
}

class JfifParser {
 public:
  JfifParser(ModuleTableRec* table, const uint8_t* data, uint32_t size, ImageBlkAttrRec* image)
      : table_(table), data_(data), size_(size), image_(image) {}

  // kOk with the SOI's offset in *soi, or kFormat.
  Status Run(int32_t* soi);

 private:
  uint16_t U16(int64_t at) const { return static_cast<uint16_t>(data_[at] << 8 | data_[at + 1]); }
  bool Matches(int64_t at, const char* text, int64_t n) const {
    return std::memcmp(data_ + at, text, static_cast<size_t>(n)) == 0;
  }

  // Each handler sees a segment that lies wholly inside the data: bytes
  // at .. at + 2 + length - 1. They return false to refuse the stream.
  void App(uint8_t m, int64_t at, uint32_t length);
  bool Dqt(int64_t at, uint32_t length);
  bool Dht(int64_t at, uint32_t length);
  bool Frame(uint8_t m, int64_t at, uint32_t length);
  bool Dri(int64_t at, uint32_t length);
  bool Sos(int64_t at, uint32_t length);
  void MarkProgressiveStart();

  ModuleTableRec* table_;
  const uint8_t* data_;
  int64_t size_;
  ImageBlkAttrRec* image_;

  int64_t soi_ = -1;
  unsigned seen_ = 0;
  bool chromaTablesDefined_ = false;  // a DHT table with a non-zero destination
  bool adobeSeen_ = false;
  uint8_t adobeTransform_ = 0;
  bool frameSeen_ = false;
  bool dataStart_ = false;
  bool eoi_ = false;
  int64_t eoiAt_ = 0;
  // Scans of a sequential frame: more than one, or one that lists fewer
  // components than the frame, is for the progressive decoder.
  int sequentialScans_ = 0;
  bool partialScan_ = false;
};

// The lookup buffers are rebuilt from the code tables as the parse left
// them, on every return path: a buffer that only followed the tables this
// stream defined would keep another stream's codes for the tables it did
// not define (say, the default AC tables of a stream with DC tables only),
// and looking them up would decode differently from searching the tables.
void RebuildLookupBuffers(ModuleTableRec* table) {
  for (int i = 0; i < 4; ++i) {
    if (table->huffLut[i] == nullptr) continue;
    const HuffCodeRec* codes = i < 2 ? table->dcCodeTable[i] : table->acCodeTable[i - 2];
    if (codes != nullptr) BuildDecodeLut(codes, i < 2 ? kDcCodeCount : kAcCodeCount, table->huffLut[i]);
  }
}

void JfifParser::App(uint8_t m, int64_t at, uint32_t length) {
  if (m == 0xE0 && length >= 16 && Matches(at + 4, "JFIF", 4)) {
    const uint8_t units = data_[at + 11];
    const uint16_t x = U16(at + 12);
    const uint16_t y = U16(at + 14);
    // Units 2 are dots per centimetre; the stored value is multiplied by 25
    // (saturating, so a large density cannot wrap to a tiny one).
    auto dpi = [units](uint16_t v) -> uint32_t { return units == 2 ? v * 25u : v; };
    if (units == 1 || units == 2) {
      if (x != 0) image_->xDpi = static_cast<uint16_t>(dpi(x) > 0xFFFF ? 0xFFFF : dpi(x));
      if (y != 0) image_->yDpi = static_cast<uint16_t>(dpi(y) > 0xFFFF ? 0xFFFF : dpi(y));
    }
  } else if (m == 0xEE && length >= 14 && Matches(at + 4, "Adobe", 5)) {
    adobeSeen_ = true;
    adobeTransform_ = data_[at + 15];
  }
}

bool JfifParser::Dqt(int64_t at, uint32_t length) {
  seen_ |= kSeenDqt;
  int64_t pos = at + 4;
  const int64_t end = at + 2 + length;
  while (pos < end) {
    const uint8_t pq = data_[pos] >> 4;
    const uint8_t tq = data_[pos] & 15;
    // Precision 1 holds 16-bit entries; they are read as such rather than
    // as 128 single bytes, which would shift every following table.
    const int entryBytes = pq == 1 ? 2 : 1;
    if (end - pos - 1 < 64 * entryBytes) break;  // a partial table is ignored
    if (table_ != nullptr && tq <= 2) {
      for (int k = 0; k < 64; ++k) {
        const int64_t p = pos + 1 + static_cast<int64_t>(k) * entryBytes;
        const uint16_t v = entryBytes == 2 ? U16(p) : data_[p];
        const int natural = table_->zigzag[k] & 63;
        // Destination 0 fills all three tables, 1 fills 1 and 2, 2 only 2.
        for (int t = tq; t < 3; ++t) table_->quantTable[t][natural] = v;
      }
    }
    pos += 1 + 64 * entryBytes;
  }
  return true;
}

bool JfifParser::Dht(int64_t at, uint32_t length) {
  seen_ |= kSeenDht;
  int64_t pos = at + 4;
  const int64_t end = at + 2 + length;
  while (pos < end) {
    const uint8_t tc = data_[pos] >> 4;
    const uint8_t th = data_[pos] & 15;
    if (end - pos - 1 < 16) return false;
    const uint32_t n = HuffmanTableDataSize(data_ + pos + 1);
    if (static_cast<uint32_t>(end - pos - 1) < n) return false;  // table runs past its segment
    const std::span<const uint8_t> dht(data_ + pos + 1, n);
    const bool dc = tc == 0;
    const int index = th == 0 ? 0 : 1;
    if (th != 0) chromaTablesDefined_ = true;
    if (table_ != nullptr) {
      HuffCodeRec* codes = dc ? table_->dcCodeTable[index] : table_->acCodeTable[index];
      const TableBuild r = dc ? BuildDcCodeTable(dht, codes) : BuildAcCodeTable(dht, codes);
      if (r != TableBuild::kOk) return false;
    } else {
      HuffCodeRec scratch[kAcCodeCount];
      const TableBuild r = dc ? BuildDcCodeTable(dht, scratch) : BuildAcCodeTable(dht, scratch);
      if (r != TableBuild::kOk) return false;
    }
    pos += 1 + n;
  }
  return true;
}

void JfifParser::MarkProgressiveStart() {
  image_->data = const_cast<uint8_t*>(data_ + soi_);
  image_->dataOffset = static_cast<uint32_t>(soi_);
  dataStart_ = true;
}

bool JfifParser::Frame(uint8_t m, int64_t at, uint32_t length) {
  if (length < 8) return false;
  const uint8_t precision = data_[at + 4];
  const int n = data_[at + 9];
  // Only 8-bit frames of one or three components are decodable; a frame
  // that claims more components than its segment holds is refused before
  // any component byte is read.
  if (precision != 8 || (n != 1 && n != 3) || length < 8u + 3u * n) return false;
  uint16_t format = static_cast<uint16_t>(n << 12);
  uint32_t ids = 0;
  for (int c = 0; c < n; ++c) {
    const int64_t p = at + 10 + 3 * c;
    const int h = data_[p + 1] >> 4;
    const int v = data_[p + 1] & 15;
    if (h < 1 || h > 4 || v < 1 || v > 4) return false;
    ids |= static_cast<uint32_t>(data_[p]) << (8 * c);
    format = static_cast<uint16_t>(format | ((h - 1) | (v - 1) << 2) << (4 * c));
  }
  McuGeometry geo{};
  ComputeMcuGeometry(format, geo);
  if (!IsCodableGeometry(geo)) return false;

  image_->height = U16(at + 5);
  image_->width = U16(at + 7);
  image_->componentIds = ids;
  if (m == 0xC2) format |= RK_FORMAT_PROGRESSIVE;
  image_->format = format;
  if (n == 3 && adobeSeen_ && adobeTransform_ == 0) image_->codecFlags |= RK_CODEC_FLAG_RGB;
  frameSeen_ = true;
  if (m == 0xC2) MarkProgressiveStart();
  return true;
}

bool JfifParser::Dri(int64_t at, uint32_t length) {
  if (length < 4) return false;
  image_->restartInterval = U16(at + 4);
  return true;
}

bool JfifParser::Sos(int64_t at, uint32_t length) {
  if (image_->format & RK_FORMAT_PROGRESSIVE) return true;
  if (length < 3) return false;
  const int components = data_[at + 4];
  ++sequentialScans_;
  if (frameSeen_ && components != ((image_->format >> 12) & 3)) partialScan_ = true;
  // A colour stream that defines only destination-0 tables codes every
  // component with them. Tables implied by the caller (format bit 15)
  // count as chrominance tables, so the reinstalled defaults stay.
  if (table_ != nullptr && components >= 2 && !chromaTablesDefined_) {
    std::memcpy(table_->dcCodeTable[1], table_->dcCodeTable[0], sizeof(HuffCodeRec) * kDcCodeCount);
    std::memcpy(table_->acCodeTable[1], table_->acCodeTable[0], sizeof(HuffCodeRec) * kAcCodeCount);
  }
  const int64_t offset = at + 2 + length;
  image_->dataOffset = static_cast<uint32_t>(offset);
  image_->data = const_cast<uint8_t*>(data_ + offset);
  dataStart_ = true;
  return true;
}

Status JfifParser::Run(int32_t* soi) {
  const uint16_t entryFormat = image_->format;
  if ((entryFormat & 0xC000) == RK_FORMAT_DEFAULT_HUFFMAN) {
    if (table_ != nullptr) {
      RkInitLHuffmanTable(table_);
      RkInitCHuffmanTable(table_);
    }
    seen_ |= kSeenDht;
    chromaTablesDefined_ = true;
  }
  image_->restartInterval = 0;
  image_->dataOffset = 0;
  image_->xDpi = kDefaultDpi;
  image_->yDpi = kDefaultDpi;
  image_->format = 0;
  image_->codecFlags = 0;

  const int64_t limit = size_ - 1;
  int64_t i = 0;
  while (i < limit) {
    if (data_[i] != 0xFF) {
      // The entropy-coded data is most of the stream: memchr finds its
      // next 0xFF many bytes at a time.
      const void* ff = std::memchr(data_ + i, 0xFF, static_cast<size_t>(limit - i));
      i = ff == nullptr ? limit : static_cast<const uint8_t*>(ff) - data_;
      continue;
    }
    const uint8_t m = data_[i + 1];
    if (m == 0xD8) {
      soi_ = i;
      seen_ |= kSeenSoi;
      i += 2;
      continue;
    }
    if (soi_ < 0) {  // bytes before the stream (an enclosing file) are passed over
      ++i;
      continue;
    }
    if (m == 0xD9) {
      const int64_t start = (image_->format & RK_FORMAT_PROGRESSIVE) ? soi_ : image_->dataOffset;
      image_->dataLength = static_cast<uint32_t>(i - start);
      eoi_ = true;
      eoiAt_ = i;
      break;
    }
    if (!HasLengthField(m)) {
      ++i;
      continue;
    }
    // A segment is acted on only when its length field and every byte it
    // claims lie inside the data; otherwise its bytes are scanned one by one.
    const bool lengthReadable = size_ - i >= 4;
    const uint32_t length = lengthReadable ? U16(i + 2) : 0;
    const bool fits = lengthReadable && length >= 2 && length <= size_ - i - 2;
    if (!fits) {
      if (m == 0xC2) MarkProgressiveStart();
      ++i;
      continue;
    }
    bool ok = true;
    if (m >= 0xE0 && m <= 0xEF) {
      App(m, i, length);
    } else if (m == 0xDB) {
      ok = Dqt(i, length);
    } else if (m == 0xC4) {
      ok = Dht(i, length);
    } else if (m == 0xC0 || m == 0xC2) {
      ok = Frame(m, i, length);
    } else if (m == 0xDD) {
      ok = Dri(i, length);
    } else if (m == 0xDA) {
      ok = Sos(i, length);
    }
    // Every other segment (COM, SOF1, DAC, ...) is skipped by its length so
    // that bytes inside it are never taken for markers.
    if (!ok) return Status::kFormat;
    i += 2 + length;
  }

  if (!eoi_ || !dataStart_ || !frameSeen_) return Status::kFormat;
  if (!(image_->format & RK_FORMAT_PROGRESSIVE) && (sequentialScans_ > 1 || partialScan_)) {
    // A sequential frame coded in several scans (components one by one, as
    // some encoders write them): the baseline decoder reads one interleaved
    // scan only, the progressive decoder reads these too. The record says
    // so as it does for a progressive frame: the progressive bit, and the
    // stream from SOI to EOI.
    image_->format |= RK_FORMAT_PROGRESSIVE;
    MarkProgressiveStart();
    image_->dataLength = static_cast<uint32_t>(eoiAt_ - soi_);
  }
  if (image_->width == 0 || image_->height == 0) return Status::kFormat;
  if (seen_ != (kSeenSoi | kSeenDht | kSeenDqt)) return Status::kFormat;
  *soi = static_cast<int32_t>(soi_);
  return Status::kOk;
}

}  // namespace
}  // namespace rk

extern "C" RK_API int32_t RkDecodeJFIFHeader(ModuleTableRec* table, const uint8_t* data,
                                              const uint32_t* size, ImageBlkAttrRec* image) {
  if (data == nullptr || size == nullptr || image == nullptr) return RK_ERR_NULL;
  // Only measuring needs no table; a table given must be whole, since the
  // stream's tables are written into its arrays.
  if (table != nullptr && !rk::TableArraysReady(table)) return RK_ERR_NULL;
  rk::JfifParser parser(table, data, *size, image);
  int32_t soi = 0;
  const rk::Status status = parser.Run(&soi);
  if (table != nullptr) rk::RebuildLookupBuffers(table);
  return status == rk::Status::kOk ? soi : rk::ToResult(status);
}
