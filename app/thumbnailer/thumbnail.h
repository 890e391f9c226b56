// corvid-thumbnailer's work: a PNG thumbnail of a CAM file for the
// freedesktop thumbnailer convention (file managers run
// "corvid-thumbnailer -s SIZE INPUT OUTPUT" and show OUTPUT). Free of Qt:
// file managers start one process per file, and loading Qt's GUI libraries
// would cost several times the decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cam_read.h"

namespace corvid::thumbnailer {

// A top-down RGB picture, 3 bytes a pixel, rows packed.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// The size of a picture of `picture` pixels shown in at most size x size:
// unchanged when it fits; otherwise its larger side becomes `size` and the
// other keeps the proportion, rounded to the nearest pixel and at least 1.
// 480x360 at 128 gives 128x96; 640x480 at 100 gives 100x75; 1000x3 at 128
// gives 128x1 (0.384 rounds to 0, kept at 1).
camread::Size FitWithin(camread::Size picture, int size);

// Resamples `source` to `to` by area: each output pixel is the mean of the
// source area it covers, a source pixel that lies partly inside counting
// by the part that does, rounded to the nearest value. Exact integer
// arithmetic: shrinking 480 columns to 128, output column 0 covers source
// columns 0, 1, 2 and three quarters of column 3 (480/128 = 3.75).
Image Resample(const Image& source, camread::Size to);

// Decodes the CAM file's picture and resamples it to FitWithin(size) of
// its natural size (480x360 for a CAM-coded one). A CAM-coded picture is
// decoded at 320x240 when the thumbnail fits in that, else at 480x360; an
// embedded JPEG at its own size.
camread::Status MakeThumbnail(const uint8_t* file, size_t fileSize, int size, Image* thumbnail);

// Exit codes of corvid-thumbnailer.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // unreadable input, no picture, output not written
inline constexpr int kExitUsage = 2;   // bad command line

// Reads `input`, makes the thumbnail and writes it to `output` as PNG.
// Nothing is written unless the whole PNG is: it goes to a temporary file
// beside `output` that is renamed over it at the end. On failure *error
// holds a one-line reason and the result is kExitFailed.
int WriteThumbnail(const std::string& input, int size, const std::string& output, std::string* error);

}  // namespace corvid::thumbnailer
