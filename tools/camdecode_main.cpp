// rk-camdecode FILE.cam OUT.bmp [480x360|480x240|320x240]: decodes a CAM
// picture through the library's sized calls, as the program will, into a
// 24-bit bottom-up pixel block and writes it as a BMP file (default size
// 480x360). A file whose picture is a JPEG section is decoded by the JPEG
// decoders at the stream's own size.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "picture.h"
#include "rastkit.h"

namespace {

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "rk-camdecode: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: rk-camdecode FILE.cam OUT.bmp [480x360|480x240|320x240]\n");
    return 2;
  }
  int width = 480, height = 360;
  if (argc == 4 && std::sscanf(argv[3], "%dx%d", &width, &height) != 2) return Fail("size must be WxH");

  std::vector<uint8_t> file;
  if (!rktools::ReadFile(argv[1], file)) return Fail(std::string("cannot read ") + argv[1]);
  if (file.empty()) return Fail("empty file");
  const auto size = static_cast<uint32_t>(file.size());
  uint32_t length = 0, offset = 0;
  const int16_t type = RkCheckCAMFileTypeEx(file.data(), size, &length, &offset);
  if (type == 4) {
    Table t;
    ImageBlkAttrRec image{};
    const int32_t soi = RkDecodeJFIFHeader(t.get(), file.data() + offset, &length, &image);
    if (soi < 0) return Fail("JPEG section: header error " + std::to_string(soi));
    const int32_t stride = (image.width * 3 + 3) & ~3;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * image.height);
    image.pixels = pixels.data();
    image.rowStride = stride;
    image.blueOffset = 0;
    image.greenOffset = 1;
    image.redOffset = 2;
    image.pixelStride = 3;
    image.bottomUp = 1;
    // Cameras store baseline streams; the progressive decoder is the
    // program's business.
    if (image.format & RK_FORMAT_PROGRESSIVE) return Fail("JPEG section: progressive stream");
    const int16_t rc = RkDecompressImageByJPEG(t.get(), &image, nullptr);
    if (rc != 0) return Fail("JPEG section: decode error " + std::to_string(rc));
    if (!rktools::WriteFile(argv[2], rktools::BmpFile(image.width, image.height, pixels.data(), stride))) {
      return Fail(std::string("cannot write ") + argv[2]);
    }
    return 0;
  }
  if (type != 3) return Fail(std::string(argv[1]) + " is not a CAM picture (type " + std::to_string(type) + ")");

  Table t;
  RkInitLHuffmanTable(t.get());
  RkInitCHuffmanTable(t.get());
  ImageBlkAttrRec image{};
  const int16_t hrc = RkDecodeCAMHeaderEx(t.get(), file.data(), size, nullptr, &image);
  if (hrc != 0) return Fail("header: error " + std::to_string(hrc));
  const int32_t stride = (width * 3 + 3) & ~3;
  std::vector<uint8_t> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height > 0 ? height : 0));
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  image.pixels = pixels.data();
  image.rowStride = stride;
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
  const int16_t rc = RkDecompressImageByCAM(t.get(), &image, nullptr);
  if (rc != 0) return Fail("decode: error " + std::to_string(rc));
  if (t.get()->decodeError != 0) {
    std::fprintf(stderr, "rk-camdecode: warning: damaged stream (%d); the rest of it is grey\n", t.get()->decodeError);
  }
  if (!rktools::WriteFile(argv[2], rktools::BmpFile(width, height, pixels.data(), stride))) {
    return Fail(std::string("cannot write ") + argv[2]);
  }
  return 0;
}
