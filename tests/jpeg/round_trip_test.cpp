// Streams written by the library's own encoder, decoded by the library:
// the pixels and the result must be exactly what the plain reference
// decoder gives, for each sampling the writer offers, with and without
// restart intervals, at sizes that leave partial MCUs on both edges, into
// the bitmap and the 32-bit buffer, with and without lookup buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encode_helpers.h"
#include "reference_decoder.h"
#include "test_images.h"

namespace {

struct RoundTripCase {
  std::string name;
  uint16_t format;
  uint32_t restartInterval;
  int width, height;
  bool noise;  // random pixels: large coefficients and stuffed 0xFF bytes
  double scale;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

struct Decoded {
  int16_t result = 0;
  std::vector<uint8_t> pixels;
  rktest::Rgb rgb;
};

Decoded Decode(const std::vector<uint8_t>& stream, bool bitmap, bool withLut, bool reference) {
  rktest::ModuleTable table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize(), 0);
  if (withLut) RkSetHuffmanLUTBuffer(table.get(), lut.data());
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  Decoded out;
  if (RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image) < 0) {
    out.result = -999;
    return out;
  }
  // Junk in the buffers first: every pixel must be written.
  rktest::Bitmap24 b24(image.width, image.height, 0xAB);
  rktest::Buffer32 b32(image.width, image.height, 0xAB);
  const uint32_t format = image.format;
  const uint32_t flags = image.codecFlags;
  const uint32_t restart = image.restartInterval;
  uint8_t* data = image.data;
  const uint32_t dataLength = image.dataLength;
  if (bitmap) {
    b24.Describe(image);
  } else {
    b32.Describe(image);
  }
  // Buffer32::Describe resets the record: the stream fields come back.
  image.format = format;
  image.codecFlags = flags;
  image.restartInterval = restart;
  image.data = data;
  image.dataLength = dataLength;
  out.result = reference ? jpegref::Decode(table.get(), &image)
                         : RkDecompressImageByJPEG(table.get(), &image, nullptr);
  out.pixels = bitmap ? b24.bytes : b32.bytes;
  out.rgb = bitmap ? b24.ToRgb() : b32.ToRgb();
  return out;
}

class OwnStreams : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(OwnStreams, DecodeExactlyAsThePlainReference) {
  const RoundTripCase& c = GetParam();
  const rktest::Rgb picture = c.noise ? rktest::MakeNoise(c.width, c.height, 17)
                                      : rktest::MakePhotoLike(c.width, c.height, 29);
  rktest::Bitmap24 source(picture);
  rktest::EncodeSettings settings;
  settings.format = c.format;
  settings.restartInterval = c.restartInterval;
  settings.scale = c.scale;
  const rktest::Encoded encoded = rktest::ExportJfif(settings, source);
  ASSERT_EQ(encoded.result, RK_OK);

  for (bool bitmap : {true, false}) {
    const Decoded plain = Decode(encoded.bytes, bitmap, false, true);
    ASSERT_EQ(plain.result, RK_OK) << (bitmap ? "bitmap" : "buffer32");
    for (bool lut : {false, true}) {
      const Decoded fast = Decode(encoded.bytes, bitmap, lut, false);
      const std::string where = std::string(bitmap ? "bitmap" : "buffer32") + (lut ? " with" : " without") +
                                " lookup buffers";
      EXPECT_EQ(fast.result, RK_OK) << where;
      EXPECT_TRUE(fast.pixels == plain.pixels) << where << ": pixels differ from the reference";
    }
    // Equal pixels prove little if both decoders were wrong the same way:
    // colour streams must also give back the picture (the bar only rules
    // out garbage: small pictures lose much to chroma subsampling, noise to
    // quantisation), grey ones R = G = B.
    if (c.format >> 12 == 3) {
      const rktest::Difference d = rktest::Compare(plain.rgb, picture);
      EXPECT_GT(d.psnr, c.noise ? 8.0 : 18.0) << "max " << d.maxAbs << ", mean " << d.mean;
    } else {
      for (size_t i = 0; i + 2 < plain.rgb.px.size(); i += 3) {
        ASSERT_TRUE(plain.rgb.px[i] == plain.rgb.px[i + 1] && plain.rgb.px[i] == plain.rgb.px[i + 2]) << i;
      }
    }
  }
}

std::vector<RoundTripCase> AllCases() {
  struct Format {
    const char* name;
    uint16_t format;
  };
  const Format formats[] = {{"ycc21", 0x3001}, {"ycc22", 0x3005}, {"ycc11", 0x3000}, {"grey", 0x1000}};
  struct Size {
    const char* name;
    int w, h;
  };
  const Size sizes[] = {{"1x1", 1, 1}, {"17x9", 17, 9}, {"45x31", 45, 31}};
  std::vector<RoundTripCase> cases;
  for (const Format& f : formats) {
    for (const Size& s : sizes) {
      for (uint32_t restart : {0u, 1u, 3u}) {
        cases.push_back({std::string(f.name) + "_" + s.name + "_rst" + std::to_string(restart), f.format,
                         restart, s.w, s.h, false, 1.0});
      }
    }
    // Noise at a fine scale: long codes, big values, many stuffed bytes.
    cases.push_back({std::string(f.name) + "_noise_fine_rst2", f.format, 2, 37, 23, true, 0.1});
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Encoder, OwnStreams, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
