// rk-camera COMMAND IN OUT [ARG]: the camera-data pipelines from the
// command line, through the library's public interface only.
//
//   kslv-thumbnail IN OUT [40x30|60x45]   KSLV thumbnail (3600 bytes)
//   kslv IN OUT [320x240|480x360]         KSLV image stream
//   kstm IN OUT                           KSTM image data ("KM" ...)
//   kstm-thumbnail IN OUT                 KSTM thumbnail stream
//   jfif IN OUT                           any JPEG stream
//   compound IN.ppm OUT [TARGET]          compound KSTM raw data (640x480,
//                                         default target 65536 bytes)
//   wrap IN.kstm OUT.jpg [COMMENT]        KSTM image data as a JFIF file
//   wren IN.ppm OUT.jpg [MODE]            a Wren camera Exif file (mode 0-15;
//                                         2: 640x480, others 1360x1024)
//
// Decoded pictures are written as BMP, or as baseline JPEG when OUT ends in
// ".jpg" or ".jpeg".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "picture.h"
#include "rastkit.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Table {
  Bytes block = Bytes(RkGetCompressBlkSize());
  explicit Table(bool unit) {
    if (unit) {
      RkInitKSLVImageProcessUnit(get());
    } else {
      RkInitModuleTable(get());
    }
  }
  ~Table() { RkFreeModuleTable(get()); }
  ModuleTableRec* get() { return reinterpret_cast<ModuleTableRec*>(block.data()); }
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "rk-camera: %s\n", what.c_str());
  return 1;
}

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

uint32_t Stride(int width) { return (static_cast<uint32_t>(width) * 3 + 3) & ~3u; }

// Bottom-up blue-green-red rows, padded to 4 bytes, written as BMP or JPEG.
int WritePicture(const std::string& path, int width, int height, const uint8_t* rows) {
  Bytes file;
  if (EndsWith(path, ".jpg") || EndsWith(path, ".jpeg")) {
    Table t(false);
    ImageBlkAttrRec image{};
    image.width = static_cast<uint16_t>(width);
    image.height = static_cast<uint16_t>(height);
    image.format = 0x3001;
    image.pixels = const_cast<uint8_t*>(rows);
    image.rowStride = static_cast<int32_t>(Stride(width));
    image.redOffset = 2;
    image.greenOffset = 1;
    image.blueOffset = 0;
    image.pixelStride = 3;
    image.bottomUp = 1;
    file.resize(Stride(width) * height + 65536);
    image.data = file.data();
    image.dataLength = static_cast<uint32_t>(file.size());
    const int16_t r = RkExportImageByJFIF(t.get(), &image, nullptr);
    if (r != 0) return Fail("JPEG encoder: " + std::to_string(r));
    file.resize(image.dataLength);
  } else {
    file = rktools::BmpFile(width, height, rows, static_cast<int32_t>(Stride(width)));
  }
  if (!rktools::WriteFile(path, file)) return Fail("cannot write " + path);
  return 0;
}

// Writes a returned heap block (or reports the code) and frees it.
int Finish(void* block, int16_t code, const std::string& out) {
  if (block == nullptr) return Fail("decoder: " + std::to_string(code));
  // The packed bitmap: its size in the header's width and height fields.
  const auto* packed = static_cast<const uint8_t*>(block);
  int32_t width = 0, height = 0;
  std::memcpy(&width, packed + 4, 4);
  std::memcpy(&height, packed + 8, 4);
  const int r = WritePicture(out, width, height, packed + 40);
  std::free(block);
  return r;
}

bool ParseSize(const char* text, int& width, int& height) {
  return std::sscanf(text, "%dx%d", &width, &height) == 2;
}

int KslvThumbnail(const Bytes& in, const std::string& out, const char* size) {
  int width = 40, height = 30;
  if (size != nullptr && !ParseSize(size, width, height)) return Fail("size must be WxH");
  if (width <= 0 || height <= 0 || width > 60 || height > 45) return Fail("size must be 40x30 or 60x45");
  Table unit(true);
  Bytes rows(Stride(width) * static_cast<uint32_t>(height));
  ImageBlkAttrRec image{};
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  image.pixels = rows.data();
  image.rowStride = static_cast<int32_t>(Stride(width));
  image.redOffset = 2;
  image.greenOffset = 1;
  image.pixelStride = 3;
  image.bottomUp = 1;
  const int16_t r = RkDecompressCameraThumbnail(unit.get(), in.data(), static_cast<uint32_t>(in.size()), &image);
  if (r != 0) return Fail("thumbnail decoder: " + std::to_string(r));
  return WritePicture(out, width, height, rows.data());
}

int KslvImage(const Bytes& in, const std::string& out, const char* size) {
  int width = 480, height = 360;
  if (size != nullptr && !ParseSize(size, width, height)) return Fail("size must be WxH");
  const uint32_t bytes = RkGetDIBKSLVCameraImageSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (bytes == 0) return Fail("size out of range");
  Bytes packed(bytes);
  Table unit(true);
  ImageBlkAttrRec image{};
  image.width = static_cast<uint16_t>(width);
  image.height = static_cast<uint16_t>(height);
  image.pixels = packed.data() + 40;
  image.rowStride = static_cast<int32_t>(Stride(width));
  image.redOffset = 2;
  image.greenOffset = 1;
  image.pixelStride = 3;
  image.bottomUp = 1;
  const int16_t r = RkDecompressCameraImage(unit.get(), in.data(), static_cast<uint32_t>(in.size()), &image, nullptr);
  if (r != 0) return Fail("KSLV decoder: " + std::to_string(r));
  return WritePicture(out, width, height, packed.data() + 40);
}

// A PPM picture at width x height as a bottom-up blue-green-red bitmap.
bool ReadBitmap(const std::string& in, int width, int height, Bytes& pixels) {
  rktools::Picture pic;
  if (!rktools::ReadPpm(in, pic)) return false;
  const rktools::Picture sized = rktools::Resize(pic, width, height);
  const uint32_t stride = Stride(width);
  pixels.assign(static_cast<size_t>(stride) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &pixels[static_cast<size_t>(height - 1 - y) * stride + 3 * x];
      p[0] = sized.at(x, y)[2];
      p[1] = sized.at(x, y)[1];
      p[2] = sized.at(x, y)[0];
    }
  }
  return true;
}

// Writes a returned data block of size bytes and frees it.
int WriteBlock(void* block, uint32_t size, int16_t code, const std::string& out, const char* what) {
  if (block == nullptr) return Fail(std::string(what) + ": " + std::to_string(code));
  const Bytes data(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size);
  std::free(block);
  if (!rktools::WriteFile(out, data)) return Fail("cannot write " + out);
  return 0;
}

int Wren(const std::string& in, const std::string& out, const char* modeText) {
  const uint32_t mode = modeText != nullptr ? static_cast<uint32_t>(std::strtoul(modeText, nullptr, 10)) : 2;
  const bool small = (mode & 7) == 2;
  Bytes pixels;
  if (!ReadBitmap(in, small ? 640 : 1360, small ? 480 : 1024, pixels)) return Fail("cannot read the PPM picture " + in);
  uint32_t size = 0;
  int16_t code = 0;
  void* block = RkGetWrenExifImgRawData(pixels.data(), &size, mode, &code, nullptr);
  return WriteBlock(block, size, code, out, "Wren export");
}

int Compound(const std::string& in, const std::string& out, const char* target) {
  Bytes pixels;
  if (!ReadBitmap(in, 640, 480, pixels)) return Fail("cannot read the PPM picture " + in);
  uint32_t size = target != nullptr ? static_cast<uint32_t>(std::strtoul(target, nullptr, 10)) : 65536;
  int16_t code = 0;
  void* block = RkGetCompImgKSTMRawData(pixels.data(), &size, &code, nullptr);
  return WriteBlock(block, size, code, out, "compound encoder");
}

int Wrap(const Bytes& in, const std::string& out, const char* comment) {
  if (in.size() < 138 || in[0] != 'K' || in[1] != 'M') return Fail("not KSTM image data");
  const uint32_t commentLength = comment != nullptr ? static_cast<uint32_t>(std::strlen(comment)) : 0;
  Bytes file(in.size() + commentLength + 1024);
  const uint32_t n = RkExportVCameraDataToJPEG(in.data() + 8, reinterpret_cast<const uint8_t*>(comment), commentLength,
                                               in.data() + 136, static_cast<uint32_t>(in.size() - 136), file.data());
  if (n == 0) return Fail("comment too long");
  file.resize(n);
  if (!rktools::WriteFile(out, file)) return Fail("cannot write " + out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr,
                 "usage: rk-camera kslv-thumbnail|kslv|kstm|kstm-thumbnail|jfif IN OUT.bmp|OUT.jpg [SIZE]\n"
                 "       rk-camera compound IN.ppm OUT [TARGET]\n"
                 "       rk-camera wrap IN.kstm OUT.jpg [COMMENT]\n"
                 "       rk-camera wren IN.ppm OUT.jpg [MODE]\n");
    return 2;
  }
  const std::string command = argv[1], in = argv[2], out = argv[3];
  const char* extra = argc == 5 ? argv[4] : nullptr;
  if (command == "compound") return Compound(in, out, extra);
  if (command == "wren") return Wren(in, out, extra);
  Bytes data;
  if (!rktools::ReadFile(in, data)) return Fail("cannot read " + in);
  if (data.empty() || data.size() > 0x7FFFFFFF) return Fail("empty or oversized input");
  const auto length = static_cast<int32_t>(data.size());
  int16_t code = 0;
  if (command == "kslv-thumbnail") return KslvThumbnail(data, out, extra);
  if (command == "kslv") return KslvImage(data, out, extra);
  if (command == "kstm") return Finish(RkGetImgDIBKSTMCameraImage(data.data(), length, &code, nullptr), code, out);
  if (command == "kstm-thumbnail") return Finish(RkGetImgDIBKSTMCameraThumbnail(data.data(), length, &code), code, out);
  if (command == "jfif") return Finish(RkGetImgDIBJFIFImage(data.data(), length, &code, nullptr), code, out);
  if (command == "wrap") return Wrap(data, out, extra);
  return Fail("unknown command " + command);
}
