// TIFF writing: one big-endian, uncompressed, chunky RGB picture in a single
// strip, with a fixed directory of 13 entries, or 14 when the module table
// carries a global comment (kept in tag 34377). With n entries and a
// comment of L bytes the file is laid out as
//
//   0          "MM" 42 8                    header, directory at 8
//   8          n, then n entries of 12      directory
//   10 + 12n   0                            no next directory
//   14 + 12n   8 8 8                        BitsPerSample
//   20 + 12n   xDpi * 10000 / 10000         XResolution
//   28 + 12n   yDpi * 10000 / 10000         YResolution
//   36 + 12n   L comment bytes
//   36+12n+L   3 * w * h pixel bytes        R G B, top row first
//
// so a 2 x 1 picture without a comment is 36 + 156 + 6 = 198 bytes with
// its pixels at 192.
#include <cstdint>
#include <cstring>

#include "rastkit.h"
#include "tiff/byte_order.h"
#include "tiff/pixel_rows.h"
#include "tiff/row_kernels.h"
#include "tiff/tiff_layout.h"

namespace rk::tiff {
namespace {

constexpr int kOrder = kBigEndian;
constexpr uint32_t kEntriesPlain = 13;
constexpr uint32_t kEntriesWithComment = 14;
constexpr uint32_t kResolutionDenominator = 10000;
constexpr uint16_t kDefaultDpi = 72;
constexpr uint16_t kResolutionUnitInch = 2;
// The size query answers in a signed 32-bit count.
constexpr uint64_t kLargestFile = 0x7FFFFFFF;

// The file for one picture and comment.
struct Layout {
  uint32_t entries = kEntriesPlain;
  uint32_t commentLength = 0;  // L
  uint64_t pixelBytes = 0;
  uint64_t directoryEnd() const { return 10 + uint64_t{kEntryBytes} * entries; }
  uint64_t bitsAt() const { return directoryEnd() + 4; }
  uint64_t xResolutionAt() const { return bitsAt() + 6; }
  uint64_t yResolutionAt() const { return xResolutionAt() + 8; }
  uint64_t commentAt() const { return yResolutionAt() + 8; }
  uint64_t pixelsAt() const { return commentAt() + commentLength; }
  uint64_t fileBytes() const { return pixelsAt() + pixelBytes; }
};

// The comment is text: it ends at its stored length or at a zero byte
// before it, whichever comes first, so a length that overstates the text
// never takes the writer past the text's end.
uint32_t CommentBytes(const ModuleTableRec& table) {
  if (table.comment == nullptr || table.commentLength == 0) return 0;
  const void* zero = std::memchr(table.comment, 0, table.commentLength);
  return zero == nullptr ? table.commentLength
                         : static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - table.comment);
}

// RK_OK with the layout, or RK_ERR_UNSUPPORTED for an empty picture or a
// file the 32-bit sizes of this interface cannot carry.
int16_t Plan(const ModuleTableRec& table, const ImageBlkAttrRec& image, Layout& layout) {
  layout.commentLength = CommentBytes(table);
  layout.entries = layout.commentLength > 0 ? kEntriesWithComment : kEntriesPlain;
  layout.pixelBytes = 3 * uint64_t{image.width} * image.height;
  if (image.width == 0 || image.height == 0 || layout.fileBytes() > kLargestFile) return RK_ERR_UNSUPPORTED;
  return RK_OK;
}

int16_t CallProgress(const UserCallBackRec* progress, int32_t done, int32_t total, void* work) {
  if (progress == nullptr || progress->proc == nullptr) return RK_OK;
  return progress->proc(done, total, work, progress->userData);
}

void WriteHeaderAndDirectory(const ModuleTableRec& table, const ImageBlkAttrRec& image, const Layout& l,
                             uint8_t* out) {
  out[0] = 'M';
  out[1] = 'M';
  StoreValue(out + 2, kOrder, 2, 42);
  StoreValue(out + 4, kOrder, 4, 8);
  StoreValue(out + 8, kOrder, 2, l.entries);
  uint8_t* e = out + 10;
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint64_t value) {
    StoreEntry(e, kOrder, tag, type, count, static_cast<uint32_t>(value));
    e += kEntryBytes;
  };
  auto shortEntry = [&](uint16_t tag, uint16_t value) {
    StoreShortEntry(e, kOrder, tag, value);
    e += kEntryBytes;
  };
  entry(kTagNewSubfileType, kTypeLong, 1, 0);
  shortEntry(kTagImageWidth, image.width);
  shortEntry(kTagImageLength, image.height);
  entry(kTagBitsPerSample, kTypeShort, 3, l.bitsAt());
  shortEntry(kTagCompression, kCompressionNone);
  shortEntry(kTagPhotometric, kPhotometricRgb);
  entry(kTagStripOffsets, kTypeLong, 1, l.pixelsAt());
  shortEntry(kTagSamplesPerPixel, 3);
  entry(kTagStripByteCounts, kTypeLong, 1, l.pixelBytes);
  entry(kTagXResolution, kTypeRational, 1, l.xResolutionAt());
  entry(kTagYResolution, kTypeRational, 1, l.yResolutionAt());
  shortEntry(kTagPlanarConfiguration, kPlanarChunky);
  shortEntry(kTagResolutionUnit, kResolutionUnitInch);
  // Always an offset, even for a comment of four bytes or fewer.
  if (l.entries == kEntriesWithComment) entry(kTagComment, kTypeByte, l.commentLength, l.commentAt());
  StoreValue(e, kOrder, 4, 0);

  for (int i = 0; i < 3; ++i) StoreValue(out + l.bitsAt() + 2 * i, kOrder, 2, 8);
  const uint16_t xDpi = image.xDpi != 0 ? image.xDpi : kDefaultDpi;
  const uint16_t yDpi = image.yDpi != 0 ? image.yDpi : kDefaultDpi;
  StoreRational(out + l.xResolutionAt(), kOrder, xDpi, kResolutionDenominator);
  StoreRational(out + l.yResolutionAt(), kOrder, yDpi, kResolutionDenominator);
  if (l.commentLength > 0) std::memcpy(out + l.commentAt(), table.comment, l.commentLength);
}

int16_t Export(const ModuleTableRec& table, ImageBlkAttrRec& image, const UserCallBackRec* progress) {
  Layout l;
  const int16_t planned = Plan(table, image, l);
  if (planned != RK_OK) return planned;
  if (image.pixels == nullptr || image.data == nullptr) return RK_ERR_UNSUPPORTED;
  // The whole file is known before a byte is written: a buffer too small
  // for it is refused untouched.
  if (image.dataLength < l.fileBytes()) return RK_ERR_BUFFER;

  uint8_t* out = image.data;
  WriteHeaderAndDirectory(table, image, l, out);
  const PixelRows source = PixelRows::Of(image);
  const bool callback = progress != nullptr && progress->proc != nullptr;
  uint8_t* p = out + l.pixelsAt();
  for (int y = 0; y < source.height; ++y) {
    uint8_t* row = source.Row(y);
    if (!callback && source.IsBgr24()) {
      SwapRedBlue(row, p, static_cast<size_t>(source.width));
      p += 3 * static_cast<size_t>(source.width);
      continue;
    }
    if (!callback) {
      source.ForEachPixel(row, [&p](int, uint8_t r, uint8_t g, uint8_t b) {
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p += 3;
      });
      continue;
    }
    // With a callback it is called after every pixel, the row as progress.
    for (int x = 0; x < source.width; ++x) {
      const uint8_t* d = row + static_cast<size_t>(x) * source.pixelStride;
      p[0] = d[source.red];
      p[1] = d[source.green];
      p[2] = d[source.blue];
      if (CallProgress(progress, y, source.height, p) == RK_STOPPED) return RK_STOPPED;
      p += 3;
    }
  }
  const int16_t last = CallProgress(progress, source.height, source.height, nullptr);
  image.dataLength = static_cast<uint32_t>(l.fileBytes());
  return last;
}

}  // namespace
}  // namespace rk::tiff

extern "C" {

RK_API int32_t RkGetExportTIFFImageSize(ModuleTableRec* table, ImageBlkAttrRec* image) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  rk::tiff::Layout l;
  const int16_t planned = rk::tiff::Plan(*table, *image, l);
  if (planned != RK_OK) return planned;
  return static_cast<int32_t>(l.fileBytes());
}

RK_API int16_t RkExportImageByTIFF(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  return rk::tiff::Export(*table, *image, progress);
}

}  // extern "C"
