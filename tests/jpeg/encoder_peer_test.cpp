// Our streams as libjpeg-turbo sees them: decoded without warnings for every
// format, size, pixel layout and option, and as good and as small as its
// own encoder's output with the same tables.
#include <gtest/gtest.h>

#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <jpeglib.h>

#include "encode_helpers.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::Buffer32;
using rktest::EncodeSettings;
using rktest::Rgb;

enum class Layout { kBottomUp24, kTopDown24, kInit32 };

// Holds one picture in the layout under test.
struct Source {
  Layout layout;
  Rgb flipped;
  Bitmap24 bmp;
  Buffer32 buf;
  Source(const Rgb& img, Layout l) : layout(l), flipped(Flip(img)), bmp(l == Layout::kTopDown24 ? flipped : img), buf(img, 0x5A) {}

  static Rgb Flip(const Rgb& img) {
    Rgb f = img;
    for (int y = 0; y < img.height; ++y) std::memcpy(f.at(0, y), img.at(0, img.height - 1 - y), 3u * img.width);
    return f;
  }
  static void Describe(ImageBlkAttrRec& r, void* self) {
    auto* s = static_cast<Source*>(self);
    if (s->layout == Layout::kInit32) {
      s->buf.Describe(r);
    } else {
      s->bmp.Describe(r);
      // A top-down buffer holds the flipped rows, first row on top.
      if (s->layout == Layout::kTopDown24) r.bottomUp = 0;
    }
  }
};

Rgb GreyOf(const Rgb& img) {
  Rgb g = img;
  for (size_t i = 0; i < img.px.size(); i += 3) {
    const int y = (77 * img.px[i] + 150 * img.px[i + 1] + 29 * img.px[i + 2] + 128) >> 8;
    g.px[i] = g.px[i + 1] = g.px[i + 2] = static_cast<uint8_t>(y);
  }
  return g;
}

struct Size {
  int w, h;
};

enum class Variant { kPlain, kRestartAndComment, kNoiseRestartEvery };

using PeerParam = std::tuple<uint16_t, Size, Layout, Variant>;

class DecodedByLibjpegTurbo : public testing::TestWithParam<PeerParam> {};

TEST_P(DecodedByLibjpegTurbo, WithoutWarningsAndCloseToTheSource) {
  const auto [format, size, layout, variant] = GetParam();
  const bool noise = variant == Variant::kNoiseRestartEvery;
  const Rgb img = noise ? rktest::MakeNoise(size.w, size.h, 21) : rktest::MakePhotoLike(size.w, size.h, 21);
  Source src(img, layout);
  EncodeSettings s;
  s.format = format;
  s.scale = 0.5;
  if (variant == Variant::kRestartAndComment) {
    s.restartInterval = 3;
    s.comment = "rastkit test";
  } else if (variant == Variant::kNoiseRestartEvery) {
    s.restartInterval = 1;
  }
  const auto e = rktest::ExportJfif(s, Source::Describe, &src);
  ASSERT_EQ(e.result, RK_OK);
  const auto d = rktest::DecodeWithTurbo(e.bytes);
  ASSERT_TRUE(d.clean) << d.message;
  ASSERT_EQ(d.image.width, size.w);
  ASSERT_EQ(d.image.height, size.h);
  if (noise) return;  // noise is not expected to survive quantisation
  const Rgb expected = format == 0x1000 ? GreyOf(img) : img;
  const auto diff = rktest::Compare(d.image, expected);
  // Smooth pictures at scale 0.5 come back above 30 dB. Tiny ones lose more:
  // their MCUs are padded with black, and a 2x1 or 2x2 chroma sample then
  // averages the picture with that black (a 1x1 picture keeps half its
  // chroma), measured 26.7 dB at worst.
  EXPECT_GT(diff.psnr, size.w >= 32 ? 30.0 : 25.0);
}

std::string PeerName(const testing::TestParamInfo<PeerParam>& info) {
  const auto [format, size, layout, variant] = info.param;
  char buf[96];
  const char* l = layout == Layout::kBottomUp24 ? "BottomUp24" : layout == Layout::kTopDown24 ? "TopDown24" : "Init32";
  const char* v = variant == Variant::kPlain ? "Plain" : variant == Variant::kRestartAndComment ? "RestartComment" : "NoiseRestart1";
  std::snprintf(buf, sizeof buf, "F%04X_%dx%d_%s_%s", format, size.w, size.h, l, v);
  return buf;
}

INSTANTIATE_TEST_SUITE_P(Streams, DecodedByLibjpegTurbo,
                         testing::Combine(testing::Values<uint16_t>(0x3001, 0x3005, 0x3000, 0x1000),
                                          testing::Values(Size{1, 1}, Size{16, 8}, Size{17, 9}, Size{481, 361}),
                                          testing::Values(Layout::kBottomUp24, Layout::kTopDown24, Layout::kInit32),
                                          testing::Values(Variant::kPlain, Variant::kRestartAndComment,
                                                          Variant::kNoiseRestartEvery)),
                         PeerName);

// The oracle itself: a stream cut short or with a stuffing byte missing is
// reported, so "clean" above means something.
TEST(PeerOracle, ReportsDamagedStreams) {
  Bitmap24 bmp(rktest::MakeNoise(64, 32, 4));
  const auto e = rktest::ExportJfif(EncodeSettings{}, bmp);
  ASSERT_EQ(e.result, RK_OK);
  ASSERT_TRUE(rktest::DecodeWithTurbo(e.bytes).clean);
  std::vector<uint8_t> cut(e.bytes.begin(), e.bytes.end() - static_cast<long>(e.bytes.size() / 3));
  EXPECT_FALSE(rktest::DecodeWithTurbo(cut).clean);
  std::vector<uint8_t> unstuffed = e.bytes;
  const size_t data = static_cast<size_t>(rktest::FindMarker(e.bytes, 0xDA)) + 14;
  size_t i = data;
  while (i + 1 < unstuffed.size() && !(unstuffed[i] == 0xFF && unstuffed[i + 1] == 0x00)) ++i;
  ASSERT_LT(i + 1, unstuffed.size() - 2);
  unstuffed.erase(unstuffed.begin() + static_cast<long>(i) + 1);
  EXPECT_FALSE(rktest::DecodeWithTurbo(unstuffed).clean);
}

// libjpeg-turbo's own baseline encode with given quantisation tables,
// 2x1 luminance sampling, the accurate integer DCT and standard Huffman
// tables (no optimisation).
std::vector<uint8_t> PeerEncode(const Rgb& img, const uint16_t* lum, const uint16_t* chroma) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(img.width);
  cinfo.image_height = static_cast<JDIMENSION>(img.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  unsigned int l[64], c[64];
  for (int i = 0; i < 64; ++i) {
    l[i] = lum[i];
    c[i] = chroma[i];
  }
  jpeg_add_quant_table(&cinfo, 0, l, 100, TRUE);  // scale 100 %: the table as given
  jpeg_add_quant_table(&cinfo, 1, c, 100, TRUE);
  cinfo.comp_info[0].h_samp_factor = 2;
  cinfo.comp_info[0].v_samp_factor = 1;
  cinfo.comp_info[1].h_samp_factor = cinfo.comp_info[1].v_samp_factor = 1;
  cinfo.comp_info[2].h_samp_factor = cinfo.comp_info[2].v_samp_factor = 1;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.optimize_coding = FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  for (int y = 0; y < img.height; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(img.at(0, y));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(mem, mem + memSize);
  std::free(mem);
  return out;
}

struct QualityCase {
  const char* name;
  int w, h;
  double scale;
  double sizeTolerance;
};

class AgainstLibjpegTurboEncoder : public testing::TestWithParam<QualityCase> {};

// The picture is a whole number of MCUs: partial MCUs are padded with black
// here and with repeated edge pixels by libjpeg, which costs us bits and
// PSNR at the picture's edge that say nothing about the coding itself
// (481x361 at scale 1.0: 0.43 dB and 15 % more bytes).
TEST_P(AgainstLibjpegTurboEncoder, PsnrWithinThreeTenthsOfADbAndSizeClose) {
  const QualityCase& q = GetParam();
  const Rgb img = rktest::MakePhotoLike(q.w, q.h, 31);
  Bitmap24 bmp(img);
  EncodeSettings s;
  s.scale = q.scale;
  const auto ours = rktest::ExportJfif(s, bmp);
  ASSERT_EQ(ours.result, RK_OK);

  rktest::ModuleTable table;
  RkSetQuantizeScaleFactor(table.get(), &q.scale, &q.scale);
  const auto peer = PeerEncode(img, table->quantTable[0], table->quantTable[1]);

  const auto dOurs = rktest::DecodeWithTurbo(ours.bytes);
  const auto dPeer = rktest::DecodeWithTurbo(peer);
  ASSERT_TRUE(dOurs.clean) << dOurs.message;
  ASSERT_TRUE(dPeer.clean) << dPeer.message;
  const double psnrOurs = rktest::Compare(dOurs.image, img).psnr;
  const double psnrPeer = rktest::Compare(dPeer.image, img).psnr;
  RecordProperty("psnr_ours", std::to_string(psnrOurs));
  RecordProperty("psnr_peer", std::to_string(psnrPeer));
  RecordProperty("bytes_ours", std::to_string(ours.bytes.size()));
  RecordProperty("bytes_peer", std::to_string(peer.size()));
  EXPECT_GT(psnrOurs, psnrPeer - 0.3);
  const double ratio = static_cast<double>(ours.bytes.size()) / static_cast<double>(peer.size());
  EXPECT_NEAR(ratio, 1.0, q.sizeTolerance);
}

// Scale 1.0 is the program's default and the 3 % target. At scale 0.25 the
// fine quantisation lets the rounding after each transform pass and the
// 8-bit colour fractions show as extra small coefficients (measured +6.4 %),
// so that case only guards against a gross regression.
INSTANTIATE_TEST_SUITE_P(Photo, AgainstLibjpegTurboEncoder,
                         testing::Values(QualityCase{"Scale1_640x480", 640, 480, 1.0, 0.03},
                                         QualityCase{"Scale1_1024x768", 1024, 768, 1.0, 0.03},
                                         QualityCase{"Scale025_640x480", 640, 480, 0.25, 0.10}),
                         [](const testing::TestParamInfo<QualityCase>& info) { return std::string(info.param.name); });

// Intervals from 32768 up are valid in DRI (16 bits); the marker must come
// after exactly that many MCUs.
TEST(PeerRestart, IntervalAbove32767IsHonoured) {
  const int w = 8192, h = 264;  // grey: 1024 x 33 = 33792 MCUs
  Rgb img = rktest::MakePhotoLike(w, h, 2);
  Bitmap24 bmp(img);
  EncodeSettings s;
  s.format = 0x1000;
  s.restartInterval = 32768;
  s.scale = 4.0;
  const auto e = rktest::ExportJfif(s, bmp);
  ASSERT_EQ(e.result, RK_OK);
  int markers = 0;
  for (size_t i = static_cast<size_t>(rktest::FindMarker(e.bytes, 0xDA)); i + 1 < e.bytes.size(); ++i) {
    markers += e.bytes[i] == 0xFF && e.bytes[i + 1] >= 0xD0 && e.bytes[i + 1] <= 0xD7;
  }
  EXPECT_EQ(markers, 1);
  const auto d = rktest::DecodeWithTurbo(e.bytes);
  EXPECT_TRUE(d.clean) << d.message;
  EXPECT_GT(rktest::Compare(d.image, GreyOf(img)).psnr, 25.0);
}

}  // namespace
