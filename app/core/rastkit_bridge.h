// Every codec call the program makes into rastkit, in one place.
//
// rastkit is being built family by family. A family whose exports are not
// in the library yet answers here as if the data were not of that kind (a
// check finds nothing) or as a failed encode (RK_ERR_UNSUPPORTED), so the
// program links against every stage of the library and never writes a
// wrong file. CAM and JPEG decoding and baseline JPEG encoding switch on by
// themselves once the library exports them (CMake reads the export list);
// TIFF, Exif and progressive JPEG are each one marked block in
// rastkit_bridge.cpp, to be switched on when those families arrive.
//
// Module-table set-up (RkInitModuleTable, RkSetQuantizeScaleFactor, ...) is
// always present and is called directly.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace corvid::lib {

// Which families this build can use. Without the CAM decoder a CAM
// picture is recognised but cannot be decoded ("Format Error"); a JPEG
// stored in a CAM file needs only the container and the JPEG decoder.
bool HasCamContainer();
bool HasCamDecoder();
bool HasJpegDecoder();
bool HasJpegEncoder();

// CAM container and picture, always with the file's size so that no
// section or stream is read past the end of the buffer.
int16_t CheckCamFile(const uint8_t* file, uint32_t fileSize, uint32_t* length, uint32_t* offset);
int16_t DecodeCamHeader(ModuleTableRec* table, const uint8_t* file, uint32_t fileSize,
                        ImageBlkAttrRec* image);
int16_t DecompressCam(ModuleTableRec* table, ImageBlkAttrRec* image);

// JPEG reading (table may be null to only measure a stream).
int32_t DecodeJfifHeader(ModuleTableRec* table, const uint8_t* data, uint32_t size,
                         ImageBlkAttrRec* image);
int16_t DecompressJpeg(ModuleTableRec* table, ImageBlkAttrRec* image);
int16_t DecompressProgressiveJpeg(ModuleTableRec* table, ImageBlkAttrRec* image);

// JPEG writing.
int16_t ExportJfif(ModuleTableRec* table, ImageBlkAttrRec* image);
int16_t ExportProgressiveJfif(ModuleTableRec* table, ImageBlkAttrRec* image);

// Exif.
void InitExifRecord(ExifTagInfoRec* record);  // version, then default tag values
int16_t CheckExifFile(const uint8_t* file, int32_t count, int32_t* segmentLimit);
int16_t DecodeExifHeader(const uint8_t* tiffHeader, const int32_t* limit, ImageBlkAttrRec* image,
                         ExifTagInfoRec* record);
int16_t ExportExif(ModuleTableRec* table, const double* scale, ExifTagInfoRec* record,
                   ImageBlkAttrRec* image);

// TIFF.
int32_t DecodeTiffHeader(ModuleTableRec* table, const uint8_t* data, uint32_t size,
                         ImageBlkAttrRec* image);
int16_t DecodeTiff(ModuleTableRec* table, ImageBlkAttrRec* image);
int32_t TiffExportSize(ModuleTableRec* table, ImageBlkAttrRec* image);
int16_t ExportTiff(ModuleTableRec* table, ImageBlkAttrRec* image);

}  // namespace corvid::lib
