// rk-camerawrite KIND IN.ppm OUT: makes camera test data from a picture
// with the camera-data writer. KIND is kslv-thumbnail, kslv (4:2:2 with a
// white reference of 100, 100, 100, 100), kslv420-rst (4:2:0, restart
// interval 5), kstm (scale 0.5) or kstm-thumbnail.
#include <cstdio>
#include <string>
#include <vector>

#include "camera_writer.h"
#include "picture.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: rk-camerawrite kslv-thumbnail|kslv|kslv420-rst|kstm|kstm-thumbnail IN.ppm OUT\n");
    return 2;
  }
  const std::string kind = argv[1];
  rktools::Picture pic;
  if (!rktools::ReadPpm(argv[2], pic)) {
    std::fprintf(stderr, "rk-camerawrite: cannot read %s\n", argv[2]);
    return 1;
  }
  std::vector<uint8_t> out;
  bool ok = true;
  if (kind == "kslv-thumbnail") {
    out = rktools::WriteKslvThumbnail(pic);
  } else if (kind == "kslv" || kind == "kslv420-rst") {
    rktools::KslvImageOptions options;
    if (kind == "kslv420-rst") {
      options.format = 0x3005;
      options.restartInterval = 5;
    }
    ok = rktools::WriteKslvImage(pic, options, out);
  } else if (kind == "kstm") {
    ok = rktools::WriteKstmImage(pic, 0.5, out);
  } else if (kind == "kstm-thumbnail") {
    ok = rktools::WriteKstmThumbnail(pic, out);
  } else {
    std::fprintf(stderr, "rk-camerawrite: unknown kind %s\n", kind.c_str());
    return 2;
  }
  if (!ok || !rktools::WriteFile(argv[3], out)) {
    std::fprintf(stderr, "rk-camerawrite: cannot make or write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
