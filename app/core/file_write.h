// Writing files whole or not at all. Every file the program saves is
// encoded into memory first and then written by one of the two calls
// below, so that a failure at any point leaves the folder as it was:
//
// - ReplaceFileWhole (Save, the text of the Information dialog): the bytes
//   go to a temporary file beside the target (QSaveFile), which replaces
//   the target by rename only once every byte is written and flushed to
//   disk. An existing target stays byte for byte as it was when anything
//   fails, and keeps its permissions when the save succeeds.
// - PendingFile (auto conversion, corvid-convert): the bytes go to a
//   hidden temporary file in the target's folder, which then takes the
//   first free name without ever replacing a file: renameat2 with
//   RENAME_NOREPLACE, or on file systems without it a hard link, or as a
//   last resort an empty file created exclusively to hold the name and
//   then replaced by the content. Test and rename are one atomic step, so
//   jobs racing for one name never overwrite each other; a reader never
//   sees a partial file under the real name.
//
// Platform stand-ins: the system's "file exists" code is errno EEXIST; its
// "invalid name" codes are ENAMETOOLONG, EINVAL and EILSEQ. Reasons are
// the system's texts for errno (qt_error_string) or QFileDevice's.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace corvid {

// Writes count bytes to an open device; for a file, also flushes Qt's
// buffer so that a full disk shows up here. False on any failure.
bool WriteAll(QIODevice& device, const uint8_t* bytes, size_t count);

struct ReplaceResult {
  enum class Outcome { kWritten, kCannotCreate, kWriteFailed };
  Outcome outcome = Outcome::kWritten;
  QString reason;  // the system's words, when not written
};
// Creates or replaces `path` with the bytes, whole or not at all.
ReplaceResult ReplaceFileWhole(const QString& path, const uint8_t* bytes, size_t count);

class PendingFile {
 public:
  // Writes the bytes into a new hidden file in `folder` ("" is the current
  // folder) and flushes them to disk.
  PendingFile(const QString& folder, const uint8_t* bytes, size_t count);
  // Removes the temporary file unless it was given a name.
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // False when the file could not be created (error() is then errno) or
  // written (writeFailed() is true).
  bool ok() const { return ok_; }
  bool writeFailed() const { return writeFailed_; }
  int error() const { return error_; }

  enum class Naming { kNamed, kExists, kInvalidName, kFailed };
  // Gives the file `path`, which must lie in the folder, unless something
  // exists there already. error() holds errno for kInvalidName and kFailed.
  Naming NameAs(const QString& path);

 private:
  QByteArray temp_;  // native path of the temporary file; empty once named
  bool ok_ = false;
  bool writeFailed_ = false;
  int error_ = 0;
};

}  // namespace corvid
