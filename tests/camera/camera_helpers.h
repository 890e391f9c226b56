// Helpers of the camera-data tests: module tables, packed bitmaps and the
// heap blocks the exports return.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace cameratest {

using Bytes = std::vector<uint8_t>;

// A module table set up as the image-processing unit (gamma curves) or for
// the codecs only; freed at the end.
struct Table {
  Bytes block = Bytes(RkGetCompressBlkSize());
  explicit Table(bool unit = true) {
    if (unit) {
      RkInitKSLVImageProcessUnit(get());
    } else {
      RkInitModuleTable(get());
    }
  }
  ~Table() { RkFreeModuleTable(get()); }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

// The picture of a packed bitmap (40-byte header, bottom-up BGR rows).
inline rktest::Rgb FromPacked(const uint8_t* packed) {
  int32_t width = 0, height = 0;
  std::memcpy(&width, packed + 4, 4);
  std::memcpy(&height, packed + 8, 4);
  rktest::Bitmap24 bitmap(width, height);
  std::memcpy(bitmap.bytes.data(), packed + 40, bitmap.bytes.size());
  return bitmap.ToRgb();
}

// Copies a returned heap block of `size` bytes and frees it.
inline Bytes Take(void* block, size_t size) {
  Bytes out;
  if (block != nullptr) out.assign(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size);
  std::free(block);
  return out;
}

// The pixels of a picture as the compound encoder takes them: 640 x 480,
// bottom-up blue-green-red, row stride 1920.
inline Bytes BottomUpPixels(const rktest::Rgb& img) {
  rktest::Bitmap24 bitmap(img);
  return bitmap.bytes;
}

// A progress callback that answers the value in userData and counts calls.
struct Answer {
  int16_t value = 0;
  int calls = 0;
  int32_t lastDone = -1, lastTotal = -1;
  UserCallBackRec rec() { return UserCallBackRec{&Proc, reinterpret_cast<uintptr_t>(this)}; }
  static int16_t Proc(int32_t done, int32_t total, void*, uintptr_t data) {
    auto* self = reinterpret_cast<Answer*>(data);
    ++self->calls;
    self->lastDone = done;
    self->lastTotal = total;
    return self->value;
  }
};

}  // namespace cameratest
