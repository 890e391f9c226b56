// Arbitrary bytes as a progressive (or multi-scan sequential) JPEG stream:
// the header, then the progressive decoder into a bottom-up 24-bit bitmap
// with its fast readers, again with the plain reference readers, a work
// shop of exactly the queried size and lookup buffers (the two must agree
// exactly), into planar 16-bit output, and through RkDecodeJFIF into 32-bit
// pixels. Restart intervals come from the stream (the seeds have them).
// Pictures above a size cap are not decoded. Output buffers have exactly
// the size the picture needs, and every output byte is read afterwards.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "jpeg/progressive_decode.h"
#include "rastkit.h"

namespace {

constexpr size_t kMaxInput = 1 << 20;
// Enough for every MCU arrangement, restart interval and edge case.
constexpr uint32_t kMaxPixels = 1 << 16;

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

uint32_t Sum(const std::vector<uint8_t>& v) {
  uint32_t s = 0;
  for (uint8_t b : v) s = s * 31 + b;
  return s;
}

volatile uint32_t g_sink;

bool Documented(int16_t r) {
  return r == RK_OK || r == RK_ERR_FORMAT || r == RK_ERR_UNSUPPORTED || r == RK_ERR_BAD_MARKER;
}

struct Output {
  int16_t result;
  std::vector<uint8_t> pixels;
};

// A fresh table for each decode: a scan whose destination no DHT defined
// uses what the table holds, which an earlier decode changes.
Output Decode(const uint8_t* p, uint32_t n, bool planar, rk::ScanReaders readers, bool shop) {
  Table t;
  std::vector<uint8_t> lut;
  if (shop) {
    lut.resize(RkGetHuffmanLUTBufSize());
    RkSetHuffmanLUTBuffer(t.get(), lut.data());
  }
  ImageBlkAttrRec image{};
  if (RkDecodeJFIFHeader(t.get(), p, &n, &image) < 0) __builtin_trap();
  const int components = (image.format >> 12) & 3;
  std::vector<uint8_t> pixels;
  if (planar) {
    image.pixelFormat = RK_PIXEL_PLANAR_YCC16;
    image.rowStride = image.width;
    pixels.resize(2u * image.width * image.height * (components == 3 ? 3 : 1));
  } else {
    image.rowStride = ((image.width * 3 + 3) / 4) * 4;
    image.pixelStride = 3;
    image.redOffset = 2, image.greenOffset = 1, image.blueOffset = 0;
    image.bottomUp = 1;
    pixels.resize(static_cast<size_t>(image.rowStride) * image.height);
  }
  image.pixels = pixels.data();
  std::vector<uint8_t> workShop;
  if (shop) {
    workShop.resize(RkGetProgJPEGDecodeWorkSpaceSize(&image));
    RkSetCustomModuleTableWorkshop(t.get(), workShop.data());
  }
  const int16_t r = rk::DecodeProgressive(t.get(), &image, nullptr, readers);
  if (!Documented(r)) __builtin_trap();
  g_sink = Sum(pixels);
  return {r, std::move(pixels)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  std::vector<uint8_t> stream(data, data + size);  // exactly size bytes
  const uint8_t empty = 0;
  const uint8_t* p = size > 0 ? stream.data() : &empty;
  const auto n = static_cast<uint32_t>(size);

  ImageBlkAttrRec image{};
  if (RkDecodeJFIFHeader(nullptr, p, &n, &image) < 0) return 0;
  if (!(image.format & RK_FORMAT_PROGRESSIVE)) return 0;  // the baseline decoder's target
  if (image.dataOffset > n || image.dataLength > n - image.dataOffset) __builtin_trap();
  if (static_cast<uint32_t>(image.width) * image.height > kMaxPixels) return 0;

  const Output fast = Decode(p, n, false, rk::ScanReaders::kFast, false);
  const Output plain = Decode(p, n, false, rk::ScanReaders::kReference, true);
  if (fast.result != plain.result || fast.pixels != plain.pixels) __builtin_trap();
  Decode(p, n, true, rk::ScanReaders::kFast, false);

  Table t;
  std::vector<uint8_t> pixels(4u * image.width * image.height);
  const int16_t r = RkDecodeJFIF(t.get(), p, &n, pixels.data(), 4 * image.width, nullptr);
  if (r != fast.result) __builtin_trap();
  g_sink = Sum(pixels);
  return 0;
}
