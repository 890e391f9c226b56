// CAM picture decompression: exact pixels against the independent fixtures
// and the plain per-block path, the three output modes, pixel layouts, work
// shop, progress and stop, and damaged streams.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cam/kernels.h"
#include "cam_bytes.h"
#include "cam_reference.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::Buffer32;
using rktest::ModuleTable;
using rktest::Rgb;

struct Size {
  int width, height;
};
constexpr Size kSizes[] = {{480, 360}, {480, 240}, {320, 240}};

std::string SizeName(const Size& s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

// A whole CAM file ready to decode: its bytes, the module table after the
// default Huffman tables and the header decoder, and the filled record.
struct Prepared {
  std::vector<uint8_t> file;
  ModuleTable table;
  ImageBlkAttrRec image{};
  explicit Prepared(std::vector<uint8_t> bytes) : file(std::move(bytes)) {
    RkInitLHuffmanTable(table.get());
    RkInitCHuffmanTable(table.get());
    rc = RkDecodeCAMHeaderEx(table.get(), file.data(), static_cast<uint32_t>(file.size()), nullptr, &image);
  }
  int16_t rc = 0;
};

Rgb DecodeToBitmap(Prepared& p, Size size, int16_t* result = nullptr) {
  Bitmap24 bmp(size.width, size.height, 0x33);
  ImageBlkAttrRec image = p.image;
  bmp.Describe(image);
  const int16_t rc = RkDecompressImageByCAM(p.table.get(), &image, nullptr);
  if (result != nullptr) *result = rc;
  EXPECT_EQ(rc, 0);
  return bmp.ToRgb();
}

bool SamePixels(const Rgb& a, const Rgb& b) {
  return a.width == b.width && a.height == b.height && a.px == b.px;
}

// ---------------------------------------------------------------- exactness

struct FixtureCase {
  std::string name;
  Size size;
};

class CamFixturePixels : public ::testing::TestWithParam<FixtureCase> {};

// The fixtures hold the exact pictures an independent decoder produced.
TEST_P(CamFixturePixels, ByteForByte) {
  const auto& c = GetParam();
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/" + c.name + ".cam")));
  ASSERT_EQ(p.rc, 0);
  const Rgb expected = rktest::LoadPpm(rktest::Fixture("cam/" + c.name + "." + SizeName(c.size) + ".ppm"));
  const Rgb got = DecodeToBitmap(p, c.size);
  const auto diff = rktest::Compare(got, expected);
  EXPECT_EQ(diff.maxAbs, 0) << "mean " << diff.mean;
  EXPECT_TRUE(SamePixels(got, expected));
  EXPECT_EQ(p.table->decodeError, 0);
}

std::vector<FixtureCase> FixtureCases() {
  std::vector<FixtureCase> v;
  for (const char* n : {"scene_MM_thumb", "chart_II_extra"})
    for (Size s : kSizes) v.push_back({n, s});
  return v;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CamFixturePixels, ::testing::ValuesIn(FixtureCases()),
                         [](const auto& info) { return info.param.name + "_" + SizeName(info.param.size); });

// The strip decoder (fast block decoder, split colour conversion) against
// the plain per-block path over whole planes, for intact and damaged files.
struct DamageCase {
  std::string name;
  // Changes the record after the header decode (lengths, bytes).
  void (*damage)(std::vector<uint8_t>& file, ImageBlkAttrRec& image);
  int expectError;  // 1 yes, 0 no, -1 either
};

class CamAgainstPlainPath : public ::testing::TestWithParam<DamageCase> {};

TEST_P(CamAgainstPlainPath, AllSizes) {
  const auto& c = GetParam();
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/scene_MM_thumb.cam")));
  ASSERT_EQ(p.rc, 0);
  c.damage(p.file, p.image);
  const camtest::Planes planes = camtest::ReferencePlanes(*p.table.get(), p.image);
  if (c.expectError >= 0) {
    EXPECT_EQ(planes.firstError != 0, c.expectError == 1);
  }
  for (Size s : kSizes) {
    const Rgb got = DecodeToBitmap(p, s);
    EXPECT_TRUE(SamePixels(got, camtest::ReferencePicture(planes, s.width, s.height))) << SizeName(s);
    EXPECT_EQ(p.table->decodeError, planes.firstError) << SizeName(s);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CamAgainstPlainPath,
    ::testing::Values(
        DamageCase{"Intact", [](std::vector<uint8_t>&, ImageBlkAttrRec&) {}, 0},
        // The Y stream ends a third of the way in: the rest of it is grey.
        DamageCase{"ShortLuma",
                   [](std::vector<uint8_t>&, ImageBlkAttrRec& im) {
                     // Cb and Cr then start where the shorter Y stream ends.
                     im.segmentLength[0] /= 3;
                   },
                   1},
        // Cr stream cut to 100 bytes.
        DamageCase{"ShortCr",
                   [](std::vector<uint8_t>&, ImageBlkAttrRec& im) {
                     im.dataLength -= im.segmentLength[2] - 100;
                     im.segmentLength[2] = 100;
                   },
                   1},
        // Restart markers in the middle of the Y stream (a marker is seen
        // only where a symbol starts, hence a run of them).
        DamageCase{"MarkersInLuma",
                   [](std::vector<uint8_t>& f, ImageBlkAttrRec& im) {
                     const size_t at = static_cast<size_t>(im.data - f.data()) + 4000;
                     for (size_t i = 0; i < 64; i += 2) {
                       f[at + i] = 0xFF;
                       f[at + i + 1] = 0xD3;
                     }
                   },
                   1},
        // Cb bytes all 1s: no chrominance DC code is 16 ones long.
        DamageCase{"NoCodeInCb",
                   [](std::vector<uint8_t>& f, ImageBlkAttrRec& im) {
                     const size_t at = static_cast<size_t>(im.data - f.data()) + im.segmentLength[0];
                     std::memset(&f[at + 200], 0xFF, im.segmentLength[1] - 200);
                   },
                   1},
        // Noise over the Y stream: wrong codes, runs past 63, wild values.
        DamageCase{"NoiseInLuma",
                   [](std::vector<uint8_t>& f, ImageBlkAttrRec& im) {
                     const size_t at = static_cast<size_t>(im.data - f.data());
                     uint32_t x = 12345;
                     for (size_t i = 2000; i < im.segmentLength[0]; ++i) {
                       x = x * 1103515245u + 12345u;
                       f[at + i] = static_cast<uint8_t>(x >> 16);
                     }
                   },
                   -1}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------- output modes

class CamModes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(p.rc, 0);
    direct = DecodeToBitmap(p, {480, 240});
    tall = DecodeToBitmap(p, {480, 360});
    narrow = DecodeToBitmap(p, {320, 240});
  }
  Prepared p{rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam"))};
  Rgb direct, tall, narrow;
};

TEST_F(CamModes, TallRowsOnTheSourceGrid) {
  for (int x = 0; x < 480; ++x) {
    for (int c = 0; c < 3; ++c) {
      ASSERT_EQ(tall.at(x, 0)[c], direct.at(x, 0)[c]) << x;
      ASSERT_EQ(tall.at(x, 2)[c], direct.at(x, 1)[c]) << x;
      ASSERT_EQ(tall.at(x, 1)[c], (tall.at(x, 2)[c] + 2 * tall.at(x, 0)[c]) / 3) << x;
    }
  }
  // Every third row from row 2 on is source row 2m + 1 itself.
  for (int m = 0; m < 120; ++m)
    for (int x = 0; x < 480; ++x)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(tall.at(x, 3 * m + 2)[c], direct.at(x, 2 * m + 1)[c]);
}

TEST_F(CamModes, NarrowOddColumnsAreTheThirdSourceColumn) {
  for (int y = 0; y < 240; ++y)
    for (int k = 0; k < 160; ++k)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(narrow.at(2 * k + 1, y)[c], direct.at(3 * k + 2, y)[c]);
}

// ---------------------------------------------------------------- layouts

class CamLayouts : public ::testing::TestWithParam<Size> {
 protected:
  Prepared p{rktest::ReadFile(rktest::Fixture("cam/scene_MM_thumb.cam"))};
};

TEST_P(CamLayouts, TopDownThirtyTwoBitLeavesByteZeroAlone) {
  const Size s = GetParam();
  const Rgb bottomUp = DecodeToBitmap(p, s);
  Buffer32 buf(s.width, s.height, 0x5A);
  ImageBlkAttrRec image;
  buf.Describe(image);  // the RkInitImageAttribute layout, top-down
  image.data = p.image.data;
  image.dataLength = p.image.dataLength;
  std::memcpy(image.segmentLength, p.image.segmentLength, sizeof image.segmentLength);
  ASSERT_EQ(RkDecompressImageByCAM(p.table.get(), &image, nullptr), 0);
  EXPECT_TRUE(SamePixels(buf.ToRgb(), bottomUp));
  for (size_t i = 0; i < buf.bytes.size(); i += 4) ASSERT_EQ(buf.bytes[i], 0x5A) << i;
}

// Rows wider than the pixels (a padded stride) and a 4-byte pixel with a
// gap: only the three channel bytes of each pixel are written.
TEST_P(CamLayouts, PaddingAndGapsUntouched) {
  const Size s = GetParam();
  const Rgb expected = DecodeToBitmap(p, s);
  const int stride = s.width * 4 + 7;
  std::vector<uint8_t> bytes(static_cast<size_t>(stride) * s.height, 0xEE);
  ImageBlkAttrRec image = p.image;
  image.width = static_cast<uint16_t>(s.width);
  image.height = static_cast<uint16_t>(s.height);
  image.pixels = bytes.data();
  image.rowStride = stride;
  image.pixelStride = 4;
  image.blueOffset = 0;
  image.greenOffset = 2;
  image.redOffset = 3;
  image.bottomUp = 1;
  ASSERT_EQ(RkDecompressImageByCAM(p.table.get(), &image, nullptr), 0);
  for (int y = 0; y < s.height; ++y) {
    const uint8_t* row = &bytes[static_cast<size_t>(s.height - 1 - y) * stride];
    for (int x = 0; x < s.width; ++x) {
      const uint8_t* px = row + 4 * x;
      ASSERT_EQ(px[3], expected.at(x, y)[0]);
      ASSERT_EQ(px[2], expected.at(x, y)[1]);
      ASSERT_EQ(px[0], expected.at(x, y)[2]);
      ASSERT_EQ(px[1], 0xEE);
    }
    for (int i = s.width * 4; i < stride; ++i) ASSERT_EQ(row[i], 0xEE);
  }
}

TEST_P(CamLayouts, BottomUpIsTopDownMirrored) {
  const Size s = GetParam();
  const int stride = s.width * 3;
  std::vector<uint8_t> up(static_cast<size_t>(stride) * s.height), down(up.size());
  for (int flip = 0; flip < 2; ++flip) {
    ImageBlkAttrRec image = p.image;
    Bitmap24 dummy(s.width, s.height);
    dummy.Describe(image);
    image.rowStride = stride;
    image.pixels = flip ? up.data() : down.data();
    image.bottomUp = static_cast<uint8_t>(flip);
    ASSERT_EQ(RkDecompressImageByCAM(p.table.get(), &image, nullptr), 0);
  }
  for (int r = 0; r < s.height; ++r) {
    ASSERT_EQ(0, std::memcmp(&down[static_cast<size_t>(r) * stride],
                             &up[static_cast<size_t>(s.height - 1 - r) * stride], stride))
        << r;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CamLayouts, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return SizeName(info.param); });

// ---------------------------------------------------------------- work shop

TEST(CamWorkShop, DecodesTheSameInAnUnalignedShopOfTheReportedSize) {
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/scene_MM_thumb.cam")));
  const Rgb expected = DecodeToBitmap(p, {480, 360});
  const uint32_t size = RkGetCAMDecodeWorkSpaceSize();
  // Strips, coefficient blocks, three table copies with their scratch words.
  EXPECT_GE(size, 15360u + 2 * 2560u + 1024u + 3 * sizeof(ModuleTableRec) + 3 * 64u);
  // Exactly the reported size, starting one byte past an aligned address.
  std::unique_ptr<uint8_t[]> raw(new uint8_t[size + 1]);
  uint8_t* shop = raw.get() + 1;
  std::memset(shop, 0xA5, size);
  RkSetCustomModuleTableWorkshop(p.table.get(), shop);
  const Rgb got = DecodeToBitmap(p, {480, 360});
  RkSetCustomModuleTableWorkshop(p.table.get(), nullptr);
  EXPECT_TRUE(SamePixels(got, expected));
  size_t changed = 0;
  for (uint32_t i = 0; i < size; ++i) changed += shop[i] != 0xA5;
  EXPECT_GT(changed, 15360u);  // the strips live in the shop
}

// ---------------------------------------------------------------- progress

struct Calls {
  std::vector<std::pair<int32_t, int32_t>> seen;
  int stopAt = -1;  // index of the call that answers RK_STOPPED
};

int16_t Record(int32_t done, int32_t total, void* work, uintptr_t user) {
  auto* calls = reinterpret_cast<Calls*>(user);
  EXPECT_NE(work, nullptr);
  calls->seen.emplace_back(done, total);
  return static_cast<int>(calls->seen.size()) - 1 == calls->stopAt ? int16_t{RK_STOPPED} : int16_t{0};
}

TEST(CamProgress, OneCallPerStripThenTheTotal) {
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam")));
  Calls calls;
  UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&calls)};
  Bitmap24 bmp(480, 240);
  ImageBlkAttrRec image = p.image;
  bmp.Describe(image);
  ASSERT_EQ(RkDecompressImageByCAM(p.table.get(), &image, &cb), 0);
  std::vector<std::pair<int32_t, int32_t>> want;
  for (int s = 0; s < 15; ++s) want.emplace_back(16 * s, 240);
  want.emplace_back(240, 240);
  EXPECT_EQ(calls.seen, want);
  UserCallBackRec none{nullptr, 0};
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &image, &none), 0);
}

// A stop answered to the final (240, 240) call still reports the stop,
// after the whole picture has been written.
TEST(CamProgress, StopAtTheFinalCall) {
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam")));
  const Rgb full = DecodeToBitmap(p, {320, 240});
  Calls calls;
  calls.stopAt = 15;
  UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&calls)};
  Bitmap24 bmp(320, 240);
  ImageBlkAttrRec image = p.image;
  bmp.Describe(image);
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &image, &cb), RK_STOPPED);
  EXPECT_EQ(calls.seen.size(), 16u);
  EXPECT_TRUE(SamePixels(bmp.ToRgb(), full));
}

class CamStop : public ::testing::TestWithParam<Size> {};

// A stop at the first call leaves the first strip written and nothing else.
TEST_P(CamStop, AfterTheFirstStrip) {
  const Size s = GetParam();
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam")));
  const Rgb full = DecodeToBitmap(p, s);
  Calls calls;
  calls.stopAt = 0;
  UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&calls)};
  Bitmap24 bmp(s.width, s.height, 0x33);
  ImageBlkAttrRec image = p.image;
  bmp.Describe(image);
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &image, &cb), RK_STOPPED);
  EXPECT_EQ(calls.seen.size(), 1u);
  const Rgb got = bmp.ToRgb();
  const int written = s.height == 360 ? 24 : 16;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        if (y < written) {
          ASSERT_EQ(got.at(x, y)[c], full.at(x, y)[c]) << x << "," << y;
        } else {
          ASSERT_EQ(got.at(x, y)[c], 0x33) << x << "," << y;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CamStop, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return SizeName(info.param); });

// ---------------------------------------------------------------- arguments

struct BadSizeCase {
  const char* name;
  uint16_t width, height;
};

class CamBadSize : public ::testing::TestWithParam<BadSizeCase> {};

TEST_P(CamBadSize, RefusedBeforeAnythingIsTouched) {
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam")));
  std::vector<uint8_t> bytes(640 * 480 * 4, 0x77);
  ImageBlkAttrRec image = p.image;
  image.width = GetParam().width;
  image.height = GetParam().height;
  image.pixels = bytes.data();
  image.rowStride = 640 * 4;
  image.pixelStride = 4;
  p.table->bitPos = 1234;
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &image, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(p.table->bitPos, 1234u);
  EXPECT_EQ(bytes, std::vector<uint8_t>(bytes.size(), 0x77));
}

INSTANTIATE_TEST_SUITE_P(Sizes, CamBadSize,
                         ::testing::Values(BadSizeCase{"VGA", 640, 480}, BadSizeCase{"TallSwapped", 360, 480},
                                           BadSizeCase{"DirectSwapped", 240, 480},
                                           BadSizeCase{"Zero", 0, 0}, BadSizeCase{"OneRowShort", 480, 239}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CamArguments, NullsAndMissingBuffers) {
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam")));
  Bitmap24 bmp(480, 240);
  ImageBlkAttrRec image = p.image;
  bmp.Describe(image);
  EXPECT_EQ(RkDecompressImageByCAM(nullptr, &image, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), nullptr, nullptr), RK_ERR_NULL);
  ImageBlkAttrRec noPixels = image;
  noPixels.pixels = nullptr;
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &noPixels, nullptr), RK_ERR_UNSUPPORTED);
  ImageBlkAttrRec noData = image;
  noData.data = nullptr;
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &noData, nullptr), RK_ERR_UNSUPPORTED);
}

// ---------------------------------------------------------------- built streams

// Packs bits most significant first; pads the last byte with ones and
// stuffs a 0 after every 0xFF.
struct Bits {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int n = 0;
  void Put(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) {
      acc = (acc << 1) | ((code >> i) & 1);
      if (++n == 8) Flush();
    }
  }
  void Flush() {
    bytes.push_back(static_cast<uint8_t>(acc));
    if (acc == 0xFF) bytes.push_back(0);
    acc = 0;
    n = 0;
  }
  std::vector<uint8_t> Done() {
    if (n > 0) Put(0x7F, 8 - n);
    return bytes;
  }
};

// Every block DC category 0 and end of block, in every stream.
std::vector<uint8_t> FlatCam(const char* marks) {
  Bits y, cb, cr;
  for (int i = 0; i < 1800; ++i) { y.Put(0b00, 2); y.Put(0b1010, 4); }  // K.3 cat 0, K.5 EOB
  for (int i = 0; i < 300; ++i) { cb.Put(0b00, 2); cb.Put(0b00, 2); }   // K.4 cat 0, K.6 EOB
  for (int i = 0; i < 300; ++i) { cr.Put(0b00, 2); cr.Put(0b00, 2); }
  const auto ys = y.Done(), cbs = cb.Done(), crs = cr.Done();
  const bool be = marks[1] == 'M';
  auto section = camtest::ImageSection(static_cast<uint16_t>(ys.size()), static_cast<uint16_t>(cbs.size()),
                                       static_cast<uint16_t>(crs.size()), be);
  section.resize(136);
  for (const auto* s : {&ys, &cbs, &crs}) section.insert(section.end(), s->begin(), s->end());
  return camtest::Container(marks, {{3, section}});
}

class CamFlat : public ::testing::TestWithParam<Size> {};

TEST_P(CamFlat, AllDcZeroIsGrey128) {
  const Size s = GetParam();
  Prepared p(FlatCam("II"));
  ASSERT_EQ(p.rc, 0);
  const Rgb got = DecodeToBitmap(p, s);
  for (uint8_t v : got.px) ASSERT_EQ(v, 128);
  EXPECT_EQ(p.table->decodeError, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CamFlat, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return SizeName(info.param); });

// A Y stream of bytes FF FF ...: the window of sixteen ones matches no DC
// code, so the stream ends there and all its blocks come out level 128. The
// unmatched window is not a place to resynchronise from.
TEST(CamDamaged, UnknownCodeEndsTheStream) {
  auto file = FlatCam("MM");
  Prepared p(file);
  ASSERT_EQ(p.rc, 0);
  uint8_t* y = p.image.data;
  std::memset(y, 0xFF, p.image.segmentLength[0]);
  const Rgb got = DecodeToBitmap(p, {480, 240});
  for (uint8_t v : got.px) ASSERT_EQ(v, 128);
  EXPECT_EQ(p.table->decodeError, RK_ERR_END_OF_DATA);
}

// Stream lengths that disagree with dataLength are cut to it: the decoder
// never reads past data + dataLength (the data sits at the end of an exact
// heap buffer, so ASan would see an overread).
TEST(CamDamaged, SegmentLengthsBeyondTheData) {
  Prepared p(rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam")));
  std::unique_ptr<uint8_t[]> data(new uint8_t[p.image.dataLength]);
  std::memcpy(data.get(), p.image.data, p.image.dataLength);
  ImageBlkAttrRec image = p.image;
  image.data = data.get();
  image.segmentLength[0] = 0xFFFFFFF0u;
  image.segmentLength[1] = 0xFFFFFFF0u;
  Bitmap24 bmp(480, 360);
  bmp.Describe(image);
  EXPECT_EQ(RkDecompressImageByCAM(p.table.get(), &image, nullptr), 0);
  EXPECT_EQ(p.table->decodeError, RK_ERR_END_OF_DATA);
}

}  // namespace
