// corvid-thumbnailer -s SIZE INPUT OUTPUT: writes a PNG thumbnail of a CAM
// file, as file managers that follow the freedesktop thumbnailer
// convention ask for (share/thumbnailers/corvid.thumbnailer).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QUrl>
#include <cstdio>

#include "thumbnail.h"

namespace {

int Usage(const QString& complaint) {
  std::fprintf(stderr, "corvid-thumbnailer: %s\nTry 'corvid-thumbnailer --help'.\n", qPrintable(complaint));
  return corvid::thumbnailer::kExitUsage;
}

// File managers pass a path (%i); accept a file: URI (%u) as well.
QString LocalPath(const QString& arg) {
  return arg.startsWith(QLatin1String("file:")) ? QUrl(arg).toLocalFile() : arg;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("corvid-thumbnailer"));
  QCoreApplication::setApplicationVersion(QStringLiteral(CORVID_VERSION_TEXT));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Writes a PNG thumbnail of a CAM camera picture, at most SIZE x SIZE pixels."));
  const QCommandLineOption size({QStringLiteral("s"), QStringLiteral("size")},
                                QStringLiteral("Largest width and height of the thumbnail (default 128)."),
                                QStringLiteral("SIZE"), QStringLiteral("128"));
  parser.addOption(size);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("The CAM file."));
  parser.addPositionalArgument(QStringLiteral("OUTPUT"), QStringLiteral("The PNG file to write."));
  if (!parser.parse(QCoreApplication::arguments())) return Usage(parser.errorText());
  if (parser.isSet(QStringLiteral("help"))) {
    std::fprintf(stdout, "%s", qPrintable(parser.helpText()));
    return corvid::thumbnailer::kExitOk;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    std::fprintf(stdout, "corvid-thumbnailer %s\n", CORVID_VERSION_TEXT);
    return corvid::thumbnailer::kExitOk;
  }
  bool ok = false;
  const int pixels = parser.value(size).toInt(&ok);
  if (!ok || pixels < 1) return Usage(QStringLiteral("SIZE must be a whole number of pixels, 1 or more."));
  const QStringList files = parser.positionalArguments();
  if (files.size() != 2) return Usage(QStringLiteral("Give one INPUT and one OUTPUT file."));

  QString error;
  const int code = corvid::thumbnailer::WriteThumbnail(LocalPath(files[0]), pixels, LocalPath(files[1]), &error);
  if (code != corvid::thumbnailer::kExitOk) std::fprintf(stderr, "corvid-thumbnailer: %s\n", qPrintable(error));
  return code;
}
