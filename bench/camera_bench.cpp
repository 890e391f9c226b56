// Camera-data pipelines, time per picture: a KSLV image stream decoded to
// 480 x 360, KSTM image data decoded to 640 x 480, and the compound KSTM
// encoder on a 640 x 480 picture (target 65536 bytes). Beside each, the
// nearest thing libjpeg-turbo (TurboJPEG, a test-only peer) does: decoding
// the same entropy-coded data as a JFIF stream (the KSLV stream as it is,
// the KSTM data through RkExportVCameraDataToJPEG) and a 4:2:2 baseline
// encode of the same picture at quality 85. The camera pipelines do more
// than the peer (white balance, two gamma curves, scaling, sharpening and
// saturation; a thumbnail, the detail measure and sometimes a second
// coding), so the ratio shows what that costs, not a race of equals.
//
//   camera_bench
//
// Times are the best of kRepeats runs in thread CPU time; the target is
// under 5 ms per picture for each pipeline.
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "camera_writer.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

constexpr int kRepeats = 15;

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Best(const std::function<void()>& run) {
  double best = 1e30;
  for (int i = 0; i < kRepeats; ++i) {
    const double start = CpuMs();
    run();
    best = std::min(best, CpuMs() - start);
  }
  return best;
}

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitKSLVImageProcessUnit(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

double PeerDecode(const std::vector<uint8_t>& jpeg, int width, int height) {
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
  const double ms = Best([&] {
    if (tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), width, 0, height, TJPF_BGR,
                      TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT) != 0) {
      std::fprintf(stderr, "peer decode failed: %s\n", tjGetErrorStr2(handle));
      std::exit(1);
    }
  });
  tjDestroy(handle);
  return ms;
}

void Report(const char* name, double ours, double peer) {
  std::printf("%-34s ours %7.3f ms   peer %7.3f ms   ours/peer time %5.2f   %s\n", name, ours, peer, ours / peer,
              ours < 5.0 ? "under 5 ms" : "OVER 5 ms");
}

}  // namespace

int main() {
  const rktest::Rgb photo = rktest::MakePhotoLike(640, 480, 5);
  rktools::Picture pic(640, 480);
  pic.rgb = photo.px;

  // KSLV image stream (4:2:2, restart interval 6) to 480 x 360.
  std::vector<uint8_t> kslv;
  rktools::KslvImageOptions options;
  options.restartInterval = 6;
  options.reference = {104, 92, 117, 99};
  if (!rktools::WriteKslvImage(pic, options, kslv)) return 1;
  {
    Table unit;
    rktest::Bitmap24 bitmap(480, 360);
    ImageBlkAttrRec image{};
    const double ours = Best([&] {
      bitmap.Describe(image);
      if (RkDecompressCameraImage(unit.get(), kslv.data(), static_cast<uint32_t>(kslv.size()), &image, nullptr) != 0)
        std::exit(1);
    });
    Report("KSLV image to 480x360", ours, PeerDecode(kslv, 480, 240));
  }

  // KSTM image data to 640 x 480.
  std::vector<uint8_t> kstm;
  if (!rktools::WriteKstmImage(pic, 0.5, kstm)) return 1;
  {
    Table table;
    std::vector<uint8_t> block(RkGetDIBKSTMCameraImageSize());
    const double ours = Best([&] {
      if (RkConvertDIBKSTMCameraImage(table.get(), kstm.data(), static_cast<int32_t>(kstm.size()), block.data(),
                                      nullptr) != 0)
        std::exit(1);
    });
    std::vector<uint8_t> jfif(kstm.size() + 1024);
    jfif.resize(RkExportVCameraDataToJPEG(kstm.data() + 8, nullptr, 0, kstm.data() + 136,
                                          static_cast<uint32_t>(kstm.size() - 136), jfif.data()));
    Report("KSTM image to 640x480", ours, PeerDecode(jfif, 640, 480));
  }

  // The compound encoder.
  {
    const rktest::Bitmap24 bitmap(photo);
    uint32_t size = 0;
    const double ours = Best([&] {
      size = 65536;
      int16_t result = 1;
      void* block = RkGetCompImgKSTMRawData(bitmap.bytes.data(), &size, &result, nullptr);
      if (block == nullptr || result != 0) std::exit(1);
      std::free(block);
    });
    tjhandle handle = tjInitCompress();
    const double peer = Best([&] {
      unsigned char* out = nullptr;
      unsigned long bytes = 0;
      if (tjCompress2(handle, bitmap.bytes.data(), 640, bitmap.stride, 480, TJPF_BGR, &out, &bytes, TJSAMP_422, 85,
                      TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT) != 0)
        std::exit(1);
      tjFree(out);
    });
    tjDestroy(handle);
    Report("compound encoder (640x480)", ours, peer);
    std::printf("  compound data: %u bytes\n", size);
  }
  return 0;
}
