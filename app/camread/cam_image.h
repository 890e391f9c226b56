// The CAM reading of cam_read.h for Qt code (the image-format plugin):
// whole devices in, QImage::Format_RGB32 pictures out.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QIODevice>
#include <QSize>

#include "cam_read.h"

namespace corvid::camread {

// Reads the whole device from its current position (at most kMaxFileBytes).
Status ReadAll(QIODevice& device, QByteArray* bytes);

// True when `head` starts like a CAM file that may hold a picture.
bool LooksLikeCam(const QByteArray& head);

// Inspect for a file held in a QByteArray.
Status Inspect(const QByteArray& file, CamFile* found);

// Decodes the picture at `wanted`: a CAM-coded picture at one of its own
// sizes directly, anything else at its natural size then smooth-scaled to
// exactly `wanted`. An invalid or empty `wanted` means the natural size.
Status ReadPicture(const QByteArray& file, QSize wanted, QImage* picture);

}  // namespace corvid::camread
