// Auto conversion's file naming and its never-overwrite file creation.
//
// Platform stand-ins: the folder separator is '/'; "create new" is
// open(O_CREAT | O_EXCL), which makes the existence test and the creation
// one atomic step, so several jobs (threads or processes) converting into
// one folder can never write over each other's files: the loser of a race
// sees EEXIST and moves on to the next "~NNN_" name. The system's "file
// exists" code is errno EEXIST; its "invalid name" codes are ENAMETOOLONG
// (a name or path longer than the file system allows), EINVAL and EILSEQ
// (a name the file system refuses). Everything else (a missing folder, no
// permission, a read-only file system, a path through a plain file) is
// "Can't Open File".
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

// The text the file name is glued to: the output path as it is when it is
// not empty (so "/out" and "IMG.jpg" give "/outIMG.jpg"; a folder must end
// with '/'), else the source's own folder up to and including its last '/'.
QString OutputPrefix(const QString& sourcePath, const QString& outputPath);

// "~001_" ... "~998_".
QString CollisionPrefix(int counter);
constexpr int kMaxCollisionCounter = 998;

struct CreateResult {
  bool ok = false;
  Message failure = Message::CantOpenFile;  // when !ok
  QString path;                              // the file written, when ok
};

// Creates prefix + name only if no such file exists and writes the bytes.
// On a collision the name becomes prefix + "~001_" + name, then "~002_"...;
// when "~998_" exists too it fails with FileNameOverflow. An invalid name
// gives InvalidFileName, any other failure to create CantOpenFile, both
// without retrying. A failed write gives WriteError and removes the file it
// had just created, so no partial file is left behind.
CreateResult CreateNewFile(const QString& prefix, const QString& name, const uint8_t* bytes,
                           size_t count);

}  // namespace corvid
