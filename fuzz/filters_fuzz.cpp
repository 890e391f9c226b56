// Drives every image operation with small random pictures, buffer layouts
// and parameters, and holds the fast paths (median networks, running-window
// blurs) to the plain ones.
//
// Input: byte 0 the operation, bytes 1-2 the size (0..24 each), bytes 3-4
// the layouts of the two pictures, byte 5 how much larger (or smaller) the
// second picture is, three 16-bit parameters, a 32-bit flags word; the rest
// fills the pixels (repeated).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/blur.h"
#include "filters/noise.h"
#include "rastkit.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

struct Input {
  const uint8_t* data;
  size_t size, pos = 0;
  uint8_t Byte() { return pos < size ? data[pos++] : 0; }
  int16_t Int16() { return static_cast<int16_t>(Byte() | (Byte() << 8)); }
};

// Layout bits: 0 bottom-up, 1 four bytes a pixel, 2-4 the channel order,
// 5-6 row padding. Exactly the bytes the rows need, so that a read past
// them shows.
struct Buffer {
  std::vector<uint8_t> bytes;
  ImageBlkAttrRec rec{};
  Buffer(int w, int h, uint8_t layout, const Input& in) {
    static constexpr uint8_t kOrders[6][3] = {{0, 1, 2}, {2, 1, 0}, {1, 2, 0}, {0, 2, 1}, {1, 0, 2}, {2, 0, 1}};
    const uint32_t ps = (layout & 2) ? 4 : 3, base = ps - 3;
    const uint8_t* order = kOrders[((layout >> 2) & 7) % 6];
    rec.width = static_cast<uint16_t>(w), rec.height = static_cast<uint16_t>(h);
    rec.rowStride = static_cast<int32_t>(w * ps + ((layout >> 5) & 3));
    rec.pixelStride = ps, rec.bottomUp = layout & 1;
    rec.redOffset = base + order[0], rec.greenOffset = base + order[1], rec.blueOffset = base + order[2];
    bytes.resize(std::max<size_t>(1, static_cast<size_t>(rec.rowStride) * h));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = in.size > in.pos ? in.data[in.pos + i % (in.size - in.pos)] : 0x5A;
    rec.pixels = bytes.data();
  }
  Buffer Twin() const {
    Buffer t = *this;
    t.rec.pixels = t.bytes.data();
    return t;
  }
};

int16_t Method(PixelProcessMethodRec* p, uint32_t param) {
  *p->red = static_cast<uint8_t>(p->refRed ^ param), *p->blue = static_cast<uint8_t>(p->refBlue + p->x + p->y);
  return static_cast<int16_t>(p->result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const uint8_t op = in.Byte();
  const int w = in.Byte() % 25, h = in.Byte() % 25;
  const uint8_t layoutA = in.Byte(), layoutB = in.Byte(), grow = in.Byte();
  const int16_t p1 = in.Int16(), p2 = in.Int16(), p3 = in.Int16();
  const uint32_t flags = static_cast<uint16_t>(in.Int16()) | (static_cast<uint32_t>(static_cast<uint16_t>(in.Int16())) << 16);
  Buffer a(w, h, layoutA, in);
  Buffer b(std::max(0, w + (grow & 3) - 1), std::max(0, h + ((grow >> 2) & 3) - 1), layoutB, in);
  std::vector<uint8_t> tableBlock(RkGetCompressBlkSize(), 0xAB);
  auto* table = reinterpret_cast<ModuleTableRec*>(tableBlock.data());
  RkInitModuleTable(table);
  for (int c = 0; c < 3; ++c) a.rec.segmentLength[c] = b.rec.segmentLength[c] = static_cast<uint32_t>(p3 >> c);
  b.rec.codecFlags = flags;
  b.rec.componentIds = static_cast<uint32_t>(p2) * 0x10001u ^ flags;
  a.rec.auxCount1 = static_cast<uint16_t>(p3 % 40), a.rec.auxCount2 = static_cast<uint16_t>(p2 % 40);
  const int16_t radius = static_cast<int16_t>(p1 % 64);  // larger ones reach nothing new
  const int16_t gains[3] = {p1, p2, p3};
  const uint16_t masks[3] = {static_cast<uint16_t>(flags >> 16), static_cast<uint16_t>(flags >> 20), static_cast<uint16_t>(flags >> 24)};
  const EdgeEnhanceParamRec edge{static_cast<uint16_t>(flags), static_cast<int16_t>(p3 % 5), gains, masks};
  // With bit 17 a work shop of exactly the queried size serves the filters.
  std::vector<uint8_t> shop(std::max<uint32_t>({1, RkGetRemoveNoiseFilterWorkSpaceSize(&a.rec), RkGetBlockNoiseReductionFilterWorkSpaceSize(&a.rec)}));
  if (flags & 0x20000) RkSetCustomModuleTableWorkshop(table, shop.data());
  double g[2];
  std::vector<uint8_t> lut(65536);
  RkCreateSamplingLUT(lut.data());

  int16_t result = 0;
  switch (op % 22) {
    case 0: result = RkProcessMethodImage(table, &a.rec, &b.rec, Method, nullptr); break;
    case 1: result = RkMaskingImage(table, &a.rec, &b.rec, nullptr); break;
    case 2: result = RkShadowingImage(table, &a.rec, &b.rec, radius, p2, p3, static_cast<uint16_t>(flags), nullptr); break;
    case 3: {
      Buffer twin = a.Twin();
      using rk::filters::MedianPath;
      result = rk::filters::RemoveNoise(table, &a.rec, flags, nullptr, MedianPath::kNetwork);
      Check(rk::filters::RemoveNoise(table, &twin.rec, flags, nullptr, MedianPath::kSelection) == result && twin.bytes == a.bytes);
      break;
    }
    case 4: result = RkBlockNoiseReductionFilter(table, &a.rec, flags, nullptr); break;
    case 5: result = RkEdgeEnhanceFilter(table, &a.rec, &edge, nullptr); break;
    case 6: result = RkChromaEnhanceFilter(table, &a.rec, p1, nullptr); break;
    case 7:
      result = RkGetWhiteBalanceParam(table, &a.rec, &g[0], &g[1], 0);
      if (result == 0 && g[0] != 0 && g[1] != 0) result = RkAdjustWhiteBalance(table, &a.rec, g[0], g[1], nullptr);
      break;
    case 8: result = RkAdjustWhiteBalance(table, &a.rec, p1 / 200.0, p2 / 200.0, nullptr); break;
    case 9: result = RkAutomaticWhiteBalance(table, &a.rec, &g[0], (flags & 1) ? &g[1] : nullptr, nullptr); break;
    case 10:
    case 11: {
      Buffer twin = a.Twin();
      using rk::filters::BlurPath;
      const auto blur = [&](ImageBlkAttrRec* d, BlurPath path) {
        return op % 22 == 11 ? rk::filters::OutOfFocusBlur(table, d, &b.rec, radius, nullptr, path)
                             : rk::filters::DiamondBlur(table, d, &b.rec, radius, flags, nullptr, path);
      };
      result = blur(&a.rec, BlurPath::kWindow);
      Check(blur(&twin.rec, BlurPath::kDirect) == result && twin.bytes == a.bytes);
      break;
    }
    case 12: result = RkBluringVPImage(table, &a.rec, &b.rec, static_cast<int16_t>(radius % 16), flags, nullptr); break;
    case 13: result = RkDistortionFilter(table, &a.rec, p1, nullptr); break;
    case 14: result = RkFreeRotateImage(table, &a.rec, &b.rec, p1, flags, nullptr); break;
    case 15: result = RkFreeRotateMaskImage(table, &a.rec, &b.rec, p1, flags, nullptr); break;
    case 16: result = RkFreeRotateMethodImage(table, &a.rec, &b.rec, p1, Method, nullptr); break;
    case 17: result = RkFreeRotateLUTImage(table, &a.rec, &b.rec, p1, flags, lut.data(), nullptr); break;
    case 18: result = RkTiltHorzImage(table, &a.rec, &b.rec, static_cast<int16_t>(p1 % 2800), flags, nullptr); break;
    case 19: result = RkTiltVertImage(table, &a.rec, &b.rec, static_cast<int16_t>(p1 % 2800), flags, nullptr); break;
    case 20: {
      // The median entry on values taken from the picture bytes.
      std::vector<int16_t> values(a.bytes.begin(), a.bytes.end()), work(values.size());
      const MedianValueRec rec{values.data(), work.data(), 0, static_cast<uint16_t>(static_cast<uint16_t>(p1) % (values.size() + 1)),
                               static_cast<uint16_t>(p2), static_cast<uint16_t>(p3)};
      result = RkGetMedianValue(&rec, flags & 1);
      break;
    }
    default: result = RkBluringOutFocusImage(table, &a.rec, &b.rec, p1, nullptr); break;
  }
  RkSetCustomModuleTableWorkshop(table, nullptr);
  RkFreeModuleTable(table);
  // Every byte of both pictures is read, so that an unset byte would show.
  uint32_t sum = static_cast<uint32_t>(result);
  for (const Buffer* p : {&a, &b})
    for (uint8_t v : p->bytes) sum = sum * 31 + v;
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
