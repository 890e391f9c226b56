#include "memory.h"

#include <cstdlib>
#include <cstring>

namespace rk {

void* AllocZeroed(size_t count, size_t size) {
  if (count == 0 || size == 0) return nullptr;
  return std::calloc(count, size);  // calloc refuses products that overflow
}

void FreeMemory(void* block) { std::free(block); }

void CopyBytes(const void* source, void* destination, int64_t count) {
  if (count <= 0 || source == nullptr || destination == nullptr) return;
  std::memmove(destination, source, static_cast<size_t>(count));
}

Scratch::Scratch(const ModuleTableRec* table, size_t size) {
  if (table != nullptr && table->workShop != nullptr) {
    data_ = static_cast<uint8_t*>(table->workShop);
    owned_ = false;
  } else {
    data_ = static_cast<uint8_t*>(AllocZeroed(size, 1));
    owned_ = true;
  }
}

Scratch::~Scratch() {
  if (owned_) FreeMemory(data_);
}

}  // namespace rk
