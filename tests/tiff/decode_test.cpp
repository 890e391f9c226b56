// RkDecodeImageByTIFF beyond the peers' files: data that ends early,
// progress calls, and records it cannot decode.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "test_images.h"
#include "tiff_test_util.h"

namespace {

using tifftest::Bytes;

Bytes Ramp(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 + 3);
  return b;
}

// Every prefix of two small files: a result code, never a read outside the
// prefix (ASan watches the exact-size copy).
TEST(TiffTruncation, EveryPrefixGivesAResultCode) {
  const int w = 7, h = 5;
  std::vector<Bytes> planes(3, Ramp(w * h));
  const Bytes files[] = {
      tifftest::WriteWithLibtiff({true, w, h, 2, 1, 2}, planes),
      tifftest::WriteWithLibtiff({false, w, h, 6, 2, 2, 2, 2, true}, planes)};
  for (const Bytes& file : files) {
    ASSERT_EQ(tifftest::Decode(file).image, 0);
    for (size_t n = 0; n < file.size(); ++n) {
      const Bytes prefix(file.begin(), file.begin() + std::ptrdiff_t(n));
      const auto d = tifftest::Decode(prefix);
      EXPECT_TRUE(d.header > 0 || d.header == RK_ERR_FORMAT || d.header == RK_ERR_BUFFER) << n << ": " << d.header;
      if (d.header > 0) {
        EXPECT_TRUE(d.image == 0 || d.image == RK_ERR_FORMAT) << n << ": " << d.image;
      }
    }
  }
}

// One strip cut inside row 3 of 6: rows 0-2 are decoded, the rest untouched.
TEST(TiffTruncation, FinishedRowsStay) {
  const int w = 5, h = 6;
  const Bytes pixels = Ramp(3 * w * h);
  Bytes file = tifftest::SimpleRgb(false, w, h, pixels);
  const auto full = tifftest::Decode(file);
  ASSERT_EQ(full.image, 0);
  const uint32_t strip = uint32_t(full.header);
  file.resize(strip + 3 * w * 3 + 4);  // the directory is gone too: set it up by hand
  rktest::ModuleTable table;
  ImageBlkAttrRec r = full.record;
  r.data = file.data();
  r.dataLength = uint32_t(file.size()) - strip;
  rktest::Bitmap24 bmp(w, h, 0xEE);
  bmp.Describe(r);
  EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, nullptr), RK_ERR_FORMAT);
  const rktest::Rgb got = bmp.ToRgb();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(got.at(x, y)[c], y < 3 ? full.rgb.at(x, y)[c] : 0xEE) << x << "," << y;
}

TEST(TiffTruncation, StripPastTheData) {
  Bytes file = tifftest::SimpleRgb(true, 2, 2, Ramp(12));
  // StripOffsets, 6th of 8 entries: its value field starts 32 bytes from
  // the end; 1 MiB further on it lies past the data.
  file[file.size() - 32 + 2] = 0x10;
  const auto d = tifftest::Decode(file);
  EXPECT_GT(d.header, 0);
  EXPECT_EQ(d.record.dataLength, 0u);
  EXPECT_EQ(d.image, RK_ERR_FORMAT);
}

struct Calls {
  std::vector<std::pair<int32_t, int32_t>> seen;
  size_t stopAt = SIZE_MAX;
  int16_t last = 0;
};

int16_t Record(int32_t done, int32_t total, void*, uintptr_t user) {
  auto* c = reinterpret_cast<Calls*>(user);
  c->seen.emplace_back(done, total);
  if (c->seen.size() == c->stopAt) return RK_STOPPED;
  return c->last;
}

TEST(TiffProgress, AfterEveryRowThenOnceMoreAndStops) {
  const int w = 3, h = 4;
  const Bytes file = tifftest::SimpleRgb(true, w, h, Ramp(3 * w * h));
  const auto header = tifftest::Decode(file);
  for (size_t stopAt : {SIZE_MAX, size_t{2}}) {
    Calls calls;
    calls.stopAt = stopAt;
    calls.last = 9;
    UserCallBackRec cb{Record, reinterpret_cast<uintptr_t>(&calls)};
    rktest::ModuleTable table;
    ImageBlkAttrRec r = header.record;
    rktest::Bitmap24 bmp(w, h, 0xEE);
    bmp.Describe(r);
    const int16_t result = RkDecodeImageByTIFF(table.get(), &r, &cb);
    if (stopAt == SIZE_MAX) {
      EXPECT_EQ(result, 9);  // the closing call's value
      const std::vector<std::pair<int32_t, int32_t>> want = {{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}};
      EXPECT_EQ(calls.seen, want);
    } else {
      EXPECT_EQ(result, RK_STOPPED);
      EXPECT_EQ(calls.seen.size(), 2u);
      EXPECT_EQ(bmp.ToRgb().at(0, 1)[0], header.rgb.at(0, 1)[0]);
      EXPECT_EQ(bmp.ToRgb().at(0, 2)[0], 0xEE);
    }
  }
}

TEST(TiffRecord, CodesItCannotCopy) {
  const Bytes file = tifftest::SimpleRgb(true, 2, 2, Ramp(12));
  const auto header = tifftest::Decode(file);
  rktest::ModuleTable table;
  rktest::Bitmap24 bmp(2, 2);
  for (auto [code, want] : {std::pair{0x2231u, -5}, {0x1241u, -5}, {0x1233u, -5}, {0x1130u, -5}, {0x1711u, -5},
                            {0x1110u, 0}, {0x1112u, 0}}) {
    ImageBlkAttrRec r = header.record;
    bmp.Describe(r);
    r.componentIds = code;
    EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, nullptr), want) << std::hex << code;
  }
  ImageBlkAttrRec r = header.record;
  EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, nullptr), RK_ERR_UNSUPPORTED);  // no pixels
  EXPECT_EQ(RkDecodeImageByTIFF(nullptr, &r, nullptr), RK_ERR_NULL);
}

}  // namespace
