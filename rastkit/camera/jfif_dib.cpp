// RkGetImgDIBJFIFImage: any baseline or progressive JPEG stream decoded
// into a new packed bitmap of its size.
#include "camera/common.h"
#include "camera/packed_bitmap.h"
#include "memory.h"

using namespace rk;
using namespace rk::camera;

extern "C" RK_API void* RkGetImgDIBJFIFImage(const uint8_t* stream, int32_t length, int16_t* result,
                                             UserCallBackRec* progress) {
  if (stream == nullptr || length < 1) return ReportBitmap(result, RK_ERR_NULL, nullptr);
  OwnTable table(OwnTable::Kind::kCodec);
  if (!table.ok()) return ReportBitmap(result, RK_ERR_MEMORY, nullptr);
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(length);
  if (RkDecodeJFIFHeader(table.get(), stream, &size, &image) < 0 || image.data == nullptr) {
    return ReportBitmap(result, RK_ERR_UNSUPPORTED, nullptr);
  }
  // A bitmap beyond what its 32-bit size fields can hold is refused like a
  // stream property the library does not support.
  if (PackedBitmapBytes(image.width, image.height) > kMaxPackedBitmapBytes) {
    return ReportBitmap(result, RK_ERR_UNSUPPORTED, nullptr);
  }
  int16_t code = RK_OK;
  uint8_t* block = NewFilledBitmap(image.width, image.height, code, [&](uint8_t* b) {
    DescribeBitmap(b, image.width, image.height, image);
    return (image.format & RK_FORMAT_PROGRESSIVE) != 0 ? RkDecompressImageByProgJPEG(table.get(), &image, progress)
                                                       : RkDecompressImageByJPEG(table.get(), &image, progress);
  });
  return ReportBitmap(result, code, block);
}
