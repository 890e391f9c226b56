// Writing Exif JPEG files: the TIFF block goes to the JFIF writer as the
// content of an APP1 "Exif" segment (in place of APP0), and the custom
// export first makes the 160 x 120 thumbnail that IFD1 carries.
#include <algorithm>
#include <cstdint>

#include "exif_block.h"
#include "exif_record.h"
#include "exif_tags.h"
#include "memory.h"
#include "table_check.h"
#include "jpeg/jfif_writer.h"
#include "rastkit.h"

namespace rk::exif {
namespace {

// The thumbnail: 160 x 120 pixels, the program's bottom-up blue-green-red
// rows (480 bytes, no padding needed), coded 4:2:2 at quantisation scale
// 0.75 into a buffer that a 16-bit length can describe.
constexpr uint32_t kThumbWidth = 160;
constexpr uint32_t kThumbHeight = 120;
constexpr int32_t kThumbStride = kThumbWidth * 3;
constexpr uint32_t kThumbCanvasBytes = kThumbStride * kThumbHeight;  // 57600
constexpr uint32_t kThumbStreamBytes = 64000;
constexpr double kThumbScale = 0.75;
constexpr uint16_t kThumbFormat = 0x3001;  // three components, Y sampled 2 x 1
constexpr uint16_t kResampleBilinear = 1;

// Hands `block` (null: none) to the JFIF writer as the APP1 content,
// borrowing the record's methodParam and the table's global comment for the
// call. The writer codes with the standard Huffman tables, which are the
// ones its DHT segment holds: a table left with a decoded file's own tables
// would otherwise give a corrupt file.
int16_t WriteWithBlock(ModuleTableRec* table, ImageBlkAttrRec* image, const uint8_t* block, uint32_t length,
                       UserCallBackRec* callback) {
  const uint32_t methodParam = image->methodParam;
  const uint8_t* comment = table->comment;
  const uint32_t commentLength = table->commentLength;
  image->methodParam = RK_METHOD_PARAM_EXIF;
  table->comment = block;
  table->commentLength = length;
  RkInitLHuffmanTable(table);
  RkInitCHuffmanTable(table);
  const int16_t result = WriteJfifStream(table, image, callback);
  image->methodParam = methodParam;
  table->comment = comment;
  table->commentLength = commentLength;
  return result;
}

int16_t ExportByExif(ModuleTableRec* table, ImageBlkAttrRec* image, ExifTagInfoRec* info,
                     UserCallBackRec* callback) {
  if (info == nullptr) return WriteWithBlock(table, image, nullptr, 0, callback);
  // The block is built in the work shop when there is one: the JFIF writer
  // copies it into the APP1 segment before the encoder takes the work shop
  // for its MCU work area.
  Scratch work(table, kMaxExifBlock);
  if (!work.ok()) return RK_ERR_MEMORY;
  const uint16_t version = WrittenExifVersion(*info);
  uint32_t length = 0;
  if (const int16_t r = BuildExifBlock(*info, version, *image, work.data(), length); r != RK_OK) return r;
  info->exifVersion = version;
  return WriteWithBlock(table, image, work.data(), length, callback);
}

// The rectangle of the 160 x 120 canvas that the picture fills keeping its
// shape, centred; `top` counts stored rows from the canvas start. A 300 x 200
// picture gets 160 x 106, 7 rows from the edge. At least one pixel in each
// direction: a picture 200 times wider than high still gets a row.
struct Rect {
  uint32_t left = 0, top = 0, width = kThumbWidth, height = kThumbHeight;
};

Rect FitThumbnail(uint32_t w, uint32_t h) {
  Rect r;
  if (w * kThumbHeight > h * kThumbWidth) {  // wider than 4:3, so w > 0
    r.height = std::max<uint32_t>(1, h * kThumbWidth / w);
    r.top = (kThumbHeight - r.height) / 2;
  } else if (w * kThumbHeight < h * kThumbWidth) {  // h > 0
    r.width = std::max<uint32_t>(1, w * kThumbHeight / h);
    r.left = (kThumbWidth - r.width) / 2;
  }
  return r;
}

// Makes the thumbnail's bare JPEG stream (no APP segment) in `stream`;
// returns the encoder's result and the stream length.
int16_t MakeThumbnail(ModuleTableRec* table, ImageBlkAttrRec* image, uint8_t* canvas, uint8_t* stream,
                      uint32_t& length) {
  const Rect fit = FitThumbnail(image->width, image->height);
  ImageBlkAttrRec rect{};
  rect.width = static_cast<uint16_t>(fit.width);
  rect.height = static_cast<uint16_t>(fit.height);
  rect.pixels = canvas + (fit.top * kThumbWidth + fit.left) * 3;
  rect.rowStride = kThumbStride;
  rect.redOffset = 2;
  rect.greenOffset = 1;
  rect.blueOffset = 0;
  rect.pixelStride = 3;
  rect.bottomUp = 1;
  // Large pictures are block-averaged, smaller ones resampled. The shrink
  // walks stored rows, so a top-down source goes into the rectangle from its
  // last stored row upwards to come out upright in the bottom-up canvas.
  // The resize result is not inspected: a picture it cannot take leaves the
  // canvas black, and the main encode reports the picture's fault.
  // Planar 16-bit YCbCr input has no 8-bit pixels to resize: its thumbnail
  // stays black.
  if ((image->pixelFormat & 0xF) == RK_PIXEL_PLANAR_YCC16) {
    // nothing to draw
  } else if (image->width / kThumbWidth >= 2 && image->height / kThumbHeight >= 2) {
    if (image->bottomUp == 0) {
      rect.pixels = canvas + ((fit.top + fit.height - 1) * kThumbWidth + fit.left) * 3;
      rect.rowStride = -kThumbStride;
    }
    (void)RkShrinkingResizeImage(table, &rect, image, nullptr);
  } else {
    (void)RkSamplingResizeImage(table, &rect, image, kResampleBilinear, nullptr);
  }

  ImageBlkAttrRec thumb{};
  thumb.width = kThumbWidth;
  thumb.height = kThumbHeight;
  thumb.pixels = canvas;
  thumb.rowStride = kThumbStride;
  thumb.redOffset = 2;
  thumb.greenOffset = 1;
  thumb.blueOffset = 0;
  thumb.pixelStride = 3;
  thumb.bottomUp = 1;
  thumb.xDpi = 72;
  thumb.yDpi = 72;
  thumb.format = kThumbFormat;
  thumb.data = stream;
  thumb.dataLength = kThumbStreamBytes;
  const double scale = kThumbScale;
  RkSetQuantizeScaleFactor(table, &scale, &scale);
  const int16_t result = ExportByExif(table, &thumb, nullptr, nullptr);
  length = thumb.dataLength;
  return result;
}

int16_t ExportCustom(ModuleTableRec* table, const double* lumScale, const double* chromScale,
                     ExifTagInfoRec* info, ImageBlkAttrRec* image, UserCallBackRec* callback) {
  auto* canvas = static_cast<uint8_t*>(AllocZeroed(kThumbCanvasBytes, 1));  // starts black
  auto* stream = static_cast<uint8_t*>(AllocZeroed(kThumbStreamBytes, 1));
  if (canvas == nullptr || stream == nullptr) {
    FreeMemory(canvas);
    FreeMemory(stream);
    return RK_ERR_MEMORY;
  }
  uint32_t length = 0;
  int16_t result = MakeThumbnail(table, image, canvas, stream, length);
  FreeMemory(canvas);
  if (result == RK_OK) {
    info->thumbnail = stream;
    info->thumbnailLength = static_cast<uint16_t>(length);  // <= 64000
    RkSetQuantizeScaleFactor(table, lumScale, chromScale);
    result = ExportByExif(table, image, info, callback);
    // The stream is freed here: the record must not keep pointing at it.
    info->thumbnail = nullptr;
  }
  FreeMemory(stream);
  return result;
}

}  // namespace
}  // namespace rk::exif

extern "C" RK_API int16_t RkExportImageByExif(ModuleTableRec* table, ImageBlkAttrRec* image, ExifTagInfoRec* info,
                                              UserCallBackRec* progress) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  return rk::exif::ExportByExif(table, image, info, progress);
}

extern "C" RK_API int16_t RkExportCustomExifFile(ModuleTableRec* table, const double* lumScale,
                                                 const double* chromScale, ExifTagInfoRec* info,
                                                 ImageBlkAttrRec* image, UserCallBackRec* progress) {
  if (info == nullptr || image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  return rk::exif::ExportCustom(table, lumScale, chromScale, info, image, progress);
}

extern "C" RK_API int16_t RkExportDefaultExifFile(ModuleTableRec* table, const double* lumScale,
                                                  const double* chromScale, ImageBlkAttrRec* image,
                                                  UserCallBackRec* progress) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  static constexpr char kMake[] = "QUILLBANK";
  static constexpr char kModel[] = "Windows";
  static constexpr char kSoftware[] = "Pictor";
  ExifTagInfoRec info{};
  info.version = rk::exif::kFullRecordVersion;
  rk::exif::InitRecord(info);
  info.make = kMake;  // lengths count the zero byte
  info.makeLength = sizeof kMake;
  info.model = kModel;
  info.modelLength = sizeof kModel;
  info.software = kSoftware;
  info.softwareLength = sizeof kSoftware;

  // The local time of the call, to the second.
  ExifDateTimeRec date = rk::exif::LocalDateTimeNow();
  info.dateTime = &date;
  info.dateTimeOriginal = &date;
  info.dateTimeDigitized = &date;
  return rk::exif::ExportCustom(table, lumScale, chromScale, &info, image, progress);
}
