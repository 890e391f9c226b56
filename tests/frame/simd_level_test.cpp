#include "simd_level.h"

#include <gtest/gtest.h>

namespace {

TEST(SimdLevel, ScopedLevelIsCappedByTheMachineAndRestored) {
  const rk::SimdLevel before = rk::ActiveSimdLevel();
  const std::vector<rk::SimdLevel> levels = rk::ExecutableSimdLevels();
  ASSERT_FALSE(levels.empty());
  EXPECT_EQ(levels.front(), rk::SimdLevel::kNone);
  EXPECT_EQ(levels.back(), rk::MachineSimdLevel());
  {
    rk::ScopedSimdLevel wide(rk::SimdLevel::kAvx2);
    EXPECT_EQ(rk::ActiveSimdLevel(), rk::MachineSimdLevel());
    rk::ScopedSimdLevel plain(rk::SimdLevel::kNone);
    EXPECT_EQ(rk::ActiveSimdLevel(), rk::SimdLevel::kNone);
  }
  EXPECT_EQ(rk::ActiveSimdLevel(), before);
}

}  // namespace
