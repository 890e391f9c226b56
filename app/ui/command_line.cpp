#include "command_line.h"

#include <QApplication>
#include <QCommandLineParser>

#include "icons.h"

namespace corvid {

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
  QApplication::setApplicationName(QStringLiteral("corvid"));
  QApplication::setApplicationDisplayName(QStringLiteral("Corvid"));
  QApplication::setOrganizationName(QStringLiteral("Quillbank"));
  QApplication::setApplicationVersion(QStringLiteral(CORVID_VERSION_TEXT));
  QGuiApplication::setDesktopFileName(QStringLiteral("corvid"));
  app.setWindowIcon(ApplicationIcon());
}

}  // namespace corvid
