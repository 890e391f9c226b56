// Reading a CAM file into a QImage, for the desktop integrations that live
// outside the program: the thumbnailer that file managers run and the Qt
// image-format plugin that every Qt program loads. Both call the library's
// exports directly (the sized "Ex" forms, so that no directory, section or
// stream is read past the end of the file) and share this one reading path.
//
// A CAM file holds one of two pictures:
//   - a CAM-coded picture: fixed geometry, decoded at 480x360 (the
//     program's default), 480x240 or 320x240;
//   - an embedded JPEG stream (tag-4 section), decoded at its own size by
//     the baseline JPEG decoder. Progressive streams are refused until the
//     library offers a progressive decoder.
// Pictures come out as QImage::Format_RGB32 (opaque).
//
// The file's thumbnail section is not used: the library copies its bytes
// out unchanged and nothing defines how they become pixels, so a thumbnail
// is always made from the decoded picture (about 2 ms for a CAM-coded one).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QIODevice>
#include <QSize>
#include <cstdint>

namespace corvid::camread {

// The three output sizes of a CAM-coded picture; the first is the default.
inline constexpr QSize kCamSizes[3] = {QSize(480, 360), QSize(480, 240), QSize(320, 240)};

// Largest file read: far above any camera picture and inside the 32-bit
// sizes the library takes.
inline constexpr qint64 kMaxFileBytes = 256ll << 20;

// Largest embedded JPEG picture decoded: 64 megapixels (256 MiB as RGB32).
// A JPEG frame header may claim 65535 x 65535, which would ask for 16 GiB
// before a single byte of the stream is decoded.
inline constexpr qint64 kMaxPixels = 64ll << 20;

enum class Status {
  kOk,
  kNotCam,       // the file does not start like a CAM file
  kNoPicture,    // a CAM file with neither a CAM-coded nor a JPEG picture
  kTruncated,    // the directory, a section or a coded stream runs past the end
  kDamaged,      // the coded data is corrupt (the decoder met an error)
  kUnsupported,  // an embedded JPEG the decoder does not handle (progressive, ...)
  kTooLarge,     // the file or the picture is beyond the limits above
  kNoMemory,     // a picture or the library's tables could not be allocated
  kReadError,    // the file could not be read
};

// A short English description of a status ("truncated CAM file", ...).
const char* StatusText(Status status);

enum class Kind { kCamCoded, kJpeg };

// What a CAM file holds, found without decoding.
struct CamFile {
  Kind kind = Kind::kCamCoded;
  QSize size;               // kCamSizes[0] for a CAM-coded picture, the stream's size for JPEG
  uint32_t jpegOffset = 0;  // the JPEG stream: offset of its SOI in the file
  uint32_t jpegLength = 0;  // and the bytes from there to the end of the section
};

// True when `head` (the first bytes of a file, at least 3 of them) starts
// like a CAM file that may hold a picture: the library recognises the
// header, and a directory that lies wholly inside `head` names a picture.
bool LooksLikeCam(const QByteArray& head);

// Reads the whole device from its current position (at most kMaxFileBytes).
Status ReadAll(QIODevice& device, QByteArray* bytes);

// Recognises the file and finds its picture's kind and size.
Status Inspect(const QByteArray& file, CamFile* found);

// Decodes the picture found by Inspect. A CAM-coded picture is decoded at
// camSize, which must be one of kCamSizes; a JPEG picture at its own size
// (camSize is ignored). A stream error fails the read (kDamaged) rather
// than giving a picture with flat grey blocks.
Status Decode(const QByteArray& file, const CamFile& found, QSize camSize, QImage* picture);

// Decodes the picture at `wanted`: a CAM-coded picture at one of its own
// sizes directly, anything else at its natural size then smooth-scaled to
// exactly `wanted`. An invalid `wanted` means the natural size.
Status ReadPicture(const QByteArray& file, QSize wanted, QImage* picture);

}  // namespace corvid::camread
