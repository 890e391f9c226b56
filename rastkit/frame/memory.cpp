#include "memory.h"

#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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
    owned_ = true;
#if defined(__linux__)
    // A large area (a progressive encode of 12 megapixels keeps 36 MB of
    // coefficients) is mapped on its own, asking for 2 MB pages: the
    // allocator would map it too (it is above malloc's mapping threshold),
    // but in 4 KB pages, and the first touch of each costs a page fault,
    // about a quarter of such an encode's time. Fresh mappings are zero.
    if (size >= kHugeAreaBytes) {
      void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p != MAP_FAILED) {
        madvise(p, size, MADV_HUGEPAGE);  // advice only: 4 KB pages if refused
        data_ = static_cast<uint8_t*>(p);
        mapped_ = size;
        return;
      }
    }
#endif
    data_ = static_cast<uint8_t*>(AllocZeroed(size, 1));
  }
}

Scratch::~Scratch() {
  if (!owned_) return;
#if defined(__linux__)
  if (mapped_ != 0) {
    munmap(data_, mapped_);
    return;
  }
#endif
  FreeMemory(data_);
}

}  // namespace rk
