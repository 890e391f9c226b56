#include "reference_decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "cam/kernels.h"

namespace jpegref {
namespace {

int32_t M(int32_t a, int32_t k) { return (a * k + 32768) >> 16; }

void Transform8(const int16_t* k, int16_t* v, int step) {
  const int32_t r = k[0], c4 = k[1], c1 = k[2], c2 = k[3], c3 = k[4], s1 = k[5], s2 = k[6], s3 = k[7];
  auto R = [r](int32_t a) { return (a * r + 16384) >> 15; };
  const int32_t x0 = v[0], x1 = v[step], x2 = v[2 * step], x3 = v[3 * step];
  const int32_t x4 = v[4 * step], x5 = v[5 * step], x6 = v[6 * step], x7 = v[7 * step];
  const int32_t p = static_cast<int16_t>(M(x1, c1) + M(x7, s1));
  const int32_t q = static_cast<int16_t>(M(x3, c3) + M(x5, s3));
  const int32_t u = M(x1, s1) - M(x7, c1);
  const int32_t w = M(x5, c3) - M(x3, s3);
  const int32_t A = R(p + u - q - w);
  const int32_t B = R(w + p - u - q);
  const int32_t e = M(x2, c2) + M(x6, s2);
  const int32_t f = M(x2, s2) - M(x6, c2);
  const int32_t g = M(x0, c4) + M(x4, c4);
  const int32_t h = M(x0, c4) - M(x4, c4);
  const int32_t G = g + e;
  const int32_t H = h + f;
  const int32_t y[8] = {G + (p + q), H + A, h + B - f, g + (u + w) - e,
                        g - (u + w) - e, h - B - f, H - A, G - (p + q)};
  for (int i = 0; i < 8; ++i) v[i * step] = static_cast<int16_t>(y[i]);
}

int32_t Clamp(int32_t v) { return std::min(std::max(v, 0), 255); }

// The resynchronisation search, starting one byte before the byte that
// holds bitPos (the reader stops on a marker's second byte).
bool Resync(ModuleTableRec* t) {
  uint32_t j = t->bitPos / 8;
  if (j > 0) --j;
  for (; j + 1 < t->streamLength; ++j) {
    if (t->streamData[j] != 0xFF) continue;
    const uint8_t m = t->streamData[j + 1];
    if (m >= 0xD0 && m <= 0xD7) {
      t->bitPos = 8 * (j + 2);
      t->dcPredictor[0] = t->dcPredictor[1] = t->dcPredictor[2] = 0;
      t->mcuCount = 0;
      return true;
    }
    if (m == 0xD9) break;
  }
  t->decodeError = RK_ERR_END_OF_DATA;
  return false;
}

// Bit by bit from `bit`: only 1-bits up to the next byte boundary (a
// stuffed 00 after a completed FF stepped over), then FF D0..D7.
bool PaddingThenMarker(const ModuleTableRec* t, uint32_t bit) {
  const uint8_t* d = t->streamData;
  const uint32_t n = t->streamLength;
  for (; bit % 8 != 0; ++bit) {
    if (bit / 8 >= n || ((d[bit / 8] >> (7 - bit % 8)) & 1) == 0) return false;
  }
  uint32_t at = bit / 8;
  if (at >= 1 && at < n && d[at - 1] == 0xFF && d[at] == 0x00) ++at;
  return at + 1 < n && d[at] == 0xFF && d[at + 1] >= 0xD0 && d[at + 1] <= 0xD7;
}

}  // namespace

void InverseTransform(const int16_t* k, int16_t* block) {
  for (int r = 0; r < 8; ++r) Transform8(k, block + 8 * r, 1);
  for (int c = 0; c < 8; ++c) Transform8(k, block + c, 8);
}

int16_t Decode(ModuleTableRec* t, ImageBlkAttrRec* image) {
  const uint16_t format = image->format;
  const int n = (format >> 12) & 3;
  int H[3] = {0, 0, 0}, V[3] = {0, 0, 0};
  int mw = 0, mh = 0;
  for (int c = 0; c < n; ++c) {
    H[c] = ((format >> (4 * c)) & 3) + 1;
    V[c] = ((format >> (4 * c + 2)) & 3) + 1;
    mw = std::max(mw, 8 * H[c]);
    mh = std::max(mh, 8 * V[c]);
  }
  t->streamData = image->data;
  t->streamLength = image->dataLength;
  t->bitPos = 0;
  t->dcPredictor[0] = t->dcPredictor[1] = t->dcPredictor[2] = 0;
  t->decodeError = 0;
  const uint32_t interval = image->restartInterval & 0xFFFF;
  uint32_t count = 0;
  const bool rgb = (image->codecFlags & RK_CODEC_FLAG_RGB) && n == 3;
  const bool planar = (image->pixelFormat & 15) == 3;
  const int width = image->width, height = image->height;

  std::vector<int16_t> plane[3];
  for (auto& p : plane) p.assign(static_cast<size_t>(mw) * mh, 0);
  std::vector<int16_t> blocks;
  for (int c = 0; c < n; ++c) blocks.resize(blocks.size() + 64 * static_cast<size_t>(H[c] * V[c]), 0);

  bool failed = false;
  bool skipping = false;
  for (int y0 = 0; y0 < height && !failed; y0 += mh) {
    for (int x0 = 0; x0 < width; x0 += mw) {
      if (skipping) {
        if (++count == interval) {
          if (Resync(t)) t->decodeError = 0;
          count = 0;
          skipping = false;
        }
        continue;
      }
      rk::DecodeStatus status = rk::DecodeStatus::kStreamError;
      const uint32_t mcuStart = t->bitPos;
      if (t->decodeError == 0) {
        status = rk::DecodeStatus::kOk;
        int16_t* b = blocks.data();
        for (int c = 0; c < n && status == rk::DecodeStatus::kOk; ++c) {
          const int k = c == 0 ? 0 : 1;
          for (int i = 0; i < H[c] * V[c]; ++i, b += 64) {
            status = rk::DecodeBlock(t, b, t->dcCodeTable[k], t->acCodeTable[k], t->huffLut[k],
                                     t->huffLut[2 + k], &t->dcPredictor[c]);
            if (status != rk::DecodeStatus::kOk) break;
          }
        }
      }
      if ((status == rk::DecodeStatus::kNoCode || status == rk::DecodeStatus::kBadRun) && interval > 0 &&
          PaddingThenMarker(t, mcuStart)) {
        // The interval ended early, right after its last whole MCU.
        t->decodeError = RK_ERR_RESTART;
        status = rk::DecodeStatus::kStreamError;
      }
      if (status != rk::DecodeStatus::kOk) {
        if (status == rk::DecodeStatus::kStreamError && t->decodeError == RK_ERR_RESTART && interval > 0) {
          skipping = true;
          if (++count == interval) {
            if (Resync(t)) t->decodeError = 0;
            count = 0;
            skipping = false;
          }
          continue;
        }
        failed = true;
        break;
      }
      // Dequantise, transform, replicate into the planes.
      int16_t* b = blocks.data();
      for (int c = 0; c < n; ++c) {
        const int fx = mw / (8 * H[c]), fy = mh / (8 * V[c]);
        for (int bj = 0; bj < V[c]; ++bj) {
          for (int bi = 0; bi < H[c]; ++bi, b += 64) {
            for (int i = 0; i < 64; ++i) b[i] = static_cast<int16_t>(b[i] * t->quantTable[c][i]);
            InverseTransform(t->idctConst, b);
            for (int r = 0; r < 8; ++r) {
              for (int s = 0; s < 8; ++s) {
                int16_t v = b[8 * r + s];
                if (rgb) {
                  v = static_cast<int16_t>(Clamp(v + 128));
                } else if (c == 0) {
                  v = static_cast<int16_t>(v + 128);
                }
                for (int dy = 0; dy < fy; ++dy)
                  for (int dx = 0; dx < fx; ++dx)
                    plane[c][(8 * fy * bj + fy * r + dy) * mw + 8 * fx * bi + fx * s + dx] = v;
              }
            }
          }
        }
      }
      if (!rgb && !planar) {
        for (int i = 0; i < mw * mh; ++i) {
          if (n == 3) {
            const int32_t Y = plane[0][i], cb = plane[1][i], cr = plane[2][i];
            plane[0][i] = static_cast<int16_t>(Clamp((256 * Y + 359 * cr + 128) >> 8));
            plane[1][i] = static_cast<int16_t>(Clamp((256 * Y - 88 * cb - 182 * cr + 128) >> 8));
            plane[2][i] = static_cast<int16_t>(Clamp((256 * Y + 454 * cb + 128) >> 8));
          } else {
            plane[0][i] = static_cast<int16_t>(Clamp(plane[0][i]));
            plane[1][i] = plane[2][i] = plane[0][i];
          }
        }
      }
      const int64_t planeSamples = static_cast<int64_t>(width) * height;
      for (int r = mh - 1; r >= 0; --r) {
        const int y = std::min(y0 + r, height - 1);
        const int64_t row = image->bottomUp ? height - 1 - y : y;
        for (int s = mw - 1; s >= 0; --s) {
          const int x = std::min(x0 + s, width - 1);
          if (planar) {
            for (int c = 0; c < (n == 3 ? 3 : 1); ++c) {
              const int16_t v = plane[c][r * mw + s];
              std::memcpy(image->pixels + 2 * (c * planeSamples + row * image->rowStride + x), &v, 2);
            }
          } else {
            uint8_t* p = image->pixels + row * image->rowStride + static_cast<int64_t>(x) * image->pixelStride;
            p[image->redOffset] = static_cast<uint8_t>(plane[0][r * mw + s]);
            p[image->greenOffset] = static_cast<uint8_t>(plane[1][r * mw + s]);
            p[image->blueOffset] = static_cast<uint8_t>(plane[2][r * mw + s]);
          }
        }
      }
      if (interval > 0 && ++count == interval) {
        if (Resync(t)) t->decodeError = 0;
        count = 0;
      }
    }
  }
  if (skipping) failed = true;
  return failed ? static_cast<int16_t>(RK_ERR_FORMAT) : static_cast<int16_t>(RK_OK);
}

}  // namespace jpegref
