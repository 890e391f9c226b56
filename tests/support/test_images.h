// Pictures for tests: PPM files, procedural test scenes, the program's
// bottom-up BGR bitmap layout, and picture comparison measures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rastkit.h"

namespace rktest {

// An RGB picture, top-down, 3 bytes per pixel (red, green, blue).
struct Rgb {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> px;
  uint8_t* at(int x, int y) { return &px[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* at(int x, int y) const { return &px[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Binary P6 with maxval 255; fails the calling test (ADD_FAILURE) and
// returns an empty picture when the file cannot be read.
Rgb LoadPpm(const std::string& path);
void SavePpm(const std::string& path, const Rgb& img);
std::vector<uint8_t> ReadFile(const std::string& path);
// Path of a reference fixture below the shared fixtures folder.
std::string Fixture(const std::string& relative);

// Smooth gradients, soft shapes and mild texture: behaves like a photo
// under a DCT codec. Deterministic for a seed.
Rgb MakePhotoLike(int width, int height, uint32_t seed = 1);
// Uniformly random pixels.
Rgb MakeNoise(int width, int height, uint32_t seed = 1);

// The program's pixel block: bottom-up rows of blue, green, red, each row
// padded to a multiple of 4 bytes.
struct Bitmap24 {
  int width = 0;
  int height = 0;
  int32_t stride = 0;
  std::vector<uint8_t> bytes;
  explicit Bitmap24(const Rgb& img);
  Bitmap24(int w, int h, uint8_t fill = 0);
  // Points image's pixel fields at this bitmap.
  void Describe(ImageBlkAttrRec& image);
  Rgb ToRgb() const;
};

// Top-down 32-bit pixels as RkInitImageAttribute lays them out (byte 0
// unused, red, green, blue in bytes 1, 2, 3).
struct Buffer32 {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;
  explicit Buffer32(const Rgb& img, uint8_t byte0 = 0);
  Buffer32(int w, int h, uint8_t fill = 0);
  void Describe(ImageBlkAttrRec& image);
  Rgb ToRgb() const;
};

struct Difference {
  int maxAbs = 0;
  double mean = 0;
  double psnr = 0;  // dB; 99 for identical pictures
};
Difference Compare(const Rgb& a, const Rgb& b);

// A module table prepared with RkInitModuleTable and freed on destruction.
struct ModuleTable {
  std::vector<uint8_t> block;
  ModuleTable();
  ~ModuleTable();
  ModuleTable(const ModuleTable&) = delete;
  ModuleTable& operator=(const ModuleTable&) = delete;
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
  ModuleTableRec* operator->() { return get(); }
};

}  // namespace rktest
