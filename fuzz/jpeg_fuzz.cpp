// Arbitrary bytes as a JPEG stream: header parsing with and without a
// module table and with the default-tables request, then baseline decoding
// into a bottom-up 24-bit bitmap without and with lookup buffers (the two
// must agree exactly), into planar 16-bit output, and through RkDecodeJFIF
// into 32-bit pixels with a work shop. Pictures above a size cap are not decoded.
// Output buffers have exactly the size the picture needs, and every output
// byte is read afterwards.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "rastkit.h"

namespace {

constexpr size_t kMaxInput = 1 << 20;
// Enough for every MCU arrangement and edge case; larger pictures only
// take longer.
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

struct Output {
  int16_t result;
  std::vector<uint8_t> pixels;
};

Output DecodeBaseline(ModuleTableRec* table, ImageBlkAttrRec image, bool planar) {
  const int n = (image.format >> 12) & 3;
  std::vector<uint8_t> pixels;
  if (planar) {
    image.pixelFormat = RK_PIXEL_PLANAR_YCC16;
    image.rowStride = image.width;
    pixels.resize(2u * image.width * image.height * (n == 3 ? 3 : 1));
  } else {
    image.pixelFormat = 0;
    image.rowStride = ((image.width * 3 + 3) / 4) * 4;
    image.pixelStride = 3;
    image.redOffset = 2, image.greenOffset = 1, image.blueOffset = 0;
    image.bottomUp = 1;
    pixels.resize(static_cast<size_t>(image.rowStride) * image.height);
  }
  image.pixels = pixels.data();
  const int16_t r = RkDecompressImageByJPEG(table, &image, nullptr);
  if (r != RK_OK && r != RK_ERR_FORMAT && r != RK_ERR_UNSUPPORTED) __builtin_trap();
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

  ImageBlkAttrRec measured{};
  const int32_t soi = RkDecodeJFIFHeader(nullptr, p, &n, &measured);
  if (soi >= 0 && (measured.dataOffset > n || measured.dataLength > n - measured.dataOffset)) __builtin_trap();

  for (bool implied : {false, true}) {
    Table t;
    std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize());
    ImageBlkAttrRec image{};
    if (implied) image.format = RK_FORMAT_DEFAULT_HUFFMAN;
    if (RkDecodeJFIFHeader(t.get(), p, &n, &image) < 0) continue;
    if (image.format & RK_FORMAT_PROGRESSIVE) return 0;
    if (static_cast<uint32_t>(image.width) * image.height > kMaxPixels) return 0;
    const Output searched = DecodeBaseline(t.get(), image, false);
    // Lookup buffers are filled when the header installs tables; they must
    // give exactly what searching the code tables gives. A fresh table: what
    // a header leaves in the tables depends on what they held before (a
    // scan before any DHT copies table 0 over table 1).
    Table withLut;
    t.block.swap(withLut.block);
    RkSetHuffmanLUTBuffer(t.get(), lut.data());
    image.format = implied ? RK_FORMAT_DEFAULT_HUFFMAN : 0;
    if (RkDecodeJFIFHeader(t.get(), p, &n, &image) < 0) __builtin_trap();
    const Output looked = DecodeBaseline(t.get(), image, false);
    if (looked.result != searched.result || looked.pixels != searched.pixels) __builtin_trap();
    DecodeBaseline(t.get(), image, true);

    std::vector<uint8_t> shop(64 * 1024, 0xAB);
    RkSetCustomModuleTableWorkshop(t.get(), shop.data());
    std::vector<uint8_t> pixels(4u * image.width * image.height);
    if (!implied) {
      const int16_t r = RkDecodeJFIF(t.get(), p, &n, pixels.data(), 4 * image.width, nullptr);
      if (r != RK_OK && r != RK_ERR_FORMAT) __builtin_trap();
      g_sink = Sum(pixels);
    }
    break;
  }
  return 0;
}
