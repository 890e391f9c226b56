// Resizing: the reference fixtures, a plain reference of the defined
// arithmetic on every buffer layout, the sampling tables, refusals and
// progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "filters/samplers.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::Buffer32;
using rktest::ModuleTable;
using rktest::Rgb;

enum class Op { kShrink, kBilinear, kQuadratic, kNearest, kLutProduct, kLutSin, kLutNearest };

std::vector<uint8_t> MakeLut(Op op) {
  std::vector<uint8_t> lut(65536);
  if (op == Op::kLutSin) {
    RkCreateSamplingSinLUT(lut.data());
  } else {
    RkCreateSamplingLUT(lut.data());
  }
  return lut;
}

// Top-down 24-bit red-green-blue, the layout of the fixtures.
void DescribeTop24(Rgb& img, ImageBlkAttrRec& rec) {
  rec = {};
  rec.width = static_cast<uint16_t>(img.width);
  rec.height = static_cast<uint16_t>(img.height);
  rec.pixels = img.px.data();
  rec.rowStride = img.width * 3;
  rec.redOffset = 0;
  rec.greenOffset = 1;
  rec.blueOffset = 2;
  rec.pixelStride = 3;
}

int16_t Resize(Op op, ImageBlkAttrRec& dest, ImageBlkAttrRec& source, UserCallBackRec* progress = nullptr) {
  ModuleTable table;
  switch (op) {
    case Op::kShrink: return RkShrinkingResizeImage(table.get(), &dest, &source, progress);
    case Op::kBilinear: return RkSamplingResizeImage(table.get(), &dest, &source, 1, progress);
    case Op::kQuadratic: return RkSamplingResizeImage(table.get(), &dest, &source, 256, progress);
    case Op::kNearest: return RkSamplingResizeImage(table.get(), &dest, &source, 65535, progress);
    default: {
      const auto lut = MakeLut(op);
      const uint16_t method = op == Op::kLutNearest ? 65535 : 1;
      return RkSamplingResizeLUTImage(table.get(), &dest, &source, method, lut.data(), progress);
    }
  }
}

// ---------------------------------------------------------------------------
// A plain reference, written from the definitions one sample at a time.

int P(const Rgb& s, int x, int y, int c) { return s.at(std::min(x, s.width - 1), std::min(y, s.height - 1))[c]; }

int RefSample(Op op, const Rgb& s, int X, int Y, int c, const std::vector<uint8_t>& t) {
  if (X < 0 || Y < 0 || (X >> 8) >= s.width || (Y >> 8) >= s.height) return -256;
  const int x = X >> 8, y = Y >> 8, fx = X & 255, fy = Y & 255;
  const int p00 = P(s, x, y, c), p10 = P(s, x + 1, y, c), p01 = P(s, x, y + 1, c), p11 = P(s, x + 1, y + 1, c);
  if (op == Op::kQuadratic) {
    auto q = [](long p0, long p1, long p2, long u) {
      return static_cast<int>(2 * ((u - 255) * (u - 510) * p0 - 2 * u * (u - 510) * p1 + u * (u - 255) * p2) /
                              259561);
    };
    int r[3];
    for (int j = 0; j < 3; ++j) r[j] = q(P(s, x, y + j, c), P(s, x + 1, y + j, c), P(s, x + 2, y + j, c), fx);
    return std::clamp(q(r[0], r[1], r[2], fy), 0, 255) * 256;
  }
  if (op == Op::kLutProduct || op == Op::kLutSin) {
    auto T = [&](int w, int v) { return int{t[static_cast<size_t>(w * 256 + v)]}; };
    const int g = 255 - fx, h = 255 - fy;
    const int c0 = T(h, p00) + T(fy, p01), c1 = T(h, p10) + T(fy, p11);
    const int r0 = T(g, p00) + T(fx, p10), r1 = T(g, p01) + T(fx, p11);
    return ((T(g, c0) + T(fx, c1) + T(h, r0) + T(fy, r1)) & ~1) * 128;
  }
  const int a = p00 + (p10 - p00) * fx / 256, b = p00 + (p01 - p00) * fy / 256;
  const int ax = a + (((p11 - p01) * fx / 256 + p01 - a) * fy) / 256;
  const int by = b + (((p11 - p10) * fy / 256 + p10 - b) * fx) / 256;
  return ((ax + by) >> 1) * 256;
}

Rgb RefResize(Op op, const Rgb& s, int dw, int dh) {
  Rgb d;
  d.width = dw;
  d.height = dh;
  d.px.resize(static_cast<size_t>(dw) * dh * 3);
  const auto lut = MakeLut(op);
  if (op == Op::kShrink) {
    const float rx = static_cast<float>(double(s.width) / dw), ry = static_cast<float>(double(s.height) / dh);
    const int bx = static_cast<int>(rx), by = static_cast<int>(ry);
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x)
        for (int c = 0; c < 3; ++c) {
          const int x0 = static_cast<int>(float(x) * rx), y0 = static_cast<int>(float(y) * ry);
          long sum = 0, n = 0;
          for (int j = y0; j < y0 + by && j < s.height; ++j)
            for (int i = x0; i < x0 + bx && i < s.width; ++i, ++n) sum += s.at(i, j)[c];
          d.at(x, y)[c] = static_cast<uint8_t>(sum / n);
        }
    return d;
  }
  const int kx = std::max(1, s.width / dw), ky = std::max(1, s.height / dh);
  const int sx = s.width * 256 / dw, sy = s.height * 256 / dh;
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x)
      for (int c = 0; c < 3; ++c) {
        const int X = x * sx, Y = y * sy;
        if (op == Op::kNearest || op == Op::kLutNearest) {
          d.at(x, y)[c] = s.at(X >> 8, Y >> 8)[c];
          continue;
        }
        long sum = 0;
        for (int j = 0; j < ky; ++j)
          for (int i = 0; i < kx; ++i) sum += RefSample(op, s, X + 256 * i, Y + 256 * j, c, lut) >> 8;
        d.at(x, y)[c] = static_cast<uint8_t>(std::clamp(sum / (kx * ky), 0L, 255L));
      }
  return d;
}

Rgb Flip(const Rgb& img) {
  Rgb f = img;
  for (int y = 0; y < img.height; ++y)
    std::copy_n(img.at(0, y), img.width * 3, f.at(0, img.height - 1 - y));
  return f;
}

void ExpectSame(const Rgb& got, const Rgb& want, const std::string& what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  for (int y = 0; y < want.height; ++y)
    for (int x = 0; x < want.width; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(got.at(x, y)[c], want.at(x, y)[c]) << what << " at (" << x << ", " << y << ") channel " << c;
}

// ---------------------------------------------------------------------------
// Reference fixtures (independent implementation), top-down 24-bit.

struct FixtureCase {
  const char* name;
  Op op;
  const char* source;
  int width, height;
};

class ResizeFixture : public testing::TestWithParam<FixtureCase> {};

TEST_P(ResizeFixture, GivesTheExactPixels) {
  const FixtureCase& fc = GetParam();
  Rgb src = rktest::LoadPpm(rktest::Fixture(std::string("resize/") + fc.source));
  const Rgb want = rktest::LoadPpm(rktest::Fixture(std::string("resize/") + fc.name + ".ppm"));
  ASSERT_EQ(want.width, fc.width);
  Rgb got{fc.width, fc.height, std::vector<uint8_t>(static_cast<size_t>(fc.width) * fc.height * 3, 0xAB)};
  ImageBlkAttrRec s, d;
  DescribeTop24(src, s);
  DescribeTop24(got, d);
  ASSERT_EQ(Resize(fc.op, d, s), RK_OK);
  ExpectSame(got, want, fc.name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResizeFixture,
    testing::Values(FixtureCase{"r1_shrink_bug101x67_to_48x32", Op::kShrink, "src_bug_101x67.ppm", 48, 32},
                    FixtureCase{"r2_sample1_storm96x64_to_41x29", Op::kBilinear, "src_storm_96x64.ppm", 41, 29},
                    FixtureCase{"r3_sample256_dune27x19_to_61x43", Op::kQuadratic, "src_dune_27x19.ppm", 61, 43},
                    FixtureCase{"r4_sample65535_flower31x23_to_50x35", Op::kNearest, "src_flower_31x23.ppm", 50,
                                35},
                    FixtureCase{"r5_lutsin1_blue33x25_to_56x40", Op::kLutSin, "src_blue_33x25.ppm", 56, 40}),
    [](const testing::TestParamInfo<FixtureCase>& info) { return std::string(info.param.name).substr(0, 2); });

std::string Md5(const std::vector<uint8_t>& bytes) {
  const std::string path = testing::TempDir() + "rk_lut.bin";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return "";
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  FILE* p = popen(("md5sum " + path).c_str(), "r");
  if (p == nullptr) return "";
  char sum[33] = {};
  const size_t n = std::fread(sum, 1, 32, p);
  pclose(p);
  std::remove(path.c_str());
  return std::string(sum, n);
}

TEST(SamplingTables, MatchTheReferenceTablesAndKnownEntries) {
  const auto product = MakeLut(Op::kLutProduct);
  const auto sine = MakeLut(Op::kLutSin);
  EXPECT_EQ(Md5(product), "c6e93852ba95bf06e1fe457837ddf5a1");
  EXPECT_EQ(Md5(sine), "bde2fe85988e0f1208891ff5001ec0f3");
  EXPECT_EQ(product[255 * 256 + 255], 254);
  EXPECT_EQ(product[128 * 256 + 2], 1);
  EXPECT_EQ(sine[200 * 256 + 128], 99);  // 200 x sin^2(pi/4) just below 100
  EXPECT_EQ(sine[255 * 256 + 0], 0);
}

// ---------------------------------------------------------------------------
// Every operation against the plain reference, on three buffer layouts
// (source and destination in the same layout): top-down 24-bit RGB, the
// program's bottom-up 24-bit BGR with padded rows, top-down 32-bit.

struct SizeCase {
  Op op;
  int sw, sh, dw, dh;
};

class ResizeReference : public testing::TestWithParam<SizeCase> {};

TEST_P(ResizeReference, AgreesOnEveryLayout) {
  const SizeCase& sc = GetParam();
  Rgb src = rktest::MakePhotoLike(sc.sw, sc.sh, static_cast<uint32_t>(sc.sw * 7 + sc.dh));
  const Rgb want = RefResize(sc.op, src, sc.dw, sc.dh);
  {
    Rgb got{sc.dw, sc.dh, std::vector<uint8_t>(static_cast<size_t>(sc.dw) * sc.dh * 3, 0xAB)};
    ImageBlkAttrRec s, d;
    DescribeTop24(src, s);
    DescribeTop24(got, d);
    ASSERT_EQ(Resize(sc.op, d, s), RK_OK);
    ExpectSame(got, want, "top-down 24");
  }
  {
    // The shrink walks stored rows, so its blocks start at the bottom of a
    // bottom-up picture: the reference of the flipped picture, flipped.
    const Rgb wantBottomUp = sc.op == Op::kShrink ? Flip(RefResize(sc.op, Flip(src), sc.dw, sc.dh)) : want;
    Bitmap24 s24(src), d24(sc.dw, sc.dh, 0xAB);
    ImageBlkAttrRec s{}, d{};
    s24.Describe(s);
    d24.Describe(d);
    ASSERT_EQ(Resize(sc.op, d, s), RK_OK);
    ExpectSame(d24.ToRgb(), wantBottomUp, "bottom-up 24");
    for (int y = 0; y < sc.dh; ++y)  // row padding is not written
      for (int i = sc.dw * 3; i < d24.stride; ++i) ASSERT_EQ(d24.bytes[static_cast<size_t>(y * d24.stride + i)], 0xAB);
  }
  {
    Buffer32 s32(src, 0x11), d32(sc.dw, sc.dh, 0xAB);
    ImageBlkAttrRec s, d;
    s32.Describe(s);
    d32.Describe(d);
    ASSERT_EQ(Resize(sc.op, d, s), RK_OK);
    ExpectSame(d32.ToRgb(), want, "top-down 32");
    for (size_t i = 0; i < d32.bytes.size(); i += 4) ASSERT_EQ(d32.bytes[i], 0xAB);  // byte 0 untouched
  }
}

std::vector<SizeCase> SizeCases() {
  std::vector<SizeCase> cases;
  // Shrinks: odd ratios, single-precision origins (168 into 80), 2 x 2 means.
  for (auto s : {SizeCase{Op::kShrink, 37, 23, 12, 7}, SizeCase{Op::kShrink, 168, 10, 80, 5},
                 SizeCase{Op::kShrink, 320, 24, 160, 12}, SizeCase{Op::kShrink, 9, 40, 2, 3}})
    cases.push_back(s);
  const int sizes[][4] = {{37, 23, 61, 40}, {37, 23, 11, 7}, {1, 9, 3, 20}, {9, 1, 20, 3},
                          {1, 1, 4, 4},     {37, 23, 37, 23}, {40, 30, 13, 29}};
  for (Op op : {Op::kBilinear, Op::kQuadratic, Op::kNearest, Op::kLutProduct, Op::kLutSin, Op::kLutNearest})
    for (const auto& s : sizes) cases.push_back({op, s[0], s[1], s[2], s[3]});
  return cases;
}

std::string SizeCaseName(const testing::TestParamInfo<SizeCase>& info) {
  static const char* const kNames[] = {"Shrink", "Bilinear", "Quadratic", "Nearest",
                                       "LutProduct", "LutSin", "LutNearest"};
  const SizeCase& c = info.param;
  return std::string(kNames[static_cast<int>(c.op)]) + "_" + std::to_string(c.sw) + "x" + std::to_string(c.sh) +
         "_to_" + std::to_string(c.dw) + "x" + std::to_string(c.dh);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResizeReference, testing::ValuesIn(SizeCases()), SizeCaseName);

TEST(ResizeBehaviour, DefinedResultsOfSmallCases) {
  // 2 x 2 means; identity with method 1; 1 x 1 fills 4 x 4; nearest repeats.
  Rgb quad{4, 2, {10, 20, 30, 11, 21, 31, 0, 0, 0, 255, 255, 255, 13, 23, 33, 14, 24, 34, 1, 1, 1, 255, 255, 254}};
  Rgb half{2, 1, std::vector<uint8_t>(6)};
  ImageBlkAttrRec s, d;
  DescribeTop24(quad, s);
  DescribeTop24(half, d);
  ASSERT_EQ(Resize(Op::kShrink, d, s), RK_OK);
  EXPECT_EQ(half.px, (std::vector<uint8_t>{12, 22, 32, 127, 127, 127}));  // 509 / 4 = 127.25

  Rgb photo = rktest::MakePhotoLike(13, 9);
  Rgb same{13, 9, std::vector<uint8_t>(13 * 9 * 3)};
  DescribeTop24(photo, s);
  DescribeTop24(same, d);
  ASSERT_EQ(Resize(Op::kBilinear, d, s), RK_OK);
  EXPECT_EQ(same.px, photo.px);

  Rgb dot{1, 1, {9, 99, 199}};
  Rgb big{4, 4, std::vector<uint8_t>(48)};
  DescribeTop24(dot, s);
  DescribeTop24(big, d);
  ASSERT_EQ(Resize(Op::kBilinear, d, s), RK_OK);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(big.px[i * 3 + 2], 199);

  Rgb pair{2, 1, {1, 2, 3, 4, 5, 6}};
  Rgb wide{4, 1, std::vector<uint8_t>(12)};
  DescribeTop24(pair, s);
  DescribeTop24(wide, d);
  ASSERT_EQ(Resize(Op::kNearest, d, s), RK_OK);
  EXPECT_EQ(wide.px, (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6}));
}

TEST(ResizeBehaviour, ShrinkWalksStoredRows) {
  // A bottom-up source into a top-down destination comes out upside down:
  // the shrink does not look at bottomUp.
  const Rgb src = rktest::MakePhotoLike(20, 12);
  Bitmap24 s24(src);
  Rgb got{10, 6, std::vector<uint8_t>(180)};
  ImageBlkAttrRec s{}, d;
  s24.Describe(s);
  DescribeTop24(got, d);
  d.redOffset = 2, d.blueOffset = 0;  // BGR like the source, so only the rows differ
  ASSERT_EQ(Resize(Op::kShrink, d, s), RK_OK);
  const Rgb want = RefResize(Op::kShrink, src, 10, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(got.at(x, 5 - y)[2 - c], want.at(x, y)[c]);
}

TEST(ResizeBehaviour, CallerTableWithLargeSumsStaysInside) {
  // Every entry 255: the column and row sums reach 510 and index entry 255.
  const std::vector<uint8_t> lut(65536, 255);
  Rgb src = rktest::MakeNoise(5, 4);
  Rgb got{7, 6, std::vector<uint8_t>(7 * 6 * 3)};
  ImageBlkAttrRec s, d;
  DescribeTop24(src, s);
  DescribeTop24(got, d);
  ModuleTable table;
  ASSERT_EQ(RkSamplingResizeLUTImage(table.get(), &d, &s, 1, lut.data(), nullptr), RK_OK);
  EXPECT_EQ(got.px, std::vector<uint8_t>(got.px.size(), 255));
}

// The edge rules of the point samplers that the geometric operations use:
// outside positions and, when tiling, wrapped positions and neighbours.
TEST(PointSamplers, EdgeRules) {
  using namespace rk::filters;
  // 3 x 2, one channel: row 0 = 0, 100, 200; row 1 = 40, 140, 240.
  Rgb img{3, 2, {0, 0, 0, 100, 0, 0, 200, 0, 0, 40, 0, 0, 140, 0, 0, 240, 0, 0}};
  ImageBlkAttrRec rec;
  DescribeTop24(img, rec);
  const SampleSource src = SourceOf(rec);
  struct Case {
    int32_t x, y;
    SampleEdge edge;
    int32_t bilinear, nearest;  // nearest at (x >> 8, y >> 8)
  };
  const Case cases[] = {
      {-1, 0, SampleEdge::kClamp, kSampleOutside, kSampleOutside},
      {3 * 256, 0, SampleEdge::kClamp, kSampleOutside, kSampleOutside},
      {0, 2 * 256, SampleEdge::kClamp, kSampleOutside, kSampleOutside},
      {2 * 256 + 128, 0, SampleEdge::kClamp, 200 * 256, 200},  // own column beyond the last
      {2 * 256 + 128, 0, SampleEdge::kWrap, 100 * 256, 200},   // half way back to column 0
      {-128, 0, SampleEdge::kWrap, 100 * 256, 200},            // -0.5 wraps to 2.5
      {256, 256 + 128, SampleEdge::kWrap, 120 * 256, 140},     // half way to row 0
      {256, -2 * 256, SampleEdge::kWrap, 100 * 256, 100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SampleBilinear(src, 0, c.x, c.y, c.edge), c.bilinear) << c.x << ", " << c.y;
    EXPECT_EQ(SampleNearest(src, 0, c.x >> 8, c.y >> 8, c.edge), c.nearest) << c.x << ", " << c.y;
  }
  // Outside is outside for every sampler; the quadratic at a whole position
  // of a row is that pixel.
  std::vector<uint8_t> lut(65536);
  RkCreateSamplingLUT(lut.data());
  EXPECT_EQ(SampleTable(src, 0, -5, 0, lut.data()), kSampleOutside);
  EXPECT_EQ(SampleQuadratic(src, 0, 0, 600), kSampleOutside);
  EXPECT_EQ(SampleQuadratic(src, 0, 256, 0), 100 * 256);
  EXPECT_EQ(SampleNearest(SampleSource{}, 0, 0, 0, SampleEdge::kWrap), kSampleOutside);
}

// ---------------------------------------------------------------------------
// Refusals write nothing; the result codes of the readings.

struct RefusalCase {
  const char* name;
  Op op;
  int sw, sh, dw, dh;
  bool destPixels;
  int16_t result;
};

class ResizeRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(ResizeRefusal, ReturnsItsCodeAndWritesNothing) {
  const RefusalCase& rc = GetParam();
  Rgb src = rktest::MakeNoise(std::max(rc.sw, 1), std::max(rc.sh, 1));
  src.width = rc.sw;
  src.height = rc.sh;
  std::vector<uint8_t> out(64 * 64 * 3, 0xAB);
  ImageBlkAttrRec s, d;
  DescribeTop24(src, s);
  d = s;
  d.width = static_cast<uint16_t>(rc.dw);
  d.height = static_cast<uint16_t>(rc.dh);
  d.pixels = rc.destPixels ? out.data() : nullptr;
  d.rowStride = 64 * 3;
  EXPECT_EQ(Resize(rc.op, d, s), rc.result);
  EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xAB));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResizeRefusal,
    testing::Values(RefusalCase{"ShrinkRatioBelowTwo", Op::kShrink, 300, 200, 160, 120, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"ShrinkHeightZero", Op::kShrink, 300, 200, 0, 0, true, RK_OK},
                    RefusalCase{"ShrinkWidthZero", Op::kShrink, 300, 200, 0, 10, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"ShrinkNoPixels", Op::kShrink, 300, 200, 10, 10, false, RK_ERR_UNSUPPORTED},
                    RefusalCase{"ShrinkEmptySource", Op::kShrink, 0, 0, 10, 10, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"BilinearHeightZero", Op::kBilinear, 30, 20, 10, 0, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"QuadraticWidthZero", Op::kQuadratic, 30, 20, 0, 10, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"LutHeightZero", Op::kLutSin, 30, 20, 10, 0, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"NearestEmptySource", Op::kNearest, 0, 5, 10, 10, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"LutNearestEmptySource", Op::kLutNearest, 5, 0, 10, 10, true, RK_ERR_UNSUPPORTED},
                    RefusalCase{"BilinearNoPixels", Op::kBilinear, 30, 20, 10, 10, false, RK_ERR_UNSUPPORTED}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(ResizeBehaviour, NullArgumentsGiveMinusTwo) {
  ModuleTable table;
  Rgb img = rktest::MakeNoise(8, 8);
  ImageBlkAttrRec a, b;
  DescribeTop24(img, a);
  DescribeTop24(img, b);
  const std::vector<uint8_t> lut(65536);
  EXPECT_EQ(RkShrinkingResizeImage(nullptr, &a, &b, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkShrinkingResizeImage(table.get(), nullptr, &b, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkSamplingResizeImage(table.get(), &a, nullptr, 1, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkSamplingResizeLUTImage(table.get(), &a, &b, 1, nullptr, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkSamplingResizeLUTImage(nullptr, &a, &b, 1, lut.data(), nullptr), RK_ERR_NULL);
  RkCreateSamplingLUT(nullptr);
  RkCreateSamplingSinLUT(nullptr);
}

TEST(ResizeBehaviour, EmptySourceResamplesToBlack) {
  // Every sample lies outside (-256 >> 8 = -1), and the mean is clamped to 0.
  Rgb dot{1, 1, {9, 9, 9}};
  Rgb out{3, 2, std::vector<uint8_t>(18, 0xAB)};
  ImageBlkAttrRec s, d;
  DescribeTop24(dot, s);
  DescribeTop24(out, d);
  s.width = 0;
  ASSERT_EQ(Resize(Op::kBilinear, d, s), RK_OK);
  EXPECT_EQ(out.px, std::vector<uint8_t>(18, 0));
}

// ---------------------------------------------------------------------------
// Progress: one call per destination row; the last value is the result;
// -1000 stops after the rows finished so far.

struct Calls {
  std::vector<int32_t> done;
  std::vector<int32_t> total;
  std::vector<void*> work;
  int16_t answer = 5;
  int32_t stopAt = -1;
};

int16_t Record(int32_t done, int32_t total, void* work, uintptr_t user) {
  auto* c = reinterpret_cast<Calls*>(user);
  c->done.push_back(done);
  c->total.push_back(total);
  c->work.push_back(work);
  return done == c->stopAt ? int16_t{RK_STOPPED} : c->answer;
}

class ResizeProgress : public testing::TestWithParam<Op> {};

TEST_P(ResizeProgress, ReportsRowsAndStops) {
  const Op op = GetParam();
  Rgb src = rktest::MakePhotoLike(40, 24);
  Bitmap24 d24(13, 6, 0xAB);
  ImageBlkAttrRec s, d{};
  DescribeTop24(src, s);
  d24.Describe(d);
  Calls calls;
  UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&calls)};
  ASSERT_EQ(Resize(op, d, s, &cb), 5);
  ASSERT_EQ(calls.done, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(calls.total, std::vector<int32_t>(6, 5));
  // The shrink walks stored rows; the resampling resize writes image row y
  // at stored row height - 1 - y of this bottom-up destination.
  const bool stored = op == Op::kShrink;
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(calls.work[static_cast<size_t>(y)], d24.bytes.data() + (stored ? y : 5 - y) * d24.stride);

  Bitmap24 part(13, 6, 0xAB);
  part.Describe(d);
  Calls stop;
  stop.stopAt = 2;
  UserCallBackRec cb2{Record, reinterpret_cast<uintptr_t>(&stop)};
  ASSERT_EQ(Resize(op, d, s, &cb2), RK_STOPPED);
  EXPECT_EQ(stop.done.size(), 3u);
  for (int y = 0; y < 6; ++y) {
    const auto row = static_cast<std::ptrdiff_t>(stored ? y : 5 - y) * part.stride;
    const std::vector<uint8_t> got(part.bytes.begin() + row, part.bytes.begin() + row + 39);
    const std::vector<uint8_t> full(d24.bytes.begin() + row, d24.bytes.begin() + row + 39);
    EXPECT_EQ(got, y <= 2 ? full : std::vector<uint8_t>(39, 0xAB)) << "row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Ops, ResizeProgress, testing::Values(Op::kShrink, Op::kQuadratic, Op::kLutProduct));

}  // namespace
