#include "cam_image.h"

#include <algorithm>

namespace corvid::camread {
namespace {

const uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const uint8_t*>(a.constData()); }

// Decodes into a new RGB32 image. RGB32 is the 32-bit word 0xffRRGGBB: on
// a little-endian host its bytes are B, G, R, 0xff, so blue is byte 0 and
// red byte 2; big-endian hosts store 0xff, R, G, B. The decoders write
// only the three colour bytes, so the image is filled with opaque black
// first and its alpha byte stays 0xff.
Status DecodeRgb32(const QByteArray& file, const CamFile& found, Size at, QImage* out) {
  if (int64_t{at.width} * at.height > kMaxPixels) return Status::kTooLarge;
  QImage picture(at.width, at.height, QImage::Format_RGB32);
  if (picture.isNull()) return Status::kNoMemory;
  picture.fill(Qt::black);
  constexpr bool kLittle = Q_BYTE_ORDER == Q_LITTLE_ENDIAN;
  PixelLayout layout;
  layout.pixels = picture.bits();
  layout.rowStride = static_cast<int32_t>(picture.bytesPerLine());
  layout.pixelStride = 4;
  layout.red = kLittle ? 2 : 1;
  layout.green = kLittle ? 1 : 2;
  layout.blue = kLittle ? 0 : 3;
  const Status s = Decode(Bytes(file), static_cast<size_t>(file.size()), found, at, layout);
  if (s == Status::kOk) *out = std::move(picture);
  return s;
}

}  // namespace

Status ReadAll(QIODevice& device, QByteArray* bytes) {
  if (!device.isReadable()) return Status::kReadError;
  QByteArray data;
  if (!device.isSequential()) {
    // A file or buffer: exactly the bytes that are left. (Reading in large
    // fixed pieces would allocate and free a megabyte a call, and glibc
    // then hands the heap top back to the kernel: the picture allocated
    // next starts on fresh pages, about 1.5 ms of page faults for one
    // 480x360 picture on this machine.)
    const qint64 left = device.size() - device.pos();
    if (left > kMaxFileBytes) return Status::kTooLarge;
    data = device.read(left);
    if (data.size() != left) return Status::kReadError;
  } else {
    // Pipes and sockets have no size: pieces up to the limit.
    constexpr qint64 kPiece = 64 * 1024;
    for (;;) {
      const qint64 room = kMaxFileBytes + 1 - data.size();
      if (room <= 0) return Status::kTooLarge;
      const QByteArray piece = device.read(std::min(room, kPiece));
      if (piece.isEmpty()) break;
      data += piece;
    }
    if (data.size() > kMaxFileBytes) return Status::kTooLarge;
  }
  *bytes = std::move(data);
  return Status::kOk;
}

bool LooksLikeCam(const QByteArray& head) { return LooksLikeCam(Bytes(head), static_cast<size_t>(head.size())); }

Status Inspect(const QByteArray& file, CamFile* found) {
  return Inspect(Bytes(file), static_cast<size_t>(file.size()), found);
}

Status ReadPicture(const QByteArray& file, QSize wanted, QImage* picture) {
  CamFile found;
  if (const Status s = Inspect(file, &found); s != Status::kOk) return s;
  if (!wanted.isValid() || wanted.isEmpty()) wanted = QSize(found.size.width, found.size.height);
  if (int64_t{wanted.width()} * wanted.height() > kMaxPixels) return Status::kTooLarge;
  Size decodeAt = found.size;
  if (found.kind == Kind::kCamCoded) {
    for (Size s : kCamSizes) {
      if (s == Size{wanted.width(), wanted.height()}) decodeAt = s;
    }
  }
  QImage decoded;
  if (const Status s = DecodeRgb32(file, found, decodeAt, &decoded); s != Status::kOk) return s;
  if (decoded.size() != wanted) {
    decoded = decoded.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (decoded.isNull()) return Status::kNoMemory;
  }
  *picture = std::move(decoded);
  return Status::kOk;
}

}  // namespace corvid::camread
