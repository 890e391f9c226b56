// The camera image-processing unit: the two gamma curves of the KSLV
// pipelines in the module table, and the unit's start and stop.
#include <cmath>

#include "memory.h"
#include "rastkit.h"

namespace rk::camera {
namespace {

constexpr int kInputEntries = 256;
constexpr int kOutputEntries = 1024;
// The double nearest 1/1023: index 1023 maps to exactly 1.0.
constexpr double kInverse1023 = 0.0009775171065493646;

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" {

// 8-bit to 10-bit, piecewise linear through (0, 0), (128, 512) and
// (255, 1023): v = 129 gives 511 / 127 + 512 = 516.02, stored as 516.
RK_API void RkInitInputGamma(ModuleTableRec* table) {
  if (table == nullptr) return;
  FreeMemory(table->inputGamma);
  auto* curve = static_cast<uint16_t*>(AllocZeroed(kInputEntries, sizeof(uint16_t)));
  table->inputGamma = curve;
  if (curve == nullptr) return;
  for (int v = 0; v < kInputEntries; ++v) {
    const double value = v <= 128 ? 512.0 * v / 128.0 : 511.0 * (v - 128) / 127.0 + 512.0;
    curve[v] = static_cast<uint16_t>(value);
  }
}

// 10-bit to 8-bit: 255 x (i / 1023)^gamma, truncated. An exponent of 0 or
// below (or not a number) has no curve: pow would give 1 or infinity, so
// the values are kept within 0 .. 255 rather than converted out of range.
RK_API void RkInitOutGamma(ModuleTableRec* table, double gamma) {
  if (table == nullptr) return;
  FreeMemory(table->outputGamma);
  auto* curve = static_cast<uint16_t*>(AllocZeroed(kOutputEntries, sizeof(uint16_t)));
  table->outputGamma = curve;
  if (curve == nullptr) return;
  for (int i = 0; i < kOutputEntries; ++i) {
    double value = 255.0 * std::pow(i * kInverse1023, gamma);
    if (!(value < 255.0)) value = 255.0;  // also infinity and NaN
    if (value < 0.0) value = 0.0;
    curve[i] = static_cast<uint16_t>(value);
  }
}

RK_API void RkInitKSLVImageProcessUnit(ModuleTableRec* table) {
  if (table == nullptr) return;
  RkInitModuleTable(table);
  RkInitInputGamma(table);
  RkInitOutGamma(table, 0.83);
}

// The same operation as RkFreeModuleTable, which releases the gamma curves
// with the codec arrays.
RK_API void RkExitKSLVImageProcessUnit(ModuleTableRec* table) { RkFreeModuleTable(table); }

}  // extern "C"
