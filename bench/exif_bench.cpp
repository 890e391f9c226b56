// Exif save and read: RkExportCustomExifFile of a 12-megapixel picture
// (thumbnail + encode) beside the plain JFIF export of the same picture and
// tables, the thumbnail's own cost (shrink into 160 x 120 and its encode),
// and RkCheckExifFile + RkDecodeExifHeader on a camera-style Exif JPEG.
//
//   exif_bench [width height]
//
// Best of three rounds each; the thumbnail must stay under 5 % of the save.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rastkit.h"

namespace {

constexpr int kRounds = 3;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename F>
double Best(int repeats, F&& run) {
  double best = 1e30;
  for (int r = 0; r < kRounds; ++r) {
    const double t0 = Now();
    for (int i = 0; i < repeats; ++i) run();
    best = std::min(best, (Now() - t0) / repeats);
  }
  return best;
}

// The program's bottom-up blue-green-red block of a photo-like picture.
struct Picture {
  int width, height, stride;
  std::vector<uint8_t> bytes;
};

Picture MakePicture(int w, int h) {
  Picture p{w, h, (w * 3 + 3) & ~3, {}};
  p.bytes.assign(static_cast<size_t>(p.stride) * h, 0);
  uint32_t seed = 7;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = p.bytes.data() + static_cast<size_t>(y) * p.stride;
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 28) - 8;
      const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
      auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); };
      row[3 * x + 2] = byte(90 + 120 * fx + 30 * std::sin(fy * 9) + grain);
      row[3 * x + 1] = byte(70 + 100 * fy + 40 * std::sin((fx + fy) * 7) + grain);
      row[3 * x + 0] = byte(150 - 80 * fx * fy + grain);
    }
  }
  return p;
}

void Describe(Picture& p, ImageBlkAttrRec& image) {
  image = {};
  image.width = static_cast<uint16_t>(p.width);
  image.height = static_cast<uint16_t>(p.height);
  image.pixels = p.bytes.data();
  image.rowStride = p.stride;
  image.redOffset = 2;
  image.greenOffset = 1;
  image.pixelStride = 3;
  image.bottomUp = 1;
  image.format = 0x3001;
}

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

}  // namespace

int main(int argc, char** argv) {
  const int w = argc > 2 ? std::atoi(argv[1]) : 4000;
  const int h = argc > 2 ? std::atoi(argv[2]) : 3000;
  Picture pic = MakePicture(w, h);
  Table table;
  const double scale = 1.0;
  std::vector<uint8_t> out(pic.bytes.size() / 2 + RK_EXIF_EXPORT_EXTRA);

  static const char kMake[] = "Kite", kModel[] = "K-7";
  const ExifDateTimeRec date{2024, 6, 1, 12, 0, 0};
  ExifTagInfoRec info{};
  RkInitExifTagVers(&info);
  RkInitExifTagInfo(&info);
  info.make = kMake;
  info.makeLength = sizeof kMake;
  info.model = kModel;
  info.modelLength = sizeof kModel;
  info.dateTime = info.dateTimeOriginal = info.dateTimeDigitized = &date;
  info.exposureTime = 1.0f / 125;
  info.fNumber = 4.0f;

  ImageBlkAttrRec image{};
  uint32_t jfifBytes = 0, exifBytes = 0;
  const double jfif = Best(1, [&] {
    Describe(pic, image);
    image.data = out.data();
    image.dataLength = static_cast<uint32_t>(out.size());
    RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
    if (RkExportImageByJFIF(table.get(), &image, nullptr) != RK_OK) std::abort();
    jfifBytes = image.dataLength;
  });
  const double exif = Best(1, [&] {
    Describe(pic, image);
    image.data = out.data();
    image.dataLength = static_cast<uint32_t>(out.size());
    if (RkExportCustomExifFile(table.get(), &scale, &scale, &info, &image, nullptr) != RK_OK) std::abort();
    exifBytes = image.dataLength;
  });
  const std::vector<uint8_t> saved(out.begin(), out.begin() + exifBytes);

  // The thumbnail alone: the shrink into the canvas, then its encode.
  std::vector<uint8_t> canvas(160 * 120 * 3), stream(64000);
  const double thumb = Best(3, [&] {
    ImageBlkAttrRec src{}, dst{};
    Describe(pic, src);
    dst.width = 160;
    dst.height = 120;
    dst.pixels = canvas.data();
    dst.rowStride = 480;
    dst.redOffset = 2;
    dst.greenOffset = 1;
    dst.pixelStride = 3;
    dst.bottomUp = 1;
    RkShrinkingResizeImage(table.get(), &dst, &src, nullptr);
    dst.format = 0x3001;
    dst.data = stream.data();
    dst.dataLength = static_cast<uint32_t>(stream.size());
    const double q = 0.75;
    RkSetQuantizeScaleFactor(table.get(), &q, &q);
    if (RkExportImageByExif(table.get(), &dst, nullptr, nullptr) != RK_OK) std::abort();
  });

  const double shrink = Best(3, [&] {
    ImageBlkAttrRec src{}, dst{};
    Describe(pic, src);
    dst.width = 160;
    dst.height = 120;
    dst.pixels = canvas.data();
    dst.rowStride = 480;
    dst.redOffset = 2;
    dst.greenOffset = 1;
    dst.pixelStride = 3;
    dst.bottomUp = 1;
    RkShrinkingResizeImage(table.get(), &dst, &src, nullptr);
  });

  // Reading: a camera file when the fixtures are at hand, else our own.
  std::vector<uint8_t> file = saved;
#ifdef RK_FIXTURES_DIR
  {
    std::ifstream in(std::string(RK_FIXTURES_DIR) + "/exif/read_storm_MM_0220_thumb.jpg", std::ios::binary);
    if (in) file.assign(std::istreambuf_iterator<char>(in), {});
  }
#endif
  int16_t version = 0;
  const double read = Best(20000, [&] {
    int32_t limit = 0;
    if (RkCheckExifFile(file.data(), static_cast<int32_t>(file.size()), &limit) != 12) std::abort();
    limit = std::min<int32_t>(limit, static_cast<int32_t>(file.size()) - 12);
    ExifTagInfoRec r{};
    RkInitExifTagVers(&r);
    ImageBlkAttrRec im{};
    version = RkDecodeExifHeader(file.data() + 12, &limit, &im, &r);
  });

  std::printf("picture %d x %d, quantisation scale %.2f\n", w, h, scale);
  std::printf("  JFIF export            %8.1f ms  %9u bytes\n", jfif * 1e3, jfifBytes);
  std::printf("  Exif export (custom)   %8.1f ms  %9u bytes  ratio Exif / JFIF %.3f\n", exif * 1e3, exifBytes,
              exif / jfif);
  std::printf("  thumbnail (shrink+enc) %8.2f ms  = %.2f %% of the Exif export (limit 5 %%)\n", thumb * 1e3,
              100 * thumb / exif);
  std::printf("    of which the shrink  %8.2f ms\n", shrink * 1e3);
  std::printf("  Exif read (%zu-byte file, version %d) %.2f us per call\n", file.size(), version, read * 1e6);
  return thumb / exif < 0.05 ? 0 : 1;
}
