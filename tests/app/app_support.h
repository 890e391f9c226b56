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

// The file names in a folder, sorted.
std::vector<QString> Entries(const QString& folder);

}  // namespace apptest

// Tests of paths that need a codec family skip, saying so, until the
// library exports it (see rastkit_bridge.h).
#define REQUIRE_CAM_DECODER() \
  if (!corvid::lib::HasCamDecoder()) GTEST_SKIP() << "rastkit exports no CAM decoder yet"
#define REQUIRE_CAM_CONTAINER() \
  if (!corvid::lib::HasCamContainer()) GTEST_SKIP() << "rastkit exports no CAM container reader yet"
#define REQUIRE_JPEG_DECODER() \
  if (!corvid::lib::HasJpegDecoder()) GTEST_SKIP() << "rastkit exports no JPEG decoder yet"
#define REQUIRE_JPEG_ENCODER() \
  if (!corvid::lib::HasJpegEncoder()) GTEST_SKIP() << "rastkit exports no JPEG encoder yet"
