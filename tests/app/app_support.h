// Helpers for the core's tests: a user interface that collects messages,
// a private profile store, files, fixtures and JPEG through libjpeg-turbo.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bitmap.h"
#include "messages.h"
#include "rastkit_bridge.h"

namespace apptest {

class CollectingUi : public corvid::UserInterface {
 public:
  void Report(corvid::Message message) override { messages.push_back(message); }
  void Busy(bool on) override {
    depth += on ? 1 : -1;
    if (on) ++busyCalls;
  }
  std::vector<corvid::Message> messages;
  int depth = 0;
  int busyCalls = 0;
};

// An RGB picture, top-down, 3 bytes a pixel.
struct Rgb {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> px;
};

Rgb Gradient(int width, int height, uint32_t seed = 1);
// Copies a top-down RGB picture into a new pixel block (bottom-up BGR).
std::unique_ptr<corvid::PixelBlock> ToBlock(const Rgb& rgb);
// The block's picture as top-down RGB.
Rgb FromBlock(const corvid::PixelBlock& block);
Rgb LoadPpm(const QString& path);
// Largest and mean absolute sample difference (1000 when the sizes differ).
int MaxDifference(const Rgb& a, const Rgb& b);
double MeanDifference(const Rgb& a, const Rgb& b);

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
QString Fixture(const char* relative);

// JFIF from libjpeg-turbo (4:2:0), baseline unless progressive is asked for.
QByteArray TurboEncode(const Rgb& rgb, int quality = 90, bool progressive = false);
// Decodes with libjpeg-turbo; empty picture when it refuses the stream.
Rgb TurboDecode(const QByteArray& jpeg);

// Reads a TIFF file with libtiff (TIFFReadRGBAImage); empty picture when
// libtiff refuses it.
Rgb LibtiffDecode(const QString& path);
// Writes the picture as an uncompressed RGB TIFF with libtiff.
void LibtiffWrite(const QString& path, const Rgb& rgb);

// The file names in a folder, sorted.
std::vector<QString> Entries(const QString& folder);

// Runs a peer tool (cjpeg, jpegtran, exiftool...) and returns its standard
// output; the test fails when it cannot run or exits with other than 0.
QByteArray RunTool(const QString& program, const QStringList& args, const QByteArray& input = {});
// A binary P6 file of the picture.
QByteArray Ppm(const Rgb& rgb);
// A CAM file whose only section (tag 4) is the JPEG stream.
QByteArray CamWithJpeg(const QByteArray& jpeg);
// A little-endian TIFF of one directory that holds `jpeg` the old way
// (Compression 6, JPEGInterchangeFormat and its length), as early scanners
// and cameras wrote it.
QByteArray OldJpegTiff(const QByteArray& jpeg, int width, int height);

}  // namespace apptest

