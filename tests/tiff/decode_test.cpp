// RkDecodeImageByTIFF beyond the peers' files: data that ends early,
// progress calls, and records it cannot decode.
#include <gtest/gtest.h>

#include "test_images.h"
#include "tiff_test_util.h"

namespace {

using tifftest::Bytes;

// A 5 x 6 RGB file in one strip, with its header record.
struct Small {
  std::vector<Bytes> planes = {Bytes(30, 10), Bytes(30, 20), Bytes(30, 30)};
  Bytes file;
  tifftest::Decoded full;
  Small() {
    for (int i = 0; i < 30; ++i) planes[0][size_t(i)] = uint8_t(i * 7);
    file = tifftest::WriteWithLibtiff({false, 5, 6, 2, 1, 6}, planes);
    full = tifftest::Decode(file);
  }
};

// Every prefix of two small files: a result code, never a read outside the
// prefix (ASan watches the exact-size copy).
TEST(TiffTruncation, EveryPrefixGivesAResultCode) {
  std::vector<Bytes> planes(3, Bytes(35, 0x31));
  for (const Bytes& file : {tifftest::WriteWithLibtiff({true, 7, 5, 2, 1, 2}, planes),
                            tifftest::WriteWithLibtiff({false, 7, 5, 6, 2, 2, 2, 2, true}, planes)}) {
    ASSERT_EQ(tifftest::Decode(file).image, 0);
    for (size_t n = 0; n < file.size(); ++n) {
      const auto d = tifftest::Decode(Bytes(file.begin(), file.begin() + std::ptrdiff_t(n)));
      EXPECT_TRUE(d.header > 0 || d.header == RK_ERR_FORMAT || d.header == RK_ERR_BUFFER) << n << ": " << d.header;
      EXPECT_TRUE(d.header <= 0 || d.image == 0 || d.image == RK_ERR_FORMAT) << n << ": " << d.image;
    }
  }
}

// The strip's data ends inside row 3: rows 0-2 are decoded, the rest
// untouched; a progress call that stops after row 1 leaves rows 2 on
// untouched too.
TEST(TiffTruncation, FinishedRowsStay) {
  const Small s;
  ASSERT_EQ(s.full.image, 0);
  struct Stop {
    std::vector<int32_t> done;
  } stop;
  UserCallBackRec cb{[](int32_t done, int32_t total, void*, uintptr_t user) -> int16_t {
                       reinterpret_cast<Stop*>(user)->done.push_back(done);
                       return done == 1 ? int16_t{RK_STOPPED} : int16_t(total);
                     },
                     reinterpret_cast<uintptr_t>(&stop)};
  for (auto [cut, progress, result, rows] : {std::tuple{3 * 5 * 3 + 4, false, -1, 3}, {0, true, -1000, 2}}) {
    rktest::ModuleTable table;
    ImageBlkAttrRec r = s.full.record;
    r.data = const_cast<uint8_t*>(s.file.data());
    if (cut > 0) r.dataLength = uint32_t(cut);
    rktest::Bitmap24 bmp(5, 6, 0xEE);
    bmp.Describe(r);
    EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, progress ? &cb : nullptr), result);
    const rktest::Rgb got = bmp.ToRgb();
    for (int y = 0; y < 6; ++y) EXPECT_EQ(got.at(4, y)[0], y < rows ? s.full.rgb.at(4, y)[0] : 0xEE) << y;
  }
  EXPECT_EQ(stop.done, (std::vector<int32_t>{0, 1}));
}

// After every row (done = the row), then once with done = total, whose
// value is the result; also when the rows are empty (width 0).
TEST(TiffProgress, AfterEveryRowThenOnceMore) {
  const Small s;
  for (uint16_t width : {5, 0}) {
    std::vector<std::pair<int32_t, int32_t>> calls;
    UserCallBackRec cb{[](int32_t done, int32_t total, void*, uintptr_t user) -> int16_t {
                         reinterpret_cast<decltype(calls)*>(user)->emplace_back(done, total);
                         return 9;
                       },
                       reinterpret_cast<uintptr_t>(&calls)};
    rktest::ModuleTable table;
    ImageBlkAttrRec r = s.full.record;
    rktest::Bitmap24 bmp(5, 6);
    bmp.Describe(r);
    r.width = width;
    EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, &cb), 9);
    EXPECT_EQ(calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 6}, {1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}}))
        << "width " << width;
  }
}

TEST(TiffRecord, CodesItCannotCopy) {
  const Small s;
  rktest::ModuleTable table;
  rktest::Bitmap24 bmp(5, 6);
  // Compression 2, four samples, planar 3, grey with three samples,
  // photometric 7; then grey in the three planar settings.
  for (auto [code, want] : {std::pair{0x2231u, -5}, {0x1241u, -5}, {0x1233u, -5}, {0x1130u, -5}, {0x1731u, -5},
                            {0x1110u, 0}, {0x1111u, 0}, {0x1112u, 0}}) {
    ImageBlkAttrRec r = s.full.record;
    bmp.Describe(r);
    r.componentIds = code;
    EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, nullptr), want) << std::hex << code;
  }
  ImageBlkAttrRec r = s.full.record;
  EXPECT_EQ(RkDecodeImageByTIFF(table.get(), &r, nullptr), RK_ERR_UNSUPPORTED);  // no pixels
  EXPECT_EQ(RkDecodeImageByTIFF(nullptr, &r, nullptr), RK_ERR_NULL);
}

}  // namespace
