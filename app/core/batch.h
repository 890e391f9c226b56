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
  Settings settings;  // target, style, scale or quality, CAM size, Always Compress, output path
  int jobs = 1;
  bool info = false;         // print each file's Exif lines instead of converting
  bool quiet = false;        // no "A -> B" lines, no summary, no notes
  bool tablesGiven = false;  // --scale or --quality was given
  QStringList files;
};

enum class ParseResult { Run, Help, Version, UsageError };

// Parses the arguments (args[0] is the program). For Help and Version,
// *text is what to print on stdout; for UsageError, the complaint for
// stderr. An -o folder that does not exist is a usage error, and so are
// --scale and --quality together.
ParseResult ParseConvertArgs(const QStringList& args, ConvertOptions* options, QString* text);

// Where the batch prints: whole lines, one call each, from any job thread
// (the calls are serialised).
struct BatchOutput {
  std::function<void(const QString&)> out;
  std::function<void(const QString&)> err;
};

// Converts every file. Prints "SOURCE -> OUTPUT" on out for each file
// converted and, at the end, a summary on err, both unless quiet; and for
// each failure, whatever quiet says, "SOURCE: MESSAGE" on err, or "PATH:
// MESSAGE (REASON)" when a file could not be opened or written (the output
// path for a write). When a JPEG source was copied unchanged although a
// scale or quality was given, one note on err says that --always-compress
// re-encodes. Returns the exit code: 0 when every file converted, 1
// otherwise.
int RunBatch(const ConvertOptions& options, const BatchOutput& output);

}  // namespace corvid
