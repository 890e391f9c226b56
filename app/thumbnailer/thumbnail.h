// corvid-thumbnailer's work: a PNG thumbnail of a CAM file for the
// freedesktop thumbnailer convention (file managers run
// "corvid-thumbnailer -s SIZE INPUT OUTPUT" and show OUTPUT).
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "cam_picture.h"

namespace corvid::thumbnailer {

// The size of a picture of `picture` pixels shown in at most size x size:
// unchanged when it fits; otherwise its larger side becomes `size` and the
// other keeps the proportion, rounded to the nearest pixel and at least 1.
// 480x360 at 128 gives 128x96; 640x480 at 100 gives 100x75; 1000x3 at 128
// gives 128x1 (0.384 rounds to 0, kept at 1).
QSize FitWithin(QSize picture, int size);

// Decodes the CAM file's picture at its natural size (480x360 for a
// CAM-coded one) and scales it smoothly to FitWithin(size).
camread::Status MakeThumbnail(const QByteArray& file, int size, QImage* thumbnail);

// Exit codes of corvid-thumbnailer.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // unreadable input, no picture, output not written
inline constexpr int kExitUsage = 2;   // bad command line

// Reads `input`, makes the thumbnail and writes it to `output` as PNG.
// Nothing is written unless the whole PNG is: it goes to a temporary file
// beside `output` that is renamed over it at the end. On failure *error
// holds a one-line reason and the result is kExitFailed.
int WriteThumbnail(const QString& input, int size, const QString& output, QString* error);

}  // namespace corvid::thumbnailer
