#include "command_line.h"

#include <QApplication>
#include <QCommandLineParser>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "icons.h"

namespace corvid {
namespace {

// Browsing a folder brings picture after picture of the same size: a
// 12-megapixel photograph takes a 36 MB pixel block and a 48 MB upright
// copy. glibc serves blocks that large with mmap: each arrives as fresh
// pages that the kernel hands out one fault at a time (21 000 faults a
// picture: some 15 ms on a desktop, 400 ms in a busy virtual machine) and
// goes back to the system when freed. Taken from the heap instead, and
// kept there when freed (up to 256 MB at its top), the next picture
// reuses the memory of the one before.
constexpr int kKeptHeapBytes = 256 << 20;

void KeepLargeBlocks() {
#ifdef __GLIBC__
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, kKeptHeapBytes);
#endif
}

}  // namespace

StartupParse ParseCommandLine(const QStringList& args, StartupOptions* options, QString* text) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Shows CAM camera pictures, JPEG and TIFF files and saves them as JPEG, "
                     "TIFF or BMP."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The picture to open."),
                               QStringLiteral("[file]"));
  if (!parser.parse(args)) {
    *text = parser.errorText();
    return StartupParse::UsageError;
  }
  if (parser.isSet(help)) {
    *text = parser.helpText();
    return StartupParse::Help;
  }
  if (parser.isSet(version)) {
    *text = QStringLiteral("corvid %1").arg(QCoreApplication::applicationVersion());
    return StartupParse::Version;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    *text = QStringLiteral("one file at a time (%1 given)").arg(files.size());
    return StartupParse::UsageError;
  }
  options->file = files.value(0);
  return StartupParse::Run;
}

void SetUpApplication(QApplication& app) {
  KeepLargeBlocks();
  QApplication::setApplicationName(QStringLiteral("corvid"));
  QApplication::setApplicationDisplayName(QStringLiteral("Corvid"));
  QApplication::setOrganizationName(QStringLiteral("Quillbank"));
  QApplication::setApplicationVersion(QStringLiteral(CORVID_VERSION_TEXT));
  QGuiApplication::setDesktopFileName(QStringLiteral("corvid"));
  app.setWindowIcon(ApplicationIcon());
}

}  // namespace corvid
