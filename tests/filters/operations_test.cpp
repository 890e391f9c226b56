// Behaviour every image operation shares, over one table of operations:
// one picture on every buffer layout, flat pictures at tiny sizes,
// refusals that write nothing, and the progress calls with their stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "filter_pictures.h"

namespace {

using rktest::Layout;
using rktest::Picture;
using rktest::Rgb;

// a: the picture that changes (image, first, destination); b: the other
// one (second, source), of the same size and content.
using Run = std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec* a, ImageBlkAttrRec* b, UserCallBackRec*)>;

// Progress: a call per row; one more after the last row's write-back (block
// noise); two such passes; the distortion's quadrants.
enum class Calls { kRows, kRowsAndOneMore, kTwoPasses, kQuadrants };
enum Trait : unsigned {
  kReturnsLastCall = 1,  // the result is the last progress value
  kStoredRows = 2,       // walks stored rows, whatever bottomUp says
  kNotFlat = 4,          // a flat picture need not stay flat (the defocus darkens its edges)
  kReadsSecond = 8,      // reads b at a's coordinates: a smaller b is refused
  kGrey = 16,            // needs a grey picture to do anything (automatic white balance)
  kMirrors = 32,         // left-right symmetric: mirroring the input mirrors the output
};

struct Operation {
  const char* name;
  Run run;
  unsigned traits = 0;
  Calls calls = Calls::kRows;
};
void PrintTo(const Operation& op, std::ostream* os) { *os << op.name; }

int16_t CopyInside(PixelProcessMethodRec* p, uint32_t) {
  if (p->result == 0) *p->red = p->refRed, *p->green = p->refGreen, *p->blue = p->refBlue;
  return 1;
}

Run In(std::function<int16_t(ModuleTableRec*, ImageBlkAttrRec*, UserCallBackRec*)> f) {
  return [f](ModuleTableRec* t, ImageBlkAttrRec* a, ImageBlkAttrRec*, UserCallBackRec* p) { return f(t, a, p); };
}

const unsigned kTwo = kReturnsLastCall | kReadsSecond;
const Operation kOperations[] = {
    {"Method", [](auto t, auto a, auto b, auto p) { return RkProcessMethodImage(t, a, b, CopyInside, p); }, kTwo},
    {"MaskingLighten", [](auto t, auto a, auto b, auto p) {
       b->codecFlags = 0x0307, b->componentIds = 50 | (100u << 16);
       return RkMaskingImage(t, a, b, p);
     }, kTwo | kStoredRows | kMirrors},
    {"Shadow", [](auto t, auto a, auto b, auto p) { return RkShadowingImage(t, a, b, 2, 1, -2, 1, p); }, kTwo | kStoredRows},
    {"MedianRgb9", In([](auto t, auto a, auto p) { return RkRemoveNoiseFilter(t, a, 0x0BBB, p); }), kMirrors},
    {"MedianYcc5", In([](auto t, auto a, auto p) { return RkRemoveNoiseFilter(t, a, 0x1999, p); }), kMirrors},
    {"NearestThreeAndMean", In([](auto t, auto a, auto p) { return RkRemoveNoiseFilter(t, a, 0x0A8D, p); }), kMirrors},
    {"BlockNoise", In([](auto t, auto a, auto p) { return RkBlockNoiseReductionFilter(t, a, 0, p); }), 0,
     Calls::kRowsAndOneMore},
    {"BlockNoiseSharpen", In([](auto t, auto a, auto p) { return RkBlockNoiseReductionFilter(t, a, 1, p); }), kMirrors,
     Calls::kTwoPasses},
    {"EdgeYcc", In([](auto t, auto a, auto p) {
       const int16_t gain = 90;
       const uint16_t mask = 0x7;
       const EdgeEnhanceParamRec params{0x1888, 1, &gain, &mask};
       return RkEdgeEnhanceFilter(t, a, &params, p);
     }), kMirrors},
    {"Chroma", In([](auto t, auto a, auto p) { return RkChromaEnhanceFilter(t, a, 300, p); })},
    {"AdjustWhiteBalance", In([](auto t, auto a, auto p) { return RkAdjustWhiteBalance(t, a, 4.5, -9.0, p); })},
    {"AutoWhiteBalance", In([](auto t, auto a, auto p) { return RkAutomaticWhiteBalance(t, a, nullptr, nullptr, p); }), kGrey},
    {"Blur", [](auto t, auto a, auto b, auto p) { return RkBluringImage(t, a, b, 2, 0, p); }, kTwo | kStoredRows | kMirrors},
    {"BlurCbCr", [](auto t, auto a, auto b, auto p) { return RkBluringImage(t, a, b, 3, 0x06, p); }, kTwo | kStoredRows},
    {"BlurVP", [](auto t, auto a, auto b, auto p) { return RkBluringVPImage(t, a, b, 2, 0, p); }, kTwo | kStoredRows | kMirrors},
    {"OutOfFocus", [](auto t, auto a, auto b, auto p) { return RkBluringOutFocusImage(t, a, b, 2, p); },
     kTwo | kStoredRows | kNotFlat | kMirrors},
    {"DistortOut", In([](auto t, auto a, auto p) { return RkDistortionFilter(t, a, -400, p); }), kStoredRows,
     Calls::kQuadrants},
    {"DistortIn", In([](auto t, auto a, auto p) { return RkDistortionFilter(t, a, 700, p); }), kStoredRows,
     Calls::kQuadrants},
    {"Rotate", [](auto t, auto a, auto b, auto p) { return RkFreeRotateImage(t, a, b, 1234, 0, p); }, kReturnsLastCall},
    {"RotateTileNearest", [](auto t, auto a, auto b, auto p) { return RkFreeRotateImage(t, a, b, -777, 0x0201, p); },
     kReturnsLastCall},
    {"RotateMask", [](auto t, auto a, auto b, auto p) {
       b->codecFlags = 0x0307, b->componentIds = 100 | (100u << 16);  // lighten
       return RkFreeRotateMaskImage(t, a, b, 4000, 0, p);
     }, kReturnsLastCall},
    {"RotateMethod", [](auto t, auto a, auto b, auto p) { return RkFreeRotateMethodImage(t, a, b, 900, CopyInside, p); },
     kReturnsLastCall},
    {"RotateLut", [](auto t, auto a, auto b, auto p) {
       static std::vector<uint8_t> lut(65536, 0);
       return RkFreeRotateLUTImage(t, a, b, -2000, 0, lut.data(), p);
     }, kTwo},
    {"TiltHorz", [](auto t, auto a, auto b, auto p) { return RkTiltHorzImage(t, a, b, -2100, 0, p); }, kReturnsLastCall},
    {"TiltVert", [](auto t, auto a, auto b, auto p) { return RkTiltVertImage(t, a, b, 1500, 0x0200, p); }, kReturnsLastCall},
};

// Runs op with a and b holding img (b grown or shrunk by a column when
// asked); background fields hold bg.
Rgb Apply(const Operation& op, const Rgb& img, const Layout& layout, int16_t* result = nullptr,
          UserCallBackRec* progress = nullptr, const uint8_t* bg = nullptr, bool* guards = nullptr) {
  rktest::ModuleTable table;
  Picture a(img, layout), b(img, layout);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record();
  for (int c = 0; bg != nullptr && c < 3; ++c) ra.segmentLength[c] = rb.segmentLength[c] = bg[c];
  const int16_t r = op.run(table.get(), &ra, &rb, progress);
  if (result != nullptr) *result = r;
  if (guards != nullptr) *guards = a.GuardsIntact() && b.GuardsIntact();
  return a.ToRgb();
}

Rgb UpsideDown(const Rgb& img) {
  Rgb m = img;
  for (int y = 0; y < img.height; ++y) std::copy_n(img.at(0, img.height - 1 - y), 3 * img.width, m.at(0, y));
  return m;
}

Rgb Mirror(const Rgb& img) {
  Rgb m = img;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) std::copy_n(img.at(img.width - 1 - x, y), 3, m.at(x, y));
  return m;
}

class EveryOperation : public testing::TestWithParam<Operation> {};

TEST_P(EveryOperation, GivesOnePictureOnEveryLayout) {
  const Rgb img = rktest::MakePhotoLike(23, 17, 5);
  const Rgb upright = Apply(GetParam(), img, rktest::kTopDownRgb);
  // Operations that walk stored rows see a bottom-up buffer upside down.
  const Rgb turned = UpsideDown(Apply(GetParam(), UpsideDown(img), rktest::kTopDownRgb));
  for (const Layout& layout : rktest::kLayouts) {
    bool guards = false;
    const Rgb& want = (GetParam().traits & kStoredRows) && layout.bottomUp ? turned : upright;
    EXPECT_EQ(rktest::FirstDifference(Apply(GetParam(), img, layout, nullptr, nullptr, nullptr, &guards), want), "")
        << layout.name;
    EXPECT_TRUE(guards) << layout.name << ": wrote outside the channel bytes";
  }
}

std::vector<Operation> With(unsigned trait, bool present) {
  std::vector<Operation> ops;
  for (const Operation& op : kOperations)
    if (((op.traits & trait) != 0) == present) ops.push_back(op);
  return ops;
}

class SymmetricOperation : public testing::TestWithParam<Operation> {};
class FlatOperation : public testing::TestWithParam<Operation> {};

TEST_P(SymmetricOperation, MirroredInputGivesMirroredOutput) {
  const Rgb img = rktest::MakeNoise(14, 9, 3);
  EXPECT_EQ(rktest::FirstDifference(Apply(GetParam(), Mirror(img), rktest::kTopDownRgb),
                                    Mirror(Apply(GetParam(), img, rktest::kTopDownRgb))),
            "");
}

TEST_P(FlatOperation, KeepsFlatPicturesFlatAtEverySize) {
  const uint8_t grey[3] = {120, 135, 110};
  for (auto [w, h] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}, {3, 3}, {4, 7}, {9, 5}}) {
    int16_t result = -1;
    const Rgb out = Apply(GetParam(), rktest::Flat(w, h, grey[0], grey[1], grey[2]), rktest::kBottomUpBgr, &result,
                          nullptr, grey);
    EXPECT_GE(result, 0) << w << "x" << h;
    // The colour may change (white balance, chroma), not from pixel to pixel.
    EXPECT_EQ(rktest::FirstDifference(out, rktest::Flat(w, h, out.px[0], out.px[1], out.px[2])), "") << w << "x" << h;
  }
}

TEST_P(EveryOperation, RefusesMissingArgumentsWithoutWriting) {
  const Operation& op = GetParam();
  const Rgb img = rktest::MakeNoise(6, 5, 9);
  rktest::ModuleTable table;
  Picture a(img, rktest::kTopDownRgb), b(img, rktest::kTopDownRgb), narrow(rktest::MakeNoise(5, 5, 1), rktest::kTopDownRgb);
  ImageBlkAttrRec ra = a.Record(), rb = b.Record(), rn = narrow.Record();
  EXPECT_EQ(op.run(nullptr, &ra, &rb, nullptr), RK_ERR_NULL);
  EXPECT_EQ(op.run(table.get(), nullptr, &rb, nullptr), RK_ERR_NULL);
  ImageBlkAttrRec noPixels = ra;
  noPixels.pixels = nullptr;
  EXPECT_EQ(op.run(table.get(), &noPixels, &rb, nullptr), RK_ERR_UNSUPPORTED);
  // Reading a smaller second picture at the first one's places would read
  // outside it.
  if (op.traits & kReadsSecond) {
    EXPECT_EQ(op.run(table.get(), &ra, &rn, nullptr), RK_ERR_UNSUPPORTED);
  }
  EXPECT_EQ(rktest::FirstDifference(a.ToRgb(), img), "");
}

struct Recorder {
  std::vector<std::pair<int32_t, int32_t>> calls;  // done, total
  int16_t answer;
  UserCallBackRec Record() {
    return {[](int32_t done, int32_t total, void*, uintptr_t self) {
              auto* r = reinterpret_cast<Recorder*>(self);
              r->calls.emplace_back(done, total);
              return r->answer;
            },
            reinterpret_cast<uintptr_t>(this)};
  }
};

TEST_P(EveryOperation, ReportsEachUnitAndStopsAtTheFirstCall) {
  const Operation& op = GetParam();
  // 8 rows: distortion cy = 3, total 4 x 3.
  const Rgb img = (op.traits & kGrey) ? rktest::Flat(11, 8, 180, 195, 215) : rktest::MakePhotoLike(11, 8, 2);
  Recorder rec{{}, 5};
  UserCallBackRec cb = rec.Record();
  int16_t result = 0;
  Apply(op, img, rktest::kBottomUpBgr, &result, &cb);
  EXPECT_EQ(result, (op.traits & kReturnsLastCall) ? 5 : 0);
  std::vector<int32_t> done, want;
  for (auto [d, total] : rec.calls) {
    done.push_back(d);
    EXPECT_EQ(total, op.calls == Calls::kTwoPasses ? 14 : op.calls == Calls::kQuadrants ? 12 : 7);
  }
  for (int y = 0; y < (op.calls == Calls::kRows ? 8 : 9); ++y) want.push_back(y);
  if (op.calls == Calls::kTwoPasses)
    for (int y = 8; y <= 16; ++y) want.push_back(y);
  if (op.calls == Calls::kQuadrants) {
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    EXPECT_TRUE(!done.empty() && done.back() <= 12 && done.back() >= 11);
  } else {
    EXPECT_EQ(done, want);
  }
  Recorder stop{{}, RK_STOPPED};
  cb = stop.Record();
  Apply(op, img, rktest::kTopDownRgb, &result, &cb);
  EXPECT_EQ(result, RK_STOPPED);
  EXPECT_EQ(stop.calls.size(), 1u);
}

const auto kName = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Filters, EveryOperation, testing::ValuesIn(kOperations), kName);
INSTANTIATE_TEST_SUITE_P(Filters, SymmetricOperation, testing::ValuesIn(With(kMirrors, true)), kName);
INSTANTIATE_TEST_SUITE_P(Filters, FlatOperation, testing::ValuesIn(With(kNotFlat, false)), kName);

}  // namespace
