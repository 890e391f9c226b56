// Fuzz target of the progressive writer: the first bytes pick the
// picture's size, format word, pixel layout, scale, comment, work shop and
// output capacity; the rest are the pixels (repeated to fill). The result
// must be one the writer documents, nothing may be stored past the capacity
// (the output buffer has exactly that size), and every stream it writes
// must decode again with the progressive decoder. The plain kernels must
// write the same bytes as the fast ones at the vector level that bits 5-6
// of the flags pick among those this machine executes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "jpeg/progressive_encode.h"
#include "rastkit.h"
#include "simd_level.h"

namespace {

constexpr int kMaxSide = 72;
// The formats the program and the decoders meet, and any word at all.
constexpr uint16_t kFormats[] = {0x3001, 0x3005, 0x3000, 0x1000, 0x3004, 0x3011, 0x3055, 0x1005};

struct Reader {
  const uint8_t* p;
  size_t n;
  size_t i = 0;
  uint8_t U8() { return i < n ? p[i++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() << 8 | U8()); }
};

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

volatile uint32_t g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const int width = in.U8() % (kMaxSide + 1);  // 0 is a refusal case
  const int height = in.U8() % (kMaxSide + 1);
  const uint8_t formatByte = in.U8();
  const uint16_t rawFormat = in.U16();
  const uint8_t flags = in.U8();  // bit 0 planar, 1 bottom-up, 2 comment, 3 work shop, 4 small capacity, 5-6 level
  const uint8_t scaleByte = in.U8();
  const uint16_t capacityWord = in.U16();
  const uint8_t stride = static_cast<uint8_t>(3 + in.U8() % 3);  // 3, 4 or 5 bytes per pixel
  const uint16_t format = formatByte & 0x80 ? rawFormat : kFormats[formatByte % std::size(kFormats)];

  const bool planar = flags & 1;
  const size_t pixelBytes = planar ? 6u * width * height : static_cast<size_t>(stride) * width * height;
  std::vector<uint8_t> pixels(pixelBytes + 1);
  const size_t rest = size - in.i;
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = rest ? data[in.i + k % rest] : static_cast<uint8_t>(k);

  Table t;
  const double scale = (scaleByte + 1) / 64.0;
  RkSetQuantizeScaleFactor(t.get(), &scale, &scale);
  std::vector<uint8_t> comment(scaleByte, 'c');
  if (flags & 4) RkSetGlobalComment(t.get(), comment.data(), scaleByte);

  ImageBlkAttrRec r{};
  r.width = static_cast<uint16_t>(width);
  r.height = static_cast<uint16_t>(height);
  r.format = format;
  r.pixels = pixels.data();
  r.pixelFormat = planar ? RK_PIXEL_PLANAR_YCC16 : 0;
  r.rowStride = planar ? width : stride * width;
  r.redOffset = 0;
  r.greenOffset = 1;
  r.blueOffset = 2;
  r.pixelStride = stride;
  r.bottomUp = (flags & 2) ? 1 : 0;
  std::vector<uint8_t> shop;
  if (flags & 8) {
    shop.resize(RkGetProgJPEGEncodeWorkSpaceSize(&r));
    RkSetCustomModuleTableWorkshop(t.get(), shop.data());
  }
  const uint32_t capacity = (flags & 16) ? capacityWord % 2048 : 4096 + 8u * width * height;
  std::vector<uint8_t> out(capacity);
  r.data = capacity ? out.data() : pixels.data() + pixelBytes;  // never null: a zero capacity is tested too
  r.dataLength = capacity;
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  int16_t result = 0;
  {
    const rk::ScopedSimdLevel level(levels[static_cast<size_t>(flags >> 5 & 3) % levels.size()]);
    result = RkExportImageByProgJFIF(t.get(), &r, nullptr);
  }
  if (result != RK_OK && result != RK_ERR_UNSUPPORTED && result != RK_ERR_BUFFER &&
      result != RK_ERR_CODE_TOO_LONG) {
    std::abort();
  }
  if (result != RK_OK) return 0;
  if (r.dataLength > capacity) std::abort();

  // The plain kernels write the same stream.
  Table p;
  RkSetQuantizeScaleFactor(p.get(), &scale, &scale);
  if (flags & 4) RkSetGlobalComment(p.get(), comment.data(), scaleByte);
  std::vector<uint8_t> plain(r.dataLength);
  ImageBlkAttrRec q = r;
  q.data = plain.data();
  q.dataLength = r.dataLength;
  if (rk::WriteProgressiveJfif(p.get(), &q, nullptr, rk::EncodeKernels::kReference) != RK_OK) std::abort();
  if (q.dataLength != r.dataLength || !std::equal(plain.begin(), plain.end(), out.begin())) std::abort();

  // The stream decodes again.
  Table d;
  ImageBlkAttrRec image{};
  const uint32_t length = r.dataLength;
  if (RkDecodeJFIFHeader(d.get(), out.data(), &length, &image) != 0) std::abort();
  if (image.width != width || image.height != height || !(image.format & RK_FORMAT_PROGRESSIVE)) std::abort();
  std::vector<uint8_t> decoded(3u * width * height);
  image.pixels = decoded.data();
  image.rowStride = 3 * width;
  image.pixelStride = 3;
  image.redOffset = 0, image.greenOffset = 1, image.blueOffset = 2;
  if (RkDecompressImageByProgJPEG(d.get(), &image, nullptr) != RK_OK) std::abort();
  uint32_t sum = 0;
  for (uint8_t b : decoded) sum = sum * 31 + b;
  g_sink = sum;
  return 0;
}
