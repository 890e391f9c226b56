// Every codec call the program makes into rastkit, in one place: each
// wrapper passes the file's or buffer's size where the library takes one,
// and no progress record (the program never passes one).
//
// Module-table set-up (RkInitModuleTable, RkSetQuantizeScaleFactor, ...) is
// called directly.
#pragma once

#include <cstdint>

#include "rastkit.h"

namespace corvid::lib {

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

// JPEG writing. JfifExportSize: the buffer that always holds what
// ExportJfif writes for the image (> 0), or a negative code.
int16_t ExportJfif(ModuleTableRec* table, ImageBlkAttrRec* image);
int32_t JfifExportSize(ModuleTableRec* table, ImageBlkAttrRec* image);
int16_t ExportProgressiveJfif(ModuleTableRec* table, ImageBlkAttrRec* image);

// Exif.
void InitExifRecord(ExifTagInfoRec* record);  // version, then default tag values
int16_t CheckExifFile(const uint8_t* file, int32_t count, int32_t* segmentLimit);
int16_t DecodeExifHeader(const uint8_t* tiffHeader, const int32_t* limit, ImageBlkAttrRec* image,
                         ExifTagInfoRec* record);
// The Exif JPEG with its 160 x 120 thumbnail (RkExportCustomExifFile), the
// picture's tables at `scale` for luminance and chrominance alike.
int16_t ExportExif(ModuleTableRec* table, const double* scale, ExifTagInfoRec* record,
                   ImageBlkAttrRec* image);

// TIFF.
int32_t DecodeTiffHeader(ModuleTableRec* table, const uint8_t* data, uint32_t size,
                         ImageBlkAttrRec* image);
int16_t DecodeTiff(ModuleTableRec* table, ImageBlkAttrRec* image);
int32_t TiffExportSize(ModuleTableRec* table, ImageBlkAttrRec* image);
int16_t ExportTiff(ModuleTableRec* table, ImageBlkAttrRec* image);

}  // namespace corvid::lib
