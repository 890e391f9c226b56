#include "rastkit_bridge.h"

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

// ---- Progressive JPEG (and sequential streams in several scans) ----------
int16_t DecompressProgressiveJpeg(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkDecompressImageByProgJPEG(table, image, nullptr);
}
int16_t ExportProgressiveJfif(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkExportImageByProgJFIF(table, image, nullptr);
}

// ---- Exif ---------------------------------------------------------------------
void InitExifRecord(ExifTagInfoRec* record) {
  RkInitExifTagVers(record);
  RkInitExifTagInfo(record);
}
int16_t CheckExifFile(const uint8_t* file, int32_t count, int32_t* segmentLimit) {
  return RkCheckExifFile(file, count, segmentLimit);
}
int16_t DecodeExifHeader(const uint8_t* tiffHeader, const int32_t* limit, ImageBlkAttrRec* image,
                         ExifTagInfoRec* record) {
  return RkDecodeExifHeader(tiffHeader, limit, image, record);
}
int16_t ExportExif(ModuleTableRec* table, const double* scale, ExifTagInfoRec* record,
                   ImageBlkAttrRec* image) {
  return RkExportCustomExifFile(table, scale, scale, record, image, nullptr);
}

// ---- TIFF -----------------------------------------------------------------------
int32_t DecodeTiffHeader(ModuleTableRec* table, const uint8_t* data, uint32_t size,
                         ImageBlkAttrRec* image) {
  return RkDecodeTIFFHeader(table, data, &size, image);
}
int16_t DecodeTiff(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkDecodeImageByTIFF(table, image, nullptr);
}
int32_t TiffExportSize(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkGetExportTIFFImageSize(table, image);
}
int16_t ExportTiff(ModuleTableRec* table, ImageBlkAttrRec* image) {
  return RkExportImageByTIFF(table, image, nullptr);
}

}  // namespace corvid::lib
