// The CAM container: recognition, thumbnail access and the header decoder,
// in their unsized (trusted whole file) and sized forms.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cam_bytes.h"
#include "rastkit.h"
#include "test_images.h"

namespace {

using camtest::Container;
using camtest::Entry;
using camtest::ImageSection;
using rktest::ModuleTable;

uint32_t kSize(const std::vector<uint8_t>& f) { return static_cast<uint32_t>(f.size()); }

std::vector<uint8_t> Thumb(size_t n) {
  std::vector<uint8_t> t(n);
  for (size_t i = 0; i < n; ++i) t[i] = static_cast<uint8_t>(0xC0 + i);
  return t;
}

// ---------------------------------------------------------------- byte order

struct OrderCase {
  const char* name;
  const char marks[3];
  bool bigEndian;
};

class CamByteOrder : public ::testing::TestWithParam<OrderCase> {};

// The same directory and picture header, stored in each byte order, give the
// same results; byte 3 alone decides the order ("MI" little, "IM" big).
TEST_P(CamByteOrder, SameResultsInEveryOrder) {
  const OrderCase& c = GetParam();
  const auto file = Container(c.marks, {{2, Thumb(5)}, {3, ImageSection(300, 20, 10, c.bigEndian)}});
  const uint32_t imageOffset = 6 + 2 * 16 + 5;

  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileType(file.data(), &len, &off), 3);
  EXPECT_EQ(len, 136u + 330u);
  EXPECT_EQ(off, imageOffset);
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), &len, &off), 3);

  EXPECT_EQ(RkGetCAMThumbnailInfo(file.data(), &len, &off), 0);
  EXPECT_EQ(len, 5u);
  EXPECT_EQ(off, 38u);

  ModuleTable t;
  ImageBlkAttrRec image{};
  uint32_t end = 0;
  ASSERT_EQ(RkDecodeCAMHeaderEx(t.get(), file.data(), kSize(file), &end, &image), 0);
  EXPECT_EQ(image.segmentLength[0], 300u);
  EXPECT_EQ(image.segmentLength[1], 20u);
  EXPECT_EQ(image.segmentLength[2], 10u);
  EXPECT_EQ(image.dataLength, 330u);
  EXPECT_EQ(image.dataOffset, imageOffset);
  EXPECT_EQ(image.data, file.data() + imageOffset + 136);
  EXPECT_EQ(end, kSize(file));
}

INSTANTIATE_TEST_SUITE_P(Marks, CamByteOrder,
                         ::testing::Values(OrderCase{"MM", "MM", true}, OrderCase{"II", "II", false},
                                           OrderCase{"MI", "MI", false}, OrderCase{"IM", "IM", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- directory

TEST(CamDirectory, UnknownSectionBeforeTheImageMovesIt) {
  const auto file = Container("II", {{9, std::vector<uint8_t>(63, 0x55)}, {1, Thumb(16)},
                                     {3, ImageSection(4, 4, 4, false)}});
  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), &len, &off), 3);
  EXPECT_EQ(off, 6u + 48u + 63u + 16u);
  EXPECT_EQ(len, 148u);
}

TEST(CamDirectory, ZeroLengthImageDoesNotCount) {
  const auto onlyEmpty = Container("MM", {{3, {}}});
  EXPECT_EQ(RkCheckCAMFileType(onlyEmpty.data(), nullptr, nullptr), RK_ERR_NO_IMAGE);
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeader(t.get(), onlyEmpty.data(), nullptr, &image), RK_ERR_UNSUPPORTED);

  const auto withJpeg = Container("MM", {{3, {}}, {4, {0xFF, 0xD8, 0xFF, 0xD9}}});
  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileTypeEx(withJpeg.data(), kSize(withJpeg), &len, &off), 4);
  EXPECT_EQ(len, 4u);
  EXPECT_EQ(off, 6u + 32u);
}

TEST(CamDirectory, EmptyDirectory) {
  const auto file = Container("MM", {});
  uint32_t len = 77, off = 77;
  EXPECT_EQ(RkCheckCAMFileType(file.data(), &len, &off), RK_ERR_NO_IMAGE);
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), &len, &off), RK_ERR_NO_IMAGE);
  EXPECT_EQ(len, 77u);  // untouched
  EXPECT_EQ(RkGetCAMThumbnailInfo(file.data(), &len, &off), 1);
  EXPECT_EQ(RkGetCAMThumbnailInfoEx(file.data(), kSize(file), &len, &off), 1);
}

TEST(CamDirectory, LastEntryOfATagWins) {
  const auto file = Container("II", {{3, ImageSection(1, 1, 1, false)}, {2, Thumb(3)},
                                     {3, ImageSection(2, 2, 2, false)}});
  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), &len, &off), 3);
  EXPECT_EQ(len, 142u);
  EXPECT_EQ(off, 6u + 48u + 139u + 3u);
}

TEST(CamDirectory, BothPicturesIsTypeThreeAndJpegOnlyHasNoCamHeader) {
  const auto both = Container("MM", {{4, {1, 2, 3}}, {3, ImageSection(1, 1, 1, true)}});
  EXPECT_EQ(RkCheckCAMFileType(both.data(), nullptr, nullptr), 3);
  const auto jpeg = Container("MM", {{4, {1, 2, 3}}});
  EXPECT_EQ(RkCheckCAMFileType(jpeg.data(), nullptr, nullptr), 4);
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeader(t.get(), jpeg.data(), nullptr, &image), RK_ERR_UNSUPPORTED);
}

struct NotCamCase {
  const char* name;
  std::vector<uint8_t> bytes;
};

class CamNotCam : public ::testing::TestWithParam<NotCamCase> {};

TEST_P(CamNotCam, IsNotACamFile) {
  const auto& f = GetParam().bytes;
  const uint8_t none = 0;
  const uint8_t* p = f.empty() ? &none : f.data();
  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileTypeEx(p, kSize(f), &len, &off), 1);
  EXPECT_EQ(RkGetCAMThumbnailInfoEx(p, kSize(f), &len, &off), 1);
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), p, kSize(f), nullptr, &image), RK_ERR_UNSUPPORTED);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CamNotCam,
    ::testing::Values(NotCamCase{"Jpeg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'}},
                      NotCamCase{"WrongSecondByte", {0x07, 0x21, 'M', 'M', 0, 0}},
                      NotCamCase{"WrongMark", {0x07, 0x20, 'X', 'M', 0, 0}},
                      NotCamCase{"Empty", {}},
                      NotCamCase{"OneWrongByte", {0x08}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- thumbnail

TEST(CamThumbnail, CopiesTheSectionUnchanged) {
  const auto thumb = Thumb(40);
  const auto file = Container("IM", {{9, {1, 2}}, {2, thumb}, {3, ImageSection(1, 1, 1, true)}});
  std::vector<uint8_t> dest(40, 0);
  EXPECT_EQ(RkGetCAMThumbnail(file.data(), dest.data()), 0);
  EXPECT_EQ(dest, thumb);
  std::fill(dest.begin(), dest.end(), 0);
  EXPECT_EQ(RkGetCAMThumbnailEx(file.data(), kSize(file), dest.data(), 40), 0);
  EXPECT_EQ(dest, thumb);
  // A destination one byte short is refused before anything is written.
  std::vector<uint8_t> small(39, 0xEE);
  EXPECT_EQ(RkGetCAMThumbnailEx(file.data(), kSize(file), small.data(), 39), RK_ERR_BUFFER);
  EXPECT_EQ(small, std::vector<uint8_t>(39, 0xEE));
}

TEST(CamThumbnail, NoThumbnailAndNullPointers) {
  const auto file = Container("MM", {{3, ImageSection(1, 1, 1, true)}});
  uint32_t len = 0, off = 0;
  uint8_t dest[4];
  EXPECT_EQ(RkGetCAMThumbnailInfo(file.data(), &len, &off), 1);
  EXPECT_EQ(RkGetCAMThumbnail(file.data(), dest), 1);
  EXPECT_EQ(RkGetCAMThumbnailInfo(nullptr, &len, &off), RK_ERR_NULL);
  EXPECT_EQ(RkGetCAMThumbnailInfo(file.data(), nullptr, &off), RK_ERR_NULL);
  EXPECT_EQ(RkGetCAMThumbnailInfo(file.data(), &len, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkGetCAMThumbnail(nullptr, dest), RK_ERR_NULL);
  EXPECT_EQ(RkGetCAMThumbnail(file.data(), nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkCheckCAMFileType(nullptr, &len, &off), RK_ERR_NULL);
  EXPECT_EQ(RkCheckCAMFileTypeEx(nullptr, 10, &len, &off), RK_ERR_NULL);
}

// ---------------------------------------------------------------- header

TEST(CamHeader, StoredQuantisationLandsInZigzagOrder) {
  const auto file = Container("MM", {{3, ImageSection(2, 2, 2, true)}});
  ModuleTable t;
  ImageBlkAttrRec image{};
  ASSERT_EQ(RkDecodeCAMHeader(t.get(), file.data(), nullptr, &image), 0);
  // Stored luminance bytes are 1..64, chrominance 101..164.
  EXPECT_EQ(t->quantTable[0][0], 1);
  EXPECT_EQ(t->quantTable[0][1], 2);
  EXPECT_EQ(t->quantTable[0][8], 3);
  EXPECT_EQ(t->quantTable[0][16], 4);
  EXPECT_EQ(t->quantTable[0][63], 64);
  const int zz[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                      12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                      35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                      58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(t->quantTable[0][zz[k]], 1 + k) << k;
    EXPECT_EQ(t->quantTable[1][zz[k]], 101 + k) << k;
    EXPECT_EQ(t->quantTable[2][zz[k]], 101 + k) << k;
  }
}

TEST(CamHeader, FillsTheStreamFieldsAndLeavesTheRestAlone) {
  const auto file = Container("II", {{2, Thumb(7)}, {3, ImageSection(10, 20, 30, false)}, {1, Thumb(9)}});
  ModuleTable t;
  ImageBlkAttrRec image;
  std::memset(&image, 0xAB, sizeof image);
  const ImageBlkAttrRec before = image;
  uint32_t end = 0;
  ASSERT_EQ(RkDecodeCAMHeader(t.get(), file.data(), &end, &image), 0);
  const uint32_t s = 6 + 48 + 7;
  EXPECT_EQ(image.dataOffset, s);
  EXPECT_EQ(image.data, file.data() + s + 136);
  EXPECT_EQ(image.dataLength, 60u);
  EXPECT_EQ(image.xDpi, 72);
  EXPECT_EQ(image.yDpi, 72);
  EXPECT_EQ(end, s + 136 + 60);  // the tag-1 section that follows is not counted
  EXPECT_EQ(image.width, before.width);
  EXPECT_EQ(image.height, before.height);
  EXPECT_EQ(image.format, before.format);
  EXPECT_EQ(image.pixels, before.pixels);
  EXPECT_EQ(image.rowStride, before.rowStride);
  EXPECT_EQ(image.restartInterval, before.restartInterval);
}

TEST(CamHeader, NullArguments) {
  const auto file = Container("MM", {{3, ImageSection(1, 1, 1, true)}});
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeader(nullptr, file.data(), nullptr, &image), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeCAMHeader(t.get(), file.data(), nullptr, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeCAMHeader(t.get(), nullptr, nullptr, &image), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkDecodeCAMHeaderEx(nullptr, file.data(), kSize(file), nullptr, &image), RK_ERR_NULL);
}

// ---------------------------------------------------------------- hostile sizes

// Every prefix of a small file is refused by the sized calls without reading
// past it (each prefix lives in a buffer of exactly its length, so ASan sees
// any overread).
TEST(CamSized, EveryTruncationIsRefused) {
  const auto full = Container("MM", {{9, {1, 2, 3}}, {2, Thumb(6)}, {3, ImageSection(5, 3, 2, true)}});
  ModuleTable t;
  for (size_t n = 0; n < full.size(); ++n) {
    // new[] of exactly n bytes: a real (non-null) pointer even for n = 0.
    std::unique_ptr<uint8_t[]> cut(new uint8_t[n]);
    std::memcpy(cut.get(), full.data(), n);
    const uint32_t size = static_cast<uint32_t>(n);
    uint32_t len = 0, off = 0;
    const int16_t type = RkCheckCAMFileTypeEx(cut.get(), size, &len, &off);
    EXPECT_EQ(type, n == 0 ? 1 : RK_ERR_UNSUPPORTED) << n;
    const int16_t thumb = RkGetCAMThumbnailInfoEx(cut.get(), size, &len, &off);
    const bool thumbInside = n >= 6 + 48 + 3 + 6;
    EXPECT_EQ(thumb, n == 0 ? 1 : (thumbInside ? 0 : RK_ERR_UNSUPPORTED)) << n;
    ImageBlkAttrRec image{};
    EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), cut.get(), size, nullptr, &image), RK_ERR_UNSUPPORTED) << n;
  }
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), full.data(), kSize(full), nullptr, &image), 0);
}

// The same over real files of the writer (the fuzz seeds): a CAM picture
// behind an unknown section, and a JPEG section.
class CamSizedFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(CamSizedFiles, EveryTruncationIsRefused) {
  const auto full = rktest::ReadFile(std::string(RK_SOURCE_DIR) + "/fuzz/corpus/cam/" + GetParam());
  ASSERT_FALSE(full.empty());
  const int16_t type = RkCheckCAMFileTypeEx(full.data(), kSize(full), nullptr, nullptr);
  ASSERT_TRUE(type == 3 || type == 4);
  ModuleTable t;
  for (size_t n = 0; n < full.size(); ++n) {
    std::unique_ptr<uint8_t[]> cut(new uint8_t[n]);
    std::memcpy(cut.get(), full.data(), n);
    const uint32_t size = static_cast<uint32_t>(n);
    ASSERT_EQ(RkCheckCAMFileTypeEx(cut.get(), size, nullptr, nullptr), n == 0 ? 1 : RK_ERR_UNSUPPORTED) << n;
    ImageBlkAttrRec image{};
    ASSERT_EQ(RkDecodeCAMHeaderEx(t.get(), cut.get(), size, nullptr, &image), RK_ERR_UNSUPPORTED) << n;
  }
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), full.data(), kSize(full), nullptr, &image),
            type == 3 ? RK_OK : RK_ERR_UNSUPPORTED);
}

INSTANTIATE_TEST_SUITE_P(Seeds, CamSizedFiles, ::testing::Values("flat_grey.cam", "tiny_jpeg.cam"),
                         [](const auto& info) {
                           std::string n = info.param;
                           return n.substr(0, n.find('.'));
                         });

// A tag-9 length of 0xFFFFFFF0 would carry a 32-bit running offset round to
// 22, inside the file; summed in 64 bits the picture lies beyond 4 GiB.
TEST(CamSized, WrappingOffsetsAreRefused) {
  camtest::Entry huge{9, {}, true, 0xFFFFFFF0u};
  const auto file = Container("MM", {huge, {3, ImageSection(1, 1, 1, true)}});
  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), &len, &off), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkCheckCAMFileType(file.data(), &len, &off), RK_ERR_UNSUPPORTED);
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), file.data(), kSize(file), nullptr, &image), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(RkDecodeCAMHeader(t.get(), file.data(), nullptr, &image), RK_ERR_UNSUPPORTED);
}

struct StreamLieCase {
  const char* name;
  uint16_t ly, lb, lr;     // lengths stated in the picture header
  uint32_t actualStreams;  // bytes of stream data really present
  int16_t expect;
};

class CamStreamLengths : public ::testing::TestWithParam<StreamLieCase> {};

// The type check looks at the section only; the header decoder also wants
// the three streams the picture header announces.
TEST_P(CamStreamLengths, StreamsMustLieInTheFile) {
  const auto& c = GetParam();
  auto section = ImageSection(c.ly, c.lb, c.lr, true);
  section.resize(136 + c.actualStreams);
  const auto file = Container("MM", {{3, section}});
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), nullptr, nullptr), 3);
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), file.data(), kSize(file), nullptr, &image), c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CamStreamLengths,
    ::testing::Values(StreamLieCase{"Exact", 100, 50, 25, 175, RK_OK},
                      StreamLieCase{"CrOneBytePastEnd", 100, 50, 25, 174, RK_ERR_UNSUPPORTED},
                      StreamLieCase{"AllMaximal", 65535, 65535, 65535, 10, RK_ERR_UNSUPPORTED},
                      StreamLieCase{"NoStreamBytes", 0, 0, 0, 0, RK_OK}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CamSized, SectionShorterThanPictureHeaderAtEndOfFile) {
  auto section = ImageSection(0, 0, 0, true);
  section.resize(100);
  const auto file = Container("MM", {{3, section}});
  EXPECT_EQ(RkCheckCAMFileTypeEx(file.data(), kSize(file), nullptr, nullptr), 3);
  ModuleTable t;
  ImageBlkAttrRec image{};
  EXPECT_EQ(RkDecodeCAMHeaderEx(t.get(), file.data(), kSize(file), nullptr, &image), RK_ERR_UNSUPPORTED);
}

// ---------------------------------------------------------------- fixtures

TEST(CamFixtures, ContainersOfTheIndependentWriter) {
  const auto scene = rktest::ReadFile(rktest::Fixture("cam/scene_MM_thumb.cam"));
  const auto chart = rktest::ReadFile(rktest::Fixture("cam/chart_II_extra.cam"));
  const auto pattern = rktest::ReadFile(rktest::Fixture("cam/pattern_MM_jpegsection.cam"));
  ASSERT_FALSE(scene.empty());
  ASSERT_FALSE(chart.empty());
  ASSERT_FALSE(pattern.empty());
  uint32_t len = 0, off = 0;
  EXPECT_EQ(RkCheckCAMFileTypeEx(scene.data(), kSize(scene), &len, &off), 3);
  EXPECT_EQ(off, 6u + 32u + 14400u);
  EXPECT_EQ(RkGetCAMThumbnailInfoEx(scene.data(), kSize(scene), &len, &off), 0);
  EXPECT_EQ(len, 14400u);
  EXPECT_EQ(off, 38u);
  EXPECT_EQ(RkCheckCAMFileTypeEx(chart.data(), kSize(chart), &len, &off), 3);
  EXPECT_EQ(off, 6u + 48u + 63u + 16u);
  EXPECT_EQ(RkCheckCAMFileTypeEx(pattern.data(), kSize(pattern), &len, &off), 4);
  EXPECT_EQ(len, 637u);
  EXPECT_EQ(off, 22u);

  ModuleTable t;
  ImageBlkAttrRec image{};
  uint32_t end = 0;
  ASSERT_EQ(RkDecodeCAMHeaderEx(t.get(), scene.data(), kSize(scene), &end, &image), 0);
  EXPECT_EQ(end, kSize(scene));
  // Quantisation scale 0.5 of the standard tables: 16 -> 8, 11 -> 5.
  EXPECT_EQ(t->quantTable[0][0], 8);
  EXPECT_EQ(t->quantTable[0][1], 5);
}

}  // namespace
