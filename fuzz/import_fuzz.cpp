// The program's import path over arbitrary bytes: recognition (CAM
// container, JPEG inside a CAM file, JPEG, TIFF), the sized checks before
// any decode, decoding into a pixel block, and, when a picture came out,
// saving it as BMP and JPEG into memory. Also the BMP reader of CDib.
// Auto conversion stays off (default settings, nothing stored).
#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "dib.h"
#include "messages.h"
#include "rk_dib.h"

namespace {

class Silent : public corvid::UserInterface {
 public:
  void Report(corvid::Message) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  Silent ui;
  {
    corvid::CRKDib image(ui, corvid::CRKDib::Profile::Ignore);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    if (image.ImportFile(in, QStringLiteral("/fuzz/input.cam")) && image.HasPicture()) {
      for (const char* name : {"out.bmp", "out.jpg"}) {
        QByteArray written;
        QBuffer out(&written);
        out.open(QIODevice::WriteOnly);
        (void)image.ExportFile(out, QString::fromLatin1(name));
      }
    }
  }
  {
    corvid::CDib dib(ui);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    (void)dib.ReadBmp(in);
  }
  return 0;
}
