// The library's internal status. Internal functions return a Status; the
// 16-bit result code of rastkit.h is made from it once, at the export
// (ToResult), so no code inside passes raw result numbers around.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace rk {

enum class [[nodiscard]] Status : int16_t {
  kOk = RK_OK,
  kFormat = RK_ERR_FORMAT,            // corrupt or unrecognised data
  kNull = RK_ERR_NULL,                // a required pointer (or a table array) missing
  kUnsupported = RK_ERR_UNSUPPORTED,  // an argument or stream property not handled
  kBuffer = RK_ERR_BUFFER,            // the output does not fit the capacity
  kMemory = RK_ERR_MEMORY,            // scratch memory could not be allocated
  kStopped = RK_STOPPED,              // the progress callback asked to stop
};

// The progress callback's final value becomes an operation's result as it
// is (0 when all is well); any 16-bit value passes through unchanged.
[[nodiscard]] constexpr Status FromCallback(int16_t value) { return static_cast<Status>(value); }

[[nodiscard]] constexpr int16_t ToResult(Status status) { return static_cast<int16_t>(status); }

}  // namespace rk
