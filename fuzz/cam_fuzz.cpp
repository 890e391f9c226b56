// Arbitrary bytes as a CAM file: the sized type check, thumbnail access and
// header decoder, then decompression into a buffer of exactly the picture's
// size. The output size is fixed by the format, so the harness needs no
// dimension cap; the last input byte picks the output size (all three are
// reached across inputs), a work shop or none, and whether a progress
// callback stops the decode after some strip. Every output byte is read.
#include <cstdint>
#include <cstring>
#include <vector>

#include "rastkit.h"

namespace {

// Larger inputs add nothing: the picture has a fixed size and its three
// streams are at most 3 x 65535 bytes.
constexpr size_t kMaxInput = 1 << 20;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  // A copy of exactly size bytes, so that any read past the end is caught.
  std::vector<uint8_t> file(data, data + size);
  const uint8_t empty = 0;
  const uint8_t* p = size > 0 ? file.data() : &empty;
  const auto n = static_cast<uint32_t>(size);

  uint32_t length = 0, offset = 0;
  const int16_t type = RkCheckCAMFileTypeEx(p, n, &length, &offset);
  if ((type == 3 || type == 4) && (offset > n || length > n - offset)) __builtin_trap();

  uint32_t thumbLength = 0, thumbOffset = 0;
  if (RkGetCAMThumbnailInfoEx(p, n, &thumbLength, &thumbOffset) == 0) {
    std::vector<uint8_t> thumb(thumbLength);
    if (RkGetCAMThumbnailEx(p, n, thumb.data(), thumbLength) != 0) __builtin_trap();
    g_sink = Sum(thumb);
  }

  Table t;
  RkInitLHuffmanTable(t.get());
  RkInitCHuffmanTable(t.get());
  ImageBlkAttrRec header{};
  uint32_t end = 0;
  if (RkDecodeCAMHeaderEx(t.get(), p, n, &end, &header) != 0) return 0;
  if (end > n) __builtin_trap();

  const uint8_t choice = size > 0 ? file[size - 1] : 0;
  const bool shop = (choice & 1) != 0;
  std::vector<uint8_t> workShop(shop ? RkGetCAMDecodeWorkSpaceSize() : 0);
  if (shop) RkSetCustomModuleTableWorkshop(t.get(), workShop.data());

  static const int kSizes[3][2] = {{480, 360}, {480, 240}, {320, 240}};
  const int* s = kSizes[(choice >> 1) % 3];
  // Bit 3: a callback that stops at the call numbered by the top 4 bits.
  struct Stop {
    int calls = 0;
    int at = 0;
  } stop{0, choice >> 4};
  UserCallBackRec callback{[](int32_t, int32_t, void*, uintptr_t user) -> int16_t {
                             auto* st = reinterpret_cast<Stop*>(user);
                             return st->calls++ == st->at ? int16_t{RK_STOPPED} : int16_t{0};
                           },
                           reinterpret_cast<uintptr_t>(&stop)};
  ImageBlkAttrRec image = header;
  const int32_t stride = s[0] * 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * s[1]);
  image.width = static_cast<uint16_t>(s[0]);
  image.height = static_cast<uint16_t>(s[1]);
  image.pixels = pixels.data();
  image.rowStride = stride;
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
  const int16_t rc = RkDecompressImageByCAM(t.get(), &image, (choice & 8) ? &callback : nullptr);
  if (rc != 0 && rc != RK_STOPPED) __builtin_trap();
  g_sink = Sum(pixels);
  RkSetCustomModuleTableWorkshop(t.get(), nullptr);
  return 0;
}
