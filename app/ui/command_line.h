// The window program's command line and application set-up, apart from
// main() so that the tests take the same road.
#pragma once

#include <QString>
#include <QStringList>

class QApplication;

namespace corvid {

struct StartupOptions {
  QString file;  // the one file to open at start; empty: none
};

enum class StartupParse { Run, Help, Version, UsageError };

// Parses the arguments (args[0] is the program): at most one file name,
// --help, --version. For Help and Version `text` receives what to print,
// for UsageError the reason.
StartupParse ParseCommandLine(const QStringList& args, StartupOptions* options, QString* text);

// Names, version, desktop file name and window icon of the program, and
// the way it keeps the memory of large pictures for the next (glibc).
void SetUpApplication(QApplication& app);

}  // namespace corvid
