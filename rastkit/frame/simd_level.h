// Which vector instructions the fast kernels may use, decided once per
// process: SSE2 is part of every x86-64 CPU, AVX2 is used when the CPU (and
// the operating system, for the wide registers) has it. Every kernel keeps
// a plain C++ twin; the environment variable RASTKIT_SIMD=none|sse2|avx2
// forces a level (never above what the CPU has), so the plain twins can be
// run and measured on any machine. Tests set the level directly to run
// their bit-exactness checks on every level this machine can execute.
#pragma once

#include <vector>

namespace rk {

enum class SimdLevel : int { kNone = 0, kSse2 = 1, kAvx2 = 2 };

// The highest level this CPU can execute (kNone on other architectures).
[[nodiscard]] SimdLevel MachineSimdLevel();

// The level the kernels use now: RASTKIT_SIMD capped by the machine, or the
// machine's level; read once, at the first call.
[[nodiscard]] SimdLevel ActiveSimdLevel();

// Every level this machine can execute, plain first (for tests and
// benchmarks that compare the paths).
[[nodiscard]] std::vector<SimdLevel> ExecutableSimdLevels();

[[nodiscard]] const char* SimdLevelName(SimdLevel level);

// For tests and benchmarks: makes `level` the active one (capped by the
// machine) until the object goes out of scope. Not for concurrent use with
// running codecs: kernels read the level when they choose their path.
class ScopedSimdLevel {
 public:
  explicit ScopedSimdLevel(SimdLevel level);
  ~ScopedSimdLevel();
  ScopedSimdLevel(const ScopedSimdLevel&) = delete;
  ScopedSimdLevel& operator=(const ScopedSimdLevel&) = delete;

 private:
  SimdLevel previous_;
};

}  // namespace rk
