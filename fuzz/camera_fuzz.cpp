// Arbitrary bytes as camera data. The first byte picks the decoder (KSLV
// thumbnail, KSLV image, KSTM image, KSTM thumbnail, JPEG to bitmap), the
// second its options (output size, a work shop of the queried size, the KSTM
// image decoder at a small size for speed); the
// rest is the data, in a buffer of exactly its size. Results must be codes
// the export documents, and every output byte is read afterwards. JPEG
// streams whose frame exceeds a size cap are not decoded.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/kstm.h"
#include "rastkit.h"

namespace {

constexpr size_t kMaxInput = 1 << 20;
constexpr uint32_t kMaxPixels = 1 << 16;

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  explicit Table(bool unit) {
    if (unit) {
      RkInitKSLVImageProcessUnit(get());
    } else {
      RkInitModuleTable(get());
    }
  }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

volatile uint32_t g_sink;

void Read(const uint8_t* p, size_t n) {
  uint32_t s = 0;
  for (size_t i = 0; i < n; ++i) s = s * 31 + p[i];
  g_sink = s;
}

void Expect(int16_t result, std::initializer_list<int> allowed) {
  for (int a : allowed)
    if (result == a) return;
  __builtin_trap();
}

// A bottom-up bitmap record over rows.
ImageBlkAttrRec Bitmap(std::vector<uint8_t>& rows, int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  rows.assign(static_cast<size_t>(stride) * height, 0);
  ImageBlkAttrRec image{};
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  image.pixels = rows.data();
  image.rowStride = stride;
  image.redOffset = 2;
  image.greenOffset = 1;
  image.pixelStride = 3;
  image.bottomUp = 1;
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > kMaxInput) return 0;
  const uint8_t which = data[0] % 5, options = data[1];
  std::vector<uint8_t> input(data + 2, data + size);  // exactly the data's bytes
  const uint8_t empty = 0;
  const uint8_t* p = input.empty() ? &empty : input.data();
  const auto n = static_cast<uint32_t>(input.size());
  std::vector<uint8_t> rows;
  std::vector<uint8_t> shop;

  switch (which) {
    case 0: {  // KSLV thumbnail
      Table unit(true);
      const bool tall = options & 1;
      ImageBlkAttrRec image = Bitmap(rows, tall ? 60 : 40, tall ? 45 : 30);
      Expect(RkDecompressCameraThumbnail(unit.get(), p, n, &image), {RK_OK, RK_ERR_CAMERA_INVALID});
      Read(rows.data(), rows.size());
      break;
    }
    case 1: {  // KSLV image
      Table unit(true);
      if (options & 2) {
        shop.resize(RkGetCamImgDecodeWorkSpaceSize());
        RkSetCustomModuleTableWorkshop(unit.get(), shop.data());
      }
      const bool tall = options & 1;
      ImageBlkAttrRec image = Bitmap(rows, tall ? 480 : 320, tall ? 360 : 240);
      Expect(RkDecompressCameraImage(unit.get(), p, n, &image, nullptr),
             {RK_OK, RK_ERR_FORMAT, RK_ERR_UNSUPPORTED, RK_ERR_CAMERA_INVALID});
      Read(rows.data(), rows.size());
      break;
    }
    case 2: {  // KSTM image
      Table table(false);
      if ((options & 4) && n >= 136) {
        // The decoder itself at a small size: many more inputs per second
        // through the same entropy and reconstruction code.
        ImageBlkAttrRec image = Bitmap(rows, 48 + (options >> 4), 16 + (options & 8));
        image.data = input.data() + 136;
        image.dataLength = n - 136;
        Expect(rk::camera::DecodeKstmImage(table.get(), p + 8, &image, nullptr), {RK_OK, RK_ERR_FORMAT});
        Read(rows.data(), rows.size());
        break;
      }
      rows.resize(RkGetDIBKSTMCameraImageSize());
      Expect(RkConvertDIBKSTMCameraImage(table.get(), p, static_cast<int32_t>(n), rows.data(), nullptr),
             {RK_OK, RK_ERR_FORMAT, RK_ERR_NULL, RK_ERR_UNSUPPORTED});
      Read(rows.data(), rows.size());
      break;
    }
    case 3: {  // KSTM thumbnail
      Table table(false);
      rows.resize(RkGetDIBKSTMCameraThumbnailSize());
      Expect(RkConvertDIBKSTMCameraThumbnail(table.get(), p, static_cast<int32_t>(n), rows.data()),
             {RK_OK, RK_ERR_FORMAT, RK_ERR_UNSUPPORTED});
      Read(rows.data(), rows.size());
      break;
    }
    default: {  // JPEG to bitmap
      ImageBlkAttrRec measured{};
      if (RkDecodeJFIFHeader(nullptr, p, &n, &measured) >= 0 &&
          static_cast<uint32_t>(measured.width) * measured.height > kMaxPixels) {
        break;
      }
      int16_t result = 1;
      void* block = RkGetImgDIBJFIFImage(p, static_cast<int32_t>(n), &result, nullptr);
      Expect(result, {RK_OK, RK_ERR_FORMAT, RK_ERR_NULL, RK_ERR_UNSUPPORTED, RK_ERR_BAD_MARKER});
      if ((block != nullptr) != (result == RK_OK)) __builtin_trap();
      if (block != nullptr) {
        const auto* packed = static_cast<const uint8_t*>(block);
        uint32_t bytes = 0;
        std::memcpy(&bytes, packed + 20, 4);  // biSizeImage
        Read(packed, 40 + static_cast<size_t>(bytes));
      }
      std::free(block);
      break;
    }
  }
  return 0;
}
