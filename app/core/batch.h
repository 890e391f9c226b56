// corvid-convert's work: its options and the batch run, on the same image
// object and the same auto-conversion path as the program.
//
// Each job (a thread) converts one file at a time with its own CRKDib, and
// so its own module table; the library keeps no shared state apart from
// the JPEG encoders' restart-marker number, and nothing here uses restart
// intervals. Output files are created exclusively (see auto_convert.h), so
// jobs racing for one name end up with "~001_" and so on, never with one
// file overwriting another. No stored settings are read or written.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "settings.h"

namespace corvid {

struct ConvertOptions {
  Settings settings;  // target, style, scale, CAM size, Always Compress, output path
  int jobs = 1;
  bool info = false;   // print each file's Exif lines instead of converting
  bool quiet = false;  // no summary
  QStringList files;
};

enum class ParseResult { Run, Help, Version, UsageError };

// Parses the arguments (args[0] is the program). For Help and Version,
// *text is what to print on stdout; for UsageError, the complaint for
// stderr. An -o folder that does not exist is a usage error.
ParseResult ParseConvertArgs(const QStringList& args, ConvertOptions* options, QString* text);

// Where the batch prints: whole lines, one call each, from any job thread
// (the calls are serialised).
struct BatchOutput {
  std::function<void(const QString&)> out;
  std::function<void(const QString&)> err;
};

// Converts every file. Prints "SOURCE -> OUTPUT" for each file converted,
// "SOURCE: MESSAGE" for each failure and, unless quiet, a summary on err.
// Returns the exit code: 0 when every file converted, 1 otherwise.
int RunBatch(const ConvertOptions& options, const BatchOutput& output);

}  // namespace corvid
