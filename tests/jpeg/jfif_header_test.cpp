// JFIF header parsing: what the record and the module table hold after
// RkDecodeJFIFHeader, refusals of streams the decoders cannot handle, and
// reads that must stay inside the given size.
#include <gtest/gtest.h>

#include <cstring>

#include "jpeg/huffman_tables.h"
#include "jpeg_test_util.h"
#include "test_images.h"

namespace {

using jpegtest::Bytes;
using jpegtest::StreamBuilder;
using rktest::ModuleTable;

const std::vector<std::array<uint8_t, 3>> kColour = {{1, 0x21, 0}, {2, 0x11, 1}, {3, 0x11, 1}};
const std::vector<std::array<uint8_t, 3>> kGrey = {{1, 0x11, 0}};
const Bytes kEntropy = {0x12, 0x34, 0xFF, 0x00, 0x56};

// SOI .. SOS of a small colour stream; callers add data and EOI.
StreamBuilder ColourHead(bool withDht = true) {
  StreamBuilder b;
  b.Soi().App0(1, 72, 72).Dqt(0, 3);
  if (withDht) b.DhtStandard(true);
  b.Sof(0xC0, 16, 8, kColour).Sos(3);
  return b;
}

int32_t Parse(ModuleTableRec* table, const Bytes& data, ImageBlkAttrRec& image) {
  const uint32_t size = static_cast<uint32_t>(data.size());
  return RkDecodeJFIFHeader(table, data.data(), &size, &image);
}

// Copies the exact bytes into a heap block of that size, so that any read
// past the end shows under AddressSanitizer.
int32_t ParseExact(ModuleTableRec* table, const Bytes& data, ImageBlkAttrRec& image) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size()]);
  std::memcpy(copy.get(), data.data(), data.size());
  const uint32_t size = static_cast<uint32_t>(data.size());
  return RkDecodeJFIFHeader(table, copy.get(), &size, &image);
}

TEST(JfifHeader, NullArgumentsGiveMinusTwo) {
  ModuleTable table;
  ImageBlkAttrRec image{};
  const Bytes s = ColourHead().Raw(kEntropy).Eoi().bytes();
  const uint32_t size = static_cast<uint32_t>(s.size());
  EXPECT_EQ(RkDecodeJFIFHeader(table.get(), nullptr, &size, &image), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeJFIFHeader(table.get(), s.data(), &size, nullptr), RK_ERR_NULL);
  EXPECT_EQ(RkDecodeJFIFHeader(table.get(), s.data(), nullptr, &image), RK_ERR_NULL);
}

TEST(JfifHeader, FillsTheRecordFromTheFrame) {
  ModuleTable table;
  ImageBlkAttrRec image;
  std::memset(&image, 0xAB, sizeof image);  // fields read before they are set would show
  const Bytes s = ColourHead().Raw(kEntropy).Eoi().bytes();
  ASSERT_EQ(Parse(table.get(), s, image), 0);
  EXPECT_EQ(image.width, 16);
  EXPECT_EQ(image.height, 8);
  EXPECT_EQ(image.format, 0x3001);
  EXPECT_EQ(image.componentIds, 0x030201u);
  EXPECT_EQ(image.codecFlags, 0u);
  EXPECT_EQ(image.restartInterval, 0u);
  EXPECT_EQ(image.xDpi, 72);
  EXPECT_EQ(image.dataLength, kEntropy.size());
  EXPECT_EQ(image.data, s.data() + image.dataOffset);
  EXPECT_EQ(image.dataOffset, s.size() - 2 - kEntropy.size());
}

// Bytes before the SOI (an enclosing file, stray EOI and fill bytes): the
// result is the SOI's offset, and dataLength + dataOffset - SOI offset + 2
// is the size of the stream from SOI through EOI.
class LeadingBytes : public ::testing::TestWithParam<Bytes> {};

TEST_P(LeadingBytes, ResultIsTheSoiOffset) {
  ModuleTable table;
  ImageBlkAttrRec image{};
  const Bytes stream = ColourHead().Raw(kEntropy).Eoi().bytes();
  Bytes file = GetParam();
  file.insert(file.end(), stream.begin(), stream.end());
  file.insert(file.end(), {0x00, 0xFF, 0xD9, 0x11});  // trailing bytes after the stream
  const int32_t soi = Parse(table.get(), file, image);
  ASSERT_EQ(soi, static_cast<int32_t>(GetParam().size()));
  EXPECT_EQ(image.dataLength + image.dataOffset - soi + 2, stream.size());
}

INSTANTIATE_TEST_SUITE_P(Prefixes, LeadingBytes,
                         ::testing::Values(Bytes{}, Bytes{0x00}, Bytes{0xFF, 0xD9, 0x00},
                                           Bytes{0xFF, 0xFF, 0xFF}, Bytes(1000, 0x41),
                                           Bytes{0xFF, 0xDB, 0x00, 0x04, 0xFF}));

TEST(JfifHeader, TablesImpliedOnlyWhenAsked) {
  ModuleTable table;
  ImageBlkAttrRec image{};
  const Bytes s = ColourHead(false).Raw(kEntropy).Eoi().bytes();
  EXPECT_EQ(Parse(table.get(), s, image), RK_ERR_FORMAT);
  image.format = 0x4000 | 0x8000;  // both bits: not the request
  EXPECT_EQ(Parse(table.get(), s, image), RK_ERR_FORMAT);
  image.format = 0x8000;
  EXPECT_EQ(Parse(table.get(), s, image), 0);
  EXPECT_EQ(image.format, 0x3001);  // the request is consumed
}

TEST(JfifHeader, ImpliedTablesReinstallBothDefaultsAndKeepChrominance) {
  ModuleTable reference;
  ModuleTable table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize(), 0xEE);
  RkSetHuffmanLUTBuffer(table.get(), lut.data());
  // Load some other tables first: a stream whose only tables are destination 0.
  uint8_t bits[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  bits[1] = 2;
  ImageBlkAttrRec image{};
  const Bytes other = StreamBuilder().Soi().Dqt(0, 1).Dht(0x00, bits, {3, 4}).Dht(0x10, bits, {0, 1})
                          .Sof(0xC0, 8, 8, kColour).Sos(3).Raw(kEntropy).Eoi().bytes();
  ASSERT_EQ(Parse(table.get(), other, image), 0);
  // Now a stream without DHT and the caller's request for the defaults.
  image.format = 0x8000;
  ASSERT_EQ(Parse(table.get(), ColourHead(false).Raw(kEntropy).Eoi().bytes(), image), 0);
  for (int t = 0; t < 2; ++t) {
    EXPECT_EQ(0, std::memcmp(table->dcCodeTable[t], reference->dcCodeTable[t], 16 * sizeof(HuffCodeRec))) << t;
    EXPECT_EQ(0, std::memcmp(table->acCodeTable[t], reference->acCodeTable[t], 256 * sizeof(HuffCodeRec))) << t;
  }
  // The lookup buffers follow the tables: the chrominance DC code 110 (category 3)
  // is looked up as 3, where the luminance table would give 5.
  EXPECT_EQ(table->huffLut[1][0b110u << 13], 3);
  EXPECT_EQ(table->huffLut[0][0b110u << 13], 5);
}

TEST(JfifHeader, DestinationZeroHuffmanTablesServeChrominanceAfterSos) {
  ModuleTable table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize(), 0);
  RkSetHuffmanLUTBuffer(table.get(), lut.data());
  uint8_t dcBits[16] = {0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t acBits[16] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ImageBlkAttrRec image{};
  const Bytes s = StreamBuilder().Soi().Dqt(0, 1).Dht(0x00, dcBits, {0, 1, 2}).Dht(0x10, acBits, {0x00, 0x11})
                      .Sof(0xC0, 8, 8, kColour).Sos(3).Raw(kEntropy).Eoi().bytes();
  ASSERT_EQ(Parse(table.get(), s, image), 0);
  EXPECT_EQ(0, std::memcmp(table->dcCodeTable[1], table->dcCodeTable[0], 16 * sizeof(HuffCodeRec)));
  EXPECT_EQ(0, std::memcmp(table->acCodeTable[1], table->acCodeTable[0], 256 * sizeof(HuffCodeRec)));
  EXPECT_EQ(table->acCodeTable[1][0x11].length, 2);
  EXPECT_EQ(0, std::memcmp(table->huffLut[3], table->huffLut[2], 65536));
  EXPECT_EQ(0, std::memcmp(table->huffLut[1], table->huffLut[0], 65536));
}

TEST(JfifHeader, GreyScanDoesNotCopyTables) {
  ModuleTable table;
  ModuleTable reference;
  ImageBlkAttrRec image{};
  const Bytes s = StreamBuilder().Soi().Dqt(0, 1).DhtStandard(false).Sof(0xC0, 8, 8, kGrey).Sos(1)
                      .Raw(kEntropy).Eoi().bytes();
  ASSERT_EQ(Parse(table.get(), s, image), 0);
  EXPECT_EQ(0, std::memcmp(table->acCodeTable[1], reference->acCodeTable[1], 256 * sizeof(HuffCodeRec)));
}

struct DqtCase {
  const char* name;
  std::vector<uint8_t> destinations;
  uint8_t expected[3];  // value found in tables 0, 1, 2 (each destination d holds 10 + d)
};

class DqtDestinations : public ::testing::TestWithParam<DqtCase> {};

TEST_P(DqtDestinations, FillTheTablesAtAndAfterTheDestination) {
  ModuleTable table;
  for (int t = 0; t < 3; ++t) std::fill(table->quantTable[t], table->quantTable[t] + 64, uint16_t{99});
  StreamBuilder b;
  b.Soi();
  for (uint8_t d : GetParam().destinations) b.Dqt(d, static_cast<uint8_t>(10 + d));
  b.DhtStandard(true).Sof(0xC0, 8, 8, kColour).Sos(3).Raw(kEntropy).Eoi();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(table.get(), b.bytes(), image), 0);
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 64; ++i) ASSERT_EQ(table->quantTable[t][i], GetParam().expected[t]) << t << " " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DqtDestinations,
                         ::testing::Values(DqtCase{"only0", {0}, {10, 10, 10}},
                                           DqtCase{"zeroThenOne", {0, 1}, {10, 11, 11}},
                                           DqtCase{"all", {0, 1, 2}, {10, 11, 12}},
                                           DqtCase{"oneThenZero", {1, 0}, {10, 10, 10}},
                                           DqtCase{"destination3Ignored", {0, 3}, {10, 10, 10}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JfifHeader, DqtValuesGoToTheirNaturalPositions) {
  ModuleTable table;
  Bytes values(64);
  for (int k = 0; k < 64; ++k) values[k] = static_cast<uint8_t>(k + 1);
  Bytes sixteen{0x10};  // precision 1: 16-bit entries
  for (int k = 0; k < 64; ++k) sixteen.insert(sixteen.end(), {static_cast<uint8_t>(k), 0x02});
  const Bytes s = StreamBuilder().Soi().Dqt(0, 0, values).Segment(0xDB, [&] {
                    Bytes b = sixteen;
                    b[0] = 0x12;
                    return b;
                  }()).DhtStandard(true).Sof(0xC0, 8, 8, kColour).Sos(3).Raw(kEntropy).Eoi().bytes();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(table.get(), s, image), 0);
  // Zigzag position 2 is natural index 8 (row 1, column 0).
  EXPECT_EQ(table->quantTable[0][0], 1);
  EXPECT_EQ(table->quantTable[0][1], 2);
  EXPECT_EQ(table->quantTable[0][8], 3);
  EXPECT_EQ(table->quantTable[0][63], 64);
  EXPECT_EQ(table->quantTable[1][8], 3);
  // A 16-bit table for destination 2: entry k is k * 256 + 2.
  EXPECT_EQ(table->quantTable[2][0], 2);
  EXPECT_EQ(table->quantTable[2][8], 2 * 256 + 2);
  EXPECT_EQ(table->quantTable[2][63], 63 * 256 + 2);
}

struct App0Case {
  uint8_t units;
  uint16_t x, y;
  uint16_t xDpi, yDpi;
};

class App0Density : public ::testing::TestWithParam<App0Case> {};

TEST_P(App0Density, SetsTheResolution) {
  const App0Case& c = GetParam();
  ImageBlkAttrRec image{};
  StreamBuilder b;
  b.Soi().App0(c.units, c.x, c.y).Dqt(0, 1).DhtStandard(true).Sof(0xC0, 8, 8, kColour).Sos(3).Raw(kEntropy).Eoi();
  ASSERT_EQ(Parse(nullptr, b.bytes(), image), 0);
  EXPECT_EQ(image.xDpi, c.xDpi);
  EXPECT_EQ(image.yDpi, c.yDpi);
}

INSTANTIATE_TEST_SUITE_P(Units, App0Density,
                         ::testing::Values(App0Case{1, 300, 150, 300, 150}, App0Case{2, 28, 28, 700, 700},
                                           App0Case{0, 300, 300, 72, 72}, App0Case{1, 0, 96, 72, 96},
                                           App0Case{3, 300, 300, 72, 72},
                                           App0Case{2, 3000, 10, 65535, 250}));  // saturates

struct AdobeCase {
  const char* name;
  bool before;
  uint8_t transform;
  bool grey;
  uint32_t flags;
};

class AdobeTransform : public ::testing::TestWithParam<AdobeCase> {};

TEST_P(AdobeTransform, MarksRgbStreams) {
  const AdobeCase& c = GetParam();
  StreamBuilder b;
  b.Soi().Dqt(0, 1).DhtStandard(true);
  if (c.before) b.Adobe(c.transform);
  b.Sof(0xC0, 8, 8, c.grey ? kGrey : kColour);
  if (!c.before) b.Adobe(c.transform);
  b.Sos(c.grey ? 1 : 3).Raw(kEntropy).Eoi();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(nullptr, b.bytes(), image), 0);
  EXPECT_EQ(image.codecFlags, c.flags);
}

INSTANTIATE_TEST_SUITE_P(Cases, AdobeTransform,
                         ::testing::Values(AdobeCase{"beforeFrame", true, 0, false, RK_CODEC_FLAG_RGB},
                                           AdobeCase{"afterFrame", false, 0, false, 0},
                                           AdobeCase{"transformYcc", true, 1, false, 0},
                                           AdobeCase{"grey", true, 0, true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A sequential frame in several scans is for the progressive decoder: the
// record describes it as a progressive stream, from SOI to EOI.
TEST(JfifHeader, SequentialStreamInSeveralScansIsMarkedForTheProgressiveDecoder) {
  const Bytes s = ColourHead().Raw({0x11, 0x22}).Sos(1).Raw(kEntropy).Eoi().bytes();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(nullptr, s, image), 0);
  EXPECT_EQ(image.format, 0x3001 | RK_FORMAT_PROGRESSIVE);
  EXPECT_EQ(image.data, s.data());
  EXPECT_EQ(image.dataOffset, 0u);
  EXPECT_EQ(image.dataLength, s.size() - 2);
}

TEST(JfifHeader, ProgressiveStreamAddressesTheSoiAndLoadsLaterTables) {
  ModuleTable table;
  uint8_t bits[16] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes s = StreamBuilder().Raw({7, 7, 7}).Soi().Dqt(0, 1).DhtStandard(true).Sof(0xC2, 8, 8, kColour)
                      .Sos(3).Raw(kEntropy).Dht(0x11, bits, {0x42}).Sos(1).Raw(kEntropy).Eoi().bytes();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(table.get(), s, image), 3);
  EXPECT_EQ(image.format, 0x3001 | RK_FORMAT_PROGRESSIVE);
  EXPECT_EQ(image.data, s.data() + 3);
  EXPECT_EQ(image.dataOffset, 3u);
  EXPECT_EQ(image.dataLength, s.size() - 3 - 2);
  EXPECT_EQ(table->acCodeTable[1][0x42].length, 2);  // the table between the scans
}

TEST(JfifHeader, DriSetsTheInterval) {
  const Bytes s = StreamBuilder().Soi().Dqt(0, 1).DhtStandard(true).Sof(0xC0, 8, 8, kColour).Dri(40000)
                      .Sos(3).Raw(kEntropy).Eoi().bytes();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(nullptr, s, image), 0);
  EXPECT_EQ(image.restartInterval, 40000u);
}

TEST(JfifHeader, MarkersInsideCommentsAndAppSegmentsAreNotActedOn) {
  // A comment holding a whole fake stream tail, and an APP1 holding a
  // thumbnail with its own SOI, SOF and EOI.
  const Bytes fake = StreamBuilder().Soi().Sof(0xC0, 999, 999, kGrey).Sos(1).Eoi().bytes();
  const Bytes s = StreamBuilder().Soi().Com(fake).Segment(0xE1, fake).Dqt(0, 1).DhtStandard(true)
                      .Sof(0xC0, 16, 8, kColour).Sos(3).Raw(kEntropy).Eoi().bytes();
  ImageBlkAttrRec image{};
  ASSERT_EQ(Parse(nullptr, s, image), 0);
  EXPECT_EQ(image.width, 16);
  EXPECT_EQ(image.dataLength, kEntropy.size());
}

TEST(JfifHeader, EoiBeforeSoiIsPassedOver) {
  Bytes s{0xFF, 0xD9, 0xFF, 0xD9};
  const Bytes stream = ColourHead().Raw(kEntropy).Eoi().bytes();
  s.insert(s.end(), stream.begin(), stream.end());
  ImageBlkAttrRec image{};
  EXPECT_EQ(Parse(nullptr, s, image), 4);
}

TEST(JfifHeader, RecognisedFrameIsRequiredEvenWithAStaleSize) {
  // SOF1 is not decoded: a record left with an earlier size must not make
  // the stream look usable.
  const Bytes s = StreamBuilder().Soi().Dqt(0, 1).DhtStandard(true).Sof(0xC1, 8, 8, kColour).Sos(3)
                      .Raw(kEntropy).Eoi().bytes();
  ImageBlkAttrRec image{};
  image.width = 640;
  image.height = 480;
  EXPECT_EQ(Parse(nullptr, s, image), RK_ERR_FORMAT);
}

TEST(JfifHeader, EveryPrefixIsRefusedWithoutReadingPastIt) {
  ModuleTable table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize(), 0);
  RkSetHuffmanLUTBuffer(table.get(), lut.data());
  const Bytes s = ColourHead().Dri(2).Raw(kEntropy).Eoi().bytes();
  for (size_t n = 1; n < s.size(); ++n) {
    ImageBlkAttrRec image{};
    EXPECT_EQ(ParseExact(table.get(), Bytes(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n)), image),
              RK_ERR_FORMAT)
        << n;
  }
  ImageBlkAttrRec image{};
  EXPECT_EQ(ParseExact(table.get(), s, image), 0);
}

TEST(JfifHeader, SegmentEndingOneBytePastTheDataIsNotActedOn) {
  // The last DQT claims one byte more than the buffer holds: its table must
  // not be loaded (that would read past the buffer).
  ModuleTable table;
  Bytes s = ColourHead().Raw(kEntropy).Eoi().bytes();
  Bytes body{0x02};
  body.resize(65, 0x77);
  StreamBuilder tail;
  tail.Segment(0xDB, body, 68);
  s.insert(s.end() - 2, tail.bytes().begin(), tail.bytes().end());  // before EOI: then cut EOI
  s.resize(s.size() - 2);
  ImageBlkAttrRec image{};
  EXPECT_EQ(ParseExact(table.get(), s, image), RK_ERR_FORMAT);
  EXPECT_NE(table->quantTable[2][0], 0x77);
}

// Streams the decoders cannot handle are refused with -1, and a refused
// Huffman table never reaches the code tables.
struct RefusalCase {
  const char* name;
  Bytes stream;
};

StreamBuilder WithTables() { return StreamBuilder().Soi().Dqt(0, 1).DhtStandard(true); }

Bytes Finish(StreamBuilder b, int components = 3) { return b.Sos(components).Raw(kEntropy).Eoi().bytes(); }

std::vector<RefusalCase> RefusalCases() {
  uint8_t seventeenDc[16] = {0, 0, 0, 0, 0, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t oneDc[16] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t threeAtLength1[16] = {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  uint8_t tooManyAc[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  tooManyAc[15] = 255;
  tooManyAc[14] = 2;
  Bytes sixteen(17);
  for (int i = 0; i < 17; ++i) sixteen[i] = static_cast<uint8_t>(i % 12);
  Bytes manyAc(257, 1);
  std::vector<RefusalCase> cases;
  cases.push_back({"dcCountAbove16", Finish(WithTables().Dht(0x00, seventeenDc, sixteen).Sof(0xC0, 8, 8, kColour))});
  cases.push_back({"dcSymbol16", Finish(WithTables().Dht(0x01, oneDc, {16}).Sof(0xC0, 8, 8, kColour))});
  cases.push_back({"acCountAbove256", Finish(WithTables().Dht(0x10, tooManyAc, manyAc).Sof(0xC0, 8, 8, kColour))});
  cases.push_back({"notAPrefixCode", Finish(WithTables().Dht(0x10, threeAtLength1, {1, 2, 3}).Sof(0xC0, 8, 8, kColour))});
  {
    StreamBuilder b = WithTables();
    b.Segment(0xC4, {0x00, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5});  // 2 codes, 1 value
    cases.push_back({"tableRunsPastSegment", Finish(b.Sof(0xC0, 8, 8, kColour))});
  }
  cases.push_back({"precision12", Finish(WithTables().Sof(0xC0, 8, 8, kColour, 12))});
  cases.push_back({"twoComponents", Finish(WithTables().Sof(0xC0, 8, 8, {{1, 0x11, 0}, {2, 0x11, 1}}), 2)});
  cases.push_back({"fourComponents",
                   Finish(WithTables().Sof(0xC0, 8, 8, {{1, 0x11, 0}, {2, 0x11, 1}, {3, 0x11, 1}, {4, 0x11, 1}}), 3)});
  cases.push_back({"spanNotDividingMcu",
                   Finish(WithTables().Sof(0xC0, 8, 8, {{1, 0x31, 0}, {2, 0x21, 1}, {3, 0x11, 1}}))});
  cases.push_back({"samplingZero", Finish(WithTables().Sof(0xC0, 8, 8, {{1, 0x01, 0}, {2, 0x11, 1}, {3, 0x11, 1}}))});
  cases.push_back({"samplingFive", Finish(WithTables().Sof(0xC0, 8, 8, {{1, 0x51, 0}, {2, 0x11, 1}, {3, 0x11, 1}}))});
  {
    StreamBuilder b = WithTables();
    b.Segment(0xC0, {8, 0, 8, 0, 8, 3, 1, 0x11, 0});  // claims 3 components, holds 1
    cases.push_back({"frameShorterThanItsComponents", Finish(b)});
  }
  return cases;
}

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusal, GivesFormatError) {
  ModuleTable table;
  ModuleTable defaults;
  ImageBlkAttrRec image{};
  EXPECT_EQ(ParseExact(table.get(), GetParam().stream, image), RK_ERR_FORMAT);
  ImageBlkAttrRec measured{};
  EXPECT_EQ(ParseExact(nullptr, GetParam().stream, measured), RK_ERR_FORMAT);
}

INSTANTIATE_TEST_SUITE_P(Streams, Refusal, ::testing::ValuesIn(RefusalCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
