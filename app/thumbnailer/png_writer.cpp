#include "png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "thumbnail.h"

namespace corvid::thumbnailer {
namespace {

constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kChannels = 3;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// length, type, data, CRC of type and data.
void Chunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data, size_t size) {
  Put32(out, static_cast<uint32_t>(size));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (size != 0) out.insert(out.end(), data, data + size);
  const uLong crc = crc32(0, out.data() + typeAt, static_cast<uInt>(4 + size));
  Put32(out, static_cast<uint32_t>(crc));
}

// The Paeth predictor of the PNG filters: of left, up and upper-left, the
// one nearest to left + up - upper-left.
uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Filters one row with filter `type` (0 None, 1 Sub, 2 Up, 3 Average,
// 4 Paeth) into out; `prior` is the row above (zeros for the first row).
void FilterRow(int type, const uint8_t* row, const uint8_t* prior, size_t bytes, uint8_t* out) {
  for (size_t i = 0; i < bytes; ++i) {
    const int a = i >= kChannels ? row[i - kChannels] : 0;
    const int b = prior[i];
    const int c = i >= kChannels ? prior[i - kChannels] : 0;
    int predicted = 0;
    switch (type) {
      case 1: predicted = a; break;
      case 2: predicted = b; break;
      case 3: predicted = (a + b) / 2; break;
      case 4: predicted = Paeth(a, b, c); break;
      default: break;
    }
    out[i] = static_cast<uint8_t>(row[i] - predicted);
  }
}

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image) {
  const size_t rowBytes = static_cast<size_t>(image.width) * kChannels;
  // Filtered rows: a filter-type byte, then the row.
  std::vector<uint8_t> filtered((rowBytes + 1) * static_cast<size_t>(image.height));
  std::vector<uint8_t> zeros(rowBytes, 0), trial(rowBytes);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.rgb.data() + rowBytes * static_cast<size_t>(y);
    const uint8_t* prior = y > 0 ? row - rowBytes : zeros.data();
    uint8_t* out = filtered.data() + (rowBytes + 1) * static_cast<size_t>(y);
    uint64_t bestCost = UINT64_MAX;
    for (int type = 0; type <= 4; ++type) {
      FilterRow(type, row, prior, rowBytes, trial.data());
      // Filtered bytes read as signed: small magnitudes compress best.
      uint64_t cost = 0;
      for (uint8_t v : trial) cost += static_cast<uint64_t>(std::abs(static_cast<int8_t>(v)));
      if (cost < bestCost) {
        bestCost = cost;
        out[0] = static_cast<uint8_t>(type);
        std::copy(trial.begin(), trial.end(), out + 1);
      }
    }
  }
  // A small deflate window: a thumbnail row is at most a few kilobytes, so
  // an 8 KiB window (windowBits 13) finds nearly every match the default
  // 32 KiB one would, and the compressor's state shrinks from about 256 KiB
  // to 48 KiB (fewer fresh pages for a process that lives milliseconds).
  constexpr int kWindowBits = 13;
  constexpr int kMemLevel = 6;
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
    return {};
  }
  std::vector<uint8_t> packed(deflateBound(&z, static_cast<uLong>(filtered.size())));
  z.next_in = filtered.data();
  z.avail_in = static_cast<uInt>(filtered.size());
  z.next_out = packed.data();
  z.avail_out = static_cast<uInt>(packed.size());
  const int rc = deflate(&z, Z_FINISH);
  const size_t packedSize = z.total_out;
  deflateEnd(&z);
  if (rc != Z_STREAM_END) return {};

  std::vector<uint8_t> png(kSignature.begin(), kSignature.end());
  std::vector<uint8_t> header;
  Put32(header, static_cast<uint32_t>(image.width));
  Put32(header, static_cast<uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
  Chunk(png, "IHDR", header.data(), header.size());
  Chunk(png, "IDAT", packed.data(), packedSize);
  Chunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace corvid::thumbnailer
