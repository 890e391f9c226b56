#include "simd_level.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace rk {
namespace {

SimdLevel DetectMachineLevel() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  // __builtin_cpu_supports("avx2") also asks whether the operating system
  // saves the wide registers (XSAVE/OSXSAVE), so a true answer is usable.
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::kSse2;
#endif
  return SimdLevel::kNone;
}

SimdLevel Capped(SimdLevel wanted) {
  const SimdLevel machine = MachineSimdLevel();
  return static_cast<int>(wanted) < static_cast<int>(machine) ? wanted : machine;
}

SimdLevel LevelFromEnvironment() {
  const char* value = std::getenv("RASTKIT_SIMD");
  if (value == nullptr) return MachineSimdLevel();
  if (std::strcmp(value, "none") == 0) return SimdLevel::kNone;
  if (std::strcmp(value, "sse2") == 0) return Capped(SimdLevel::kSse2);
  if (std::strcmp(value, "avx2") == 0) return Capped(SimdLevel::kAvx2);
  return MachineSimdLevel();  // an unknown value changes nothing
}

// -1 until the first call decides.
std::atomic<int> g_active{-1};

}  // namespace

SimdLevel MachineSimdLevel() {
  static const SimdLevel machine = DetectMachineLevel();
  return machine;
}

SimdLevel ActiveSimdLevel() {
  int level = g_active.load(std::memory_order_relaxed);
  if (level < 0) {
    int expected = -1;
    const int decided = static_cast<int>(LevelFromEnvironment());
    g_active.compare_exchange_strong(expected, decided, std::memory_order_relaxed);
    level = g_active.load(std::memory_order_relaxed);
  }
  return static_cast<SimdLevel>(level);
}

std::vector<SimdLevel> ExecutableSimdLevels() {
  std::vector<SimdLevel> levels;
  for (int l = 0; l <= static_cast<int>(MachineSimdLevel()); ++l) levels.push_back(static_cast<SimdLevel>(l));
  return levels;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kNone: return "none";
    case SimdLevel::kSse2: return "sse2";
    case SimdLevel::kAvx2: return "avx2";
  }
  return "none";
}

ScopedSimdLevel::ScopedSimdLevel(SimdLevel level) : previous_(ActiveSimdLevel()) {
  g_active.store(static_cast<int>(Capped(level)), std::memory_order_relaxed);
}

ScopedSimdLevel::~ScopedSimdLevel() { g_active.store(static_cast<int>(previous_), std::memory_order_relaxed); }

}  // namespace rk
