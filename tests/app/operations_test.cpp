// corvid-convert's image operations on the program's pixel block: the
// rotation's box and offset, and what each operation's parameters do.
#include <gtest/gtest.h>

#include "app_support.h"
#include "operations.h"
#include "rk_dib.h"

using corvid::ImageOperation;
using Kind = corvid::ImageOperation::Kind;

namespace {

class Operations : public ::testing::Test {
 protected:
  Operations() : image_(ui_, corvid::CRKDib::Profile::Ignore) {}
  apptest::Rgb Run(const apptest::Rgb& picture, const ImageOperation& op) {
    image_.AdoptPicture(apptest::ToBlock(picture));
    EXPECT_TRUE(image_.ApplyOperation(op));
    return apptest::FromBlock(*image_.Picture());
  }
  apptest::CollectingUi ui_;
  corvid::CRKDib image_;
};

ImageOperation Rotation(double degrees) {
  ImageOperation op;
  op.kind = Kind::Rotate;
  op.degrees = degrees;
  return op;
}

// The worked values of the rotation geometry: a quarter turn of 10 x 4
// needs offset (-4, 3), a quarter turn back (-3, 2); a half turn (-1,
// -1); no turn (0, 0); 45 degrees of 100 x 100 a box of round(141.42)
// and (round(70 - 50), round(70 - 50 + 0.707)) = (20, 21).
TEST(RotationGeometry, BoxAndOffset) {
  struct Case {
    double degrees;
    uint32_t w, h;
    int16_t angle;
    uint32_t boxW, boxH;
    int16_t dx, dy;
  };
  for (const Case c : {Case{90, 10, 4, 5400, 4, 10, -4, 3}, Case{0, 10, 4, 0, 10, 4, 0, 0},
                       Case{180, 10, 4, 10800, 10, 4, -1, -1}, Case{-90, 10, 4, -5400, 4, 10, -3, 2},
                       Case{450, 7, 3, 5400, 3, 7, -3, 2}, Case{360, 7, 3, 0, 7, 3, 0, 0},
                       Case{45, 100, 100, 2700, 141, 141, 20, 21}, Case{0.5, 8, 8, 30, 8, 8, 0, 0}}) {
    const corvid::RotationGeometry g = corvid::RotationFor(c.degrees, c.w, c.h);
    EXPECT_EQ(g.angle, c.angle) << c.degrees;
    EXPECT_EQ(g.width, c.boxW) << c.degrees;
    EXPECT_EQ(g.height, c.boxH) << c.degrees;
    EXPECT_EQ(g.offsetX, c.dx) << c.degrees;
    EXPECT_EQ(g.offsetY, c.dy) << c.degrees;
  }
}

// Quarter turns permute every pixel exactly and a whole turn copies, for
// odd and even sizes: (x, y) of a clockwise quarter turn of W x H is
// (y, H - 1 - x) of the source.
TEST_F(Operations, QuarterTurnsPermuteExactly) {
  for (const auto& [w, h] : {std::pair{10, 4}, std::pair{37, 23}, std::pair{1, 5}, std::pair{6, 6}}) {
    const apptest::Rgb source = apptest::Gradient(w, h, 7);
    for (const double degrees : {0.0, 90.0, 180.0, 270.0, -90.0, 360.0}) {
      const apptest::Rgb turned = Run(source, Rotation(degrees));
      const int quarters = ((static_cast<int>(degrees) / 90) % 4 + 4) % 4;
      ASSERT_EQ(turned.width, quarters % 2 == 0 ? w : h);
      ASSERT_EQ(turned.height, quarters % 2 == 0 ? h : w);
      int wrong = 0;
      for (int y = 0; y < turned.height; ++y) {
        for (int x = 0; x < turned.width; ++x) {
          int sx = x, sy = y;
          switch (quarters) {
            case 1: sx = y; sy = h - 1 - x; break;
            case 2: sx = w - 1 - x; sy = h - 1 - y; break;
            case 3: sx = w - 1 - y; sy = x; break;
            default: break;
          }
          for (int k = 0; k < 3; ++k) {
            wrong += turned.px[(static_cast<size_t>(y) * turned.width + x) * 3 + k] !=
                     source.px[(static_cast<size_t>(sy) * w + sx) * 3 + k];
          }
        }
      }
      EXPECT_EQ(wrong, 0) << w << "x" << h << " by " << degrees;
    }
  }
}

// A flat picture turned by 45 degrees: its colour in the middle, the
// background colour in the corners the turn uncovers.
TEST_F(Operations, UncoveredCornersTakeTheBackground) {
  apptest::Rgb flat{20, 20, std::vector<uint8_t>(20 * 20 * 3, 200)};
  ImageOperation op = Rotation(45);
  op.background[0] = 10;
  op.background[1] = 20;
  op.background[2] = 30;
  const apptest::Rgb turned = Run(flat, op);
  ASSERT_EQ(turned.width, 28);
  EXPECT_EQ(turned.px[0], 10);
  EXPECT_EQ(turned.px[1], 20);
  EXPECT_EQ(turned.px[2], 30);
  const size_t middle = (14 * 28 + 14) * 3;
  EXPECT_EQ(turned.px[middle], 200);
}

// The other operations: sizes, and a flat picture stays flat (no row
// order, channel or stride mistake can survive that together with the
// impulse and edge checks below).
TEST_F(Operations, FlatPicturesStayFlatAtTheirSize) {
  struct Case {
    ImageOperation op;
    int w, h;
  };
  ImageOperation resize;
  resize.kind = Kind::Resize;
  resize.width = 13;
  resize.height = 5;
  ImageOperation percent;
  percent.kind = Kind::ResizePercent;
  percent.percent = 1;  // 1 % of 31 x 9 rounds down to 0: kept at 1
  ImageOperation blur;
  blur.kind = Kind::Blur;
  blur.radius = 3;
  ImageOperation sharpen;
  sharpen.kind = Kind::Sharpen;
  sharpen.level = 10;
  ImageOperation denoise;
  denoise.kind = Kind::Denoise;
  for (const Case c : {Case{resize, 13, 5}, Case{percent, 1, 1}, Case{blur, 31, 9}, Case{sharpen, 31, 9},
                       Case{denoise, 31, 9}}) {
    const apptest::Rgb flat{31, 9, std::vector<uint8_t>(31 * 9 * 3, 77)};
    const apptest::Rgb out = Run(flat, c.op);
    EXPECT_EQ(out.width, c.w) << static_cast<int>(c.op.kind);
    EXPECT_EQ(out.height, c.h) << static_cast<int>(c.op.kind);
    EXPECT_EQ(apptest::MaxDifference(out, apptest::Rgb{c.w, c.h, std::vector<uint8_t>(out.px.size(), 77)}), 0)
        << static_cast<int>(c.op.kind);
  }
  EXPECT_TRUE(ui_.messages.empty());
}

// One bright pixel: the median removes it, the blur spreads it, and
// sharpening an edge overshoots more at a higher level.
TEST_F(Operations, ParametersTakeEffect) {
  apptest::Rgb dot{9, 9, std::vector<uint8_t>(9 * 9 * 3, 50)};
  for (int k = 0; k < 3; ++k) dot.px[(4 * 9 + 4) * 3 + k] = 250;
  ImageOperation denoise;
  denoise.kind = Kind::Denoise;
  EXPECT_EQ(Run(dot, denoise).px[(4 * 9 + 4) * 3], 50);
  ImageOperation blur;
  blur.kind = Kind::Blur;
  blur.radius = 1;
  const apptest::Rgb blurred = Run(dot, blur);
  EXPECT_LT(blurred.px[(4 * 9 + 4) * 3], 250);
  EXPECT_GT(blurred.px[(4 * 9 + 5) * 3], 50);

  // The bright side of a 100 | 140 edge: 8 x 140 - (5 x 140 + 3 x 100) =
  // 120 times 16 x level / 128: 155, 200, then 290 held at 255.
  apptest::Rgb edge{8, 4, std::vector<uint8_t>(8 * 4 * 3, 100)};
  for (int y = 0; y < 4; ++y) {
    for (int x = 4; x < 8; ++x) {
      for (int k = 0; k < 3; ++k) edge.px[(y * 8 + x) * 3 + k] = 140;
    }
  }
  for (const auto& [level, expected] : {std::pair{1, 155}, std::pair{4, 200}, std::pair{10, 255}}) {
    ImageOperation sharpen;
    sharpen.kind = Kind::Sharpen;
    sharpen.level = level;
    EXPECT_EQ(Run(edge, sharpen).px[(1 * 8 + 4) * 3], expected) << level;
  }
}

// A cast picture: automatic white balance moves its greys toward neutral.
TEST_F(Operations, WhiteBalanceReducesACast) {
  // Flat 8 x 8 blocks of greys from 60 to 200, all with a warm cast.
  apptest::Rgb cast{64, 48, std::vector<uint8_t>(64 * 48 * 3)};
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const int grey = 60 + ((x / 8 + 8 * (y / 8)) * 37) % 140;
      uint8_t* p = &cast.px[(static_cast<size_t>(y) * 64 + x) * 3];
      p[0] = static_cast<uint8_t>(grey + 12);
      p[1] = static_cast<uint8_t>(grey);
      p[2] = static_cast<uint8_t>(grey - 12);
    }
  }
  ImageOperation balance;
  balance.kind = Kind::AutoWhiteBalance;
  const apptest::Rgb out = Run(cast, balance);
  long before = 0, after = 0;
  for (size_t i = 0; i < cast.px.size(); i += 3) {
    before += cast.px[i] - cast.px[i + 2];
    after += out.px[i] - out.px[i + 2];
  }
  // The library scales the cast by (m k / 8 + 128) / (m + 128), a few per
  // cent for a cast this size; unchanged would mean it never ran.
  EXPECT_LT(after, before * 95 / 100);
}

// Results too large for the program's pictures are refused; the picture
// stays.
TEST_F(Operations, TooLargeIsAnOperationError) {
  image_.AdoptPicture(apptest::ToBlock(apptest::Gradient(300, 2)));
  const corvid::PixelBlock* before = image_.Picture();
  ImageOperation grow;
  grow.kind = Kind::ResizePercent;
  grow.percent = 30000;  // 90000 x 600
  EXPECT_FALSE(image_.ApplyOperation(grow));
  EXPECT_EQ(ui_.messages, std::vector<corvid::Message>{corvid::Message::OperationError});
  EXPECT_EQ(image_.Picture(), before);
}

}  // namespace
