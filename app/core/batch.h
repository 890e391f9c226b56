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
#include <vector>

#include "operations.h"
#include "settings.h"

namespace corvid {

struct ConvertOptions {
  Settings settings;  // target, style, scale or quality, CAM size, Always Compress, output path
  int jobs = 1;
  bool info = false;         // print each file's Exif lines instead of converting
  bool json = false;         // --info as JSON Lines
  bool quiet = false;        // no "A -> B" lines, no summary, no notes, no progress
  bool tablesGiven = false;  // --scale or --quality was given
  bool recursive = false;    // folders given stand for the pictures in them
  bool nulSeparated = false; // "-" reads paths separated by NUL bytes, not lines
  // Applied to each picture in this order before it is encoded.
  std::vector<ImageOperation> operations;
  QStringList files;  // as given: "-" for standard input, folders with recursive
};

enum class ParseResult { Run, Help, Version, UsageError };

// Parses the arguments (args[0] is the program). For Help and Version,
// *text is what to print on stdout; for UsageError, the complaint for
// stderr. An -o folder that does not exist is a usage error, and so are
// --scale and --quality together, --json without --info, -0 without "-",
// and an operation's value out of its range (a resize side of 0, a
// sharpen level outside 1..10, a negative blur radius, an angle that is
// not a number). --sharpen takes its level as --sharpen=N, or as the next
// argument when that is a whole number; alone it is level 4.
ParseResult ParseConvertArgs(const QStringList& args, ConvertOptions* options, QString* text);

// The files to work on, in order: each file as given; for "-", the paths
// that readInput() gives (one a line, a CR before the LF dropped; or,
// nulSeparated, between NUL bytes; empty entries skipped); with recursive,
// for a folder the pictures in it and in its subfolders (names ending in
// .cam, .jpg, .jpeg, .jpe, .jfif, .tif or .tiff in any case; hidden entries
// and links to folders skipped; each folder's files in name order before
// its subfolders). Without recursive a folder stays a path, which then
// fails to open like any other.
QStringList CollectFiles(const ConvertOptions& options, const std::function<QByteArray()>& readInput);

// Where the batch prints: whole lines, one call each, from any job thread
// (the calls are serialised).
struct BatchOutput {
  std::function<void(const QString&)> out;
  std::function<void(const QString&)> err;
  // After each file: files done and the total (may be empty).
  std::function<void(int done, int total)> progress;
};

// Converts every file: import, the operations in order, then the file in
// the target format. Prints "SOURCE -> OUTPUT" on out for each file
// converted and, at the end, a summary on err, both unless quiet; and for
// each failure, whatever quiet says, "SOURCE: MESSAGE" on err, or "PATH:
// MESSAGE (REASON)" when a file could not be opened or written (the output
// path for a write). When a JPEG source was copied unchanged although a
// scale or quality was given, one note on err says that --always-compress
// re-encodes. With info, prints each file's information lines ("SOURCE:
// LINE"), or with json one object a file: {"path", "size" (bytes of the
// file), "type" ("CAM", "CAM-JPEG", "JPEG" or "TIFF"), "width", "height",
// "exif" (CExif::ToJson) when the file has information}, or {"path",
// "error"} for a file that failed. Returns the exit code: 0 when every
// file converted, 1 otherwise.
int RunBatch(const ConvertOptions& options, const BatchOutput& output);

}  // namespace corvid
