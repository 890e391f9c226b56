// Baseline encoding speed: rastkit's JFIF writer at every vector level this
// machine executes, against libjpeg-turbo's encoder with and without its
// SIMD, on photo-like pictures, 4:2:2 (format 0x3001) and 4:2:0 (0x3005),
// at the quantisation scales 0.25 and 1.0 (the same tables for both),
// standard Huffman tables, accurate integer DCT; then the speed-up of
// slices of restart intervals on several threads, and the peak memory of
// an encode at 12 and 48 megapixels.
//
//   encode_bench [width height]     (default: 2048 x 1536, then 4000 x 3000)
//   encode_bench --ours CASE COUNT  (one case, ours only, for a profiler)
//
// Times are thread CPU time (the machine is shared), best of kRepeats runs,
// and the whole measurement is taken kRounds times keeping the best figure
// of each; the slice speed-up is wall time (it is about using two cores),
// best of its runs. libjpeg-turbo reads JSIMD_FORCENONE once per process,
// so its run without SIMD happens in a child process (this program with
// --peer). Ratios are speed ratios, ours / peer (above 1: ours is faster).
// Every level's stream is checked to be byte for byte the plain reference
// pipeline's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "jpeg/baseline_encode.h"
#include "rastkit.h"
#include "simd_level.h"

namespace {

constexpr int kRepeats = 3;
constexpr int kRounds = 3;

struct Case {
  const char* name;
  uint16_t format;
  double scale;
};
constexpr Case kCases[] = {{"4:2:2 s0.25", 0x3001, 0.25},
                           {"4:2:2 s1.0", 0x3001, 1.0},
                           {"4:2:0 s0.25", 0x3005, 0.25},
                           {"4:2:0 s1.0", 0x3005, 1.0}};
constexpr int kCaseCount = sizeof kCases / sizeof kCases[0];

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

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <class F>
double Best(F&& run, double (*clock)() = ThreadSeconds, int repeats = kRepeats) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const double t0 = clock();
    run();
    best = std::min(best, clock() - t0);
  }
  return best;
}

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

ImageBlkAttrRec Describe(const Picture& pic, uint16_t format, std::vector<uint8_t>& out) {
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
  r.format = format;
  r.data = out.data();
  r.dataLength = static_cast<uint32_t>(out.size());
  return r;
}

// One whole stream, SOI to EOI.
std::vector<uint8_t> EncodeOnce(Table& table, const Picture& pic, const Case& c, std::vector<uint8_t>& out) {
  RkSetQuantizeScaleFactor(table.get(), &c.scale, &c.scale);
  ImageBlkAttrRec r = Describe(pic, c.format, out);
  if (RkExportImageByJFIF(table.get(), &r, nullptr) != RK_OK) {
    std::fprintf(stderr, "encode failed\n");
    std::exit(1);
  }
  return {out.begin(), out.begin() + r.dataLength};
}

// The scan through the plain reference kernels (the headers are the same
// for every path), compared with the scan inside `stream`.
bool SameAsReference(const Picture& pic, const Case& c, const std::vector<uint8_t>& stream) {
  Table table;
  RkSetQuantizeScaleFactor(table.get(), &c.scale, &c.scale);
  std::vector<uint8_t> out(pic.bytes.size());
  ImageBlkAttrRec r = Describe(pic, c.format, out);
  if (rk::EncodeBaselineScan(table.get(), &r, nullptr, rk::EncodeKernels::kReference) != RK_OK) return false;
  return stream.size() >= r.dataLength + 2 &&
         std::equal(out.begin(), out.begin() + r.dataLength, stream.end() - 2 - static_cast<long>(r.dataLength));
}

// libjpeg-turbo with the module table's tables for this scale.
double PeerSeconds(const Picture& pic, const Case& c, size_t* size) {
  Table t;
  RkSetQuantizeScaleFactor(t.get(), &c.scale, &c.scale);
  unsigned int lum[64], chroma[64];
  for (int i = 0; i < 64; ++i) {
    lum[i] = t.get()->quantTable[0][i];
    chroma[i] = t.get()->quantTable[1][i];
  }
  std::vector<JSAMPROW> rows(static_cast<size_t>(pic.height));
  for (int y = 0; y < pic.height; ++y) {
    rows[static_cast<size_t>(y)] =
        const_cast<JSAMPROW>(pic.bytes.data() + static_cast<size_t>(pic.height - 1 - y) * pic.stride);
  }
  return Best([&] {
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
    cinfo.comp_info[0].v_samp_factor = c.format == 0x3005 ? 2 : 1;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_scanlines(&cinfo, rows.data(), static_cast<JDIMENSION>(pic.height));
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    *size = memSize;
    std::free(mem);
  });
}

std::string Self() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = 0;
  return self;
}

// libjpeg-turbo without SIMD: a child process prints one time per case.
bool PeerWithoutSimd(int w, int h, double seconds[kCaseCount]) {
  const std::string cmd = "JSIMD_FORCENONE=1 '" + Self() + "' --peer " + std::to_string(w) + " " + std::to_string(h);
  FILE* f = popen(cmd.c_str(), "r");
  if (f == nullptr) return false;
  int got = 0;
  while (got < kCaseCount && std::fscanf(f, "%lf", &seconds[got]) == 1) ++got;
  return pclose(f) == 0 && got == kCaseCount;
}

std::string LoadAverage() {
  std::ifstream f("/proc/loadavg");
  std::string a, b, c;
  f >> a >> b >> c;
  return a + " " + b + " " + c;
}

void SpeedTable(int w, int h) {
  const Picture pic = MakePicture(w, h);
  const double mp = static_cast<double>(w) * h / 1e6;
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  struct Row {
    double ours[3] = {1e9, 1e9, 1e9};
    double simd = 1e9, noSimd = 1e9;
    size_t ourBytes = 0, peerBytes = 0;
    bool identical = true;
  } rows[kCaseCount];
  std::vector<uint8_t> out(pic.bytes.size());
  bool child = true;
  for (int round = 0; round < kRounds; ++round) {
    double noSimd[kCaseCount];
    child = child && PeerWithoutSimd(w, h, noSimd);
    for (int i = 0; i < kCaseCount; ++i) {
      Row& row = rows[i];
      if (child) row.noSimd = std::min(row.noSimd, noSimd[i]);
      row.simd = std::min(row.simd, PeerSeconds(pic, kCases[i], &row.peerBytes));
      for (size_t l = 0; l < levels.size(); ++l) {
        rk::ScopedSimdLevel level(levels[l]);
        Table table;
        std::vector<uint8_t> stream;
        row.ours[l] = std::min(row.ours[l], Best([&] { stream = EncodeOnce(table, pic, kCases[i], out); }));
        row.ourBytes = stream.size();
        if (round == 0) row.identical = row.identical && SameAsReference(pic, kCases[i], stream);
      }
    }
  }
  std::printf("\n%d x %d (%.1f MP), best of %d x %d runs, thread CPU time; MP/s\n", w, h, mp, kRounds, kRepeats);
  std::printf("%-12s %-5s %8s %8s %9s %9s %10s %9s %9s  %s\n", "case", "level", "rastkit", "tj-simd", "tj-nosimd",
              "vs-simd", "vs-nosimd", "KB", "tj KB", "bytes = plain reference");
  for (int i = 0; i < kCaseCount; ++i) {
    const Row& row = rows[i];
    for (size_t l = 0; l < levels.size(); ++l) {
      std::printf("%-12s %-5s %8.1f %8.1f %9.1f %9.2f %10.2f %9zu %9zu  %s\n", kCases[i].name,
                  rk::SimdLevelName(levels[l]), mp / row.ours[l], mp / row.simd, child ? mp / row.noSimd : 0.0,
                  row.simd / row.ours[l], child ? row.noSimd / row.ours[l] : 0.0, row.ourBytes / 1024,
                  row.peerBytes / 1024, row.identical ? "yes" : "NO");
    }
  }
}

// Slices of restart intervals: the same picture with an interval of one MCU
// row, coded on the calling thread only and in 2 slices (wall time).
void SliceSpeedUp(int w, int h) {
  const Picture pic = MakePicture(w, h);
  const double mp = static_cast<double>(w) * h / 1e6;
  std::printf("\nslices of restart intervals, %d x %d, interval = one MCU row, best of %d runs, wall time\n", w, h,
              3 * kRepeats);
  std::printf("%-12s %10s %10s %9s  %s\n", "case", "1 thread", "2 slices", "speed-up", "same bytes");
  for (const Case& c : kCases) {
    Table table;
    RkSetQuantizeScaleFactor(table.get(), &c.scale, &c.scale);
    RkInitLHuffmanTable(table.get());
    RkInitCHuffmanTable(table.get());
    std::vector<uint8_t> out1(pic.bytes.size()), out2(pic.bytes.size());
    uint32_t len1 = 0, len2 = 0;
    auto run = [&](int slices, std::vector<uint8_t>& out, uint32_t* len) {
      ImageBlkAttrRec r = Describe(pic, c.format, out);
      r.restartInterval = static_cast<uint32_t>((w + 15) / 16);
      if (rk::EncodeBaselineScan(table.get(), &r, nullptr, rk::EncodeKernels::kFast, slices) != RK_OK) std::exit(1);
      *len = r.dataLength;
    };
    const double t1 = Best([&] { run(1, out1, &len1); }, WallSeconds, 3 * kRepeats);
    const double t2 = Best([&] { run(2, out2, &len2); }, WallSeconds, 3 * kRepeats);
    const bool same = len1 == len2 && std::equal(out1.begin(), out1.begin() + len1, out2.begin());
    std::printf("%-12s %10.1f %10.1f %9.2f  %s\n", c.name, mp / t1, mp / t2, t1 / t2, same ? "yes" : "NO");
  }
}

long HighWaterKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Peak memory of one encode, in a child process: the picture and the output
// buffer are made and touched first, the peak is reset (clear_refs 5), and
// the peak after the encode minus the resident size before it is what the
// encode itself touched (work area, thread stacks, and the output pages
// that the stream fills).
void PeakMemory(int w, int h, bool withSlices) {
  std::fflush(stdout);  // the child would print what is still buffered again
  const pid_t pid = fork();
  if (pid == 0) {
    const Picture pic = MakePicture(w, h);
    std::vector<uint8_t> out(pic.bytes.size() / 2, 1);
    Table table;
    const double scale = 1.0;
    RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
    ImageBlkAttrRec r = Describe(pic, 0x3005, out);
    if (withSlices) r.restartInterval = static_cast<uint32_t>((w + 15) / 16);
    {
      std::ofstream clear("/proc/self/clear_refs");
      clear << "5";
    }
    const long before = HighWaterKb();
    if (RkExportImageByJFIF(table.get(), &r, nullptr) != RK_OK) _exit(1);
    const long after = HighWaterKb();
    std::printf("%5.1f MP %-10s  input %7.1f MB  output %6.1f MB  peak before %7.1f MB  peak growth %6.2f MB\n",
                w * static_cast<double>(h) / 1e6, withSlices ? "slices" : "1 thread", pic.bytes.size() / 1048576.0,
                r.dataLength / 1048576.0, before / 1024.0, (after - before) / 1024.0);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--peer") == 0 && argc > 3) {
    const Picture pic = MakePicture(std::atoi(argv[2]), std::atoi(argv[3]));
    for (const Case& c : kCases) {
      size_t size = 0;
      std::printf("%.9f\n", PeerSeconds(pic, c, &size));
    }
    return 0;
  }
  if (argc > 3 && std::strcmp(argv[1], "--ours") == 0) {
    // For a profiler: case `argv[2]` encoded argv[3] times at the active
    // level (RASTKIT_SIMD), 2048 x 1536.
    const Picture pic = MakePicture(2048, 1536);
    const Case& c = kCases[std::clamp(std::atoi(argv[2]), 0, kCaseCount - 1)];
    Table table;
    std::vector<uint8_t> out(pic.bytes.size());
    for (int i = std::atoi(argv[3]); i > 0; --i) EncodeOnce(table, pic, c, out);
    return 0;
  }
  std::vector<std::pair<int, int>> sizes = {{2048, 1536}, {4000, 3000}};
  if (argc > 2) sizes = {{std::atoi(argv[1]), std::atoi(argv[2])}};
  for (const auto& [w, h] : sizes) {
    if (w < 1 || h < 1 || w > 65535 || h > 65535) {
      std::fprintf(stderr, "usage: %s [width height]\n", argv[0]);
      return 2;
    }
  }
  std::printf("load average at start: %s; vector level of this machine: %s\n", LoadAverage().c_str(),
              rk::SimdLevelName(rk::MachineSimdLevel()));
  for (const auto& [w, h] : sizes) SpeedTable(w, h);
  SliceSpeedUp(sizes.back().first, sizes.back().second);
  std::printf("\npeak memory of one encode (4:2:0, scale 1.0, output buffer of half the pixels' size)\n");
  for (const auto& [w, h] : {std::pair{4000, 3000}, std::pair{8000, 6000}}) {
    PeakMemory(w, h, false);
    PeakMemory(w, h, true);
  }
  std::printf("\nload average at end: %s\n", LoadAverage().c_str());
  return 0;
}
