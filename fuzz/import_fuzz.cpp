// The program's import path over arbitrary bytes: recognition (CAM
// container, JPEG inside a CAM file, TIFF, JPEG), the sized checks before
// any decode, decoding into a pixel block (baseline and progressive JPEG,
// TIFF and the old-style JPEG inside it), Exif reading, and, when a
// picture came out, saving it as BMP, TIFF and JPEG into memory in the
// File Style the input's length picks (normal, progressive, Exif). Also
// the BMP reader of CDib. Auto conversion stays off (nothing stored).
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
    image.settings().fileStyle = static_cast<corvid::FileStyle>(size % 3);
    image.settings().alwaysCompress = 1;
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    if (image.ImportFile(in, QStringLiteral("/fuzz/input.cam")) && image.HasPicture()) {
      // Every line of the information text (the texts point into the file).
      int16_t index = 0;
      while (!image.Exif().NextLine(&index).isEmpty()) {
      }
      (void)image.Exif().ToJson();
      for (const char* name : {"out.bmp", "out.jpg", "out.tif"}) {
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
