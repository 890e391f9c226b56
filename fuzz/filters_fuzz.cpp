// Drives every image operation with small random pictures, buffer layouts
// and parameters, and holds the fast paths (median networks, running-window
// blurs) to the plain ones.
//
// Input: byte 0 the operation, bytes 1-2 the size (0..24 each), bytes 3-4
// the layouts of the two pictures, byte 5 how much larger (or smaller) the
// second picture is, then three 16-bit parameters and a 32-bit flags word;
// the rest fills the pixels (repeated).
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
  uint32_t Word() { return static_cast<uint32_t>(static_cast<uint16_t>(Int16())) | (static_cast<uint32_t>(static_cast<uint16_t>(Int16())) << 16); }
};

// A picture in one of the layouts the records allow: bit 0 bottom-up, bit 1
// four bytes a pixel, bits 2-4 the channel order, bits 5-6 row padding.
struct Buffer {
  std::vector<uint8_t> bytes;
  ImageBlkAttrRec rec{};
  Buffer(int w, int h, uint8_t layout, Input& in) {
    static constexpr uint8_t kOrders[6][3] = {{0, 1, 2}, {2, 1, 0}, {1, 2, 0}, {0, 2, 1}, {1, 0, 2}, {2, 0, 1}};
    const uint32_t ps = (layout & 2) ? 4 : 3;
    const uint8_t* order = kOrders[((layout >> 2) & 7) % 6];
    const uint32_t base = ps == 4 ? 1 : 0;
    rec.width = static_cast<uint16_t>(w);
    rec.height = static_cast<uint16_t>(h);
    rec.rowStride = static_cast<int32_t>(w * ps + ((layout >> 5) & 3));
    rec.pixelStride = ps;
    rec.redOffset = base + order[0];
    rec.greenOffset = base + order[1];
    rec.blueOffset = base + order[2];
    rec.bottomUp = layout & 1;
    // Exactly the bytes the rows need, so that a read past them shows.
    bytes.resize(std::max<size_t>(1, static_cast<size_t>(rec.rowStride) * h));
    const size_t start = in.pos;
    for (auto& b : bytes) b = in.size > start ? in.data[start + (&b - bytes.data()) % (in.size - start)] : 0x5A;
    rec.pixels = bytes.data();
  }
  uint32_t Checksum() const {
    uint32_t s = 0;
    for (uint8_t b : bytes) s = s * 31 + b;
    return s;
  }
};

int16_t CopyMethod(PixelProcessMethodRec* p, uint32_t param) {
  *p->red = static_cast<uint8_t>(p->refRed ^ param);
  *p->green = p->refGreen;
  *p->blue = static_cast<uint8_t>(p->refBlue + p->x + p->y);
  return static_cast<int16_t>(p->result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const uint8_t op = in.Byte();
  const int w = in.Byte() % 25, h = in.Byte() % 25;
  const uint8_t layoutA = in.Byte(), layoutB = in.Byte(), grow = in.Byte();
  const int16_t p1 = in.Int16(), p2 = in.Int16(), p3 = in.Int16();
  const uint32_t flags = in.Word();
  // The second picture: usually as large or larger, sometimes one smaller.
  const int w2 = std::max(0, w + (grow & 3) - 1), h2 = std::max(0, h + ((grow >> 2) & 3) - 1);
  Buffer a(w, h, layoutA, in), b(w2, h2, layoutB, in);
  std::vector<uint8_t> tableBlock(RkGetCompressBlkSize(), 0xAB);
  auto* table = reinterpret_cast<ModuleTableRec*>(tableBlock.data());
  RkInitModuleTable(table);
  for (int c = 0; c < 3; ++c) a.rec.segmentLength[c] = b.rec.segmentLength[c] = static_cast<uint32_t>(p3 >> c);
  b.rec.codecFlags = flags;
  b.rec.componentIds = static_cast<uint32_t>(p2) * 0x10001u ^ flags;
  a.rec.auxCount1 = static_cast<uint16_t>(p3 % 40);
  a.rec.auxCount2 = static_cast<uint16_t>(p2 % 40);
  // Radii beyond the picture cost time without reaching anything new.
  const int16_t radius = static_cast<int16_t>(p1 % 64);

  int16_t result = 0;
  switch (op % 24) {
    case 0: result = RkProcessMethodImage(table, &a.rec, &b.rec, CopyMethod, nullptr); break;
    case 1: result = RkMaskingImage(table, &a.rec, &b.rec, nullptr); break;
    case 2: result = RkShadowingImage(table, &a.rec, &b.rec, radius, p2, p3, static_cast<uint16_t>(flags), nullptr); break;
    case 3: {
      Buffer twin = a;
      twin.rec.pixels = twin.bytes.data();
      result = rk::filters::RemoveNoise(table, &a.rec, flags, nullptr, rk::filters::MedianPath::kNetwork);
      Check(rk::filters::RemoveNoise(table, &twin.rec, flags, nullptr, rk::filters::MedianPath::kSelection) == result);
      Check(twin.bytes == a.bytes);
      break;
    }
    case 4: result = RkBlockNoiseReductionFilter(table, &a.rec, flags, nullptr); break;
    case 5: {
      const int16_t gains[3] = {p1, p2, p3};
      const uint16_t masks[3] = {static_cast<uint16_t>(flags >> 16), static_cast<uint16_t>(flags >> 20),
                                 static_cast<uint16_t>(flags >> 24)};
      const EdgeEnhanceParamRec params{static_cast<uint16_t>(flags), static_cast<int16_t>(p3 % 5), gains, masks};
      result = RkEdgeEnhanceFilter(table, &a.rec, &params, nullptr);
      break;
    }
    case 6: result = RkChromaEnhanceFilter(table, &a.rec, p1, nullptr); break;
    case 7: {
      double cb = 0, cr = 0;
      result = RkGetWhiteBalanceParam(table, &a.rec, &cb, &cr, 0);
      if (result == 0 && (cb != 0 || cr != 0)) result = RkAdjustWhiteBalance(table, &a.rec, cb, cr, nullptr);
      break;
    }
    case 8: result = RkAdjustWhiteBalance(table, &a.rec, p1 / 200.0, p2 / 200.0, nullptr); break;
    case 9: {
      double g[2];
      result = RkAutomaticWhiteBalance(table, &a.rec, &g[0], (flags & 1) ? &g[1] : nullptr, nullptr);
      break;
    }
    case 10:
    case 11: {
      const bool defocus = op % 24 == 11;
      Buffer twin = a;
      twin.rec.pixels = twin.bytes.data();
      using rk::filters::BlurPath;
      for (auto path : {BlurPath::kWindow, BlurPath::kDirect}) {
        ImageBlkAttrRec& d = path == BlurPath::kWindow ? a.rec : twin.rec;
        const int16_t r = defocus ? rk::filters::OutOfFocusBlur(table, &d, &b.rec, radius, nullptr, path)
                                  : rk::filters::DiamondBlur(table, &d, &b.rec, radius, flags, nullptr, path);
        if (path == BlurPath::kWindow) result = r;
        Check(r == result);
      }
      Check(twin.bytes == a.bytes);
      break;
    }
    case 12: result = RkBluringVPImage(table, &a.rec, &b.rec, static_cast<int16_t>(radius % 16), flags, nullptr); break;
    case 13: result = RkDistortionFilter(table, &a.rec, p1, nullptr); break;
    case 14: result = RkFreeRotateImage(table, &a.rec, &b.rec, p1, flags, nullptr); break;
    case 15: result = RkFreeRotateMaskImage(table, &a.rec, &b.rec, p1, flags, nullptr); break;
    case 16: result = RkFreeRotateMethodImage(table, &a.rec, &b.rec, p1, CopyMethod, nullptr); break;
    case 17: {
      std::vector<uint8_t> lut(65536);
      RkCreateSamplingLUT(lut.data());
      result = RkFreeRotateLUTImage(table, &a.rec, &b.rec, p1, flags, lut.data(), nullptr);
      break;
    }
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
    case 21: {
      // A work shop of exactly the queried size serves the filters.
      std::vector<uint8_t> shop(RkGetRemoveNoiseFilterWorkSpaceSize(&a.rec));
      RkSetCustomModuleTableWorkshop(table, shop.data());
      const int16_t gain = p1;
      const uint16_t mask = static_cast<uint16_t>(p2);
      const EdgeEnhanceParamRec params{static_cast<uint16_t>(flags), 1, &gain, &mask};
      result = (flags & 0x10000) ? RkEdgeEnhanceFilter(table, &a.rec, &params, nullptr)
                                 : RkRemoveNoiseFilter(table, &a.rec, flags, nullptr);
      RkSetCustomModuleTableWorkshop(table, nullptr);
      break;
    }
    case 22: {
      std::vector<uint8_t> shop(std::max<uint32_t>(1, RkGetBlockNoiseReductionFilterWorkSpaceSize(&a.rec)));
      RkSetCustomModuleTableWorkshop(table, shop.data());
      result = RkBlockNoiseReductionFilter(table, &a.rec, flags, nullptr);
      RkSetCustomModuleTableWorkshop(table, nullptr);
      break;
    }
    default: result = RkBluringOutFocusImage(table, &a.rec, &b.rec, p1, nullptr); break;
  }
  RkFreeModuleTable(table);
  // Every byte of both pictures is read, so that an unset byte would show.
  volatile uint32_t sink = a.Checksum() ^ b.Checksum() ^ static_cast<uint32_t>(result);
  (void)sink;
  return 0;
}
