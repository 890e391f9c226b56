// The module table: default codec tables, custom layout, table setters and
// getters, and the image-record initialiser.
#include <cmath>
#include <cstring>
#include <span>

#include "memory.h"
#include "rastkit.h"
#include "std_tables.h"
#include "table_check.h"

namespace rk {
namespace {

// Byte sizes of the arrays, in the order of the custom layout.
constexpr size_t kQuantBytes = 64 * sizeof(uint16_t);       // 128
constexpr size_t kDcBytes = 16 * sizeof(HuffCodeRec);       // 64
constexpr size_t kAcBytes = 256 * sizeof(HuffCodeRec);      // 1024
constexpr size_t kZigzagBytes = 64 * sizeof(int16_t);      // 128
constexpr size_t kBitScratchBytes = 16 * sizeof(uint32_t);  // 64
constexpr size_t kCoefScratchBytes = 64 * sizeof(uint32_t); // 256
constexpr size_t kCustomLayoutBytes = 3 * kQuantBytes + 2 * kDcBytes + 2 * kAcBytes +
                                      kZigzagBytes + kBitScratchBytes + kCoefScratchBytes;
static_assert(kCustomLayoutBytes == 3008);
static_assert(sizeof(HuffCodeRec) == 4);

constexpr uint32_t kLutBytes = 65536;

// round(32768 * v), halves away from zero (std::lround), with pi = 2 asin(1).
int16_t FixedConstant(double v) { return static_cast<int16_t>(std::lround(32768.0 * v)); }

void WriteIdctConstants(ModuleTableRec* t) {
  const double pi = 2.0 * std::asin(1.0);
  t->idctConst[0] = FixedConstant(1.0 / std::sqrt(2.0));  // r   = 23170
  t->idctConst[1] = FixedConstant(std::cos(pi / 4));      // c4  = 23170
  t->idctConst[2] = FixedConstant(std::cos(pi / 16));     // c1  = 32138
  t->idctConst[3] = FixedConstant(std::cos(pi / 8));      // c2  = 30274
  t->idctConst[4] = FixedConstant(std::cos(3 * pi / 16)); // c3  = 27246
  t->idctConst[5] = FixedConstant(std::sin(pi / 16));     // s1  = 6393
  t->idctConst[6] = FixedConstant(std::sin(pi / 8));      // s2  = 12540
  t->idctConst[7] = FixedConstant(std::sin(3 * pi / 16)); // s3  = 18205
}

void WriteDefaultQuant(ModuleTableRec* t) {
  if (t->quantTable[0]) std::memcpy(t->quantTable[0], kStdLuminanceQuant.data(), kQuantBytes);
  for (int i = 1; i < 3; ++i) {
    if (t->quantTable[i]) std::memcpy(t->quantTable[i], kStdChrominanceQuant.data(), kQuantBytes);
  }
}

void WriteLuminanceCodes(ModuleTableRec* t) {
  if (t->dcCodeTable[0]) WriteDefaultDcLuminance(std::span<HuffCodeRec, 16>(t->dcCodeTable[0], 16));
  if (t->acCodeTable[0]) BuildCodeEntries(kStdAcLuminance, std::span(t->acCodeTable[0], 256));
}

void WriteChrominanceCodes(ModuleTableRec* t) {
  if (t->dcCodeTable[1]) WriteDefaultDcChrominance(std::span<HuffCodeRec, 16>(t->dcCodeTable[1], 16));
  if (t->acCodeTable[1]) BuildCodeEntries(kStdAcChrominance, std::span(t->acCodeTable[1], 256));
}

// Steps shared by both initialisations once the arrays are in place.
void FillTables(ModuleTableRec* t) {
  WriteDefaultQuant(t);
  t->decodeError = 0;
  if (t->zigzag) std::memcpy(t->zigzag, kZigzag.data(), kZigzagBytes);
  WriteIdctConstants(t);
  WriteLuminanceCodes(t);
  WriteChrominanceCodes(t);
  t->workShop = nullptr;
  t->inputGamma = nullptr;
  t->outputGamma = nullptr;
  t->comment = nullptr;
  t->commentLength = 0;
  t->progStats = nullptr;
  t->statsSwitch = 0;
  for (auto& lut : t->huffLut) lut = nullptr;
}

template <typename T>
T* Alloc(size_t bytes) {
  return static_cast<T*>(AllocZeroed(bytes, 1));
}

}  // namespace
}  // namespace rk

using namespace rk;

extern "C" {

RK_API void RkInitImageAttribute(ImageBlkAttrRec* image) {
  if (image == nullptr) return;
  std::memset(image, 0, sizeof(*image));
  image->redOffset = 1;
  image->greenOffset = 2;
  image->blueOffset = 3;
  image->pixelStride = 4;
  image->bottomUp = 0;
}

RK_API uint32_t RkGetCompressBlkSize(void) { return sizeof(ModuleTableRec); }

RK_API uint32_t RkGetModuleTableWorkSpaceSize(void) { return kCustomLayoutBytes; }

RK_API void RkInitModuleTable(ModuleTableRec* t) {
  if (t == nullptr) return;
  for (auto& q : t->quantTable) q = Alloc<uint16_t>(kQuantBytes);
  for (auto& d : t->dcCodeTable) d = Alloc<HuffCodeRec>(kDcBytes);
  for (auto& a : t->acCodeTable) a = Alloc<HuffCodeRec>(kAcBytes);
  t->zigzag = Alloc<int16_t>(kZigzagBytes);
  t->bitScratch = Alloc<uint32_t>(kBitScratchBytes);
  t->coefScratch = Alloc<uint32_t>(kCoefScratchBytes);
  t->ownsArrays = 1;
  FillTables(t);
}

RK_API void RkInitCustomModuleTable(ModuleTableRec* t, void* buffer) {
  if (t == nullptr || buffer == nullptr) return;
  auto* p = static_cast<uint8_t*>(buffer);
  std::memset(p, 0, kCustomLayoutBytes);
  for (auto& q : t->quantTable) { q = reinterpret_cast<uint16_t*>(p); p += kQuantBytes; }
  for (auto& d : t->dcCodeTable) { d = reinterpret_cast<HuffCodeRec*>(p); p += kDcBytes; }
  for (auto& a : t->acCodeTable) { a = reinterpret_cast<HuffCodeRec*>(p); p += kAcBytes; }
  t->zigzag = reinterpret_cast<int16_t*>(p); p += kZigzagBytes;
  t->bitScratch = reinterpret_cast<uint32_t*>(p); p += kBitScratchBytes;
  t->coefScratch = reinterpret_cast<uint32_t*>(p);
  t->ownsArrays = 0;
  FillTables(t);
}

RK_API void RkFreeModuleTable(ModuleTableRec* t) {
  if (t == nullptr) return;
  if (t->ownsArrays) {
    for (auto& q : t->quantTable) { FreeMemory(q); q = nullptr; }
    for (auto& d : t->dcCodeTable) { FreeMemory(d); d = nullptr; }
    for (auto& a : t->acCodeTable) { FreeMemory(a); a = nullptr; }
    FreeMemory(t->zigzag); t->zigzag = nullptr;
    FreeMemory(t->bitScratch); t->bitScratch = nullptr;
    FreeMemory(t->coefScratch); t->coefScratch = nullptr;
    t->ownsArrays = 0;
  }
  FreeMemory(t->inputGamma); t->inputGamma = nullptr;
  FreeMemory(t->outputGamma); t->outputGamma = nullptr;
}

RK_API void RkSetCustomModuleTableWorkshop(ModuleTableRec* t, void* buffer) {
  if (t != nullptr) t->workShop = buffer;
}

RK_API void* RkGetCustomModuleTableWorkshop(ModuleTableRec* t) {
  return t != nullptr ? t->workShop : nullptr;
}

// The setters below change a table only when all its arrays are there
// (TableArraysReady): a table that lost some to a failed allocation stays
// as it is, and every codec call refuses it.

RK_API void RkInitLHuffmanTable(ModuleTableRec* t) {
  if (TableArraysReady(t)) WriteLuminanceCodes(t);
}

RK_API void RkInitCHuffmanTable(ModuleTableRec* t) {
  if (TableArraysReady(t)) WriteChrominanceCodes(t);
}

RK_API void RkSetQuantizeTable(ModuleTableRec* t, const uint16_t* values, int32_t index) {
  if (!TableArraysReady(t) || values == nullptr || index < 0 || index > 2) return;
  std::memcpy(t->quantTable[index], values, kQuantBytes);
}

RK_API void RkSetQuantizeScaleFactor(ModuleTableRec* t, const double* lumScale,
                                     const double* chromScale) {
  if (!TableArraysReady(t)) return;
  WriteDefaultQuant(t);
  // t(q * s): clamp the double product to 1.0 .. 255.0, then truncate. A NaN
  // scale fails both comparisons; it is treated as the largest value so the
  // table stays valid (entries 1..255) instead of converting NaN to integer.
  auto scaled = [](uint16_t q, double s) -> uint16_t {
    double v = q * s;
    if (!(v <= 255.0)) v = 255.0;
    if (v < 1.0) v = 1.0;
    return static_cast<uint16_t>(v);
  };
  if (lumScale != nullptr) {
    for (int i = 0; i < 64; ++i) t->quantTable[0][i] = scaled(kStdLuminanceQuant[i], *lumScale);
  }
  if (chromScale != nullptr) {
    for (int k = 1; k < 3; ++k) {
      for (int i = 0; i < 64; ++i) t->quantTable[k][i] = scaled(kStdChrominanceQuant[i], *chromScale);
    }
  }
}

RK_API void RkSetHuffmanTable(ModuleTableRec* t, const HuffCodeRec* entries, int32_t index) {
  if (!TableArraysReady(t) || entries == nullptr) return;
  HuffCodeRec* dest = nullptr;
  size_t count = 0;
  switch (index) {
    case 0: dest = t->dcCodeTable[0]; count = 16; break;
    case 1: dest = t->dcCodeTable[1]; count = 16; break;
    case 2: dest = t->acCodeTable[0]; count = 256; break;
    case 3: dest = t->acCodeTable[1]; count = 256; break;
    default: return;
  }
  std::memcpy(dest, entries, count * sizeof(HuffCodeRec));
}

RK_API void RkSetHuffmanLUTBuffer(ModuleTableRec* t, uint8_t* buffer) {
  if (t == nullptr) return;
  for (int i = 0; i < 4; ++i) t->huffLut[i] = buffer ? buffer + i * kLutBytes : nullptr;
}

RK_API uint32_t RkGetHuffmanLUTBufSize(void) { return 4 * kLutBytes; }

RK_API void RkSetGlobalComment(ModuleTableRec* t, const uint8_t* text, uint32_t length) {
  if (t == nullptr) return;
  t->comment = text;
  t->commentLength = length;
}

RK_API const uint8_t* RkGetGlobalComment(ModuleTableRec* t, uint32_t* length) {
  if (t == nullptr) return nullptr;
  if (length != nullptr) *length = t->commentLength;
  return t->comment;
}

}  // extern "C"
