// RkDecodeTIFFHeader on hand-made directories: what is accepted, what each
// refusal returns, and what the record holds afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "test_images.h"
#include "tiff_test_util.h"

namespace {

using tifftest::Builder;
using tifftest::Bytes;
using Extra = std::function<void(Builder&)>;

constexpr uint32_t kMinInt = 0x80000000u;
constexpr int32_t kOffset = 1;  // expected: the strip offset

// A 4 x 2 directory with every required tag; `extra` adds entries (the
// last entry of a tag wins).
Bytes File(bool little, const Extra& extra, uint32_t photometric = 2, uint32_t samples = 3) {
  Builder b(little);
  const uint32_t strip = b.Put(Bytes(3 * 4 * 2, 0x40));
  b.Short(256, {4}).Short(257, {2}).Short(259, {1}).Short(262, {photometric});
  b.Long(273, {strip}).Short(277, {samples}).Long(279, {24});
  extra(b);
  b.EndDirectory();
  return b.bytes;
}

Extra Rationals(uint32_t xn, uint32_t xd, uint32_t yn, uint32_t yd) {
  return [=](Builder& b) { b.Entry(282, 5, 1, b.Longs({xn, xd})).Entry(283, 5, 1, b.Longs({yn, yd})); };
}

struct Case {
  const char* name;
  Bytes file;
  int32_t result;
  uint16_t format = 1;
  std::function<void(const ImageBlkAttrRec&)> check = nullptr;
  int16_t image = 0;  // the decode's result, for accepted files
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> Cases() {
  Bytes noMark = File(true, [](Builder&) {});
  noMark[0] = 'X';
  return {
      {"rgbBigEndian", File(false, [](Builder&) {}), kOffset, 1,
       [](const ImageBlkAttrRec& r) {
         EXPECT_EQ(r.componentIds, 0x1231u);
         EXPECT_EQ(r.format, 1);  // unchanged without subsampling
         EXPECT_EQ(r.xDpi, 72);
       }},
      {"noMark", noMark, -1},
      {"headerCut", Bytes{'I', 'I', 42, 0, 8}, -4},
      {"missingWidth", File(true, [](Builder& b) { b.Short(256, {0}); }), -1},
      {"missingSamplesLeavesRecord", File(true, [](Builder& b) { b.Short(277, {0}); }), -1, 1,
       [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.width, 3); }},
      {"exemptWidthKeepsRecord", File(true, [](Builder& b) { b.Short(256, {0}); }), kOffset,
       1 | RK_TIFF_NEED_NO_WIDTH, [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.width, 3); }},
      {"exemptCompressionIsNone", File(true, [](Builder& b) { b.Short(259, {0}); }), kOffset,
       RK_TIFF_NEED_NO_COMPRESSION},
      // Values are compared whole: each of these masks to an accepted nibble.
      {"compression33", File(true, [](Builder& b) { b.Short(259, {33}); }), -1},
      {"packBits", File(true, [](Builder& b) { b.Short(259, {32773}); }), -1},
      {"photometric18", File(true, [](Builder& b) { b.Short(262, {18}); }), -1},
      {"oldJpeg", File(true, [](Builder& b) { b.Short(259, {6}).Long(513, {30}).Long(514, {9999}); }),
       RK_TIFF_HOLDS_JPEG, 1,
       [](const ImageBlkAttrRec& r) {
         EXPECT_EQ(r.dataOffset, 30u);
         EXPECT_LT(r.dataLength, 200u);  // cut to the data
       }},
      {"jpegWithoutStream", File(true, [](Builder& b) { b.Short(259, {6}); }), -1},
      {"jpegStreamPastEnd", File(true, [](Builder& b) { b.Short(259, {6}).Long(513, {1u << 20}).Long(514, {9}); }), -4},
      {"greyPlanar0", File(true, [](Builder& b) { b.Short(284, {0}); }, 1, 1), kOffset, 1,
       [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.componentIds, 0x1110u); }},
      {"greyWithoutPlanar", File(true, [](Builder&) {}, 1, 1), kOffset, 1,
       [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.componentIds, 0x1111u); }},
      {"yccDefaultSubsampling", File(true, [](Builder&) {}, 6), kOffset, 1,
       [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.format, 0x3005); }},
      {"yccSubsampling3", File(true, [](Builder& b) { b.Short(530, {3, 1}); }, 6), -1},
      {"width70000", File(true, [](Builder& b) { b.Long(256, {70000}); }), -3},
      {"stripAt2pow31", File(true, [](Builder& b) { b.Long(273, {kMinInt}); }), -3},
      // One strip is read up to the end of the data whatever its count says.
      {"singleStripCountTooShort", File(true, [](Builder& b) { b.Long(279, {12}); }), kOffset},
      {"stripPastTheData", File(true, [](Builder& b) { b.Long(273, {1u << 20}); }), kOffset, 1,
       [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.dataLength, 0u); }, -1},
      {"stripTablePastEnd", File(true, [](Builder& b) { b.Entry(273, 4, 3, b.Longs({1u << 20})); }), -4},
      {"rationalPastEnd", File(true, [](Builder& b) { b.Entry(282, 5, 1, b.Longs({1u << 20})); }), -4},
      {"dpi300by1And1by3", File(true, Rationals(300, 1, 1, 3)), kOffset, 1,
       [](const ImageBlkAttrRec& r) {
         EXPECT_EQ(r.xDpi, 300);
         EXPECT_EQ(r.yDpi, 0);
       }},
      // INT_MIN / -1 and / 0 trap in integers; here they leave 72, as does
      // anything a 16-bit field cannot hold.
      {"dpiUnrepresentable", File(false, Rationals(kMinInt, 0xFFFFFFFF, 5, 0)), kOffset, 1,
       [](const ImageBlkAttrRec& r) {
         EXPECT_EQ(r.xDpi, 72);
         EXPECT_EQ(r.yDpi, 72);
       }},
      // Two SHORT strips fit in the value field, which is then the table.
      {"shortTableInField", File(false, [](Builder& b) { b.Short(273, {8, 20}).Short(279, {12, 12}); }), kOffset, 1,
       [](const ImageBlkAttrRec& r) {
         EXPECT_EQ(r.auxCount2, 2);
         EXPECT_EQ(r.segmentLength[0], 2u);
         EXPECT_EQ(r.dataOffset, r.codecFlags - 12);  // the two value fields, one entry apart
       }},
  };
}

class HeaderCase : public testing::TestWithParam<Case> {};

TEST_P(HeaderCase, ResultAndRecord) {
  const Case& c = GetParam();
  rktest::ModuleTable table;
  ImageBlkAttrRec r{};
  r.format = c.format;
  r.width = 3;
  const auto n = uint32_t(c.file.size());
  const int32_t result = RkDecodeTIFFHeader(table.get(), c.file.data(), &n, &r);
  if (c.result == kOffset) {
    EXPECT_GT(result, 0);
    EXPECT_EQ(uint32_t(result), r.dataOffset);
    EXPECT_EQ(tifftest::Decode(c.file, c.format).image, c.image);
  } else {
    EXPECT_EQ(result, c.result);
  }
  if (c.check) c.check(r);
}

INSTANTIATE_TEST_SUITE_P(Tiff, HeaderCase, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// Three directories of widths 1, 2, 3: format's low byte says how many are
// read, the last one read wins, and a chain that loops back ends there.
TEST(TiffDirectoryChain, LimitAndLoops) {
  for (bool loop : {false, true}) {
    Builder b(true);
    const uint32_t strip = b.Put(Bytes(27, 0));
    uint32_t first = 0, last = 0;
    for (uint32_t w = 1; w <= 3; ++w) {
      b.Short(256, {w}).Short(257, {1}).Short(259, {1}).Short(262, {2}).Long(273, {strip}).Short(277, {3});
      last = b.EndDirectory();
      if (w == 1) first = last;
    }
    if (loop) b.SetU32(last + 2 + 6 * 12, first);
    for (auto [format, width] : {std::pair{1, 1}, {2, 2}, {3, 3}, {0, 3}, {200, 3}}) {
      const auto d = tifftest::Decode(b.bytes, uint16_t(format));
      EXPECT_GT(d.header, 0);
      EXPECT_EQ(d.record.width, width) << "format " << format << " loop " << loop;
    }
  }
}

TEST(TiffDirectoryChain, ReadsStopAtTheEndOfTheData) {
  const Bytes good = File(true, [](Builder&) {});
  rktest::ModuleTable table;
  ImageBlkAttrRec r{};
  // Format 0 follows the chain, so the next-directory field must be there.
  const uint32_t withoutNext = uint32_t(good.size() - 4);
  EXPECT_EQ(RkDecodeTIFFHeader(table.get(), good.data(), &withoutNext, &r), RK_ERR_BUFFER);
  // 65535 entries claimed, seven present.
  Bytes many = good;
  many[good.size() - 4 - 7 * 12 - 2] = 0xFF;
  many[good.size() - 4 - 7 * 12 - 1] = 0xFF;
  const auto n = uint32_t(many.size());
  EXPECT_EQ(RkDecodeTIFFHeader(table.get(), many.data(), &n, &r), RK_ERR_BUFFER);
  EXPECT_EQ(RkDecodeTIFFHeader(nullptr, good.data(), &n, &r), RK_ERR_NULL);
}

}  // namespace
