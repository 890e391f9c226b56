// Auto conversion's file naming and its never-overwrite file creation.
//
// Platform stand-ins: the folder separator is '/'. The file is written
// whole into a temporary file in the output folder and only then takes its
// name, never replacing a file (file_write.h): several jobs (threads or
// processes) converting into one folder can never write over each other's
// files, as the loser of a race for a name moves on to the next "~NNN_"
// name. An invalid name is ENAMETOOLONG (a name or path longer than the
// file system allows), EINVAL or EILSEQ (a name the file system refuses).
// Everything else (a missing folder, no permission, a read-only file
// system, a path through a plain file) is "Can't Open File".
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

#include "messages.h"
#include "settings.h"

namespace corvid {

// "bmp", "jpg" or "tif".
QString TargetExtension(Target target);

// The output file name: the source's name (after its last '/') with the
// text after its last dot replaced by the target's extension, or ".ext"
// appended when it has no dot. IMG00001.CAM -> IMG00001.bmp, A.B -> A.bmp,
// README -> README.bmp.
QString OutputFileName(const QString& sourcePath, Target target);

// The folder the file goes into, ending with '/': the output path when it
// is not empty, with the separator added when it is missing ("/out" and
// "/out/" both give "/out/", so IMG.jpg lands in /out/IMG.jpg), else the
// source's own folder up to and including its last '/'.
QString OutputPrefix(const QString& sourcePath, const QString& outputPath);

// "~001_" ... "~998_".
QString CollisionPrefix(int counter);
constexpr int kMaxCollisionCounter = 998;

struct CreateResult {
  bool ok = false;
  Message failure = Message::CantOpenFile;  // when !ok
  QString path;    // the file written, or the one that could not be
  QString reason;  // the system's words for a failure, when it gave any
};

// Writes the bytes whole as prefix + name when no such file exists. On a
// collision the name becomes prefix + "~001_" + name, then "~002_"...;
// when "~998_" exists too it fails with FileNameOverflow. An invalid name
// gives InvalidFileName, any other failure to create CantOpenFile, both
// without retrying; a failed write gives WriteError. Nothing is left
// behind on failure.
CreateResult CreateNewFile(const QString& prefix, const QString& name, const uint8_t* bytes,
                           size_t count);

}  // namespace corvid
