#include "dib.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "file_write.h"

namespace corvid {
namespace {

// A BMP's header and colour table together: 40 bytes and at most 256
// four-byte entries for the bit counts that have a table; more than that is
// not a bitmap this program wrote or can use.
constexpr uint32_t kMaxHeaderAndTable = kInfoHeaderSize + 4 * 256;

bool ReadExactly(QIODevice& file, uint8_t* into, qint64 count) {
  qint64 done = 0;
  while (done < count) {
    const qint64 n = file.read(reinterpret_cast<char*>(into) + done, count - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

int32_t ColourCountOf(const BitmapInfoHeader& info) {
  if (info.clrUsed != 0) return static_cast<int32_t>(info.clrUsed);
  switch (info.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

CDib::~CDib() { ReleaseImage(); }

void CDib::DeriveSizes() {
  info_ = BitmapInfoHeader::Read(header_);
  colourCount_ = ColourCountOf(info_);
  pixelBytes_ = info_.sizeImage != 0 ? info_.sizeImage
                                     : static_cast<uint32_t>(DerivedPixelBytes(info_));
  colourTable_ = header_ + kInfoHeaderSize;
}

bool CDib::AttachImage(uint8_t* header, bool owned) {
  ReleaseImage();
  if (header == nullptr) return false;
  header_ = header;
  headerOwned_ = owned;
  DeriveSizes();
  pixels_ = header_ + kInfoHeaderSize + 4 * static_cast<uint32_t>(colourCount_);
  return true;
}

void CDib::ReleaseImage() {
  if (headerOwned_) std::free(header_);
  if (pixelsOwned_) std::free(pixels_);
  header_ = nullptr;
  colourTable_ = nullptr;
  pixels_ = nullptr;
  info_ = BitmapInfoHeader();
  colourCount_ = 0;
  pixelBytes_ = 0;
  headerOwned_ = false;
  pixelsOwned_ = false;
}

QSize CDib::PixelSize() const {
  if (IsEmpty()) return QSize(0, 0);
  return QSize(info_.width, info_.height);
}

bool CDib::ReadBmp(QIODevice& file) {
  ReleaseImage();
  uint8_t fileHeader[kFileHeaderSize];
  if (file.read(reinterpret_cast<char*>(fileHeader), kFileHeaderSize) != kFileHeaderSize) {
    ui_.Report(Message::BmpShortHeader);
    return false;
  }
  if (GetLE16(fileHeader) != kBmpType) {
    ui_.Report(Message::BmpNotBitmap);
    return false;
  }
  // The header block runs from byte 14 to the pixel offset. It must hold at
  // least the 40-byte information header and the colour table that header
  // announces, or the derived pointers would leave the block.
  const uint32_t pixelOffset = GetLE32(fileHeader + 10);
  if (pixelOffset < kFileHeaderSize + kInfoHeaderSize ||
      pixelOffset - kFileHeaderSize > kMaxHeaderAndTable) {
    ui_.Report(Message::BmpNotBitmap);
    return false;
  }
  const uint32_t headerBytes = pixelOffset - kFileHeaderSize;
  HeapBytes header = AllocZeroed(headerBytes);
  if (!header) {
    ui_.Report(Message::BmpReadError);
    return false;
  }
  if (!ReadExactly(file, header.get(), headerBytes)) {
    ui_.Report(Message::BmpReadError);
    return false;
  }
  const BitmapInfoHeader info = BitmapInfoHeader::Read(header.get());
  const uint64_t colourBytes = 4ull * static_cast<uint32_t>(ColourCountOf(info));
  const uint64_t pixelBytes = info.sizeImage != 0 ? info.sizeImage : DerivedPixelBytes(info);
  if (info.size < kInfoHeaderSize || colourBytes > headerBytes - kInfoHeaderSize ||
      pixelBytes == 0 || pixelBytes > kMaxPixelBytes) {
    ui_.Report(Message::BmpNotBitmap);
    return false;
  }
  HeapBytes pixels = AllocZeroed(pixelBytes);
  if (!pixels || !ReadExactly(file, pixels.get(), static_cast<qint64>(pixelBytes))) {
    ui_.Report(Message::BmpReadError);
    return false;
  }
  header_ = header.release();
  headerOwned_ = true;
  DeriveSizes();
  pixelBytes_ = static_cast<uint32_t>(pixelBytes);
  pixels_ = pixels.release();
  pixelsOwned_ = true;
  return true;
}

bool CDib::BmpBytes(std::vector<uint8_t>& out) const {
  if (IsEmpty()) return false;
  const uint32_t colourBytes = 4 * static_cast<uint32_t>(colourCount_);
  const uint64_t total = uint64_t{kFileHeaderSize} + kInfoHeaderSize + colourBytes + pixelBytes_;
  try {
    out.assign(total, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  uint8_t* p = out.data();
  PutLE16(p, kBmpType);
  PutLE32(p + 2, static_cast<uint32_t>(total));
  PutLE16(p + 6, 0);
  PutLE16(p + 8, 0);
  PutLE32(p + 10, kFileHeaderSize + kInfoHeaderSize + colourBytes);
  p += kFileHeaderSize;
  std::memcpy(p, header_, kInfoHeaderSize);
  p += kInfoHeaderSize;
  if (colourBytes != 0) std::memcpy(p, colourTable_, colourBytes);
  p += colourBytes;
  std::memcpy(p, pixels_, pixelBytes_);
  return true;
}

bool CDib::WriteBmp(QIODevice& file) {
  std::vector<uint8_t> bytes;
  if (!BmpBytes(bytes)) {
    ui_.Report(Message::BmpWriteError);
    return false;
  }
  if (!WriteAll(file, bytes.data(), bytes.size())) {
    ui_.Report(Message::BmpWriteError);
    return false;
  }
  return true;
}

}  // namespace corvid
