#include "rastkit_bridge.h"

#include <cstring>

namespace corvid::lib {

// ---- CAM container and decoding -------------------------------------------
int16_t CheckCamFile(const uint8_t* file, uint32_t fileSize, uint32_t* length, uint32_t* offset) {
  return RkCheckCAMFileTypeEx(file, fileSize, length, offset);
}
int16_t DecodeCamHeader(ModuleTableRec* table, const uint8_t* file, uint32_t fileSize,
                        ImageBlkAttrRec* image) {
  uint32_t end = 0;  // the end of the CAM data; not needed here
  return RkDecodeCAMHeaderEx(table, file, fileSize, &end, image);
}

int16_t DecompressCam(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkDecompressImageByCAM(table, image, nullptr);
}

// ---- JPEG baseline decoding -------------------------------------------------
int32_t DecodeJfifHeader(ModuleTableRec* table, const uint8_t* data, uint32_t size,
                         ImageBlkAttrRec* image) {
  return RkDecodeJFIFHeader(table, data, &size, image);
}
int16_t DecompressJpeg(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkDecompressImageByJPEG(table, image, nullptr);
}

// ---- JPEG baseline encoding -------------------------------------------------
int16_t ExportJfif(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkExportImageByJFIF(table, image, nullptr);
}
int32_t JfifExportSize(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkGetExportJFIFImageSize(table, image);
}

// ---- Progressive JPEG: not in the library yet -------------------------------
// Switch on with RkDecompressImageByProgJPEG(table, image, nullptr) and
// RkExportImageByProgJFIF(table, image, nullptr).
int16_t DecompressProgressiveJpeg(ModuleTableRec*, ImageBlkAttrRec*) { return RK_ERR_UNSUPPORTED; }
int16_t ExportProgressiveJfif(ModuleTableRec*, ImageBlkAttrRec*) { return RK_ERR_UNSUPPORTED; }

// ---- Exif: not in the library yet -------------------------------------------
// Switch on with RkInitExifTagVers + RkInitExifTagInfo, RkCheckExifFile,
// RkDecodeExifHeader and RkExportCustomExifFile(table, scale, scale,
// record, image, nullptr). Until then no file has Exif information and an
// Exif save fails.
void InitExifRecord(ExifTagInfoRec* record) { std::memset(record, 0, sizeof *record); }
int16_t CheckExifFile(const uint8_t*, int32_t, int32_t*) { return RK_ERR_FORMAT; }
int16_t DecodeExifHeader(const uint8_t*, const int32_t*, ImageBlkAttrRec*, ExifTagInfoRec*) {
  return RK_ERR_FORMAT;
}
int16_t ExportExif(ModuleTableRec*, const double*, ExifTagInfoRec*, ImageBlkAttrRec*) {
  return RK_ERR_UNSUPPORTED;
}

// ---- TIFF: not in the library yet -------------------------------------------
// Switch on with RkDecodeTIFFHeader(table, data, &size, image),
// RkDecodeImageByTIFF, RkGetExportTIFFImageSize and RkExportImageByTIFF.
// Until then no file is a TIFF file and a TIFF save fails.
int32_t DecodeTiffHeader(ModuleTableRec*, const uint8_t*, uint32_t, ImageBlkAttrRec*) {
  return RK_ERR_FORMAT;
}
int16_t DecodeTiff(ModuleTableRec*, ImageBlkAttrRec*) { return RK_ERR_UNSUPPORTED; }
int32_t TiffExportSize(ModuleTableRec*, ImageBlkAttrRec*) { return RK_ERR_UNSUPPORTED; }
int16_t ExportTiff(ModuleTableRec*, ImageBlkAttrRec*) { return RK_ERR_UNSUPPORTED; }

}  // namespace corvid::lib
