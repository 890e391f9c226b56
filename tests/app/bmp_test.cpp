// The 24-bit pixel block, CDib's derived sizes and its BMP files.
#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include "app_support.h"
#include "dib.h"

using corvid::BitmapInfoHeader;
using corvid::CDib;
using corvid::Message;
using corvid::PixelBlock;

namespace {

struct StrideCase {
  uint32_t width;
  uint32_t stride;
};

class PixelBlockLayout : public ::testing::TestWithParam<StrideCase> {};

TEST_P(PixelBlockLayout, HeaderAndSizesFollowTheWidth) {
  const auto [width, stride] = GetParam();
  auto block = PixelBlock::Create(width, 3);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->stride(), stride);
  const BitmapInfoHeader info = BitmapInfoHeader::Read(block->data());
  EXPECT_EQ(info.size, 40u);
  EXPECT_EQ(info.width, static_cast<int32_t>(width));
  EXPECT_EQ(info.height, 3);
  EXPECT_EQ(info.planes, 1);
  EXPECT_EQ(info.bitCount, 24);
  EXPECT_EQ(info.compression, 0u);
  EXPECT_EQ(info.sizeImage, stride * 3);
  EXPECT_EQ(info.xPelsPerMeter, 0);
  EXPECT_EQ(info.clrUsed, 0u);

  apptest::CollectingUi ui;
  CDib dib(ui);
  ASSERT_TRUE(dib.AttachImage(block->data(), false));
  EXPECT_EQ(dib.ColourCount(), 0);
  EXPECT_EQ(dib.PixelBytes(), stride * 3);
  EXPECT_EQ(dib.Pixels(), block->pixels());
  EXPECT_EQ(dib.PixelSize(), QSize(static_cast<int>(width), 3));

  // The file form: pixel offset 54, no colour table, 54 + stride x height bytes.
  std::vector<uint8_t> file;
  ASSERT_TRUE(dib.BmpBytes(file));
  ASSERT_EQ(file.size(), 54 + stride * 3);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(corvid::GetLE32(&file[2]), 54 + stride * 3);
  EXPECT_EQ(corvid::GetLE32(&file[6]), 0u);
  EXPECT_EQ(corvid::GetLE32(&file[10]), 54u);
  EXPECT_TRUE(std::equal(file.begin() + 14, file.end(), block->data()));
}

INSTANTIATE_TEST_SUITE_P(Widths, PixelBlockLayout,
                         ::testing::Values(StrideCase{1, 4}, StrideCase{4, 12}, StrideCase{5, 16},
                                           StrideCase{203, 612}),
                         [](const auto& info) { return "Width" + std::to_string(info.param.width); });

TEST(PixelBlock, RefusesEmptyAndOversizedPictures) {
  EXPECT_FALSE(PixelBlock::Create(0, 10));
  EXPECT_FALSE(PixelBlock::Create(10, 0));
  // 65535 x 65535 from a hostile header would be 12 GiB.
  EXPECT_FALSE(PixelBlock::Create(65535, 65535));
  // Sizes the library's 16-bit record fields cannot carry.
  EXPECT_FALSE(PixelBlock::Create(65536, 1));
  EXPECT_FALSE(PixelBlock::Create(1, 65536));
  EXPECT_TRUE(PixelBlock::Create(65535, 1));
}

TEST(DerivedSizes, FromBitCountWhenTheHeaderGivesNone) {
  BitmapInfoHeader info;
  info.width = 5;
  info.height = 2;
  info.bitCount = 24;
  EXPECT_EQ(corvid::DerivedPixelBytes(info), 32u);  // 15 bytes a row padded to 16
  info.bitCount = 1;
  info.width = 33;
  EXPECT_EQ(corvid::DerivedPixelBytes(info), 16u);  // two words a row
  // Largest fields: computed in 64 bits, no wrap.
  info.width = -1;
  info.height = -1;
  info.bitCount = 32;
  EXPECT_EQ(corvid::DerivedPixelBytes(info), 0xFFFFFFFFull * 4 * 0xFFFFFFFFull);

  EXPECT_EQ(corvid::ColourCountOf(BitmapInfoHeader{40, 1, 1, 1, 8, 0, 0, 0, 0, 0, 0}), 256);
  EXPECT_EQ(corvid::ColourCountOf(BitmapInfoHeader{40, 1, 1, 1, 4, 0, 0, 0, 0, 0, 0}), 16);
  EXPECT_EQ(corvid::ColourCountOf(BitmapInfoHeader{40, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0}), 2);
  EXPECT_EQ(corvid::ColourCountOf(BitmapInfoHeader{40, 1, 1, 1, 8, 0, 0, 0, 0, 7, 0}), 7);
  EXPECT_EQ(corvid::ColourCountOf(BitmapInfoHeader{40, 1, 1, 1, 16, 0, 0, 0, 0, 0, 0}), 0);
}

TEST(CDibObject, EmptyAndReleased) {
  apptest::CollectingUi ui;
  CDib dib(ui);
  EXPECT_TRUE(dib.IsEmpty());
  EXPECT_EQ(dib.PixelSize(), QSize(0, 0));
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(dib.BmpBytes(bytes));
  auto block = PixelBlock::Create(2, 2);
  dib.AttachImage(block->data(), false);
  dib.ReleaseImage();
  EXPECT_TRUE(dib.IsEmpty());
  EXPECT_EQ(dib.PixelBytes(), 0u);
  EXPECT_EQ(dib.PixelSize(), QSize(0, 0));
}

// A 24-bit BMP written by CDib and read by Qt's own BMP loader gives the
// pixel block's picture back.
class BmpThroughQt : public ::testing::TestWithParam<int> {};

TEST_P(BmpThroughQt, ReadsBackThePixels) {
  const int width = GetParam();
  const apptest::Rgb picture = apptest::Gradient(width, 7, static_cast<uint32_t>(width));
  auto block = apptest::ToBlock(picture);
  apptest::CollectingUi ui;
  CDib dib(ui);
  dib.AttachImage(block->data(), false);
  QBuffer device;
  device.open(QIODevice::WriteOnly);
  ASSERT_TRUE(dib.WriteBmp(device));
  EXPECT_TRUE(ui.messages.empty());

  QImage image;
  ASSERT_TRUE(image.loadFromData(device.data(), "BMP"));
  ASSERT_EQ(image.width(), width);
  ASSERT_EQ(image.height(), 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &picture.px[(static_cast<size_t>(y) * width + x) * 3];
      ASSERT_EQ(image.pixel(x, y), qRgb(p[0], p[1], p[2])) << "at " << x << "," << y;
    }
  }

  // And CDib reads its own file back to the same bytes.
  device.close();
  device.open(QIODevice::ReadOnly);
  CDib again(ui);
  ASSERT_TRUE(again.ReadBmp(device));
  ASSERT_EQ(again.PixelBytes(), block->pixelBytes());
  EXPECT_EQ(0, std::memcmp(again.Pixels(), block->pixels(), block->pixelBytes()));
  EXPECT_EQ(again.PixelSize(), QSize(width, 7));
}

INSTANTIATE_TEST_SUITE_P(OddAndEvenWidths, BmpThroughQt, ::testing::Values(1, 2, 3, 4, 5, 7, 33),
                         [](const auto& info) { return "Width" + std::to_string(info.param); });

QByteArray EightBitBmp(uint32_t clrUsed, uint32_t pixelOffset, uint32_t sizeImage, int pixelBytes) {
  QByteArray file(static_cast<qsizetype>(pixelOffset) + pixelBytes, '\0');
  auto* p = reinterpret_cast<uint8_t*>(file.data());
  p[0] = 'B';
  p[1] = 'M';
  corvid::PutLE32(p + 2, static_cast<uint32_t>(file.size()));
  corvid::PutLE32(p + 10, pixelOffset);
  BitmapInfoHeader info;
  info.width = 4;
  info.height = 2;
  info.bitCount = 8;
  info.clrUsed = clrUsed;
  info.sizeImage = sizeImage;
  info.Write(p + 14);
  for (int i = 0; i < pixelBytes; ++i) p[pixelOffset + i] = static_cast<uint8_t>(i + 1);
  return file;
}

TEST(ReadBmp, EightBitFileGetsItsColourTable) {
  const QByteArray file = EightBitBmp(0, 54 + 1024, 0, 8);
  QBuffer device;
  device.setData(file);
  device.open(QIODevice::ReadOnly);
  apptest::CollectingUi ui;
  CDib dib(ui);
  ASSERT_TRUE(dib.ReadBmp(device));
  EXPECT_EQ(dib.ColourCount(), 256);
  EXPECT_EQ(dib.PixelBytes(), 8u);  // derived: 4 bytes a row, 2 rows
  EXPECT_EQ(dib.Pixels()[7], 8);
  EXPECT_EQ(dib.ColourTable(), dib.Header() + 40);
}

struct BadBmp {
  const char* name;
  QByteArray bytes;
  Message expected;
};

class ReadBmpFailure : public ::testing::TestWithParam<BadBmp> {};

TEST_P(ReadBmpFailure, ReportsOneMessageAndStaysEmpty) {
  QBuffer device;
  device.setData(GetParam().bytes);
  device.open(QIODevice::ReadOnly);
  apptest::CollectingUi ui;
  CDib dib(ui);
  EXPECT_FALSE(dib.ReadBmp(device));
  EXPECT_EQ(ui.messages, std::vector<Message>{GetParam().expected});
  EXPECT_TRUE(dib.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadBmpFailure,
    ::testing::Values(
        BadBmp{"Empty", QByteArray(), Message::BmpShortHeader},
        BadBmp{"ThirteenBytes", QByteArray("BM\0\0\0\0\0\0\0\0\0\0\0", 13), Message::BmpShortHeader},
        BadBmp{"NotBM", QByteArray(60, 'x'), Message::BmpNotBitmap},
        // The colour table the header announces (256 entries) does not fit
        // before the pixel offset.
        BadBmp{"TableLargerThanHeaderBlock", EightBitBmp(0, 54 + 16, 0, 8), Message::BmpNotBitmap},
        BadBmp{"PixelOffsetInsideHeader", EightBitBmp(2, 30, 0, 40), Message::BmpNotBitmap},
        BadBmp{"HeaderCutShort", EightBitBmp(0, 54 + 1024, 0, 8).left(40), Message::BmpReadError},
        BadBmp{"PixelsCutShort", EightBitBmp(0, 54 + 1024, 0, 8).chopped(3), Message::BmpReadError},
        BadBmp{"HugeImageSize", EightBitBmp(0, 54 + 1024, 0x7FFFFFFF, 8), Message::BmpNotBitmap}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteBmp, DeviceFailureIsReported) {
  auto block = PixelBlock::Create(3, 3);
  apptest::CollectingUi ui;
  CDib dib(ui);
  dib.AttachImage(block->data(), false);
  QBuffer device;
  device.open(QIODevice::ReadOnly);  // refuses every write
  EXPECT_FALSE(dib.WriteBmp(device));
  EXPECT_EQ(ui.messages, std::vector<Message>{Message::BmpWriteError});
}

TEST(Messages, StringTableTexts) {
  using corvid::MessageText;
  EXPECT_EQ(MessageText(Message::CantFileCreate), "Can't File Create");
  EXPECT_EQ(MessageText(Message::WriteError), "Write Error");
  EXPECT_EQ(MessageText(Message::MemoryError), "Memory Error");
  EXPECT_EQ(MessageText(Message::FormatError), "Format Error");
  EXPECT_EQ(MessageText(Message::ExportError), "Export Error");
  EXPECT_EQ(MessageText(Message::CantOpenFile), "Can't Open File");
  EXPECT_EQ(MessageText(Message::InvalidFileName), "Invalid File Name");
  EXPECT_EQ(MessageText(Message::FileNameOverflow), "File Name Overflow");
  EXPECT_EQ(MessageText(Message::BmpShortHeader), "read error 1");
  EXPECT_EQ(MessageText(Message::BmpNotBitmap), "Invalid bitmap file");
  EXPECT_EQ(MessageText(Message::BmpReadError), "Read error 1");
  EXPECT_EQ(MessageText(Message::BmpWriteError), "write error");
}

}  // namespace
