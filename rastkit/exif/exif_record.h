// The ExifTagInfoRec shared by the Exif reader and writer.
#pragma once

#include "rastkit.h"

namespace rk::exif {

// Whether the record has the fields after makerNoteLength (version 2 and
// above). Neither the reader nor the writer touches them otherwise: a
// version-1 record may end there.
[[nodiscard]] inline bool HasTail(const ExifTagInfoRec& info) { return info.version > 1; }

// RkInitExifTagInfo: every field after version takes its default (texts,
// dates and the maker note none, exifVersion 210, flashpixVersion 100,
// colorSpace 1, exposureProgram 2, compressedBitsPerPixel 2.0, the rest 0);
// the tail fields only when the record has them.
void InitRecord(ExifTagInfoRec& info);

// The machine's local time now, to the second, as the Exif date fields
// hold it (localtime_r stands in for the Windows local-time call).
[[nodiscard]] ExifDateTimeRec LocalDateTimeNow();

}  // namespace rk::exif
