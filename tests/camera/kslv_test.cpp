// KSLV thumbnails and images: results for bad arguments and data, output
// layouts, progress, restart markers, and round trips through the writer.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "camera_helpers.h"
#include "camera_writer.h"

namespace {

using cameratest::Answer;
using cameratest::Bytes;
using cameratest::Table;

rktools::Picture Photo(int width, int height, uint32_t seed = 3) {
  const rktest::Rgb img = rktest::MakePhotoLike(width, height, seed);
  rktools::Picture pic(width, height);
  pic.rgb = img.px;
  return pic;
}

// The record of a bottom-up BGR bitmap of width x height.
ImageBlkAttrRec Describe(rktest::Bitmap24& bitmap) {
  ImageBlkAttrRec image{};
  bitmap.Describe(image);
  return image;
}

Bytes Thumbnail() { return rktools::WriteKslvThumbnail(Photo(120, 60)); }

TEST(KslvThumbnail, RefusesWhatItCannotDecode) {
  Table unit, codecOnly(false);
  const Bytes thumb = Thumbnail();
  const Bytes shortThumb(thumb.begin(), thumb.begin() + 3599);  // read past it would be caught
  rktest::Bitmap24 narrow(40, 30), wrong(60, 30);
  ImageBlkAttrRec image = Describe(narrow), wrongSize = Describe(wrong), noPixels = Describe(narrow);
  noPixels.pixels = nullptr;
  struct Case {
    const char* what;
    ModuleTableRec* table;
    const uint8_t* data;
    uint32_t length;
    ImageBlkAttrRec* record;
    int16_t result;
  };
  const Case cases[] = {
      {"null table", nullptr, thumb.data(), 3600, &image, -2},
      {"null data", unit.get(), nullptr, 3600, &image, -2},
      {"null record", unit.get(), thumb.data(), 3600, nullptr, -2},
      {"60x30", unit.get(), thumb.data(), 3600, &wrongSize, -3},
      {"no pixels", unit.get(), thumb.data(), 3600, &noPixels, -3},
      {"no gamma curves", codecOnly.get(), thumb.data(), 3600, &image, -6},
      {"3599 bytes", unit.get(), shortThumb.data(), 3599, &image, -20},
      {"decodes", unit.get(), thumb.data(), 3600, &image, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RkDecompressCameraThumbnail(c.table, c.data, c.length, c.record), c.result) << c.what;
  EXPECT_EQ(RkCreateDIBKSLVCameraThumbnail(codecOnly.get(), thumb.data()), nullptr);
  EXPECT_EQ(RkConvertDIBKSLVCameraThumbnail(nullptr, thumb.data(), narrow.bytes.data()), -2);
}

TEST(KslvThumbnail, FlatDataGivesOneColourAtBothSizes) {
  Table unit;
  const Bytes flat(3600, 128);
  for (const auto& [w, h] : {std::pair{40, 30}, std::pair{60, 45}}) {
    rktest::Bitmap24 bitmap(w, h);
    ImageBlkAttrRec image = Describe(bitmap);
    ASSERT_EQ(RkDecompressCameraThumbnail(unit.get(), flat.data(), 3600, &image), 0);
    const rktest::Rgb rgb = bitmap.ToRgb();
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(std::memcmp(&rgb.px[3 * i], &rgb.px[0], 3), 0) << w << "x" << h;
    // Converted (129, 127, 130) before the curves: red and blue above green.
    EXPECT_GT(rgb.px[0], rgb.px[1]);
    EXPECT_GT(rgb.px[2], rgb.px[0]);
  }
}

TEST(KslvThumbnail, RowOrderFollowsTheLayout) {
  // The same thumbnail into a bottom-up bitmap and a top-down 32-bit buffer
  // (red, green, blue in bytes 1 .. 3) gives the same picture; byte 0 stays
  // untouched.
  Table unit;
  const Bytes thumb = Thumbnail();
  rktest::Bitmap24 bitmap(60, 45);
  rktest::Buffer32 buffer(60, 45, 0xCD);
  ImageBlkAttrRec a = Describe(bitmap), b{};
  buffer.Describe(b);
  ASSERT_EQ(RkDecompressCameraThumbnail(unit.get(), thumb.data(), 3600, &a), 0);
  ASSERT_EQ(RkDecompressCameraThumbnail(unit.get(), thumb.data(), 3600, &b), 0);
  EXPECT_EQ(rktest::Compare(bitmap.ToRgb(), buffer.ToRgb()).maxAbs, 0);
  for (size_t i = 0; i < buffer.bytes.size(); i += 4) ASSERT_EQ(buffer.bytes[i], 0xCD);
}

// KSLV image streams made by the writer.
Bytes Stream(uint16_t format, uint32_t interval, std::array<uint8_t, 4> reference = {100, 100, 100, 100},
             uint32_t seed = 3) {
  rktools::KslvImageOptions options;
  options.format = format;
  options.restartInterval = interval;
  options.reference = reference;
  Bytes out;
  EXPECT_TRUE(rktools::WriteKslvImage(Photo(480, 240, seed), options, out));
  return out;
}

struct Decoded {
  int16_t result;
  rktest::Bitmap24 bitmap;
};

Decoded Decode(const Bytes& data, int width, int height, UserCallBackRec* progress = nullptr,
               ModuleTableRec* table = nullptr) {
  Table unit;
  Decoded d{0, rktest::Bitmap24(width, height)};
  ImageBlkAttrRec image = Describe(d.bitmap);
  d.result = RkDecompressCameraImage(table != nullptr ? table : unit.get(), data.data(),
                                     static_cast<uint32_t>(data.size()), &image, progress);
  return d;
}

TEST(KslvImage, RefusesWhatItCannotDecode) {
  const Bytes good = Stream(0x3001, 0);
  Bytes noComment = good, zeroByte = good, cut = good, format3003 = good;
  const size_t com = 20;  // FF FE after SOI and APP0
  ASSERT_EQ(good[com], 0xFF);
  ASSERT_EQ(good[com + 1], 0xFE);
  noComment[com + 1] = 0xEF;   // an APP15 segment instead
  zeroByte[com + 5] = 0;       // reference byte b
  cut.resize(cut.size() - 2);  // no EOI
  for (size_t i = 0; i + 11 < format3003.size(); ++i) {
    if (format3003[i] == 0xFF && format3003[i + 1] == 0xC0) format3003[i + 11] = 0x41;  // Y sampled 4 x 1
  }
  Table unit, codecOnly(false);
  rktest::Bitmap24 small(320, 240), big(640, 480);
  ImageBlkAttrRec image = Describe(small), wrong = Describe(big);
  struct Case {
    const char* what;
    ModuleTableRec* table;
    const Bytes* data;
    uint32_t length;
    ImageBlkAttrRec* record;
    int16_t result;
  };
  const auto n = static_cast<uint32_t>(good.size());
  const Case cases[] = {
      {"null table", nullptr, &good, n, &image, -2},
      {"null record", unit.get(), &good, n, nullptr, -2},
      {"640x480", unit.get(), &good, n, &wrong, -3},
      {"no comment", unit.get(), &noComment, n, &image, -20},
      {"zero reference byte", unit.get(), &zeroByte, n, &image, -20},
      {"reference past the length", unit.get(), &good, com + 7, &image, -20},
      {"no gamma curves", codecOnly.get(), &good, n, &image, -6},
      {"no end of image", unit.get(), &cut, n - 2, &image, -1},
      {"4 x 1 sampling (0x3003)", unit.get(), &format3003, n, &image, -3},
      {"decodes", unit.get(), &good, n, &image, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RkDecompressCameraImage(c.table, c.data->data(), c.length, c.record, nullptr), c.result) << c.what;
  }
  EXPECT_EQ(image.width, 320);  // the output size survives the header decoder
  EXPECT_EQ(RkConvertDIBKSLVCameraImage(unit.get(), good.data(), big.bytes.data(), 640, 480, nullptr), -20);
  EXPECT_EQ(RkCreateDIBKSLVCameraImage(unit.get(), good.data(), 640, 480, nullptr), nullptr);
}

TEST(KslvConvert, MissingPointersWriteNothingIntoTheBlock) {
  Table unit;
  Bytes bare(RkGetCompressBlkSize(), 0);  // a table whose arrays were never made
  auto* noArrays = reinterpret_cast<ModuleTableRec*>(bare.data());
  const Bytes thumb = Thumbnail(), stream(32000, 0);
  const std::tuple<const char*, std::function<int16_t(uint8_t*)>> cases[] = {
      {"thumbnail, no data", [&](uint8_t* b) { return RkConvertDIBKSLVCameraThumbnail(unit.get(), nullptr, b); }},
      {"image, no data", [&](uint8_t* b) { return RkConvertDIBKSLVCameraImage(unit.get(), nullptr, b, 320, 240, nullptr); }},
      {"image, table without arrays",
       [&](uint8_t* b) { return RkConvertDIBKSLVCameraImage(noArrays, stream.data(), b, 320, 240, nullptr); }},
  };
  for (const auto& [what, convert] : cases) {
    Bytes block(RkGetDIBKSLVCameraImageSize(320, 240), 0xAB);
    EXPECT_EQ(convert(block.data()), -2) << what;
    EXPECT_EQ(block, Bytes(block.size(), 0xAB)) << what;
  }
}

TEST(KslvImage, RestartMarkersLeaveThePixelsUnchanged) {
  struct Case {
    uint16_t format;
    uint32_t interval;
  };
  // Intervals of one MCU, one that does not divide a row, and one that
  // divides the picture (a marker follows its last MCU).
  const Decoded plain[2] = {Decode(Stream(0x3001, 0), 480, 360), Decode(Stream(0x3005, 0), 480, 360)};
  for (const Case& c : {Case{0x3001, 1}, Case{0x3001, 7}, Case{0x3005, 30}}) {
    const Decoded marked = Decode(Stream(c.format, c.interval), 480, 360);
    ASSERT_EQ(marked.result, 0) << c.format << "/" << c.interval;
    EXPECT_EQ(plain[c.format == 0x3005].bitmap.bytes, marked.bitmap.bytes) << c.format << "/" << c.interval;
  }
}

TEST(KslvImage, ProgressPerStripAndItsAnswer) {
  for (const auto& [format, strips, total] : {std::tuple{0x3001, 30, 232}, std::tuple{0x3005, 15, 224}}) {
    const Bytes data = Stream(static_cast<uint16_t>(format), 0);
    Answer one{1};
    UserCallBackRec rec = one.rec();
    EXPECT_EQ(Decode(data, 320, 240, &rec).result, 1);
    EXPECT_EQ(one.calls, strips);
    EXPECT_EQ(one.lastDone, total);
    EXPECT_EQ(one.lastTotal, total);
    Answer stop{-1000};
    rec = stop.rec();
    EXPECT_EQ(Decode(data, 480, 360, &rec).result, -1000);
    EXPECT_EQ(stop.calls, 1);
  }
}

TEST(KslvImage, CorruptDataIsAnErrorWhateverTheCallbackSays) {
  const Bytes good = Stream(0x3001, 0);
  // Entropy data cut short before the end of image, in the middle and in
  // the last MCU (a few bytes before FF D9).
  for (const size_t drop : {size_t{4000}, size_t{3}}) {
    Bytes cut(good.begin(), good.end() - 2 - static_cast<std::ptrdiff_t>(drop));
    cut.push_back(0xFF);
    cut.push_back(0xD9);
    Answer zero{0};
    UserCallBackRec rec = zero.rec();
    EXPECT_EQ(Decode(cut, 320, 240, &rec).result, -1) << drop;
    EXPECT_EQ(zero.lastDone, 240) << drop;  // the failed strip reports 240
  }
}

TEST(KslvImage, WorkShopOfTheQueriedSizeServes) {
  const Bytes data = Stream(0x3005, 5);
  Table unit;
  Bytes shop(RkGetCamImgDecodeWorkSpaceSize(), 0x5A);
  RkSetCustomModuleTableWorkshop(unit.get(), shop.data());
  const Decoded withShop = Decode(data, 480, 360, nullptr, unit.get());
  const Decoded without = Decode(data, 480, 360);
  ASSERT_EQ(withShop.result, 0);
  EXPECT_EQ(withShop.bitmap.bytes, without.bitmap.bytes);
}

}  // namespace
