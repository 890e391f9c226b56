#include "cam_picture.h"

#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "rastkit.h"

namespace corvid::camread {
namespace {

// rastkit's recognition results (RkCheckCAMFileTypeEx).
constexpr int16_t kTypeNotCam = 1;
constexpr int16_t kTypeCamCoded = 3;
constexpr int16_t kTypeJpeg = 4;

// The module table, allocated as the library asks (RkGetCompressBlkSize
// bytes, zero-filled) and released with its arrays.
class ModuleTable {
 public:
  ModuleTable() : block_(std::calloc(1, RkGetCompressBlkSize())) {
    if (block_ != nullptr) RkInitModuleTable(get());
  }
  ~ModuleTable() {
    if (block_ != nullptr) RkFreeModuleTable(get());
    std::free(block_);
  }
  ModuleTable(const ModuleTable&) = delete;
  ModuleTable& operator=(const ModuleTable&) = delete;
  ModuleTableRec* get() const { return static_cast<ModuleTableRec*>(block_); }

 private:
  void* block_;
};

const uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const uint8_t*>(a.constData()); }

// Points the record's pixel part at an RGB32 image. RGB32 is the 32-bit
// word 0xffRRGGBB: on a little-endian host its bytes are B, G, R, 0xff, so
// blue is byte 0 and red byte 2; big-endian hosts store 0xff, R, G, B. The
// decoders write only the three colour bytes, so the image is filled with
// opaque black first and its alpha byte stays 0xff.
void DescribeRgb32(QImage& picture, ImageBlkAttrRec& image) {
  constexpr bool kLittle = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
  picture.fill(Qt::black);
  image.pixels = picture.bits();
  image.rowStride = static_cast<int32_t>(picture.bytesPerLine());
  image.pixelFormat = 0;
  image.redOffset = kLittle ? 2 : 1;
  image.greenOffset = kLittle ? 1 : 2;
  image.blueOffset = kLittle ? 0 : 3;
  image.pixelStride = 4;
  image.bottomUp = 0;
}

Status NewPicture(QSize size, QImage* picture) {
  if (static_cast<qint64>(size.width()) * size.height() > kMaxPixels) return Status::kTooLarge;
  *picture = QImage(size, QImage::Format_RGB32);
  return picture->isNull() ? Status::kNoMemory : Status::kOk;
}

Status DecodeCamCoded(const QByteArray& file, QSize camSize, QImage* out) {
  bool known = false;
  for (QSize s : kCamSizes) known = known || s == camSize;
  if (!known) return Status::kUnsupported;
  ModuleTable table;
  if (table.get() == nullptr) return Status::kNoMemory;
  // The coded streams carry no tables: they use the default Huffman codes.
  RkInitLHuffmanTable(table.get());
  RkInitCHuffmanTable(table.get());
  ImageBlkAttrRec image{};
  const int16_t header = RkDecodeCAMHeaderEx(table.get(), Bytes(file), static_cast<uint32_t>(file.size()),
                                             nullptr, &image);
  if (header == RK_ERR_NULL) return Status::kNoMemory;  // the table's arrays are missing
  if (header != RK_OK) return Status::kTruncated;

  QImage picture;
  if (const Status s = NewPicture(camSize, &picture); s != Status::kOk) return s;
  DescribeRgb32(picture, image);
  image.width = static_cast<uint16_t>(camSize.width());
  image.height = static_cast<uint16_t>(camSize.height());
  const int16_t rc = RkDecompressImageByCAM(table.get(), &image, nullptr);
  if (rc == RK_ERR_MEMORY || rc == RK_ERR_NULL) return Status::kNoMemory;
  if (rc != RK_OK) return Status::kUnsupported;
  // The decoder finishes a damaged stream with flat blocks and leaves the
  // first stream error here.
  if (table.get()->decodeError != 0) return Status::kDamaged;
  *out = std::move(picture);
  return Status::kOk;
}

Status DecodeJpeg(const QByteArray& file, const CamFile& found, QImage* out) {
  ModuleTable table;
  if (table.get() == nullptr) return Status::kNoMemory;
  const uint8_t* stream = Bytes(file) + found.jpegOffset;
  const uint32_t length = found.jpegLength;
  ImageBlkAttrRec image{};
  QImage picture;
  if (const Status s = NewPicture(found.size, &picture); s != Status::kOk) return s;
  DescribeRgb32(picture, image);
  // Loads this stream's tables into the module table; the frame must be
  // the one Inspect measured (the same bytes, so it is).
  if (RkDecodeJFIFHeader(table.get(), stream, &length, &image) < 0) return Status::kDamaged;
  if (image.width != found.size.width() || image.height != found.size.height()) return Status::kDamaged;
  const int16_t rc = RkDecompressImageByJPEG(table.get(), &image, nullptr);
  if (rc == RK_ERR_MEMORY || rc == RK_ERR_NULL) return Status::kNoMemory;
  if (rc == RK_ERR_UNSUPPORTED) return Status::kUnsupported;
  if (rc != RK_OK) return Status::kDamaged;
  *out = std::move(picture);
  return Status::kOk;
}

}  // namespace

const char* StatusText(Status status) {
  switch (status) {
    case Status::kOk: return "ok";
    case Status::kNotCam: return "not a CAM file";
    case Status::kNoPicture: return "CAM file without a picture";
    case Status::kTruncated: return "truncated CAM file";
    case Status::kDamaged: return "damaged picture data";
    case Status::kUnsupported: return "picture kind not supported";
    case Status::kTooLarge: return "file or picture too large";
    case Status::kNoMemory: return "out of memory";
    case Status::kReadError: return "cannot read the file";
  }
  return "unknown error";
}

bool LooksLikeCam(const QByteArray& head) {
  if (head.size() < 3) return false;
  const int16_t type = RkCheckCAMFileTypeEx(Bytes(head), static_cast<uint32_t>(head.size()), nullptr, nullptr);
  // RK_ERR_UNSUPPORTED: a CAM header whose directory or picture section
  // goes on past `head`; the rest of the file decides.
  return type == kTypeCamCoded || type == kTypeJpeg || type == RK_ERR_UNSUPPORTED;
}

Status ReadAll(QIODevice& device, QByteArray* bytes) {
  if (!device.isReadable()) return Status::kReadError;
  QByteArray data;
  // Sequential devices (pipes, sockets) have no size: read in pieces up to
  // the limit.
  for (;;) {
    const qint64 room = kMaxFileBytes + 1 - data.size();
    if (room <= 0) return Status::kTooLarge;
    const QByteArray piece = device.read(std::min<qint64>(room, 1 << 20));
    if (piece.isEmpty()) break;
    data += piece;
  }
  if (data.size() > kMaxFileBytes) return Status::kTooLarge;
  *bytes = std::move(data);
  return Status::kOk;
}

Status Inspect(const QByteArray& file, CamFile* found) {
  if (file.size() > kMaxFileBytes) return Status::kTooLarge;
  uint32_t length = 0;
  uint32_t offset = 0;
  const int16_t type = RkCheckCAMFileTypeEx(Bytes(file), static_cast<uint32_t>(file.size()), &length, &offset);
  switch (type) {
    case kTypeCamCoded:
      *found = CamFile{Kind::kCamCoded, kCamSizes[0], 0, 0};
      return Status::kOk;
    case kTypeJpeg: break;
    case kTypeNotCam: return Status::kNotCam;
    case RK_ERR_NO_IMAGE: return Status::kNoPicture;
    default: return Status::kTruncated;
  }
  // The section lies inside the file (the sized check made sure). Measure
  // the stream without a module table: size, kind, where its SOI is.
  ImageBlkAttrRec image{};
  const int32_t soi = RkDecodeJFIFHeader(nullptr, Bytes(file) + offset, &length, &image);
  if (soi < 0 || static_cast<uint32_t>(soi) >= length) return Status::kDamaged;
  if ((image.format & RK_FORMAT_PROGRESSIVE) != 0) return Status::kUnsupported;
  if (image.width == 0 || image.height == 0) return Status::kDamaged;
  if (static_cast<qint64>(image.width) * image.height > kMaxPixels) return Status::kTooLarge;
  *found = CamFile{Kind::kJpeg, QSize(image.width, image.height), offset + static_cast<uint32_t>(soi),
                   length - static_cast<uint32_t>(soi)};
  return Status::kOk;
}

Status Decode(const QByteArray& file, const CamFile& found, QSize camSize, QImage* picture) {
  return found.kind == Kind::kCamCoded ? DecodeCamCoded(file, camSize, picture)
                                       : DecodeJpeg(file, found, picture);
}

Status ReadPicture(const QByteArray& file, QSize wanted, QImage* picture) {
  CamFile found;
  if (const Status s = Inspect(file, &found); s != Status::kOk) return s;
  if (!wanted.isValid() || wanted.isEmpty()) wanted = found.size;
  if (static_cast<qint64>(wanted.width()) * wanted.height() > kMaxPixels) return Status::kTooLarge;
  QSize decodeAt = found.size;
  if (found.kind == Kind::kCamCoded) {
    for (QSize s : kCamSizes) {
      if (s == wanted) decodeAt = s;
    }
  }
  QImage decoded;
  if (const Status s = Decode(file, found, decodeAt, &decoded); s != Status::kOk) return s;
  if (decoded.size() != wanted) {
    decoded = decoded.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (decoded.isNull()) return Status::kNoMemory;
  }
  *picture = std::move(decoded);
  return Status::kOk;
}

}  // namespace corvid::camread
