// The image operations on a 12-megapixel photo-like picture, in the
// program's layout (bottom-up, blue-green-red, rows padded to 4 bytes):
// megapixels per second of each, and beside ImageMagick (convert, one
// thread) where it has the same operation. ImageMagick's time is its CPU
// time for the operation less that of reading and writing the same
// picture without it; the ratio is ImageMagick's time over ours.
//
//   filters_bench [width height] [--no-peer]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace {

double CpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double ChildSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// CPU seconds of one convert run, or a negative value when it failed.
double RunConvert(const std::string& in, const std::string& op, const std::string& out) {
  const std::string cmd = "convert -limit thread 1 " + in + " " + op + " " + out + " 2>/dev/null";
  const double before = ChildSeconds();
  if (std::system(cmd.c_str()) != 0) return -1;
  return ChildSeconds() - before;
}

struct Bitmap {
  int width, height;
  std::vector<uint8_t> bytes;
  Bitmap(int w, int h) : width(w), height(h), bytes(static_cast<size_t>((w * 3 + 3) & ~3) * h, 0) {}
  ImageBlkAttrRec Record() {
    ImageBlkAttrRec r{};
    r.width = static_cast<uint16_t>(width);
    r.height = static_cast<uint16_t>(height);
    r.pixels = bytes.data();
    r.rowStride = (width * 3 + 3) & ~3;
    r.redOffset = 2, r.greenOffset = 1, r.blueOffset = 0, r.pixelStride = 3, r.bottomUp = 1;
    return r;
  }
};

Bitmap FromRgb(const rktest::Rgb& img) {
  Bitmap b(img.width, img.height);
  const int stride = (img.width * 3 + 3) & ~3;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      uint8_t* p = &b.bytes[static_cast<size_t>(img.height - 1 - y) * stride + 3 * x];
      const uint8_t* s = img.at(x, y);
      p[0] = s[2], p[1] = s[1], p[2] = s[0];
    }
  return b;
}

struct Case {
  const char* name;
  // Runs the operation once on fresh copies; returns its result.
  std::function<int16_t(ModuleTableRec*, Bitmap& image, Bitmap& dest)> run;
  int destWidth = 0, destHeight = 0;  // 0: the source's size
  const char* peer = nullptr;          // ImageMagick's same operation
};

}  // namespace

int main(int argc, char** argv) {
  int width = 4000, height = 3000;
  bool peer = true;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--no-peer") peer = false;
    else if (i + 1 < args.size()) width = std::atoi(args[i].c_str()), height = std::atoi(args[++i].c_str());
  }
  const double mp = width * static_cast<double>(height) / 1e6;
  std::printf("%d x %d (%.1f MP), best of 2 runs; ImageMagick: %s\n", width, height, mp,
              peer ? "convert -limit thread 1" : "skipped");
  const rktest::Rgb picture = rktest::MakePhotoLike(width, height, 21);
  const Bitmap source = FromRgb(picture);
  std::string in = "/tmp/rk_filters_bench_" + std::to_string(getpid());
  const std::string out = in + "_out.ppm";
  in += "_in.ppm";
  double ioSeconds = 0;
  if (peer) {
    rktest::SavePpm(in, picture);
    ioSeconds = RunConvert(in, "", out);
    if (ioSeconds < 0) {
      std::printf("convert failed; ImageMagick skipped\n");
      peer = false;
    }
  }

  // Rotation by 30 degrees into the turned picture's bounding box.
  const double theta = 30 * std::numbers::pi / 180;
  const int rw = static_cast<int>(std::lround(width * std::cos(theta) + height * std::sin(theta)));
  const int rh = static_cast<int>(std::lround(width * std::sin(theta) + height * std::cos(theta)));
  const int16_t sharpenGain = 64;
  const uint16_t allEight = 0x7;
  const std::vector<Case> cases = {
      {"median 3x3 (RGB, nine points)", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkRemoveNoiseFilter(t, &r, 0x0BBB, nullptr); },
       0, 0, "-virtual-pixel edge -statistic Median 3x3"},
      {"median 3x3 (YCbCr)", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkRemoveNoiseFilter(t, &r, 0x1BBB, nullptr); }},
      {"mean 3x3", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkRemoveNoiseFilter(t, &r, 0x0AAA, nullptr); },
       0, 0, "-virtual-pixel edge -statistic Mean 3x3"},
      {"block-noise reduction + sharpening", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkBlockNoiseReductionFilter(t, &r, 1, nullptr); }},
      {"sharpen (RGB, gain 64, eight neighbours)", [&](auto t, auto& a, auto&) {
         auto r = a.Record();
         const EdgeEnhanceParamRec p{0x0888, 1, &sharpenGain, &allEight};
         return RkEdgeEnhanceFilter(t, &r, &p, nullptr);
       }, 0, 0, "-sharpen 0x1"},
      {"chroma enhance (level 180)", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkChromaEnhanceFilter(t, &r, 180, nullptr); }},
      {"automatic white balance", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkAutomaticWhiteBalance(t, &r, nullptr, nullptr, nullptr); }},
      {"blur (diamond, radius 2)", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkBluringImage(t, &r, &s, 2, 0, nullptr); },
       0, 0, "-define convolve:scale=! -morphology Convolve Diamond:2"},
      {"blur (diamond, radius 2) vs -blur 0x2", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkBluringImage(t, &r, &s, 2, 0, nullptr); },
       0, 0, "-blur 0x2"},
      {"blur (diamond, radius 8)", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkBluringImage(t, &r, &s, 8, 0, nullptr); },
       0, 0, "-define convolve:scale=! -morphology Convolve Diamond:8"},
      {"blur, falling weights (radius 2)", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkBluringVPImage(t, &r, &s, 2, 0, nullptr); }},
      {"out of focus (radius 4)", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkBluringOutFocusImage(t, &r, &s, 4, nullptr); }},
      {"distortion (level -100)", [](auto t, auto& a, auto&) { auto r = a.Record(); return RkDistortionFilter(t, &r, -100, nullptr); }},
      {"rotate 30 degrees (bilinear, bounding box)", [&](auto t, auto& a, auto& d) {
         auto s = a.Record(), r = d.Record();
         r.auxCount1 = static_cast<uint16_t>((rw - width) / 2);
         r.auxCount2 = static_cast<uint16_t>((rh - height) / 2);
         return RkFreeRotateImage(t, &r, &s, 1800, 0, nullptr);
       }, rw, rh, "-rotate 30"},
      {"tilt vertical 20 degrees", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkTiltVertImage(t, &r, &s, 1200, 0, nullptr); }},
      {"resize to 50% (bilinear)", [](auto t, auto& a, auto& d) { auto s = a.Record(), r = d.Record(); return RkSamplingResizeImage(t, &r, &s, 1, nullptr); },
       width / 2, height / 2, "-resize 50%"},
  };

  std::vector<uint8_t> tableBlock(RkGetCompressBlkSize());
  auto* table = reinterpret_cast<ModuleTableRec*>(tableBlock.data());
  RkInitModuleTable(table);
  std::printf("%-44s %9s %9s %9s %7s\n", "operation", "ours s", "MP/s", "IM s", "IM/ours");
  for (const Case& c : cases) {
    double best = 1e30;
    int16_t result = 0;
    for (int round = 0; round < 2; ++round) {
      Bitmap image = source;
      Bitmap dest(c.destWidth ? c.destWidth : width, c.destHeight ? c.destHeight : height);
      const double t0 = CpuSeconds();
      result = c.run(table, image, dest);
      best = std::min(best, CpuSeconds() - t0);
    }
    std::printf("%-44s %9.3f %9.1f", c.name, best, mp / best);
    if (result < 0) std::printf("  (result %d)", result);
    if (peer && c.peer != nullptr) {
      const double im = RunConvert(in, c.peer, out) - ioSeconds;
      std::printf(" %9.3f %6.1fx", im, im / best);
    }
    std::printf("\n");
  }
  RkFreeModuleTable(table);
  if (peer) std::remove(in.c_str()), std::remove(out.c_str());
  return 0;
}
