// CAM picture decompression: three entropy-coded streams (Y 480x240, Cb and
// Cr 160x120, one chrominance sample per 3 columns x 2 rows) decoded in 15
// strips of 16 luminance rows and written as RGB at 480x360, 480x240 or
// 320x240 through the caller's pixel layout.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "cam/block_decoder.h"
#include "cam/color.h"
#include "cam/decompress.h"
#include "cam/kernels.h"
#include "memory.h"
#include "table_check.h"
#include "rastkit.h"

namespace rk {
namespace {

constexpr int kSourceWidth = 480;
constexpr int kSourceHeight = 240;
constexpr int kChromaWidth = 160;
constexpr int kStripRows = 16;
constexpr int kStrips = kSourceHeight / kStripRows;  // 15
constexpr int kLumaBlocksPerRow = kSourceWidth / 8;  // 60
constexpr int kChromaBlocksPerRow = kChromaWidth / 8;  // 20

// Working memory, carved from one area in this order. Every piece before the
// module-table copies is a multiple of 16 bytes, so the copies stay aligned
// when the area starts on a 16-byte boundary.
constexpr size_t kLumaStripBytes = kSourceWidth * kStripRows * sizeof(int16_t);      // 15360
constexpr size_t kChromaStripBytes = kChromaWidth * 8 * sizeof(int16_t);             // 2560
constexpr size_t kCoefBytes = 8 * 64 * sizeof(int16_t);  // 6 Y + 1 Cb + 1 Cr blocks: 1024
constexpr size_t kScratchWords = 16;
constexpr size_t kAreaAlign = 16;
constexpr size_t kPlainPieces = kLumaStripBytes + 2 * kChromaStripBytes + kCoefBytes;
static_assert(kPlainPieces % alignof(ModuleTableRec) == 0);
static_assert(kAreaAlign >= alignof(ModuleTableRec));
constexpr size_t kAreaBytes =
    kPlainPieces + 3 * sizeof(ModuleTableRec) + 3 * kScratchWords * sizeof(uint32_t);
// A work shop may start anywhere; the slack lets the area be aligned inside it.
constexpr size_t kWorkShopBytes = kAreaBytes + kAreaAlign - 1;

enum class Mode { kTall, kDirect, kNarrow };

bool ModeFor(uint16_t width, uint16_t height, Mode* mode) {
  if (width == 480 && height == 360) *mode = Mode::kTall;
  else if (width == 480 && height == 240) *mode = Mode::kDirect;
  else if (width == 320 && height == 240) *mode = Mode::kNarrow;
  else return false;
  return true;
}

// One entropy-coded stream with its own copy of the module table (the bit
// reader state lives there) and its own DC predictor. After a stream error,
// or a code that matches no table entry, the stream is dead: from the block
// where that happened on, its blocks are not decoded from the data and come
// out with all coefficients 0 (flat: luminance 128, chrominance 0).
class Stream {
 public:
  Stream(ModuleTableRec* copy, const HuffLookup& dc, const HuffLookup& ac)
      : decoder_(copy), dc_(dc), ac_(ac) {}

  void Next(int16_t* block) {
    // Decoding into a cleared block spares the decoder the zeros of runs
    // and of the end of block.
    std::memset(block, 0, 64 * sizeof(int16_t));
    if (error_ != 0) return;
    switch (decoder_.DecodeCleared(block, dc_, ac_, &predictor_)) {
      case DecodeStatus::kOk:
      case DecodeStatus::kBadRun:  // stopped at coefficient 63, the rest zero
        return;
      case DecodeStatus::kStreamError:
        error_ = decoder_.decodeError() != 0 ? decoder_.decodeError() : int16_t{RK_ERR_END_OF_DATA};
        break;
      case DecodeStatus::kNoCode:
        error_ = RK_ERR_END_OF_DATA;
        break;
    }
    // A block cut short holds only part of itself: it is not shown either.
    std::memset(block, 0, 64 * sizeof(int16_t));
  }
  [[nodiscard]] int16_t error() const { return error_; }

 private:
  BlockDecoder decoder_;
  const HuffLookup& dc_;
  const HuffLookup& ac_;
  int16_t predictor_ = 0;
  int16_t error_ = 0;
};

// Where each image row lives.
struct Rows {
  uint8_t* pixels;
  ptrdiff_t rowStride;
  int height;
  bool bottomUp;
  [[nodiscard]] uint8_t* Row(int j) const {
    const ptrdiff_t r = bottomUp ? height - 1 - j : j;
    return pixels + r * rowStride;
  }
};

// How a pixel's three bytes are reached within a row. The two layouts the
// library is normally given (the program's bottom-up BGR bitmap and the
// RkInitImageAttribute 32-bit pixel) have their offsets fixed at compile
// time; any other layout goes through the record's values.
template <int kStride, int kRed, int kGreen, int kBlue>
struct FixedLayout {
  void Put(uint8_t* row, int x, int r, int g, int b) const {
    uint8_t* p = row + x * kStride;
    p[kRed] = static_cast<uint8_t>(r);
    p[kGreen] = static_cast<uint8_t>(g);
    p[kBlue] = static_cast<uint8_t>(b);
  }
};
using Bgr24 = FixedLayout<3, 2, 1, 0>;
using Xrgb32 = FixedLayout<4, 1, 2, 3>;

struct AnyLayout {
  ptrdiff_t stride;
  uint32_t red, green, blue;
  void Put(uint8_t* row, int x, int r, int g, int b) const {
    uint8_t* p = row + x * stride;
    p[red] = static_cast<uint8_t>(r);
    p[green] = static_cast<uint8_t>(g);
    p[blue] = static_cast<uint8_t>(b);
  }
};

// YccToRgbValues (color.h) split in two: the chrominance terms once per
// chrominance sample, then one addition and a clamp per channel for each
// luminance sample that shares it. The terms are spread to one per output column so that the per-pixel loop
// is plain arithmetic over arrays, which the compiler vectorises.
constexpr int kMaxColumns = kSourceWidth;

struct RowTerms {
  int32_t r[kMaxColumns], g[kMaxColumns], b[kMaxColumns];
};

// Planar RGB of one row.
struct RgbRow {
  uint8_t r[kMaxColumns], g[kMaxColumns], b[kMaxColumns];
};

// The working pieces of one decode.
struct Work {
  int16_t* luma;    // 16 rows of 480 samples, level-shifted
  int16_t* cb;      // 8 rows of 160
  int16_t* cr;      // 8 rows of 160
  int16_t* coef;    // 8 coefficient blocks
  ModuleTableRec* copies;  // Y, Cb, Cr
  uint32_t* scratch;       // 3 x 16 words
};

Work Carve(uint8_t* area) {
  auto* base = reinterpret_cast<uint8_t*>(
      (reinterpret_cast<uintptr_t>(area) + kAreaAlign - 1) & ~uintptr_t{kAreaAlign - 1});
  Work w{};
  w.luma = reinterpret_cast<int16_t*>(base);
  base += kLumaStripBytes;
  w.cb = reinterpret_cast<int16_t*>(base);
  base += kChromaStripBytes;
  w.cr = reinterpret_cast<int16_t*>(base);
  base += kChromaStripBytes;
  w.coef = reinterpret_cast<int16_t*>(base);
  base += kCoefBytes;
  w.copies = reinterpret_cast<ModuleTableRec*>(base);
  base += 3 * sizeof(ModuleTableRec);
  w.scratch = reinterpret_cast<uint32_t*>(base);
  return w;
}

// Decodes strip s of all three planes into the work strips.
void DecodeStrip(Stream& y, Stream& cb, Stream& cr, const ModuleTableRec& table, const Work& w) {
  for (int b = 0; b < 2; ++b) {
    for (int bx = 0; bx < kLumaBlocksPerRow; ++bx) {
      int16_t* block = w.coef + (bx % 6) * 64;
      y.Next(block);
      DequantizeTransformBlock(&table, block, table.quantTable[0]);
      for (int r = 0; r < 8; ++r) {
        int16_t* dst = w.luma + (8 * b + r) * kSourceWidth + 8 * bx;
        for (int c = 0; c < 8; ++c) dst[c] = static_cast<int16_t>(block[8 * r + c] + 128);
      }
    }
  }
  int16_t* cbBlock = w.coef + 6 * 64;
  int16_t* crBlock = w.coef + 7 * 64;
  for (int i = 0; i < kChromaBlocksPerRow; ++i) {
    cb.Next(cbBlock);
    DequantizeTransformBlock(&table, cbBlock, table.quantTable[1]);
    cr.Next(crBlock);
    DequantizeTransformBlock(&table, crBlock, table.quantTable[2]);
    for (int r = 0; r < 8; ++r) {
      std::memcpy(w.cb + r * kChromaWidth + 8 * i, cbBlock + 8 * r, 8 * sizeof(int16_t));
      std::memcpy(w.cr + r * kChromaWidth + 8 * i, crBlock + 8 * r, 8 * sizeof(int16_t));
    }
  }
}

// Terms of chrominance row `chromaRow` of the strip, each spread over the
// `repeat` output columns its sample covers (3 direct and tall, 2 narrow).
template <int repeat>
void SpreadTerms(const Work& w, int chromaRow, RowTerms& t) {
  const int16_t* cb = w.cb + chromaRow * kChromaWidth;
  const int16_t* cr = w.cr + chromaRow * kChromaWidth;
  for (int k = 0; k < kChromaWidth; ++k) {
    const ChromaTerms terms = ChromaTermsOf(cb[k], cr[k]);
    for (int i = 0; i < repeat; ++i) {
      t.r[repeat * k + i] = terms.red;
      t.g[repeat * k + i] = terms.green;
      t.b[repeat * k + i] = terms.blue;
    }
  }
}

void Convert(const int16_t* __restrict y, const RowTerms& __restrict t, int n, RgbRow& __restrict out) {
  for (int x = 0; x < n; ++x) {
    const int32_t v = y[x];
    out.r[x] = static_cast<uint8_t>(Clamp255(v + t.r[x]));
    out.g[x] = static_cast<uint8_t>(Clamp255(v + t.g[x]));
    out.b[x] = static_cast<uint8_t>(Clamp255(v + t.b[x]));
  }
}

template <class Layout>
void Store(uint8_t* row, const Layout& px, const RgbRow& c, int n) {
  if constexpr (std::is_same_v<Layout, Bgr24> && std::endian::native == std::endian::little) {
    // Four pixels as three 32-bit words: B0 G0 R0 B1 | G1 R1 B2 G2 | R2 B3 G3 R3.
    static_assert(kSourceWidth % 4 == 0 && (2 * kChromaWidth) % 4 == 0);
    for (int x = 0; x < n; x += 4, row += 12) {
      const uint32_t w0 = c.b[x] | c.g[x] << 8 | c.r[x] << 16 | uint32_t{c.b[x + 1]} << 24;
      const uint32_t w1 = c.g[x + 1] | c.r[x + 1] << 8 | c.b[x + 2] << 16 | uint32_t{c.g[x + 2]} << 24;
      const uint32_t w2 = c.r[x + 2] | c.b[x + 3] << 8 | c.g[x + 3] << 16 | uint32_t{c.r[x + 3]} << 24;
      std::memcpy(row, &w0, 4);
      std::memcpy(row + 4, &w1, 4);
      std::memcpy(row + 8, &w2, 4);
    }
  } else {
    for (int x = 0; x < n; ++x) px.Put(row, x, c.r[x], c.g[x], c.b[x]);
  }
}

// 480 x 240: source row y is image row y.
template <class Layout>
void WriteDirect(const Rows& rows, const Layout& px, const Work& w, int strip) {
  RowTerms terms;
  RgbRow rgb;
  for (int pair = 0; pair < kStripRows / 2; ++pair) {
    SpreadTerms<3>(w, pair, terms);
    for (int half = 0; half < 2; ++half) {
      const int local = 2 * pair + half;
      Convert(w.luma + local * kSourceWidth, terms, kSourceWidth, rgb);
      Store(rows.Row(strip * kStripRows + local), px, rgb, kSourceWidth);
    }
  }
}

// 320 x 240: each group of three source columns becomes two columns, the
// first with the floor of the mean of the first two luminance samples
// (an arithmetic shift), the second with the third; both take the group's
// chrominance.
template <class Layout>
void WriteNarrow(const Rows& rows, const Layout& px, const Work& w, int strip) {
  RowTerms terms;
  RgbRow rgb;
  int16_t narrow[2 * kChromaWidth];
  for (int pair = 0; pair < kStripRows / 2; ++pair) {
    SpreadTerms<2>(w, pair, terms);
    for (int half = 0; half < 2; ++half) {
      const int local = 2 * pair + half;
      const int16_t* ys = w.luma + local * kSourceWidth;
      for (int k = 0; k < kChromaWidth; ++k) {
        narrow[2 * k] = static_cast<int16_t>((ys[3 * k] + ys[3 * k + 1]) >> 1);
        narrow[2 * k + 1] = ys[3 * k + 2];
      }
      Convert(narrow, terms, 2 * kChromaWidth, rgb);
      Store(rows.Row(strip * kStripRows + local), px, rgb, 2 * kChromaWidth);
    }
  }
}

// (a + 2b) / 3 per channel over a row, floored (values up to 765).
void Blend(const RgbRow& a, const RgbRow& b, RgbRow& out) {
  for (int x = 0; x < kSourceWidth; ++x) {
    out.r[x] = static_cast<uint8_t>((a.r[x] + 2u * b.r[x]) / 3u);
    out.g[x] = static_cast<uint8_t>((a.g[x] + 2u * b.g[x]) / 3u);
    out.b[x] = static_cast<uint8_t>((a.b[x] + 2u * b.b[x]) / 3u);
  }
}

// 480 x 360: source rows 2m and 2m+1 (P and N) give image rows 3m, 3m+1 and
// 3m+2, so image row j sits at source position (2j - 1) / 3:
//   row 3m+2 = N
//   row 3m   = P for m = 0, else (E + 2P) / 3 with E = row 3m-1 as stored
//   row 3m+1 = (N + 2P) / 3
// per channel on the stored bytes. E is the previous pair's N, kept in
// *previous across strips.
template <class Layout>
void WriteTall(const Rows& rows, const Layout& px, const Work& w, int strip, RgbRow* previous) {
  RowTerms terms;
  RgbRow p, n, mixed;
  for (int pair = 0; pair < kStripRows / 2; ++pair) {
    SpreadTerms<3>(w, pair, terms);
    const int m = strip * (kStripRows / 2) + pair;
    Convert(w.luma + (2 * pair) * kSourceWidth, terms, kSourceWidth, p);
    Convert(w.luma + (2 * pair + 1) * kSourceWidth, terms, kSourceWidth, n);
    Store(rows.Row(3 * m + 2), px, n, kSourceWidth);
    if (m == 0) {
      Store(rows.Row(0), px, p, kSourceWidth);
    } else {
      Blend(*previous, p, mixed);
      Store(rows.Row(3 * m), px, mixed, kSourceWidth);
    }
    Blend(n, p, mixed);
    Store(rows.Row(3 * m + 1), px, mixed, kSourceWidth);
    *previous = n;
  }
}

// Writes a decoded strip in the chosen mode through one layout.
template <class Layout>
void WriteStrip(Mode mode, const Rows& rows, const Layout& px, const Work& w, int strip, RgbRow* previous) {
  switch (mode) {
    case Mode::kTall: WriteTall(rows, px, w, strip, previous); break;
    case Mode::kDirect: WriteDirect(rows, px, w, strip); break;
    case Mode::kNarrow: WriteNarrow(rows, px, w, strip); break;
  }
}

// Prepares the stream copy of the module table for length bytes at data.
void PrepareCopy(ModuleTableRec* copy, const ModuleTableRec& table, uint8_t* data, uint64_t length,
                 uint32_t* scratch) {
  *copy = table;
  copy->streamData = data;
  copy->streamLength = static_cast<uint32_t>(length);
  copy->bitPos = 0;
  copy->decodeError = 0;
  copy->restartMcus = 0;
  copy->mcuCount = 0;
  for (auto& p : copy->dcPredictor) p = 0;
  copy->bitScratch = scratch;
  copy->workShop = nullptr;
}

}  // namespace

size_t CamDecodeWorkSpaceSize() { return kWorkShopBytes; }

Status DecompressCam(ModuleTableRec* table, ImageBlkAttrRec* image, UserCallBackRec* progress) {
  Mode mode;
  if (!ModeFor(image->width, image->height, &mode)) return Status::kUnsupported;
  // No pixel buffer or no coded data: nothing to decode into or from.
  if (image->pixels == nullptr || (image->data == nullptr && image->dataLength != 0)) {
    return Status::kUnsupported;
  }

  table->streamData = image->data;
  table->streamLength = image->dataLength;
  table->bitPos = 0;
  for (auto& p : table->dcPredictor) p = 0;
  table->decodeError = 0;
  table->restartMcus = 0;

  Scratch area(table, kWorkShopBytes);
  if (!area.ok()) return Status::kMemory;
  const Work w = Carve(area.data());

  // The three streams follow each other at data. Each is cut to what is
  // left of dataLength, so lengths that disagree with it cannot carry a
  // stream past the data (sums in 64 bits).
  const uint64_t total = image->data != nullptr ? image->dataLength : 0;
  uint64_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const uint64_t s = std::min<uint64_t>(start, total);
    const uint64_t len = std::min<uint64_t>(image->segmentLength[i], total - s);
    uint8_t* at = image->data != nullptr ? image->data + s : nullptr;
    PrepareCopy(&w.copies[i], *table, at, len, w.scratch + i * kScratchWords);
    start += image->segmentLength[i];
  }

  // Symbol lookups for the default tables (and the caller's lookup buffers
  // when installed): luminance for Y, chrominance for Cb and Cr.
  HuffLookup dcLuma(table->dcCodeTable[0], 16, table->huffLut[0]);
  HuffLookup dcChroma(table->dcCodeTable[1], 16, table->huffLut[1]);
  HuffLookup acLuma(table->acCodeTable[0], 256, table->huffLut[2]);
  HuffLookup acChroma(table->acCodeTable[1], 256, table->huffLut[3]);
  Stream y(&w.copies[0], dcLuma, acLuma);
  Stream cb(&w.copies[1], dcChroma, acChroma);
  Stream cr(&w.copies[2], dcChroma, acChroma);

  const Rows rows{image->pixels, image->rowStride, image->height, image->bottomUp != 0};
  const AnyLayout any{static_cast<ptrdiff_t>(image->pixelStride), image->redOffset, image->greenOffset,
                      image->blueOffset};
  const bool bgr24 = any.stride == 3 && any.red == 2 && any.green == 1 && any.blue == 0;
  const bool xrgb32 = any.stride == 4 && any.red == 1 && any.green == 2 && any.blue == 3;
  RgbRow previous{};
  const bool report = progress != nullptr && progress->proc != nullptr;
  for (int s = 0; s < kStrips; ++s) {
    DecodeStrip(y, cb, cr, *table, w);
    if (bgr24) WriteStrip(mode, rows, Bgr24{}, w, s, &previous);
    else if (xrgb32) WriteStrip(mode, rows, Xrgb32{}, w, s, &previous);
    else WriteStrip(mode, rows, any, w, s, &previous);
    if (report && progress->proc(kStripRows * s, kSourceHeight, w.coef, progress->userData) == RK_STOPPED) {
      return Status::kStopped;
    }
  }
  // A damaged stream does not fail the call (the picture is still shown);
  // its first error is left in the table's error field for callers who ask.
  for (const Stream* st : {&y, &cb, &cr}) {
    if (st->error() != 0) {
      table->decodeError = st->error();
      break;
    }
  }
  if (report && progress->proc(kSourceHeight, kSourceHeight, w.coef, progress->userData) == RK_STOPPED) {
    return Status::kStopped;
  }
  return Status::kOk;
}

}  // namespace rk

extern "C" {

RK_API int16_t RkDecompressImageByCAM(ModuleTableRec* table, ImageBlkAttrRec* image,
                                      UserCallBackRec* progress) {
  if (image == nullptr || !rk::TableArraysReady(table)) return RK_ERR_NULL;
  return rk::ToResult(rk::DecompressCam(table, image, progress));
}

RK_API uint32_t RkGetCAMDecodeWorkSpaceSize(void) {
  return static_cast<uint32_t>(rk::CamDecodeWorkSpaceSize());
}

}  // extern "C"
