// The baseline decoder's behaviour: restart recovery, damaged and truncated
// data, output layouts, the progress callback, argument checks and the
// refusal of pixel buffers that 32-bit sizes cannot describe.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "jpeg_test_util.h"
#include "test_images.h"

namespace {

using jpegtest::Bytes;
using jpegtest::StreamBuilder;
using rktest::ModuleTable;

// Positions of the restart markers inside a stream's entropy-coded data.
std::vector<size_t> RestartMarkers(const Bytes& s) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] == 0xFF && s[i + 1] >= 0xD0 && s[i + 1] <= 0xD7) at.push_back(i);
  }
  return at;
}

// 64 x 32 at 4:2:0: 4 x 2 MCUs of 16 x 16, restart interval 2, so interval
// k covers MCUs 2k and 2k + 1 (row k / 2, columns 32 (k % 2) .. + 31).
Bytes RestartStream() {
  jpegtest::LibjpegOptions opt;
  opt.restartInterval = 2;
  opt.quality = 90;
  return jpegtest::LibjpegEncode(rktest::MakePhotoLike(64, 32, 9), opt);
}

bool InInterval(int x, int y, int k) { return y / 16 == k / 2 && x / 32 == k % 2; }

TEST(RestartRecovery, IntervalCutShortLeavesItsMcusAndDecodesTheRest) {
  const Bytes intact = RestartStream();
  const auto markers = RestartMarkers(intact);
  ASSERT_EQ(markers.size(), 3u);
  const auto reference = jpegtest::DecodeToBitmap(intact, false, 0xEE);
  ASSERT_EQ(reference.result, 0);
  // Interval 1 lies between RST0 and RST1. Keep none, or only its first
  // four bytes, of its data.
  for (size_t keep : {size_t{0}, size_t{4}}) {
    Bytes s(intact.begin(), intact.begin() + static_cast<std::ptrdiff_t>(markers[0] + 2 + keep));
    s.insert(s.end(), intact.begin() + static_cast<std::ptrdiff_t>(markers[1]), intact.end());
    for (bool lut : {false, true}) {
      const auto cut = jpegtest::DecodeToBitmap(s, lut, 0xEE);
      ASSERT_EQ(cut.result, 0) << keep;
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
          if (InInterval(x, y, 1)) {
            // The interval's last MCU (columns 48..63) is never reached.
            if (x >= 48) {
              ASSERT_EQ(cut.rgb.at(x, y)[0], 0xEE) << x << "," << y;
            }
            if (keep == 0) {
              ASSERT_EQ(cut.rgb.at(x, y)[1], 0xEE) << x << "," << y;
            }
          } else {
            ASSERT_EQ(0, std::memcmp(cut.rgb.at(x, y), reference.rgb.at(x, y), 3)) << x << "," << y;
          }
        }
      }
    }
  }
}

// A code that fails on a restart marker's bytes is that marker arriving
// early only when the bits since the last whole MCU are the encoder's
// padding; damaged bits in front of a marker are corrupt data.
TEST(RestartRecovery, CorruptBitsBeforeAMarkerAreCorruptData) {
  const Bytes intact = RestartStream();
  const auto markers = RestartMarkers(intact);
  ASSERT_EQ(markers.size(), 3u);
  for (size_t m : {markers[0], markers[1]}) {
    // The interval's last data byte becomes FF (stuffed: FF 00), so its
    // last MCU runs into 1-bits, which no code of the tables is, right in
    // front of the marker.
    Bytes s(intact.begin(), intact.begin() + static_cast<std::ptrdiff_t>(m - 1));
    s.insert(s.end(), {0xFF, 0x00});
    s.insert(s.end(), intact.begin() + static_cast<std::ptrdiff_t>(m), intact.end());
    for (bool lut : {false, true}) {
      EXPECT_EQ(jpegtest::DecodeToBitmap(s, lut).result, RK_ERR_FORMAT) << m << " " << lut;
    }
  }
}

TEST(RestartRecovery, RestartMarkerBeforeEoiIsNoError) {
  // 4 intervals of 2 MCUs: the encoder wrote no marker after the last one;
  // add one, as some encoders do.
  const Bytes intact = RestartStream();
  Bytes s = intact;
  s.insert(s.end() - 2, {0xFF, 0xD3});
  const auto a = jpegtest::DecodeToBitmap(intact, false);
  const auto b = jpegtest::DecodeToBitmap(s, false);
  EXPECT_EQ(a.result, 0);
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(a.rgb.px, b.rgb.px);
}

TEST(RestartRecovery, ImageEndingInsideACutShortIntervalFails) {
  // 8 MCUs in intervals of 3: the last interval holds MCUs 6 and 7 only.
  // Cut down to nothing before a restart marker, it cannot be completed
  // before the image ends.
  jpegtest::LibjpegOptions opt;
  opt.restartInterval = 3;
  const Bytes intact = jpegtest::LibjpegEncode(rktest::MakePhotoLike(64, 32, 9), opt);
  const auto markers = RestartMarkers(intact);
  ASSERT_EQ(markers.size(), 2u);
  Bytes s(intact.begin(), intact.begin() + static_cast<std::ptrdiff_t>(markers[1] + 2));
  s.insert(s.end(), {0xFF, 0xD2, 0xFF, 0xD9});
  EXPECT_EQ(jpegtest::DecodeToBitmap(intact, false).result, RK_OK);
  EXPECT_EQ(jpegtest::DecodeToBitmap(s, false).result, RK_ERR_FORMAT);
}

TEST(RestartRecovery, RestartMarkerWithoutIntervalsIsAnError) {
  jpegtest::LibjpegOptions opt;
  const Bytes intact = jpegtest::LibjpegEncode(rktest::MakePhotoLike(64, 32, 9), opt);
  Bytes s = intact;
  s.insert(s.end() - 40, {0xFF, 0xD0});
  EXPECT_EQ(jpegtest::DecodeToBitmap(intact, false).result, 0);
  EXPECT_EQ(jpegtest::DecodeToBitmap(s, false).result, RK_ERR_FORMAT);
}

// A 8x8 grey stream with tiny hand-made tables: DC has only the code 0
// (category 0), AC the codes 0 (end of block) and 1 (run 15, size 1).
Bytes TinyStream(const Bytes& data) {
  uint8_t dcBits[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t acBits[16] = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  return StreamBuilder().Soi().Dqt(0, 1).Dht(0x00, dcBits, {0}).Dht(0x10, acBits, {0x00, 0xF1})
      .Sof(0xC0, 8, 8, {{1, 0x11, 0}}).Sos(1).Raw(data).Eoi().bytes();
}

struct CorruptCase {
  const char* name;
  Bytes data;
  int16_t result;
};

class DamagedData : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(DamagedData, GivesItsResult) {
  for (bool lut : {false, true}) {
    EXPECT_EQ(jpegtest::DecodeToBitmap(TinyStream(GetParam().data), lut).result, GetParam().result) << lut;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedData,
    ::testing::Values(
        // DC 0, EOB.
        CorruptCase{"emptyBlock", {0x3F}, RK_OK},
        // The window starts with 1: no DC code matches. Decoding ends instead
        // of stalling on the same bits.
        CorruptCase{"noMatchingCode", {0xBF}, RK_ERR_FORMAT},
        // DC 0, three runs of 15 zeros then a 1 (positions 16, 32, 48), EOB.
        CorruptCase{"runsUpTo48", {0x7E}, RK_OK},
        // A fourth run would pass coefficient 63.
        CorruptCase{"runPast63", {0x7F, 0xFF, 0x00}, RK_ERR_FORMAT},
        // No data at all: the end of data before the first MCU.
        CorruptCase{"noData", {}, RK_ERR_FORMAT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Truncation, EveryPrefixOfTheDataStaysInsideItsLength) {
  jpegtest::LibjpegOptions opt;
  opt.restartInterval = 1;
  const Bytes stream = jpegtest::LibjpegEncode(rktest::MakePhotoLike(24, 24, 4), opt);
  ModuleTable table;
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image), 0);
  const uint32_t full = image.dataLength;
  rktest::Bitmap24 bitmap(24, 24);
  int failures = 0;
  for (uint32_t n = 0; n <= full; ++n) {
    // The data alone in a block of exactly n bytes: a read past n shows.
    std::unique_ptr<uint8_t[]> data(new uint8_t[n == 0 ? 1 : n]);
    std::memcpy(data.get(), stream.data() + image.dataOffset, n);
    ImageBlkAttrRec cut = image;
    cut.data = data.get();
    cut.dataLength = n;
    bitmap.Describe(cut);
    const int16_t r = RkDecompressImageByJPEG(table.get(), &cut, nullptr);
    ASSERT_TRUE(r == RK_OK || r == RK_ERR_FORMAT) << n << ": " << r;
    if (n < full / 2) {
      EXPECT_EQ(r, RK_ERR_FORMAT) << n;
    }
    failures += r != RK_OK;
  }
  EXPECT_GT(failures, 0);
}

struct LayoutCase {
  const char* name;
  int width;
  bool grey;
};

class OutputLayout : public ::testing::TestWithParam<LayoutCase> {};

// The same stream into a bottom-up 24-bit bitmap and a top-down 32-bit
// buffer: identical pictures; row padding and byte 0 of each 32-bit pixel
// untouched; grey gives red = green = blue.
TEST_P(OutputLayout, WritesOnlyThePixelSamples) {
  const LayoutCase& c = GetParam();
  jpegtest::LibjpegOptions opt;
  opt.grey = c.grey;
  opt.hSamp = 2, opt.vSamp = 1;
  const Bytes stream = jpegtest::LibjpegEncode(rktest::MakePhotoLike(c.width, 11, 2), opt);
  ModuleTable table;
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image), 0);

  rktest::Bitmap24 bitmap(c.width, 11, 0xEE);
  bitmap.Describe(image);
  ASSERT_EQ(RkDecompressImageByJPEG(table.get(), &image, nullptr), 0);
  EXPECT_EQ(image.auxCount1, c.grey ? 8 : 16);
  EXPECT_EQ(image.auxCount2, 8);
  EXPECT_EQ(image.samplesPerPixel, image.auxCount1);
  for (int y = 0; y < 11; ++y) {
    for (int i = c.width * 3; i < bitmap.stride; ++i) {
      ASSERT_EQ(bitmap.bytes[static_cast<size_t>(y) * bitmap.stride + i], 0xEE) << "padding of row " << y;
    }
  }
  rktest::Buffer32 buffer(c.width, 11, 0x77);
  ImageBlkAttrRec top = image;
  buffer.Describe(top);  // resets the stream fields too: take them over again
  top.format = image.format;
  top.data = image.data;
  top.dataLength = image.dataLength;
  ASSERT_EQ(RkDecompressImageByJPEG(table.get(), &top, nullptr), 0);
  for (size_t i = 0; i < buffer.bytes.size(); i += 4) ASSERT_EQ(buffer.bytes[i], 0x77);
  const rktest::Rgb a = bitmap.ToRgb();
  EXPECT_EQ(a.px, buffer.ToRgb().px);
  if (c.grey) {
    for (size_t i = 0; i < a.px.size(); i += 3) {
      ASSERT_EQ(a.px[i], a.px[i + 1]);
      ASSERT_EQ(a.px[i], a.px[i + 2]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, OutputLayout,
                         ::testing::Values(LayoutCase{"w1", 1, false}, LayoutCase{"w17", 17, false},
                                           LayoutCase{"w17grey", 17, true}, LayoutCase{"w33", 33, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OneComponentSampling, TwoByTwoIsOneMcuOfFourBlocks) {
  // On a 16x16 grey picture the four blocks of one 16x16 MCU come in the
  // same order as four 8x8 MCUs, so patching the sampling byte to 0x22
  // must not change the picture, only the geometry.
  jpegtest::LibjpegOptions opt;
  opt.grey = true;
  const Bytes plain = jpegtest::LibjpegEncode(rktest::MakePhotoLike(16, 16, 6), opt);
  Bytes patched = plain;
  for (size_t i = 0; i + 11 < patched.size(); ++i) {
    if (patched[i] == 0xFF && patched[i + 1] == 0xC0) {
      ASSERT_EQ(patched[i + 11], 0x11);
      patched[i + 11] = 0x22;
      break;
    }
  }
  ModuleTable table;
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(patched.size());
  ASSERT_EQ(RkDecodeJFIFHeader(table.get(), patched.data(), &size, &image), 0);
  EXPECT_EQ(image.format, 0x1005);
  rktest::Bitmap24 bitmap(16, 16);
  bitmap.Describe(image);
  ASSERT_EQ(RkDecompressImageByJPEG(table.get(), &image, nullptr), 0);
  EXPECT_EQ(image.auxCount1, 16);
  EXPECT_EQ(bitmap.ToRgb().px, jpegtest::DecodeToBitmap(plain, false).rgb.px);
}

struct ProgressLog {
  std::vector<std::pair<int32_t, int32_t>> calls;
  int stopAt = -1;
  int16_t finalValue = 0;
};

int16_t Progress(int32_t done, int32_t total, void*, uintptr_t user) {
  auto* log = reinterpret_cast<ProgressLog*>(user);
  log->calls.emplace_back(done, total);
  if (static_cast<int>(log->calls.size()) - 1 == log->stopAt) return RK_STOPPED;
  return done == total ? log->finalValue : 0;
}

class ProgressCallback : public ::testing::TestWithParam<bool> {};  // with a work shop

TEST_P(ProgressCallback, ReportsEachMcuRowAndStops) {
  jpegtest::LibjpegOptions opt;
  const Bytes stream = jpegtest::LibjpegEncode(rktest::MakePhotoLike(40, 40, 1), opt);  // 3 MCU rows
  ModuleTable table;
  std::vector<uint8_t> shop(4096, 0xAB);
  if (GetParam()) RkSetCustomModuleTableWorkshop(table.get(), shop.data());
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image), 0);
  rktest::Bitmap24 bitmap(40, 40);
  bitmap.Describe(image);

  ProgressLog log;
  log.finalValue = 5;
  UserCallBackRec cb{Progress, reinterpret_cast<uintptr_t>(&log)};
  EXPECT_EQ(RkDecompressImageByJPEG(table.get(), &image, &cb), 5);  // the final call's value
  const std::vector<std::pair<int32_t, int32_t>> expected{{0, 39}, {16, 39}, {32, 39}, {39, 39}};
  EXPECT_EQ(log.calls, expected);
  EXPECT_EQ(bitmap.ToRgb().px, jpegtest::DecodeToBitmap(stream, false).rgb.px);

  for (int stop : {0, 2}) {
    ProgressLog stopper;
    stopper.stopAt = stop;
    UserCallBackRec scb{Progress, reinterpret_cast<uintptr_t>(&stopper)};
    EXPECT_EQ(RkDecompressImageByJPEG(table.get(), &image, &scb), RK_STOPPED);
    EXPECT_EQ(stopper.calls.size(), static_cast<size_t>(stop + 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Shop, ProgressCallback, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "workShop" : "allocated"; });

TEST(Arguments, NullAndMissingBuffers) {
  ModuleTable table;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecompressImageByJPEG(nullptr, &image, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkDecompressImageByJPEG(table.get(), nullptr, nullptr), RK_ERR_NULL);
  const Bytes stream = jpegtest::LibjpegEncode(rktest::MakePhotoLike(8, 8, 1), {});
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image), 0);
  EXPECT_EQ(RkDecompressImageByJPEG(table.get(), &image, nullptr), RK_ERR_UNSUPPORTED);  // no pixels
  image.format = 0x2000;  // a component count the decoder cannot handle
  uint8_t px[256];
  image.pixels = px;
  EXPECT_EQ(RkDecompressImageByJPEG(table.get(), &image, nullptr), RK_ERR_UNSUPPORTED);

  std::vector<uint8_t> out(8 * 8 * 4);
  EXPECT_EQ(RkDecodeJFIF(nullptr, stream.data(), &size, out.data(), 32, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeJFIF(table.get(), nullptr, &size, out.data(), 32, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeJFIF(table.get(), stream.data(), &size, nullptr, 32, nullptr), RK_ERR_NULL);
}

TEST(DecodeJfif, WritesTopDown32BitPixels) {
  const rktest::Rgb picture = rktest::MakePhotoLike(21, 13, 8);
  const Bytes stream = jpegtest::LibjpegEncode(picture, {});
  ModuleTable table;
  rktest::Buffer32 buffer(21, 13, 0x33);
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIF(table.get(), stream.data(), &size, buffer.bytes.data(), 21 * 4, nullptr), 0);
  EXPECT_EQ(buffer.ToRgb().px, jpegtest::DecodeToBitmap(stream, false).rgb.px);
  for (size_t i = 0; i < buffer.bytes.size(); i += 4) ASSERT_EQ(buffer.bytes[i], 0x33);

  const Bytes noEoi(stream.begin(), stream.end() - 2);
  const uint32_t shorter = static_cast<uint32_t>(noEoi.size());
  EXPECT_EQ(RkDecodeJFIF(table.get(), noEoi.data(), &shorter, buffer.bytes.data(), 21 * 4, nullptr),
            RK_ERR_UNSUPPORTED);
}

// Pixel buffers whose last byte lies beyond 32-bit reach of `pixels` are
// refused before anything is allocated or written. With no data, a buffer
// just inside the limit fails at the first MCU instead (end of data).
struct SizeCase {
  const char* name;
  uint16_t width, height;
  uint32_t pixelFormat;
  int16_t result;
};

class PixelBufferSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PixelBufferSize, RefusedWhenBeyond32Bits) {
  const SizeCase& c = GetParam();
  ModuleTable table;
  uint8_t dummy[16] = {};
  uint8_t data[1] = {0};
  ImageBlkAttrRec image{};
  image.width = c.width;
  image.height = c.height;
  image.format = 0x3022;  // 4:2:0
  image.data = data;
  image.dataLength = 0;
  image.pixels = dummy;
  image.pixelFormat = c.pixelFormat;
  if (c.pixelFormat == RK_PIXEL_PLANAR_YCC16) {
    image.rowStride = c.width;
  } else {
    image.rowStride = ((c.width * 3 + 3) / 4) * 4;
    image.pixelStride = 3;
    image.redOffset = 2;
    image.bottomUp = 1;
  }
  EXPECT_EQ(RkDecompressImageByJPEG(table.get(), &image, nullptr), c.result);
  for (uint8_t b : dummy) ASSERT_EQ(b, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PixelBufferSize,
    ::testing::Values(
        // 196608-byte rows: 21845 rows end at byte 4294901756, 21846 rows pass 2^32 - 1.
        SizeCase{"bitmapJustInside", 65535, 21845, 0, RK_ERR_FORMAT},
        SizeCase{"bitmapJustOutside", 65535, 21846, 0, RK_ERR_UNSUPPORTED},
        SizeCase{"bitmapLargest", 65535, 65535, 0, RK_ERR_UNSUPPORTED},
        // Three 16-bit planes: 6 * w * h bytes; 26754 x 26754 fits, 26755 does not.
        SizeCase{"planarJustInside", 26754, 26754, RK_PIXEL_PLANAR_YCC16, RK_ERR_FORMAT},
        SizeCase{"planarJustOutside", 26755, 26755, RK_PIXEL_PLANAR_YCC16, RK_ERR_UNSUPPORTED}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// An AC table that gives every one of the 256 symbols a code (one of 15
// bits, 255 of 16) and still leaves windows uncovered: a lookup buffer has
// no spare symbol to mark them, yet must not decode them.
Bytes AllSymbolsCoded(const Bytes& data) {
  uint8_t dcBits[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t acBits[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 255};
  Bytes values(256);
  for (int i = 0; i < 256; ++i) values[i] = static_cast<uint8_t>(i);  // 0x00 (EOB) gets the 15-bit code
  return StreamBuilder().Soi().Dqt(0, 1).Dht(0x00, dcBits, {0}).Dht(0x10, acBits, values)
      .Sof(0xC0, 8, 8, {{1, 0x11, 0}}).Sos(1).Raw(data).Eoi().bytes();
}

TEST(LookupBuffers, TableWithoutSpareSymbolDecodesAsTheSearch) {
  // DC '0', then the 15 zero bits of EOB: a grey block.
  const Bytes valid = AllSymbolsCoded({0x00, 0x00, 0xFF, 0x00});
  // DC '0', then the window FFFF that no code covers. Were it looked up as
  // the 16-bit symbol 0xFF (run 15, size 15), its 15 value bits and an EOB
  // would follow and the block would decode.
  const Bytes damaged = AllSymbolsCoded({0x7F, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x01});
  for (bool lut : {false, true}) {
    EXPECT_EQ(jpegtest::DecodeToBitmap(valid, lut).result, RK_OK) << lut;
    EXPECT_EQ(jpegtest::DecodeToBitmap(damaged, lut).result, RK_ERR_FORMAT) << lut;
  }
}

}  // namespace

namespace {

// Inputs the fuzz target found, kept in its corpus, with the result each
// must give with and without lookup buffers.
struct Regression {
  const char* file;
  int16_t result;
};

class FuzzRegression : public ::testing::TestWithParam<Regression> {};

TEST_P(FuzzRegression, GivesItsResultWithAndWithoutLookupBuffers) {
  const Bytes stream = rktest::ReadFile(std::string(RK_SOURCE_DIR) + "/fuzz/corpus/jpeg/" + GetParam().file);
  ASSERT_FALSE(stream.empty());
  const auto searched = jpegtest::DecodeToBitmap(stream, false);
  const auto looked = jpegtest::DecodeToBitmap(stream, true);
  EXPECT_EQ(searched.result, GetParam().result);
  EXPECT_EQ(looked.result, GetParam().result);
  EXPECT_EQ(searched.rgb.px, looked.rgb.px);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, FuzzRegression,
    ::testing::Values(
        // DHT for DC only, so the AC tables are the module table's defaults:
        // their lookup buffers were never filled and decoded everything as
        // end of block, where searching the tables ran out of data (-1).
        Regression{"regress_ac_lut_not_built.jpg", RK_ERR_FORMAT},
        // Two frames, a scan before any DHT (copying the default luminance
        // tables over the chrominance ones), tables after it: decoding runs
        // out of data, alike with and without lookup buffers. (The fuzz
        // target had reused one module table for both.)
        Regression{"regress_scan_before_tables.jpg", RK_ERR_FORMAT}),
    [](const auto& info) {
      std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

}  // namespace
