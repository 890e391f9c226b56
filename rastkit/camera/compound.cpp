// The compound KSTM raw data of a 640 x 480 bitmap: a 32-byte header, the
// thumbnail stream and the KSTM image data, with the quantisation scale
// chosen from the picture's detail and the target size, and the image
// coded once more at twice the scale when it ends up too large.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "cam/kernels.h"
#include "camera/common.h"
#include "camera/compound.h"
#include "camera/kstm.h"
#include "memory.h"

namespace rk::camera {
namespace {

constexpr uint32_t kHeaderBytes = 32;
constexpr int32_t kRowStride = kKstmWidth * 3;  // 1920: no padding at 640 pixels
// The progress total: the thumbnail's rows, then the image's, each 0 .. 479.
constexpr int32_t kProgressTotal = 2 * (kKstmHeight - 1);
// The most the data can ever take: every one of the 9600 blocks at its
// largest coding (the DC code and 63 AC codes of 26 bits, under 220 bytes),
// doubled for stuffing bytes, plus thumbnail and header; a larger output
// buffer than this is never allocated, whatever the target.
constexpr uint64_t kLargestData = 8u << 20;
// Target sizes up to this are the small class.
constexpr uint32_t kSmallClass = 65536;

void PutU32BE(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Scale s as stored: its integer part and its fraction in 1/256.
void PutScale(uint8_t* header, double scale) {
  const double whole = static_cast<double>(static_cast<int>(scale));
  header[12] = static_cast<uint8_t>(whole);
  header[13] = static_cast<uint8_t>((scale - whole) * 256.0);
}

void* Finish(int16_t* result, int16_t code, void* block) {
  if (result != nullptr) *result = code;
  return block;
}

}  // namespace

uint32_t DetailMeasure(const uint8_t* pixels, int width, int height, int32_t rowStride) {
  if (width < 3 || height < 3) return 0;
  // Per interior pixel: the Laplacian 4c - (left + right + above + below)
  // of each channel, the three taken as an RGB triple into luminance
  // (through the kernel's row form), and its magnitude summed. The rows
  // are split into channel planes first, in runs of up to 256 pixels, so
  // that each step is a plain loop over contiguous samples.
  constexpr int kRun = 256;
  int16_t plane[3][3][kRun + 2];  // rows above, at and below; blue, green, red
  int16_t lap[3][kRun];
  uint64_t sum = 0;
  for (int x0 = 1; x0 < width - 1; x0 += kRun) {
    const int n = std::min(kRun, width - 1 - x0);
    auto load = [&](int y, int16_t (*dst)[kRun + 2]) {
      const uint8_t* p = pixels + static_cast<int64_t>(y) * rowStride + 3 * (x0 - 1);
      for (int j = 0; j < n + 2; ++j, p += 3) {
        dst[0][j] = p[0];
        dst[1][j] = p[1];
        dst[2][j] = p[2];
      }
    };
    load(0, plane[0]);
    load(1, plane[1]);
    for (int y = 1; y < height - 1; ++y) {
      int16_t (*above)[kRun + 2] = plane[(y - 1) % 3];
      int16_t (*centre)[kRun + 2] = plane[y % 3];
      int16_t (*below)[kRun + 2] = plane[(y + 1) % 3];
      load(y + 1, below);
      for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < n; ++j) {
          lap[k][j] = static_cast<int16_t>(4 * centre[k][j + 1] - centre[k][j] - centre[k][j + 2] - above[k][j + 1] -
                                           below[k][j + 1]);
        }
      }
      RgbToYccRow(lap[2], lap[1], lap[0], static_cast<size_t>(n));  // luminance lands in the red row
      uint32_t rowSum = 0;
      for (int j = 0; j < n; ++j) rowSum += static_cast<uint32_t>(std::abs(lap[2][j]));
      sum += rowSum;
    }
  }
  return static_cast<uint32_t>(sum / (static_cast<uint64_t>(width - 2) * static_cast<uint64_t>(height - 2)));
}

CompoundScale ChooseScale(uint32_t target, uint32_t detail) {
  const bool large = target > kSmallClass;
  const double base = detail < 15 ? 0.5 : detail < 30 ? 1.0 : 2.0;
  return CompoundScale{large ? base / 2 : base, large ? 2 * kSmallClass : kSmallClass, large};
}

int16_t EncodeCompound(const uint8_t* pixels, uint32_t target, UserCallBackRec* progress, uint8_t** data,
                       uint32_t* length) {
  OwnTable own(OwnTable::Kind::kCodec);
  if (!own.ok()) return RK_ERR_MEMORY;
  ModuleTableRec* table = own.get();
  const uint64_t capacity64 = std::min<uint64_t>(2 * uint64_t{target}, kLargestData);
  const auto capacity = static_cast<uint32_t>(capacity64);
  if (capacity < kHeaderBytes) return RK_ERR_BUFFER;
  auto* buffer = static_cast<uint8_t*>(AllocZeroed(capacity, 1));
  if (buffer == nullptr) return RK_ERR_MEMORY;
  auto fail = [&](int16_t code) {
    FreeMemory(buffer);
    return code;
  };

  ImageBlkAttrRec source{};
  source.width = kKstmWidth;
  source.height = kKstmHeight;
  source.pixels = const_cast<uint8_t*>(pixels);
  source.rowStride = kRowStride;
  source.blueOffset = 0;
  source.greenOffset = 1;
  source.redOffset = 2;
  source.pixelStride = 3;
  source.bottomUp = 1;
  source.xDpi = source.yDpi = 72;

  const CompoundScale choice = ChooseScale(target, DetailMeasure(pixels, kKstmWidth, kKstmHeight, kRowStride));
  double scale = choice.scale;
  RkSetQuantizeScaleFactor(table, &scale, &scale);
  buffer[0] = 2;
  buffer[1] = 2;
  PutScale(buffer, scale);
  buffer[14] = choice.large ? 1 : 0;
  buffer[16] = 1;
  buffer[20] = 4;
  buffer[31] = 0x1A;

  uint32_t thumbLength = 0;
  int16_t r = EncodeKstmThumbnail(table, source, buffer + kHeaderBytes, capacity - kHeaderBytes, &thumbLength,
                                  ProgressSpan{progress, 0, kProgressTotal});
  if (r != RK_OK) return fail(r);

  const uint32_t imageStart = kHeaderBytes + thumbLength;
  uint32_t imageLength = 0;
  for (int attempt = 0;; ++attempt) {
    r = EncodeKstmImage(table, source, buffer + imageStart, capacity - imageStart, &imageLength,
                        ProgressSpan{progress, kKstmHeight - 1, kProgressTotal});
    // Data that does not fit the buffer (with its FF D9) counts as too
    // large: coded again at twice the scale, or refused the second time.
    const bool fits = r == RK_OK && capacity - imageStart - imageLength >= 2;
    if (r != RK_OK && r != RK_ERR_BUFFER) return fail(r);
    if (fits && (imageStart + imageLength < choice.limit || attempt == 1)) break;
    if (attempt == 1) return fail(RK_ERR_BUFFER);
    scale *= 2;
    RkSetQuantizeScaleFactor(table, &scale, &scale);
    PutScale(buffer, scale);
  }
  buffer[imageStart + imageLength] = 0xFF;
  buffer[imageStart + imageLength + 1] = 0xD9;
  imageLength += 2;
  PutU32BE(buffer + 4, thumbLength);
  PutU32BE(buffer + 8, imageLength);
  r = CallProgress(progress, kProgressTotal, kProgressTotal, buffer);
  if (r == RK_STOPPED) return fail(RK_STOPPED);

  // A block of exactly the data's length; the large buffer serves when
  // that one cannot be had.
  const uint32_t total = imageStart + imageLength;
  auto* exact = static_cast<uint8_t*>(AllocZeroed(total, 1));
  if (exact != nullptr) {
    std::memcpy(exact, buffer, total);
    FreeMemory(buffer);
    buffer = exact;
  }
  *data = buffer;
  *length = total;
  return r;
}

}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" RK_API void* RkGetCompImgKSTMRawData(const uint8_t* pixels, uint32_t* size, int16_t* result,
                                                UserCallBackRec* progress) {
  if (pixels == nullptr || size == nullptr) return Finish(result, RK_ERR_NULL, nullptr);
  uint8_t* data = nullptr;
  uint32_t length = 0;
  const int16_t code = EncodeCompound(pixels, *size, progress, &data, &length);
  if (data == nullptr) return Finish(result, code, nullptr);
  *size = length;
  return Finish(result, code, data);
}
