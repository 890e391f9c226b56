#include "test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

namespace rktest {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Fixture(const std::string& relative) {
  return std::string(RK_FIXTURES_DIR) + "/" + relative;
}

Rgb LoadPpm(const std::string& path) {
  Rgb img;
  std::vector<uint8_t> bytes = ReadFile(path);
  size_t pos = 0;
  auto token = [&]() -> std::string {
    std::string t;
    while (pos < bytes.size()) {
      if (bytes[pos] == '#') {
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      } else if (std::isspace(bytes[pos])) {
        ++pos;
      } else {
        break;
      }
    }
    while (pos < bytes.size() && !std::isspace(bytes[pos])) t.push_back(static_cast<char>(bytes[pos++]));
    return t;
  };
  if (token() != "P6") {
    ADD_FAILURE() << path << " is not a binary PPM";
    return {};
  }
  const int w = std::stoi(token());
  const int h = std::stoi(token());
  const int maxval = std::stoi(token());
  ++pos;  // the single whitespace byte before the raster
  const size_t need = static_cast<size_t>(w) * h * 3;
  if (maxval != 255 || bytes.size() < pos + need) {
    ADD_FAILURE() << path << ": unsupported or short PPM";
    return {};
  }
  img.width = w;
  img.height = h;
  img.px.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                bytes.begin() + static_cast<std::ptrdiff_t>(pos + need));
  return img;
}

void SavePpm(const std::string& path, const Rgb& img) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << img.width << " " << img.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(img.px.data()), static_cast<std::streamsize>(img.px.size()));
}

Rgb MakePhotoLike(int width, int height, uint32_t seed) {
  Rgb img;
  img.width = width;
  img.height = height;
  img.px.resize(static_cast<size_t>(width) * height * 3);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  struct Blob { double cx, cy, r, cr, cg, cb; };
  std::vector<Blob> blobs;
  for (int i = 0; i < 12; ++i) {
    blobs.push_back({u(rng) * width, u(rng) * height, (0.08 + 0.25 * u(rng)) * (width + height) / 2,
                     u(rng) * 255, u(rng) * 255, u(rng) * 255});
  }
  std::normal_distribution<double> grain(0.0, 3.0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Sky-to-ground gradient as the base.
      double t = height > 1 ? static_cast<double>(y) / (height - 1) : 0;
      double r = 90 + 100 * (1 - t), g = 130 + 60 * (1 - t), b = 200 * (1 - t) + 40 * t;
      for (const Blob& bl : blobs) {
        double dx = x - bl.cx, dy = y - bl.cy;
        double w = std::exp(-(dx * dx + dy * dy) / (2 * bl.r * bl.r));
        r += (bl.cr - r) * w * 0.8;
        g += (bl.cg - g) * w * 0.8;
        b += (bl.cb - b) * w * 0.8;
      }
      // Fine texture: a few edges and grain.
      double tex = 12 * std::sin(x * 0.21 + y * 0.05) * std::sin(y * 0.17);
      uint8_t* p = img.at(x, y);
      const double v[3] = {r + tex + grain(rng), g + tex + grain(rng), b + tex + grain(rng)};
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::clamp(std::lround(v[c]), 0L, 255L));
    }
  }
  return img;
}

Rgb MakeNoise(int width, int height, uint32_t seed) {
  Rgb img;
  img.width = width;
  img.height = height;
  img.px.resize(static_cast<size_t>(width) * height * 3);
  std::mt19937 rng(seed);
  for (auto& b : img.px) b = static_cast<uint8_t>(rng() & 0xFF);
  return img;
}

Bitmap24::Bitmap24(int w, int h, uint8_t fill)
    : width(w), height(h), stride(((w * 24 / 8 + 3) / 4) * 4),
      bytes(static_cast<size_t>(stride) * h, fill) {}

Bitmap24::Bitmap24(const Rgb& img) : Bitmap24(img.width, img.height) {
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &bytes[static_cast<size_t>(height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = img.at(x, y);
      row[x * 3 + 0] = p[2];
      row[x * 3 + 1] = p[1];
      row[x * 3 + 2] = p[0];
    }
  }
}

void Bitmap24::Describe(ImageBlkAttrRec& image) {
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  image.pixels = bytes.data();
  image.pixelFormat = 0;
  image.rowStride = stride;
  image.blueOffset = 0;
  image.greenOffset = 1;
  image.redOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 1;
}

Rgb Bitmap24::ToRgb() const {
  Rgb img;
  img.width = width;
  img.height = height;
  img.px.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = &bytes[static_cast<size_t>(height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      uint8_t* p = img.at(x, y);
      p[0] = row[x * 3 + 2];
      p[1] = row[x * 3 + 1];
      p[2] = row[x * 3 + 0];
    }
  }
  return img;
}

Buffer32::Buffer32(int w, int h, uint8_t fill)
    : width(w), height(h), bytes(static_cast<size_t>(w) * h * 4, fill) {}

Buffer32::Buffer32(const Rgb& img, uint8_t byte0) : Buffer32(img.width, img.height, byte0) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = img.at(x, y);
      uint8_t* q = &bytes[(static_cast<size_t>(y) * width + x) * 4];
      q[1] = p[0];
      q[2] = p[1];
      q[3] = p[2];
    }
  }
}

void Buffer32::Describe(ImageBlkAttrRec& image) {
  RkInitImageAttribute(&image);
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  image.pixels = bytes.data();
  image.rowStride = width * 4;
}

Rgb Buffer32::ToRgb() const {
  Rgb img;
  img.width = width;
  img.height = height;
  img.px.resize(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    img.px[i * 3 + 0] = bytes[i * 4 + 1];
    img.px[i * 3 + 1] = bytes[i * 4 + 2];
    img.px[i * 3 + 2] = bytes[i * 4 + 3];
  }
  return img;
}

Difference Compare(const Rgb& a, const Rgb& b) {
  Difference d;
  if (a.width != b.width || a.height != b.height || a.px.size() != b.px.size() || a.px.empty()) {
    ADD_FAILURE() << "pictures differ in size: " << a.width << "x" << a.height << " vs " << b.width
                  << "x" << b.height;
    d.maxAbs = 255;
    return d;
  }
  double sum = 0, sq = 0;
  for (size_t i = 0; i < a.px.size(); ++i) {
    int e = std::abs(int(a.px[i]) - int(b.px[i]));
    d.maxAbs = std::max(d.maxAbs, e);
    sum += e;
    sq += double(e) * e;
  }
  d.mean = sum / static_cast<double>(a.px.size());
  const double mse = sq / static_cast<double>(a.px.size());
  d.psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
  return d;
}

ModuleTable::ModuleTable() : block(RkGetCompressBlkSize(), 0xAB) { RkInitModuleTable(get()); }
ModuleTable::~ModuleTable() { RkFreeModuleTable(get()); }

}  // namespace rktest
