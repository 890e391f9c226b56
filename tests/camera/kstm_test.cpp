// KSTM images and thumbnails, and the compound encoder: data checks, round
// trips through the writer, thumbnails against the values their DC terms
// give, progress, and the encoder's scale choice and retry.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "cam/kernels.h"
#include "camera/kstm.h"
#include "camera_helpers.h"
#include "camera_writer.h"

namespace {

using cameratest::Answer;
using cameratest::Bytes;
using cameratest::Table;

rktools::Picture ToPicture(const rktest::Rgb& img) {
  rktools::Picture pic(img.width, img.height);
  pic.rgb = img.px;
  return pic;
}

// A thumbnail stream of 40 x 30 MCUs whose blocks are all DC category 0 and
// end of block: luminance 00 1010 four times, chrominance 00 00 twice, 32
// bits per MCU.
Bytes FlatThumbnail() {
  Bytes out;
  for (int i = 0; i < 1200; ++i) out.insert(out.end(), {0x28, 0xA2, 0x8A, 0x00});
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

TEST(KstmData, ImageChecksComeBeforeDecoding) {
  Table table(false);
  Bytes good;
  ASSERT_TRUE(rktools::WriteKstmImage(ToPicture(rktest::MakePhotoLike(64, 48)), 0.5, good));
  Bytes notKm = good, early(138, 0);
  notKm[1] = 'X';
  early[0] = 'K', early[1] = 'M', early[135] = 0xFF, early[136] = 0xD9;  // D9 below index 137
  Bytes empty = early;                                                 // FF D9 at 136, 137: no blocks
  empty[135] = 0, empty[136] = 0xFF, empty[137] = 0xD9;
  const auto n = static_cast<int32_t>(good.size());
  const std::tuple<const char*, const uint8_t*, int32_t, int16_t> cases[] = {
      {"null data", nullptr, 100, -2},          {"length 0", good.data(), 0, -2},
      {"not KM", notKm.data(), n, -3},          {"end marker too early", early.data(), 137, -3},
      {"end marker cut off", good.data(), n - 1, -3}, {"no blocks", empty.data(), 138, -1},
      {"decodes", good.data(), n, 0}};
  for (const auto& [what, data, length, expected] : cases) {
    int16_t result = 99;
    void* block = RkCreateDIBKSTMCameraImage(table.get(), data, length, &result, nullptr);
    EXPECT_EQ(result, expected) << what;
    EXPECT_EQ(block != nullptr, expected == 0) << what;
    std::free(block);
    Bytes bitmap(RkGetDIBKSTMCameraImageSize());
    EXPECT_EQ(RkConvertDIBKSTMCameraImage(table.get(), data, length, bitmap.data(), nullptr), expected) << what;
  }
  int16_t result = 0;
  EXPECT_EQ(RkCreateDIBKSTMCameraImage(nullptr, good.data(), n, &result, nullptr), nullptr);
  EXPECT_EQ(result, -2);
  EXPECT_EQ(RkGetImgDIBKSTMCameraThumbnail(good.data(), 100, &result), nullptr);  // no FF D9 within 100
  EXPECT_EQ(result, -3);
}

TEST(KstmData, FlatThumbnailIsGreyWithTheBitmapHeader) {
  const Bytes data = FlatThumbnail();
  int16_t result = 1;
  const Bytes bitmap =
      cameratest::Take(RkGetImgDIBKSTMCameraThumbnail(data.data(), static_cast<int32_t>(data.size()), &result), 14440);
  ASSERT_EQ(result, 0);
  ASSERT_EQ(bitmap.size(), 14440u);
  const uint8_t header[40] = {40, 0, 0, 0, 80, 0, 0, 0, 60, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0x40, 0x38};  // 14400
  EXPECT_EQ(Bytes(bitmap.begin(), bitmap.begin() + 40), Bytes(header, header + 40));
  EXPECT_TRUE(std::all_of(bitmap.begin() + 40, bitmap.end(), [](uint8_t v) { return v == 128; }));
}

TEST(KstmData, ThumbnailPixelsAreTheValuesOfTheDcTerms) {
  // Every 8 x 8 luminance block flat, chrominance flat over each 16 x 16
  // MCU: a base colour per MCU plus a grey offset per block moves Y by the
  // offset and leaves Cb and Cr as they are. A flat block of level-shifted
  // value v has DC 8v, kept as (8v + 64) / 128 and decoded as 16 times that;
  // values with v = 8 (mod 16) sit on a rounding edge and are avoided.
  std::mt19937 rng(5);
  auto edge = [](int v) { return ((v % 16) + 16) % 16 == 8; };
  rktest::Rgb img{640, 480, std::vector<uint8_t>(640 * 480 * 3)};
  std::vector<std::array<int16_t, 6>> expected(1200);  // per MCU: Y of 4 blocks, Cb, Cr
  for (int m = 0; m < 1200; ++m) {
    int16_t base[3], ycc[3];
    do {
      for (int16_t& c : base) c = static_cast<int16_t>(40 + rng() % 176);
      std::copy(base, base + 3, ycc);
      rk::RgbToYcc(&ycc[0], &ycc[1], &ycc[2]);
    } while (edge(ycc[1]) || edge(ycc[2]));
    for (int b = 0; b < 4; ++b) {
      int offset;
      do offset = static_cast<int>(rng() % 71) - 35;
      while (edge(ycc[0] + offset - 128));
      expected[m][b] = static_cast<int16_t>(ycc[0] + offset);
      const int x0 = (m % 40) * 16 + (b & 1) * 8, y0 = (m / 40) * 16 + (b >> 1) * 8;
      for (int y = y0; y < y0 + 8; ++y)
        for (int x = x0; x < x0 + 8; ++x)
          for (int c = 0; c < 3; ++c) img.at(x, y)[c] = static_cast<uint8_t>(base[c] + offset);
    }
    expected[m][4] = ycc[1];
    expected[m][5] = ycc[2];
  }
  Bytes data;
  ASSERT_TRUE(rktools::WriteKstmThumbnail(ToPicture(img), data));
  int16_t result = 1;
  const Bytes bitmap =
      cameratest::Take(RkGetImgDIBKSTMCameraThumbnail(data.data(), static_cast<int32_t>(data.size()), &result), 14440);
  ASSERT_EQ(result, 0);
  const rktest::Rgb out = cameratest::FromPacked(bitmap.data());
  auto kept = [](int v) { return static_cast<int16_t>(16 * ((8 * v + 64) / 128)); };
  for (int m = 0; m < 1200; ++m) {
    for (int b = 0; b < 4; ++b) {
      int16_t r = static_cast<int16_t>(kept(expected[m][b] - 128) + 128), g = kept(expected[m][4]),
              bl = kept(expected[m][5]);
      rk::YccToRgb(&r, &g, &bl);
      const uint8_t* p = out.at((m % 40) * 2 + (b & 1), (m / 40) * 2 + (b >> 1));
      ASSERT_EQ(p[0], r) << "MCU " << m << " block " << b;
      ASSERT_EQ(p[1], g) << "MCU " << m << " block " << b;
      ASSERT_EQ(p[2], bl) << "MCU " << m << " block " << b;
    }
  }
}

TEST(KstmData, ThumbnailBlockShortcutAgreesWithTheWholeTransform) {
  // Blocks of up to 60 levels take the DC-only shortcut. The checkerboard of
  // row-4 cosine signs (+ - - + + - - +) puts the most energy into one AC
  // term: span 60 gives 240 (dropped), span 64 gives 256 (kept as +-1).
  Table table(false);
  std::mt19937 rng(8);
  auto sign = [](int i) { return (i % 4 == 0 || i % 4 == 3) ? 1 : -1; };
  for (int trial = 0; trial < 4000; ++trial) {
    int16_t block[64];
    const int span = trial < 2000 ? 58 + trial % 8 : static_cast<int>(rng() % 90);
    const int low = -128 + static_cast<int>(rng() % static_cast<unsigned>(257 - span));
    for (int i = 0; i < 64; ++i) {
      const bool high = trial % 2 == 0 ? sign(i / 8) * sign(i % 8) > 0 : rng() % 2 == 0;
      block[i] = static_cast<int16_t>(high ? low + span : low + static_cast<int>(rng() % 2) * (trial % 3 == 0 ? 0 : span));
    }
    int16_t fast[64], plain[64];
    std::copy(block, block + 64, fast);
    std::copy(block, block + 64, plain);
    rk::camera::ReduceThumbnailBlock(*table.get(), fast);
    rk::camera::reference::ReduceThumbnailBlock(*table.get(), plain);
    ASSERT_TRUE(std::equal(fast, fast + 64, plain)) << "trial " << trial << " span " << span;
  }
  int16_t strong[64];
  for (int i = 0; i < 64; ++i) strong[i] = static_cast<int16_t>(sign(i / 8) * sign(i % 8) > 0 ? 32 : -32);
  rk::camera::ReduceThumbnailBlock(*table.get(), strong);
  EXPECT_EQ(strong[8 * 4 + 4], 1);  // the span-64 checkerboard keeps its term
}

TEST(KstmData, ImageRoundTripAndProgress) {
  const rktest::Rgb img = rktest::MakePhotoLike(640, 480, 9);
  Bytes data;
  ASSERT_TRUE(rktools::WriteKstmImage(ToPicture(img), 0.5, data));
  Answer five{5};
  UserCallBackRec rec = five.rec();
  int16_t result = 0;
  void* block = RkGetImgDIBKSTMCameraImage(data.data(), static_cast<int32_t>(data.size()), &result, &rec);
  // A callback's answer other than 0 is the result, and the bitmap goes.
  EXPECT_EQ(result, 5);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(five.calls, 61);  // 60 strips and the closing call
  EXPECT_EQ(five.lastDone, 479);
  const Bytes bitmap =
      cameratest::Take(RkGetImgDIBKSTMCameraImage(data.data(), static_cast<int32_t>(data.size()), &result, nullptr),
                       921640);
  ASSERT_EQ(result, 0);
  EXPECT_GT(rktest::Compare(cameratest::FromPacked(bitmap.data()), img).psnr, 35.0);  // about 37.9 dB
}

TEST(KstmData, AnErrorInTheLastMcuLeavesItUnwritten) {
  Bytes data;
  ASSERT_TRUE(rktools::WriteKstmImage(ToPicture(rktest::MakePhotoLike(640, 480, 4)), 0.5, data));
  data.erase(data.end() - 5, data.end() - 2);  // the last MCU's final bytes
  Table table(false);
  Bytes bitmap(RkGetDIBKSTMCameraImageSize(), 0xAB);
  EXPECT_EQ(RkConvertDIBKSTMCameraImage(table.get(), data.data(), static_cast<int32_t>(data.size()), bitmap.data(),
                                        nullptr),
            -1);
  // The bottom-right MCU: the first 8 stored rows, columns 624 .. 639.
  for (int row = 0; row < 8; ++row)
    for (int i = 624 * 3; i < 640 * 3; ++i) ASSERT_EQ(bitmap[40 + row * 1920 + i], 0xAB);
  EXPECT_NE(bitmap[40 + 479 * 1920], 0xAB);  // the first MCU was written
}

struct Compound {
  int16_t result = 1;
  uint32_t size = 0;
  Bytes data;
};

Compound Encode(const Bytes& pixels, uint32_t target, UserCallBackRec* progress = nullptr) {
  Compound c;
  c.size = target;
  void* block = RkGetCompImgKSTMRawData(pixels.data(), &c.size, &c.result, progress);
  c.data = cameratest::Take(block, block != nullptr ? c.size : 0);
  return c;
}

uint32_t U32BE(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]);
}

TEST(CompoundData, PartsDecodeBackToThePicture) {
  const rktest::Rgb img = rktest::MakePhotoLike(640, 480, 21);
  Answer ok{0};
  UserCallBackRec rec = ok.rec();
  const Compound c = Encode(cameratest::BottomUpPixels(img), 100000, &rec);
  ASSERT_EQ(c.result, 0);
  ASSERT_EQ(c.data.size(), c.size);
  const uint32_t thumb = U32BE(c.data, 4), image = U32BE(c.data, 8);
  EXPECT_EQ(32 + thumb + image, c.size);
  const uint8_t fixed[] = {2, 2, 0, 0};
  EXPECT_EQ(std::memcmp(c.data.data(), fixed, 4), 0);
  EXPECT_EQ(c.data[14], 1);  // large class
  EXPECT_EQ(c.data[16], 1);
  EXPECT_EQ(c.data[20], 4);
  EXPECT_EQ(c.data[31], 0x1A);
  EXPECT_EQ(ok.calls, 30 + 60 + 1);
  EXPECT_EQ(ok.lastDone, 958);

  int16_t result = 1;
  const Bytes picture = cameratest::Take(
      RkGetImgDIBKSTMCameraImage(c.data.data() + 32 + thumb, static_cast<int32_t>(image), &result, nullptr), 921640);
  ASSERT_EQ(result, 0);
  EXPECT_GT(rktest::Compare(cameratest::FromPacked(picture.data()), img).psnr, 35.0);  // about 38.1 dB
  const Bytes small =
      cameratest::Take(RkGetImgDIBKSTMCameraThumbnail(c.data.data() + 32, static_cast<int32_t>(thumb), &result), 14440);
  ASSERT_EQ(result, 0);
}

TEST(CompoundData, FlatPictureScaleAndBufferLimits) {
  const Bytes grey(640 * 480 * 3, 128);
  struct Case {
    uint32_t target;
    int16_t result;
    uint8_t whole, fraction;
  };
  // A flat picture has detail 0: scale 0.5 for targets up to 65536, 0.25
  // above. Its thumbnail takes 4802 bytes and its image data 6138: a
  // target of 1000 (buffer 2000) holds no thumbnail, 3000 (buffer 6000) no
  // image data at either scale.
  for (const Case& c : {Case{65536, 0, 0, 128}, Case{131072, 0, 0, 64}, Case{1000, -4, 0, 0}, Case{3000, -4, 0, 0}}) {
    const Compound out = Encode(grey, c.target);
    EXPECT_EQ(out.result, c.result) << c.target;
    if (c.result != 0) {
      EXPECT_TRUE(out.data.empty());
      EXPECT_EQ(out.size, c.target);
      continue;
    }
    EXPECT_EQ(out.data[12], c.whole) << c.target;
    EXPECT_EQ(out.data[13], c.fraction) << c.target;
  }
}

TEST(CompoundData, TooLargeImageIsCodedAgainAtTwiceTheScale) {
  // Noise has great detail (scale 2.0 for a small target); its image data
  // passes 65536 bytes, so it is coded once more at 4.0.
  const rktest::Rgb noise = rktest::MakeNoise(640, 480, 2);
  const Compound c = Encode(cameratest::BottomUpPixels(noise), 65536);
  ASSERT_EQ(c.result, 0);
  EXPECT_EQ(c.data[12], 4);
  EXPECT_EQ(c.data[13], 0);
  Answer stop{-1000};
  UserCallBackRec rec = stop.rec();
  const Compound stopped = Encode(cameratest::BottomUpPixels(noise), 65536, &rec);
  EXPECT_EQ(stopped.result, -1000);
  EXPECT_TRUE(stopped.data.empty());
  EXPECT_EQ(stop.calls, 1);
  uint32_t size = 100;
  int16_t result = 0;
  EXPECT_EQ(RkGetCompImgKSTMRawData(nullptr, &size, &result, nullptr), nullptr);
  EXPECT_EQ(result, -2);
}

}  // namespace
