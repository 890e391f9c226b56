// Baseline decoding speed: rastkit's header parser and decoder against
// libjpeg-turbo (TurboJPEG, accurate integer DCT, pixel-replicating
// upsampling, SIMD on and off) on 12-megapixel photo-like JPEGs written by
// libjpeg-turbo at 4:2:0 and 4:2:2, quality 75 and 90, decoded to the
// program's bottom-up BGR bitmap.
//
//   jpeg_decode_bench [width height]
//   jpeg_decode_bench --rss [width height]   peak memory of one decode
//
// Ratios are speed ratios, ours / peer (above 1: ours is faster).
//
// libjpeg-turbo reads JSIMD_FORCENONE once per process, so its run without
// SIMD happens in a child process (this program with --peer and the
// variable set) whose timings are read back from its output. Our decoder
// (header parse included) is timed with the 64 KB Huffman lookup buffers
// installed ("ours+lut") and without them ("ours", the kernels' own compact
// lookup); its output is checked against libjpeg-turbo's (it must be
// close). stb_image (Debian libstb-dev, header-only, also a peer) decodes
// the same streams the only way it can: to top-down RGB with its own
// upsampling and, on x86-64, its SSE2 kernels. Times are the best of
// kRepeats runs in thread CPU time. A second table gives our decoder on each
// vector level the machine can execute (plain C++, SSE2, AVX2), as the
// environment variable RASTKIT_SIMD would choose it.
//
// --rss measures the memory one decode needs beyond its input and output:
// with the stream and the output bitmap in memory (and touched), the
// process's peak resident size is reset (/proc/self/clear_refs), one decode
// runs, and the growth of the peak over the resident size before it is the
// decoder's working memory (tables, one row of MCUs, the helper thread's
// stack). Run it at 12 and 48 megapixels: it should not grow with height.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <fstream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "rastkit.h"
#include "simd_level.h"

namespace {

constexpr int kRepeats = 5;
constexpr int kRounds = 3;

struct Case {
  const char* name;
  int subsamp;
  int quality;
};
constexpr Case kCases[] = {{"4:2:0 q75", TJSAMP_420, 75}, {"4:2:0 q90", TJSAMP_420, 90},
                           {"4:2:2 q75", TJSAMP_422, 75}, {"4:2:2 q90", TJSAMP_422, 90}};

// Top-down RGB: smooth gradients, soft discs and mild grain, like a photo.
std::vector<uint8_t> MakePicture(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
  uint32_t seed = 12345;
  auto rnd = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>(seed >> 24) - 128;
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
      double r = 90 + 120 * fx + 30 * std::sin(fy * 9.0);
      double g = 70 + 100 * fy + 40 * std::sin((fx + fy) * 7.0);
      double b = 150 - 80 * fx * fy + 35 * std::cos(fx * 13.0);
      if (std::hypot(fx - 0.6, fy - 0.4) < 0.2) r = r * 0.4 + 150, g *= 0.7;
      const double grain = rnd() / 24.0 + 12 * std::sin(x * 0.7) * std::cos(y * 0.5);
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(std::clamp(r + grain, 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp(g + grain, 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp(b + grain, 0.0, 255.0));
    }
  }
  return px;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& rgb, int w, int h, const Case& c) {
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (tjCompress2(handle, rgb.data(), w, w * 3, h, TJPF_RGB, &out, &size, c.subsamp, c.quality, 0) != 0) {
    std::fprintf(stderr, "encode failed: %s\n", tjGetErrorStr2(handle));
    std::exit(1);
  }
  std::vector<uint8_t> bytes(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  return bytes;
}

// CPU time of this thread: the machine is shared, and wall-clock time
// would count other processes' turns as ours.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

template <typename F>
double BestSeconds(F&& run) {
  double best = 1e9;
  for (int i = 0; i < kRepeats; ++i) {
    const double t0 = ThreadSeconds();
    run();
    best = std::min(best, ThreadSeconds() - t0);
  }
  return best;
}

int Stride(int w) { return (w * 3 + 3) & ~3; }

double TurboSeconds(const std::vector<uint8_t>& jpeg, int w, int h, std::vector<uint8_t>& out) {
  tjhandle handle = tjInitDecompress();
  out.assign(static_cast<size_t>(Stride(w)) * h, 0);
  const double s = BestSeconds([&] {
    if (tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), w, Stride(w), h, TJPF_BGR,
                      TJFLAG_ACCURATEDCT | TJFLAG_FASTUPSAMPLE | TJFLAG_BOTTOMUP) != 0) {
      std::fprintf(stderr, "peer decode failed\n");
      std::exit(1);
    }
  });
  tjDestroy(handle);
  return s;
}

double StbSeconds(const std::vector<uint8_t>& jpeg) {
  return BestSeconds([&] {
    int w = 0, h = 0, n = 0;
    stbi_uc* px = stbi_load_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &n, 3);
    if (px == nullptr) {
      std::fprintf(stderr, "stb_image decode failed\n");
      std::exit(1);
    }
    stbi_image_free(px);
  });
}

struct OurTimes {
  double header;
  double total;  // header + decode
};

OurTimes OurSeconds(const std::vector<uint8_t>& jpeg, int w, int h, bool withLut, std::vector<uint8_t>& out) {
  std::vector<uint8_t> tableBlock(RkGetCompressBlkSize());
  auto* table = reinterpret_cast<ModuleTableRec*>(tableBlock.data());
  RkInitModuleTable(table);
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize());
  if (withLut) RkSetHuffmanLUTBuffer(table, lut.data());
  out.assign(static_cast<size_t>(Stride(w)) * h, 0);
  const uint32_t size = static_cast<uint32_t>(jpeg.size());
  ImageBlkAttrRec image{};
  auto header = [&] {
    image = ImageBlkAttrRec{};
    if (RkDecodeJFIFHeader(table, jpeg.data(), &size, &image) < 0) {
      std::fprintf(stderr, "header refused\n");
      std::exit(1);
    }
    image.pixels = out.data();
    image.rowStride = Stride(w);
    image.pixelStride = 3;
    image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
    image.bottomUp = 1;
  };
  OurTimes t{};
  t.header = BestSeconds(header);
  t.total = BestSeconds([&] {
    header();
    if (RkDecompressImageByJPEG(table, &image, nullptr) != 0) {
      std::fprintf(stderr, "decode failed\n");
      std::exit(1);
    }
  });
  RkFreeModuleTable(table);
  return t;
}

// Our decoder (no lookup buffers) on every vector level, best of kRounds,
// against the best libjpeg-turbo SIMD time of each case.
void PerLevelReport(const std::vector<std::vector<uint8_t>>& streams, int w, int h,
                    const std::vector<double>& turboSimd) {
  const double mp = w * static_cast<double>(h) / 1e6;
  std::printf("\nours per vector level, MP/s (ratio to tj-simd)\n%-10s", "case");
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  for (const rk::SimdLevel level : levels) std::printf(" %18s", rk::SimdLevelName(level));
  std::printf("\n");
  std::vector<uint8_t> out;
  for (size_t i = 0; i < streams.size(); ++i) {
    std::printf("%-10s", kCases[i].name);
    for (const rk::SimdLevel level : levels) {
      const rk::ScopedSimdLevel active(level);
      double best = 1e9;
      for (int round = 0; round < kRounds; ++round) best = std::min(best, OurSeconds(streams[i], w, h, false, out).total);
      std::printf(" %10.1f (%4.2f)", mp / best, turboSimd[i] / best);
    }
    std::printf("\n");
  }
}

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

int MemoryReport(int w, int h) {
  std::vector<uint8_t> jpeg;
  {
    const std::vector<uint8_t> rgb = MakePicture(w, h);
    jpeg = Encode(rgb, w, h, kCases[1]);
  }
  std::vector<uint8_t> tableBlock(RkGetCompressBlkSize());
  auto* table = reinterpret_cast<ModuleTableRec*>(tableBlock.data());
  RkInitModuleTable(table);
  std::vector<uint8_t> out(static_cast<size_t>(Stride(w)) * h, 1);
  const uint32_t size = static_cast<uint32_t>(jpeg.size());
  ImageBlkAttrRec image{};
  if (RkDecodeJFIFHeader(table, jpeg.data(), &size, &image) < 0) return 1;
  image.pixels = out.data();
  image.rowStride = Stride(w);
  image.pixelStride = 3;
  image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
  image.bottomUp = 1;
  {
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
  }
  const long before = StatusKb("VmRSS:");
  const int16_t result = RkDecompressImageByJPEG(table, &image, nullptr);
  const long peak = StatusKb("VmHWM:");
  RkFreeModuleTable(table);
  std::printf("%d x %d (%.1f MP, %s): stream %zu KB, bitmap %zu KB; resident before decode %ld KB, peak %ld KB: "
              "working memory %ld KB%s\n",
              w, h, w * static_cast<double>(h) / 1e6, kCases[1].name, jpeg.size() / 1024, out.size() / 1024, before,
              peak, peak - before, result == 0 ? "" : " (decode failed)");
  return result == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool peerChild = false, rss = false;
  int w = 4000, h = 3000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--peer") == 0) {
      peerChild = true;
    } else if (std::strcmp(argv[i], "--rss") == 0) {
      rss = true;
    } else if (i + 1 < argc) {
      w = std::atoi(argv[i]);
      h = std::atoi(argv[++i]);
    }
  }
  if (rss) return MemoryReport(w, h);
  const std::vector<uint8_t> rgb = MakePicture(w, h);
  const double mp = w * static_cast<double>(h) / 1e6;
  std::vector<std::vector<uint8_t>> streams;
  for (const Case& c : kCases) streams.push_back(Encode(rgb, w, h, c));

  std::vector<uint8_t> peerOut, ourOut;
  if (peerChild) {
    for (const auto& s : streams) std::printf("%.9f\n", TurboSeconds(s, w, h, peerOut));
    return 0;
  }
  // The machine is shared: the whole measurement runs kRounds times, the
  // peer without SIMD (child process) and the rest in turn, and each
  // figure is the best over all rounds. The spread of the per-round ratio
  // against libjpeg-turbo without SIMD shows how noisy the run was.
  const std::string command = "JSIMD_FORCENONE=1 " + std::string(argv[0]) + " --peer " +
                              std::to_string(w) + " " + std::to_string(h);
  const size_t n = streams.size();
  struct Best {
    double noSimd = 1e9, simd = 1e9, lut = 1e9, search = 1e9, header = 1e9, stb = 1e9;
    double ratioLow = 1e9, ratioHigh = 0;  // per round, ours (no buffers) vs no SIMD
  };
  std::vector<Best> best(n);
  for (int round = 0; round < kRounds; ++round) {
    std::vector<double> noSimd;
    if (FILE* child = popen(command.c_str(), "r")) {
      double v = 0;
      while (std::fscanf(child, "%lf", &v) == 1) noSimd.push_back(v);
      pclose(child);
    }
    for (size_t i = 0; i < n; ++i) {
      Best& b = best[i];
      b.simd = std::min(b.simd, TurboSeconds(streams[i], w, h, peerOut));
      const OurTimes lut = OurSeconds(streams[i], w, h, true, ourOut);
      int maxDiff = 0;
      for (size_t k = 0; k < ourOut.size(); ++k) maxDiff = std::max(maxDiff, std::abs(ourOut[k] - peerOut[k]));
      if (maxDiff > 8) std::fprintf(stderr, "warning: %s differs from libjpeg-turbo by %d\n", kCases[i].name, maxDiff);
      const OurTimes search = OurSeconds(streams[i], w, h, false, ourOut);
      b.lut = std::min(b.lut, lut.total);
      b.search = std::min(b.search, search.total);
      b.header = std::min(b.header, lut.header);
      b.stb = std::min(b.stb, StbSeconds(streams[i]));
      if (i < noSimd.size()) {
        b.noSimd = std::min(b.noSimd, noSimd[i]);
        b.ratioLow = std::min(b.ratioLow, noSimd[i] / search.total);
        b.ratioHigh = std::max(b.ratioHigh, noSimd[i] / search.total);
      }
    }
  }
  std::printf("%d x %d (%.1f MP), best of %d x %d runs by thread CPU time, MP/s; ratios = our speed / peer speed\n",
              w, h, mp, kRounds, kRepeats);
  std::printf("%-10s %6s %9s %9s %9s %8s %9s %7s   %-17s %-17s %-17s %s\n", "case", "KB", "ours+lut", "ours",
              "header", "tj-simd", "tj-nosimd", "stb", "vs-nosimd lut/no", "vs-simd lut/no", "vs-stb lut/no",
              "rounds vs-nosimd");
  for (size_t i = 0; i < n; ++i) {
    const Best& b = best[i];
    const bool peer = b.noSimd < 1e9;
    std::printf("%-10s %6zu %9.1f %9.1f %9.0f %8.1f %9.1f %7.1f   %5.2f / %-9.2f %5.2f / %-9.2f %5.2f / %-9.2f %.2f-%.2f\n",
                kCases[i].name, streams[i].size() / 1024, mp / b.lut, mp / b.search, mp / b.header, mp / b.simd,
                peer ? mp / b.noSimd : 0.0, mp / b.stb, peer ? b.noSimd / b.lut : 0.0, peer ? b.noSimd / b.search : 0.0,
                b.simd / b.lut, b.simd / b.search, b.stb / b.lut, b.stb / b.search, peer ? b.ratioLow : 0.0,
                b.ratioHigh);
  }
  std::vector<double> turboSimd;
  for (const Best& b : best) turboSimd.push_back(b.simd);
  PerLevelReport(streams, w, h, turboSimd);
  return 0;
}
