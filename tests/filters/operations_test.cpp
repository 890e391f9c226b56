// Behaviour every image operation shares, over one table of operations:
// the same picture in every buffer layout, flat pictures and tiny sizes,
// mirror symmetry, refusals, and the progress calls with their stop.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "filter_pictures.h"

namespace {

using rktest::Layout;
using rktest::Picture;
using rktest::Rgb;

// a: the picture that changes (image, first, destination); b: the other
// one (second, source), a picture of the same size and content.
using Run = std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec* a, ImageBlkAttrRec* b, UserCallBackRec*)>;

// Progress: one call per row (and one more after the last row's write-back
// in the block-noise filter); the two passes of the block-noise filter;
// the distortion's quadrants; or rows only once a grey picture gives the
// automatic white balance something to do.
enum class Calls { kRows, kRowsAndOneMore, kTwoPasses, kQuadrants, kRowsOnGrey };

struct Operation {
  const char* name;
  Run run;
  Calls calls = Calls::kRows;
  bool returnsLastCall = false;  // the result is the last progress value
  bool mirrors = false;          // mirroring the input mirrors the output
  bool storedRows = false;       // walks stored rows, whatever bottomUp says
  bool keepsFlat = true;         // a flat picture stays flat (not so the defocus: its edges get less light)
};

void PrintTo(const Operation& op, std::ostream* os) { *os << op.name; }

int16_t CopyReference(PixelProcessMethodRec* p, uint32_t) {
  *p->red = p->refRed, *p->green = p->refGreen, *p->blue = p->refBlue;
  return 1;
}

int16_t CopyInside(PixelProcessMethodRec* p, uint32_t) {
  if (p->result == 0) *p->red = p->refRed, *p->green = p->refGreen, *p->blue = p->refBlue;
  return 1;
}

Run Noise(uint32_t flags) {
  return [=](ModuleTableRec* t, ImageBlkAttrRec* a, ImageBlkAttrRec*, UserCallBackRec* p) {
    return RkRemoveNoiseFilter(t, a, flags, p);
  };
}

Run Edge(uint16_t flags, int16_t gain, uint16_t mask) {
  return [=](ModuleTableRec* t, ImageBlkAttrRec* a, ImageBlkAttrRec*, UserCallBackRec* p) {
    const EdgeEnhanceParamRec params{flags, 1, &gain, &mask};
    return RkEdgeEnhanceFilter(t, a, &params, p);
  };
}

template <class F>
Run TwoBuffer(F f) {
  return [=](ModuleTableRec* t, ImageBlkAttrRec* a, ImageBlkAttrRec* b, UserCallBackRec* p) { return f(t, a, b, p); };
}

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> ops = {
      {"Method", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkProcessMethodImage(t, a, b, CopyReference, p); }),
       Calls::kRows, true, true},
      {"MaskingLightenHalf", TwoBuffer([](auto t, auto a, auto b, auto p) {
         b->codecFlags = 0x0307, b->componentIds = 50 | (100u << 16);
         return RkMaskingImage(t, a, b, p);
       }), Calls::kRows, true, true, true},
      {"Shadow", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkShadowingImage(t, a, b, 2, 1, -2, 1, p); }),
       Calls::kRows, true, false, true},
      {"MedianRgb9", Noise(0x0BBB), Calls::kRows, false, true},
      {"MedianYcc5", Noise(0x1999), Calls::kRows, false, true},
      {"NearestThree", Noise(0x0DDD), Calls::kRows, false, true},
      {"Mean9", Noise(0x0AAA), Calls::kRows, false, true},
      {"BlockNoise", [](auto t, auto a, auto, auto p) { return RkBlockNoiseReductionFilter(t, a, 0, p); }, Calls::kRowsAndOneMore,
       false, true},
      {"BlockNoiseSharpen", [](auto t, auto a, auto, auto p) { return RkBlockNoiseReductionFilter(t, a, 1, p); },
       Calls::kTwoPasses, false, true},
      {"EdgeYcc", Edge(0x1888, 90, 0x7), Calls::kRows, false, true},
      {"Chroma", [](auto t, auto a, auto, auto p) { return RkChromaEnhanceFilter(t, a, 300, p); }, Calls::kRows, false, true},
      {"AdjustWhiteBalance", [](auto t, auto a, auto, auto p) { return RkAdjustWhiteBalance(t, a, 4.5, -9.0, p); },
       Calls::kRows, false, true},
      {"AutoWhiteBalance", [](auto t, auto a, auto, auto p) { return RkAutomaticWhiteBalance(t, a, nullptr, nullptr, p); },
       Calls::kRowsOnGrey, false, true},
      {"Blur", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkBluringImage(t, a, b, 2, 0, p); }), Calls::kRows,
       true, true, true},
      {"BlurCbCr", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkBluringImage(t, a, b, 3, 0x06, p); }),
       Calls::kRows, true, true, true},
      {"BlurVP", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkBluringVPImage(t, a, b, 2, 0, p); }),
       Calls::kRows, true, true, true},
      {"OutOfFocus", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkBluringOutFocusImage(t, a, b, 2, p); }),
       Calls::kRows, true, true, true, false},
      {"DistortOut", [](auto t, auto a, auto, auto p) { return RkDistortionFilter(t, a, -400, p); }, Calls::kQuadrants,
       false, false, true},
      {"DistortIn", [](auto t, auto a, auto, auto p) { return RkDistortionFilter(t, a, 700, p); }, Calls::kQuadrants,
       false, false, true},
      {"Rotate", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkFreeRotateImage(t, a, b, 1234, 0, p); }),
       Calls::kRows, true},
      {"RotateTileNearest",
       TwoBuffer([](auto t, auto a, auto b, auto p) { return RkFreeRotateImage(t, a, b, -777, 0x0201, p); }),
       Calls::kRows, true},
      {"RotateMask", TwoBuffer([](auto t, auto a, auto b, auto p) {
         b->codecFlags = 0x0307, b->componentIds = 100 | (100u << 16);  // lighten
         return RkFreeRotateMaskImage(t, a, b, 4000, 0, p);
       }), Calls::kRows, true},
      {"RotateMethod",
       TwoBuffer([](auto t, auto a, auto b, auto p) { return RkFreeRotateMethodImage(t, a, b, 900, CopyInside, p); }),
       Calls::kRows, true},
      {"RotateLut", TwoBuffer([](auto t, auto a, auto b, auto p) {
         static std::vector<uint8_t> lut(65536, 0);
         return RkFreeRotateLUTImage(t, a, b, -2000, 0, lut.data(), p);
       }), Calls::kRows, true},
      {"TiltHorz", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkTiltHorzImage(t, a, b, -2100, 0, p); }),
       Calls::kRows, true},
      {"TiltVert", TwoBuffer([](auto t, auto a, auto b, auto p) { return RkTiltVertImage(t, a, b, 1500, 0x0200, p); }),
       Calls::kRows, true},
  };
  return ops;
}

// Runs op with a and b holding img in the given layout; background and
// key-free fields set to the colour bg.
Rgb Apply(const Operation& op, const Rgb& img, const Layout& layout, int16_t* result = nullptr,
          UserCallBackRec* progress = nullptr, const uint8_t* bg = nullptr, bool* guards = nullptr) {
  rktest::ModuleTable table;
  Picture a(img, layout), b(img, layout);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  if (bg != nullptr)
    for (int c = 0; c < 3; ++c) ra.segmentLength[c] = rb.segmentLength[c] = bg[c];
  const int16_t r = op.run(table.get(), &ra, &rb, progress);
  if (result != nullptr) *result = r;
  if (guards != nullptr) *guards = a.GuardsIntact() && b.GuardsIntact();
  return a.ToRgb();
}

Rgb Mirror(const Rgb& img, bool upsideDown = false) {
  Rgb m = img;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      std::copy_n(upsideDown ? img.at(x, img.height - 1 - y) : img.at(img.width - 1 - x, y), 3, m.at(x, y));
  return m;
}

class EveryOperation : public testing::TestWithParam<Operation> {};

TEST_P(EveryOperation, GivesOnePictureOnEveryLayout) {
  const Rgb img = rktest::MakePhotoLike(23, 17, 5);
  const Rgb upright = Apply(GetParam(), img, rktest::TopDownRgb());
  // Operations that walk stored rows see a bottom-up buffer upside down.
  const Rgb turned = Mirror(Apply(GetParam(), Mirror(img, true), rktest::TopDownRgb()), true);
  for (const Layout& layout : rktest::Layouts()) {
    const Rgb& want = GetParam().storedRows && layout.bottomUp ? turned : upright;
    bool guards = false;
    EXPECT_EQ(rktest::FirstDifference(Apply(GetParam(), img, layout, nullptr, nullptr, nullptr, &guards), want), "")
        << layout.name;
    EXPECT_TRUE(guards) << layout.name << ": wrote outside the channel bytes";
  }
}

TEST_P(EveryOperation, KeepsFlatPicturesFlatAtEverySize) {
  if (!GetParam().keepsFlat) GTEST_SKIP();
  const uint8_t grey[3] = {120, 135, 110};
  for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}, {3, 3}, {4, 7}, {9, 5}}) {
    const Rgb flat = rktest::Flat(w, h, grey[0], grey[1], grey[2]);
    int16_t result = -1;
    const Rgb out = Apply(GetParam(), flat, rktest::BottomUpBgr(), &result, nullptr, grey);
    EXPECT_GE(result, 0) << w << "x" << h;
    // The colour may change (white balance, chroma), but not from pixel to pixel.
    const Rgb want = rktest::Flat(w, h, out.px[0], out.px[1], out.px[2]);
    EXPECT_EQ(rktest::FirstDifference(out, want), "") << w << "x" << h;
  }
}

TEST_P(EveryOperation, MirroredInputGivesMirroredOutput) {
  if (!GetParam().mirrors) GTEST_SKIP() << "not a left-right symmetric operation";
  const Rgb img = rktest::MakeNoise(14, 9, 3);
  const Layout layout = rktest::TopDownRgb();
  EXPECT_EQ(rktest::FirstDifference(Apply(GetParam(), Mirror(img), layout), Mirror(Apply(GetParam(), img, layout))), "");
}

TEST_P(EveryOperation, RefusesMissingArgumentsWithoutWriting) {
  const Operation& op = GetParam();
  const Rgb img = rktest::MakeNoise(6, 5, 9);
  rktest::ModuleTable table;
  Picture a(img, rktest::TopDownRgb()), b(img, rktest::TopDownRgb());
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  EXPECT_EQ(op.run(nullptr, &ra, &rb, nullptr), RK_ERR_NULL);
  EXPECT_EQ(op.run(table.get(), nullptr, &rb, nullptr), RK_ERR_NULL);
  ImageBlkAttrRec noPixels = ra;
  noPixels.pixels = nullptr;
  EXPECT_EQ(op.run(table.get(), &noPixels, &rb, nullptr), RK_ERR_UNSUPPORTED);
  EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), img), "");
}

struct Call {
  int32_t done, total;
};
struct Recorder {
  std::vector<Call> calls;
  int16_t answer = 0;
  UserCallBackRec record() {
    return UserCallBackRec{[](int32_t done, int32_t total, void*, uintptr_t self) {
                             auto* r = reinterpret_cast<Recorder*>(self);
                             r->calls.push_back({done, total});
                             return r->answer;
                           },
                           reinterpret_cast<uintptr_t>(this)};
  }
};

TEST_P(EveryOperation, ReportsEachUnitAndStopsAtTheFirstCall) {
  const Operation& op = GetParam();
  // 8 rows (distortion: cy = 3); a grey picture with a cast for the
  // automatic white balance.
  const Rgb img = op.calls == Calls::kRowsOnGrey ? rktest::Flat(11, 8, 180, 195, 215) : rktest::MakePhotoLike(11, 8, 2);
  Recorder rec;
  rec.answer = 5;
  UserCallBackRec cb = rec.record();
  int16_t result = 0;
  Apply(op, img, rktest::BottomUpBgr(), &result, &cb);
  EXPECT_EQ(result, op.returnsLastCall ? 5 : 0);
  std::vector<int32_t> done;
  for (const Call& c : rec.calls) done.push_back(c.done);
  std::vector<int32_t> want;
  int32_t total = 7;
  switch (op.calls) {
    case Calls::kRows:
    case Calls::kRowsOnGrey: for (int y = 0; y < 8; ++y) want.push_back(y); break;
    case Calls::kRowsAndOneMore: for (int y = 0; y <= 8; ++y) want.push_back(y); break;
    case Calls::kTwoPasses:
      for (int y = 0; y <= 16; ++y) want.push_back(y);  // 0..8, then 8 + 0..8
      want.insert(want.begin() + 9, 8);
      total = 14;
      break;
    case Calls::kQuadrants: total = 12; break;  // checked below: rising, ending at or below 4 * cy
  }
  if (op.calls == Calls::kQuadrants) {
    ASSERT_FALSE(done.empty());
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    EXPECT_LE(done.back(), total);
  } else {
    EXPECT_EQ(done, want);
  }
  for (const Call& c : rec.calls) EXPECT_EQ(c.total, total);

  Recorder stop;
  stop.answer = RK_STOPPED;
  cb = stop.record();
  Apply(op, img, rktest::TopDownRgb(), &result, &cb);
  EXPECT_EQ(result, RK_STOPPED);
  EXPECT_EQ(stop.calls.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Filters, EveryOperation, testing::ValuesIn(Operations()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
