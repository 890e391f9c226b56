// CAM recognition, thumbnail access and the header decoder. Each export
// comes in two forms: the original one for a caller that holds the whole
// file and trusts its lengths, and an "Ex" form that is told the file size
// and refuses (RK_ERR_UNSUPPORTED) any directory, section or stream that
// would run past it.
#include <algorithm>
#include <cstring>

#include "container.h"
#include "rastkit.h"
#include "status.h"
#include "table_check.h"

namespace rk {
namespace {

// Offsets and lengths leave the library as 32-bit values, so even a trusted
// file cannot place a section beyond 4 GiB; that bound stands in for the
// unknown file size of the unsized exports.
constexpr uint64_t kLargestFile = UINT32_MAX;

uint64_t Limit(uint64_t fileSize) { return std::min(fileSize, kLargestFile); }

int16_t CheckFileType(const uint8_t* file, uint64_t fileSize, uint32_t* length, uint32_t* offset) {
  if (file == nullptr) return RK_ERR_NULL;
  CamDirectory dir;
  switch (ParseCamDirectory(file, fileSize, dir)) {
    case CamParse::kNotCam: return 1;
    case CamParse::kTruncated: return RK_ERR_UNSUPPORTED;
    case CamParse::kOk: break;
  }
  // A file with both pictures is a CAM-coded picture.
  for (CamTag tag : {kCamTagImage, kCamTagJpeg}) {
    const CamSection& s = dir.section(tag);
    if (!s.present()) continue;
    if (!s.inside(Limit(fileSize))) return RK_ERR_UNSUPPORTED;
    if (length != nullptr) *length = s.length;
    if (offset != nullptr) *offset = static_cast<uint32_t>(s.offset);
    return static_cast<int16_t>(tag);
  }
  return RK_ERR_NO_IMAGE;
}

// Finds the thumbnail section: 0 with *found set, 1 when there is none (or
// the file is not a CAM file), RK_ERR_UNSUPPORTED when it runs past the end.
int16_t FindThumbnail(const uint8_t* file, uint64_t fileSize, CamSection* found) {
  CamDirectory dir;
  switch (ParseCamDirectory(file, fileSize, dir)) {
    case CamParse::kNotCam: return 1;
    case CamParse::kTruncated: return RK_ERR_UNSUPPORTED;
    case CamParse::kOk: break;
  }
  const CamSection& s = dir.section(kCamTagThumbnail);
  if (!s.present()) return 1;
  if (!s.inside(Limit(fileSize))) return RK_ERR_UNSUPPORTED;
  *found = s;
  return RK_OK;
}

int16_t ThumbnailInfo(const uint8_t* file, uint64_t fileSize, uint32_t* length, uint32_t* offset) {
  if (file == nullptr || length == nullptr || offset == nullptr) return RK_ERR_NULL;
  CamSection s;
  const int16_t rc = FindThumbnail(file, fileSize, &s);
  if (rc != RK_OK) return rc;
  *length = s.length;
  *offset = static_cast<uint32_t>(s.offset);
  return RK_OK;
}

int16_t CopyThumbnail(const uint8_t* file, uint64_t fileSize, uint8_t* dest, uint64_t destSize) {
  if (file == nullptr || dest == nullptr) return RK_ERR_NULL;
  CamSection s;
  const int16_t rc = FindThumbnail(file, fileSize, &s);
  if (rc != RK_OK) return rc;
  if (s.length > destSize) return RK_ERR_BUFFER;
  std::memcpy(dest, file + s.offset, s.length);
  return RK_OK;
}

Status DecodeHeader(ModuleTableRec* table, const uint8_t* file, uint64_t fileSize,
                     uint32_t* endOffset, ImageBlkAttrRec* image) {
  // The quantisation arrays and the zigzag order are written and read
  // below; a table whose allocation failed has them null.
  if (image == nullptr || !TableArraysReady(table)) return Status::kNull;
  if (file == nullptr) return Status::kUnsupported;
  CamDirectory dir;
  if (ParseCamDirectory(file, fileSize, dir) != CamParse::kOk) return Status::kUnsupported;
  const CamSection& s = dir.section(kCamTagImage);
  const uint64_t limit = Limit(fileSize);
  if (!s.present() || !s.inside(limit)) return Status::kUnsupported;
  // The fixed 136-byte header and the three streams must be in the file.
  // They are not required to fit the section's own length: the streams
  // are located from the header alone.
  if (kCamImageHeaderBytes > limit - s.offset) return Status::kUnsupported;
  const CamImageHeader h = ReadCamImageHeader(file, s.offset, dir.bigEndian);
  const uint64_t dataStart = s.offset + kCamImageHeaderBytes;
  if (h.codedBytes() > limit - dataStart) return Status::kUnsupported;

  image->dataOffset = static_cast<uint32_t>(s.offset);
  image->xDpi = 72;
  image->yDpi = 72;
  // Stored bytes are in zigzag order: the third stored value belongs to
  // natural index zigzag[2] = 8 (row 1, column 0).
  for (int k = 0; k < 64; ++k) {
    const int natural = table->zigzag[k] & 63;
    table->quantTable[0][natural] = h.lumaQuant[k];
    table->quantTable[1][natural] = h.chromaQuant[k];
    table->quantTable[2][natural] = h.chromaQuant[k];
  }
  image->data = const_cast<uint8_t*>(file) + dataStart;
  for (int i = 0; i < 3; ++i) image->segmentLength[i] = h.streamLength[i];
  image->dataLength = static_cast<uint32_t>(h.codedBytes());
  if (endOffset != nullptr) *endOffset = static_cast<uint32_t>(dataStart + h.codedBytes());
  return Status::kOk;
}

}  // namespace
}  // namespace rk

using namespace rk;

extern "C" {

RK_API int16_t RkCheckCAMFileType(const uint8_t* file, uint32_t* length, uint32_t* offset) {
  return CheckFileType(file, kTrustedFileSize, length, offset);
}

RK_API int16_t RkCheckCAMFileTypeEx(const uint8_t* file, uint32_t fileSize, uint32_t* length,
                                    uint32_t* offset) {
  return CheckFileType(file, fileSize, length, offset);
}

RK_API int16_t RkGetCAMThumbnailInfo(const uint8_t* file, uint32_t* length, uint32_t* offset) {
  return ThumbnailInfo(file, kTrustedFileSize, length, offset);
}

RK_API int16_t RkGetCAMThumbnailInfoEx(const uint8_t* file, uint32_t fileSize, uint32_t* length,
                                       uint32_t* offset) {
  return ThumbnailInfo(file, fileSize, length, offset);
}

RK_API int16_t RkGetCAMThumbnail(const uint8_t* file, uint8_t* dest) {
  return CopyThumbnail(file, kTrustedFileSize, dest, kTrustedFileSize);
}

RK_API int16_t RkGetCAMThumbnailEx(const uint8_t* file, uint32_t fileSize, uint8_t* dest,
                                   uint32_t destSize) {
  return CopyThumbnail(file, fileSize, dest, destSize);
}

RK_API int16_t RkDecodeCAMHeader(ModuleTableRec* table, const uint8_t* file, uint32_t* endOffset,
                                 ImageBlkAttrRec* image) {
  return ToResult(DecodeHeader(table, file, kTrustedFileSize, endOffset, image));
}

RK_API int16_t RkDecodeCAMHeaderEx(ModuleTableRec* table, const uint8_t* file, uint32_t fileSize,
                                   uint32_t* endOffset, ImageBlkAttrRec* image) {
  return ToResult(DecodeHeader(table, file, fileSize, endOffset, image));
}

}  // extern "C"
