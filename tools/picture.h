// Pictures for the tools: top-down RGB, PPM in and out, a small 24-bit BMP
// writer, area resizing, and the procedural pictures of the bundled samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rktools {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // top-down, red, green, blue
  Picture() = default;
  Picture(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {}
  uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Binary P6, maxval 255. False when the file is missing or not such a PPM.
bool ReadPpm(const std::string& path, Picture& out);
bool WritePpm(const std::string& path, const Picture& pic);

// Whole-file helpers.
bool ReadFile(const std::string& path, std::vector<uint8_t>& out);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A 24-bit uncompressed BMP file: 14-byte file header, 40-byte information
// header, bottom-up rows of blue, green, red padded to 4 bytes. rows points
// at the first stored (bottom) row, rowStride bytes apart.
std::vector<uint8_t> BmpFile(int width, int height, const uint8_t* rows, int32_t rowStride);

// Area-average resize (each output pixel the mean of the source area it
// covers, in integer arithmetic); a copy when the size is already right.
Picture Resize(const Picture& src, int width, int height);

// Deterministic pictures built from integer arithmetic only, so that they
// come out the same on every machine.
Picture ColourChart(int width, int height);   // patches, hue ramps, grey steps
Picture PhotoScene(int width, int height);    // sky, hills, sun, soft texture
Picture LinesAndText(int width, int height);  // hairlines, gratings, lettering

}  // namespace rktools
