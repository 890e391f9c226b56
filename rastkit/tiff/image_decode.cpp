// TIFF image decoding: the strips that RkDecodeTIFFHeader located are read
// in table order as one run of bytes per plane, and their samples are
// copied (grey, RGB) or converted (YCbCr) into the caller's pixel layout,
// one picture row at a time from the top.
//
// Layouts, for a picture W x H:
//   grey              1 byte a pixel
//   RGB chunky        R G B a pixel
//   RGB planar        three planes of W x H, each through its own strips
//   YCbCr chunky      data units of h x v lumas then Cb and Cr; a 2 x 2 unit
//                     is Y00 Y01 Y10 Y11 Cb Cr, units cover the picture
//                     padded up to whole units (a 39 x 29 picture is
//                     20 x 15 units of 6 bytes)
//   YCbCr planar      luma W x H, then Cb and Cr planes of
//                     ceil(W / h) x ceil(H / v)
// A planar file holds 3 k strip entries: entries 0 .. k-1 are the first
// plane, k .. 2k-1 the second, 2k .. 3k-1 the third, each plane placed
// wherever the file put it. A planar table that cannot be split that way
// is read as the planes back to back from the first strip.
//
// No byte outside the data is read: a strip, a strip table or a sample
// past the data ends the decode with RK_ERR_FORMAT; the rows finished by
// then stay in the pixel buffer.
#include <cstdint>
#include <cstring>

#include "cam/kernels.h"
#include "memory.h"
#include "rastkit.h"
#include "tiff/byte_order.h"
#include "tiff/pixel_rows.h"
#include "tiff/row_kernels.h"
#include "tiff/tiff_layout.h"

namespace rk::tiff {
namespace {

// The strip tables as the record carries them (see tiff_layout.h).
class StripTables {
 public:
  // False when a table lies outside the data.
  bool Init(const ImageBlkAttrRec& image, uint64_t size) {
    data_ = image.data;
    size_ = size;
    order_ = data_[0] == 'I' && data_[1] == 'I' ? kLittleEndian : kBigEndian;
    count_ = image.auxCount2 == 0 ? 1 : image.auxCount2;
    offsetValue_ = image.dataOffset;
    offsetWidth_ = EntryWidth(image.segmentLength[kOffsetEntryWidth]);
    // Byte counts are used only to step from strip to strip, so only when
    // there are several strips and one count for each; otherwise the strip
    // runs to the end of the data. A lone strip is read on past a count
    // that understates it (a 4 x 2 RGB strip counted as 12 bytes still
    // gives its 24), as a single strip always has been.
    haveCounts_ = count_ >= 2 && image.auxCount1 == count_;
    countValue_ = image.codecFlags;
    countWidth_ = EntryWidth(image.segmentLength[kCountEntryWidth]);
    if (count_ >= 2 && !Inside(offsetValue_, uint64_t{count_} * offsetWidth_)) return false;
    if (haveCounts_ && count_ >= 2 && !Inside(countValue_, uint64_t{count_} * countWidth_)) return false;
    return true;
  }

  uint32_t count() const { return count_; }
  uint64_t size() const { return size_; }
  const uint8_t* data() const { return data_; }
  uint64_t Offset(uint32_t i) const { return Entry(offsetValue_, offsetWidth_, i); }
  // 0: not given, the strip runs to the end of the data.
  uint64_t Count(uint32_t i) const { return haveCounts_ ? Entry(countValue_, countWidth_, i) : 0; }

 private:
  bool Inside(uint64_t at, uint64_t n) const { return at <= size_ && n <= size_ - at; }
  uint64_t Entry(uint32_t value, int width, uint32_t i) const {
    if (count_ == 1) return value;
    return ReadValue(data_ + value + uint64_t{i} * width, order_, width);
  }

  const uint8_t* data_ = nullptr;
  uint64_t size_ = 0;
  int order_ = kBigEndian;
  uint32_t count_ = 0;
  uint32_t offsetValue_ = 0;
  int offsetWidth_ = 4;
  bool haveCounts_ = false;
  uint32_t countValue_ = 0;
  int countWidth_ = 4;
};

// The bytes of strips [first, end) of the tables, one after the other.
class PlaneReader {
 public:
  void Init(const StripTables* tables, uint32_t first, uint32_t end, uint8_t* scratch) {
    tables_ = tables;
    next_ = first;
    end_ = end;
    scratch_ = scratch;
    cur_ = nullptr;
    left_ = 0;
    last_ = false;
  }

  // n consecutive bytes of the run: in place when they lie in the current
  // strip, else gathered into the scratch row (n fits it). Null when the
  // data ends first.
  const uint8_t* Take(uint64_t n) {
    if (n <= left_) {
      const uint8_t* p = cur_;
      cur_ += n;
      left_ -= n;
      return p;
    }
    for (uint64_t done = 0; done < n;) {
      if (left_ == 0 && !NextStrip()) return nullptr;
      const uint64_t part = n - done < left_ ? n - done : left_;
      std::memcpy(scratch_ + done, cur_, part);
      cur_ += part;
      left_ -= part;
      done += part;
    }
    return scratch_;
  }

  bool Skip(uint64_t n) {
    while (n > left_) {
      n -= left_;
      left_ = 0;
      if (!NextStrip()) return false;
    }
    cur_ += n;
    left_ -= n;
    return true;
  }

  const uint8_t* position() const { return cur_ != nullptr ? cur_ : tables_->data(); }

 private:
  // The next strip's bytes that lie inside the data. A strip that reaches
  // past the data (or runs to its end for want of a byte count) is the last
  // one: when it is used up, the data has ended.
  bool NextStrip() {
    if (last_ || next_ >= end_) return false;
    const uint64_t size = tables_->size();
    const uint64_t offset = tables_->Offset(next_);
    const uint64_t claimed = tables_->Count(next_);
    ++next_;
    const uint64_t there = offset < size ? size - offset : 0;
    if (claimed == 0 || claimed > there) {
      last_ = true;
      left_ = there;
    } else {
      left_ = claimed;
    }
    cur_ = tables_->data() + (offset < size ? offset : size);
    return true;
  }

  const StripTables* tables_ = nullptr;
  uint32_t next_ = 0;
  uint32_t end_ = 0;
  uint8_t* scratch_ = nullptr;
  const uint8_t* cur_ = nullptr;
  uint64_t left_ = 0;
  bool last_ = false;
};

enum class Kind { kGrey, kRgb, kYCbCr };

int16_t CallProgress(const UserCallBackRec* progress, int32_t done, int32_t total, const uint8_t* work) {
  if (progress == nullptr || progress->proc == nullptr) return RK_OK;
  return progress->proc(done, total, const_cast<uint8_t*>(work), progress->userData);
}

// Scratch memory for one call, freed on every return path.
class Block {
 public:
  explicit Block(size_t bytes) : p_(static_cast<uint8_t*>(AllocZeroed(bytes, 1))) {}
  ~Block() { FreeMemory(p_); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  uint8_t* get() const { return p_; }

 private:
  uint8_t* p_;
};

uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

class ImageDecoder {
 public:
  ImageDecoder(const ImageBlkAttrRec& image, const UserCallBackRec* progress)
      : image_(image), progress_(progress) {}
  int16_t Run();

 private:
  int16_t RunGreyOrRgb(Kind kind, bool planar);
  int16_t RunYCbCrChunky();
  int16_t RunYCbCrPlanar();
  // Converts a row of lumas and centred chroma with the library's YCbCr
  // conversion (in place: the arrays come back as red, green, blue) and
  // stores it as picture row y.
  void WriteYccRow(uint8_t* row, int16_t* y, int16_t* cb, int16_t* cr) const {
    const auto w = static_cast<size_t>(width_);
    YccToRgbRow(y, cb, cr, w);
    // The converted samples are 0..255.
    uint8_t* r = rgbBytes_;
    uint8_t* g = r + w;
    uint8_t* b = g + w;
    for (size_t i = 0; i < w; ++i) {
      r[i] = static_cast<uint8_t>(y[i]);
      g[i] = static_cast<uint8_t>(cb[i]);
      b[i] = static_cast<uint8_t>(cr[i]);
    }
    WritePlanes(row, r, g, b);
  }
  // Stores picture row `row` from three rows of samples.
  void WritePlanes(uint8_t* row, const uint8_t* red, const uint8_t* green, const uint8_t* blue) const {
    if (target_.IsBgr24()) {
      InterleaveBgr(red, green, blue, row, static_cast<size_t>(width_));
      return;
    }
    target_.ForEachPixel(row, [red, green, blue](int x, uint8_t& r, uint8_t& g, uint8_t& b) {
      r = red[x];
      g = green[x];
      b = blue[x];
    });
  }
  // Sets up the three plane readers over planes of the given sizes.
  void InitPlanes(const uint64_t planeBytes[3], uint8_t* scratch, uint64_t scratchRow);
  // After picture row y: the progress call. RK_STOPPED ends the decode.
  bool RowDone(int y) { return CallProgress(progress_, y, height_, planes_[0].position()) != RK_STOPPED; }
  // The closing call; its value is the result (0 without a callback).
  int16_t Finish() { return CallProgress(progress_, height_, height_, planes_[0].position()); }

  const ImageBlkAttrRec& image_;
  const UserCallBackRec* progress_;
  StripTables tables_;
  PlaneReader planes_[3];
  PixelRows target_{};
  int width_ = 0;
  int height_ = 0;
  int hs_ = 1;
  int vs_ = 1;
  uint8_t* rgbBytes_ = nullptr;  // YCbCr: three rows of converted bytes
};

void ImageDecoder::InitPlanes(const uint64_t planeBytes[3], uint8_t* scratch, uint64_t scratchRow) {
  const uint32_t n = tables_.count();
  if (n >= 3 && n % 3 == 0) {
    const uint32_t k = n / 3;
    for (uint32_t p = 0; p < 3; ++p) planes_[p].Init(&tables_, p * k, (p + 1) * k, scratch + p * scratchRow);
    return;
  }
  // Planes back to back in one run of strips.
  uint64_t skip = 0;
  for (int p = 0; p < 3; ++p) {
    planes_[p].Init(&tables_, 0, n, scratch + p * scratchRow);
    if (!planes_[p].Skip(skip)) planes_[p].Init(&tables_, 0, 0, scratch + p * scratchRow);  // nothing left
    skip += planeBytes[p];
  }
}

int16_t ImageDecoder::RunGreyOrRgb(Kind kind, bool planar) {
  const uint64_t w = static_cast<uint64_t>(width_);
  const uint64_t rowBytes = kind == Kind::kRgb && !planar ? 3 * w : w;
  Block scratch(3 * rowBytes);
  if (scratch.get() == nullptr) return RK_ERR_MEMORY;
  if (planar) {
    const uint64_t plane = w * static_cast<uint64_t>(height_);
    const uint64_t sizes[3] = {plane, plane, plane};
    InitPlanes(sizes, scratch.get(), rowBytes);
  } else {
    planes_[0].Init(&tables_, 0, tables_.count(), scratch.get());
  }
  for (int y = 0; y < height_; ++y) {
    uint8_t* row = target_.Row(y);
    if (kind == Kind::kRgb && !planar) {
      const uint8_t* s = planes_[0].Take(rowBytes);
      if (s == nullptr) return RK_ERR_FORMAT;
      if (target_.IsBgr24()) {
        SwapRedBlue(s, row, w);
      } else {
        target_.ForEachPixel(row, [s](int x, uint8_t& r, uint8_t& g, uint8_t& b) {
          r = s[3 * x];
          g = s[3 * x + 1];
          b = s[3 * x + 2];
        });
      }
    } else {
      const uint8_t* sr = planes_[0].Take(rowBytes);
      const uint8_t* sg = kind == Kind::kGrey ? sr : planes_[1].Take(rowBytes);
      const uint8_t* sb = kind == Kind::kGrey ? sr : planes_[2].Take(rowBytes);
      if (sr == nullptr || sg == nullptr || sb == nullptr) return RK_ERR_FORMAT;
      WritePlanes(row, sr, sg, sb);
    }
    if (!RowDone(y)) return RK_STOPPED;
  }
  return Finish();
}

int16_t ImageDecoder::RunYCbCrChunky() {
  const uint64_t unitsAcross = CeilDiv(static_cast<uint64_t>(width_), static_cast<uint64_t>(hs_));
  const uint64_t lumas = static_cast<uint64_t>(hs_) * static_cast<uint64_t>(vs_);
  const uint64_t unitBytes = lumas + 2;
  const uint64_t unitRowBytes = unitsAcross * unitBytes;
  const uint64_t w = static_cast<uint64_t>(width_);
  // The three 16-bit rows first, where the block's alignment holds them.
  Block scratch(3 * w * sizeof(int16_t) + 3 * w + unitRowBytes);
  if (scratch.get() == nullptr) return RK_ERR_MEMORY;
  auto* ys = reinterpret_cast<int16_t*>(scratch.get());
  int16_t* cbs = ys + w;
  int16_t* crs = cbs + w;
  rgbBytes_ = scratch.get() + 3 * w * sizeof(int16_t);
  planes_[0].Init(&tables_, 0, tables_.count(), rgbBytes_ + 3 * w);

  for (int top = 0; top < height_; top += vs_) {
    const uint8_t* units = planes_[0].Take(unitRowBytes);
    if (units == nullptr) return RK_ERR_FORMAT;
    for (int j = 0; j < vs_ && top + j < height_; ++j) {
      for (int x = 0; x < width_; ++x) {
        const uint8_t* u = units + static_cast<uint64_t>(x / hs_) * unitBytes;
        ys[x] = u[j * hs_ + x % hs_];
        cbs[x] = static_cast<int16_t>(u[lumas] - 128);
        crs[x] = static_cast<int16_t>(u[lumas + 1] - 128);
      }
      WriteYccRow(target_.Row(top + j), ys, cbs, crs);
      if (!RowDone(top + j)) return RK_STOPPED;
    }
  }
  return Finish();
}

int16_t ImageDecoder::RunYCbCrPlanar() {
  const uint64_t w = static_cast<uint64_t>(width_);
  const uint64_t chromaAcross = CeilDiv(w, static_cast<uint64_t>(hs_));
  const uint64_t chromaDown = CeilDiv(static_cast<uint64_t>(height_), static_cast<uint64_t>(vs_));
  Block scratch(3 * w * sizeof(int16_t) + 3 * w + 3 * w);
  if (scratch.get() == nullptr) return RK_ERR_MEMORY;
  auto* ys = reinterpret_cast<int16_t*>(scratch.get());
  int16_t* cbs = ys + w;
  int16_t* crs = cbs + w;
  rgbBytes_ = scratch.get() + 3 * w * sizeof(int16_t);
  const uint64_t sizes[3] = {w * static_cast<uint64_t>(height_), chromaAcross * chromaDown,
                             chromaAcross * chromaDown};
  InitPlanes(sizes, rgbBytes_ + 3 * w, w);

  const uint8_t* cb = nullptr;
  const uint8_t* cr = nullptr;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* luma = planes_[0].Take(w);
    if (luma == nullptr) return RK_ERR_FORMAT;
    if (y % vs_ == 0) {
      cb = planes_[1].Take(chromaAcross);
      cr = planes_[2].Take(chromaAcross);
      if (cb == nullptr || cr == nullptr) return RK_ERR_FORMAT;
    }
    for (int x = 0; x < width_; ++x) {
      ys[x] = luma[x];
      cbs[x] = static_cast<int16_t>(cb[x / hs_] - 128);
      crs[x] = static_cast<int16_t>(cr[x / hs_] - 128);
    }
    WriteYccRow(target_.Row(y), ys, cbs, crs);
    if (!RowDone(y)) return RK_STOPPED;
  }
  return Finish();
}

int16_t ImageDecoder::Run() {
  const uint32_t code = image_.componentIds;
  if (CodeCompression(code) != kCompressionNone) return RK_ERR_NO_IMAGE;
  const uint32_t photometric = CodePhotometric(code);
  const uint32_t samples = CodeSamples(code);
  const uint32_t planar = CodePlanar(code);
  Kind kind;
  if (photometric == kPhotometricRgb) {
    kind = Kind::kRgb;
  } else if (photometric == kPhotometricYCbCr) {
    kind = Kind::kYCbCr;
  } else if (photometric == kPhotometricBlackIsZero) {
    kind = Kind::kGrey;
  } else {
    return RK_ERR_NO_IMAGE;
  }
  if (kind == Kind::kGrey ? samples != 1 : samples != 3) return RK_ERR_NO_IMAGE;
  if (kind == Kind::kGrey ? planar > kPlanarSeparate : planar != kPlanarChunky && planar != kPlanarSeparate) {
    return RK_ERR_NO_IMAGE;
  }
  if (image_.pixels == nullptr || image_.data == nullptr) return RK_ERR_UNSUPPORTED;

  width_ = image_.width;
  height_ = image_.height;
  hs_ = (image_.format & 3) + 1;
  vs_ = ((image_.format >> 2) & 3) + 1;
  target_ = PixelRows::Of(image_);
  const uint64_t size = uint64_t{image_.dataOffset} + image_.dataLength;
  // The byte-order mark decides how table entries read; without it (or
  // with tables outside the data) there is nothing to decode.
  if (size < 2 || !tables_.Init(image_, size)) return RK_ERR_FORMAT;
  for (PlaneReader& p : planes_) p.Init(&tables_, 0, 0, nullptr);
  if (width_ == 0 || height_ == 0) {
    // Nothing to read, but each row of an empty-width picture still reports.
    for (int y = 0; y < height_; ++y) {
      if (!RowDone(y)) return RK_STOPPED;
    }
    return Finish();
  }

  const bool separate = planar == kPlanarSeparate;
  if (kind == Kind::kYCbCr) return separate ? RunYCbCrPlanar() : RunYCbCrChunky();
  return RunGreyOrRgb(kind, separate && kind == Kind::kRgb);
}

}  // namespace
}  // namespace rk::tiff

extern "C" RK_API int16_t RkDecodeImageByTIFF(ModuleTableRec* table, ImageBlkAttrRec* image,
                                              UserCallBackRec* progress) {
  if (table == nullptr || image == nullptr) return RK_ERR_NULL;
  rk::tiff::ImageDecoder decoder(*image, progress);
  return decoder.Run();
}
