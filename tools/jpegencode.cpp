// rk-jpegencode IN.ppm OUT.jpg [SCALE]: encodes a binary PPM picture as a
// baseline JFIF file through the library's public interface, the way the
// program does (bottom-up BGR pixel block, format 0x3001, default tables,
// quantisation scaled by SCALE, default 1.0).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rastkit.h"

namespace {

bool ReadPpm(const char* path, int& w, int& h, std::vector<unsigned char>& rgb) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255 || w <= 0 || h <= 0 ||
      w > 65535 || h > 65535) {
    return false;
  }
  in.get();
  rgb.resize(static_cast<size_t>(w) * h * 3);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size())));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s IN.ppm OUT.jpg [SCALE]\n", argv[0]);
    return 2;
  }
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
  if (!ReadPpm(argv[1], w, h, rgb)) {
    std::fprintf(stderr, "%s: not a binary PPM picture\n", argv[1]);
    return 1;
  }
  const double scale = argc > 3 ? std::atof(argv[3]) : 1.0;

  // The program's pixel block: bottom-up rows of blue, green, red, padded to 4 bytes.
  const int stride = ((w * 3 + 3) / 4) * 4;
  std::vector<unsigned char> dib(static_cast<size_t>(stride) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      unsigned char* q = &dib[static_cast<size_t>(h - 1 - y) * stride + x * 3];
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
    }
  }

  std::vector<unsigned char> table(RkGetCompressBlkSize());
  auto* mt = reinterpret_cast<ModuleTableRec*>(table.data());
  RkInitModuleTable(mt);
  RkSetQuantizeScaleFactor(mt, &scale, &scale);

  // Half the raw pixel size, as the program allocates, plus room for headers.
  std::vector<unsigned char> out(static_cast<size_t>(stride) * h / 2 + 4096);
  ImageBlkAttrRec image{};
  image.width = static_cast<uint16_t>(w);
  image.height = static_cast<uint16_t>(h);
  image.format = 0x3001;
  image.pixels = dib.data();
  image.rowStride = stride;
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  const int16_t rc = RkExportImageByJFIF(mt, &image, nullptr);
  RkFreeModuleTable(mt);
  if (rc != RK_OK) {
    std::fprintf(stderr, "%s: encoding failed (%d)\n", argv[1], rc);
    return 1;
  }
  std::ofstream file(argv[2], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), image.dataLength);
  if (!file) {
    std::fprintf(stderr, "%s: cannot write\n", argv[2]);
    return 1;
  }
  std::printf("%s -> %s (%u bytes)\n", argv[1], argv[2], image.dataLength);
  return 0;
}
