// The library's decoder against the plain reference decoder: same pixels
// and same result on valid streams and on damaged ones (flipped bytes,
// truncation, restart markers moved), through every output layout, with
// and without Huffman lookup buffers.
#include <gtest/gtest.h>

#include <random>

#include "jpeg_test_util.h"
#include "reference_decoder.h"
#include "simd_levels.h"
#include "test_images.h"

namespace {

using jpegtest::Bytes;
using jpegtest::LibjpegOptions;

enum class Layout { kBitmap24, kBuffer32, kPlanar16, kOverlapping };

struct StreamKind {
  const char* name;
  LibjpegOptions options;
  bool noise;  // random pixels: many 0xFF data bytes, hence stuffing
};

struct AgreementCase {
  StreamKind kind;
  Layout layout;
  bool withLut;
};

// Describes an output buffer of the given layout for a width x height image.
void DescribeLayout(Layout layout, int width, int height, int components, ImageBlkAttrRec& image,
                    std::vector<uint8_t>& buffer) {
  image.pixelFormat = 0;
  switch (layout) {
    case Layout::kBitmap24:
      image.rowStride = ((width * 3 + 3) / 4) * 4;
      image.pixelStride = 3;
      image.blueOffset = 0, image.greenOffset = 1, image.redOffset = 2;
      image.bottomUp = 1;
      buffer.assign(static_cast<size_t>(image.rowStride) * height, 0x5A);
      break;
    case Layout::kBuffer32:
      image.rowStride = width * 4;
      image.pixelStride = 4;
      image.redOffset = 1, image.greenOffset = 2, image.blueOffset = 3;
      image.bottomUp = 0;
      buffer.assign(static_cast<size_t>(image.rowStride) * height, 0x5A);
      break;
    case Layout::kPlanar16:
      image.pixelFormat = RK_PIXEL_PLANAR_YCC16;
      image.rowStride = width;
      image.bottomUp = 1;
      buffer.assign(2 * static_cast<size_t>(width) * height * (components == 3 ? 3 : 1), 0x5A);
      break;
    case Layout::kOverlapping:
      // One byte per pixel with the three samples on top of each other and
      // neighbours sharing bytes: only the defined write order decides.
      image.rowStride = width;
      image.pixelStride = 1;
      image.redOffset = 0, image.greenOffset = 1, image.blueOffset = 2;
      image.bottomUp = 0;
      buffer.assign(static_cast<size_t>(width) * height + 2, 0x5A);
      break;
  }
  image.pixels = buffer.data();
}

struct Outcome {
  int16_t result;
  std::vector<uint8_t> pixels;
};

Outcome DecodeWith(const Bytes& stream, Layout layout, bool withLut, bool reference) {
  rktest::ModuleTable table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize(), 0);
  if (withLut) RkSetHuffmanLUTBuffer(table.get(), lut.data());
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  if (RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image) < 0) return {-999, {}};
  Outcome out;
  DescribeLayout(layout, image.width, image.height, (image.format >> 12) & 3, image, out.pixels);
  out.result = reference ? jpegref::Decode(table.get(), &image)
                         : RkDecompressImageByJPEG(table.get(), &image, nullptr);
  return out;
}

// Offsets of the entropy-coded data: after the last SOS segment, up to EOI.
std::pair<size_t, size_t> EntropyRange(const Bytes& s) {
  size_t start = 0;
  for (size_t i = 0; i + 3 < s.size(); ++i) {
    if (s[i] == 0xFF && s[i + 1] == 0xDA) start = i + 2 + (s[i + 2] << 8 | s[i + 3]);
  }
  return {start, s.size() - 2};
}

std::vector<std::pair<std::string, Bytes>> Variants(const Bytes& base, uint32_t seed) {
  std::vector<std::pair<std::string, Bytes>> out{{"intact", base}};
  const auto [start, end] = EntropyRange(base);
  std::mt19937 rng(seed);
  for (int k = 0; k < 6; ++k) {  // a few flipped bytes
    Bytes s = base;
    for (int j = 0; j <= k % 3; ++j) {
      const size_t at = start + rng() % (end - start);
      s[at] = static_cast<uint8_t>(s[at] ^ (1u << (rng() % 8)));
    }
    out.emplace_back("flip" + std::to_string(k), s);
  }
  for (int k = 1; k <= 3; ++k) {  // data cut short, EOI kept
    Bytes s(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(start + (end - start) * k / 4));
    s.insert(s.end(), {0xFF, 0xD9});
    out.emplace_back("cut" + std::to_string(k), s);
  }
  for (int k = 0; k < 3; ++k) {  // an early restart marker inserted
    Bytes s = base;
    const size_t at = start + rng() % (end - start);
    if (s[at - 1] == 0xFF) continue;
    s.insert(s.begin() + static_cast<std::ptrdiff_t>(at), {0xFF, static_cast<uint8_t>(0xD0 + k)});
    out.emplace_back("rst" + std::to_string(k), s);
  }
  for (size_t i = start; i + 1 < end; ++i) {  // the first restart marker removed
    if (base[i] == 0xFF && base[i + 1] >= 0xD0 && base[i + 1] <= 0xD7) {
      Bytes s = base;
      s.erase(s.begin() + static_cast<std::ptrdiff_t>(i), s.begin() + static_cast<std::ptrdiff_t>(i + 2));
      out.emplace_back("norst", s);
      break;
    }
  }
  return out;
}

void PrintTo(const AgreementCase& c, std::ostream* os) { *os << c.kind.name; }

class DecodeAgreement : public ::testing::TestWithParam<AgreementCase> {};

TEST_P(DecodeAgreement, LibraryEqualsPlainReference) {
  const AgreementCase& c = GetParam();
  const rktest::Rgb picture = c.kind.noise ? rktest::MakeNoise(37, 29, 5) : rktest::MakePhotoLike(53, 41, 3);
  const Bytes base = jpegtest::LibjpegEncode(picture, c.kind.options);
  int damagedFailures = 0;
  for (const auto& [name, stream] : Variants(base, 11)) {
    const Outcome plain = DecodeWith(stream, c.layout, c.withLut, true);
    ASSERT_NE(plain.result, -999) << name << ": header refused";
    rktest::ForEachSimdLevel([&](rk::SimdLevel) {
      const Outcome fast = DecodeWith(stream, c.layout, c.withLut, false);
      EXPECT_EQ(fast.result, plain.result) << name;
      EXPECT_TRUE(fast.pixels == plain.pixels) << name << ": pixels differ";
    });
    if (name == "intact") {
      EXPECT_EQ(plain.result, 0);
    }
    if (plain.result != 0) ++damagedFailures;
  }
  // The damage must reach the error paths, or this test proves little.
  EXPECT_GT(damagedFailures, 0);
}

const StreamKind kKinds[] = {
    {"q75_420", {75, 2, 2, false, false, false, 0, ""}, false},
    {"q90_422_rst2", {90, 2, 1, false, false, false, 2, ""}, false},
    {"q50_444_rst1_opt", {50, 1, 1, false, false, true, 1, ""}, false},
    {"q95_grey_rst3", {95, 1, 1, true, false, false, 3, ""}, false},
    {"q75_rgb_rst2", {75, 1, 1, false, true, false, 2, ""}, false},
    {"q98_420_noise_rst4", {98, 2, 2, false, false, false, 4, ""}, true},
    {"q98_grey_noise", {98, 1, 1, true, false, false, 0, ""}, true},
    {"q90_h1v2", {90, 1, 2, false, false, false, 0, ""}, false},
};

std::vector<AgreementCase> AllCases() {
  std::vector<AgreementCase> cases;
  for (const auto& kind : kKinds) {
    for (Layout layout : {Layout::kBitmap24, Layout::kBuffer32, Layout::kPlanar16, Layout::kOverlapping}) {
      for (bool lut : {false, true}) cases.push_back({kind, layout, lut});
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<AgreementCase>& info) {
  static const char* layouts[] = {"bitmap24", "buffer32", "planar16", "overlapping"};
  return std::string(info.param.kind.name) + "_" + layouts[static_cast<int>(info.param.layout)] +
         (info.param.withLut ? "_lut" : "_search");
}

INSTANTIATE_TEST_SUITE_P(Streams, DecodeAgreement, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
