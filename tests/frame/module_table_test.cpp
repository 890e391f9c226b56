// The module table: default tables, scaling, custom layout and setters.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "rastkit.h"
#include "test_images.h"

namespace {

using rktest::Bitmap24;
using rktest::ModuleTable;

// Natural-order T.81 Table K.1, written out here independently of the library.
constexpr uint16_t kK1[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                              14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                              18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                              49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

uint16_t K2(int i) {
  static constexpr uint16_t head[4][4] = {{17, 18, 24, 47}, {18, 21, 26, 66}, {24, 26, 56, 99}, {47, 66, 99, 99}};
  const int r = i / 8, c = i % 8;
  return (r < 4 && c < 4) ? head[r][c] : 99;
}

void ExpectDefaultQuant(ModuleTableRec* t) {
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(t->quantTable[0][i], kK1[i]) << i;
    EXPECT_EQ(t->quantTable[1][i], K2(i)) << i;
    EXPECT_EQ(t->quantTable[2][i], K2(i)) << i;
  }
}

TEST(ModuleTable, SizeIsTheRealRecord) {
  EXPECT_EQ(RkGetCompressBlkSize(), sizeof(ModuleTableRec));
  EXPECT_EQ(RkGetModuleTableWorkSpaceSize(), 3008u);
  EXPECT_EQ(RkGetHuffmanLUTBufSize(), 262144u);
}

TEST(ModuleTable, DefaultsAfterStandardInit) {
  ModuleTable t;  // the block is filled with 0xAB before init
  ExpectDefaultQuant(t.get());
  const int16_t zz[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                          12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                          35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                          58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  EXPECT_EQ(0, std::memcmp(t->zigzag, zz, sizeof zz));
  const int16_t consts[8] = {23170, 23170, 32138, 30274, 27246, 6393, 12540, 18205};
  EXPECT_EQ(0, std::memcmp(t->idctConst, consts, sizeof consts));
  EXPECT_EQ(t->decodeError, 0);
  EXPECT_EQ(t->workShop, nullptr);
  EXPECT_EQ(t->inputGamma, nullptr);
  EXPECT_EQ(t->outputGamma, nullptr);
  EXPECT_EQ(t->comment, nullptr);
  EXPECT_EQ(t->commentLength, 0u);
  EXPECT_EQ(t->progStats, nullptr);
  EXPECT_EQ(t->statsSwitch, 0);
  for (auto* lut : t->huffLut) EXPECT_EQ(lut, nullptr);
}

TEST(ModuleTable, DefaultHuffmanCodes) {
  ModuleTable t;
  // T.81 Table K.3 (luminance DC) and the four extra categories.
  const HuffCodeRec dcl[16] = {{0, 2},     {2, 3},     {3, 3},     {4, 3},      {5, 3},    {6, 3},
                               {14, 4},    {30, 5},    {62, 6},    {126, 7},    {254, 8},  {510, 9},
                               {1022, 10}, {2046, 11}, {4094, 12}, {8190, 13}};
  // Table K.4 (chrominance DC) and its extension.
  const HuffCodeRec dcc[16] = {{0, 2},     {1, 2},     {2, 2},      {6, 3},      {14, 4},   {30, 5},
                               {62, 6},    {126, 7},   {254, 8},    {510, 9},    {1022, 10}, {2046, 11},
                               {4094, 12}, {8190, 13}, {16382, 14}, {32766, 15}};
  for (int s = 0; s < 16; ++s) {
    EXPECT_EQ(t->dcCodeTable[0][s].code, dcl[s].code) << s;
    EXPECT_EQ(t->dcCodeTable[0][s].length, dcl[s].length) << s;
    EXPECT_EQ(t->dcCodeTable[1][s].code, dcc[s].code) << s;
    EXPECT_EQ(t->dcCodeTable[1][s].length, dcc[s].length) << s;
  }
  // A sample of Table K.5 and K.6 entries, including EOB, ZRL and the longest codes.
  struct Ac { int sym; uint16_t code, len; };
  const Ac lum[] = {{0x00, 0xA, 4},  {0x01, 0x0, 2},   {0x02, 0x1, 2},    {0x03, 0x4, 3},
                    {0x11, 0xC, 4},  {0xF0, 0x7F9, 11}, {0x0A, 0xFF83, 16}, {0xFA, 0xFFFE, 16},
                    {0x31, 0x3A, 6}};
  const Ac chr[] = {{0x00, 0x0, 2},  {0x01, 0x1, 2},    {0x02, 0x4, 3},    {0xF0, 0x3FA, 10},
                    {0x0A, 0xFF4, 12}, {0xFA, 0xFFFE, 16}, {0x03, 0xA, 4}, {0x11, 0xB, 4}};
  for (const Ac& a : lum) {
    EXPECT_EQ(t->acCodeTable[0][a.sym].code, a.code) << std::hex << a.sym;
    EXPECT_EQ(t->acCodeTable[0][a.sym].length, a.len) << std::hex << a.sym;
  }
  for (const Ac& a : chr) {
    EXPECT_EQ(t->acCodeTable[1][a.sym].code, a.code) << std::hex << a.sym;
    EXPECT_EQ(t->acCodeTable[1][a.sym].length, a.len) << std::hex << a.sym;
  }
  // Symbols the standard does not list have no code; each table has 162 codes.
  int lumCodes = 0, chrCodes = 0;
  for (int s = 0; s < 256; ++s) {
    lumCodes += t->acCodeTable[0][s].length > 0;
    chrCodes += t->acCodeTable[1][s].length > 0;
  }
  EXPECT_EQ(lumCodes, 162);
  EXPECT_EQ(chrCodes, 162);
  EXPECT_EQ(t->acCodeTable[0][0x0B].length, 0);
  EXPECT_EQ(t->acCodeTable[0][0x80].length, 0);
}

TEST(ModuleTable, HuffmanReinstallRestoresOnlyItsOwnHalf) {
  ModuleTable t;
  std::vector<HuffCodeRec> junk(256, HuffCodeRec{7, 3});
  for (int i = 0; i < 4; ++i) RkSetHuffmanTable(t.get(), junk.data(), i);
  EXPECT_EQ(t->acCodeTable[1][0].length, 3);
  RkInitLHuffmanTable(t.get());
  EXPECT_EQ(t->dcCodeTable[0][0].length, 2);
  EXPECT_EQ(t->acCodeTable[0][0x0B].length, 0);
  EXPECT_EQ(t->dcCodeTable[1][0].code, 7);  // chrominance untouched
  RkInitCHuffmanTable(t.get());
  EXPECT_EQ(t->dcCodeTable[1][0].code, 0);
  EXPECT_EQ(t->acCodeTable[1][0xF0].code, 0x3FA);
  // Indexes other than 0..3 and null entries change nothing.
  RkSetHuffmanTable(t.get(), junk.data(), 4);
  RkSetHuffmanTable(t.get(), junk.data(), -1);
  RkSetHuffmanTable(t.get(), nullptr, 0);
  EXPECT_EQ(t->dcCodeTable[0][0].length, 2);
}

TEST(QuantizeScale, EdgeCases) {
  ModuleTable t;
  const double one = 1.0, tiny = 0.01, ten = 10.0, half = 0.5;
  RkSetQuantizeScaleFactor(t.get(), &one, &one);
  ExpectDefaultQuant(t.get());

  RkSetQuantizeScaleFactor(t.get(), &tiny, &tiny);
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 64; ++i) EXPECT_EQ(t->quantTable[k][i], 1) << k << "," << i;

  RkSetQuantizeScaleFactor(t.get(), &ten, &ten);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(t->quantTable[0][i], std::min<int>(kK1[i] * 10, 255)) << i;
    EXPECT_EQ(t->quantTable[2][i], std::min<int>(K2(i) * 10, 255)) << i;
  }
  EXPECT_EQ(t->quantTable[0][0], 160);  // 16 x 10 stays below the clamp

  RkSetQuantizeScaleFactor(t.get(), &half, &half);
  EXPECT_EQ(t->quantTable[0][1], 5);    // 11 x 0.5 = 5.5 truncates to 5
  EXPECT_EQ(t->quantTable[1][63], 49);  // 99 x 0.5
  EXPECT_EQ(t->quantTable[0][0], 8);
}

TEST(QuantizeScale, NeverCumulativeAndNullPointersRestore) {
  ModuleTable t;
  const double half = 0.5, two = 2.0;
  RkSetQuantizeScaleFactor(t.get(), &half, &half);
  RkSetQuantizeScaleFactor(t.get(), &half, &half);
  EXPECT_EQ(t->quantTable[0][0], 8);  // 16 x 0.5, not 16 x 0.25

  // Only the luminance pointer: chrominance tables go back to the defaults.
  RkSetQuantizeScaleFactor(t.get(), &two, nullptr);
  EXPECT_EQ(t->quantTable[0][0], 32);
  EXPECT_EQ(t->quantTable[1][0], 17);
  RkSetQuantizeScaleFactor(t.get(), nullptr, &two);
  EXPECT_EQ(t->quantTable[0][0], 16);
  EXPECT_EQ(t->quantTable[2][0], 34);

  std::array<uint16_t, 64> custom;
  custom.fill(3);
  RkSetQuantizeTable(t.get(), custom.data(), 2);
  EXPECT_EQ(t->quantTable[2][10], 3);
  RkSetQuantizeTable(t.get(), custom.data(), 3);  // out of range: ignored
  RkSetQuantizeTable(t.get(), nullptr, 0);
  EXPECT_EQ(t->quantTable[0][0], 16);
  RkSetQuantizeScaleFactor(t.get(), nullptr, nullptr);
  ExpectDefaultQuant(t.get());
}

TEST(QuantizeScale, NonFiniteScaleKeepsTableValid) {
  ModuleTable t;
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity(), neg = -3.0;
  RkSetQuantizeScaleFactor(t.get(), &nan, &inf);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(t->quantTable[0][i], 255);
    EXPECT_EQ(t->quantTable[1][i], 255);
  }
  RkSetQuantizeScaleFactor(t.get(), &neg, &neg);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(t->quantTable[0][i], 1);
}

TEST(CustomLayout, ArraysLieInTheCallerBufferInOrder) {
  std::vector<uint8_t> block(RkGetCompressBlkSize(), 0xAB);
  std::vector<uint8_t> buffer(RkGetModuleTableWorkSpaceSize(), 0xAB);
  auto* t = reinterpret_cast<ModuleTableRec*>(block.data());
  RkInitCustomModuleTable(t, buffer.data());
  uint8_t* b = buffer.data();
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->quantTable[0]), b + 0);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->quantTable[1]), b + 128);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->quantTable[2]), b + 256);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->dcCodeTable[0]), b + 384);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->dcCodeTable[1]), b + 448);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->acCodeTable[0]), b + 512);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->acCodeTable[1]), b + 1536);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->zigzag), b + 2560);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->bitScratch), b + 2688);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(t->coefScratch), b + 2752);
  ExpectDefaultQuant(t);
  EXPECT_EQ(t->acCodeTable[1][0xF0].code, 0x3FA);
  EXPECT_EQ(t->idctConst[2], 32138);
  // Freeing a custom table must leave the caller's buffer alone (it is not
  // heap memory of ours); the arrays stay usable.
  RkFreeModuleTable(t);
  EXPECT_EQ(t->quantTable[0][0], 16);

  // A null buffer does nothing at all.
  std::vector<uint8_t> untouched(RkGetCompressBlkSize(), 0xCD);
  RkInitCustomModuleTable(reinterpret_cast<ModuleTableRec*>(untouched.data()), nullptr);
  for (uint8_t v : untouched) ASSERT_EQ(v, 0xCD);
}

TEST(ModuleTable, FreeTwiceIsHarmless) {
  std::vector<uint8_t> block(RkGetCompressBlkSize(), 0);
  auto* t = reinterpret_cast<ModuleTableRec*>(block.data());
  RkInitModuleTable(t);
  RkFreeModuleTable(t);
  EXPECT_EQ(t->quantTable[0], nullptr);
  RkFreeModuleTable(t);  // must not free again (the sanitizer build catches it)
}

TEST(ModuleTable, WorkShopLutAndComment) {
  ModuleTable t;
  std::vector<uint8_t> shop(100);
  RkSetCustomModuleTableWorkshop(t.get(), shop.data());
  EXPECT_EQ(RkGetCustomModuleTableWorkshop(t.get()), shop.data());
  RkSetCustomModuleTableWorkshop(t.get(), nullptr);
  EXPECT_EQ(RkGetCustomModuleTableWorkshop(t.get()), nullptr);
  EXPECT_EQ(RkGetCustomModuleTableWorkshop(nullptr), nullptr);

  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize());
  RkSetHuffmanLUTBuffer(t.get(), lut.data());
  EXPECT_EQ(t->huffLut[0], lut.data());
  EXPECT_EQ(t->huffLut[1], lut.data() + 65536);
  EXPECT_EQ(t->huffLut[2], lut.data() + 131072);
  EXPECT_EQ(t->huffLut[3], lut.data() + 196608);
  RkSetHuffmanLUTBuffer(t.get(), nullptr);
  for (auto* p : t->huffLut) EXPECT_EQ(p, nullptr);

  const uint8_t text[] = "Corvid";
  RkSetGlobalComment(t.get(), text, 6);
  uint32_t len = 0;
  EXPECT_EQ(RkGetGlobalComment(t.get(), &len), text);
  EXPECT_EQ(len, 6u);
  EXPECT_EQ(RkGetGlobalComment(t.get(), nullptr), text);  // length pointer optional
  RkSetGlobalComment(t.get(), nullptr, 0);
  EXPECT_EQ(RkGetGlobalComment(t.get(), &len), nullptr);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(RkGetGlobalComment(nullptr, &len), nullptr);
}

TEST(ModuleTable, NullTableIsIgnoredEverywhere) {
  const double s = 1.0;
  uint16_t q[64] = {};
  HuffCodeRec h[256] = {};
  std::vector<uint8_t> buf(RkGetModuleTableWorkSpaceSize(), 0xAB);
  const std::vector<uint8_t> before = buf;
  RkInitModuleTable(nullptr);
  RkFreeModuleTable(nullptr);
  RkInitCustomModuleTable(nullptr, buf.data());  // would lay out and clear the buffer
  RkSetCustomModuleTableWorkshop(nullptr, buf.data());
  RkInitLHuffmanTable(nullptr);
  RkInitCHuffmanTable(nullptr);
  RkSetQuantizeTable(nullptr, q, 0);
  RkSetQuantizeScaleFactor(nullptr, &s, &s);
  RkSetHuffmanTable(nullptr, h, 0);
  RkSetHuffmanLUTBuffer(nullptr, buf.data());
  RkSetGlobalComment(nullptr, buf.data(), 1);
  RkInitImageAttribute(nullptr);
  EXPECT_EQ(buf, before);
  uint32_t length = 77;
  EXPECT_EQ(RkGetGlobalComment(nullptr, &length), nullptr);
  EXPECT_EQ(length, 77u);
  EXPECT_EQ(RkGetCustomModuleTableWorkshop(nullptr), nullptr);
}

// Every byte a table holds: the record and each array that is there.
std::vector<uint8_t> TableBytes(const ModuleTableRec* t) {
  const auto* rec = reinterpret_cast<const uint8_t*>(t);
  std::vector<uint8_t> bytes(rec, rec + sizeof *t);
  auto add = [&](const void* p, size_t n) {
    if (p != nullptr) bytes.insert(bytes.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  for (const uint16_t* q : t->quantTable) add(q, 128);
  for (int i = 0; i < 2; ++i) add(t->dcCodeTable[i], 64), add(t->acCodeTable[i], 1024);
  add(t->zigzag, 128);
  add(t->bitScratch, 64);
  add(t->coefScratch, 256);
  return bytes;
}

// RkInitModuleTable leaves a pointer null when an allocation fails. Every
// export that uses the table then answers -2 and writes nothing: not the
// table, not the record, not the pixels or the output buffer. Each call
// gets inputs it accepts with a whole table.
TEST(ModuleTable, MissingArraysAreRefusedEverywhere) {
  ModuleTable whole;
  Bitmap24 picture(rktest::MakePhotoLike(16, 8));
  std::vector<uint8_t> jpeg(4096);
  ImageBlkAttrRec encode{};
  picture.Describe(encode);
  encode.format = 0x3001;
  encode.data = jpeg.data();
  encode.dataLength = static_cast<uint32_t>(jpeg.size());
  ASSERT_EQ(RkExportImageByJFIF(whole.get(), &encode, nullptr), RK_OK);
  jpeg.resize(encode.dataLength);
  const uint32_t jpegSize = encode.dataLength;
  encode.data = nullptr;  // each encoding call points it at its own output
  encode.dataLength = 4096;
  ImageBlkAttrRec jpegHeader{};
  ASSERT_EQ(RkDecodeJFIFHeader(whole.get(), jpeg.data(), &jpegSize, &jpegHeader), 0);
  const std::vector<uint8_t> cam = rktest::ReadFile(RK_SOURCE_DIR "/samples/photo_scene.cam");
  const uint32_t camSize = static_cast<uint32_t>(cam.size());
  ImageBlkAttrRec camHeader{};
  ASSERT_EQ(RkDecodeCAMHeader(whole.get(), cam.data(), nullptr, &camHeader), 0);
  camHeader.width = 480;
  camHeader.height = 240;

  // Decoders write through pixels (bottom-up BGR), encoders through data.
  auto bgr = [](ImageBlkAttrRec r, int width) {
    r.rowStride = 3 * width;
    r.pixelStride = 3;
    r.redOffset = 2;
    r.greenOffset = 1;
    r.blueOffset = 0;
    r.bottomUp = 1;
    return r;
  };
  enum class Out { kPixels, kData };
  using Run = std::function<int32_t(ModuleTableRec*, ImageBlkAttrRec*, uint8_t*)>;
  struct Call {
    const char* name;
    ImageBlkAttrRec start;
    Out out;
    size_t outBytes;
    Run run;  // the result, or 1 for the setters, which return nothing
  };
  const Call calls[] = {
      {"RkDecodeJFIFHeader", ImageBlkAttrRec{}, Out::kPixels, 0,
       [&](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return RkDecodeJFIFHeader(t, jpeg.data(), &jpegSize, r); }},
      {"RkDecompressImageByJPEG", bgr(jpegHeader, 16), Out::kPixels, 16 * 8 * 3,
       [](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return int32_t{RkDecompressImageByJPEG(t, r, nullptr)}; }},
      {"RkDecodeJFIF", ImageBlkAttrRec{}, Out::kPixels, 16 * 8 * 4,
       [&](ModuleTableRec* t, ImageBlkAttrRec*, uint8_t* out) {
         return int32_t{RkDecodeJFIF(t, jpeg.data(), &jpegSize, out, 64, nullptr)};
       }},
      {"RkDecodeCAMHeader", ImageBlkAttrRec{}, Out::kPixels, 0,
       [&](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return int32_t{RkDecodeCAMHeader(t, cam.data(), nullptr, r)}; }},
      {"RkDecodeCAMHeaderEx", ImageBlkAttrRec{}, Out::kPixels, 0,
       [&](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) {
         return int32_t{RkDecodeCAMHeaderEx(t, cam.data(), camSize, nullptr, r)};
       }},
      {"RkDecompressImageByCAM", bgr(camHeader, 480), Out::kPixels, 480 * 240 * 3,
       [](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return int32_t{RkDecompressImageByCAM(t, r, nullptr)}; }},
      {"RkCompressImageByJPEG", encode, Out::kData, 4096,
       [](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return int32_t{RkCompressImageByJPEG(t, r, nullptr)}; }},
      {"RkExportImageByJFIF", encode, Out::kData, 4096,
       [](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return int32_t{RkExportImageByJFIF(t, r, nullptr)}; }},
      {"RkGetExportJFIFImageSize", encode, Out::kData, 0,
       [](ModuleTableRec* t, ImageBlkAttrRec* r, uint8_t*) { return RkGetExportJFIFImageSize(t, r); }},
      {"table setters", ImageBlkAttrRec{}, Out::kData, 0,
       [](ModuleTableRec* t, ImageBlkAttrRec*, uint8_t*) {
         const double scale = 2.0;
         const uint16_t q[64] = {};
         const HuffCodeRec codes[256] = {};
         RkInitLHuffmanTable(t);
         RkInitCHuffmanTable(t);
         RkSetQuantizeTable(t, q, 1);
         RkSetQuantizeScaleFactor(t, &scale, &scale);
         RkSetHuffmanTable(t, codes, 3);
         return int32_t{1};
       }},
  };

  for (int missing = 0; missing < 10; ++missing) {
    ModuleTable broken;
    void** arrays[10] = {reinterpret_cast<void**>(&broken->quantTable[0]),
                         reinterpret_cast<void**>(&broken->quantTable[1]),
                         reinterpret_cast<void**>(&broken->quantTable[2]),
                         reinterpret_cast<void**>(&broken->dcCodeTable[0]),
                         reinterpret_cast<void**>(&broken->dcCodeTable[1]),
                         reinterpret_cast<void**>(&broken->acCodeTable[0]),
                         reinterpret_cast<void**>(&broken->acCodeTable[1]),
                         reinterpret_cast<void**>(&broken->zigzag),
                         reinterpret_cast<void**>(&broken->bitScratch),
                         reinterpret_cast<void**>(&broken->coefScratch)};
    std::free(*arrays[missing]);
    *arrays[missing] = nullptr;
    for (const Call& call : calls) {
      std::vector<uint8_t> out(call.outBytes + 1, 0xAB);
      ImageBlkAttrRec r = call.start;
      if (call.out == Out::kPixels && call.outBytes != 0) r.pixels = out.data();
      if (call.out == Out::kData && call.outBytes != 0) r.data = out.data();
      const ImageBlkAttrRec before = r;
      const std::vector<uint8_t> table = TableBytes(broken.get());
      const int32_t result = call.run(broken.get(), &r, out.data());
      const std::string where = std::string(call.name) + ", array " + std::to_string(missing);
      if (result != 1) {
        EXPECT_EQ(result, RK_ERR_NULL) << where;
      }
      EXPECT_EQ(0, std::memcmp(&r, &before, sizeof r)) << where;
      EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 0xAB)) << where;
      EXPECT_EQ(TableBytes(broken.get()), table) << where;
    }
  }
}

TEST(ImageAttribute, InitSetsTopDown32BitLayout) {
  ImageBlkAttrRec r;
  std::memset(&r, 0xAB, sizeof r);
  RkInitImageAttribute(&r);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.format, 0);
  EXPECT_EQ(r.dataLength, 0u);
  EXPECT_EQ(r.data, nullptr);
  EXPECT_EQ(r.pixels, nullptr);
  EXPECT_EQ(r.rowStride, 0);
  EXPECT_EQ(r.redOffset, 1u);
  EXPECT_EQ(r.greenOffset, 2u);
  EXPECT_EQ(r.blueOffset, 3u);
  EXPECT_EQ(r.pixelStride, 4u);
  EXPECT_EQ(r.bottomUp, 0);
  EXPECT_EQ(r.methodParam, 0u);
  EXPECT_EQ(r.segmentLength[2], 0u);
}

}  // namespace
