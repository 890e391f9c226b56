// Timings of the block kernels: the plain and the fast entropy decoder,
// the inverse transform, dequantisation and colour conversion, on blocks
// of a photo-like picture coded with the default tables.
//   build-rel/bench/kernels_bench [repeats]
#include <algorithm>
#include <array>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "huff_writer.h"
#include "test_images.h"

namespace {

using Block = std::array<int16_t, 64>;
// Process CPU time, so that other work on a shared machine inflates the
// figures less than wall time would.
struct Clock {
  using time_point = double;
  static double now() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
  }
};

double Seconds(double a, double b) { return b - a; }

// Quantised coefficients of the picture's luminance, 8x8 blocks in raster
// order, with table K.1 times scale.
std::vector<Block> Coefficients(const rktest::Rgb& img, const uint16_t* quant, double scale) {
  const double pi = 2 * std::asin(1.0);
  double c[8][8];
  for (int x = 0; x < 8; ++x)
    for (int u = 0; u < 8; ++u) c[x][u] = std::cos((2 * x + 1) * u * pi / 16);
  std::vector<Block> out;
  for (int by = 0; by + 8 <= img.height; by += 8) {
    for (int bx = 0; bx + 8 <= img.width; bx += 8) {
      double s[64];
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
          const uint8_t* p = img.at(bx + x, by + y);
          s[8 * y + x] = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2] - 128;
        }
      Block b;
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
          double t = 0;
          for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) t += s[8 * y + x] * c[x][u] * c[y][v];
          t *= (u ? 1 : M_SQRT1_2) * (v ? 1 : M_SQRT1_2) / 4;
          const int q = std::clamp(static_cast<int>(quant[8 * v + u] * scale), 1, 255);
          b[8 * v + u] = static_cast<int16_t>(std::lround(t / q));
        }
      out.push_back(b);
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
  long check = 0;
  rktest::ModuleTable t;
  const rktest::Rgb img = rktest::MakePhotoLike(640, 480, 3);
  std::vector<uint8_t> lut[2] = {rktest::MakeLut(t->dcCodeTable[0], 16), rktest::MakeLut(t->acCodeTable[0], 256)};

  for (double scale : {0.25, 1.0}) {
    const std::vector<Block> blocks = Coefficients(img, t->quantTable[0], scale);
    rktest::HuffBitWriter out;
    int16_t pred = 0;
    for (const Block& b : blocks) rktest::EncodeBlock(out, b.data(), &pred, t->dcCodeTable[0], t->acCodeTable[0], t->zigzag);
    out.PutMarker(0xD9);
    const std::vector<uint8_t>& stream = out.bytes();
    const double mb = static_cast<double>(stream.size()) * repeats / 1e6;
    const double nblocks = static_cast<double>(blocks.size()) * repeats;
    std::printf("scale %.2f: %zu blocks, %zu bytes (%.2f bits/block)\n", scale, blocks.size(), stream.size(),
                8.0 * static_cast<double>(stream.size()) / static_cast<double>(blocks.size()));

    std::vector<Block> decoded(blocks.size());
    for (int withLut = 0; withLut < 2; ++withLut) {
      const uint8_t* dcl = withLut ? lut[0].data() : nullptr;
      const uint8_t* acl = withLut ? lut[1].data() : nullptr;
      auto setup = [&] {
        t->streamData = const_cast<uint8_t*>(stream.data());
        t->streamLength = static_cast<uint32_t>(stream.size());
        t->bitPos = 0;
        t->decodeError = 0;
      };
      auto a = Clock::now();
      for (int r = 0; r < repeats; ++r) {
        setup();
        int16_t p = 0;
        for (auto& b : decoded)
          check += static_cast<int>(rk::DecodeBlock(t.get(), b.data(), t->dcCodeTable[0], t->acCodeTable[0], dcl, acl, &p));
      }
      auto b = Clock::now();
      const double plain = Seconds(a, b);
      a = Clock::now();
      for (int r = 0; r < repeats; ++r) {
        setup();
        rk::HuffLookup dc(t->dcCodeTable[0], 16, dcl), ac(t->acCodeTable[0], 256, acl);
        rk::BlockDecoder d(t.get());
        int16_t p = 0;
        for (auto& blk : decoded) check += static_cast<int>(d.Decode(blk.data(), dc, ac, &p));
        d.Sync();
      }
      b = Clock::now();
      const double fast = Seconds(a, b);
      if (decoded != blocks) std::printf("  MISMATCH\n");
      std::printf("  entropy %-9s plain %7.1f MB/s %6.2f Mblocks/s | fast %7.1f MB/s %6.2f Mblocks/s | x%.1f\n",
                  withLut ? "(buffer)" : "(search)", mb / plain, nblocks / plain / 1e6, mb / fast,
                  nblocks / fast / 1e6, plain / fast);
    }

    std::vector<Block> work = decoded;
    for (auto& b : work) rk::DequantizeBlock(b.data(), t->quantTable[0]);
    const std::vector<Block> deq = work;
    for (int fast = 0; fast < 2; ++fast) {
      auto a = Clock::now();
      for (int r = 0; r < repeats; ++r) {
        work = deq;
        for (auto& b : work) {
          if (fast) rk::InverseTransformBlock(t.get(), b.data());
          else rk::reference::InverseTransformBlock(t.get(), b.data());
        }
        check += work[r % work.size()][r % 64];
      }
      auto b = Clock::now();
      std::printf("  idct %-5s %6.2f Mblocks/s (copy included)\n", fast ? "fast" : "plain", nblocks / Seconds(a, b) / 1e6);
    }
  }

  auto a = Clock::now();
  for (int r = 0; r < 1000; ++r) {
    rk::HuffLookup ac(t->acCodeTable[0], 256, nullptr);
    unsigned s, l;
    check += ac.Match(static_cast<uint32_t>(r), &s, &l);
  }
  auto b = Clock::now();
  std::printf("HuffLookup build (AC, searched): %.1f us\n", Seconds(a, b) * 1e3);
  std::printf("(checksum %ld)\n", check);
  return 0;
}
