// Progressive decoding. The peer proof: jpegtran keeps the coefficients, so
// every progressive (or multi-scan sequential) stream libjpeg writes must
// decode to exactly the pixels our baseline decoder gives for the same
// stream transcoded to one sequential scan. Plus the independent fixtures,
// damaged streams, and the interface (work shop, callback, layouts).
#include <gtest/gtest.h>

#include <cstring>

#include "jpeg/progressive_decode.h"
#include "jpeg_test_util.h"
#include "prog_test_util.h"
#include "simd_levels.h"
#include "test_images.h"

namespace {

using progtest::Bytes;

// ---------------------------------------------------------------------------
// Fixtures of the independent implementation

class ProgressiveFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(ProgressiveFixture, DecodesToTheExpectedPictureExactly) {
  const std::string base = rktest::Fixture(std::string("prog/") + GetParam());
  const Bytes stream = rktest::ReadFile(base + ".jpg");
  const rktest::Rgb expected = rktest::LoadPpm(base + ".ppm");
  ASSERT_FALSE(stream.empty());
  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    for (const progtest::DecodeOptions options : {progtest::DecodeOptions{}, progtest::DecodeOptions{true, true, true}}) {
      const auto decoded = progtest::ProgressiveDecode(stream, options);
      ASSERT_EQ(decoded.header, 0);
      ASSERT_EQ(decoded.result, 0);
      ASSERT_EQ(decoded.rgb.width, expected.width);
      ASSERT_EQ(decoded.rgb.height, expected.height);
      EXPECT_EQ(rktest::Compare(decoded.rgb, expected).maxAbs, 0);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Prog, ProgressiveFixture,
                         ::testing::Values("d1_storm64x48_422_sa", "d2_flower64x48_444_rst5", "d3_dune52x36_grey",
                                           "d4_bug47x33_420"));

// ---------------------------------------------------------------------------
// libjpeg's streams against our baseline decode of their transcoding

struct PeerCase {
  std::string name;
  int width, height;
  progtest::PeerOptions options;
};

void PrintTo(const PeerCase& c, std::ostream* os) { *os << c.name; }

std::vector<PeerCase> PeerCases() {
  struct Samp {
    const char* name;
    int h, v;
    bool grey, rgb;
  };
  const Samp samps[] = {{"420", 2, 2, false, false}, {"422", 2, 1, false, false}, {"444", 1, 1, false, false},
                        {"grey", 1, 1, true, false}, {"rgb", 1, 1, false, true}};
  struct Scripted {
    const char* name;
    progtest::Script colour;
    bool colourOnly;
  };
  const Scripted scripts[] = {{"default", {}, false},
                              {"approx", progtest::ApproximationScript(), true},
                              {"dcsplit", progtest::SingleComponentDcScript(), true},
                              {"sequential", progtest::SequentialScript(3), true},
                              {"seqpair", {{{0}, 0, 63, 0, 0}, {{1, 2}, 0, 63, 0, 0}}, true}};
  struct Restart {
    const char* name;
    int interval, rows;
  };
  const Restart restarts[] = {{"", 0, 0}, {"_rst2", 2, 0}, {"_rows1", 0, 1}};
  std::vector<PeerCase> cases;
  for (const auto& size : {std::pair{1, 1}, std::pair{17, 9}, std::pair{40, 24}, std::pair{160, 120}}) {
    const std::string dim = std::to_string(size.first) + "x" + std::to_string(size.second);
    for (const Samp& samp : samps) {
      for (const Scripted& script : scripts) {
        if (samp.grey && script.colourOnly) continue;
        // Luminance alone, then both chroma components interleaved: at one
        // size with partial MCUs.
        if (std::string(script.name) == "seqpair" && size.first != 17) continue;
        for (const Restart& restart : restarts) {
          progtest::PeerOptions o;
          o.quality = size.first == 160 ? 92 : 80;
          o.hSamp = samp.h, o.vSamp = samp.v, o.grey = samp.grey, o.rgb = samp.rgb;
          o.script = script.colour;
          o.restartInterval = restart.interval;
          o.restartRows = restart.rows;
          cases.push_back({std::string(script.name) + "_" + samp.name + restart.name + "_" + dim, size.first,
                           size.second, o});
        }
      }
    }
  }
  return cases;
}

class PeerProgressive : public ::testing::TestWithParam<PeerCase> {};

TEST_P(PeerProgressive, DecodesExactlyAsTheTranscodedSequentialStream) {
  const PeerCase& c = GetParam();
  const Bytes stream = progtest::PeerEncode(rktest::MakePhotoLike(c.width, c.height, 11), c.options);
  ASSERT_FALSE(stream.empty());
  const Bytes sequential = progtest::Transcode(stream);
  const auto expected = jpegtest::DecodeToBitmap(sequential, false);
  ASSERT_EQ(expected.result, 0);

  // Progressive frames and multi-scan sequential ones alike reach the
  // progressive decoder through the header's progressive bit.
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  ASSERT_EQ(RkDecodeJFIFHeader(nullptr, stream.data(), &size, &image), 0);
  EXPECT_NE(image.format & RK_FORMAT_PROGRESSIVE, 0);
  EXPECT_EQ(image.dataLength + 2, stream.size());

  rktest::ForEachSimdLevel([&](rk::SimdLevel) {
    for (const progtest::DecodeOptions options :
         {progtest::DecodeOptions{false, false, false}, progtest::DecodeOptions{true, true, true}}) {
      const auto decoded = progtest::ProgressiveDecode(stream, options);
      ASSERT_EQ(decoded.result, 0) << "lut/shop/reference " << options.lut;
      EXPECT_EQ(rktest::Compare(decoded.rgb, expected.rgb).maxAbs, 0) << "lut/shop/reference " << options.lut;
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Libjpeg, PeerProgressive, ::testing::ValuesIn(PeerCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// Damaged streams

Bytes PeerStream(int restart) {
  progtest::PeerOptions o;
  o.restartInterval = restart;
  return progtest::PeerEncode(rktest::MakePhotoLike(40, 24, 3), o);
}

// Offset of the n-th SOS segment's entropy-coded data.
size_t ScanData(const Bytes& s, int n) {
  for (size_t i = 2; i + 3 < s.size();) {
    if (s[i] != 0xFF) return 0;
    const size_t end = i + 2 + (static_cast<size_t>(s[i + 2]) << 8 | s[i + 3]);
    if (s[i + 1] == 0xDA && n-- == 0) return end;
    if (s[i + 1] != 0xDA) {
      i = end;
      continue;
    }
    for (i = end; i + 1 < s.size() && !(s[i] == 0xFF && s[i + 1] != 0 && (s[i + 1] < 0xD0 || s[i + 1] > 0xD7));) ++i;
  }
  return 0;
}

// Every prefix of a stream, closed with EOI so that the header accepts it,
// and the stream with one byte changed at each position: a clean result
// (0, -1 or -8) or a refused header, never a read outside the data (the
// sanitizers watch) nor another code.
TEST(ProgressiveDamage, CutAndChangedStreamsGiveCleanResults) {
  for (const Bytes& stream : {PeerStream(0), PeerStream(2)}) {
    for (size_t cut = 0; cut + 2 < stream.size(); cut += 2) {
      Bytes s(stream.begin(), stream.begin() + static_cast<long>(cut));
      s.push_back(0xFF);
      s.push_back(0xD9);
      const auto d = progtest::ProgressiveDecode(s, {cut % 2 == 0, false, cut % 3 == 0});
      if (d.header < 0) continue;
      EXPECT_TRUE(d.result == 0 || d.result == RK_ERR_FORMAT || d.result == RK_ERR_BAD_MARKER) << cut << " " << d.result;
    }
    for (size_t at = 0; at < stream.size(); at += 5) {
      Bytes s = stream;
      s[at] ^= static_cast<uint8_t>(0x5A + at);
      const auto d = progtest::ProgressiveDecode(s, {at % 2 == 0, at % 5 == 0, false});
      if (d.header < 0) continue;
      EXPECT_TRUE(d.result == 0 || d.result == RK_ERR_FORMAT || d.result == RK_ERR_BAD_MARKER ||
                  d.result == RK_ERR_UNSUPPORTED) << at << " " << d.result;
    }
  }
}

// Cut at every byte (an AC scan that meets the closing EOI has simply
// ended, so most cuts still give a picture), the register reader and the
// plain reader leave the same coefficients: the same result and pixels,
// also where a run of correction bits meets the cut halfway.
TEST(ProgressiveDamage, CutStreamsDecodeAlikeWithEitherReader) {
  for (const Bytes& stream : {PeerStream(0), PeerStream(2)}) {
    int pictures = 0;
    for (size_t cut = 0; cut + 2 < stream.size(); ++cut) {
      Bytes s(stream.begin(), stream.begin() + static_cast<long>(cut));
      s.push_back(0xFF);
      s.push_back(0xD9);
      const auto fast = progtest::ProgressiveDecode(s, {false, false, false});
      const auto plain = progtest::ProgressiveDecode(s, {false, false, true});
      if (plain.header < 0) continue;
      ASSERT_EQ(fast.result, plain.result) << cut;
      if (plain.result != 0) continue;
      ++pictures;
      ASSERT_EQ(rktest::Compare(fast.rgb, plain.rgb).maxAbs, 0) << cut;
    }
    EXPECT_GT(pictures, 0);
  }
}

// Scan data that ends early at the next segment: an AC scan has simply
// ended (its remaining blocks keep what they have), a DC scan leaves blocks
// without DC values and gives -8.
TEST(ProgressiveDamage, ScanCutShortByTheNextSegment) {
  const Bytes stream = PeerStream(0);
  for (int scan : {0, 1}) {
    const size_t start = ScanData(stream, scan), next = ScanData(stream, scan + 1);
    ASSERT_GT(start, 0u);
    ASSERT_GT(next, start);
    // Keep a few bytes of the scan, then an empty COM segment, then the rest
    // of the stream from the following segment on.
    size_t following = next;
    while (!(stream[following] == 0xFF && stream[following + 1] != 0xDA)) --following;
    Bytes s(stream.begin(), stream.begin() + static_cast<long>(start + 3));
    s.insert(s.end(), {0xFF, 0xFE, 0x00, 0x02});
    s.insert(s.end(), stream.begin() + static_cast<long>(following), stream.end());
    const auto d = progtest::ProgressiveDecode(s);
    ASSERT_EQ(d.header, 0);
    EXPECT_EQ(d.result, scan == 0 ? RK_ERR_BAD_MARKER : 0) << "scan " << scan;
  }
}

// Only the DC scan and EOI: a picture of flat 8 x 8 blocks.
TEST(ProgressiveDamage, DcScanAloneGivesFlatBlocks) {
  const Bytes stream = PeerStream(0);
  size_t end = ScanData(stream, 1);
  while (!(stream[end] == 0xFF && stream[end + 1] != 0xDA)) --end;
  while (!(stream[end] == 0xFF && stream[end + 1] == 0xC4) && end > 0) --end;
  Bytes s(stream.begin(), stream.begin() + static_cast<long>(end));
  s.insert(s.end(), {0xFF, 0xD9});
  const auto d = progtest::ProgressiveDecode(s);
  ASSERT_EQ(d.result, 0);
  for (int y = 0; y < d.rgb.height; ++y) {
    for (int x = 0; x < d.rgb.width; ++x) {
      ASSERT_EQ(std::memcmp(d.rgb.at(x, y), d.rgb.at(x & ~7, y & ~7), 3), 0) << x << "," << y;
    }
  }
}

// ---------------------------------------------------------------------------
// Interface

struct Prepared {
  rktest::ModuleTable table;
  ImageBlkAttrRec image{};
  Bytes stream;
  explicit Prepared(Bytes s) : stream(std::move(s)) {
    const uint32_t size = static_cast<uint32_t>(stream.size());
    EXPECT_GE(RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image), 0);
  }
};

// 40 x 24 at 4:2:0: MCUs 16 x 16, 3 x 2 of them (48 x 32 padded); the head
// holds 6 blocks (768 bytes) and three 16 x 16 planes (1536). 65535 x 65535
// would need 25.8 GB, which 32 bits cannot say.
TEST(ProgressiveInterface, WorkShopSizes) {
  Prepared p(PeerStream(0));
  EXPECT_EQ(RkGetProgJPEGDecodeWorkSpaceSize(&p.image), 768u + 1536u + 6u * 48u * 32u);
  EXPECT_EQ(RkGetProgJPEGEncodeWorkSpaceSize(&p.image), 768u + 1536u + 6u * 48u * 32u + 6400u);
  ImageBlkAttrRec huge = p.image;
  huge.width = huge.height = 65535;
  EXPECT_EQ(RkGetProgJPEGDecodeWorkSpaceSize(&huge), 0xFFFFFFFFu);
  EXPECT_EQ(RkGetProgJPEGDecodeWorkSpaceSize(nullptr), 0u);
}

struct Calls {
  std::vector<int32_t> done;
  bool stop = false;
};

int16_t Note(int32_t done, int32_t total, void*, uintptr_t user) {
  auto* calls = reinterpret_cast<Calls*>(user);
  calls->done.push_back(done);
  EXPECT_EQ(total, 23);
  return calls->stop ? RK_STOPPED : 5;  // any other value is not the result
}

TEST(ProgressiveInterface, ProgressDuringReconstructionAndStop) {
  Prepared p(PeerStream(0));
  rktest::Bitmap24 bitmap(p.image.width, p.image.height);
  bitmap.Describe(p.image);
  Calls calls, stop;
  stop.stop = true;
  UserCallBackRec cb{Note, reinterpret_cast<uintptr_t>(&calls)}, scb{Note, reinterpret_cast<uintptr_t>(&stop)};
  EXPECT_EQ(RkDecompressImageByProgJPEG(p.table.get(), &p.image, &cb), 0);
  EXPECT_EQ(calls.done, (std::vector<int32_t>{0, 16, 23}));
  EXPECT_EQ(RkDecompressImageByProgJPEG(p.table.get(), &p.image, &scb), RK_STOPPED);
  EXPECT_EQ(stop.done.size(), 1u);
}

// Planar 16-bit output and the 32-bit top-down layout of RkDecodeJFIF give
// what the baseline decoder gives for the transcoded stream.
TEST(ProgressiveInterface, OtherLayoutsMatchTheBaselineDecoder) {
  for (const bool rgb : {false, true}) {
    progtest::PeerOptions o;
    o.rgb = rgb;
    o.hSamp = rgb ? 1 : 2;
    o.vSamp = 1;
    o.restartRows = 1;
    const Bytes stream = progtest::PeerEncode(rktest::MakePhotoLike(37, 21, 9), o);
    const Bytes sequential = progtest::Transcode(stream);
    auto planar = [](const Bytes& s) {
      Prepared p(s);
      std::vector<uint8_t> out(2u * 3u * p.image.width * p.image.height, 0xAB);
      p.image.pixels = out.data();
      p.image.pixelFormat = RK_PIXEL_PLANAR_YCC16;
      p.image.rowStride = p.image.width;
      const int16_t r = (p.image.format & RK_FORMAT_PROGRESSIVE) ? RkDecompressImageByProgJPEG(p.table.get(), &p.image, nullptr)
                                                                 : RkDecompressImageByJPEG(p.table.get(), &p.image, nullptr);
      EXPECT_EQ(r, 0);
      return out;
    };
    EXPECT_EQ(planar(stream), planar(sequential)) << "rgb " << rgb;
    auto direct = [](const Bytes& s) {
      rktest::ModuleTable table;
      std::vector<uint8_t> out(4u * 37u * 21u, 0x5C);
      const uint32_t size = static_cast<uint32_t>(s.size());
      EXPECT_EQ(RkDecodeJFIF(table.get(), s.data(), &size, out.data(), 4 * 37, nullptr), 0);
      return out;
    };
    const std::vector<uint8_t> prog = direct(stream);
    EXPECT_EQ(prog, direct(sequential)) << "rgb " << rgb;
    for (size_t i = 0; i < prog.size(); i += 4) ASSERT_EQ(prog[i], 0x5C) << "byte 0 of each pixel is untouched";
  }
}

}  // namespace
