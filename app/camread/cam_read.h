// Reading a CAM file's picture, for the desktop integrations that live
// outside the program: the thumbnailer that file managers run (one short
// process per file, so it stays free of Qt: loading Qt's GUI libraries
// alone costs about 30 ms of CPU a start on this machine) and the Qt
// image-format plugin (cam_image.h wraps this in QImage). Both call the
// library's exports directly, in their sized "Ex" forms, so that no
// directory, section or stream is read past the end of the file.
//
// A CAM file holds one of two pictures:
//   - a CAM-coded picture: fixed geometry, decoded at 480x360 (the
//     program's default), 480x240 or 320x240;
//   - an embedded JPEG stream (tag-4 section), decoded at its own size by
//     the baseline JPEG decoder, or by the progressive one for progressive
//     streams and sequential streams coded in several scans.
//
// The file's thumbnail section is not used: the library copies its bytes
// out unchanged and nothing defines how they become pixels, so a thumbnail
// is always made from the decoded picture (about 1 ms for a CAM-coded one).
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvid::camread {

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// The three output sizes of a CAM-coded picture; the first is the default.
inline constexpr Size kCamSizes[3] = {{480, 360}, {480, 240}, {320, 240}};

// Largest file read: far above any camera picture and inside the 32-bit
// sizes the library takes.
inline constexpr int64_t kMaxFileBytes = int64_t{256} << 20;

// Largest embedded JPEG picture decoded: 64 megapixels (256 MiB as RGB32).
// A JPEG frame header may claim 65535 x 65535, which would ask for 16 GiB
// before a single byte of the stream is decoded.
inline constexpr int64_t kMaxPixels = int64_t{64} << 20;

enum class Status {
  kOk,
  kNotCam,       // the file does not start like a CAM file
  kNoPicture,    // a CAM file with neither a CAM-coded nor a JPEG picture
  kTruncated,    // the directory, a section or a coded stream runs past the end
  kDamaged,      // the coded data is corrupt (the decoder met an error)
  kUnsupported,  // a picture kind or size the decoders do not handle
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
  Size size;                // kCamSizes[0] for a CAM-coded picture, the stream's size for JPEG
  uint32_t jpegOffset = 0;  // the JPEG stream: offset of its SOI in the file
  uint32_t jpegLength = 0;  // and the bytes from there to the end of the section
};

// Where decoded pixels go: 8-bit samples reached through the row stride,
// the pixel stride and the channel offsets, top-down. Bytes that are not
// a channel of a pixel are left as they are.
struct PixelLayout {
  uint8_t* pixels = nullptr;
  int32_t rowStride = 0;
  uint32_t pixelStride = 3;
  uint32_t red = 0;
  uint32_t green = 1;
  uint32_t blue = 2;
};

// True when `head` (the first `size` bytes of a file, at least 3 of them)
// starts like a CAM file that may hold a picture: the library recognises
// the header, and a directory that lies wholly inside `head` names a
// picture.
bool LooksLikeCam(const uint8_t* head, size_t size);

// Recognises the file and finds its picture's kind and size.
Status Inspect(const uint8_t* file, size_t size, CamFile* found);

// Decodes the picture found by Inspect into `out`, which holds `at`
// (for a CAM-coded picture one of kCamSizes; for a JPEG picture its own
// size). A stream error fails the read (kDamaged) rather than giving a
// picture with flat grey blocks.
Status Decode(const uint8_t* file, size_t size, const CamFile& found, Size at, const PixelLayout& out);

}  // namespace corvid::camread
