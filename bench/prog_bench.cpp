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
// (4:2:2) and 0x3005 (4:2:0) at the quantisation scale 1.0 (the T.81
// tables as they are; libjpeg-turbo's quality 50), the peer with the same
// subsampling at quality 50 and TJFLAG_PROGRESSIVE (also optimised tables).
//
// Ratios are speed ratios, ours / peer (above 1: ours is faster). As in
// jpeg_decode_bench, libjpeg-turbo without SIMD runs in a child process
// (JSIMD_FORCENONE is read once per process), times are the best of
// kRepeats runs in thread CPU time, and the whole measurement runs kRounds
// times with the figures taken as the best over all rounds.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#include <turbojpeg.h>

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
  int subsamp;
};
constexpr EncodeCase kEncodeCases[] = {{"4:2:2 enc", 0x3001, TJSAMP_422}, {"4:2:0 enc", 0x3005, TJSAMP_420}};
constexpr int kPeerQuality = 50;  // libjpeg's scaling of the T.81 tables at 50 is 1.0

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

std::vector<uint8_t> PeerEncode(const std::vector<uint8_t>& bitmap, int w, int h, int subsamp, int quality) {
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (tjCompress2(handle, bitmap.data(), w, Stride(w), h, TJPF_BGR, &out, &size, subsamp, quality,
                  TJFLAG_PROGRESSIVE | TJFLAG_BOTTOMUP) != 0) {
    std::fprintf(stderr, "peer encode failed: %s\n", tjGetErrorStr2(handle));
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

double PeerEncodeSeconds(const std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c, size_t* bytes) {
  return BestSeconds([&] { *bytes = PeerEncode(bitmap, w, h, c.subsamp, kPeerQuality).size(); });
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

double OurEncodeSeconds(std::vector<uint8_t>& bitmap, int w, int h, const EncodeCase& c, size_t* bytes) {
  Table table;
  const double scale = 1.0;
  std::vector<uint8_t> out(static_cast<size_t>(Stride(w)) * h);
  return BestSeconds([&] {
    RkInitLHuffmanTable(table.get());
    RkInitCHuffmanTable(table.get());
    RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
    ImageBlkAttrRec image{};
    image.width = static_cast<uint16_t>(w);
    image.height = static_cast<uint16_t>(h);
    image.pixels = bitmap.data();
    image.rowStride = Stride(w);
    image.pixelStride = 3;
    image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
    image.bottomUp = 1;
    image.format = c.format;
    image.data = out.data();
    image.dataLength = static_cast<uint32_t>(out.size());
    if (RkExportImageByProgJFIF(table.get(), &image, nullptr) != 0) {
      std::fprintf(stderr, "encode failed\n");
      std::exit(1);
    }
    *bytes = image.dataLength;
  });
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
  std::vector<Best> dec(nd), enc(ne);
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
      Best& b = enc[i];
      b.simd = std::min(b.simd, PeerEncodeSeconds(bitmap, w, h, kEncodeCases[i], &b.peerBytes));
      const double ours = OurEncodeSeconds(bitmap, w, h, kEncodeCases[i], &b.ourBytes);
      b.search = std::min(b.search, ours);
      if (nd + i < noSimd.size()) {
        b.noSimd = std::min(b.noSimd, noSimd[nd + i]);
        b.ratioLow = std::min(b.ratioLow, noSimd[nd + i] / ours);
        b.ratioHigh = std::max(b.ratioHigh, noSimd[nd + i] / ours);
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
  std::printf("encode     %6s %9s %8s %9s %9s   %-9s %-9s %s\n", "KB", "ours", "tj-simd", "tj-nosimd", "tj KB",
              "vs-nosimd", "vs-simd", "rounds vs-nosimd");
  for (size_t i = 0; i < ne; ++i) {
    const Best& b = enc[i];
    const bool peer = b.noSimd < 1e9;
    std::printf("%-10s %6zu %9.1f %8.1f %9.1f %9zu   %-9.2f %-9.2f %.2f-%.2f\n", kEncodeCases[i].name, b.ourBytes / 1024,
                mp / b.search, mp / b.simd, peer ? mp / b.noSimd : 0.0, b.peerBytes / 1024,
                peer ? b.noSimd / b.search : 0.0, b.simd / b.search, peer ? b.ratioLow : 0.0, b.ratioHigh);
  }
  std::vector<double> turboSimd;
  for (const Best& b : dec) turboSimd.push_back(b.simd);
  DecodePerLevelReport(streams, w, h, turboSimd);
  return 0;
}
