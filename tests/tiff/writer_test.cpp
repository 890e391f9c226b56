// RkExportImageByTIFF and RkGetExportTIFFImageSize: our files as tiffdump
// lists them and libtiff reads them, the size query against the writer,
// capacities, size limits and progress calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "test_images.h"
#include "tiff/byte_order.h"
#include "tiff/row_kernels.h"
#include "tiff_test_util.h"

namespace {

using tifftest::Bytes;

std::string Tiffdump(const Bytes& file) {
  const std::string path = tifftest::TempPath();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  std::string out;
  if (FILE* p = popen(("tiffdump " + path + " 2>&1").c_str(), "r")) {
    char buf[512];
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
  }
  std::remove(path.c_str());
  return out.substr(out.find("SubFileType"));  // the entries
}

struct WriteCase {
  const char* name;
  int w, h;
  const char* comment;      // null: none
  uint32_t commentLength;   // as stored in the module table
  uint32_t expectedLength;  // L the file holds
  uint16_t xDpi, yDpi;
  bool buffer32;  // else the program's bottom-up BGR bitmap
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class Written : public testing::TestWithParam<WriteCase> {};

TEST_P(Written, ListedByTiffdumpAndReadBackExactly) {
  const WriteCase& c = GetParam();
  const rktest::Rgb img = rktest::MakeNoise(c.w, c.h, uint32_t(c.w));
  rktest::ModuleTable table;
  if (c.comment) RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(c.comment), c.commentLength);
  rktest::Bitmap24 bmp(img);
  rktest::Buffer32 buf(img, 0x77);
  ImageBlkAttrRec r{};
  if (c.buffer32) buf.Describe(r);
  else bmp.Describe(r);
  r.xDpi = c.xDpi;
  r.yDpi = c.yDpi;

  const int n = c.expectedLength > 0 ? 14 : 13;
  const int32_t size = RkGetExportTIFFImageSize(table.get(), &r);
  ASSERT_EQ(size, 3 * c.w * c.h + 12 * n + 36 + int(c.expectedLength));
  Bytes out(size_t(size) + 8, 0xA5);
  r.data = out.data();
  r.dataLength = uint32_t(size);
  ASSERT_EQ(RkExportImageByTIFF(table.get(), &r, nullptr), 0);
  EXPECT_EQ(r.dataLength, uint32_t(size));
  EXPECT_EQ(out[size_t(size)], 0xA5);
  out.resize(size_t(size));

  const auto dpi = [](uint16_t d) { return std::to_string(d ? d : 72); };
  std::ostringstream want;
  want << "SubFileType (254) LONG (4) 1<0>\nImageWidth (256) SHORT (3) 1<" << c.w << ">\n"
       << "ImageLength (257) SHORT (3) 1<" << c.h << ">\nBitsPerSample (258) SHORT (3) 3<8 8 8>\n"
       << "Compression (259) SHORT (3) 1<1>\nPhotometric (262) SHORT (3) 1<2>\n"
       << "StripOffsets (273) LONG (4) 1<" << 36 + 12 * n + int(c.expectedLength) << ">\n"
       << "SamplesPerPixel (277) SHORT (3) 1<3>\nStripByteCounts (279) LONG (4) 1<" << 3 * c.w * c.h << ">\n"
       << "XResolution (282) RATIONAL (5) 1<" << dpi(c.xDpi) << ">\nYResolution (283) RATIONAL (5) 1<"
       << dpi(c.yDpi) << ">\nPlanarConfig (284) SHORT (3) 1<1>\nResolutionUnit (296) SHORT (3) 1<2>\n";
  if (n == 14) want << "34377 (0x8649) BYTE (1) " << c.expectedLength << "<";
  EXPECT_EQ(Tiffdump(out).substr(0, want.str().size()), want.str());

  int warnings = -1;
  const auto diff = rktest::Compare(tifftest::ReadWithLibtiff(out, &warnings), img);
  EXPECT_EQ(diff.maxAbs, 0);
  EXPECT_EQ(warnings, 0);
  const auto back = tifftest::Decode(out);
  EXPECT_EQ(back.header, 36 + 12 * n + int(c.expectedLength));
  EXPECT_EQ(back.record.componentIds, 0x1231u);
  EXPECT_EQ(back.record.xDpi, c.xDpi ? c.xDpi : 72);
  EXPECT_EQ(rktest::Compare(back.rgb, img).maxAbs, 0);
}

const char kProgram[] = "TIFF by Halvard";

INSTANTIATE_TEST_SUITE_P(
    Tiff, Written,
    testing::Values(WriteCase{"twoByOne", 2, 1, nullptr, 0, 0, 0, 0, false},
                    WriteCase{"programComment", 37, 23, kProgram, 15, 15, 0, 0, false},
                    WriteCase{"dpi300x96", 5, 3, nullptr, 0, 0, 300, 96, true},
                    WriteCase{"shortComment", 1, 7, "ab", 2, 2, 65535, 1, false},
                    // A stored length past the text's end: the text ends at its zero.
                    WriteCase{"overlongComment", 3, 2, kProgram, 4000, 15, 0, 0, true},
                    WriteCase{"emptyComment", 3, 2, "", 50, 0, 0, 0, false}),
    [](const testing::TestParamInfo<WriteCase>& i) { return std::string(i.param.name); });

// The 2 x 1 file: 198 bytes, pixels at 192, in red-green-blue order from
// a bottom-up BGR source; any smaller capacity is refused before a byte
// is written.
TEST(TiffWriter, ShortCapacityWritesNothing) {
  rktest::ModuleTable table;
  RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(kProgram), 15);
  rktest::Rgb img;
  img.width = 2, img.height = 1, img.px = {1, 2, 3, 4, 5, 6};
  rktest::Bitmap24 bmp(img);
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  RkSetGlobalComment(table.get(), nullptr, 0);
  ASSERT_EQ(RkGetExportTIFFImageSize(table.get(), &r), 198);
  RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(kProgram), 15);
  const uint32_t size = uint32_t(RkGetExportTIFFImageSize(table.get(), &r));
  ASSERT_EQ(size, 198u + 12 + 15);
  for (uint32_t cap = 0; cap <= size; ++cap) {
    Bytes out(size, 0xA5);
    r.data = out.data();
    r.dataLength = cap;
    const int16_t result = RkExportImageByTIFF(table.get(), &r, nullptr);
    if (cap < size) {
      ASSERT_EQ(result, RK_ERR_BUFFER) << cap;
      ASSERT_EQ(r.dataLength, cap);
      ASSERT_EQ(out, Bytes(size, 0xA5)) << cap;
    } else {
      ASSERT_EQ(result, 0);
      EXPECT_EQ(Bytes(out.end() - 6, out.end()), (Bytes{1, 2, 3, 4, 5, 6}));
    }
  }
}

// The size is a signed 32-bit count: files of 2^31 bytes or more are
// refused (-3) by both calls, as are empty pictures.
TEST(TiffWriter, SizeLimits) {
  rktest::ModuleTable table;
  uint8_t byte = 0;
  // 3 * 65535 * 10922 + 192 = 2147320002 fits; one row more does not.
  for (auto [w, h, want] : {std::tuple{65535, 10922, 2147320002}, {65535, 10923, -3}, {65535, 65535, -3},
                            {0, 5, -3}, {5, 0, -3}}) {
    ImageBlkAttrRec r{};
    r.width = uint16_t(w), r.height = uint16_t(h);
    r.pixels = r.data = &byte;
    r.dataLength = 0xFFFFFFFF;
    EXPECT_EQ(RkGetExportTIFFImageSize(table.get(), &r), want) << w << "x" << h;
    if (want < 0) {
      EXPECT_EQ(RkExportImageByTIFF(table.get(), &r, nullptr), want);
    }
  }
  ImageBlkAttrRec r{};
  EXPECT_EQ(RkGetExportTIFFImageSize(nullptr, &r), RK_ERR_NULL);
  EXPECT_EQ(RkExportImageByTIFF(table.get(), nullptr, nullptr), RK_ERR_NULL);
}

// After every pixel (done = its row), then once with done = total and no
// pointer, whose value is the result; a stop leaves dataLength alone.
TEST(TiffWriter, ProgressAfterEveryPixel) {
  rktest::ModuleTable table;
  rktest::Bitmap24 bmp(rktest::MakeNoise(4, 3));
  struct Count {
    int calls = 0, stopAt = 0;
    int32_t lastDone = -1;
    void* lastWork = nullptr;
  };
  for (auto [stopAt, result, calls, lastDone] : {std::tuple{0, 5, 13, 3}, {6, -1000, 6, 1}}) {
    ImageBlkAttrRec r{};
    bmp.Describe(r);
    Bytes out(size_t(RkGetExportTIFFImageSize(table.get(), &r)));
    r.data = out.data();
    r.dataLength = uint32_t(out.size() + 1);
    Count count{0, stopAt};
    UserCallBackRec cb{[](int32_t done, int32_t, void* work, uintptr_t user) -> int16_t {
                         auto* c = reinterpret_cast<Count*>(user);
                         c->lastDone = done;
                         c->lastWork = work;
                         return ++c->calls == c->stopAt ? int16_t{RK_STOPPED} : int16_t{5};
                       },
                       reinterpret_cast<uintptr_t>(&count)};
    EXPECT_EQ(RkExportImageByTIFF(table.get(), &r, &cb), result);
    EXPECT_EQ(count.calls, calls);
    EXPECT_EQ(count.lastDone, lastDone);
    EXPECT_EQ(count.lastWork == nullptr, stopAt == 0);
    EXPECT_EQ(r.dataLength, out.size() + (stopAt == 0 ? 0 : 1));
  }
}

// The rational store the Exif writer shares: d = 0 finds a small
// denominator, otherwise the value is rounded to 1/d.
TEST(TiffByteOrder, StoreRational) {
  for (auto [value, d, num, den] : {std::tuple{0.25, 0u, 1u, 4u}, {0.3, 0u, 1u, 3u}, {2.7, 0u, 2u, 1u},
                                    {300.0, 10000u, 3000000u, 10000u}, {-1.5, 0u, 0xFFFFFFFFu, 1u}}) {
    for (int order : {0, 1}) {
      uint8_t b[8];
      rk::tiff::StoreRational(b, order, value, d);
      EXPECT_EQ(rk::tiff::ReadValue(b, order, 4), num) << value;
      EXPECT_EQ(rk::tiff::ReadValue(b + 4, order, 4), den) << value;
    }
  }
}

// The row kernels against their plain definitions, at every length around
// the 5- and 16-pixel steps and with bytes past the end watched.
TEST(TiffRowKernels, AgreeWithThePlainLoops) {
  const rktest::Rgb src = rktest::MakeNoise(70, 1);
  for (size_t n = 0; n <= 70; ++n) {
    Bytes fast(3 * n + 4, 0xA5), plain(3 * n + 4, 0xA5);
    rk::tiff::SwapRedBlue(src.px.data(), fast.data(), n);
    rk::tiff::reference::SwapRedBlue(src.px.data(), plain.data(), n);
    EXPECT_EQ(fast, plain) << n;
    const uint8_t* p = src.px.data();
    rk::tiff::InterleaveBgr(p, p + 70, p + 140, fast.data(), n);
    rk::tiff::reference::InterleaveBgr(p, p + 70, p + 140, plain.data(), n);
    EXPECT_EQ(fast, plain) << n;
  }
}

}  // namespace
