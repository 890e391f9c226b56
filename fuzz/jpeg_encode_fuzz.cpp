// Fuzz target of the baseline encoder and JFIF writer: the first bytes pick
// the picture's size, format word, restart interval, pixel layout, scale,
// comment and output capacity; the rest are the pixels (repeated to fill).
// Every output byte is read, the result must be one of the codes the
// writer documents, and every vector level this machine executes must give
// the same result and bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rastkit.h"
#include "simd_level.h"

namespace {

// Small pictures keep each run fast; the MCU logic is the same at any size.
constexpr int kMaxSide = 80;

struct Reader {
  const uint8_t* p;
  size_t n;
  size_t i = 0;
  uint8_t U8() { return i < n ? p[i++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() << 8 | U8()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const int width = in.U8() % (kMaxSide + 1);   // 0 is a refusal case
  const int height = in.U8() % (kMaxSide + 1);
  const uint16_t format = in.U16();
  const uint16_t restart = in.U16();
  const uint8_t flags = in.U8();  // bit 0 planar, 1 bottom-up, 2 Exif, 3 comment, 4 work shop
  const uint8_t scaleByte = in.U8();
  const uint16_t capacityWord = in.U16();
  const uint8_t commentLength = in.U8();
  const uint8_t stride = static_cast<uint8_t>(3 + in.U8() % 3);  // 3, 4 or 5 bytes per pixel

  const bool planar = flags & 1;
  // Planar input is exactly its planes: one for grey, three for colour, so
  // a read past them shows.
  const size_t planes = ((format >> 12) & 3) == 1 ? 1 : 3;
  const size_t pixelBytes = planar ? 2 * planes * width * height : static_cast<size_t>(stride) * width * height;
  std::vector<uint8_t> pixels(pixelBytes + 1);
  const size_t rest = size - in.i;
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = rest ? data[in.i + k % rest] : static_cast<uint8_t>(k);

  const uint32_t capacity = capacityWord % 8192;
  // One encode on a fresh module table; the result, then the bytes written.
  auto encode = [&](std::vector<uint8_t>& out) {
    std::vector<uint8_t> table(RkGetCompressBlkSize());
    auto* t = reinterpret_cast<ModuleTableRec*>(table.data());
    RkInitModuleTable(t);
    const double scale = (scaleByte + 1) / 64.0;
    RkSetQuantizeScaleFactor(t, &scale, &scale);
    std::vector<uint8_t> comment(commentLength, 'c');
    if (flags & 8) RkSetGlobalComment(t, comment.data(), commentLength);
    // The largest work area: MCU 32x32 planes and 10 blocks, 2 x (3 x 1024 + 640) bytes.
    std::vector<uint8_t> shop(2 * (3 * 1024 + 640));
    if (flags & 16) RkSetCustomModuleTableWorkshop(t, shop.data());

    out.assign(capacity, 0);
    ImageBlkAttrRec r{};
    r.width = static_cast<uint16_t>(width);
    r.height = static_cast<uint16_t>(height);
    r.format = format;
    r.restartInterval = restart;
    r.pixels = pixels.data();
    r.pixelFormat = planar ? RK_PIXEL_PLANAR_YCC16 : 0;
    r.rowStride = planar ? width : stride * width;
    r.redOffset = 0;
    r.greenOffset = 1;
    r.blueOffset = 2;
    r.pixelStride = stride;
    r.bottomUp = (flags & 2) ? 1 : 0;
    r.methodParam = (flags & 4) ? RK_METHOD_PARAM_EXIF : 0;
    r.data = capacity ? out.data() : pixels.data() + pixelBytes;  // never null: a zero capacity is tested too
    r.dataLength = capacity;
    const int16_t result = (flags & 32) ? RkCompressImageByJPEG(t, &r, nullptr) : RkExportImageByJFIF(t, &r, nullptr);
    if (result != RK_OK && result != RK_ERR_UNSUPPORTED && result != RK_ERR_BUFFER) std::abort();
    RkFreeModuleTable(t);
    if (result != RK_OK) return result;
    if (r.dataLength > capacity) std::abort();
    unsigned sum = 0;
    for (uint32_t k = 0; k < r.dataLength; ++k) sum += out[k];
    if (sum == 0xFFFFFFFFu) std::abort();  // keeps the reads
    out.resize(r.dataLength);  // the stream (or scan) starts at the buffer
    return result;
  };
  // The first level (plain) sets the expected result and bytes.
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  std::vector<uint8_t> first, next;
  int16_t firstResult = 0;
  for (size_t l = 0; l < levels.size(); ++l) {
    const rk::ScopedSimdLevel scoped(levels[l]);
    if (l == 0) {
      firstResult = encode(first);
    } else if (encode(next) != firstResult || (firstResult == RK_OK && next != first)) {
      std::abort();
    }
  }
  return 0;
}
