#include "app_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <turbojpeg.h>

namespace apptest {
namespace {

// Every test runs with the profile store in a private folder: nothing a
// test writes reaches the user's real settings.
class PrivateProfile : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.path()));
    // Local time half an hour off every whole-hour zone (UTC+5:30), so
    // that the time of saving written into Exif files is reproducibly
    // told apart from universal time.
    qputenv("TZ", "IST-5:30");
    tzset();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
  }

 private:
  QTemporaryDir dir_;
};

[[maybe_unused]] ::testing::Environment* const kProfile =
    ::testing::AddGlobalTestEnvironment(new PrivateProfile);

}  // namespace

Rgb Gradient(int width, int height, uint32_t seed) {
  Rgb rgb{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
  uint32_t state = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      uint8_t* p = &rgb.px[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
      p[1] = static_cast<uint8_t>(y * 255 / std::max(1, height - 1));
      // A smooth ramp plus a little noise (0..7): photo-like, no hard edges.
      p[2] = static_cast<uint8_t>((x + y) * 200 / std::max(1, width + height - 2) + (state >> 29));
    }
  }
  return rgb;
}

std::unique_ptr<corvid::PixelBlock> ToBlock(const Rgb& rgb) {
  auto block = corvid::PixelBlock::Create(static_cast<uint32_t>(rgb.width),
                                          static_cast<uint32_t>(rgb.height));
  if (!block) return block;
  for (int y = 0; y < rgb.height; ++y) {
    uint8_t* row = block->pixels() + static_cast<size_t>(rgb.height - 1 - y) * block->stride();
    for (int x = 0; x < rgb.width; ++x) {
      const uint8_t* p = &rgb.px[(static_cast<size_t>(y) * rgb.width + x) * 3];
      row[x * 3 + 0] = p[2];
      row[x * 3 + 1] = p[1];
      row[x * 3 + 2] = p[0];
    }
  }
  return block;
}

Rgb FromBlock(const corvid::PixelBlock& block) {
  const int w = static_cast<int>(block.width());
  const int h = static_cast<int>(block.height());
  Rgb rgb{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = block.pixels() + static_cast<size_t>(h - 1 - y) * block.stride();
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb.px[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = row[x * 3 + 2];
      p[1] = row[x * 3 + 1];
      p[2] = row[x * 3 + 0];
    }
  }
  return rgb;
}

Rgb LoadPpm(const QString& path) {
  const QByteArray bytes = ReadBytes(path);
  Rgb rgb;
  // "P6" width height maxval, each followed by one whitespace byte.
  int fields[3] = {0, 0, 0};
  qsizetype pos = 2;
  for (int& field : fields) {
    while (pos < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
    while (pos < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[pos]))) {
      field = field * 10 + (bytes[pos] - '0');
      ++pos;
    }
  }
  ++pos;
  const size_t size = static_cast<size_t>(fields[0]) * fields[1] * 3;
  if (!bytes.startsWith("P6") || fields[2] != 255 || bytes.size() - pos < static_cast<qsizetype>(size)) {
    ADD_FAILURE() << "cannot read " << path.toStdString();
    return rgb;
  }
  rgb.width = fields[0];
  rgb.height = fields[1];
  rgb.px.assign(bytes.constData() + pos, bytes.constData() + pos + size);
  return rgb;
}

int MaxDifference(const Rgb& a, const Rgb& b) {
  if (a.width != b.width || a.height != b.height) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.px.size(); ++i) worst = std::max(worst, std::abs(a.px[i] - b.px[i]));
  return worst;
}

double MeanDifference(const Rgb& a, const Rgb& b) {
  if (a.width != b.width || a.height != b.height || a.px.empty()) return 1000;
  double sum = 0;
  for (size_t i = 0; i < a.px.size(); ++i) sum += std::abs(a.px[i] - b.px[i]);
  return sum / static_cast<double>(a.px.size());
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QString Fixture(const char* relative) {
  return QStringLiteral(RK_FIXTURES_DIR "/") + QString::fromLatin1(relative);
}

QByteArray TurboEncode(const Rgb& rgb, int quality, bool progressive) {
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(handle, rgb.px.data(), rgb.width, 0, rgb.height, TJPF_RGB, &out,
                             &size, TJSAMP_420, quality, progressive ? TJFLAG_PROGRESSIVE : 0);
  QByteArray bytes;
  if (rc == 0) bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
  tjFree(out);
  tjDestroy(handle);
  return bytes;
}

Rgb TurboDecode(const QByteArray& jpeg) {
  Rgb rgb;
  tjhandle handle = tjInitDecompress();
  int w = 0, h = 0, sub = 0, space = 0;
  auto* src = reinterpret_cast<const unsigned char*>(jpeg.constData());
  const auto size = static_cast<unsigned long>(jpeg.size());
  if (tjDecompressHeader3(handle, src, size, &w, &h, &sub, &space) == 0) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
    // Accurate transform and plain chroma replication, as the program's
    // decoder does, so the two can be compared closely.
    if (tjDecompress2(handle, src, size, px.data(), w, 0, h, TJPF_RGB,
                      TJFLAG_ACCURATEDCT | TJFLAG_FASTUPSAMPLE) == 0) {
      rgb = Rgb{w, h, std::move(px)};
    }
  }
  tjDestroy(handle);
  return rgb;
}

Rgb LibtiffDecode(const QString& path) {
  Rgb rgb;
  TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
  if (tiff == nullptr) return rgb;
  uint32_t w = 0, h = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  if (w > 0 && h > 0 && TIFFReadRGBAImageOriented(tiff, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) == 1) {
    rgb = Rgb{static_cast<int>(w), static_cast<int>(h), std::vector<uint8_t>(raster.size() * 3)};
    for (size_t i = 0; i < raster.size(); ++i) {
      rgb.px[i * 3 + 0] = static_cast<uint8_t>(TIFFGetR(raster[i]));
      rgb.px[i * 3 + 1] = static_cast<uint8_t>(TIFFGetG(raster[i]));
      rgb.px[i * 3 + 2] = static_cast<uint8_t>(TIFFGetB(raster[i]));
    }
  }
  TIFFClose(tiff);
  return rgb;
}

void LibtiffWrite(const QString& path, const Rgb& rgb) {
  TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(rgb.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(rgb.height));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  for (int y = 0; y < rgb.height; ++y) {
    std::vector<uint8_t> row(rgb.px.begin() + y * rgb.width * 3, rgb.px.begin() + (y + 1) * rgb.width * 3);
    ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0), 1);
  }
  TIFFClose(tiff);
}

std::vector<QString> Entries(const QString& folder) {
  std::vector<QString> names;
  for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) names.push_back(n);
  return names;
}

QByteArray RunTool(const QString& program, const QStringList& args, const QByteArray& input) {
  QProcess process;
  process.start(program, args);
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  const bool finished = process.waitForFinished(120000);
  EXPECT_TRUE(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
      << program.toStdString() << " " << args.join(' ').toStdString() << ": "
      << process.readAllStandardError().toStdString();
  return process.readAllStandardOutput();
}

QByteArray Ppm(const Rgb& rgb) {
  QByteArray bytes = QStringLiteral("P6\n%1 %2\n255\n").arg(rgb.width).arg(rgb.height).toLatin1();
  bytes.append(reinterpret_cast<const char*>(rgb.px.data()), static_cast<qsizetype>(rgb.px.size()));
  return bytes;
}

QByteArray CamWithJpeg(const QByteArray& jpeg) {
  // "07 20 MM", one directory entry: tag 4 and the section length (big-
  // endian), 10 bytes not read; the section follows at 22.
  QByteArray file("\x07\x20MM\x00\x01\x00\x04", 8);
  const auto n = static_cast<uint32_t>(jpeg.size());
  for (int shift = 24; shift >= 0; shift -= 8) file.append(static_cast<char>(n >> shift));
  file.append(QByteArray(10, '\0'));
  return file + jpeg;
}

QByteArray OldJpegTiff(const QByteArray& jpeg, int width, int height) {
  // Header (8), then a directory of 6 entries (2 + 6 x 12 + 4 = 78) at 8,
  // then the stream at 86.
  struct Entry {
    uint16_t tag, type;
    uint32_t value;
  };
  const Entry entries[] = {{256, 4, static_cast<uint32_t>(width)}, {257, 4, static_cast<uint32_t>(height)},
                           {259, 3, 6},  // old-style JPEG
                           {262, 3, 6},  // YCbCr
                           {513, 4, 86}, {514, 4, static_cast<uint32_t>(jpeg.size())}};
  QByteArray file("II\x2A\x00\x08\x00\x00\x00", 8);
  auto put = [&file](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file.append(static_cast<char>(v >> (8 * i)));
  };
  put(6, 2);
  for (const Entry& e : entries) {
    put(e.tag, 2);
    put(e.type, 2);
    put(1, 4);
    put(e.value, 4);
  }
  put(0, 4);
  return file + jpeg;
}

}  // namespace apptest
