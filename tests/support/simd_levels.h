// Runs a check once for every vector-instruction level this machine can
// execute, with that level active, so that each dispatch path of the
// decoders is held to the same exact results. Failures carry the level's
// name.
#pragma once

#include <gtest/gtest.h>

#include "simd_level.h"

namespace rktest {

template <class Body>
void ForEachSimdLevel(Body&& body) {
  for (const rk::SimdLevel level : rk::ExecutableSimdLevels()) {
    const rk::ScopedSimdLevel active(level);
    SCOPED_TRACE(std::string("vector level ") + rk::SimdLevelName(level));
    body(level);
  }
}

}  // namespace rktest
