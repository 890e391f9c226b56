// Baseline encoding speed: rastkit's JFIF writer against libjpeg-turbo's
// encoder on a 12-megapixel photo-like picture, 4:2:2 (format 0x3001), the
// same quantisation tables, standard Huffman tables, accurate integer DCT.
//
//   rk_encode_bench [width height]
//
// libjpeg-turbo reads JSIMD_FORCENONE once per process, so its run without
// SIMD happens in a child process (this program with --peer and the
// variable set) whose timings are read back from its output.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

#include "jpeg/baseline_encode.h"
#include "rastkit.h"

namespace {

constexpr double kScales[] = {0.25, 1.0};
constexpr int kRepeats = 3;

// The program's pixel block: bottom-up rows of blue, green, red, padded to
// 4 bytes. Smooth gradients, soft discs and mild grain, like a photo.
struct Picture {
  int width, height;
  int stride;
  std::vector<uint8_t> bytes;
};

Picture MakePicture(int w, int h) {
  Picture p{w, h, (w * 3 + 3) & ~3, {}};
  p.bytes.assign(static_cast<size_t>(p.stride) * h, 0);
  uint32_t seed = 12345;
  auto rnd = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>(seed >> 24) - 128;
  };
  for (int y = 0; y < h; ++y) {
    uint8_t* row = p.bytes.data() + static_cast<size_t>(h - 1 - y) * p.stride;
    for (int x = 0; x < w; ++x) {
      const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
      double r = 90 + 120 * fx + 30 * std::sin(fy * 9.0);
      double g = 70 + 100 * fy + 40 * std::sin((fx + fy) * 7.0);
      double b = 150 - 80 * fx * fy + 35 * std::cos(fx * 13.0);
      const double d = std::hypot(fx - 0.6, fy - 0.4);
      if (d < 0.2) {
        r = r * 0.4 + 150;
        g *= 0.7;
      }
      const int grain = rnd() / 24;
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(r + grain, 0.0, 255.0));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(g + grain, 0.0, 255.0));
      row[3 * x + 0] = static_cast<uint8_t>(std::clamp(b + grain, 0.0, 255.0));
    }
  }
  return p;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct OursResult {
  double seconds;
  size_t bytes;
  std::vector<uint8_t> stream;
};

OursResult EncodeOurs(const Picture& pic, double scale, rk::EncodeKernels kernels, int repeats) {
  std::vector<uint8_t> table(RkGetCompressBlkSize());
  auto* t = reinterpret_cast<ModuleTableRec*>(table.data());
  RkInitModuleTable(t);
  RkSetQuantizeScaleFactor(t, &scale, &scale);
  std::vector<uint8_t> out(pic.bytes.size());
  OursResult best{1e9, 0, {}};
  for (int i = 0; i < repeats; ++i) {
    ImageBlkAttrRec r{};
    r.width = static_cast<uint16_t>(pic.width);
    r.height = static_cast<uint16_t>(pic.height);
    r.pixels = const_cast<uint8_t*>(pic.bytes.data());
    r.rowStride = pic.stride;
    r.blueOffset = 0;
    r.greenOffset = 1;
    r.redOffset = 2;
    r.pixelStride = 3;
    r.bottomUp = 1;
    r.format = 0x3001;
    r.data = out.data();
    r.dataLength = static_cast<uint32_t>(out.size());
    const auto a = std::chrono::steady_clock::now();
    int16_t result;
    if (kernels == rk::EncodeKernels::kFast) {
      result = RkExportImageByJFIF(t, &r, nullptr);
    } else {
      // The plain pipeline codes the scan only; the headers cost nothing.
      RkInitLHuffmanTable(t);
      RkInitCHuffmanTable(t);
      result = rk::EncodeBaselineScan(t, &r, nullptr, kernels);
    }
    const auto b = std::chrono::steady_clock::now();
    if (result != RK_OK) {
      std::fprintf(stderr, "encode failed: %d\n", result);
      std::exit(1);
    }
    if (Seconds(a, b) < best.seconds) best.seconds = Seconds(a, b);
    best.bytes = r.dataLength;
    if (i == repeats - 1) {
      // The writer leaves data at the first entropy-coded byte; the stream
      // itself starts at the buffer.
      const uint8_t* start = kernels == rk::EncodeKernels::kFast ? out.data() : r.data;
      best.stream.assign(start, start + r.dataLength);
    }
  }
  RkFreeModuleTable(t);
  return best;
}

// libjpeg-turbo with the module table's tables for this scale.
double EncodePeer(const Picture& pic, double scale, size_t* size) {
  std::vector<uint8_t> table(RkGetCompressBlkSize());
  auto* t = reinterpret_cast<ModuleTableRec*>(table.data());
  RkInitModuleTable(t);
  RkSetQuantizeScaleFactor(t, &scale, &scale);
  unsigned int lum[64], chroma[64];
  for (int i = 0; i < 64; ++i) {
    lum[i] = t->quantTable[0][i];
    chroma[i] = t->quantTable[1][i];
  }
  RkFreeModuleTable(t);

  std::vector<JSAMPROW> rows(static_cast<size_t>(pic.height));
  for (int y = 0; y < pic.height; ++y) {
    rows[static_cast<size_t>(y)] =
        const_cast<JSAMPROW>(pic.bytes.data() + static_cast<size_t>(pic.height - 1 - y) * pic.stride);
  }
  double best = 1e9;
  for (int i = 0; i < kRepeats; ++i) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = static_cast<JDIMENSION>(pic.width);
    cinfo.image_height = static_cast<JDIMENSION>(pic.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;  // reads the same bottom-up BGR rows
    jpeg_set_defaults(&cinfo);
    jpeg_add_quant_table(&cinfo, 0, lum, 100, TRUE);
    jpeg_add_quant_table(&cinfo, 1, chroma, 100, TRUE);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 1;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = FALSE;
    const auto a = std::chrono::steady_clock::now();
    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_scanlines(&cinfo, rows.data(), static_cast<JDIMENSION>(pic.height));
    jpeg_finish_compress(&cinfo);
    const auto b = std::chrono::steady_clock::now();
    jpeg_destroy_compress(&cinfo);
    *size = memSize;
    std::free(mem);
    best = std::min(best, Seconds(a, b));
  }
  return best;
}

// Child mode: prints "scale seconds bytes" per scale.
int PeerOnly(const Picture& pic) {
  for (double s : kScales) {
    size_t size = 0;
    const double sec = EncodePeer(pic, s, &size);
    std::printf("%g %.6f %zu\n", s, sec, size);
  }
  return 0;
}

bool RunChildWithoutSimd(int w, int h, double seconds[2], size_t sizes[2]) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return false;
  self[n] = 0;
  const std::string cmd = "JSIMD_FORCENONE=1 '" + std::string(self) + "' --peer " + std::to_string(w) + " " +
                          std::to_string(h);
  FILE* f = popen(cmd.c_str(), "r");
  if (f == nullptr) return false;
  int got = 0;
  double s, sec;
  size_t size;
  while (got < 2 && std::fscanf(f, "%lf %lf %zu", &s, &sec, &size) == 3) {
    seconds[got] = sec;
    sizes[got] = size;
    ++got;
  }
  return pclose(f) == 0 && got == 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool peerOnly = false;
  int argi = 1;
  if (argc > 1 && std::strcmp(argv[1], "--peer") == 0) {
    peerOnly = true;
    argi = 2;
  }
  const int w = argc > argi + 1 ? std::atoi(argv[argi]) : 4000;
  const int h = argc > argi + 1 ? std::atoi(argv[argi + 1]) : 3000;
  if (w < 1 || h < 1 || w > 65535 || h > 65535) {
    std::fprintf(stderr, "usage: %s [width height]\n", argv[0]);
    return 2;
  }
  const Picture pic = MakePicture(w, h);
  if (peerOnly) return PeerOnly(pic);

  const double mp = static_cast<double>(w) * h / 1e6;
  double noSimdSec[2] = {0, 0};
  size_t noSimdSize[2] = {0, 0};
  const bool child = RunChildWithoutSimd(w, h, noSimdSec, noSimdSize);

  std::printf("picture %dx%d (%.1f MP), format 0x3001 (4:2:2), best of %d runs\n", w, h, mp, kRepeats);
  std::printf("%-6s %-28s %10s %10s\n", "scale", "encoder", "MP/s", "bytes");
  for (int i = 0; i < 2; ++i) {
    const double s = kScales[i];
    const OursResult ours = EncodeOurs(pic, s, rk::EncodeKernels::kFast, kRepeats);
    const OursResult plain = EncodeOurs(pic, s, rk::EncodeKernels::kReference, 1);
    // The plain pipeline writes the scan only: compare with our stream's data.
    const bool same = ours.stream.size() >= plain.stream.size() + 2 &&
                      std::equal(plain.stream.begin(), plain.stream.end(),
                                 ours.stream.end() - 2 - static_cast<long>(plain.stream.size()));
    size_t simdSize = 0;
    const double simdSec = EncodePeer(pic, s, &simdSize);
    std::printf("%-6g %-28s %10.1f %10zu\n", s, "rastkit", mp / ours.seconds, ours.bytes);
    std::printf("%-6g %-28s %10.1f %10zu  (scan bytes %s)\n", s, "rastkit plain kernels", mp / plain.seconds,
                plain.bytes, same ? "identical" : "DIFFER");
    std::printf("%-6g %-28s %10.1f %10zu\n", s, "libjpeg-turbo SIMD", mp / simdSec, simdSize);
    if (child) {
      std::printf("%-6g %-28s %10.1f %10zu\n", s, "libjpeg-turbo no SIMD", mp / noSimdSec[i], noSimdSize[i]);
    }
    std::printf("%-6g ratio rastkit / SIMD %.2f", s, simdSec / ours.seconds);
    if (child) std::printf(", rastkit / no SIMD %.2f", noSimdSec[i] / ours.seconds);
    std::printf("\n");
    if (!same) return 1;
  }
  if (!child) std::printf("(libjpeg-turbo without SIMD: child process failed)\n");
  return 0;
}
