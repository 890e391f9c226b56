// The encoder's fast kernels against their plain versions, and the plain
// versions against the arithmetic they stand for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "encode_helpers.h"
#include "jpeg/baseline_encode.h"
#include "jpeg/bit_writer.h"
#include "jpeg/encode_pixels.h"
#include "jpeg/forward_dct.h"
#include "jpeg/geometry.h"
#include "jpeg/huffman_encode.h"
#include "jpeg/mcu_transform.h"
#include "jpeg/mcu_work_area.h"
#include "jpeg/quantize.h"
#include "std_tables.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::ModuleTable;

// ---------------------------------------------------------------------------
// Bit writer

struct PutOp {
  uint32_t bits;
  int count;
  int marker;  // >= 0: PutMarker(0xD0 + marker) instead of a Put
};

template <class Writer>
std::vector<uint8_t> RunOps(const std::vector<PutOp>& ops, uint32_t capacity, bool* overflow, uint64_t* bitPos,
                         size_t slack = 16) {
  std::vector<uint8_t> out(capacity + slack, 0xAB);
  Writer w(out.data(), capacity);
  for (const PutOp& op : ops) {
    if (op.marker >= 0) {
      w.PutMarker(static_cast<uint8_t>(0xD0 + op.marker));
    } else {
      w.Put(op.bits, op.count);
    }
  }
  w.PadWithOnes();
  w.Flush();
  *overflow = w.overflow();
  *bitPos = w.bitPosition();
  return out;
}

// Mostly ones, so that 0xFF bytes (and their stuffing) are frequent.
std::vector<PutOp> RandomOps(uint32_t seed, int n) {
  std::mt19937 rng(seed);
  std::vector<PutOp> ops;
  for (int i = 0; i < n; ++i) {
    const int count = static_cast<int>(rng() % 33);
    uint32_t bits = rng();
    if (rng() % 3 != 0) bits = 0xFFFFFFFFu ^ (rng() % 4 == 0 ? 1u << (rng() % 32) : 0u);
    bits = count == 32 ? bits : bits & ((1u << count) - 1);
    const int marker = rng() % 40 == 0 ? static_cast<int>(rng() % 8) : -1;
    ops.push_back({bits, count, marker});
  }
  return ops;
}

TEST(BitWriter, FastEqualsBitByBitOnRandomSequences) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    const auto ops = RandomOps(seed, 300);
    bool ofFast, ofRef;
    uint64_t posFast, posRef;
    const auto fast = RunOps<rk::BitWriter>(ops, 4000, &ofFast, &posFast);
    const auto ref = RunOps<rk::reference::BitWriter>(ops, 4000, &ofRef, &posRef);
    ASSERT_FALSE(ofFast);
    ASSERT_FALSE(ofRef);
    ASSERT_EQ(posFast, posRef) << "seed " << seed;
    ASSERT_EQ(posFast % 8, 0u);
    ASSERT_EQ(fast, ref) << "seed " << seed;
  }
}

TEST(BitWriter, EveryCompletedFfIsStuffedButMarkersAreNot) {
  const auto ops = RandomOps(7, 2000);
  bool of;
  uint64_t pos;
  const auto out = RunOps<rk::BitWriter>(ops, 20000, &of, &pos);
  const size_t n = pos / 8;
  size_t markers = 0;
  for (size_t i = 0; i < n; ++i) {
    if (out[i] != 0xFF) continue;
    ASSERT_LT(i + 1, n);
    if (out[i + 1] >= 0xD0 && out[i + 1] <= 0xD7) {
      ++markers;
    } else {
      ASSERT_EQ(out[i + 1], 0x00) << "at " << i;
    }
    ++i;
  }
  EXPECT_GT(markers, 20u);
}

// The 1-bits that complete the last byte go through the stuffing rule:
// seven ones padded with one more one make 0xFF, which needs its 0x00.
struct PadCase {
  const char* name;
  std::vector<PutOp> ops;
  std::vector<uint8_t> expected;
};

class BitWriterPadding : public testing::TestWithParam<PadCase> {};

TEST_P(BitWriterPadding, BytesAreExact) {
  const PadCase& pc = GetParam();
  for (int impl = 0; impl < 2; ++impl) {
    bool of;
    uint64_t pos;
    const auto out = impl == 0 ? RunOps<rk::BitWriter>(pc.ops, 64, &of, &pos)
                               : RunOps<rk::reference::BitWriter>(pc.ops, 64, &of, &pos);
    ASSERT_EQ(pos, pc.expected.size() * 8) << (impl == 0 ? "fast" : "plain");
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(pos / 8)), pc.expected)
        << (impl == 0 ? "fast" : "plain");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitWriterPadding,
    testing::Values(PadCase{"EndPadCompletesFf", {{0x7F, 7, -1}}, {0xFF, 0x00}},
                    PadCase{"EndPadPlainByte", {{0x05, 3, -1}}, {0xBF}},
                    PadCase{"MarkerAfterPadToFf", {{0x7F, 7, -1}, {0, 0, 0}}, {0xFF, 0x00, 0xFF, 0xD0}},
                    PadCase{"MarkerOnBoundaryNeedsNoPad", {{0xAB, 8, -1}, {0, 0, 3}}, {0xAB, 0xFF, 0xD3}},
                    PadCase{"DataFfStuffed", {{0xFF, 8, -1}, {0x01, 8, -1}}, {0xFF, 0x00, 0x01}},
                    PadCase{"NothingWritten", {}, {}}),
    [](const testing::TestParamInfo<PadCase>& info) { return std::string(info.param.name); });

TEST(BitWriter, NeverStoresAtOrPastTheCapacity) {
  const auto ops = RandomOps(11, 40);
  bool of;
  uint64_t pos;
  RunOps<rk::reference::BitWriter>(ops, 1000, &of, &pos);
  const uint32_t needed = static_cast<uint32_t>(pos / 8);
  ASSERT_GT(needed, 20u);
  for (uint32_t cap = 0; cap <= needed + 1; ++cap) {
    for (int impl = 0; impl < 2; ++impl) {
      uint64_t p;
      const auto out = impl == 0 ? RunOps<rk::BitWriter>(ops, cap, &of, &p, 64)
                                 : RunOps<rk::reference::BitWriter>(ops, cap, &of, &p, 64);
      EXPECT_EQ(of, cap < needed) << "capacity " << cap;
      for (size_t i = cap; i < out.size(); ++i) ASSERT_EQ(out[i], 0xAB) << "capacity " << cap << " byte " << i;
    }
  }
}

// ---------------------------------------------------------------------------
// Forward DCT

using Block = std::array<int16_t, 64>;

std::vector<Block> TestBlocks(uint32_t seed, int randomCount) {
  std::mt19937 rng(seed);
  std::vector<Block> blocks;
  std::uniform_int_distribution<int> any(-128, 128);
  for (int n = 0; n < randomCount; ++n) {
    Block b;
    for (auto& v : b) v = static_cast<int16_t>(any(rng));
    blocks.push_back(b);
  }
  // Extremes: flat ends, checkerboards, stripes and a smooth ramp.
  for (int v : {-128, 128, 127, 0}) {
    Block b;
    b.fill(static_cast<int16_t>(v));
    blocks.push_back(b);
  }
  for (int pattern = 0; pattern < 4; ++pattern) {
    Block b;
    for (int i = 0; i < 64; ++i) {
      const int r = i / 8, c = i % 8;
      const bool hi = pattern == 0 ? ((r + c) & 1) : pattern == 1 ? (c & 1) : pattern == 2 ? (r < 4) : ((c / 2 + r / 2) & 1);
      b[i] = static_cast<int16_t>(hi ? 128 : -128);
    }
    blocks.push_back(b);
  }
  Block ramp;
  for (int i = 0; i < 64; ++i) ramp[i] = static_cast<int16_t>(-128 + 4 * i);
  blocks.push_back(ramp);
  return blocks;
}

TEST(ForwardDct, FastEqualsPlainIncludingRowScratch) {
  ModuleTable table;
  std::vector<uint32_t> scratch(64);
  for (const Block& in : TestBlocks(3, 20000)) {
    Block fast = in, plain = in;
    rk::ForwardDct(scratch.data(), fast.data());
    rk::reference::ForwardDct(*table.get(), plain.data());
    ASSERT_EQ(fast, plain);
    ASSERT_EQ(0, std::memcmp(scratch.data(), table->coefScratch, 64 * sizeof(uint32_t)));
  }
}

TEST(ForwardDct, FlatBlockHasOnlyDcWithinOneOfEightTimesTheValue) {
  ModuleTable table;
  for (int v = -128; v <= 128; ++v) {
    Block b;
    b.fill(static_cast<int16_t>(v));
    rk::reference::ForwardDct(*table.get(), b.data());
    EXPECT_LE(std::abs(b[0] - 8 * v), 1) << v;
    for (int i = 1; i < 64; ++i) ASSERT_EQ(b[i], 0) << "v " << v << " index " << i;
  }
  Block b;
  b.fill(-128);
  rk::reference::ForwardDct(*table.get(), b.data());
  EXPECT_EQ(b[0], -1024);
}

// Error bound against the exact T.81 transform: the row pass rounds each of
// its outputs by at most 0.5; the column transform multiplies an error
// vector by at most 1/2 C(v) sum|cos| <= 1/2 x 0.707 x 8 = 2.83, i.e. adds at
// most 1.41; its own rounding adds 0.5; the 15-bit constants add a few
// hundredths. Hence |error| < 2.
TEST(ForwardDct, WithinTwoOfDoublePrecision) {
  ModuleTable table;
  double cosTable[8][8];
  for (int x = 0; x < 8; ++x)
    for (int u = 0; u < 8; ++u) cosTable[x][u] = std::cos((2 * x + 1) * u * M_PI / 16);
  double worst = 0;
  for (const Block& in : TestBlocks(5, 5000)) {
    Block out = in;
    rk::reference::ForwardDct(*table.get(), out.data());
    for (int v = 0; v < 8; ++v) {
      for (int u = 0; u < 8; ++u) {
        double sum = 0;
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) sum += in[8 * y + x] * cosTable[x][u] * cosTable[y][v];
        const double cu = u == 0 ? M_SQRT1_2 : 1, cv = v == 0 ? M_SQRT1_2 : 1;
        const double exact = 0.25 * cu * cv * sum;
        worst = std::max(worst, std::abs(out[8 * v + u] - exact));
      }
    }
  }
  EXPECT_LT(worst, 2.0);
  EXPECT_GT(worst, 0.5);  // the bound is not vacuous: rounding does show
  RecordProperty("worst_error", std::to_string(worst));
}

// ---------------------------------------------------------------------------
// Quantisation: the reciprocal form equals the division for every 16-bit
// value and every 8-bit entry, and for a few wide entries.

TEST(Quantize, ReciprocalEqualsDivisionForAllValues) {
  std::vector<uint16_t> divisorsToTry;
  for (int q = 1; q <= 255; ++q) divisorsToTry.push_back(static_cast<uint16_t>(q));
  for (int q : {256, 257, 1000, 4099, 32768, 65535}) divisorsToTry.push_back(static_cast<uint16_t>(q));
  for (uint16_t q : divisorsToTry) {
    uint16_t table[64];
    std::fill(std::begin(table), std::end(table), q);
    rk::QuantDivisors d;
    rk::PrepareDivisors(table, d);
    for (int base = -32768; base < 32768; base += 64) {
      int16_t a[64], b[64];
      for (int i = 0; i < 64; ++i) a[i] = b[i] = static_cast<int16_t>(base + i);
      rk::QuantizeBlock(a, d);
      rk::reference::QuantizeBlock(b, table);
      ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "q " << q << " base " << base;
    }
  }
}

TEST(Quantize, RoundsHalvesAwayFromZero) {
  uint16_t table[64];
  std::fill(std::begin(table), std::end(table), 10);
  int16_t block[64] = {};
  const int16_t in[] = {5, -5, 4, -4, 15, -15, 14, -14};
  const int16_t out[] = {1, -1, 0, 0, 2, -2, 1, -1};
  std::copy(std::begin(in), std::end(in), block);
  rk::reference::QuantizeBlock(block, table);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(block[i], out[i]) << in[i];
}

// ---------------------------------------------------------------------------
// Huffman block coding

Block RandomCoefficients(std::mt19937& rng) {
  Block b{};
  const int kind = static_cast<int>(rng() % 4);
  const int density = kind == 0 ? 2 : kind == 1 ? 10 : kind == 2 ? 40 : 64;
  for (int i = 0; i < 64; ++i) {
    if (static_cast<int>(rng() % 64) >= density) continue;
    const int mag = 1 << (rng() % 10);
    b[i] = static_cast<int16_t>((static_cast<int>(rng() % mag) + 1) * (rng() & 1 ? 1 : -1));
  }
  b[0] = static_cast<int16_t>(static_cast<int>(rng() % 2048) - 1024);
  if (rng() % 4 == 0) b[63] = static_cast<int16_t>(rng() % 2 ? 1 : -1023);
  return b;
}

TEST(HuffmanBlock, FastEqualsPlainOnRandomBlocks) {
  ModuleTable table;
  std::mt19937 rng(17);
  for (int set = 0; set < 2; ++set) {
    std::vector<uint8_t> fastOut(1 << 20), plainOut(1 << 20);
    rk::BitWriter fw(fastOut.data(), static_cast<uint32_t>(fastOut.size()));
    rk::reference::BitWriter pw(plainOut.data(), static_cast<uint32_t>(plainOut.size()));
    int16_t fp = 0, pp = 0;
    for (int n = 0; n < 5000; ++n) {
      const Block b = RandomCoefficients(rng);
      ASSERT_TRUE(rk::EncodeBlock(fw, b.data(), table->zigzag, table->dcCodeTable[set], table->acCodeTable[set], &fp));
      ASSERT_TRUE(rk::reference::EncodeBlock(pw, b.data(), table->zigzag, table->dcCodeTable[set],
                                             table->acCodeTable[set], &pp));
      ASSERT_EQ(fp, pp);
    }
    fw.PadWithOnes();
    fw.Flush();
    pw.PadWithOnes();
    ASSERT_EQ(fw.bitPosition(), pw.bitPosition());
    fastOut.resize(fw.bitPosition() / 8);
    plainOut.resize(pw.bitPosition() / 8);
    EXPECT_EQ(fastOut, plainOut) << "table set " << set;
  }
}

// Only the last zigzag position is non-zero: DC category 0, three ZRLs for
// the run of 62 zeros (3 x 16 + 14), symbol 0xE1 and one value bit, and no
// EOB after position 63.
TEST(HuffmanBlock, LastPositionNonZeroEndsWithoutEob) {
  ModuleTable table;
  Block b{};
  b[63] = 1;  // zigzag position 63 is natural index 63
  std::vector<uint32_t> counts(2 * 257, 0);
  int16_t pred = 0;
  ASSERT_TRUE(rk::CountBlock(b.data(), table->zigzag, &pred, counts.data() + 257, counts.data()));
  EXPECT_EQ(counts[257 + 0], 1u);
  EXPECT_EQ(counts[0xF0], 3u);
  EXPECT_EQ(counts[0xE1], 1u);
  EXPECT_EQ(counts[0x00], 0u);

  std::vector<uint8_t> out(64);
  rk::BitWriter w(out.data(), 64);
  pred = 0;
  ASSERT_TRUE(rk::EncodeBlock(w, b.data(), table->zigzag, table->dcCodeTable[0], table->acCodeTable[0], &pred));
  const HuffCodeRec* ac = table->acCodeTable[0];
  // The position counts stuffing bytes too (ZRL is eleven bits, mostly ones).
  w.Flush();
  uint64_t stuffed = 0;
  for (uint64_t i = 0; i + 1 < w.bitPosition() / 8; ++i) stuffed += out[i] == 0xFF && out[i + 1] == 0x00;
  EXPECT_EQ(w.bitPosition() - 8 * stuffed,
            table->dcCodeTable[0][0].length + 3u * ac[0xF0].length + ac[0xE1].length + 1u);
  // The same block with the coefficient moved to position 62 does end in EOB.
  Block c{};
  c[rk::kZigzag[62]] = 1;
  std::fill(counts.begin(), counts.end(), 0);
  pred = 0;
  ASSERT_TRUE(rk::CountBlock(c.data(), table->zigzag, &pred, counts.data() + 257, counts.data()));
  EXPECT_EQ(counts[0x00], 1u);
  EXPECT_EQ(counts[0xD1], 1u);
}

TEST(HuffmanBlock, SymbolWithoutCodeIsReported) {
  ModuleTable table;
  std::vector<HuffCodeRec> ac(table->acCodeTable[0], table->acCodeTable[0] + 256);
  ac[0x01].length = 0;  // run 0, size 1 loses its code
  Block b{};
  b[1] = 1;
  std::vector<uint8_t> out(64);
  rk::BitWriter fw(out.data(), 64);
  rk::reference::BitWriter pw(out.data(), 64);
  int16_t p1 = 0, p2 = 0;
  EXPECT_FALSE(rk::EncodeBlock(fw, b.data(), table->zigzag, table->dcCodeTable[0], ac.data(), &p1));
  EXPECT_FALSE(rk::reference::EncodeBlock(pw, b.data(), table->zigzag, table->dcCodeTable[0], ac.data(), &p2));
  b[1] = 2;  // size 2 still has its code
  EXPECT_TRUE(rk::EncodeBlock(fw, b.data(), table->zigzag, table->dcCodeTable[0], ac.data(), &p1));
}

// ---------------------------------------------------------------------------
// Pixel stages: gather, colour conversion, downsampling and block split

struct PixelCase {
  const char* name;
  uint16_t format;
};

class PixelStages : public testing::TestWithParam<PixelCase> {};

TEST_P(PixelStages, FastEqualsPlainOnInteriorAndEdgeMcus) {
  rk::McuGeometry geo;
  rk::ComputeMcuGeometry(GetParam().format, geo);
  ASSERT_TRUE(rk::IsCodableGeometry(geo));
  rktest::Rgb img = rktest::MakeNoise(45, 37, 9);
  for (int layout = 0; layout < 2; ++layout) {
    ImageBlkAttrRec rec{};
    rktest::Bitmap24 bmp(img);
    rktest::Buffer32 buf(img, 0x5A);
    if (layout == 0) {
      bmp.Describe(rec);
    } else {
      buf.Describe(rec);
    }
    rec.format = GetParam().format;
    const rk::PixelSource src = rk::PixelSource::From(rec, geo);
    const size_t bytes = rk::McuWorkArea::Bytes(geo);
    std::vector<uint8_t> fastMem(bytes, 0x11), plainMem(bytes, 0x22);
    rk::McuWorkArea fast, plain;
    fast.Place(fastMem.data(), geo);
    plain.Place(plainMem.data(), geo);
    for (int y0 = 0; y0 < img.height; y0 += geo.mcuHeight) {
      for (int x0 = 0; x0 < img.width; x0 += geo.mcuWidth) {
        rk::GatherMcu(src, geo, x0, y0, fast);
        rk::SplitBlocks(geo, fast);
        rk::reference::GatherMcu(src, geo, x0, y0, plain);
        rk::reference::ConvertColour(src, geo, plain);
        rk::reference::SplitBlocks(geo, plain);
        ASSERT_EQ(0, std::memcmp(fast.blocks, plain.blocks, 128u * geo.totalBlocks()))
            << "MCU at " << x0 << "," << y0 << " layout " << layout;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PixelStages,
                         testing::Values(PixelCase{"Colour2x1", 0x3001}, PixelCase{"Colour2x2", 0x3005},
                                         PixelCase{"Colour1x1", 0x3000}, PixelCase{"Grey", 0x1000},
                                         PixelCase{"Colour1x2", 0x3004}, PixelCase{"LumaAveragedBy4", 0x3030},
                                         PixelCase{"Colour4x1Chroma2x1", 0x3113}),
                         [](const testing::TestParamInfo<PixelCase>& info) { return std::string(info.param.name); });

TEST(PixelStages, OutsideTheImageIsBlackAndRgbToYccValuesHold) {
  rk::McuGeometry geo;
  rk::ComputeMcuGeometry(0x3000, geo);
  rktest::Rgb img;
  img.width = 3;
  img.height = 1;
  img.px = {255, 255, 255, 0, 0, 255, 255, 0, 0};  // white, blue, red
  rktest::Bitmap24 bmp(img);
  ImageBlkAttrRec rec{};
  bmp.Describe(rec);
  rec.format = 0x3000;
  const rk::PixelSource src = rk::PixelSource::From(rec, geo);
  std::vector<uint8_t> mem(rk::McuWorkArea::Bytes(geo), 0x77);
  rk::McuWorkArea area;
  area.Place(mem.data(), geo);
  rk::GatherMcu(src, geo, 0, 0, area);
  EXPECT_EQ(area.plane[0][0], 255);
  EXPECT_EQ(area.plane[1][0], 0);
  EXPECT_EQ(area.plane[2][0], 0);
  EXPECT_EQ(area.plane[1][1], 128);  // pure blue: Cb = (128 x 255 + 128) >> 8
  EXPECT_EQ(area.plane[2][2], 128);  // pure red: Cr likewise
  EXPECT_EQ(area.plane[1][2], -43);  // (-43 x 255 + 128) >> 8 = -42.3 floored
  for (int i = 3; i < 64; ++i) {
    ASSERT_EQ(area.plane[0][i], 0) << i;
    ASSERT_EQ(area.plane[1][i], 0) << i;
    ASSERT_EQ(area.plane[2][i], 0) << i;
  }
}

// ---------------------------------------------------------------------------
// The shared MCU transform (vector gatherers, transform, quantisation and
// zigzag masks at the active level) against the plain pipeline, on noise
// with a checkerboard of 0 and 255 (the largest coefficients) in the first
// MCUs, interior and edge MCUs, and quantisation tables of ones (nothing
// rounds away), the scaled defaults and entries above 255 (which the vector
// quantiser leaves to the plain one).

struct TransformCase {
  const char* name;
  uint16_t format;
  int quant;  // 0: all ones, 1: defaults at scale 0.25, 2: defaults with entries of 300
};

class McuTransform : public testing::TestWithParam<TransformCase> {};

TEST_P(McuTransform, EqualsThePlainPipelineAtEveryLevel) {
  const TransformCase& tc = GetParam();
  ModuleTable table;
  const double scale = 0.25;
  RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
  for (uint16_t* q : {table->quantTable[0], table->quantTable[1]}) {
    for (int i = 0; i < 64; ++i) {
      if (tc.quant == 0) q[i] = 1;
      if (tc.quant == 2 && i % 7 == 3) q[i] = 300;
    }
  }
  rktest::Rgb img = rktest::MakeNoise(70, 40, 5);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) {
      for (int c = 0; c < 3; ++c) img.px[3 * (y * img.width + x) + c] = ((x + y + c) & 1) ? 255 : 0;
    }
  }
  rktest::Bitmap24 bmp(img);
  ImageBlkAttrRec rec{};
  bmp.Describe(rec);
  rec.format = tc.format;
  rk::McuGeometry geo;
  rk::ComputeMcuGeometry(tc.format, geo);
  const rk::PixelSource src = rk::PixelSource::From(rec, geo);
  std::vector<uint8_t> fastMem(rk::McuWorkArea::Bytes(geo)), plainMem(rk::McuWorkArea::Bytes(geo));
  rk::McuWorkArea fast, plain;
  fast.Place(fastMem.data(), geo);
  plain.Place(plainMem.data(), geo);
  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    rk::McuTransformer transformer(*table.get(), geo, src, rk::EdgeFill::kRepeat);
    const rk::McuBlocks& blocks = transformer.blocks();
    for (int y0 = 0; y0 < img.height; y0 += geo.mcuHeight) {
      for (int x0 = 0; x0 < img.width; x0 += geo.mcuWidth) {
        uint64_t masks[rk::kMaxBlocksPerMcu] = {};
        transformer.Run(x0, y0, fast, masks);
        rk::reference::GatherMcu(src, geo, x0, y0, plain, rk::EdgeFill::kRepeat);
        rk::reference::ConvertColour(src, geo, plain);
        rk::reference::SplitBlocks(geo, plain);
        for (int b = 0; b < blocks.count; ++b) {
          int16_t* block = plain.blocks + 64 * b;
          rk::reference::ForwardDct(*table.get(), block);
          rk::reference::QuantizeBlock(block, table->quantTable[blocks.component[b]]);
          ASSERT_EQ(0, std::memcmp(fast.blocks + 64 * b, block, 128)) << "MCU " << x0 << "," << y0 << " block " << b;
          if (!transformer.givesMasks()) continue;
          uint64_t expected = 0;
          for (int k = 1; k < 64; ++k) expected |= uint64_t{block[rk::kZigzag[k]] != 0} << k;
          ASSERT_EQ(masks[b] & ~uint64_t{1}, expected) << "MCU " << x0 << "," << y0 << " block " << b;
        }
      }
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Formats, McuTransform,
                         testing::Values(TransformCase{"Colour2x1Ones", 0x3001, 0}, TransformCase{"Colour2x1", 0x3001, 1},
                                         TransformCase{"Colour2x2Ones", 0x3005, 0}, TransformCase{"Colour2x2", 0x3005, 1},
                                         TransformCase{"Colour2x2Wide", 0x3005, 2}, TransformCase{"Colour1x1", 0x3000, 1},
                                         TransformCase{"Grey", 0x1000, 0}),
                         [](const testing::TestParamInfo<TransformCase>& info) { return std::string(info.param.name); });

}  // namespace
