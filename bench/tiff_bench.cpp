// TIFF reading and writing speed: rastkit against libtiff (a test-only
// peer, never linked into the library) on a 12-megapixel RGB picture.
//
//   tiff_bench [width height]
//
// Reading: the same file, laid out by libtiff as chunky RGB and as planar
// RGB (8 KB strips, its default), decoded by RkDecodeTIFFHeader +
// RkDecodeImageByTIFF into the program's bottom-up BGR bitmap and by
// libtiff's TIFFReadRGBAImageOriented (what tiff2rgba uses) into its
// 32-bit raster, from memory. Writing: RkExportImageByTIFF from the bitmap
// into a buffer of RkGetExportTIFFImageSize bytes, and libtiff's
// TIFFWriteScanline into a memory file: chunky from ready top-down RGB rows
// (a plain copy for libtiff), chunky from the same bitmap as ours (each row
// reordered to R G B first), and planar. Both decoders' pictures are
// compared before timing. Ratios are speed ratios, ours / peer (above 1:
// ours is faster); times are the best of kRepeats runs in thread CPU time.
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "rastkit.h"

namespace {

constexpr int kRepeats = 7;

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

template <typename F>
double BestSeconds(F&& run) {
  double best = 1e9;
  for (int i = 0; i < kRepeats; ++i) {
    const double t0 = ThreadSeconds();
    run();
    best = std::min(best, ThreadSeconds() - t0);
  }
  return best;
}

// A TIFF file in memory for libtiff's client I/O: size bytes of a buffer
// that is kept (pages already touched) from one timed run to the next.
struct MemFile {
  std::vector<uint8_t> bytes;
  toff_t size = 0;
  toff_t pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  const toff_t left = f->pos < f->size ? f->size - f->pos : 0;
  const toff_t k = std::min<toff_t>(static_cast<toff_t>(n), left);
  std::memcpy(buf, f->bytes.data() + f->pos, k);
  f->pos += k;
  return static_cast<tmsize_t>(k);
}
tmsize_t MemWrite(thandle_t h, void* buf, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (f->pos + n > f->bytes.size()) f->bytes.resize(2 * (f->pos + n));
  std::memcpy(f->bytes.data() + f->pos, buf, static_cast<size_t>(n));
  f->pos += n;
  f->size = std::max(f->size, f->pos);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  f->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? f->pos + off : f->size + off;
  return f->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemFile*>(h)->size; }
int MemMap(thandle_t h, void** base, toff_t* size) {
  auto* f = static_cast<MemFile*>(h);
  *base = f->bytes.data();
  *size = f->size;
  return 1;
}
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* Open(MemFile& f, const char* mode) {
  f.pos = 0;
  return TIFFClientOpen("mem", mode, &f, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

std::vector<uint8_t> MakePicture(int w, int h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
  uint32_t seed = 12345;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / w + (seed >> 29));
      p[1] = static_cast<uint8_t>(y * 255 / h + (seed >> 27 & 3));
      p[2] = static_cast<uint8_t>((x + y) / 16 + (seed >> 30));
    }
  }
  return px;
}

enum class PeerSource { kRgbRows, kBitmap, kPlanes };

// libtiff writes the picture chunky from top-down RGB rows (a plain copy
// for it), chunky from the program's bitmap (each row turned into R G B
// first, as a program that keeps such bitmaps must), or planar; returns
// the seconds of its best run and leaves the file in out.
double LibtiffWrite(const std::vector<uint8_t>& rgb, const std::vector<uint8_t>& bmp, int w, int h,
                    PeerSource source, MemFile& out) {
  const bool planar = source == PeerSource::kPlanes;
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  out.bytes.assign(static_cast<size_t>(w) * h * 3 + (1 << 20), 0);
  return BestSeconds([&] {
    out.size = 0;
    TIFF* tif = Open(out, "wb");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    for (int s = 0; s < (planar ? 3 : 1); ++s) {
      for (int y = 0; y < h; ++y) {
        const uint8_t* src = &rgb[static_cast<size_t>(y) * w * 3];
        if (planar) {
          for (int x = 0; x < w; ++x) row[static_cast<size_t>(x)] = src[3 * x + s];
          TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), static_cast<uint16_t>(s));
        } else if (source == PeerSource::kBitmap) {
          const uint8_t* b = &bmp[static_cast<size_t>(h - 1 - y) * ((w * 3 + 3) & ~3)];
          for (int x = 0; x < w; ++x) {
            row[3 * static_cast<size_t>(x)] = b[3 * x + 2];
            row[3 * static_cast<size_t>(x) + 1] = b[3 * x + 1];
            row[3 * static_cast<size_t>(x) + 2] = b[3 * x];
          }
          TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0);
        } else {
          TIFFWriteScanline(tif, const_cast<uint8_t*>(src), static_cast<uint32_t>(y), 0);
        }
      }
    }
    TIFFClose(tif);
  });
}

double LibtiffRead(MemFile& file, int w, int h, std::vector<uint32_t>& raster) {
  raster.assign(static_cast<size_t>(w) * h, 0);
  return BestSeconds([&] {
    TIFF* tif = Open(file, "rm");
    if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) std::exit(1);
    TIFFClose(tif);
  });
}

int Stride(int w) { return (w * 3 + 3) & ~3; }

void Describe(ImageBlkAttrRec& r, std::vector<uint8_t>& bmp, int w, int h) {
  r.width = static_cast<uint16_t>(w);
  r.height = static_cast<uint16_t>(h);
  r.pixels = bmp.data();
  r.rowStride = Stride(w);
  r.redOffset = 2, r.greenOffset = 1, r.blueOffset = 0, r.pixelStride = 3;
  r.bottomUp = 1;
}

double OursRead(ModuleTableRec* t, const std::vector<uint8_t>& file, int w, int h, std::vector<uint8_t>& bmp) {
  bmp.assign(static_cast<size_t>(Stride(w)) * h, 0);
  return BestSeconds([&] {
    ImageBlkAttrRec r{};
    r.format = 1;
    const auto n = static_cast<uint32_t>(file.size());
    if (RkDecodeTIFFHeader(t, file.data(), &n, &r) <= 0) std::exit(1);
    Describe(r, bmp, w, h);
    if (RkDecodeImageByTIFF(t, &r, nullptr) != 0) std::exit(1);
  });
}

bool Same(const std::vector<uint8_t>& bmp, const std::vector<uint32_t>& raster, int w, int h) {
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &bmp[static_cast<size_t>(h - 1 - y) * Stride(w)];
    for (int x = 0; x < w; ++x) {
      const uint32_t p = raster[static_cast<size_t>(y) * w + x];
      if (row[3 * x + 2] != TIFFGetR(p) || row[3 * x + 1] != TIFFGetG(p) || row[3 * x] != TIFFGetB(p)) return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int w = argc > 2 ? std::atoi(argv[1]) : 4000;
  const int h = argc > 2 ? std::atoi(argv[2]) : 3000;
  const double mp = static_cast<double>(w) * h / 1e6;
  std::vector<uint8_t> tableBlock(RkGetCompressBlkSize());
  auto* t = reinterpret_cast<ModuleTableRec*>(tableBlock.data());
  RkInitModuleTable(t);
  const std::vector<uint8_t> rgb = MakePicture(w, h);
  std::printf("TIFF %dx%d (%.1f MP), best of %d, thread CPU time\n\n", w, h, mp, kRepeats);
  std::printf("%-22s %10s %10s %8s\n", "", "ours MP/s", "libtiff", "ratio");

  std::vector<uint8_t> bmp;
  for (bool planar : {false, true}) {
    MemFile file;
    LibtiffWrite(rgb, bmp, w, h, planar ? PeerSource::kPlanes : PeerSource::kRgbRows, file);
    std::vector<uint32_t> raster;
    const double peer = LibtiffRead(file, w, h, raster);
    file.bytes.resize(file.size);
    const double ours = OursRead(t, file.bytes, w, h, bmp);
    if (!Same(bmp, raster, w, h)) {
      std::fprintf(stderr, "pictures differ\n");
      return 1;
    }
    std::printf("%-22s %10.0f %10.0f %8.2f\n", planar ? "read planar" : "read chunky", mp / ours, mp / peer, peer / ours);
  }

  // bmp holds the picture as the program keeps it.
  ImageBlkAttrRec r{};
  Describe(r, bmp, w, h);
  std::vector<uint8_t> out(static_cast<size_t>(RkGetExportTIFFImageSize(t, &r)));
  const double ours = BestSeconds([&] {
    r.data = out.data();
    r.dataLength = static_cast<uint32_t>(out.size());
    if (RkExportImageByTIFF(t, &r, nullptr) != 0) std::exit(1);
  });
  MemFile written;
  const struct {
    const char* name;
    PeerSource source;
  } peers[] = {{"write (peer RGB rows)", PeerSource::kRgbRows},
               {"write (peer bitmap)", PeerSource::kBitmap},
               {"write (peer planar)", PeerSource::kPlanes}};
  for (const auto& p : peers) {
    const double peer = LibtiffWrite(rgb, bmp, w, h, p.source, written);
    std::printf("%-22s %10.0f %10.0f %8.2f\n", p.name, mp / ours, mp / peer, peer / ours);
  }
  RkFreeModuleTable(t);
  return 0;
}
