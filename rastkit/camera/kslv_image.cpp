// KSLV camera images: white balance from the comment's reference, the MCU
// loop over a 480 x 240 picture one strip at a time, the camera's colour
// matrix and gamma curves, scaling to the output size, and the final
// sharpen-and-saturate pass; then the four bitmap exports.
#include "camera/kslv_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "cam/block_decoder.h"
#include "cam/kernels.h"
#include "camera/common.h"
#include "camera/enhance.h"
#include "camera/packed_bitmap.h"
#include "jpeg/restart_resync.h"
#include "memory.h"
#include "table_check.h"

namespace rk::camera {
namespace {

// The decoder always decodes this much of the stream, whatever its frame
// header says.
constexpr int kCodedWidth = 480;
constexpr int kCodedHeight = 240;
constexpr int kMaxStripRows = 16;
constexpr int kMcuWidth = 16;

// Working memory: one MCU's three planes of 16 x 16 samples, eight
// coefficient blocks and the strip. The strip keeps luminance for each of
// its (up to 16) rows of 480 pixels, and chrominance as coded: 8 rows of
// 240 Cb and Cr samples, each covering 2 x 1 or 2 x 2 pixels. The rows
// being converted live on the stack.
constexpr int kChromaRows = 8;
constexpr int kChromaWidth = kCodedWidth / 2;
constexpr size_t kPlaneBytes = 3 * 256 * sizeof(int16_t);  // 1536
constexpr size_t kBlockBytes = 8 * 64 * sizeof(int16_t);   // 1024
constexpr size_t kStripLumaSamples = kMaxStripRows * kCodedWidth;
constexpr size_t kStripChromaSamples = kChromaRows * kChromaWidth;
constexpr size_t kStripBytes = (kStripLumaSamples + 2 * kStripChromaSamples) * sizeof(int16_t);  // 23040
constexpr uint32_t kWorkBytes = kPlaneBytes + kBlockBytes + kStripBytes;
static_assert(kWorkBytes == 25600);
// The final pass keeps two output rows of at most 480 triplets at the
// strip's start.
static_assert(2 * kCodedWidth * 3 * sizeof(int16_t) <= kStripBytes);

// bitPos counts bits in 32 bits: the reader addresses 2^29 bytes at most.
constexpr uint32_t kMaxStreamBytes = 0xFFFFFFFFu / 8;

constexpr int kMaxTenBit = 1023;

// The two stream layouts the camera writes: luminance sampled 2 x 1 (MCU
// 16 x 8, two blocks side by side) or 2 x 2 (MCU 16 x 16, four blocks).
constexpr uint16_t kFormat422 = 0x3001;
constexpr uint16_t kFormat420 = 0x3005;

struct Layout {
  int mcuHeight;
  int lumaBlocks;
};

// The output size (kept from entry: the header decoder overwrites width and
// height with the frame's) goes back into the record on every return.
class KeepSize {
 public:
  explicit KeepSize(ImageBlkAttrRec* image) : image_(image), width_(image->width), height_(image->height) {}
  ~KeepSize() {
    image_->width = width_;
    image_->height = height_;
  }
  KeepSize(const KeepSize&) = delete;
  KeepSize& operator=(const KeepSize&) = delete;

 private:
  ImageBlkAttrRec* image_;
  uint16_t width_, height_;
};

class KslvDecoder {
 public:
  KslvDecoder(ModuleTableRec* table, const OutputImage& out, const KslvGains& gains, const Layout& layout,
              uint8_t* work)
      : table_(table),
        out_(out),
        gains_(gains),
        layout_(layout),
        blocks_(reinterpret_cast<int16_t*>(work + kPlaneBytes)),
        strip_(reinterpret_cast<int16_t*>(work + kPlaneBytes + kBlockBytes)),
        lookups_(*table) {}

  int16_t Run(uint32_t interval, const UserCallBackRec* progress);

 private:
  bool DecodeMcu(BlockDecoder& decoder);
  void PlaceMcu(int x0);
  void ConvertRow(int r, int16_t* out) const;
  void WriteStrip(int y0);
  void FinalPass();
  [[nodiscard]] int Out(int tenBit) const {
    return table_->outputGamma[std::clamp(tenBit, 0, kMaxTenBit)] & 0xFF;
  }

  ModuleTableRec* table_;
  OutputImage out_;
  KslvGains gains_;
  Layout layout_;
  int16_t* blocks_;
  int16_t* strip_;
  TableLookups lookups_;
};

bool KslvDecoder::DecodeMcu(BlockDecoder& decoder) {
  const int count = layout_.lumaBlocks + 2;
  std::memset(blocks_, 0, sizeof(int16_t) * 64 * static_cast<size_t>(count));
  for (int b = 0; b < count; ++b) {
    const int c = b < layout_.lumaBlocks ? 0 : b - layout_.lumaBlocks + 1;
    const int t = c == 0 ? 0 : 1;
    if (decoder.DecodeCleared(blocks_ + 64 * b, lookups_.dc[t], lookups_.ac[t], &table_->dcPredictor[c]) !=
        DecodeStatus::kOk) {
      return false;
    }
  }
  return true;
}

// Dequantises and transforms the MCU's blocks, then stores Y + 128 for
// every pixel and the chrominance samples as they are.
void KslvDecoder::PlaceMcu(int x0) {
  const int luma = layout_.lumaBlocks;
  for (int b = 0; b < luma + 2; ++b) {
    const int c = b < luma ? 0 : b - luma + 1;
    DequantizeTransformBlock(table_, blocks_ + 64 * b, table_->quantTable[c]);
  }
  for (int r = 0; r < layout_.mcuHeight; ++r) {
    int16_t* dst = strip_ + static_cast<size_t>(r) * kCodedWidth + x0;
    const int16_t* lumaRow = blocks_ + 64 * ((r / 8) * 2) + 8 * (r % 8);
    for (int s = 0; s < kMcuWidth; ++s) dst[s] = static_cast<int16_t>(lumaRow[64 * (s / 8) + s % 8] + 128);
  }
  int16_t* cb = strip_ + kStripLumaSamples + x0 / 2;
  int16_t* cr = cb + kStripChromaSamples;
  const int16_t* blockCb = blocks_ + 64 * luma;
  const int16_t* blockCr = blockCb + 64;
  for (int r = 0; r < kChromaRows; ++r) {
    std::memcpy(cb + r * kChromaWidth, blockCb + 8 * r, 8 * sizeof(int16_t));
    std::memcpy(cr + r * kChromaWidth, blockCr + 8 * r, 8 * sizeof(int16_t));
  }
}

// Strip row r becomes 10-bit (R, G, B) triplets in out: luminance
// sharpened by a quarter of its second difference, chrominance limited to
// +-4 from the previous pixel, the camera matrix with the white-balance
// gains, then the input curve.
void KslvDecoder::ConvertRow(int r, int16_t* out) const {
  const uint16_t* in = table_->inputGamma;
  const int16_t* luma = strip_ + static_cast<size_t>(r) * kCodedWidth;
  const int chromaRow = layout_.mcuHeight == 16 ? r / 2 : r;
  const int16_t* cb = strip_ + kStripLumaSamples + chromaRow * kChromaWidth;
  const int16_t* cr = cb + kStripChromaSamples;
  int prevY = luma[0];  // unsharpened
  int prevCb = cb[0], prevCr = cr[0];
  for (int x = 0; x < kCodedWidth; ++x) {
    const int y = luma[x];
    const int sharp = x == kCodedWidth - 1 ? y : y + ((2 * y - luma[x + 1] - prevY) >> 2);
    prevY = y;
    prevCb = std::clamp<int>(cb[x / 2], prevCb - 4, prevCb + 4);
    prevCr = std::clamp<int>(cr[x / 2], prevCr - 4, prevCr + 4);
    const int64_t base = 256 * int64_t{sharp} + 128;
    const int16_t red = ClampToByte(((base + 839 * prevCr) * gains_.red) >> 16);
    const int16_t blue = ClampToByte(((base + 910 * prevCb - 384 * prevCr) * gains_.blue) >> 16);
    const int16_t green = ClampToByte(((base - 180 * prevCb - 300 * prevCr) * gains_.green) >> 16);
    out[3 * x] = static_cast<int16_t>(in[red]);
    out[3 * x + 1] = static_cast<int16_t>(in[green]);
    out[3 * x + 2] = static_cast<int16_t>(in[blue]);
  }
}

// Writes the strip's converted rows through the output curve. 480 x 360:
// each pair of source rows (2m, 2m + 1) gives image rows 3m .. 3m + 2, the
// first mixing in the row above (already stored) as (E + 2P) / 3, the
// second (N + 2P) / 3; the very first pair mixes as (P + N) / 2 instead.
// 320 x 240: every three source pixels give two, (2p0 + p1) / 3 and
// (p1 + 2p2) / 3.
void KslvDecoder::WriteStrip(int y0) {
  const OutputImage& o = out_;
  auto store = [&](uint8_t* px, const int v[3]) {
    px[o.red] = static_cast<uint8_t>(v[0]);
    px[o.green] = static_cast<uint8_t>(v[1]);
    px[o.blue] = static_cast<uint8_t>(v[2]);
  };
  int16_t p[kCodedWidth * 3];
  int16_t n[kCodedWidth * 3];
  if (o.height == 360) {
    // Strips start on even rows and hold an even number of rows.
    for (int r = 0; r < layout_.mcuHeight; r += 2) {
      ConvertRow(r, p);
      ConvertRow(r + 1, n);
      const int m = (y0 + r) / 2;
      uint8_t* first = o.At(0, 3 * m);
      uint8_t* second = o.At(0, 3 * m + 1);
      uint8_t* third = o.At(0, 3 * m + 2);
      const uint8_t* above = m == 0 ? nullptr : o.At(0, 3 * m - 1);
      const uint32_t offset[3] = {o.red, o.green, o.blue};
      for (int x = 0; x < kCodedWidth; ++x) {
        int a[3], b[3], c[3];
        for (int k = 0; k < 3; ++k) {
          const int gp = Out(p[3 * x + k]);
          const int gn = Out(n[3 * x + k]);
          a[k] = above == nullptr ? gp : (above[x * o.pixelStride + offset[k]] + 2 * gp) / 3;
          b[k] = above == nullptr ? (gp + gn) / 2 : (gn + 2 * gp) / 3;
          c[k] = gn;
        }
        store(first + x * o.pixelStride, a);
        store(second + x * o.pixelStride, b);
        store(third + x * o.pixelStride, c);
      }
    }
    return;
  }
  for (int r = 0; r < layout_.mcuHeight; ++r) {
    ConvertRow(r, p);
    uint8_t* row = o.At(0, y0 + r);
    const int16_t* q = p;
    for (int j = 0; j < kCodedWidth / 3; ++j, q += 9) {
      int left[3], right[3];
      for (int k = 0; k < 3; ++k) {
        left[k] = Out((2 * q[k] + q[3 + k]) / 3);
        right[k] = Out((q[3 + k] + 2 * q[6 + k]) / 3);
      }
      store(row + (2 * j) * o.pixelStride, left);
      store(row + (2 * j + 1) * o.pixelStride, right);
    }
  }
}

// Sharpens every pixel against its four neighbours (two in the first and
// last columns; the first and last rows reuse their one neighbouring row),
// green twice as strongly as red and blue, then saturates: with a shift of
// 3 where any difference exceeds 15, else 2. Results go to one of two row
// buffers and into the image one row later, so every pixel is computed from
// unchanged neighbours.
void KslvDecoder::FinalPass() {
  const OutputImage& o = out_;
  const int w = o.width, h = o.height;
  int16_t* buffers[2] = {strip_, strip_ + w * 3};
  const uint32_t channel[3] = {o.red, o.green, o.blue};
  auto flush = [&](int y) {
    const int16_t* src = buffers[y & 1];
    uint8_t* row = o.At(0, y);
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) row[x * o.pixelStride + channel[c]] = static_cast<uint8_t>(src[3 * x + c]);
    }
  };
  for (int y = 0; y < h; ++y) {
    const uint8_t* centre = o.At(0, y);
    const uint8_t* up = o.At(0, y == 0 ? 1 : y - 1);
    const uint8_t* down = o.At(0, y == h - 1 ? h - 2 : y + 1);
    int16_t* dst = buffers[y & 1];
    for (int x = 0; x < w; ++x) {
      const int64_t at = x * o.pixelStride;
      const bool edge = x == 0 || x == w - 1;
      int value[3], delta[3];
      for (int c = 0; c < 3; ++c) {
        const uint32_t k = channel[c];
        value[c] = centre[at + k];
        delta[c] = (edge ? 2 * value[c] : 4 * value[c] - centre[at - o.pixelStride + k] - centre[at + o.pixelStride + k]) -
                   up[at + k] - down[at + k];
      }
      int16_t r = static_cast<int16_t>(value[0] + (delta[0] >> 3));
      int16_t g = static_cast<int16_t>(value[1] + (delta[1] >> 1));
      int16_t b = static_cast<int16_t>(value[2] + (delta[2] >> 3));
      const bool strong = std::abs(delta[0]) > 15 || std::abs(delta[1]) > 15 || std::abs(delta[2]) > 15;
      EnhanceColour(r, g, b, strong ? 3 : 2);
      dst[3 * x] = r;
      dst[3 * x + 1] = g;
      dst[3 * x + 2] = b;
    }
    if (y > 0) flush(y - 1);
  }
  flush(h - 1);
}

int16_t KslvDecoder::Run(uint32_t interval, const UserCallBackRec* progress) {
  const int mcuHeight = layout_.mcuHeight;
  const int32_t total = kCodedHeight - mcuHeight;
  BlockDecoder decoder(table_);
  uint32_t count = 0;  // MCUs since the last restart marker
  int16_t result = RK_OK;
  for (int y0 = 0; y0 < kCodedHeight; y0 += mcuHeight) {
    bool failed = false;
    for (int x0 = 0; x0 < kCodedWidth; x0 += kMcuWidth) {
      // An error set by the previous MCU's restart marker search counts
      // here; after the picture's last MCU nothing has to follow.
      if (decoder.decodeError() != 0 || !DecodeMcu(decoder)) {
        failed = true;
        break;
      }
      PlaceMcu(x0);
      if (interval != 0 && ++count == interval) {
        decoder.Sync();
        ResyncAtRestart(table_);
        decoder.Reload();
        count = 0;
      }
    }
    table_->mcuCount = static_cast<int16_t>(count);
    if (failed) {
      // Corrupt data: this strip and the later ones are not written, and
      // the callback's value no longer replaces the result.
      decoder.Sync();
      if (CallProgress(progress, kCodedHeight, total, blocks_) == RK_STOPPED) return RK_STOPPED;
      result = RK_ERR_FORMAT;
      break;
    }
    WriteStrip(y0);
    result = CallProgress(progress, y0, total, blocks_);
    if (result == RK_STOPPED) {
      decoder.Sync();
      return RK_STOPPED;
    }
  }
  decoder.Sync();
  FinalPass();
  return result;
}

}  // namespace

bool FindWhiteReference(const uint8_t* data, uint32_t length, uint8_t reference[4]) {
  for (uint32_t i = 0; i + 1 < length; ++i) {
    if (data[i] != 0xFF || data[i + 1] != 0xFE) continue;
    if (length - i < 8) return false;  // bytes i + 4 .. i + 7 must be there
    std::memcpy(reference, data + i + 4, 4);
    return true;
  }
  return false;
}

int16_t GainsFromReference(const uint8_t reference[4], KslvGains& gains) {
  const int64_t a = reference[0], b = reference[1], c = reference[2], d = reference[3];
  if (a == 0 || b == 0 || c == 0 || d == 0) return RK_ERR_CAMERA_INVALID;
  const int64_t yr = (a + b + c + d) >> 2;
  const int64_t crr = (b - a) / 2;  // toward zero
  const int64_t cbr = (c - d) / 2;
  const int64_t denominators[3] = {
      256 * yr + 839 * crr + 128,              // red
      256 * yr - 180 * cbr - 300 * crr + 128,  // green
      256 * yr + 910 * cbr - 384 * crr + 128,  // blue
  };
  int64_t gain[3];
  for (int i = 0; i < 3; ++i) {
    if (denominators[i] <= 0) return RK_ERR_CAMERA_INVALID;
    gain[i] = yr * 65536 / denominators[i];
  }
  // The smallest gain, ties going to red, then blue, then green.
  int smallest = 0;
  for (const int i : {2, 1}) {
    if (gain[i] < gain[smallest]) smallest = i;
  }
  const int64_t m = gain[smallest];
  if (m == 0) return RK_ERR_CAMERA_INVALID;
  if (m < 256) {
    for (int i = 0; i < 3; ++i) gain[i] = i == smallest ? 256 : gain[i] * 256 / m;
  }
  gains.red = gain[0];
  gains.green = gain[1];
  gains.blue = gain[2];
  return RK_OK;
}

int16_t DecodeKslvImage(ModuleTableRec* table, const uint8_t* data, uint32_t length, ImageBlkAttrRec* image,
                        UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr || data == nullptr) return RK_ERR_NULL;
  const int width = image->width, height = image->height;
  if (!((width == 320 && height == 240) || (width == 480 && height == 360)) || image->pixels == nullptr) {
    return RK_ERR_UNSUPPORTED;
  }
  if (!TableArraysReady(table)) return RK_ERR_NULL;

  uint8_t reference[4];
  KslvGains gains;
  if (!FindWhiteReference(data, length, reference)) return RK_ERR_CAMERA_INVALID;
  if (const int16_t r = GainsFromReference(reference, gains); r != RK_OK) return r;

  KeepSize keep(image);
  const uint32_t size = length;
  if (RkDecodeJFIFHeader(table, data, &size, image) < 0 || image->data == nullptr) return RK_ERR_FORMAT;
  if (table->inputGamma == nullptr || table->outputGamma == nullptr) return RK_ERR_CAMERA_DATA;
  Layout layout;
  if (image->format == kFormat422) {
    layout = {8, 2};
  } else if (image->format == kFormat420) {
    layout = {16, 4};
  } else {
    return RK_ERR_UNSUPPORTED;
  }
  image->auxCount1 = kMcuWidth;
  image->samplesPerPixel = kMcuWidth;
  image->auxCount2 = static_cast<uint16_t>(layout.mcuHeight);

  Scratch scratch(table, kWorkBytes);
  if (!scratch.ok()) return RK_ERR_MEMORY;

  table->streamData = image->data;
  table->streamLength = std::min(image->dataLength, kMaxStreamBytes);
  table->bitPos = 0;
  table->dcPredictor[0] = table->dcPredictor[1] = table->dcPredictor[2] = 0;
  table->decodeError = 0;
  // DRI holds an unsigned 16-bit interval; the table's field is signed.
  const uint32_t interval = image->restartInterval & 0xFFFF;
  table->restartMcus = static_cast<int16_t>(interval);
  table->mcuCount = 0;

  const OutputImage out = OutputImage::From(*image, width, height);
  KslvDecoder decoder(table, out, gains, layout, scratch.data());
  return decoder.Run(interval, progress);
}

namespace {

// Create and GetImg: the bitmap decoded from 32000 bytes, or null.
constexpr uint32_t kFixedDataLength = 32000;

bool SupportedSize(uint32_t width, uint32_t height) {
  return (width == 320 && height == 240) || (width == 480 && height == 360);
}

void* NewImageBitmap(ModuleTableRec* table, const uint8_t* data, uint32_t width, uint32_t height,
                     UserCallBackRec* progress) {
  int16_t code = RK_OK;
  return NewFilledBitmap(width, height, code, [&](uint8_t* block) {
    ImageBlkAttrRec image{};
    DescribeBitmap(block, static_cast<uint16_t>(width), static_cast<uint16_t>(height), image);
    return DecodeKslvImage(table, data, kFixedDataLength, &image, progress);
  });
}

}  // namespace
}  // namespace rk::camera

using namespace rk;
using namespace rk::camera;

extern "C" {

RK_API int16_t RkDecompressCameraImage(ModuleTableRec* table, const uint8_t* data, uint32_t length,
                                       ImageBlkAttrRec* image, UserCallBackRec* progress) {
  return DecodeKslvImage(table, data, length, image, progress);
}

RK_API uint32_t RkGetCamImgDecodeWorkSpaceSize(void) { return kWorkBytes; }

RK_API uint32_t RkGetDIBKSLVCameraImageSize(uint32_t width, uint32_t height) {
  const uint64_t bytes = PackedBitmapBytes(width, height);
  return bytes > kMaxPackedBitmapBytes ? 0 : static_cast<uint32_t>(bytes);
}

RK_API void* RkCreateDIBKSLVCameraImage(ModuleTableRec* table, const uint8_t* data, uint32_t width,
                                        uint32_t height, UserCallBackRec* progress) {
  if (table == nullptr || data == nullptr || !SupportedSize(width, height)) return nullptr;
  return NewImageBitmap(table, data, width, height, progress);
}

RK_API void* RkGetImgDIBKSLVCameraImage(const uint8_t* data, uint32_t width, uint32_t height,
                                        UserCallBackRec* progress) {
  if (data == nullptr || !SupportedSize(width, height)) return nullptr;
  OwnTable unit(OwnTable::Kind::kUnit);
  if (!unit.ok()) return nullptr;
  return NewImageBitmap(unit.get(), data, width, height, progress);
}

RK_API int16_t RkConvertDIBKSLVCameraImage(ModuleTableRec* table, const uint8_t* data, uint8_t* block,
                                           uint32_t width, uint32_t height, UserCallBackRec* progress) {
  // Every pointer the decoder needs is checked before the header goes into
  // the caller's block: a refusal for a missing one writes nothing.
  if (!TableArraysReady(table) || data == nullptr || block == nullptr) return RK_ERR_NULL;
  if (!SupportedSize(width, height)) return RK_ERR_CAMERA_INVALID;
  WriteBitmapHeader(block, width, height);
  ImageBlkAttrRec image{};
  DescribeBitmap(block, static_cast<uint16_t>(width), static_cast<uint16_t>(height), image);
  return DecodeKslvImage(table, data, kFixedDataLength, &image, progress);
}

}  // extern "C"
