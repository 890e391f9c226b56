// Progressive JPEG speed: rastkit's progressive decoder (header parse
// included) and progressive writer against libjpeg-turbo (TurboJPEG,
// accurate integer DCT, pixel-replicating upsampling, SIMD on and off) and,
// for decoding, stb_image, on a photo-like picture (12 megapixels unless
// told otherwise).
//
//   prog_bench [width height]
//
// Decoding: progressive streams that libjpeg-turbo writes (its default
// script with successive approximation, optimised tables) at 4:2:0 and 4:2:2,
// quality 75 and 90, decoded into the program's bottom-up BGR bitmap; ours
// with the 64 KB Huffman lookup buffers ("ours+lut") and without ("ours").
// Encoding: the bitmap written as progressive JPEG, ours with format 0x3001
// (4:2:2) and 0x3005 (4:2:0) at the quantisation scales 1.0 and 0.25, at
// every vector level this machine executes (each level's stream checked
// byte for byte against the plain kernels'); the peer through the libjpeg
// API with the same tables and subsampling, its default progressive script
// (jpeg_simple_progression: successive approximation too) and optimised
// Huffman tables, as TJFLAG_PROGRESSIVE does. Then the peak memory of one
// progressive encode at 12 and 48 megapixels.
//
// Ratios are speed ratios, ours / peer (above 1: ours is faster). As in
// jpeg_decode_bench, libjpeg-turbo without SIMD runs in a child process
// (JSIMD_FORCENONE is read once per process), times are the best of
// kRepeats runs in thread CPU time, and the whole measurement runs kRounds
// times with the figures taken as the best over all rounds.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "jpeg/progressive_encode.h"
#include "rastkit.h"
#include "simd_level.h"

namespace {

constexpr int kRepeats = 3;
constexpr int kRounds = 3;

struct DecodeCase {
  const char* name;
  int subsamp;
  int quality;
};
constexpr DecodeCase kDecodeCases[] = {{"4:2:0 q75", TJSAMP_420, 75}, {"4:2:0 q90", TJSAMP_420, 90},
                                       {"4:2:2 q75", TJSAMP_422, 75}, {"4:2:2 q90", TJSAMP_422, 90}};

struct EncodeCase {
  const char* name;
  uint16_t format;
  double scale;
};
constexpr EncodeCase kEncodeCases[] = {{"4:2:2 s1.0", 0x3001, 1.0},
                                       {"4:2:2 s0.25", 0x3001, 0.25},
                                       {"4:2:0 s1.0", 0x3005, 1.0},
                                       {"4:2:0 s0.25", 0x3005, 0.25}};

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

int Stride(int w) { return (w * 3 + 3) & ~3; }

// The program's bitmap: bottom-up BGR rows padded to 4 bytes.
std::vector<uint8_t> ToBitmap(const std::vector<uint8_t>& rgb, int w, int h) {
  std::vector<uint8_t> out(static_cast<size_t>(Stride(w)) * h, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = &rgb[static_cast<size_t>(y) * w * 3];
    uint8_t* d = &out[static_cast<size_t>(h - 1 - y) * Stride(w)];
    for (int x = 0; x < w; ++x) d[3 * x] = s[3 * x + 2], d[3 * x + 1] = s[3 * x + 1], d[3 * x + 2] = s[3 * x];
  }
  return out;
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

double PeerDecodeSeconds(const std::vector<uint8_t>& jpeg, int w, int h, std::vector<uint8_t>& out) {
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

struct Table;
std::vector<uint8_t> PeerProgressive(const std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c);

double PeerEncodeSeconds(const std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c, size_t* bytes) {
  return BestSeconds([&] { *bytes = PeerProgressive(bitmap, w, h, c).size(); });
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

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

double OurDecodeSeconds(const std::vector<uint8_t>& jpeg, int w, int h, bool withLut, std::vector<uint8_t>& out) {
  Table table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize());
  if (withLut) RkSetHuffmanLUTBuffer(table.get(), lut.data());
  out.assign(static_cast<size_t>(Stride(w)) * h, 0);
  const uint32_t size = static_cast<uint32_t>(jpeg.size());
  return BestSeconds([&] {
    ImageBlkAttrRec image{};
    if (RkDecodeJFIFHeader(table.get(), jpeg.data(), &size, &image) < 0 ||
        (image.format & RK_FORMAT_PROGRESSIVE) == 0) {
      std::fprintf(stderr, "header refused\n");
      std::exit(1);
    }
    image.pixels = out.data();
    image.rowStride = Stride(w);
    image.pixelStride = 3;
    image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
    image.bottomUp = 1;
    if (RkDecompressImageByProgJPEG(table.get(), &image, nullptr) != 0) {
      std::fprintf(stderr, "decode failed\n");
      std::exit(1);
    }
  });
}

// Our progressive decoder (no lookup buffers) on every vector level the
// machine can execute, as RASTKIT_SIMD would choose it, best of kRounds,
// against the best libjpeg-turbo SIMD time of each case.
void DecodePerLevelReport(const std::vector<std::vector<uint8_t>>& streams, int w, int h,
                          const std::vector<double>& turboSimd) {
  const double mp = w * static_cast<double>(h) / 1e6;
  std::printf("decode, ours per vector level, MP/s (ratio to tj-simd)\n%-10s", "case");
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  for (const rk::SimdLevel level : levels) std::printf(" %18s", rk::SimdLevelName(level));
  std::printf("\n");
  std::vector<uint8_t> out;
  for (size_t i = 0; i < std::size(kDecodeCases) && i < streams.size(); ++i) {
    std::printf("%-10s", kDecodeCases[i].name);
    for (const rk::SimdLevel level : levels) {
      const rk::ScopedSimdLevel active(level);
      double best = 1e9;
      for (int round = 0; round < kRounds; ++round) best = std::min(best, OurDecodeSeconds(streams[i], w, h, false, out));
      std::printf(" %10.1f (%4.2f)", mp / best, turboSimd[i] / best);
    }
    std::printf("\n");
  }
}

// libjpeg-turbo through the libjpeg API with the module table's tables for
// this scale, the bottom-up BGR rows as they are.
std::vector<uint8_t> PeerProgressive(const std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c) {
  Table t;
  RkSetQuantizeScaleFactor(t.get(), &c.scale, &c.scale);
  unsigned int lum[64], chroma[64];
  for (int i = 0; i < 64; ++i) {
    lum[i] = t.get()->quantTable[0][i];
    chroma[i] = t.get()->quantTable[1][i];
  }
  std::vector<JSAMPROW> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    rows[static_cast<size_t>(y)] = const_cast<JSAMPROW>(bitmap.data() + static_cast<size_t>(h - 1 - y) * Stride(w));
  }
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_add_quant_table(&cinfo, 0, lum, 100, TRUE);
  jpeg_add_quant_table(&cinfo, 1, chroma, 100, TRUE);
  cinfo.comp_info[0].h_samp_factor = 2;
  cinfo.comp_info[0].v_samp_factor = c.format == 0x3005 ? 2 : 1;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.optimize_coding = TRUE;
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  jpeg_write_scanlines(&cinfo, rows.data(), static_cast<JDIMENSION>(h));
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> bytes(mem, mem + memSize);
  std::free(mem);
  return bytes;
}

// One progressive stream at the active vector level (or the plain kernels).
std::vector<uint8_t> OurProgressive(const std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c,
                                    rk::EncodeKernels kernels = rk::EncodeKernels::kFast) {
  Table table;
  RkSetQuantizeScaleFactor(table.get(), &c.scale, &c.scale);
  std::vector<uint8_t> out(static_cast<size_t>(Stride(w)) * h);
  ImageBlkAttrRec image{};
  image.width = static_cast<uint16_t>(w);
  image.height = static_cast<uint16_t>(h);
  image.pixels = const_cast<uint8_t*>(bitmap.data());
  image.rowStride = Stride(w);
  image.pixelStride = 3;
  image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
  image.bottomUp = 1;
  image.format = c.format;
  image.data = out.data();
  image.dataLength = static_cast<uint32_t>(out.size());
  if (rk::WriteProgressiveJfif(table.get(), &image, nullptr, kernels) != 0) {
    std::fprintf(stderr, "encode failed\n");
    std::exit(1);
  }
  out.resize(image.dataLength);
  return out;
}

double OurEncodeSeconds(const std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c, size_t* bytes) {
  return BestSeconds([&] { *bytes = OurProgressive(bitmap, w, h, c).size(); });
}

long HighWaterKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// Peak memory of one progressive encode (4:2:0, scale 1.0) in a child
// process, as encode_bench measures the baseline one: the bitmap and the
// output buffer are made and touched, the peak reset (clear_refs 5), and the
// growth of the peak during the encode printed.
void PeakMemory(int w, int h) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::vector<uint8_t> bitmap = ToBitmap(MakePicture(w, h), w, h);
    Table table;
    std::vector<uint8_t> out(bitmap.size() / 2, 1);
    ImageBlkAttrRec image{};
    image.width = static_cast<uint16_t>(w);
    image.height = static_cast<uint16_t>(h);
    image.pixels = const_cast<uint8_t*>(bitmap.data());
    image.rowStride = Stride(w);
    image.pixelStride = 3;
    image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
    image.bottomUp = 1;
    image.format = 0x3005;
    image.data = out.data();
    image.dataLength = static_cast<uint32_t>(out.size());
    {
      std::ofstream clear("/proc/self/clear_refs");
      clear << "5";
    }
    const long before = HighWaterKb();
    if (RkExportImageByProgJFIF(table.get(), &image, nullptr) != 0) _exit(1);
    const long after = HighWaterKb();
    std::printf("%5.1f MP  input %7.1f MB  peak growth %7.1f MB  (work space query %7.1f MB)\n",
                w * static_cast<double>(h) / 1e6, bitmap.size() / 1048576.0, (after - before) / 1024.0,
                RkGetProgJPEGEncodeWorkSpaceSize(&image) / 1048576.0);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  bool peerChild = false;
  int w = 4000, h = 3000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--peer") == 0) {
      peerChild = true;
    } else if (i + 1 < argc) {
      w = std::atoi(argv[i]);
      h = std::atoi(argv[++i]);
    }
  }
  const std::vector<uint8_t> rgb = MakePicture(w, h);
  std::vector<uint8_t> bitmap = ToBitmap(rgb, w, h);
  const double mp = w * static_cast<double>(h) / 1e6;
  std::vector<std::vector<uint8_t>> streams;
  for (const DecodeCase& c : kDecodeCases) {
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, rgb.data(), w, w * 3, h, TJPF_RGB, &out, &size, c.subsamp, c.quality,
                    TJFLAG_PROGRESSIVE) != 0) {
      std::fprintf(stderr, "stream encode failed\n");
      return 1;
    }
    streams.emplace_back(out, out + size);
    tjFree(out);
    tjDestroy(handle);
  }

  std::vector<uint8_t> peerOut, ourOut;
  if (peerChild) {
    for (const auto& s : streams) std::printf("%.9f\n", PeerDecodeSeconds(s, w, h, peerOut));
    size_t bytes = 0;
    for (const EncodeCase& c : kEncodeCases) std::printf("%.9f\n", PeerEncodeSeconds(bitmap, w, h, c, &bytes));
    return 0;
  }
  const std::string command = "JSIMD_FORCENONE=1 " + std::string(argv[0]) + " --peer " + std::to_string(w) + " " +
                              std::to_string(h);
  const size_t nd = std::size(kDecodeCases), ne = std::size(kEncodeCases);
  struct Best {
    double noSimd = 1e9, simd = 1e9, lut = 1e9, search = 1e9, stb = 1e9;
    double ratioLow = 1e9, ratioHigh = 0;  // per round, ours (no buffers) vs no SIMD
    size_t ourBytes = 0, peerBytes = 0;
    int maxDiff = 0;
  };
  std::vector<Best> dec(nd);
  struct EncodeBest {
    double noSimd = 1e9, simd = 1e9;
    double ours[3] = {1e9, 1e9, 1e9};  // per vector level
    size_t ourBytes = 0, peerBytes = 0;
    bool identical = true;  // every level's stream is the plain kernels' stream
  };
  std::vector<EncodeBest> enc(ne);
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  for (int round = 0; round < kRounds; ++round) {
    std::vector<double> noSimd;
    if (FILE* child = popen(command.c_str(), "r")) {
      double v = 0;
      while (std::fscanf(child, "%lf", &v) == 1) noSimd.push_back(v);
      pclose(child);
    }
    for (size_t i = 0; i < nd; ++i) {
      Best& b = dec[i];
      b.simd = std::min(b.simd, PeerDecodeSeconds(streams[i], w, h, peerOut));
      const double lut = OurDecodeSeconds(streams[i], w, h, true, ourOut);
      for (size_t k = 0; k < ourOut.size(); ++k) b.maxDiff = std::max(b.maxDiff, std::abs(ourOut[k] - peerOut[k]));
      const double search = OurDecodeSeconds(streams[i], w, h, false, ourOut);
      b.lut = std::min(b.lut, lut);
      b.search = std::min(b.search, search);
      b.stb = std::min(b.stb, StbSeconds(streams[i]));
      if (i < noSimd.size()) {
        b.noSimd = std::min(b.noSimd, noSimd[i]);
        b.ratioLow = std::min(b.ratioLow, noSimd[i] / search);
        b.ratioHigh = std::max(b.ratioHigh, noSimd[i] / search);
      }
    }
    for (size_t i = 0; i < ne; ++i) {
      EncodeBest& b = enc[i];
      const EncodeCase& c = kEncodeCases[i];
      b.simd = std::min(b.simd, PeerEncodeSeconds(bitmap, w, h, c, &b.peerBytes));
      if (nd + i < noSimd.size()) b.noSimd = std::min(b.noSimd, noSimd[nd + i]);
      const std::vector<uint8_t> plain =
          round == 0 ? OurProgressive(bitmap, w, h, c, rk::EncodeKernels::kReference) : std::vector<uint8_t>{};
      for (size_t l = 0; l < levels.size(); ++l) {
        rk::ScopedSimdLevel level(levels[l]);
        b.ours[l] = std::min(b.ours[l], OurEncodeSeconds(bitmap, w, h, c, &b.ourBytes));
        if (round == 0) b.identical = b.identical && OurProgressive(bitmap, w, h, c) == plain;
      }
    }
  }
  std::printf("%d x %d (%.1f MP), best of %d x %d runs by thread CPU time, MP/s; ratios = our speed / peer speed\n",
              w, h, mp, kRounds, kRepeats);
  std::printf("decode     %6s %9s %9s %8s %9s %7s   %-17s %-17s %-17s %-16s %s\n", "KB", "ours+lut", "ours",
              "tj-simd", "tj-nosimd", "stb", "vs-nosimd lut/no", "vs-simd lut/no", "vs-stb lut/no",
              "rounds vs-nosimd", "max diff vs tj");
  for (size_t i = 0; i < nd; ++i) {
    const Best& b = dec[i];
    const bool peer = b.noSimd < 1e9;
    std::printf("%-10s %6zu %9.1f %9.1f %8.1f %9.1f %7.1f   %5.2f / %-9.2f %5.2f / %-9.2f %5.2f / %-9.2f %.2f-%-11.2f %d\n",
                kDecodeCases[i].name, streams[i].size() / 1024, mp / b.lut, mp / b.search, mp / b.simd,
                peer ? mp / b.noSimd : 0.0, mp / b.stb, peer ? b.noSimd / b.lut : 0.0, peer ? b.noSimd / b.search : 0.0,
                b.simd / b.lut, b.simd / b.search, b.stb / b.lut, b.stb / b.search, peer ? b.ratioLow : 0.0,
                b.ratioHigh, b.maxDiff);
  }
  std::printf("encode      level %7s %9s %8s %9s %9s   %-9s %-9s %s\n", "KB", "ours", "tj-simd", "tj-nosimd", "tj KB",
              "vs-nosimd", "vs-simd", "bytes = plain kernels");
  for (size_t i = 0; i < ne; ++i) {
    const EncodeBest& b = enc[i];
    const bool peer = b.noSimd < 1e9;
    for (size_t l = 0; l < levels.size(); ++l) {
      std::printf("%-11s %-5s %7zu %9.1f %8.1f %9.1f %9zu   %-9.2f %-9.2f %s\n", kEncodeCases[i].name,
                  rk::SimdLevelName(levels[l]), b.ourBytes / 1024, mp / b.ours[l], mp / b.simd,
                  peer ? mp / b.noSimd : 0.0, b.peerBytes / 1024, peer ? b.noSimd / b.ours[l] : 0.0,
                  b.simd / b.ours[l], b.identical ? "yes" : "NO");
    }
  }
  std::vector<double> turboSimd;
  for (const Best& b : dec) turboSimd.push_back(b.simd);
  DecodePerLevelReport(streams, w, h, turboSimd);
  std::printf("peak memory of one progressive encode (4:2:0, scale 1.0; the coefficients of the whole picture)\n");
  PeakMemory(4000, 3000);
  PeakMemory(8000, 6000);
  return 0;
}
