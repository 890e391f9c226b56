#include "picture.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

namespace rktools {

bool ReadFile(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool ReadPpm(const std::string& path, Picture& out) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, maxval = 0;
  if (!(in >> magic >> w >> h >> maxval) || magic != "P6" || maxval != 255 || w <= 0 || h <= 0 ||
      w > 16384 || h > 16384) {
    return false;
  }
  in.get();  // the one whitespace byte before the raster
  out = Picture(w, h);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(out.rgb.data()), static_cast<std::streamsize>(out.rgb.size())));
}

bool WritePpm(const std::string& path, const Picture& pic) {
  std::string head = "P6\n" + std::to_string(pic.width) + " " + std::to_string(pic.height) + "\n255\n";
  std::vector<uint8_t> bytes(head.begin(), head.end());
  bytes.insert(bytes.end(), pic.rgb.begin(), pic.rgb.end());
  return WriteFile(path, bytes);
}

std::vector<uint8_t> BmpFile(int width, int height, const uint8_t* rows, int32_t rowStride) {
  const uint32_t padded = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t image = padded * static_cast<uint32_t>(height);
  std::vector<uint8_t> f;
  auto u16 = [&](uint32_t v) { f.push_back(v & 0xFF); f.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  f.push_back('B');
  f.push_back('M');
  u32(14 + 40 + image);  // file size
  u32(0);                // reserved
  u32(14 + 40);          // offset of the pixels
  u32(40);               // information header size
  u32(static_cast<uint32_t>(width));
  u32(static_cast<uint32_t>(height));  // positive: bottom-up
  u16(1);                // planes
  u16(24);               // bits per pixel
  u32(0);                // no compression
  u32(image);
  u32(2835);             // 72 dpi in pixels per metre
  u32(2835);
  u32(0);
  u32(0);
  for (int r = 0; r < height; ++r) {
    const uint8_t* row = rows + static_cast<ptrdiff_t>(r) * rowStride;
    f.insert(f.end(), row, row + static_cast<ptrdiff_t>(width) * 3);
    f.insert(f.end(), padded - static_cast<uint32_t>(width) * 3, 0);
  }
  return f;
}

Picture Resize(const Picture& src, int width, int height) {
  if (src.width == width && src.height == height) return src;
  Picture out(width, height);
  for (int y = 0; y < height; ++y) {
    const int y0 = static_cast<int>(int64_t{y} * src.height / height);
    const int y1 = std::max(y0 + 1, static_cast<int>(int64_t{y + 1} * src.height / height));
    for (int x = 0; x < width; ++x) {
      const int x0 = static_cast<int>(int64_t{x} * src.width / width);
      const int x1 = std::max(x0 + 1, static_cast<int>(int64_t{x + 1} * src.width / width));
      int64_t sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx)
          for (int c = 0; c < 3; ++c) sum[c] += src.at(sx, sy)[c];
      const int64_t n = int64_t{y1 - y0} * (x1 - x0);
      for (int c = 0; c < 3; ++c) out.at(x, y)[c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
    }
  }
  return out;
}

namespace {

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

void Set(Picture& p, int x, int y, int r, int g, int b) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
  uint8_t* px = p.at(x, y);
  px[0] = Clamp(r);
  px[1] = Clamp(g);
  px[2] = Clamp(b);
}

// Integer hash noise in 0..255 for a position and a seed.
int Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return static_cast<int>((h ^ (h >> 16)) & 0xFF);
}

// A smooth periodic wave in -256..256 built from parabola halves (close to
// a sine): 4 q (h - q) / h^2 over each half period h.
int Wave(int p, int period) {
  const int half = period / 2;
  p %= period;
  if (p < 0) p += period;
  const int q = p % half;
  const int v = static_cast<int>(int64_t{1024} * q * (half - q) / (int64_t{half} * half));
  return p < half ? v : -v;
}

// Hue 0..1535 (six sextants of 256) at full saturation and value.
void Hue(int h, int& r, int& g, int& b) {
  const int s = (h / 256) % 6, f = h % 256;
  switch (s) {
    case 0: r = 255; g = f; b = 0; break;
    case 1: r = 255 - f; g = 255; b = 0; break;
    case 2: r = 0; g = 255; b = f; break;
    case 3: r = 0; g = 255 - f; b = 255; break;
    case 4: r = f; g = 0; b = 255; break;
    default: r = 255; g = 0; b = 255 - f; break;
  }
}

// 5 x 7 capitals and digits; each row's bit 4 is the leftmost pixel.
struct Glyph {
  char c;
  std::array<uint8_t, 7> rows;
};
constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
};

void Text(Picture& p, int x, int y, std::string_view s, int scale, int r, int g, int b) {
  for (char c : s) {
    for (const Glyph& gl : kFont) {
      if (gl.c != c) continue;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (gl.rows[row] & (0x10 >> col))
            for (int dy = 0; dy < scale; ++dy)
              for (int dx = 0; dx < scale; ++dx) Set(p, x + col * scale + dx, y + row * scale + dy, r, g, b);
    }
    x += 6 * scale;  // spaces and unknown characters just advance
  }
}

}  // namespace

Picture ColourChart(int width, int height) {
  Picture p(width, height);
  // The 24 patches of a colour checker, as sRGB values.
  static constexpr uint8_t kPatches[24][3] = {
      {115, 82, 68},   {194, 150, 130}, {98, 122, 157},  {87, 108, 67},   {133, 128, 177}, {103, 189, 170},
      {214, 126, 44},  {80, 91, 166},   {193, 90, 99},   {94, 60, 108},   {157, 188, 64},  {224, 163, 46},
      {56, 61, 150},   {70, 148, 73},   {175, 54, 60},   {231, 199, 31},  {187, 86, 149},  {8, 133, 161},
      {243, 243, 242}, {200, 200, 200}, {160, 160, 160}, {122, 122, 121}, {85, 85, 85},    {52, 52, 52}};
  const int chartBottom = height * 5 / 8;
  const int rampBottom = height * 13 / 16;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int r = 24, g = 24, b = 24;  // frame and gaps
      if (y < chartBottom) {
        const int cw = width / 6, ch = chartBottom / 4;
        const int col = x / cw, row = y / ch;
        const bool gap = x % cw < 4 || y % ch < 4 || col >= 6 || row >= 4;
        if (!gap) {
          const uint8_t* c = kPatches[row * 6 + col];
          r = c[0];
          g = c[1];
          b = c[2];
        }
      } else if (y < rampBottom) {
        // Hues left to right, fading to white towards the top of the band.
        Hue(x * 1536 / width, r, g, b);
        const int t = (rampBottom - y) * 256 / (rampBottom - chartBottom);
        r += (255 - r) * t / 512;
        g += (255 - g) * t / 512;
        b += (255 - b) * t / 512;
      } else {
        const int step = x * 16 / width;  // 16 grey steps
        r = g = b = step * 17;
      }
      Set(p, x, y, r, g, b);
    }
  }
  return p;
}

Picture PhotoScene(int width, int height) {
  Picture p(width, height);
  const int horizon = height * 11 / 20;
  const int sunX = width * 3 / 4, sunY = height / 5, sunR = height / 10;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      // Far hill line and near hill line, each a sum of two waves.
      const int far = horizon - 18 - (Wave(x, width) * 14 + Wave(x + 37, width / 3) * 5) / 256;
      const int near = horizon + 12 - (Wave(x + width / 4, width * 2 / 3) * 20 + Wave(x, width / 5) * 4) / 256;
      if (y < far) {
        // Sky: deep blue at the top to pale near the hills, a glow round the sun.
        const int t = y * 256 / std::max(1, horizon);
        r = 60 + 120 * t / 256;
        g = 110 + 100 * t / 256;
        b = 200 + 40 * t / 256;
        const int dx = x - sunX, dy = y - sunY;
        const int d2 = dx * dx + dy * dy;
        if (d2 < sunR * sunR) {
          r = 255; g = 244; b = 200;
        } else if (d2 < 9 * sunR * sunR) {
          const int glow = (9 * sunR * sunR - d2) * 96 / (8 * sunR * sunR);
          r += glow; g += glow * 3 / 4; b -= glow / 4;
        }
      } else if (y < near) {
        // Distant hills: bluish green, lighter with height.
        const int t = (y - far) * 4;
        r = 70 + t / 8; g = 110 + t / 6; b = 100 + t / 10;
        r += (Hash(x / 3, y / 3, 7) - 128) / 24;
        g += (Hash(x / 3, y / 3, 8) - 128) / 20;
      } else {
        // Meadow: warm green, darker towards the bottom, with grass texture.
        const int t = (y - near) * 256 / std::max(1, height - near);
        r = 96 - 40 * t / 256; g = 150 - 50 * t / 256; b = 50 - 20 * t / 256;
        const int grass = (Hash(x, y / 2, 3) - 128) / 6 + Wave(x * 7 + y * 3, 23) / 40;
        r += grass / 2; g += grass; b += grass / 3;
      }
      Set(p, x, y, r, g, b);
    }
  }
  // A house with a red roof and a lit window, and two dark trees.
  const int hx = width / 5, hy = horizon + 10, hw = width / 7, hh = height / 7;
  for (int y = hy; y < hy + hh; ++y)
    for (int x = hx; x < hx + hw; ++x) Set(p, x, y, 222 - (x - hx) / 2, 212 - (x - hx) / 2, 190);
  for (int i = 0; i < hh * 2 / 3; ++i)
    for (int x = hx - 6 + i; x < hx + hw + 6 - i; ++x) Set(p, x, hy - i, 170 + i, 40, 36);
  for (int y = hy + hh / 4; y < hy + hh / 2; ++y)
    for (int x = hx + hw / 3; x < hx + hw / 2; ++x) Set(p, x, y, 250, 220, 120);
  for (int t = 0; t < 2; ++t) {
    const int cx = width / 2 + t * width / 9, base = horizon + 30 + t * 8, th = height / 4 - t * 10;
    for (int i = 0; i < th; ++i)
      for (int x = cx - i / 3; x <= cx + i / 3; ++x)
        Set(p, x, base - th + i, 20 + Hash(x, i, 11) / 12, 60 + Hash(x, i, 12) / 8, 30);
    for (int y = base; y < base + 10; ++y)
      for (int x = cx - 2; x <= cx + 2; ++x) Set(p, x, y, 80, 50, 30);
  }
  return p;
}

Picture LinesAndText(int width, int height) {
  Picture p(width, height);
  std::fill(p.rgb.begin(), p.rgb.end(), 250);
  // Gratings: black lines one pixel wide with gaps of 1, 2, 3 and 4 pixels,
  // then the same horizontally.
  const int band = height / 6;
  for (int g = 0; g < 4; ++g) {
    const int x0 = g * width / 8;
    for (int x = x0; x < x0 + width / 8 - 4; ++x)
      if ((x - x0) % (g + 2) == 0)
        for (int y = 4; y < band; ++y) Set(p, x, y, 0, 0, 0);
    const int x1 = width / 2 + g * width / 8;
    for (int y = 4; y < band; ++y)
      if ((y - 4) % (g + 2) == 0)
        for (int x = x1; x < x1 + width / 8 - 4; ++x) Set(p, x, y, 0, 0, 0);
  }
  // A fan of thin lines from one corner and coloured concentric rings.
  for (int k = 1; k <= 12; ++k) {
    for (int t = 0; t < width / 2; ++t) {
      const int x = t, y = band + 6 + t * k / 12 * (height / 3) / (width / 2);
      Set(p, x, y, k * 20, 0, 255 - k * 20);
    }
  }
  const int cx = width * 3 / 4, cy = band + height / 5, maxR = height / 6;
  for (int y = cy - maxR; y <= cy + maxR; ++y) {
    for (int x = cx - maxR; x <= cx + maxR; ++x) {
      const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      for (int r = 4; r <= maxR; r += 5)
        if (d2 >= r * r - r && d2 <= r * r + r) Set(p, x, y, r * 5 % 256, 120, 255 - r * 4);
    }
  }
  // Lettering at three sizes, dark on light and light on a dark bar.
  const int ty = band + height / 3 + 10;
  Text(p, 6, ty, "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789", 1, 0, 0, 0);
  Text(p, 6, ty + 12, "CAM PICTURE 480 X 240 RASTKIT", 2, 160, 0, 0);
  for (int y = ty + 32; y < ty + 62 && y < height; ++y)
    for (int x = 0; x < width; ++x) Set(p, x, y, 20, 30, 80);
  Text(p, 8, ty + 36, "FINE LINES 12345", 3, 255, 255, 255);
  return p;
}

}  // namespace rktools
