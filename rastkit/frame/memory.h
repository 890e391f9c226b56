// Memory helpers shared by every codec: the zero-filling allocator, a byte
// copy and a free that ignores null, plus the scratch-area rule (take the
// caller's work shop when one is installed, else allocate for the call).
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastkit.h"

namespace rk {

// count * size zero-filled bytes, or null on failure or when the product
// overflows. Pair with FreeMemory.
[[nodiscard]] void* AllocZeroed(size_t count, size_t size);
void FreeMemory(void* block);
// Copies count bytes; nothing for count <= 0.
void CopyBytes(const void* source, void* destination, int64_t count);

// Scratch memory for the duration of one call. With a work shop installed
// the area is its first `size` bytes (the caller sized the shop with the
// matching work-space query); otherwise a zero-filled block is allocated and
// freed when the Scratch goes out of scope, on every return path. Areas of
// kHugeAreaBytes and more are mapped with large pages where the system
// offers them (Linux).
class Scratch {
 public:
  Scratch(const ModuleTableRec* table, size_t size);
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  [[nodiscard]] bool ok() const { return data_ != nullptr; }
  [[nodiscard]] uint8_t* data() const { return data_; }
  [[nodiscard]] bool fromWorkShop() const { return !owned_; }

 private:
  static constexpr size_t kHugeAreaBytes = size_t{4} << 20;
  uint8_t* data_ = nullptr;
  void* map_ = nullptr;  // the mapping that holds data_, when mapped
  size_t mapped_ = 0;    // bytes mapped by this Scratch, else 0
  bool owned_ = false;
};

}  // namespace rk
