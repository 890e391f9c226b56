// CExif: the shooting information of the file opened last, and the short
// text lines the Information dialog lists (and saves) one field a line.
#pragma once

#include <QString>
#include <cstdint>

#include "rastkit.h"

namespace corvid {

class CExif {
 public:
  // Every number 0, every text empty: no information.
  void Clear();
  // Copies an Exif record as the reader filled it: texts only when their
  // length is not 0 (bytes that are valid UTF-8 read as UTF-8, others as
  // Latin-1), dates when their pointer is set (read as the 19
  // characters "YYYY:MM:DD HH:MM:SS" at most, so an unterminated date cannot
  // run past the file buffer), reals when > 0 (the exposure bias when != 0),
  // codes when != 0, flash always. The fields of the record's second layout
  // (subject distance to focal-plane resolution) are copied only from
  // records of version 2 or more; older records do not have them. A field
  // not copied keeps its value.
  void LoadFromRecord(const ExifTagInfoRec& record);
  // Information is present (record version > 0).
  bool HasInfo() const { return version_ > 0; }
  // The next line after position *index (a cursor that starts at 0 and is
  // advanced past the line produced). An empty text: no more lines.
  QString NextLine(int16_t* index) const;
  // The fields held, as one JSON object with Exif's tag names (Make,
  // DateTimeOriginal, FNumber, ExposureTime, ISOSpeedRatings, ...): texts
  // and dates as strings, reals in their natural units as the lines show
  // them (seconds, F numbers, millimetres, metres; Brightness and
  // ExposureBias as the powers of 2 the reader keeps), codes as numbers. A
  // field left out is one the file did not give; Flash is always there.
  // "{}" without information.
  QString ToJson() const;

 private:
  int32_t version_ = 0;
  QString make_, model_, software_, copyright_;
  QString dateTime_, dateTimeOriginal_, dateTimeDigitized_;
  float focalLength_ = 0, fNumber_ = 0, exposureTime_ = 0;
  uint16_t isoSpeed_ = 0;
  float shutterSpeed_ = 0, aperture_ = 0, brightness_ = 0, exposureBias_ = 0, maxAperture_ = 0;
  uint16_t exposureProgram_ = 0, flash_ = 0;
  float subjectDistance_ = 0;
  uint16_t meteringMode_ = 0, lightSource_ = 0;
  float focalPlaneXResolution_ = 0, focalPlaneYResolution_ = 0;
};

}  // namespace corvid
