// Scratch areas: zero-filled and writable end to end whether they come from
// the heap or, from 4 MB on, from a mapping of their own; a work shop is
// used as it is.
#include "memory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

TEST(Scratch, OwnAreaIsZeroAndWritableAtEverySize) {
  const std::vector<uint8_t> module(RkGetCompressBlkSize(), 0);
  const auto* table = reinterpret_cast<const ModuleTableRec*>(module.data());  // no work shop
  for (const size_t size : {size_t{1}, size_t{4096}, (size_t{4} << 20) - 1, size_t{4} << 20, (size_t{9} << 20) + 3}) {
    SCOPED_TRACE(size);
    rk::Scratch scratch(table, size);
    ASSERT_TRUE(scratch.ok());
    EXPECT_FALSE(scratch.fromWorkShop());
    uint8_t* p = scratch.data();
    for (const size_t at : {size_t{0}, size / 2, size - 1}) EXPECT_EQ(p[at], 0) << at;
    for (const size_t at : {size_t{0}, size / 2, size - 1}) p[at] = 0xA5;
  }
}

TEST(Scratch, WorkShopIsTakenWhateverTheSize) {
  std::vector<uint8_t> module(RkGetCompressBlkSize(), 0);
  auto* table = reinterpret_cast<ModuleTableRec*>(module.data());
  uint8_t shop[16] = {7};
  table->workShop = shop;
  const rk::Scratch scratch(table, size_t{8} << 20);
  EXPECT_TRUE(scratch.fromWorkShop());
  EXPECT_EQ(scratch.data(), shop);
}

}  // namespace
