// The scan encoder (RkCompressImageByJPEG) as a whole: fast and plain
// pipelines agree, refusals write nothing, the capacity is never passed,
// the progress callback, the statistics switch and restart markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "encode_helpers.h"
#include "jpeg/baseline_encode.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::ModuleTable;
using rktest::Rgb;

struct ScanRun {
  int16_t result = 0;
  std::vector<uint8_t> out;  // the whole buffer (capacity + sentinel bytes)
  ImageBlkAttrRec record{};
};

constexpr size_t kSentinel = 32;

ScanRun Scan(Bitmap24& bmp, uint16_t format, uint32_t restart, uint32_t capacity,
             rk::EncodeKernels kernels = rk::EncodeKernels::kFast, UserCallBackRec* cb = nullptr,
             ModuleTable* shared = nullptr) {
  ModuleTable local;
  ModuleTable& table = shared != nullptr ? *shared : local;
  ScanRun run;
  run.out.assign(capacity + kSentinel, 0xAB);
  bmp.Describe(run.record);
  run.record.format = format;
  run.record.restartInterval = restart;
  run.record.data = run.out.data();
  run.record.dataLength = capacity;
  run.result = rk::EncodeBaselineScan(table.get(), &run.record, cb, kernels);
  return run;
}

std::vector<uint8_t> Written(const ScanRun& r) {
  return {r.out.begin(), r.out.begin() + static_cast<long>(r.record.dataLength)};
}

// ---------------------------------------------------------------------------

struct PipelineCase {
  const char* name;
  uint16_t format;
  uint32_t restart;
  bool noise;
};

class FastAndPlainPipelines : public testing::TestWithParam<PipelineCase> {};

TEST_P(FastAndPlainPipelines, GiveTheSameBytes) {
  const PipelineCase& pc = GetParam();
  const Rgb img = pc.noise ? rktest::MakeNoise(75, 41, 3) : rktest::MakePhotoLike(75, 41, 3);
  Bitmap24 bmp(img);
  const auto plain = Scan(bmp, pc.format, pc.restart, 200000, rk::EncodeKernels::kReference);
  ASSERT_EQ(plain.result, RK_OK);
  ASSERT_GT(plain.record.dataLength, 0u);
  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    const auto fast = Scan(bmp, pc.format, pc.restart, 200000);
    ASSERT_EQ(fast.result, RK_OK);
    EXPECT_EQ(Written(fast), Written(plain));
  });
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FastAndPlainPipelines,
    testing::Values(PipelineCase{"Colour2x1Photo", 0x3001, 0, false}, PipelineCase{"Colour2x1Noise", 0x3001, 0, true},
                    PipelineCase{"Colour2x1NoiseRestart1", 0x3001, 1, true},
                    PipelineCase{"Colour2x2Restart5", 0x3005, 5, false}, PipelineCase{"Colour1x1Noise", 0x3000, 0, true},
                    PipelineCase{"GreyNoiseRestart3", 0x1000, 3, true}, PipelineCase{"Colour1x2", 0x3004, 2, false},
                    PipelineCase{"LumaAveragedBy4", 0x3030, 0, true}, PipelineCase{"Luma4x1Chroma2x1", 0x3113, 7, false}),
    [](const testing::TestParamInfo<PipelineCase>& info) { return std::string(info.param.name); });

TEST(ScanEncoder, RecordsMcuGeometryAndTableState) {
  Bitmap24 bmp(rktest::MakePhotoLike(33, 17));
  ModuleTable table;
  const auto run = Scan(bmp, 0x3005, 4, 100000, rk::EncodeKernels::kFast, nullptr, &table);
  ASSERT_EQ(run.result, RK_OK);
  EXPECT_EQ(run.record.auxCount1, 16);
  EXPECT_EQ(run.record.samplesPerPixel, 16);
  EXPECT_EQ(run.record.auxCount2, 16);
  EXPECT_EQ(table->streamData, run.out.data());
  EXPECT_EQ(table->streamLength, 100000u);
  EXPECT_EQ(table->bitPos, 8 * run.record.dataLength);
  EXPECT_EQ(table->restartMcus, 4);
  EXPECT_EQ(table->mcuCount, 6 % 4);  // 3 x 2 MCUs
}

TEST(ScanEncoder, BottomUpAndTopDownGiveTheSameBytes) {
  const Rgb img = rktest::MakePhotoLike(37, 23, 5);
  Bitmap24 bottomUp(img);
  Rgb flipped = img;
  for (int y = 0; y < img.height; ++y) std::memcpy(flipped.at(0, y), img.at(0, img.height - 1 - y), 3u * img.width);
  Bitmap24 topDown(flipped);  // the same picture stored with its top row first
  ModuleTable t1, t2;
  ImageBlkAttrRec a{}, b{};
  bottomUp.Describe(a);
  topDown.Describe(b);
  b.bottomUp = 0;
  std::vector<uint8_t> outA(50000), outB(50000);
  for (ImageBlkAttrRec* r : {&a, &b}) {
    r->format = 0x3001;
    r->restartInterval = 2;
  }
  a.data = outA.data();
  b.data = outB.data();
  a.dataLength = b.dataLength = 50000;
  ASSERT_EQ(RkCompressImageByJPEG(t1.get(), &a, nullptr), RK_OK);
  ASSERT_EQ(RkCompressImageByJPEG(t2.get(), &b, nullptr), RK_OK);
  ASSERT_EQ(a.dataLength, b.dataLength);
  EXPECT_EQ(0, std::memcmp(outA.data(), outB.data(), a.dataLength));
}

// Planar input holds YCbCr directly; values beyond what RgbToYcc gives are
// clamped to it (Y 0..255, Cb and Cr -127..128), so extreme planes code
// like their clamped copies and stay inside the standard code tables.
TEST(ScanEncoder, PlanarInputIsClampedToTheColourRange) {
  const int w = 24, h = 16;
  std::vector<int16_t> wild(3u * w * h), tame(3u * w * h);
  for (size_t i = 0; i < wild.size(); ++i) {
    const int plane = static_cast<int>(i / (w * h));
    wild[i] = static_cast<int16_t>((i * 7919u) % 2 ? 32767 - static_cast<int>(i) : -32768 + static_cast<int>(i));
    tame[i] = static_cast<int16_t>(plane == 0 ? std::clamp<int>(wild[i], 0, 255) : std::clamp<int>(wild[i], -127, 128));
  }
  std::vector<uint8_t> outs[2];
  for (int k = 0; k < 2; ++k) {
    ModuleTable table;
    const double one = 1.0 / 16;  // quantisation entries of 1: nothing rounds away
    RkSetQuantizeScaleFactor(table.get(), &one, &one);
    ImageBlkAttrRec r{};
    r.width = w;
    r.height = h;
    r.format = 0x3000;
    r.pixelFormat = RK_PIXEL_PLANAR_YCC16;
    r.pixels = reinterpret_cast<uint8_t*>(k == 0 ? wild.data() : tame.data());
    r.rowStride = w;
    outs[k].assign(100000, 0);
    r.data = outs[k].data();
    r.dataLength = 100000;
    ASSERT_EQ(RkCompressImageByJPEG(table.get(), &r, nullptr), RK_OK);
    outs[k].resize(r.dataLength);
  }
  EXPECT_EQ(outs[0], outs[1]);
}

// Grey planar input is the one Y plane the decoder writes for grey: a
// buffer of exactly width x height samples (ASan catches a read past it)
// codes like the interleaved grey picture of the same values, since
// R = G = B = v gives Y = (256 v + 128) >> 8 = v.
TEST(ScanEncoder, GreyPlanarInputReadsOnePlane) {
  const int w = 21, h = 13;
  std::vector<int16_t> plane(static_cast<size_t>(w) * h);
  Rgb grey;
  grey.width = w;
  grey.height = h;
  for (size_t i = 0; i < plane.size(); ++i) {
    plane[i] = static_cast<int16_t>((i * 37) % 256);
    grey.px.insert(grey.px.end(), 3, static_cast<uint8_t>(plane[i]));
  }
  Bitmap24 bmp(grey);
  std::vector<uint8_t> outs[2];
  for (int k = 0; k < 2; ++k) {
    ModuleTable table;
    ImageBlkAttrRec r{};
    if (k == 0) {
      r.width = w;
      r.height = h;
      r.pixelFormat = RK_PIXEL_PLANAR_YCC16;
      r.pixels = reinterpret_cast<uint8_t*>(plane.data());
      r.rowStride = w;
    } else {
      bmp.Describe(r);
    }
    r.format = 0x1000;
    outs[k].assign(20000, 0);
    r.data = outs[k].data();
    r.dataLength = 20000;
    ASSERT_EQ(RkCompressImageByJPEG(table.get(), &r, nullptr), RK_OK) << k;
    outs[k].resize(r.dataLength);
  }
  EXPECT_EQ(outs[0], outs[1]);
}

// ---------------------------------------------------------------------------
// Refusals: RK_ERR_UNSUPPORTED before anything is written.

struct RefusalCase {
  const char* name;
  void (*spoil)(ImageBlkAttrRec&);
};

class Refusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, WriteNothing) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  for (int writer = 0; writer < 2; ++writer) {
    ModuleTable table;
    std::vector<uint8_t> out(4096, 0xAB);
    ImageBlkAttrRec r{};
    bmp.Describe(r);
    r.format = 0x3001;
    r.data = out.data();
    r.dataLength = 4096;
    GetParam().spoil(r);
    const ImageBlkAttrRec before = r;
    const int16_t result = writer == 0 ? RkCompressImageByJPEG(table.get(), &r, nullptr)
                                       : RkExportImageByJFIF(table.get(), &r, nullptr);
    EXPECT_EQ(result, RK_ERR_UNSUPPORTED) << (writer == 0 ? "scan" : "stream");
    EXPECT_EQ(0, std::memcmp(&before, &r, sizeof r));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xAB; }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Refusals,
    testing::Values(RefusalCase{"ZeroWidth", [](ImageBlkAttrRec& r) { r.width = 0; }},
                    RefusalCase{"ZeroHeight", [](ImageBlkAttrRec& r) { r.height = 0; }},
                    RefusalCase{"NullPixels", [](ImageBlkAttrRec& r) { r.pixels = nullptr; }},
                    RefusalCase{"NullData", [](ImageBlkAttrRec& r) { r.data = nullptr; }},
                    RefusalCase{"NoComponents", [](ImageBlkAttrRec& r) { r.format = 0x0001; }},
                    RefusalCase{"TwoComponents", [](ImageBlkAttrRec& r) { r.format = 0x2001; }},
                    // Y 3x1 (span 24) beside chroma 2x1 (span 16): 16 does not divide 24.
                    RefusalCase{"SpanNotDividingMcu", [](ImageBlkAttrRec& r) { r.format = 0x3012; }},
                    RefusalCase{"GreyWithSampling", [](ImageBlkAttrRec& r) { r.format = 0x1001; }},
                    RefusalCase{"MoreThanTenBlocks", [](ImageBlkAttrRec& r) { r.format = 0x300F; }},
                    RefusalCase{"RestartBeyondSixteenBits", [](ImageBlkAttrRec& r) { r.restartInterval = 65536; }}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(ScanEncoder, NullArgumentsGiveNullError) {
  ModuleTable table;
  ImageBlkAttrRec r{};
  EXPECT_EQ(RkCompressImageByJPEG(nullptr, &r, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkCompressImageByJPEG(table.get(), nullptr, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkExportImageByJFIF(nullptr, &r, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkExportImageByJFIF(table.get(), nullptr, nullptr), RK_ERR_NULL);
}

TEST(ScanEncoder, ZeroQuantisationEntryIsRefused) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  ModuleTable table;
  table->quantTable[2][9] = 0;  // would divide by zero
  std::vector<uint8_t> out(4096, 0xAB);
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  r.format = 0x3001;
  r.data = out.data();
  r.dataLength = 4096;
  EXPECT_EQ(RkCompressImageByJPEG(table.get(), &r, nullptr), RK_ERR_UNSUPPORTED);
  r.format = 0x1000;  // grey uses table 0 only
  EXPECT_EQ(RkCompressImageByJPEG(table.get(), &r, nullptr), RK_OK);
}

TEST(ScanEncoder, HuffmanTableWithoutANeededCodeIsRefused) {
  Bitmap24 bmp(rktest::MakeNoise(16, 8));
  ModuleTable table;
  std::vector<HuffCodeRec> ac(table->acCodeTable[0], table->acCodeTable[0] + 256);
  for (auto& e : ac) e.length = 0;
  RkSetHuffmanTable(table.get(), ac.data(), 2);
  std::vector<uint8_t> out(4096, 0xAB);
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  r.format = 0x3001;
  r.data = out.data();
  r.dataLength = 4096;
  EXPECT_EQ(RkCompressImageByJPEG(table.get(), &r, nullptr), RK_ERR_UNSUPPORTED);
}

// ---------------------------------------------------------------------------
// Capacity: every capacity below the data's size gives RK_ERR_BUFFER and
// no byte at or past it is touched; the exact size succeeds.

TEST(ScanEncoder, NeverWritesPastTheCapacity) {
  Bitmap24 bmp(rktest::MakeNoise(40, 16, 2));
  const auto full = Scan(bmp, 0x3001, 2, 100000);
  ASSERT_EQ(full.result, RK_OK);
  const uint32_t size = full.record.dataLength;
  for (uint32_t cap = 0; cap <= size; ++cap) {
    const auto run = Scan(bmp, 0x3001, 2, cap);
    ASSERT_EQ(run.result, cap < size ? RK_ERR_BUFFER : RK_OK) << "capacity " << cap;
    for (size_t i = cap; i < run.out.size(); ++i) ASSERT_EQ(run.out[i], 0xAB) << "capacity " << cap;
    if (run.result == RK_OK) {
      EXPECT_EQ(Written(run), Written(full));
    }
  }
}

// ---------------------------------------------------------------------------
// Progress callback

struct CallLog {
  std::vector<std::pair<int32_t, int32_t>> calls;
  std::vector<void*> work;
  int stopAt = -1;          // call index that answers RK_STOPPED
  int16_t finalValue = 0;   // answer to the call after the last row
};

int16_t Record(int32_t done, int32_t total, void* work, uintptr_t user) {
  auto* log = reinterpret_cast<CallLog*>(user);
  log->calls.emplace_back(done, total);
  log->work.push_back(work);
  const int index = static_cast<int>(log->calls.size()) - 1;
  if (index == log->stopAt) return RK_STOPPED;
  return done == total && index > 0 ? log->finalValue : 0;
}

TEST(ScanProgress, OneCallPerMcuRowThenAFinalCallWhoseValueIsTheResult) {
  Bitmap24 bmp(rktest::MakePhotoLike(20, 20));
  CallLog log;
  log.finalValue = 7;
  UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&log)};
  const auto run = Scan(bmp, 0x3001, 0, 100000, rk::EncodeKernels::kFast, &cb);
  EXPECT_EQ(run.result, 7);
  const std::vector<std::pair<int32_t, int32_t>> expected = {{0, 19}, {8, 19}, {16, 19}, {19, 19}};
  EXPECT_EQ(log.calls, expected);
  EXPECT_GT(run.record.dataLength, 0u);
  for (void* w : log.work) EXPECT_NE(w, nullptr);
}

TEST(ScanProgress, StopAtTheFirstCallReturnsStoppedAndFreesTheWorkArea) {
  // Run under AddressSanitizer, a leaked work area fails the test binary.
  Bitmap24 bmp(rktest::MakePhotoLike(40, 40));
  for (int writer = 0; writer < 2; ++writer) {
    CallLog log;
    log.stopAt = 0;
    UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&log)};
    ModuleTable table;
    std::vector<uint8_t> out(100000, 0xAB);
    ImageBlkAttrRec r{};
    bmp.Describe(r);
    r.format = 0x3001;
    r.data = out.data();
    r.dataLength = 100000;
    const int16_t result = writer == 0 ? RkCompressImageByJPEG(table.get(), &r, &cb)
                                       : RkExportImageByJFIF(table.get(), &r, &cb);
    EXPECT_EQ(result, RK_STOPPED);
    EXPECT_EQ(log.calls.size(), 1u);
    if (writer == 1) {
      // No EOI anywhere: the stream ends after the first MCU row's data.
      for (size_t i = 0; i + 1 < out.size(); ++i) ASSERT_FALSE(out[i] == 0xFF && out[i + 1] == 0xD9) << i;
    }
  }
}

TEST(ScanEncoder, WorkShopServesAsTheWorkAreaWithTheSameResult) {
  Bitmap24 bmp(rktest::MakePhotoLike(50, 30));
  const auto plain = Scan(bmp, 0x3005, 3, 100000);
  ModuleTable table;
  std::vector<uint8_t> shop(4096, 0xEE);
  RkSetCustomModuleTableWorkshop(table.get(), shop.data());
  const auto withShop = Scan(bmp, 0x3005, 3, 100000, rk::EncodeKernels::kFast, nullptr, &table);
  ASSERT_EQ(withShop.result, RK_OK);
  EXPECT_EQ(Written(plain), Written(withShop));
  // 0x3005: MCU 16x16, 6 blocks: 2 x (3 x 256 + 384) = 2304 bytes used.
  EXPECT_NE(shop[0], 0xEE);
  EXPECT_EQ(shop[2304], 0xEE);
}

// ---------------------------------------------------------------------------
// Statistics switch: symbols are counted, nothing is written.

TEST(ScanStatistics, CountsSymbolsInsteadOfWriting) {
  Bitmap24 bmp(rktest::MakePhotoLike(32, 16, 4));  // 4 MCUs of 0x3001: 8 Y, 4 Cb, 4 Cr blocks
  ModuleTable table;
  std::vector<uint32_t> stats(6400 / 4, 0);
  table->progStats = stats.data();
  table->statsSwitch = 1;
  const auto run = Scan(bmp, 0x3001, 0, 1000, rk::EncodeKernels::kFast, nullptr, &table);
  ASSERT_EQ(run.result, RK_OK);
  EXPECT_EQ(run.record.dataLength, 0u);
  EXPECT_TRUE(std::all_of(run.out.begin(), run.out.end(), [](uint8_t b) { return b == 0xAB; }));
  uint32_t first = 0, second = 0;
  for (int s = 0; s < 257; ++s) {
    first += stats[s];
    second += stats[257 + s];
  }
  EXPECT_EQ(second, 8u);  // one DC symbol per chrominance block
  // The first table takes the 8 luminance DC symbols and all AC symbols:
  // every block has at least one (EOB, or the symbol of position 63).
  EXPECT_GE(first, 8u + 16u);
  EXPECT_GE(stats[0x00], 1u);
  EXPECT_EQ(stats[256], 0u);
  table->progStats = nullptr;  // a switch without an area is refused
  EXPECT_EQ(Scan(bmp, 0x3001, 0, 1000, rk::EncodeKernels::kFast, nullptr, &table).result, RK_ERR_UNSUPPORTED);
  table->statsSwitch = 0;
}

// ---------------------------------------------------------------------------
// Restart markers

TEST(ScanRestart, MarkersCycleThroughEightNumbersAndEndTheData) {
  Bitmap24 bmp(rktest::MakeNoise(160, 8, 6));  // ten MCUs of 0x3001
  const auto run = Scan(bmp, 0x3001, 1, 100000);
  ASSERT_EQ(run.result, RK_OK);
  const auto data = Written(run);
  std::vector<uint8_t> markers;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0xFF && data[i + 1] != 0x00) {
      markers.push_back(data[i + 1]);
      ++i;
    } else if (data[i] == 0xFF) {
      ++i;
    }
  }
  const std::vector<uint8_t> expected = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD0, 0xD1};
  EXPECT_EQ(markers, expected);
  ASSERT_GE(data.size(), 2u);
  EXPECT_EQ(data[data.size() - 2], 0xFF);
  EXPECT_EQ(data.back(), 0xD1);
  // Every encode with restarts starts again at RST0.
  const auto again = Scan(bmp, 0x3001, 4, 100000);
  EXPECT_EQ(Written(again).size() > 0, true);
  const auto d2 = Written(again);
  size_t first = 0;
  while (first + 1 < d2.size() && !(d2[first] == 0xFF && d2[first + 1] >= 0xD0 && d2[first + 1] <= 0xD7)) ++first;
  ASSERT_LT(first + 1, d2.size());
  EXPECT_EQ(d2[first + 1], 0xD0);
}

}  // namespace
