#include "tiff_test_util.h"

#include "tiff/byte_order.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <fstream>

namespace tifftest {

Builder::Builder(bool little) : little_(little) {
  bytes = little ? Bytes{'I', 'I', 42, 0, 0, 0, 0, 0} : Bytes{'M', 'M', 0, 42, 0, 0, 0, 0};
}

uint32_t Builder::Put(const Bytes& b) {
  if (bytes.size() % 2) bytes.push_back(0);  // word boundaries, as TIFF asks
  const auto at = static_cast<uint32_t>(bytes.size());
  bytes.insert(bytes.end(), b.begin(), b.end());
  return at;
}

// Encoded with the library's store routine; the peer tests hold its byte
// orders to libtiff's.
Bytes Builder::Values(const std::vector<uint32_t>& v, int width) const {
  Bytes out(v.size() * size_t(width));
  for (size_t i = 0; i < v.size(); ++i) rk::tiff::StoreValue(&out[i * size_t(width)], little_ ? 1 : 0, width, v[i]);
  return out;
}

Builder& Builder::Entry(uint16_t tag, uint16_t type, uint32_t count, const Bytes& values) {
  Bytes e = Shorts({tag, type});
  const Bytes c = Longs({count});
  e.insert(e.end(), c.begin(), c.end());
  Bytes field = values;
  if (field.size() > 4) field = Longs({Put(values)});
  field.resize(4, 0);
  e.insert(e.end(), field.begin(), field.end());
  entries_.push_back(e);
  return *this;
}

void Builder::SetU32(uint32_t at, uint32_t v) {
  const Bytes b = Longs({v});
  std::copy(b.begin(), b.end(), bytes.begin() + at);
}

uint32_t Builder::EndDirectory() {
  Bytes dir = Shorts({static_cast<uint32_t>(entries_.size())});
  for (const Bytes& e : entries_) dir.insert(dir.end(), e.begin(), e.end());
  dir.resize(dir.size() + 4, 0);
  const uint32_t at = Put(dir);
  SetU32(nextField_, at);
  nextField_ = at + 2 + 12 * static_cast<uint32_t>(entries_.size());
  entries_.clear();
  return at;
}

std::string TempPath() {
  static int serial = 0;
  return testing::TempDir() + "/rk_tiff_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".tif";
}

namespace {

int g_libtiffMessages = 0;
void CountMessage(const char*, const char*, va_list) { ++g_libtiffMessages; }

Bytes Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

Bytes WriteWithLibtiff(const PeerLayout& s, const std::vector<Bytes>& planes) {
  const bool grey = s.photometric == 1;
  const bool ycc = s.photometric == 6;
  const int hs = ycc ? s.subH : 1, vs = ycc ? s.subV : 1;
  auto sample = [&](int p, int x, int y) {
    return planes[p][size_t(std::min(y, s.height - 1)) * s.width + std::min(x, s.width - 1)];
  };
  // The bytes of plane p (or of all planes, chunky) for rows [y0, y1).
  auto stripBytes = [&](int p, int y0, int y1) {
    Bytes out;
    if (s.planar == 2 || grey) {
      const int f = p > 0 ? hs : 1, g = p > 0 ? vs : 1;
      for (int y = y0 / g; y < (y1 + g - 1) / g; ++y)
        for (int x = 0; x < (s.width + f - 1) / f; ++x) out.push_back(sample(p, x * f, y * g));
    } else if (!ycc) {
      for (int y = y0; y < y1; ++y)
        for (int x = 0; x < s.width; ++x)
          for (int c = 0; c < 3; ++c) out.push_back(sample(c, x, y));
    } else {
      for (int uy = y0 / vs; uy < (y1 + vs - 1) / vs; ++uy)
        for (int ux = 0; ux < (s.width + hs - 1) / hs; ++ux) {
          for (int j = 0; j < vs; ++j)
            for (int i = 0; i < hs; ++i) out.push_back(sample(0, ux * hs + i, uy * vs + j));
          out.push_back(sample(1, ux * hs, uy * vs));
          out.push_back(sample(2, ux * hs, uy * vs));
        }
    }
    return out;
  };
  const std::string path = TempPath();
  TIFF* tif = TIFFOpen(path.c_str(), s.little ? "wl" : "wb");
  if (tif == nullptr) return {};
  const int samples = grey ? 1 : 3;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip);
  if (ycc) TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, s.subH, s.subV);
  const int strips = (s.height + s.rowsPerStrip - 1) / s.rowsPerStrip;
  const int planeCount = s.planar == 2 ? samples : 1;
  auto write = [&](int p, int k) {
    Bytes b = stripBytes(p, k * s.rowsPerStrip, std::min(s.height, (k + 1) * s.rowsPerStrip));
    TIFFWriteRawStrip(tif, static_cast<uint32_t>(p * strips + k), b.data(), static_cast<tmsize_t>(b.size()));
  };
  if (s.scatterPlanes) {
    for (int k = 0; k < strips; ++k)
      for (int p = 0; p < planeCount; ++p) write(p, k);
  } else {
    for (int p = 0; p < planeCount; ++p)
      for (int k = 0; k < strips; ++k) write(p, k);
  }
  TIFFClose(tif);
  Bytes file = Slurp(path);
  std::remove(path.c_str());
  return file;
}

rktest::Rgb ReadWithLibtiff(const Bytes& file, int* warnings) {
  const std::string path = TempPath();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  g_libtiffMessages = 0;
  TIFFSetWarningHandler(CountMessage);
  TIFFSetErrorHandler(CountMessage);
  rktest::Rgb img;
  if (TIFF* tif = TIFFOpen(path.c_str(), "r")) {
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint32_t> raster(size_t(w) * h);
    if (TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      img.width = int(w);
      img.height = int(h);
      for (uint32_t p : raster) img.px.insert(img.px.end(), {uint8_t(TIFFGetR(p)), uint8_t(TIFFGetG(p)), uint8_t(TIFFGetB(p))});
    }
    TIFFClose(tif);
  }
  std::remove(path.c_str());
  if (warnings != nullptr) *warnings = g_libtiffMessages;
  return img;
}

Decoded Decode(const Bytes& file, uint16_t format, bool buffer32) {
  rktest::ModuleTable table;
  Decoded d;
  d.record.format = format;
  const auto n = static_cast<uint32_t>(file.size());
  static const uint8_t kNothing = 0;  // an empty file still has an address
  d.header = RkDecodeTIFFHeader(table.get(), file.empty() ? &kNothing : file.data(), &n, &d.record);
  if (d.header <= 0) return d;
  ImageBlkAttrRec r = d.record;
  if (r.width == 0 || r.height == 0) {  // nothing to write, but somewhere to write it
    uint8_t dummy = 0;
    r.pixels = &dummy;
    d.image = RkDecodeImageByTIFF(table.get(), &r, nullptr);
    return d;
  }
  rktest::Bitmap24 bmp(r.width, r.height, 0xEE);
  rktest::Buffer32 buf(r.width, r.height, 0xEE);
  if (buffer32) {
    ImageBlkAttrRec layout{};
    buf.Describe(layout);
    r.pixels = layout.pixels;
    r.rowStride = layout.rowStride;
    r.redOffset = layout.redOffset, r.greenOffset = layout.greenOffset, r.blueOffset = layout.blueOffset;
    r.pixelStride = layout.pixelStride;
    r.bottomUp = layout.bottomUp;
  } else {
    bmp.Describe(r);
  }
  d.image = RkDecodeImageByTIFF(table.get(), &r, nullptr);
  d.rgb = buffer32 ? buf.ToRgb() : bmp.ToRgb();
  return d;
}

}  // namespace tifftest
