// The JFIF writer: exact bytes against the reference fixtures, the header
// layouts of the edge cases, capacity limits and refusals.
#include <gtest/gtest.h>

#include <cstdio>  // jpeglib.h needs FILE
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "encode_helpers.h"
#include "jpeg/jfif_writer.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::EncodeSettings;
using rktest::ExportJfif;
using rktest::FindMarker;
using rktest::ModuleTable;

uint16_t U16At(const std::vector<uint8_t>& b, long i) {
  return static_cast<uint16_t>(b[static_cast<size_t>(i)] << 8 | b[static_cast<size_t>(i) + 1]);
}

// ---------------------------------------------------------------------------
// Reference fixtures: exact bytes for scene_203x157.ppm.

struct FixtureCase {
  const char* file;
  uint16_t format;
  double scale;
  uint32_t restart;
  const char* comment;
};

class FixtureBytes : public testing::TestWithParam<FixtureCase> {};

TEST_P(FixtureBytes, MatchByteForByte) {
  const FixtureCase& fc = GetParam();
  Bitmap24 bitmap(rktest::LoadPpm(rktest::Fixture("jpeg/scene_203x157.ppm")));
  ASSERT_EQ(bitmap.width, 203);
  EncodeSettings s;
  s.format = fc.format;
  s.scale = fc.scale;
  s.restartInterval = fc.restart;
  s.comment = fc.comment;
  const auto expected = rktest::ReadFile(rktest::Fixture(std::string("jpeg/") + fc.file));
  ASSERT_FALSE(expected.empty());
  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    const auto e = ExportJfif(s, bitmap);
    ASSERT_EQ(e.result, RK_OK);
    ASSERT_EQ(e.bytes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(e.bytes[i], expected[i]) << "first difference at byte " << i;
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Scene203x157, FixtureBytes,
    testing::Values(FixtureCase{"enc_3001_s025_comment.jpg", 0x3001, 0.25, 0, "Corvid"},
                    FixtureCase{"enc_1000_s050_rst3.jpg", 0x1000, 0.5, 3, ""},
                    FixtureCase{"enc_3005_s100_rst7.jpg", 0x3005, 1.0, 7, ""}),
    [](const testing::TestParamInfo<FixtureCase>& info) {
      std::string n = info.param.file;
      return n.substr(0, n.find('.'));
    });


// ---------------------------------------------------------------------------
// Header layouts

std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, long at, size_t n) {
  return {b.begin() + at, b.begin() + at + static_cast<long>(n)};
}

TEST(JfifHeaders, App0CarriesTheResolutionOr72) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  EncodeSettings s;
  s.xDpi = 300;
  s.yDpi = 150;
  auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  const std::vector<uint8_t> head = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01,
                                     0x02, 0x01, 0x01, 0x2C, 0x00, 0x96, 0x00, 0x00, 0xFF, 0xDB};
  EXPECT_EQ(Slice(e.bytes, 0, head.size()), head);
  s.xDpi = s.yDpi = 0;
  e = ExportJfif(s, bmp);
  EXPECT_EQ(Slice(e.bytes, 14, 4), (std::vector<uint8_t>{0x00, 0x48, 0x00, 0x48}));
}

TEST(JfifHeaders, CommentSegmentFollowsApp0) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  EncodeSettings s;
  s.comment = "hello";
  const auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  EXPECT_EQ(Slice(e.bytes, 20, 11), (std::vector<uint8_t>{0xFF, 0xFE, 0x00, 0x07, 'h', 'e', 'l', 'l', 'o', 0xFF, 0xDB}));
}

TEST(JfifHeaders, NullOrEmptyCommentWritesNoSegment) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  for (int variant = 0; variant < 2; ++variant) {
    ModuleTable table;
    static const uint8_t text[] = "abc";
    if (variant == 0) {
      RkSetGlobalComment(table.get(), text, 0);
    } else {
      RkSetGlobalComment(table.get(), nullptr, 3);
    }
    std::vector<uint8_t> out(10000);
    ImageBlkAttrRec r{};
    bmp.Describe(r);
    r.format = 0x3001;
    r.data = out.data();
    r.dataLength = 10000;
    ASSERT_EQ(RkExportImageByJFIF(table.get(), &r, nullptr), RK_OK);
    out.resize(r.dataLength);
    EXPECT_EQ(FindMarker(out, 0xFE), -1);
    EXPECT_EQ(FindMarker(out, 0xDB), 20);
  }
}

TEST(JfifHeaders, ExifRequestPutsTheCommentIntoApp1Only) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  EncodeSettings s;
  s.methodParam = RK_METHOD_PARAM_EXIF;
  s.comment = "II*";
  auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  EXPECT_EQ(Slice(e.bytes, 0, 17), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x0B, 'E', 'x', 'i', 'f', 0, 0,
                                                         'I', 'I', '*', 0xFF, 0xDB}));
  EXPECT_EQ(FindMarker(e.bytes, 0xE0), -1);
  EXPECT_EQ(FindMarker(e.bytes, 0xFE), -1);
  s.comment.clear();  // no block: no APP segment at all
  e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  EXPECT_EQ(Slice(e.bytes, 0, 4), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xDB}));
}

TEST(JfifHeaders, ColourFrameTablesAndScanAreExact) {
  Bitmap24 bmp(rktest::MakePhotoLike(17, 9));
  EncodeSettings s;
  s.restartInterval = 0x12345;  // refused: above 16 bits
  EXPECT_EQ(ExportJfif(s, bmp).result, RK_ERR_UNSUPPORTED);
  s.restartInterval = 0x1234;
  const auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  // DQT: two tables (1 and 2 are equal), each in zigzag order.
  const long dqt = FindMarker(e.bytes, 0xDB);
  ASSERT_EQ(dqt, 20);
  EXPECT_EQ(U16At(e.bytes, dqt + 2), 2 + 2 * 65);
  EXPECT_EQ(e.bytes[dqt + 4], 0);
  EXPECT_EQ(Slice(e.bytes, dqt + 5, 6), (std::vector<uint8_t>{16, 11, 12, 14, 12, 10}));
  EXPECT_EQ(e.bytes[dqt + 69], 1);
  EXPECT_EQ(Slice(e.bytes, dqt + 70, 4), (std::vector<uint8_t>{17, 18, 18, 24}));
  const long dht = FindMarker(e.bytes, 0xC4);
  EXPECT_EQ(dht, dqt + 4 + 130);
  EXPECT_EQ(U16At(e.bytes, dht + 2), 0x01A2);
  const long sof = FindMarker(e.bytes, 0xC0);
  EXPECT_EQ(sof, dht + 2 + 0x01A2);
  EXPECT_EQ(Slice(e.bytes, sof, 19), (std::vector<uint8_t>{0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x09, 0x00, 0x11, 0x03, 0x00,
                                                           0x21, 0x00, 0x01, 0x11, 0x01, 0x02, 0x11, 0x01}));
  EXPECT_EQ(Slice(e.bytes, sof + 19, 6 + 14),
            (std::vector<uint8_t>{0xFF, 0xDD, 0x00, 0x04, 0x12, 0x34, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x00, 0x00, 0x01,
                                  0x11, 0x02, 0x11, 0x00, 0x3F, 0x00}));
  EXPECT_EQ(e.bytes[e.bytes.size() - 2], 0xFF);
  EXPECT_EQ(e.bytes.back(), 0xD9);
  // The record: data points at the first entropy-coded byte.
  EXPECT_EQ(e.record.dataLength, e.bytes.size());
}

TEST(JfifHeaders, DifferentChromaTablesGiveThreeTables) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  ModuleTable table;
  table->quantTable[2][63] = 98;
  std::vector<uint8_t> out(10000);
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  r.format = 0x3001;
  r.data = out.data();
  r.dataLength = 10000;
  ASSERT_EQ(RkExportImageByJFIF(table.get(), &r, nullptr), RK_OK);
  const long dataAt = r.data - out.data();
  out.resize(r.dataLength);
  EXPECT_EQ(dataAt, FindMarker(out, 0xDA) + 14);  // data points at the first entropy-coded byte
  const long dqt = FindMarker(out, 0xDB);
  EXPECT_EQ(U16At(out, dqt + 2), 2 + 3 * 65);
  EXPECT_EQ(out[dqt + 4 + 130], 2);
  EXPECT_EQ(out[dqt + 4 + 130 + 64], 98);  // zigzag position 63 = natural 63
  const long sof = FindMarker(out, 0xC0);
  EXPECT_EQ(out[sof + 18], 2);  // component 2 names table 2
  EXPECT_TRUE(rktest::DecodeWithTurbo(out).clean);
}

TEST(JfifHeaders, GreyLayoutIsExact) {
  Bitmap24 bmp(rktest::MakePhotoLike(8, 8));
  EncodeSettings s;
  s.format = 0x1000;
  const auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  const long dqt = FindMarker(e.bytes, 0xDB);
  EXPECT_EQ(U16At(e.bytes, dqt + 2), 67);
  const long dht = FindMarker(e.bytes, 0xC4);
  EXPECT_EQ(dht, dqt + 69);
  EXPECT_EQ(U16At(e.bytes, dht + 2), 0x00D2);
  const long sof = FindMarker(e.bytes, 0xC0);
  EXPECT_EQ(sof, dht + 2 + 0xD2);
  EXPECT_EQ(Slice(e.bytes, sof, 13 + 10), (std::vector<uint8_t>{0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01,
                                                                0x00, 0x11, 0x00, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x00, 0x00,
                                                                0x00, 0x3F, 0x00}));
}

TEST(JfifHeaders, ImpliedDefaultTablesLeaveOutDht) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  EncodeSettings s;
  s.format = 0xB001;  // 0x3001 with bit 15
  auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  EXPECT_EQ(FindMarker(e.bytes, 0xC4), -1);
  EXPECT_EQ(FindMarker(e.bytes, 0xC0), FindMarker(e.bytes, 0xDB) + 2 + 132);  // SOF0 right after DQT
  s.format = 0xF001;  // bit 14 set as well: tables are written
  e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  EXPECT_NE(FindMarker(e.bytes, 0xC4), -1);
}

TEST(JfifHeaders, RestartEveryMcuEndsWithMarkerThenEoi) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  EncodeSettings s;
  s.restartInterval = 1;
  const auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  EXPECT_EQ(Slice(e.bytes, static_cast<long>(e.bytes.size()) - 4, 4), (std::vector<uint8_t>{0xFF, 0xD0, 0xFF, 0xD9}));
  EXPECT_TRUE(rktest::DecodeWithTurbo(e.bytes).clean);
}

// The DHT body is libjpeg-turbo's own standard tables: its encoder (without
// optimisation) writes them one per segment.
TEST(JfifHeaders, HuffmanTablesEqualLibjpegStandardTables) {
  std::vector<uint8_t> ours(rk::kStdHuffmanBytesColour);
  ASSERT_EQ(rk::WriteStandardHuffmanTables(true, ours), rk::kStdHuffmanBytesColour);
  std::vector<uint8_t> grey(rk::kStdHuffmanBytesGrey);
  ASSERT_EQ(rk::WriteStandardHuffmanTables(false, grey), rk::kStdHuffmanBytesGrey);
  EXPECT_EQ(grey, std::vector<uint8_t>(ours.begin(), ours.begin() + 208));

  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = 8;
  cinfo.image_height = 8;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(24, 128);
  JSAMPROW rows[1] = {row.data()};
  for (int y = 0; y < 8; ++y) jpeg_write_scanlines(&cinfo, rows, 1);
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> peer(mem, mem + memSize);
  free(mem);

  // Collect libjpeg's tables by class/destination.
  std::vector<std::vector<uint8_t>> tables(0x12);
  for (size_t i = 2; i + 4 <= peer.size() && peer[i] == 0xFF && peer[i + 1] != 0xDA;) {
    const size_t len = static_cast<size_t>(peer[i + 2]) << 8 | peer[i + 3];
    if (peer[i + 1] == 0xC4) {
      for (size_t p = i + 4; p < i + 2 + len;) {
        size_t count = 0;
        for (int k = 0; k < 16; ++k) count += peer[p + 1 + k];
        tables.at(peer[p]).assign(peer.begin() + static_cast<long>(p), peer.begin() + static_cast<long>(p + 17 + count));
        p += 17 + count;
      }
    }
    i += 2 + len;
  }
  std::vector<uint8_t> expected;
  for (int cd : {0x00, 0x10, 0x01, 0x11}) {
    ASSERT_FALSE(tables[cd].empty()) << cd;
    expected.insert(expected.end(), tables[cd].begin(), tables[cd].end());
  }
  EXPECT_EQ(ours, expected);
}

// ---------------------------------------------------------------------------
// Capacity and refusals of the stream writer

TEST(JfifCapacity, NineteenBytesFailAfterTheSoi) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  const auto e = ExportJfif(EncodeSettings{}, bmp, 19);
  EXPECT_EQ(e.result, RK_ERR_BUFFER);
  EXPECT_EQ(e.record.dataLength, 19u);  // not updated
}

TEST(JfifCapacity, EveryShortCapacityFailsWithoutWritingPastIt) {
  Bitmap24 bmp(rktest::MakeNoise(33, 9, 8));
  struct Config {
    uint16_t format;
    uint32_t methodParam;
  };
  for (const Config cfg : {Config{0x3001, 0}, Config{0x1000, 0}, Config{0x3001, RK_METHOD_PARAM_EXIF}}) {
    const uint16_t format = cfg.format;
    EncodeSettings s;
    s.format = format;
    s.methodParam = cfg.methodParam;
    s.restartInterval = 2;
    s.comment = "note";
    const auto full = ExportJfif(s, bmp);
    ASSERT_EQ(full.result, RK_OK);
    const uint32_t size = static_cast<uint32_t>(full.bytes.size());
    for (uint32_t cap = 0; cap <= size; ++cap) {
      ModuleTable table;
      RkSetQuantizeScaleFactor(table.get(), &s.scale, &s.scale);
      RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(s.comment.data()), 4);
      std::vector<uint8_t> out(cap + 16, 0xAB);
      ImageBlkAttrRec r{};
      bmp.Describe(r);
      r.format = format;
      r.restartInterval = 2;
      r.methodParam = cfg.methodParam;
      r.data = out.data();
      r.dataLength = cap;
      const int16_t result = RkExportImageByJFIF(table.get(), &r, nullptr);
      ASSERT_EQ(result, cap < size ? RK_ERR_BUFFER : RK_OK) << "capacity " << cap;
      for (size_t i = cap; i < out.size(); ++i) ASSERT_EQ(out[i], 0xAB) << "capacity " << cap;
      if (result != RK_OK) {
        EXPECT_EQ(r.dataLength, cap);
        EXPECT_EQ(r.data, out.data());
      } else {
        EXPECT_EQ(0, std::memcmp(out.data(), full.bytes.data(), size));
      }
    }
  }
}

// RkGetExportJFIFImageSize: a buffer of exactly that size holds the
// stream of the noisiest picture at quantisation entries of 1, whatever
// the size (1 x 1 is mostly padding MCU), sampling, restarts and comment.
TEST(JfifCapacity, ExportSizeAlwaysHoldsTheStream) {
  struct Config {
    int width, height;
    uint16_t format;
    uint32_t restart;
    uint32_t methodParam;
    const char* comment;
  };
  for (const Config c : {Config{1, 1, 0x3001, 0, 0, ""}, Config{17, 9, 0x3005, 1, 0, "note"},
                         Config{33, 9, 0x1000, 0, 0, ""}, Config{40, 24, 0x3000, 3, RK_METHOD_PARAM_EXIF, "exif"}}) {
    Bitmap24 bmp(rktest::MakeNoise(c.width, c.height, 5));
    ModuleTable table;
    const double tiny = 1.0 / 128;  // every entry 1
    RkSetQuantizeScaleFactor(table.get(), &tiny, &tiny);
    const std::string comment = c.comment;
    RkSetGlobalComment(table.get(), reinterpret_cast<const uint8_t*>(comment.data()),
                       static_cast<uint32_t>(comment.size()));
    ImageBlkAttrRec r{};
    bmp.Describe(r);
    r.format = c.format;
    r.restartInterval = c.restart;
    r.methodParam = c.methodParam;
    const int32_t bound = RkGetExportJFIFImageSize(table.get(), &r);
    ASSERT_GT(bound, 0) << c.width << "x" << c.height;
    std::vector<uint8_t> out(static_cast<size_t>(bound));
    r.data = out.data();
    r.dataLength = static_cast<uint32_t>(bound);
    EXPECT_EQ(RkExportImageByJFIF(table.get(), &r, nullptr), RK_OK) << c.width << "x" << c.height;
    EXPECT_LE(r.dataLength, static_cast<uint32_t>(bound));
  }
  // 607 header bytes (two quantisation tables, no comment), 4 blocks of at
  // most 1665 bits, every byte stuffed, EOI.
  Bitmap24 one(rktest::MakeNoise(1, 1, 5));
  ModuleTable table;
  ImageBlkAttrRec r{};
  one.Describe(r);
  r.format = 0x3001;
  EXPECT_EQ(RkGetExportJFIFImageSize(table.get(), &r), 2277);
  r.format = 0x2000;  // a component count the writer refuses
  EXPECT_EQ(RkGetExportJFIFImageSize(table.get(), &r), RK_ERR_UNSUPPORTED);
}

struct CommentLimitCase {
  const char* name;
  uint32_t methodParam;
  size_t length;
  int16_t result;
};

class CommentLimits : public testing::TestWithParam<CommentLimitCase> {};

TEST_P(CommentLimits, LengthMustFitTheSegment) {
  const CommentLimitCase& c = GetParam();
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  EncodeSettings s;
  s.methodParam = c.methodParam;
  s.comment.assign(c.length, 'c');
  const auto e = ExportJfif(s, bmp);
  ASSERT_EQ(e.result, c.result);
  if (c.result == RK_OK) {
    const long lengthAt = c.methodParam == RK_METHOD_PARAM_EXIF ? 4 : 22;  // APP1 or COM after APP0
    EXPECT_EQ(U16At(e.bytes, lengthAt), 0xFFFF);
  }
}

INSTANTIATE_TEST_SUITE_P(Segments, CommentLimits,
                         testing::Values(CommentLimitCase{"ComLargest", 0, 65533, RK_OK},
                                         CommentLimitCase{"ComTooLong", 0, 65534, RK_ERR_UNSUPPORTED},
                                         CommentLimitCase{"App1Largest", RK_METHOD_PARAM_EXIF, 65527, RK_OK},
                                         CommentLimitCase{"App1TooLong", RK_METHOD_PARAM_EXIF, 65528, RK_ERR_UNSUPPORTED}),
                         [](const testing::TestParamInfo<CommentLimitCase>& info) { return std::string(info.param.name); });

TEST(JfifRefusals, QuantisationEntryAboveAByteIsRefused) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  ModuleTable table;
  table->quantTable[0][5] = 256;  // DQT holds 8-bit entries
  std::vector<uint8_t> out(10000, 0xAB);
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  r.format = 0x3001;
  r.data = out.data();
  r.dataLength = 10000;
  EXPECT_EQ(RkExportImageByJFIF(table.get(), &r, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(out[0], 0xAB);
}

TEST(JfifWriter, ExportRestoresTheDefaultHuffmanTables) {
  Bitmap24 bmp(rktest::MakePhotoLike(16, 8));
  ModuleTable table;
  std::vector<HuffCodeRec> junk(256, HuffCodeRec{0, 0});
  RkSetHuffmanTable(table.get(), junk.data(), 2);
  RkSetHuffmanTable(table.get(), junk.data(), 1);
  std::vector<uint8_t> out(10000);
  ImageBlkAttrRec r{};
  bmp.Describe(r);
  r.format = 0x3001;
  r.data = out.data();
  r.dataLength = 10000;
  ASSERT_EQ(RkExportImageByJFIF(table.get(), &r, nullptr), RK_OK);
  EXPECT_EQ(table->acCodeTable[0][0x01].length, 2);
  EXPECT_EQ(table->dcCodeTable[1][0].length, 2);
}

}  // namespace
