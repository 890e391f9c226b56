// RkGetWrenExifImgRawData: a Wren camera's bitmap written as an Exif JPEG
// with the camera's fixed shooting information, at a size and quality
// chosen by its mode.
#include <algorithm>
#include <cstring>

#include "camera/common.h"
#include "camera/packed_bitmap.h"
#include "exif/exif_record.h"
#include "memory.h"

namespace rk::camera {
namespace {

struct WrenMode {
  uint16_t width;
  uint16_t height;
  double scale;  // quantisation scale, luminance and chrominance
  uint8_t code;  // first maker-note byte
};

// Mode bits 0-2; 3 to 7 all mean the large picture at scale 0.5.
WrenMode ModeOf(uint32_t mode) {
  switch (mode & 7) {
    case 0: return {1360, 1024, 0.3, 1};
    case 1: return {1360, 1024, 0.8, 0};
    case 2: return {640, 480, 0.3, 2};
    default: return {1360, 1024, 0.5, 0};
  }
}

// No file needs more: a 1360 x 1024 4:2:0 picture has 32640 blocks, none
// coded in more than 420 bytes even with every byte stuffed, plus the
// 64 KB Exif block. A larger hint does not make the buffer larger.
constexpr uint64_t kLargestFile = 32u << 20;

// Fixed texts: blanks with their zero byte (lengths 21 and 11).
constexpr char kBlank20[] = "                    ";
constexpr char kBlank10[] = "          ";
static_assert(sizeof kBlank20 == 21 && sizeof kBlank10 == 11);

void* Finish(int16_t* result, int16_t code, void* block) {
  if (result != nullptr) *result = code;
  return block;
}

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" RK_API void* RkGetWrenExifImgRawData(const uint8_t* pixels, uint32_t* size, uint32_t mode,
                                                int16_t* result, UserCallBackRec* progress) {
  if (pixels == nullptr || size == nullptr) return Finish(result, RK_ERR_NULL, nullptr);
  const WrenMode m = ModeOf(mode);
  const uint64_t stride = BitmapRowStride(m.width);
  const uint64_t capacity =
      std::min(std::max(2 * uint64_t{*size}, stride * m.height / 4 + 65535), kLargestFile);

  OwnTable table(OwnTable::Kind::kCodec);
  if (!table.ok()) return Finish(result, RK_ERR_MEMORY, nullptr);
  auto* buffer = static_cast<uint8_t*>(AllocZeroed(static_cast<size_t>(capacity), 1));
  if (buffer == nullptr) return Finish(result, RK_ERR_MEMORY, nullptr);

  ExifTagInfoRec info{};
  info.version = 2;  // the tail fields stay 0: none of them is written
  RkInitExifTagInfo(&info);
  info.make = kBlank20;
  info.makeLength = sizeof kBlank20;
  info.model = kBlank20;
  info.modelLength = sizeof kBlank20;
  info.software = kBlank10;
  info.softwareLength = sizeof kBlank10;
  const ExifDateTimeRec now = rk::exif::LocalDateTimeNow();
  info.dateTime = &now;
  info.dateTimeOriginal = &now;
  info.dateTimeDigitized = &now;
  // The mode code, the flag byte (8 with mode bit 3), two zero bytes and
  // sixteen blanks.
  uint8_t makerNote[20];
  std::memset(makerNote, ' ', sizeof makerNote);
  makerNote[0] = m.code;
  makerNote[1] = (mode & 8) != 0 ? 8 : 0;
  makerNote[2] = makerNote[3] = 0;
  info.makerNote = makerNote;
  info.makerNoteLength = sizeof makerNote;
  info.isoSpeed = 100;
  info.focalLength = 7.0f;
  info.fNumber = info.aperture = info.maxAperture = 5.6f;
  info.exposureTime = info.shutterSpeed = 0.0f;
  info.exifVersion = 210;

  ImageBlkAttrRec image{};
  image.width = m.width;
  image.height = m.height;
  image.format = 0x3005;  // 4:2:0
  image.pixels = const_cast<uint8_t*>(pixels);
  image.rowStride = static_cast<int32_t>(stride);
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
  image.xDpi = image.yDpi = 72;
  // The writer is given the buffer's real size; it never writes past it.
  image.data = buffer;
  image.dataLength = static_cast<uint32_t>(capacity);

  double scale = m.scale;
  const int16_t code = RkExportCustomExifFile(table.get(), &scale, &scale, &info, &image, progress);
  if (code != RK_OK) {
    FreeMemory(buffer);
    return Finish(result, code, nullptr);
  }
  // The writer leaves dataLength at the file's size. A block of exactly
  // that size; the large buffer serves when that one cannot be had.
  const uint32_t length = image.dataLength;
  auto* exact = static_cast<uint8_t*>(AllocZeroed(length, 1));
  if (exact != nullptr) {
    std::memcpy(exact, buffer, length);
    FreeMemory(buffer);
    buffer = exact;
  }
  *size = length;
  return Finish(result, RK_OK, buffer);
}
