// ResyncAtRestart: finding the marker the bit reader stopped on.
#include <gtest/gtest.h>

#include <memory>

#include "jpeg/restart_resync.h"
#include "test_images.h"

namespace {

struct ResyncCase {
  const char* name;
  std::vector<uint8_t> data;
  uint32_t bitPos;
  bool found;
  uint32_t bitPosAfter;  // when found
};

class Resync : public ::testing::TestWithParam<ResyncCase> {};

TEST_P(Resync, MovesPastTheMarkerOrReportsEndOfData) {
  const ResyncCase& c = GetParam();
  rktest::ModuleTable table;
  // Exactly the data's bytes, so that a read past streamLength shows.
  std::unique_ptr<uint8_t[]> data(new uint8_t[c.data.size()]);
  std::copy(c.data.begin(), c.data.end(), data.get());
  table->streamData = data.get();
  table->streamLength = static_cast<uint32_t>(c.data.size());
  table->bitPos = c.bitPos;
  table->dcPredictor[0] = 5, table->dcPredictor[1] = 6, table->dcPredictor[2] = 7;
  table->mcuCount = 3;
  table->decodeError = 0;
  EXPECT_EQ(rk::ResyncAtRestart(table.get()), c.found);
  if (c.found) {
    EXPECT_EQ(table->bitPos, c.bitPosAfter);
    EXPECT_EQ(table->dcPredictor[0], 0);
    EXPECT_EQ(table->dcPredictor[2], 0);
    EXPECT_EQ(table->mcuCount, 0);
    EXPECT_EQ(table->decodeError, 0);
  } else {
    EXPECT_EQ(table->decodeError, RK_ERR_END_OF_DATA);
    EXPECT_EQ(table->bitPos, c.bitPos);
    EXPECT_EQ(table->dcPredictor[1], 6);
    EXPECT_EQ(table->mcuCount, 3);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Resync,
    ::testing::Values(
        // The reader stopped on the marker's second byte (byte 2): that
        // marker is the one, not the next (bytes 5, 6).
        ResyncCase{"stoppedOnSecondByte", {0x12, 0xFF, 0xD3, 0x44, 0x55, 0xFF, 0xD4, 0x66}, 16, true, 24},
        ResyncCase{"stoppedInsideSecondByte", {0x12, 0xFF, 0xD3, 0x44, 0x55, 0xFF, 0xD4, 0x66}, 21, true, 24},
        // After a complete interval: padding bits left in byte 1, marker next.
        ResyncCase{"afterPadding", {0x12, 0x7F, 0xFF, 0xD0, 0x9A}, 11, true, 32},
        ResyncCase{"stuffedByteBeforeMarker", {0xFF, 0x00, 0xFF, 0xD7, 0x01}, 8, true, 32},
        ResyncCase{"fillBytesBeforeMarker", {0x00, 0xFF, 0xFF, 0xD1, 0x01}, 8, true, 32},
        ResyncCase{"markerAtStart", {0xFF, 0xD0, 0x01}, 0, true, 16},
        ResyncCase{"eoiFirst", {0x12, 0xFF, 0xD9, 0xFF, 0xD0}, 8, false, 0},
        ResyncCase{"noMarker", {0x12, 0x34, 0x56}, 0, false, 0},
        ResyncCase{"markerCutByTheLength", {0x12, 0x34, 0xFF}, 8, false, 0},
        ResyncCase{"positionPastTheEnd", {0x12, 0xFF, 0xD0}, 64, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

struct PaddingCase {
  const char* name;
  std::vector<uint8_t> data;
  uint32_t bitPos;
  bool early;  // padding, then a restart marker
};

class PaddingBeforeMarker : public ::testing::TestWithParam<PaddingCase> {};

TEST_P(PaddingBeforeMarker, OnlyTheEncodersPaddingCounts) {
  const PaddingCase& c = GetParam();
  rktest::ModuleTable table;
  std::unique_ptr<uint8_t[]> data(new uint8_t[c.data.size()]);
  std::copy(c.data.begin(), c.data.end(), data.get());
  table->streamData = data.get();
  table->streamLength = static_cast<uint32_t>(c.data.size());
  EXPECT_EQ(rk::PaddingThenRestartMarker(table.get(), c.bitPos), c.early);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaddingBeforeMarker,
    ::testing::Values(
        // 5F = 0101 1111: from bit 3 on only 1s.
        PaddingCase{"fiveOnes", {0x12, 0x5F, 0xFF, 0xD1}, 11, true},
        PaddingCase{"zeroInThePadding", {0x12, 0x5F, 0xFF, 0xD1}, 9, false},
        PaddingCase{"onByteBoundary", {0x12, 0xFF, 0xD7}, 8, true},
        // Padding that completes an FF is stuffed like any data byte.
        PaddingCase{"paddingMakesFF", {0xFF, 0x00, 0xFF, 0xD2}, 4, true},
        // A decoder may rest on the 00 of FF 00 after a block.
        PaddingCase{"restingOnStuffing", {0xFF, 0x00, 0xFF, 0xD0}, 8, true},
        PaddingCase{"wholeByteOfOnes", {0x12, 0xFF, 0x00, 0xFF, 0xD0}, 8, false},
        PaddingCase{"endOfImage", {0x1F, 0xFF, 0xD9}, 3, false},
        PaddingCase{"markerCutByTheLength", {0x1F, 0xFF}, 3, false},
        PaddingCase{"pastTheEnd", {0x1F}, 40, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
