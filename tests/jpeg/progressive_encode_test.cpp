// Progressive writing: the independent fixtures byte for byte, and libjpeg
// as the peer: it reads our streams without a warning, its transcoding to
// one sequential scan keeps our coefficients, and rewriting our
// coefficients with our scan script and its own optimised tables gives our
// entropy-coded bytes (its table builder agrees with ours).
#include <gtest/gtest.h>

#include <algorithm>

#include "encode_helpers.h"
#include "jpeg/progressive_encode.h"
#include "jpeg_test_util.h"
#include "prog_test_util.h"
#include "test_images.h"

namespace {

using progtest::Bytes;
using rktest::Bitmap24;
using rktest::EncodeSettings;

struct FixtureCase {
  const char* expected;
  const char* source;
  uint16_t format;
  double scale;
};

void PrintTo(const FixtureCase& c, std::ostream* os) { *os << c.expected; }

class ProgressiveWriterFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ProgressiveWriterFixture, MatchesByteForByte) {
  const FixtureCase& c = GetParam();
  Bitmap24 bitmap(rktest::LoadPpm(rktest::Fixture(std::string("prog/") + c.source)));
  const Bytes expected = rktest::ReadFile(rktest::Fixture(std::string("prog/") + c.expected));
  ASSERT_FALSE(expected.empty());
  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    for (bool shop : {false, true}) {
      EncodeSettings s;
      s.format = c.format;
      s.scale = c.scale;
      s.progressive = true;
      s.workShop = shop;
      const rktest::Encoded e = rktest::ExportJfif(s, bitmap);
      ASSERT_EQ(e.result, RK_OK);
      ASSERT_EQ(e.bytes.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(e.bytes[i], expected[i]) << "byte " << i;
    }
  });
  // The plain kernels throughout give the same bytes.
  rktest::ModuleTable table;
  RkSetQuantizeScaleFactor(table.get(), &c.scale, &c.scale);
  ImageBlkAttrRec r{};
  bitmap.Describe(r);
  r.format = c.format;
  Bytes out(expected.size());
  r.data = out.data();
  r.dataLength = static_cast<uint32_t>(out.size());
  ASSERT_EQ(rk::WriteProgressiveJfif(table.get(), &r, nullptr, rk::EncodeKernels::kReference), RK_OK);
  EXPECT_EQ(out, expected);
}

INSTANTIATE_TEST_SUITE_P(Prog, ProgressiveWriterFixture,
                         ::testing::Values(FixtureCase{"e1_storm41x27_3005.jpg", "storm41x27.ppm", 0x3005, 0.5},
                                           FixtureCase{"e2_dune57x39_3001.jpg", "dune57x39.ppm", 0x3001, 0.75}));

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// libjpeg as the peer

struct PeerCase {
  const char* name;
  int width, height;
  uint16_t format;
  double scale;
};

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }

// Our script in libjpeg's terms (scans of cjpeg -scans).
progtest::Script OurScript(bool colour) {
  if (!colour) return {{{0}, 0, 0, 0, 0}, {{0}, 1, 5, 0, 0}, {{0}, 6, 63, 0, 0}};
  return {{{0, 1, 2}, 0, 0, 0, 0}, {{1}, 1, 5, 0, 0},  {{2}, 1, 5, 0, 0}, {{0}, 1, 5, 0, 0},
          {{1}, 6, 63, 0, 0},      {{2}, 6, 63, 0, 0}, {{0}, 6, 63, 0, 0}};
}

struct Geometry {
  bool mcuAligned;   // no partial MCU: the baseline writer's black padding changes nothing
  bool noDummies;    // every stored block lies on its component's T.81 grid
};

Geometry GeometryOf(const PeerCase& c) {
  const int n = (c.format >> 12) & 3;
  int hmax = 1, vmax = 1, h[3], v[3];
  for (int i = 0; i < n; ++i) {
    h[i] = ((c.format >> (4 * i)) & 3) + 1;
    v[i] = ((c.format >> (4 * i + 2)) & 3) + 1;
    hmax = std::max(hmax, h[i]);
    vmax = std::max(vmax, v[i]);
  }
  const int cols = (c.width + 8 * hmax - 1) / (8 * hmax), rows = (c.height + 8 * vmax - 1) / (8 * vmax);
  Geometry g{c.width % (8 * hmax) == 0 && c.height % (8 * vmax) == 0, true};
  for (int i = 0; i < n; ++i) {
    g.noDummies &= (c.width * h[i] + 8 * hmax - 1) / (8 * hmax) == cols * h[i];
    g.noDummies &= (c.height * v[i] + 8 * vmax - 1) / (8 * vmax) == rows * v[i];
  }
  return g;
}

class ProgressiveWriterPeer : public ::testing::TestWithParam<PeerCase> {};

TEST_P(ProgressiveWriterPeer, AgreesWithLibjpeg) {
  const PeerCase& c = GetParam();
  const bool colour = (c.format >> 12) == 3;
  const bool noise = std::string(c.name).find("noise") != std::string::npos;
  Bitmap24 bitmap(noise ? rktest::MakeNoise(c.width, c.height, 5) : rktest::MakePhotoLike(c.width, c.height, 5));
  EncodeSettings s;
  s.format = c.format;
  s.scale = c.scale;
  s.progressive = true;
  const rktest::Encoded prog = rktest::ExportJfif(s, bitmap);
  ASSERT_EQ(prog.result, RK_OK);
  s.progressive = false;
  const rktest::Encoded base = rktest::ExportJfif(s, bitmap);
  ASSERT_EQ(base.result, RK_OK);

  EXPECT_EQ(progtest::StrictDecodeProblem(prog.bytes), "");
  const progtest::ScanParts parts = progtest::SplitScans(prog.bytes);
  const std::vector<uint8_t> ids = colour ? std::vector<uint8_t>{0x00, 0x01, 0x10, 0x10, 0x10, 0x12, 0x12, 0x11}
                                         : std::vector<uint8_t>{0x00, 0x10, 0x11};
  EXPECT_EQ(parts.tableIds, ids);

  // libjpeg's transcoding keeps the coefficients: our progressive decode of
  // our stream and our baseline decode of the transcoded one agree exactly.
  const auto sequential = jpegtest::DecodeToBitmap(progtest::Transcode(prog.bytes), false);
  const auto ours = progtest::ProgressiveDecode(prog.bytes);
  ASSERT_EQ(sequential.result, 0);
  ASSERT_EQ(ours.result, 0);
  EXPECT_EQ(rktest::Compare(ours.rgb, sequential.rgb).maxAbs, 0);

  const Geometry g = GeometryOf(c);
  if (g.mcuAligned) {
    // Without partial MCUs the baseline writer codes the same blocks.
    const auto baseline = jpegtest::DecodeToBitmap(base.bytes, false);
    EXPECT_EQ(rktest::Compare(sequential.rgb, baseline.rgb).maxAbs, 0);
  }
  if (c.width * c.height >= 64 * 64) {
    EXPECT_LT(prog.bytes.size(), base.bytes.size());
  }
  if (g.noDummies) {
    // libjpeg rewrites blocks outside the component grids (its dummy
    // blocks) with the left neighbour's DC, so only where there are none
    // do its scans carry exactly our blocks.
    const progtest::ScanParts peer = progtest::SplitScans(progtest::Transcode(prog.bytes, OurScript(colour), true));
    EXPECT_EQ(peer.tables, parts.tables);
    ASSERT_EQ(peer.scans.size(), parts.scans.size());
    for (size_t i = 0; i < parts.scans.size(); ++i) EXPECT_EQ(peer.scans[i], parts.scans[i]) << "scan " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Libjpeg, ProgressiveWriterPeer,
    ::testing::Values(PeerCase{"c3001_1x1", 1, 1, 0x3001, 1.0}, PeerCase{"c3001_17x9", 17, 9, 0x3001, 0.5},
                      PeerCase{"c3005_41x27", 41, 27, 0x3005, 0.5}, PeerCase{"c3005_120x120", 120, 120, 0x3005, 1.0},
                      PeerCase{"c3001_57x39", 57, 39, 0x3001, 0.75}, PeerCase{"c3001_160x120", 160, 120, 0x3001, 0.25},
                      PeerCase{"c3000_40x24", 40, 24, 0x3000, 1.0}, PeerCase{"c3005_256x192", 256, 192, 0x3005, 0.3},
                      PeerCase{"grey_1000_61x45", 61, 45, 0x1000, 1.0}, PeerCase{"grey_1000_96x64", 96, 64, 0x1000, 0.1},
                      PeerCase{"c3001_noise_64x32", 64, 32, 0x3001, 0.01}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// The writer's interface

struct Writer {
  rktest::ModuleTable table;
  Bitmap24 bitmap;
  ImageBlkAttrRec record{};
  explicit Writer(const rktest::Rgb& img, uint16_t format = 0x3001) : bitmap(img) {
    const double scale = 0.5;
    RkSetQuantizeScaleFactor(table.get(), &scale, &scale);
    bitmap.Describe(record);
    record.format = format;
  }
  int16_t Run(std::vector<uint8_t>& out, UserCallBackRec* progress = nullptr) {
    record.data = out.data();
    record.dataLength = static_cast<uint32_t>(out.size());
    return RkExportImageByProgJFIF(table.get(), &record, progress);
  }
};

// Every capacity short of the stream is refused with -4; the buffer (of
// exactly that size, watched by the sanitizer) is never written past, and
// the record keeps its buffer description.
TEST(ProgressiveWriter, EveryShortCapacityIsRefusedWithoutWritingPastIt) {
  Writer w(rktest::MakePhotoLike(33, 17, 3));
  std::vector<uint8_t> full(16384);
  ASSERT_EQ(w.Run(full), RK_OK);
  const uint32_t size = w.record.dataLength;
  full.resize(size);
  for (uint32_t capacity = 1; capacity < size; ++capacity) {
    std::vector<uint8_t> out(capacity);
    ASSERT_EQ(w.Run(out), RK_ERR_BUFFER) << capacity;
    ASSERT_EQ(w.record.data, out.data());
    ASSERT_EQ(w.record.dataLength, capacity);
  }
  std::vector<uint8_t> exact(size);
  ASSERT_EQ(w.Run(exact), RK_OK);
  EXPECT_EQ(exact, full);
}

// What only this writer refuses (the rest it shares with the baseline
// writer): an empty picture, and nothing is written.
TEST(ProgressiveWriter, RefusesAnEmptyPicture) {
  for (const bool zeroWidth : {true, false}) {
    Writer w(rktest::MakePhotoLike(16, 16, 1));
    (zeroWidth ? w.record.width : w.record.height) = 0;
    std::vector<uint8_t> out(4096, 0xAB);
    EXPECT_EQ(w.Run(out), RK_ERR_UNSUPPORTED);
    EXPECT_EQ(out, std::vector<uint8_t>(4096, 0xAB));
  }
}

struct Calls {
  std::vector<std::pair<int32_t, int32_t>> seen;
  int stopAt = -1;
  int16_t last = 0;
};

int16_t Record(int32_t done, int32_t total, void*, uintptr_t user) {
  auto* calls = reinterpret_cast<Calls*>(user);
  calls->seen.emplace_back(done, total);
  if (static_cast<int>(calls->seen.size()) - 1 == calls->stopAt) return RK_STOPPED;
  return calls->last;
}

// One call per MCU row of the transform pass and a final one whose value
// does not count; -1000 stops before any scan is written.
TEST(ProgressiveWriter, ReportsTransformRowsAndStopsBeforeTheScans) {
  Writer w(rktest::MakePhotoLike(20, 20, 2), 0x3005);
  Calls calls;
  calls.last = 7;
  UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&calls)};
  std::vector<uint8_t> out(8192);
  ASSERT_EQ(w.Run(out, &cb), RK_OK);
  EXPECT_EQ(calls.seen, (std::vector<std::pair<int32_t, int32_t>>{{0, 19}, {16, 19}, {19, 19}}));

  Calls stop;
  stop.stopAt = 0;
  UserCallBackRec scb{Record, reinterpret_cast<uintptr_t>(&stop)};
  std::vector<uint8_t> stopped(8192, 0xAB);
  ASSERT_EQ(w.Run(stopped, &scb), RK_STOPPED);
  EXPECT_EQ(stop.seen.size(), 1u);
  const long sof = rktest::FindMarker(out, 0xC2);
  ASSERT_GT(sof, 0);
  const size_t afterFrame = static_cast<size_t>(sof) + 2 + 17;
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(afterFrame), stopped.begin()));
  EXPECT_TRUE(std::all_of(stopped.begin() + static_cast<long>(afterFrame), stopped.end(),
                          [](uint8_t b) { return b == 0xAB; }));
}

// 2048 x 1024 flat grey: 32768 blocks with nothing in the 6..63 band, one
// end-of-band run of 32767 (symbol 0xE0 and 14 bits) and one of 1 (0x00).
// The table codes 0x00 as 0 and 0xE0 as 10, so the scan is 10, fourteen
// 1-bits, 0 and seven 1-bits of padding: BF FF (stuffed 00) 7F.
TEST(ProgressiveWriter, LongEndOfBandRunsAreCutAt32767Blocks) {
  rktest::Rgb flat;
  flat.width = 2048, flat.height = 1024;
  flat.px.assign(static_cast<size_t>(flat.width) * flat.height * 3, 90);
  Writer w(flat, 0x1000);
  std::vector<uint8_t> out(1 << 16);
  ASSERT_EQ(w.Run(out), RK_OK);
  out.resize(w.record.dataLength);
  const progtest::ScanParts parts = progtest::SplitScans(out);
  ASSERT_EQ(parts.tables.size(), 3u);
  Bytes twoCodes(16, 0);
  twoCodes[0] = twoCodes[1] = 1;
  twoCodes.push_back(0x00);
  twoCodes.push_back(0xE0);
  EXPECT_EQ(parts.tables[2], twoCodes);
  EXPECT_EQ(parts.scans[2], (Bytes{0xBF, 0xFF, 0x00, 0x7F}));
  EXPECT_EQ(progtest::StrictDecodeProblem(out), "");
  const auto decoded = progtest::ProgressiveDecode(out);
  ASSERT_EQ(decoded.result, 0);
  EXPECT_EQ(rktest::Compare(decoded.rgb, jpegtest::DecodeToBitmap(progtest::Transcode(out), false).rgb).maxAbs, 0);
}

}  // namespace
