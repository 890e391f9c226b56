#include "jpeg_test_util.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <array>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace jpegtest {

Decoded DecodeToBitmap(const Bytes& stream, bool withLut, uint8_t fill) {
  Decoded out;
  rktest::ModuleTable table;
  std::vector<uint8_t> lut(RkGetHuffmanLUTBufSize());
  if (withLut) RkSetHuffmanLUTBuffer(table.get(), lut.data());
  ImageBlkAttrRec image{};
  const uint32_t size = static_cast<uint32_t>(stream.size());
  out.header = RkDecodeJFIFHeader(table.get(), stream.data(), &size, &image);
  if (out.header < 0) {
    out.result = static_cast<int16_t>(out.header);
    return out;
  }
  rktest::Bitmap24 bitmap(image.width, image.height, fill);
  bitmap.Describe(image);
  out.result = RkDecompressImageByJPEG(table.get(), &image, nullptr);
  out.rgb = bitmap.ToRgb();
  return out;
}

StreamBuilder& StreamBuilder::Raw(std::initializer_list<uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes);
  return *this;
}

StreamBuilder& StreamBuilder::Raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

StreamBuilder& StreamBuilder::Segment(uint8_t marker, const Bytes& body, int lengthOverride) {
  const int length = lengthOverride >= 0 ? lengthOverride : static_cast<int>(body.size()) + 2;
  Raw({0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
  return Raw(body);
}

StreamBuilder& StreamBuilder::App0(uint8_t units, uint16_t x, uint16_t y) {
  return Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, units, static_cast<uint8_t>(x >> 8),
                        static_cast<uint8_t>(x), static_cast<uint8_t>(y >> 8), static_cast<uint8_t>(y), 0, 0});
}

StreamBuilder& StreamBuilder::Adobe(uint8_t transform) {
  return Segment(0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, transform});
}

StreamBuilder& StreamBuilder::Dqt(uint8_t destination, uint8_t value, const Bytes& values) {
  Bytes body{destination};
  for (int k = 0; k < 64; ++k) body.push_back(values.empty() ? value : values[k]);
  return Segment(0xDB, body);
}

namespace {
// T.81 Tables K.3 to K.6 in DHT form.
constexpr uint8_t kDcLumBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChromBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kAcLumBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kAcChromBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
const Bytes kDcValues = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const Bytes kAcLumValues = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
const Bytes kAcChromValues = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
}  // namespace

StreamBuilder& StreamBuilder::Dht(uint8_t classDest, const uint8_t (&bits)[16], const Bytes& values) {
  Bytes body{classDest};
  body.insert(body.end(), bits, bits + 16);
  body.insert(body.end(), values.begin(), values.end());
  return Segment(0xC4, body);
}

StreamBuilder& StreamBuilder::DhtStandard(bool chroma) {
  Dht(0x00, kDcLumBits, kDcValues);
  Dht(0x10, kAcLumBits, kAcLumValues);
  if (chroma) {
    Dht(0x01, kDcChromBits, kDcValues);
    Dht(0x11, kAcChromBits, kAcChromValues);
  }
  return *this;
}

StreamBuilder& StreamBuilder::Sof(uint8_t marker, uint16_t width, uint16_t height,
                                  const std::vector<std::array<uint8_t, 3>>& components, uint8_t precision) {
  Bytes body{precision, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
             static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
             static_cast<uint8_t>(components.size())};
  for (const auto& c : components) body.insert(body.end(), c.begin(), c.end());
  return Segment(marker, body);
}

StreamBuilder& StreamBuilder::Dri(uint16_t interval) {
  return Segment(0xDD, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)});
}

StreamBuilder& StreamBuilder::Sos(int components) {
  Bytes body{static_cast<uint8_t>(components)};
  for (int c = 0; c < components; ++c) {
    body.push_back(static_cast<uint8_t>(c));
    body.push_back(c == 0 ? 0x00 : 0x11);
  }
  body.insert(body.end(), {0, 63, 0});
  return Segment(0xDA, body);
}

StreamBuilder& StreamBuilder::Com(const Bytes& text) { return Segment(0xFE, text); }

Bytes TurboEncode(const rktest::Rgb& img, int subsamp, int quality, int flags) {
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(handle, img.px.data(), img.width, img.width * 3, img.height, TJPF_RGB, &out,
                             &size, subsamp, quality, flags);
  EXPECT_EQ(rc, 0) << tjGetErrorStr2(handle);
  Bytes bytes(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  return bytes;
}

Bytes LibjpegEncode(const rktest::Rgb& img, const LibjpegOptions& options) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(img.width);
  cinfo.image_height = static_cast<JDIMENSION>(img.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (options.grey) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  if (options.rgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (!options.grey) {
    cinfo.comp_info[0].h_samp_factor = options.hSamp;
    cinfo.comp_info[0].v_samp_factor = options.vSamp;
    cinfo.comp_info[1].h_samp_factor = cinfo.comp_info[1].v_samp_factor = 1;
    cinfo.comp_info[2].h_samp_factor = cinfo.comp_info[2].v_samp_factor = 1;
  }
  cinfo.optimize_coding = options.optimize ? TRUE : FALSE;
  cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
  jpeg_start_compress(&cinfo, TRUE);
  if (!options.comment.empty()) {
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(options.comment.data()),
                      static_cast<unsigned>(options.comment.size()));
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(img.at(0, static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

rktest::Rgb TurboDecode(const Bytes& stream) {
  tjhandle handle = tjInitDecompress();
  int w = 0, h = 0, subsamp = 0, colorspace = 0;
  rktest::Rgb img;
  if (tjDecompressHeader3(handle, stream.data(), stream.size(), &w, &h, &subsamp, &colorspace) != 0) {
    ADD_FAILURE() << tjGetErrorStr2(handle);
    tjDestroy(handle);
    return img;
  }
  img.width = w;
  img.height = h;
  img.px.resize(static_cast<size_t>(w) * h * 3);
  const int rc = tjDecompress2(handle, stream.data(), stream.size(), img.px.data(), w, w * 3, h, TJPF_RGB,
                               TJFLAG_ACCURATEDCT | TJFLAG_FASTUPSAMPLE);
  EXPECT_EQ(rc, 0) << tjGetErrorStr2(handle);
  tjDestroy(handle);
  return img;
}

}  // namespace jpegtest
