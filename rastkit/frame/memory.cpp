#include "memory.h"

#include <cstdint>
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
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // A large area (a progressive encode of 12 megapixels keeps 36 MB of
    // coefficients, a decode of 3 megapixels 9.4 MB) is mapped on its own,
    // asking for 2 MB pages: the allocator would map it too (it is above
    // malloc's mapping threshold), but in 4 KB pages, and the first touch of
    // each costs a page fault, about a quarter of such an encode's time.
    // The area starts on a 2 MB boundary and covers whole 2 MB pages (a
    // tail of 4 KB pages would fault page by page). Fresh mappings are zero.
    if (size >= kHugeAreaBytes) {
      constexpr size_t kHugePage = size_t{2} << 20;
      const size_t huge = (size + kHugePage - 1) & ~(kHugePage - 1);
      const size_t span = huge + kHugePage;
      void* map = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (map != MAP_FAILED) {
        const uintptr_t start = (reinterpret_cast<uintptr_t>(map) + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
        madvise(reinterpret_cast<void*>(start), huge, MADV_HUGEPAGE);  // advice only: 4 KB pages if refused
        map_ = map;
        mapped_ = span;
        data_ = reinterpret_cast<uint8_t*>(start);
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
    munmap(map_, mapped_);
    return;
  }
#endif
  FreeMemory(data_);
}

}  // namespace rk
