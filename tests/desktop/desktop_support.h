// Helpers for the tests of the thumbnailer and the Qt image plugin: the
// bundled samples, damaged variants of them, and a reference decode made
// with the library's exports directly (not through the reading helper the
// thumbnailer and the plugin share).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

namespace desktoptest {

QByteArray ReadFile(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray Sample(const char* name);  // samples/<name>

// A top-down RGB picture, 3 bytes a pixel.
struct Rgb {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> px;
  bool operator==(const Rgb&) const = default;
};
// The CAM file's picture decoded by the library into an RGB buffer: a
// CAM-coded picture at camSize, an embedded JPEG at its own size. Empty
// when the library refuses the file.
Rgb LibraryDecode(const QByteArray& file, QSize camSize);
Rgb FromImage(const QImage& image);

// Ways to damage a CAM-coded file whose directory and sizes stay intact.
enum class Damage {
  kLumaAllOnes,      // every byte of the Y stream 0xFF
  kZeroedTail,       // the second half of Y and all of Cb and Cr zeroed
  kRestartMarkers,   // restart markers in the middle of the Y stream
  kShortLumaLength,  // the picture header claims half the Y stream
};
QByteArray Damaged(const QByteArray& camCoded, Damage damage);

// The name of each Damage, for test names.
const char* DamageName(Damage damage);

}  // namespace desktoptest
