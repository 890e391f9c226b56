// The reference cases of ../shared/fixtures/camera: camera data decoded,
// encoded and wrapped by the exports must give exactly the bytes that an
// independent implementation gave.
#include <gtest/gtest.h>

#include <functional>

#include "camera_helpers.h"

namespace {

using cameratest::Bytes;
using cameratest::Table;
using cameratest::Take;

Bytes In(const std::string& name) { return rktest::ReadFile(rktest::Fixture("camera/in/" + name)); }
Bytes Expected(const std::string& name) { return rktest::ReadFile(rktest::Fixture("camera/expected/" + name)); }

// The packed bitmap (header included) of a top-down RGB picture.
Bytes PackedBitmap(const rktest::Rgb& img) {
  const rktest::Bitmap24 rows(img);
  // Sized once: growing a 40-byte vector by insert trips GCC 12's
  // -Warray-bounds at -O2 (a false positive).
  Bytes out(40 + rows.bytes.size(), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, img.width);
  put32(8, img.height);
  out[12] = 1;
  out[14] = 24;
  put32(20, static_cast<uint32_t>(rows.bytes.size()));
  std::copy(rows.bytes.begin(), rows.bytes.end(), out.begin() + 40);
  return out;
}

// The 640 x 480 picture made of the 80 x 80 tile repeated 8 x 6.
rktest::Rgb Tiled(const rktest::Rgb& tile) {
  rktest::Rgb img;
  img.width = 640;
  img.height = 480;
  img.px.resize(640 * 480 * 3);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) std::memcpy(img.at(x, y), tile.at(x % tile.width, y % tile.height), 3);
  }
  return img;
}

struct Case {
  const char* name;
  std::function<Bytes(int64_t* result)> run;
  std::function<Bytes()> expected;
  int64_t result;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> Cases() {
  return {
      {"kslv_thumbnail_getimg",
       [](int64_t* result) {
         const Bytes thumb = In("kslv_thumb_flower.bin");
         void* block = RkGetImgDIBKSLVCameraThumbnail(thumb.data());
         *result = block == nullptr ? -1 : 0;
         return Take(block, RkGetDIBKSLVCameraThumbnailSize());
       },
       [] { return Expected("kslv_thumb_getimg_40x30.bmp"); }, 0},
      {"kslv_thumbnail_tall_gamma_1_2",
       [](int64_t* result) {
         const Bytes thumb = In("kslv_thumb_flower.bin");
         Table unit;
         RkInitOutGamma(unit.get(), 1.2);
         Bytes out = Expected("kslv_thumb_decode_60x45_g12.bmp");
         std::fill(out.begin() + 40, out.end(), 0);  // header kept, pixels decoded afresh
         ImageBlkAttrRec image{};
         image.width = 60;
         image.height = 45;
         image.pixels = out.data() + 40;
         image.rowStride = 180;
         image.redOffset = 2;
         image.greenOffset = 1;
         image.blueOffset = 0;
         image.pixelStride = 3;
         image.bottomUp = 1;
         *result = RkDecompressCameraThumbnail(unit.get(), thumb.data(), static_cast<uint32_t>(thumb.size()),
                                               &image);
         return out;
       },
       [] { return Expected("kslv_thumb_decode_60x45_g12.bmp"); }, 0},
      {"kslv_image_convert_320x240",
       [](int64_t* result) {
         Bytes data = In("kslv_dune_3001_rst6.jpg");
         data.resize(32000, 0);
         Table unit;
         Bytes out(230440, 0);
         *result = RkConvertDIBKSLVCameraImage(unit.get(), data.data(), out.data(), 320, 240, nullptr);
         return out;
       },
       [] { return Expected("kslv_image_convert_320x240.bmp"); }, 0},
      {"kstm_image_getimg",
       [](int64_t* result) {
         const Bytes data = In("kstm_bug.kstm");
         int16_t code = 1;
         void* block =
             RkGetImgDIBKSTMCameraImage(data.data(), static_cast<int32_t>(data.size()), &code, nullptr);
         *result = code;
         return Take(block, RkGetDIBKSTMCameraImageSize());
       },
       [] { return PackedBitmap(Tiled(rktest::LoadPpm(rktest::Fixture("camera/expected/kstm_image_tile_80x80.ppm")))); },
       0},
      {"kstm_thumbnail_convert",
       [](int64_t* result) {
         const Bytes data = In("kstm_thumb_dune.kstm");
         Table table(false);
         Bytes out(14440, 0);
         *result = RkConvertDIBKSTMCameraThumbnail(table.get(), data.data(), static_cast<int32_t>(data.size()),
                                                   out.data());
         return out;
       },
       [] { return Expected("kstm_thumb_convert_80x60.bmp"); }, 0},
      {"compound_target_60000",
       [](int64_t* result) {
         const Bytes bitmap = PackedBitmap(Tiled(rktest::LoadPpm(rktest::Fixture("camera/in/bug_tile_80x80.ppm"))));
         uint32_t size = 60000;
         int16_t code = 1;
         void* block = RkGetCompImgKSTMRawData(bitmap.data() + 40, &size, &code, nullptr);
         *result = code;
         return Take(block, size);
       },
       [] { return Expected("kstm_raw_bug_60000.bin"); }, 0},
      {"vcamera_jpeg_with_comment",
       [](int64_t* result) {
         const Bytes kstm = In("kstm_bug.kstm");
         Bytes out(kstm.size() + 1024, 0);
         const char comment[] = "ladybird";
         *result = RkExportVCameraDataToJPEG(kstm.data() + 8, reinterpret_cast<const uint8_t*>(comment), 8,
                                             kstm.data() + 136, static_cast<uint32_t>(kstm.size() - 136),
                                             out.data());
         out.resize(static_cast<size_t>(*result));
         return out;
       },
       [] { return Expected("vcamera_bug_comment.jpg"); }, 28741},
      {"jfif_to_bitmap",
       [](int64_t* result) {
         const Bytes stream = In("storm59x41_422_opt.jpg");
         int16_t code = 1;
         void* block = RkGetImgDIBJFIFImage(stream.data(), static_cast<int32_t>(stream.size()), &code, nullptr);
         *result = code;
         return Take(block, 40 + 180 * 41);
       },
       [] { return Expected("jfif_dib_storm59x41.bmp"); }, 0},
  };
}

class CameraFixture : public ::testing::TestWithParam<Case> {};

TEST_P(CameraFixture, GivesTheExpectedBytesAndResult) {
  int64_t result = 12345;
  const Bytes actual = GetParam().run(&result);
  const Bytes expected = GetParam().expected();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(result, GetParam().result);
  ASSERT_EQ(actual.size(), expected.size());
  size_t first = 0;
  while (first < actual.size() && actual[first] == expected[first]) ++first;
  EXPECT_EQ(first, actual.size()) << "first difference at byte " << first;
}

INSTANTIATE_TEST_SUITE_P(Camera, CameraFixture, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
