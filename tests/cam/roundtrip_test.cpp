// The CAM writer (tools/) against the library's decoder: pictures survive a
// round trip, every container option reads back, and the bundled samples
// decode cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cam_writer.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::ModuleTable;
using rktest::Rgb;

rktools::Picture ToPicture(const Rgb& img) {
  rktools::Picture p(img.width, img.height);
  p.rgb = img.px;
  return p;
}

std::vector<uint8_t> Write(const Rgb& img, const rktools::CamWriteOptions& o) {
  std::vector<uint8_t> file;
  EXPECT_EQ(rktools::WriteCam(ToPicture(img), o, file), rktools::CamWriteStatus::kOk);
  return file;
}

// Decodes through the sized calls as the program will; fails the test on
// any error, including a damaged stream.
Rgb Decode(const std::vector<uint8_t>& file, int width, int height) {
  ModuleTable t;
  RkInitLHuffmanTable(t.get());
  RkInitCHuffmanTable(t.get());
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), file.data(), static_cast<uint32_t>(file.size()), nullptr, &image), 0);
  Bitmap24 bmp(width, height);
  bmp.Describe(image);
  EXPECT_EQ(RkDecompressImageByCAM(t.get(), &image, nullptr), 0);
  EXPECT_EQ(t->decodeError, 0);
  return bmp.ToRgb();
}

struct QualityCase {
  const char* name;
  double scale;
  double minPsnr;
};

class CamRoundTrip : public ::testing::TestWithParam<QualityCase> {};

// The chrominance is kept at one sample per 3 x 2 pixels, so the bound is on
// a photo-like picture whose colour changes slowly.
TEST_P(CamRoundTrip, PhotoLikePictureAt480x240) {
  const auto& c = GetParam();
  const Rgb original = rktest::MakePhotoLike(480, 240, 7);
  rktools::CamWriteOptions o;
  o.lumaScale = o.chromaScale = c.scale;
  const Rgb back = Decode(Write(original, o), 480, 240);
  const auto d = rktest::Compare(back, original);
  std::printf("      scale %.2f: PSNR %.2f dB, max %d, mean %.3f\n", c.scale, d.psnr, d.maxAbs, d.mean);
  RecordProperty("psnr", std::to_string(d.psnr));
  EXPECT_GE(d.psnr, c.minPsnr);
}

INSTANTIATE_TEST_SUITE_P(Scales, CamRoundTrip,
                         ::testing::Values(QualityCase{"Fine", 0.1, 34.0}, QualityCase{"Moderate", 0.5, 30.0},
                                           QualityCase{"Standard", 1.0, 28.0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Finer quantisation must not make the picture worse: catches a writer and
// decoder that agree with each other but not with the tables in the file.
TEST(CamRoundTrip, FinerQuantisationIsCloser) {
  const Rgb original = rktest::MakePhotoLike(480, 240, 3);
  double last = 0;
  for (double scale : {2.0, 1.0, 0.5, 0.2}) {
    rktools::CamWriteOptions o;
    o.lumaScale = o.chromaScale = scale;
    const double psnr = rktest::Compare(Decode(Write(original, o), 480, 240), original).psnr;
    EXPECT_GT(psnr, last) << scale;
    last = psnr;
  }
}

// The stored zigzag bytes come back as the natural-order tables that the
// same scale gives in the module table.
TEST(CamWriter, QuantisationTablesReadBack) {
  rktools::CamWriteOptions o;
  o.lumaScale = 0.5;
  o.chromaScale = 0.75;
  const auto file = Write(rktest::MakePhotoLike(480, 240), o);
  ModuleTable decoded, expected;
  ImageBlkAttrRec image{};
  ASSERT_EQ(RkDecodeCAMHeaderEx(decoded.get(), file.data(), static_cast<uint32_t>(file.size()), nullptr, &image), 0);
  RkSetQuantizeScaleFactor(expected.get(), &o.lumaScale, &o.chromaScale);
  EXPECT_EQ(0, std::memcmp(decoded->quantTable[0], expected->quantTable[0], 128));
  EXPECT_EQ(0, std::memcmp(decoded->quantTable[1], expected->quantTable[1], 128));
  EXPECT_EQ(0, std::memcmp(decoded->quantTable[2], expected->quantTable[1], 128));
}

struct ContainerCase {
  const char* name;
  bool bigEndian, thumbnail, cam, jpeg;
  int unknown;
  int16_t type;
};

class CamWriterContainer : public ::testing::TestWithParam<ContainerCase> {};

// Every option gives a file whose sections are where the directory says,
// and the same picture decodes from it whatever surrounds it.
TEST_P(CamWriterContainer, SectionsReadBack) {
  const auto& c = GetParam();
  const Rgb original = rktest::MakePhotoLike(480, 240, 11);
  rktools::CamWriteOptions o;
  o.bigEndian = c.bigEndian;
  o.thumbnail = c.thumbnail;
  o.camPicture = c.cam;
  o.jpegSection = c.jpeg;
  o.unknownSections = c.unknown;
  const auto file = Write(original, o);
  ASSERT_GE(file.size(), 6u);
  EXPECT_EQ(file[3], c.bigEndian ? 'M' : 'I');
  const auto size = static_cast<uint32_t>(file.size());
  uint32_t len = 0, off = 0;
  ASSERT_EQ(RkCheckCAMFileTypeEx(file.data(), size, &len, &off), c.type);
  EXPECT_LE(uint64_t{off} + len, size);
  if (c.type == 4) {
    // A complete JFIF stream: SOI first, EOI last.
    EXPECT_EQ(file[off], 0xFF);
    EXPECT_EQ(file[off + 1], 0xD8);
    EXPECT_EQ(file[off + len - 2], 0xFF);
    EXPECT_EQ(file[off + len - 1], 0xD9);
  } else {
    rktools::CamWriteOptions plain;
    const Rgb reference = Decode(Write(original, plain), 480, 240);
    EXPECT_EQ(Decode(file, 480, 240).px, reference.px);
  }
  uint32_t tlen = 0, toff = 0;
  EXPECT_EQ(RkGetCAMThumbnailInfoEx(file.data(), size, &tlen, &toff), c.thumbnail ? 0 : 1);
  if (c.thumbnail) {
    ASSERT_EQ(tlen, 80u * 60u * 3u);
    std::vector<uint8_t> thumb(tlen);
    ASSERT_EQ(RkGetCAMThumbnailEx(file.data(), size, thumb.data(), tlen), 0);
    EXPECT_EQ(0, std::memcmp(thumb.data(), file.data() + toff, tlen));
    // The thumbnail shows the picture: its mean colour is the picture's.
    double mt = 0, mp = 0;
    for (uint8_t v : thumb) mt += v;
    for (uint8_t v : original.px) mp += v;
    EXPECT_NEAR(mt / thumb.size(), mp / original.px.size(), 2.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, CamWriterContainer,
    ::testing::Values(ContainerCase{"PlainMM", true, false, true, false, 0, 3},
                      ContainerCase{"PlainII", false, false, true, false, 0, 3},
                      ContainerCase{"ThumbnailAndUnknownII", false, true, true, false, 3, 3},
                      ContainerCase{"BothPicturesMM", true, true, true, true, 1, 3},
                      ContainerCase{"JpegOnlyII", false, false, false, true, 2, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// The JPEG section holds the picture as the JFIF writer codes it: the
// library's JPEG decoder gets it back at its own size.
TEST(CamWriter, JpegSectionDecodesToThePicture) {
  const Rgb original = rktest::MakePhotoLike(200, 120, 5);
  rktools::CamWriteOptions o;
  o.camPicture = false;
  o.jpegSection = true;
  const auto file = Write(original, o);
  uint32_t len = 0, off = 0;
  ASSERT_EQ(RkCheckCAMFileTypeEx(file.data(), static_cast<uint32_t>(file.size()), &len, &off), 4);
  ModuleTable t;
  ImageBlkAttrRec image{};
  ASSERT_GE(RkDecodeJFIFHeader(t.get(), file.data() + off, &len, &image), 0);
  ASSERT_EQ(image.width, 200);
  ASSERT_EQ(image.height, 120);
  Bitmap24 bmp(200, 120);
  ImageBlkAttrRec out = image;
  bmp.Describe(out);
  ASSERT_EQ(RkDecompressImageByJPEG(t.get(), &out, nullptr), 0);
  EXPECT_GE(rktest::Compare(bmp.ToRgb(), original).psnr, 30.0);
}

TEST(CamWriter, RefusesStreamsTheHeaderCannotHold) {
  // Noise at the finest quantisation needs far more than 65535 bytes of Y.
  rktools::CamWriteOptions o;
  o.lumaScale = o.chromaScale = 0.01;
  std::vector<uint8_t> file;
  EXPECT_EQ(rktools::WriteCam(ToPicture(rktest::MakeNoise(480, 240)), o, file),
            rktools::CamWriteStatus::kStreamTooLong);
}

// ---------------------------------------------------------------- samples

std::vector<std::string> SampleFiles() {
  std::vector<std::string> v;
  const std::filesystem::path dir = std::filesystem::path(RK_SOURCE_DIR) / "samples";
  if (std::filesystem::is_directory(dir))
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().extension() == ".cam") v.push_back(e.path().string());
  std::sort(v.begin(), v.end());
  return v;
}

TEST(CamSamples, EveryBundledSampleDecodesCleanly) {
  const auto files = SampleFiles();
  ASSERT_GE(files.size(), 4u);
  int jpegSections = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    const auto file = rktest::ReadFile(path);
    const int16_t type = RkCheckCAMFileTypeEx(file.data(), static_cast<uint32_t>(file.size()), nullptr, nullptr);
    ASSERT_TRUE(type == 3 || type == 4) << type;
    if (type == 4) {
      ++jpegSections;
      continue;
    }
    for (auto [w, h] : {std::pair{480, 360}, {480, 240}, {320, 240}}) {
      const Rgb pic = Decode(file, w, h);
      // Not a flat picture: the streams carried real content.
      const auto [lo, hi] = std::minmax_element(pic.px.begin(), pic.px.end());
      EXPECT_GT(*hi - *lo, 100);
    }
  }
  EXPECT_GE(jpegSections, 1);
}

}  // namespace
