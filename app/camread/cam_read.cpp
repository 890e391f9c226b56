#include "cam_read.h"

#include <cstdlib>

#include "rastkit.h"

namespace corvid::camread {
namespace {

// rastkit's recognition results (RkCheckCAMFileTypeEx).
constexpr int16_t kTypeNotCam = 1;
constexpr int16_t kTypeCamCoded = 3;
constexpr int16_t kTypeJpeg = 4;

// The module table, allocated as the library asks (RkGetCompressBlkSize
// bytes, zero-filled) and released with its arrays.
class ModuleTable {
 public:
  ModuleTable() : block_(std::calloc(1, RkGetCompressBlkSize())) {
    if (block_ != nullptr) RkInitModuleTable(get());
  }
  ~ModuleTable() {
    if (block_ != nullptr) RkFreeModuleTable(get());
    std::free(block_);
  }
  ModuleTable(const ModuleTable&) = delete;
  ModuleTable& operator=(const ModuleTable&) = delete;
  ModuleTableRec* get() const { return static_cast<ModuleTableRec*>(block_); }

 private:
  void* block_;
};

void Describe(const PixelLayout& out, Size at, ImageBlkAttrRec& image) {
  image.width = static_cast<uint16_t>(at.width);
  image.height = static_cast<uint16_t>(at.height);
  image.pixels = out.pixels;
  image.rowStride = out.rowStride;
  image.pixelFormat = 0;
  image.redOffset = out.red;
  image.greenOffset = out.green;
  image.blueOffset = out.blue;
  image.pixelStride = out.pixelStride;
  image.bottomUp = 0;
}

Status DecodeCamCoded(const uint8_t* file, size_t size, Size at, const PixelLayout& out) {
  bool known = false;
  for (Size s : kCamSizes) known = known || s == at;
  if (!known) return Status::kUnsupported;
  ModuleTable table;
  if (table.get() == nullptr) return Status::kNoMemory;
  // The coded streams carry no tables: they use the default Huffman codes.
  RkInitLHuffmanTable(table.get());
  RkInitCHuffmanTable(table.get());
  ImageBlkAttrRec image{};
  const int16_t header = RkDecodeCAMHeaderEx(table.get(), file, static_cast<uint32_t>(size), nullptr, &image);
  if (header == RK_ERR_NULL) return Status::kNoMemory;  // the table's arrays are missing
  if (header != RK_OK) return Status::kTruncated;
  Describe(out, at, image);
  const int16_t rc = RkDecompressImageByCAM(table.get(), &image, nullptr);
  if (rc == RK_ERR_MEMORY || rc == RK_ERR_NULL) return Status::kNoMemory;
  if (rc != RK_OK) return Status::kUnsupported;
  // The decoder finishes a damaged stream with flat blocks and leaves the
  // first stream error here.
  return table.get()->decodeError == 0 ? Status::kOk : Status::kDamaged;
}

Status DecodeJpeg(const uint8_t* file, const CamFile& found, Size at, const PixelLayout& out) {
  if (!(at == found.size)) return Status::kUnsupported;
  ModuleTable table;
  if (table.get() == nullptr) return Status::kNoMemory;
  const uint8_t* stream = file + found.jpegOffset;
  const uint32_t length = found.jpegLength;
  ImageBlkAttrRec image{};
  Describe(out, at, image);
  // Loads this stream's tables into the module table. The frame is the
  // one Inspect measured (the same bytes), so the size agrees.
  if (RkDecodeJFIFHeader(table.get(), stream, &length, &image) < 0) return Status::kDamaged;
  if (image.width != at.width || image.height != at.height) return Status::kDamaged;
  // Progressive frames, and sequential ones coded in several scans, take
  // the progressive decoder (the header marks both the same way).
  const int16_t rc = (image.format & RK_FORMAT_PROGRESSIVE) != 0
                         ? RkDecompressImageByProgJPEG(table.get(), &image, nullptr)
                         : RkDecompressImageByJPEG(table.get(), &image, nullptr);
  if (rc == RK_ERR_MEMORY || rc == RK_ERR_NULL) return Status::kNoMemory;
  if (rc == RK_ERR_UNSUPPORTED) return Status::kUnsupported;
  return rc == RK_OK ? Status::kOk : Status::kDamaged;
}

}  // namespace

const char* StatusText(Status status) {
  switch (status) {
    case Status::kOk: return "ok";
    case Status::kNotCam: return "not a CAM file";
    case Status::kNoPicture: return "CAM file without a picture";
    case Status::kTruncated: return "truncated CAM file";
    case Status::kDamaged: return "damaged picture data";
    case Status::kUnsupported: return "picture kind not supported";
    case Status::kTooLarge: return "file or picture too large";
    case Status::kNoMemory: return "out of memory";
    case Status::kReadError: return "cannot read the file";
  }
  return "unknown error";
}

bool LooksLikeCam(const uint8_t* head, size_t size) {
  if (head == nullptr || size < 3) return false;
  const auto n = static_cast<uint32_t>(size < UINT32_MAX ? size : UINT32_MAX);
  const int16_t type = RkCheckCAMFileTypeEx(head, n, nullptr, nullptr);
  // RK_ERR_UNSUPPORTED: a CAM header whose directory or picture section
  // goes on past `head`; the rest of the file decides.
  return type == kTypeCamCoded || type == kTypeJpeg || type == RK_ERR_UNSUPPORTED;
}

Status Inspect(const uint8_t* file, size_t size, CamFile* found) {
  if (static_cast<uint64_t>(size) > static_cast<uint64_t>(kMaxFileBytes)) return Status::kTooLarge;
  if (file == nullptr || size == 0) return Status::kNotCam;
  uint32_t length = 0;
  uint32_t offset = 0;
  const int16_t type = RkCheckCAMFileTypeEx(file, static_cast<uint32_t>(size), &length, &offset);
  switch (type) {
    case kTypeCamCoded:
      *found = CamFile{Kind::kCamCoded, kCamSizes[0], 0, 0};
      return Status::kOk;
    case kTypeJpeg: break;
    case kTypeNotCam: return Status::kNotCam;
    case RK_ERR_NO_IMAGE: return Status::kNoPicture;
    default: return Status::kTruncated;
  }
  // The section lies inside the file (the sized check made sure). Measure
  // the stream without a module table: size, kind, where its SOI is.
  ImageBlkAttrRec image{};
  const int32_t soi = RkDecodeJFIFHeader(nullptr, file + offset, &length, &image);
  if (soi < 0 || static_cast<uint32_t>(soi) >= length) return Status::kDamaged;
  if (image.width == 0 || image.height == 0) return Status::kDamaged;
  if (int64_t{image.width} * image.height > kMaxPixels) return Status::kTooLarge;
  *found = CamFile{Kind::kJpeg, Size{image.width, image.height}, offset + static_cast<uint32_t>(soi),
                   length - static_cast<uint32_t>(soi)};
  return Status::kOk;
}

Status Decode(const uint8_t* file, size_t size, const CamFile& found, Size at, const PixelLayout& out) {
  if (file == nullptr || out.pixels == nullptr) return Status::kNoMemory;
  return found.kind == Kind::kCamCoded ? DecodeCamCoded(file, size, at, out) : DecodeJpeg(file, found, at, out);
}

}  // namespace corvid::camread
