// rk-makesamples DIR [SEEDS]: writes the bundled sample CAM files into DIR
// and, when SEEDS is given, small seed files for the CAM fuzz target into
// SEEDS. Every picture is built from integer arithmetic, so the files come
// out the same byte for byte on every run.
#include <algorithm>
#include <cstdio>
#include <string>

#include "cam_writer.h"
#include "picture.h"

namespace {

struct Sample {
  const char* name;
  rktools::Picture (*make)(int, int);
  int width, height;
  rktools::CamWriteOptions options;
};

rktools::CamWriteOptions Options(bool bigEndian, double scale, bool thumb, int unknown, bool cam, bool jpeg) {
  rktools::CamWriteOptions o;
  o.bigEndian = bigEndian;
  o.lumaScale = o.chromaScale = scale;
  o.thumbnail = thumb;
  o.unknownSections = unknown;
  o.camPicture = cam;
  o.jpegSection = jpeg;
  return o;
}

bool Emit(const Sample& s, const std::string& dir) {
  std::vector<uint8_t> file;
  const auto status = rktools::WriteCam(s.make(s.width, s.height), s.options, file);
  const std::string path = dir + "/" + s.name + ".cam";
  if (status != rktools::CamWriteStatus::kOk) {
    std::fprintf(stderr, "rk-makesamples: %s: %s\n", s.name, rktools::ToString(status));
    return false;
  }
  if (!rktools::WriteFile(path, file)) {
    std::fprintf(stderr, "rk-makesamples: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s (%zu bytes)\n", path.c_str(), file.size());
  return true;
}

rktools::Picture Flat(int width, int height) {
  rktools::Picture p(width, height);
  std::fill(p.rgb.begin(), p.rgb.end(), 128);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: rk-makesamples DIR [SEEDS]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const Sample samples[] = {
      {"colour_chart", rktools::ColourChart, 480, 240, Options(false, 0.25, false, 1, true, false)},
      {"photo_scene", rktools::PhotoScene, 480, 240, Options(true, 0.5, true, 0, true, false)},
      {"lines_text", rktools::LinesAndText, 480, 240, Options(true, 0.35, false, 0, true, false)},
      // Larger than the CAM grid, as a camera's JPEG picture would be.
      {"jpeg_section", rktools::PhotoScene, 640, 480, Options(true, 1.0, true, 0, false, true)},
  };
  // Seeds: small files that reach every part of the decoder quickly.
  const Sample seeds[] = {
      {"flat_grey", Flat, 480, 240, Options(false, 1.0, false, 1, true, false)},
      {"coarse_chart", rktools::ColourChart, 480, 240, Options(true, 8.0, false, 0, true, false)},
      {"coarse_lines", rktools::LinesAndText, 480, 240, Options(false, 4.0, false, 0, true, false)},
      {"tiny_jpeg", rktools::PhotoScene, 16, 16, Options(true, 1.0, false, 1, false, true)},
  };
  const bool withSeeds = argc == 3;
  for (const Sample& s : samples) {
    if (!Emit(s, dir)) return 1;
  }
  if (withSeeds) {
    for (const Sample& s : seeds) {
      if (!Emit(s, argv[2])) return 1;
    }
  }
  return 0;
}

