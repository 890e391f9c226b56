// RkDecodeTIFFHeader on hand-made directories: what is accepted, what each
// refusal returns, and what the record holds afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "test_images.h"
#include "tiff_test_util.h"

namespace {

using tifftest::Builder;
using tifftest::Bytes;

constexpr uint32_t kMinInt = 0x80000000u;

// An RGB (or other) directory with every required tag; `extra` adds or
// overrides entries (the reader lets the last entry of a tag win).
Bytes File(bool little, const std::function<void(Builder&)>& extra, uint32_t photometric = 2, uint32_t samples = 3) {
  Builder b(little);
  const uint32_t strip = b.Put(Bytes(3 * 4 * 2, 0x40));
  b.Short(256, {4}).Short(257, {2}).Short(259, {1}).Short(262, {photometric});
  b.Long(273, {strip}).Short(277, {samples}).Long(279, {24});
  extra(b);
  b.EndDirectory();
  return b.bytes;
}

struct Case {
  const char* name;
  std::function<Bytes()> make;
  uint16_t format;
  int32_t result;  // 1: the strip offset
  std::function<void(const ImageBlkAttrRec&)> check = nullptr;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"rgbBigEndian", [] { return File(false, [](Builder&) {}); }, 1, 1,
     [](const ImageBlkAttrRec& r) {
       EXPECT_EQ(r.componentIds, 0x1231u);
       EXPECT_EQ(r.xDpi, 72);
       EXPECT_EQ(r.format, 1);
     }},
    {"noMark", [] { auto f = File(true, [](Builder&) {}); f[0] = 'X'; return f; }, 1, -1},
    {"not42", [] { auto f = File(true, [](Builder&) {}); f[2] = 43; return f; }, 1, -1},
    {"headerCut", [] { return Bytes{'I', 'I', 42, 0, 8}; }, 1, -4},
    {"missingWidth", [] { return File(true, [](Builder& b) { b.Short(256, {0}); }); }, 1, -1},
    {"exemptWidthKeepsRecord", [] { return File(true, [](Builder& b) { b.Short(256, {0}); }); },
     1 | RK_TIFF_NEED_NO_WIDTH, 1, [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.width, 0x5A5A); }},
    {"exemptCompressionIsNone", [] { return File(true, [](Builder& b) { b.Short(259, {0}); }); },
     RK_TIFF_NEED_NO_COMPRESSION, 1},
    // Values are compared whole: each of these masks to an accepted nibble.
    {"compression33", [] { return File(true, [](Builder& b) { b.Short(259, {33}); }); }, 1, -1},
    {"packBits", [] { return File(true, [](Builder& b) { b.Short(259, {32773}); }); }, 1, -1},
    {"photometric18", [] { return File(true, [](Builder& b) { b.Short(262, {18}); }); }, 1, -1},
    {"samples19", [] { return File(true, [](Builder& b) { b.Short(277, {19}); }); }, 1, -1},
    {"oldJpeg", [] { return File(true, [](Builder& b) { b.Short(259, {6}).Long(513, {30}).Long(514, {9999}); }); }, 1,
     RK_TIFF_HOLDS_JPEG,
     [](const ImageBlkAttrRec& r) {
       EXPECT_EQ(r.dataOffset, 30u);
       EXPECT_LT(r.dataLength, 9999u);  // cut to the data
     }},
    {"jpegWithoutStream", [] { return File(true, [](Builder& b) { b.Short(259, {6}); }); }, 1, -1},
    {"jpegStreamPastEnd", [] { return File(true, [](Builder& b) { b.Short(259, {6}).Long(513, {1u << 20}).Long(514, {9}); }); },
     1, -4},
    {"greyPlanar0", [] { return File(true, [](Builder& b) { b.Short(284, {0}); }, 1, 1); }, 1, 1,
     [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.componentIds, 0x1110u); }},
    {"greyWithoutPlanar", [] { return File(true, [](Builder&) {}, 1, 1); }, 1, 1,
     [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.componentIds, 0x1111u); }},
    {"greyThreeSamples", [] { return File(true, [](Builder&) {}, 1, 3); }, 1, -1},
    {"yccDefaultSubsampling", [] { return File(true, [](Builder&) {}, 6); }, 1, 1,
     [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.format, 0x3005); }},
    {"yccSubsampling3", [] { return File(true, [](Builder& b) { b.Short(530, {3, 1}); }, 6); }, 1, -1},
    {"width70000", [] { return File(true, [](Builder& b) { b.Long(256, {70000}); }); }, 1, -3},
    {"stripAt2pow31", [] { return File(true, [](Builder& b) { b.Long(273, {kMinInt}); }); }, 1, -3},
    {"stripTablePastEnd", [] { return File(true, [](Builder& b) { b.Entry(273, 4, 3, b.Longs({1u << 20})); }); }, 1, -4},
    {"rationalPastEnd", [] { return File(true, [](Builder& b) { b.Entry(282, 5, 1, b.Longs({1u << 20})); }); }, 1, -4},
    {"dpi300x0", [] { return File(true, [](Builder& b) { b.Rational(282, 300, 1).Rational(283, 1, 3); }); }, 1, 1,
     [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.xDpi, 300); EXPECT_EQ(r.yDpi, 0); }},
    // INT_MIN / -1 and / 0 trap in integers; here they leave 72, as does
    // anything a 16-bit field cannot hold.
    {"dpiUnrepresentable", [] { return File(false, [](Builder& b) { b.Rational(282, kMinInt, 0xFFFFFFFF).Rational(283, 5, 0); }); },
     1, 1, [](const ImageBlkAttrRec& r) { EXPECT_EQ(r.xDpi, 72); EXPECT_EQ(r.yDpi, 72); }},
    {"shortTableInField", [] { return File(false, [](Builder& b) { b.Short(273, {300, 310}).Short(279, {12, 12}); }); }, 1, 1,
     [](const ImageBlkAttrRec& r) {
       EXPECT_EQ(r.auxCount2, 2);
       EXPECT_EQ(r.segmentLength[0], 2u);
       EXPECT_EQ(r.dataOffset, r.codecFlags - 12);  // the two value fields, one entry apart
     }},
};

class HeaderCase : public testing::TestWithParam<Case> {};

TEST_P(HeaderCase, ResultAndRecord) {
  const Case& c = GetParam();
  const Bytes file = c.make();
  rktest::ModuleTable table;
  ImageBlkAttrRec r{};
  r.format = c.format;
  r.width = 0x5A5A;
  const auto n = uint32_t(file.size());
  const int32_t result = RkDecodeTIFFHeader(table.get(), file.data(), &n, &r);
  if (c.result == 1) {
    EXPECT_GT(result, 0);
    EXPECT_EQ(uint32_t(result), r.dataOffset);
    EXPECT_EQ(r.dataOffset + r.dataLength, n);
  } else {
    EXPECT_EQ(result, c.result);
  }
  if (c.check) c.check(r);
}

INSTANTIATE_TEST_SUITE_P(Tiff, HeaderCase, testing::ValuesIn(kCases),
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
  // 65535 entries claimed, a few present.
  Bytes many = good;
  many[good.size() - 4 - 7 * 12 - 2] = 0xFF;
  many[good.size() - 4 - 7 * 12 - 1] = 0xFF;
  const auto n = uint32_t(many.size());
  EXPECT_EQ(RkDecodeTIFFHeader(table.get(), many.data(), &n, &r), RK_ERR_BUFFER);
  EXPECT_EQ(RkDecodeTIFFHeader(nullptr, good.data(), &n, &r), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeTIFFHeader(table.get(), good.data(), &n, nullptr), RK_ERR_NULL);
}

}  // namespace
