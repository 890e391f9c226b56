// Arbitrary bytes as a TIFF file: the header decoder under four settings of
// format (the program's first directory, the whole chain, two directories,
// every field exempted with a preset 5 x 3 picture), then decoding into
// the program's bottom-up BGR bitmap and a top-down 32-bit buffer of
// exactly the picture's size (the two must agree), and a round trip of the
// picture through the writer and reader (it must come back exactly).
// Pictures above a size cap are not decoded. Every output byte is read.
#include <cstdint>
#include <cstring>
#include <vector>

#include "rastkit.h"

namespace {

constexpr size_t kMaxInput = 1 << 20;
// Strip walks, subsampling units and every layout fit in small pictures.
constexpr uint32_t kMaxPixels = 1 << 16;

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

volatile uint32_t g_sink;

uint32_t Sum(const std::vector<uint8_t>& v) {
  uint32_t s = 0;
  for (uint8_t b : v) s = s * 31 + b;
  return s;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Decodes into a bitmap (bottom-up, blue-green-red, rows padded to 4
// bytes) or a top-down 32-bit buffer; returns the result and the picture
// as top-down RGB.
int16_t DecodeTo(ModuleTableRec* t, ImageBlkAttrRec image, bool bitmap, std::vector<uint8_t>& rgb) {
  const size_t w = image.width, h = image.height;
  const size_t stride = bitmap ? (w * 3 + 3) / 4 * 4 : w * 4;
  std::vector<uint8_t> pixels(stride * h, 0x5A);
  image.pixels = pixels.data();
  image.rowStride = static_cast<int32_t>(stride);
  image.pixelStride = bitmap ? 3 : 4;
  image.redOffset = bitmap ? 2 : 1;
  image.greenOffset = bitmap ? 1 : 2;
  image.blueOffset = bitmap ? 0 : 3;
  image.bottomUp = bitmap ? 1 : 0;
  const int16_t rc = RkDecodeImageByTIFF(t, &image, nullptr);
  Check(rc == RK_OK || rc == RK_ERR_FORMAT);
  g_sink = Sum(pixels);
  rgb.assign(w * h * 3, 0);
  for (size_t y = 0; y < h; ++y) {
    const uint8_t* row = pixels.data() + (bitmap ? h - 1 - y : y) * stride;
    for (size_t x = 0; x < w; ++x) {
      const uint8_t* px = row + x * image.pixelStride;
      uint8_t* out = &rgb[(y * w + x) * 3];
      out[0] = px[image.redOffset], out[1] = px[image.greenOffset], out[2] = px[image.blueOffset];
    }
  }
  return rc;
}

void RoundTrip(ModuleTableRec* t, const ImageBlkAttrRec& decoded, const std::vector<uint8_t>& rgb) {
  ImageBlkAttrRec out{};
  out.width = decoded.width, out.height = decoded.height;
  out.xDpi = decoded.xDpi, out.yDpi = decoded.yDpi;
  out.pixels = const_cast<uint8_t*>(rgb.data());
  out.rowStride = decoded.width * 3;
  out.pixelStride = 3, out.redOffset = 0, out.greenOffset = 1, out.blueOffset = 2;
  const int32_t size = RkGetExportTIFFImageSize(t, &out);
  Check(size > 0);
  std::vector<uint8_t> file(static_cast<size_t>(size));
  out.data = file.data();
  out.dataLength = static_cast<uint32_t>(size);
  Check(RkExportImageByTIFF(t, &out, nullptr) == RK_OK && out.dataLength == file.size());
  ImageBlkAttrRec back{};
  back.format = 1;
  const uint32_t n = out.dataLength;
  Check(RkDecodeTIFFHeader(t, file.data(), &n, &back) > 0 && back.componentIds == 0x1231);
  std::vector<uint8_t> again;
  Check(DecodeTo(t, back, true, again) == RK_OK && again == rgb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  std::vector<uint8_t> file(data, data + size);  // exactly size bytes
  const uint8_t empty = 0;
  const uint8_t* p = size > 0 ? file.data() : &empty;
  const auto n = static_cast<uint32_t>(size);
  Table t;

  const uint16_t formats[] = {1, 0, 2, 0x3F00 | 1};
  for (uint16_t format : formats) {
    ImageBlkAttrRec image{};
    image.format = format;
    image.width = 5, image.height = 3, image.samplesPerPixel = 3;
    const int32_t rc = RkDecodeTIFFHeader(t.get(), p, &n, &image);
    if (rc == RK_TIFF_HOLDS_JPEG) {
      Check(image.dataOffset < n && image.dataLength <= n - image.dataOffset);
      continue;
    }
    Check(rc == RK_ERR_FORMAT || rc == RK_ERR_UNSUPPORTED || rc == RK_ERR_BUFFER || rc >= 0);
    if (rc <= 0 && !(rc == 0 && (format & RK_TIFF_NEED_NO_STRIP_OFFSETS))) continue;
    Check(image.data == p && uint64_t{image.dataOffset} + image.dataLength == (image.dataOffset <= n ? n : image.dataOffset));
    if (uint32_t{image.width} * image.height > kMaxPixels) continue;
    std::vector<uint8_t> bitmap, buffer32;
    const int16_t a = DecodeTo(t.get(), image, true, bitmap);
    const int16_t b = DecodeTo(t.get(), image, false, buffer32);
    Check(a == b && bitmap == buffer32);  // unwritten rows keep the same fill in both
    if (a == RK_OK && image.width > 0 && image.height > 0) RoundTrip(t.get(), image, bitmap);
  }
  return 0;
}
