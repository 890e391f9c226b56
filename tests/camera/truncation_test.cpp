// Truncated and corrupted camera data: every prefix of the small inputs,
// entropy data cut short at points through the larger ones, and single
// damaged bytes. Each call gives a result code; reading past the given bytes
// or writing past the bitmap would stop the test under the sanitizers.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "camera_helpers.h"
#include "camera_writer.h"

namespace {

using cameratest::Bytes;
using cameratest::Table;

rktools::Picture Photo(int width, int height) {
  rktools::Picture pic(width, height);
  pic.rgb = rktest::MakePhotoLike(width, height, 17).px;
  return pic;
}

// Each decoder through its export, on exactly the bytes given (a copy of
// that size, so a read past it is caught).
struct Decoder {
  const char* name;
  std::function<Bytes()> input;
  std::function<int16_t(const Bytes&)> decode;
  std::set<int> codes;  // results it may give on damaged data
  size_t entropyStart;  // where cuts through the entropy data begin
  size_t cuts;          // how many (0: every prefix instead)
};

void PrintTo(const Decoder& d, std::ostream* os) { *os << d.name; }

int16_t KstmThumbnail(const Bytes& data) {
  Table table(false);
  Bytes block(RkGetDIBKSTMCameraThumbnailSize());
  return RkConvertDIBKSTMCameraThumbnail(table.get(), data.data(), static_cast<int32_t>(data.size()), block.data());
}

int16_t KstmImage(const Bytes& data) {
  Table table(false);
  Bytes block(RkGetDIBKSTMCameraImageSize());
  return RkConvertDIBKSTMCameraImage(table.get(), data.data(), static_cast<int32_t>(data.size()), block.data(),
                                     nullptr);
}

int16_t KslvImage(const Bytes& data) {
  Table unit;
  rktest::Bitmap24 bitmap(320, 240);
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  return RkDecompressCameraImage(unit.get(), data.data(), static_cast<uint32_t>(data.size()), &image, nullptr);
}

int16_t KslvThumbnail(const Bytes& data) {
  Table unit;
  rktest::Bitmap24 bitmap(60, 45);
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  return RkDecompressCameraThumbnail(unit.get(), data.data(), static_cast<uint32_t>(data.size()), &image);
}

int16_t Jfif(const Bytes& data) {
  int16_t result = 1;
  std::free(RkGetImgDIBJFIFImage(data.data(), static_cast<int32_t>(data.size()), &result, nullptr));
  return result;
}

std::vector<Decoder> Decoders() {
  return {
      {"kstm_thumbnail",
       [] {
         Bytes out;
         EXPECT_TRUE(rktools::WriteKstmThumbnail(Photo(640, 480), out));
         return out;
       },
       KstmThumbnail, {0, -1, -3}, 0, 0},
      {"kstm_image",
       [] {
         Bytes out;
         EXPECT_TRUE(rktools::WriteKstmImage(Photo(640, 480), 4.0, out));
         return out;
       },
       KstmImage, {0, -1, -2, -3}, 136, 6},
      {"kslv_image",
       [] {
         rktools::KslvImageOptions options;
         options.scale = 4.0;
         options.restartInterval = 4;
         Bytes out;
         EXPECT_TRUE(rktools::WriteKslvImage(Photo(480, 240), options, out));
         return out;
       },
       KslvImage, {0, -1, -3, -20}, 640, 6},
      {"kslv_thumbnail", [] { return rktools::WriteKslvThumbnail(Photo(60, 30)); }, KslvThumbnail, {0, -20}, 0, 0},
      {"jfif", [] { return rktest::ReadFile(rktest::Fixture("camera/in/storm59x41_422_opt.jpg")); }, Jfif,
       {0, -1, -2, -3}, 0, 0},
  };
}

class DamagedCameraData : public ::testing::TestWithParam<Decoder> {};

TEST_P(DamagedCameraData, GivesAResultCode) {
  const Decoder& d = GetParam();
  const Bytes whole = d.input();
  ASSERT_GT(whole.size(), 2u);
  ASSERT_EQ(d.decode(whole), 0);
  auto check = [&](const Bytes& data, const std::string& what) {
    const int16_t r = d.decode(data);
    EXPECT_TRUE(d.codes.count(r) == 1) << what << " gave " << r;
  };
  if (d.cuts == 0) {
    for (size_t n = 1; n < whole.size(); ++n) check(Bytes(whole.begin(), whole.begin() + n), "prefix " + std::to_string(n));
  } else {
    // Prefixes without the end marker fail their checks at once; cuts
    // through the entropy data, closed with FF D9, reach the decoder.
    for (size_t n = 1; n < whole.size(); n += whole.size() / 97 + 1) check(Bytes(whole.begin(), whole.begin() + n), "prefix");
    const size_t span = whole.size() - 2 - d.entropyStart;
    for (size_t i = 1; i <= d.cuts; ++i) {
      Bytes cut(whole.begin(), whole.begin() + d.entropyStart + span * i / (d.cuts + 1));
      cut.insert(cut.end(), {0xFF, 0xD9});
      EXPECT_EQ(d.decode(cut), -1) << "cut " << i;
    }
  }
  std::mt19937 rng(42);
  for (int i = 0; i < 8; ++i) {
    Bytes damaged = whole;
    damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    check(damaged, "damaged byte");
  }
}

INSTANTIATE_TEST_SUITE_P(Camera, DamagedCameraData, ::testing::ValuesIn(Decoders()),
                         [](const ::testing::TestParamInfo<Decoder>& info) { return std::string(info.param.name); });

}  // namespace
