// cam_decode_bench [FILE.cam ...]: decodes each CAM picture (default: the
// bundled samples) repeatedly at the three output sizes into the program's
// 24-bit bottom-up pixel block, and prints time per picture, pictures per
// second and megapixels of output per second. Times are the thread's CPU
// time (best of 25 runs), so that other processes sharing the machine
// inflate them less than wall-clock time would.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rastkit.h"

namespace {

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

void Bench(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  if (RkCheckCAMFileTypeEx(file.data(), static_cast<uint32_t>(file.size()), nullptr, nullptr) != 3) return;
  Table t;
  RkInitLHuffmanTable(t.get());
  RkInitCHuffmanTable(t.get());
  ImageBlkAttrRec header{};
  if (RkDecodeCAMHeaderEx(t.get(), file.data(), static_cast<uint32_t>(file.size()), nullptr, &header) != 0) return;
  std::vector<uint8_t> shop(RkGetCAMDecodeWorkSpaceSize());
  for (bool withShop : {false, true}) {
    RkSetCustomModuleTableWorkshop(t.get(), withShop ? shop.data() : nullptr);
    for (auto [w, h] : {std::pair{480, 360}, {480, 240}, {320, 240}}) {
      const int32_t stride = (w * 3 + 3) & ~3;
      std::vector<uint8_t> pixels(static_cast<size_t>(stride) * h);
      ImageBlkAttrRec image = header;
      image.width = static_cast<uint16_t>(w);
      image.height = static_cast<uint16_t>(h);
      image.pixels = pixels.data();
      image.rowStride = stride;
      image.blueOffset = 0;
      image.greenOffset = 1;
      image.redOffset = 2;
      image.pixelStride = 3;
      image.bottomUp = 1;
      for (int i = 0; i < 20; ++i) (void)RkDecompressImageByCAM(t.get(), &image, nullptr);  // warm up
      // Best of 25 runs of 40 decodes: the least disturbed by other work.
      double best = 1e9;
      for (int run = 0; run < 25; ++run) {
        const double t0 = CpuSeconds();
        for (int i = 0; i < 40; ++i) (void)RkDecompressImageByCAM(t.get(), &image, nullptr);
        const double s = (CpuSeconds() - t0) / 40;
        best = std::min(best, s);
      }
      std::printf("%-28s %dx%d %-9s %7.3f ms/picture %8.0f pictures/s %7.1f MP/s\n",
                  std::filesystem::path(path).filename().c_str(), w, h, withShop ? "work shop" : "allocated",
                  best * 1e3, 1 / best, w * h / best / 1e6);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) files.push_back(argv[i]);
  if (files.empty()) {
    for (const auto& e : std::filesystem::directory_iterator(std::string(RK_SOURCE_DIR) + "/samples"))
      if (e.path().extension() == ".cam") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
  }
  for (const auto& f : files) Bench(f);
  return 0;
}
