#include "desktop_support.h"

#include <QFile>
#include <cstdlib>
#include <stdexcept>

#include "rastkit.h"

namespace desktoptest {
namespace {

const uint8_t* Bytes(const QByteArray& a) { return reinterpret_cast<const uint8_t*>(a.constData()); }

struct Table {
  std::vector<uint8_t> block = std::vector<uint8_t>(RkGetCompressBlkSize());
  Table() { RkInitModuleTable(get()); }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

void DescribeRgb(Rgb& out, ImageBlkAttrRec& image) {
  out.px.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
  image.pixels = out.px.data();
  image.rowStride = out.width * 3;
  image.redOffset = 0;
  image.greenOffset = 1;
  image.blueOffset = 2;
  image.pixelStride = 3;
  image.bottomUp = 0;
}

uint16_t Get16(const uint8_t* p, bool bigEndian) {
  return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
void Put16(uint8_t* p, uint16_t v, bool bigEndian) {
  p[bigEndian ? 0 : 1] = static_cast<uint8_t>(v >> 8);
  p[bigEndian ? 1 : 0] = static_cast<uint8_t>(v);
}

}  // namespace

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read " + path.toStdString());
  return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
    throw std::runtime_error("cannot write " + path.toStdString());
  }
}

QByteArray Sample(const char* name) {
  return ReadFile(QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(name));
}

Rgb LibraryDecode(const QByteArray& file, QSize camSize) {
  const auto size = static_cast<uint32_t>(file.size());
  uint32_t length = 0, offset = 0;
  const int16_t type = RkCheckCAMFileTypeEx(Bytes(file), size, &length, &offset);
  Table t;
  ImageBlkAttrRec image{};
  Rgb out;
  if (type == 3) {
    RkInitLHuffmanTable(t.get());
    RkInitCHuffmanTable(t.get());
    if (RkDecodeCAMHeaderEx(t.get(), Bytes(file), size, nullptr, &image) != 0) return {};
    out.width = camSize.width();
    out.height = camSize.height();
    DescribeRgb(out, image);
    image.width = static_cast<uint16_t>(out.width);
    image.height = static_cast<uint16_t>(out.height);
    if (RkDecompressImageByCAM(t.get(), &image, nullptr) != 0 || t.get()->decodeError != 0) return {};
    return out;
  }
  if (type == 4) {
    ImageBlkAttrRec probe{};
    if (RkDecodeJFIFHeader(nullptr, Bytes(file) + offset, &length, &probe) < 0) return {};
    out.width = probe.width;
    out.height = probe.height;
    DescribeRgb(out, image);
    if (RkDecodeJFIFHeader(t.get(), Bytes(file) + offset, &length, &image) < 0) return {};
    if (RkDecompressImageByJPEG(t.get(), &image, nullptr) != 0) return {};
    return out;
  }
  return {};
}

Rgb FromImage(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  Rgb out{rgb.width(), rgb.height(), {}};
  for (int y = 0; y < rgb.height(); ++y) {
    const uint8_t* row = rgb.constScanLine(y);
    out.px.insert(out.px.end(), row, row + rgb.width() * 3);
  }
  return out;
}

QByteArray Damaged(const QByteArray& camCoded, Damage damage) {
  QByteArray file = camCoded;
  uint32_t length = 0, offset = 0;
  if (RkCheckCAMFileTypeEx(Bytes(file), static_cast<uint32_t>(file.size()), &length, &offset) != 3) {
    throw std::runtime_error("not a CAM-coded file");
  }
  auto* section = reinterpret_cast<uint8_t*>(file.data()) + offset;
  const bool bigEndian = file[3] == 'M';
  const uint16_t ly = Get16(section + 2, bigEndian);
  const uint16_t lb = Get16(section + 4, bigEndian);
  const uint16_t lr = Get16(section + 6, bigEndian);
  uint8_t* y = section + 136;
  switch (damage) {
    case Damage::kLumaAllOnes: std::fill(y, y + ly, uint8_t{0xFF}); break;
    case Damage::kZeroedTail: std::fill(y + ly / 2, y + ly + lb + lr, uint8_t{0}); break;
    case Damage::kRestartMarkers:
      for (int i = 0; i < 10; i += 2) {
        y[100 + i] = 0xFF;
        y[101 + i] = static_cast<uint8_t>(0xD0 + i / 2);
      }
      break;
    case Damage::kShortLumaLength: Put16(section + 2, static_cast<uint16_t>(ly / 2), bigEndian); break;
  }
  return file;
}

const char* DamageName(Damage damage) {
  switch (damage) {
    case Damage::kLumaAllOnes: return "LumaAllOnes";
    case Damage::kZeroedTail: return "ZeroedTail";
    case Damage::kRestartMarkers: return "RestartMarkers";
    case Damage::kShortLumaLength: return "ShortLumaLength";
  }
  return "?";
}

}  // namespace desktoptest
