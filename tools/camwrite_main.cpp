// rk-camwrite IN.ppm OUT.cam [options]: writes a CAM file of a picture.
//   --ii              little-endian container ("II"; default "MM")
//   --scale S         quantisation scale of the standard tables (default 0.5)
//   --chroma-scale S  a different scale for the chrominance table
//   --thumbnail       add a thumbnail section (80x60 RGB bytes)
//   --unknown N       add N unknown sections (tag 9) before the picture
//   --jpeg            add a JPEG section (tag 4) holding the picture
//   --no-cam          leave out the CAM-coded picture (tag 3)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cam_writer.h"
#include "picture.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: rk-camwrite IN.ppm OUT.cam [--ii] [--scale S] [--chroma-scale S] [--thumbnail]\n"
               "                   [--unknown N] [--jpeg] [--no-cam]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  rktools::CamWriteOptions o;
  bool chromaGiven = false;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--ii") o.bigEndian = false;
    else if (a == "--thumbnail") o.thumbnail = true;
    else if (a == "--jpeg") o.jpegSection = true;
    else if (a == "--no-cam") o.camPicture = false;
    else if (a == "--scale" && hasValue) o.lumaScale = std::atof(argv[++i]);
    else if (a == "--chroma-scale" && hasValue) { o.chromaScale = std::atof(argv[++i]); chromaGiven = true; }
    else if (a == "--unknown" && hasValue) o.unknownSections = std::atoi(argv[++i]);
    else return Usage();
  }
  if (!chromaGiven) o.chromaScale = o.lumaScale;
  rktools::Picture pic;
  if (!rktools::ReadPpm(argv[1], pic)) {
    std::fprintf(stderr, "rk-camwrite: %s is not a binary PPM picture\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> file;
  const auto status = rktools::WriteCam(pic, o, file);
  if (status != rktools::CamWriteStatus::kOk) {
    std::fprintf(stderr, "rk-camwrite: %s\n", rktools::ToString(status));
    return 1;
  }
  if (!rktools::WriteFile(argv[2], file)) {
    std::fprintf(stderr, "rk-camwrite: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
