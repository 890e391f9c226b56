// The desktop reading path of the thumbnailer and the Qt image plugin over
// arbitrary bytes: the content check on a file's first bytes, inspection
// (CAM container, the embedded JPEG's frame), and reading at the natural
// size and at a size that needs scaling (the other CAM output sizes are
// the CAM decoder's own target's). Every pixel of a picture that comes out
// is read, so uninitialised memory shows.
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>

#include "cam_picture.h"

namespace {

// Embedded JPEG frames beyond 1024 x 1024 are not decoded here: their
// headers are checked like any other, and decoding them would only slow
// the search down.
constexpr qint64 kMaxFuzzPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvid::camread;
  const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  (void)LooksLikeCam(file.left(64 * 1024));
  CamFile found;
  if (Inspect(file, &found) != Status::kOk) return 0;
  if (static_cast<qint64>(found.size.width()) * found.size.height() > kMaxFuzzPixels) return 0;
  volatile uint32_t sink = 0;
  for (QSize wanted : {QSize(), QSize(97, 61)}) {
    QImage picture;
    if (ReadPicture(file, wanted, &picture) != Status::kOk) continue;
    uint32_t sum = 0;
    for (int y = 0; y < picture.height(); ++y) {
      const uchar* row = picture.constScanLine(y);
      for (qsizetype i = 0; i < qsizetype{picture.width()} * 4; ++i) sum += row[i];
    }
    sink = sink + sum;
  }
  return 0;
}
