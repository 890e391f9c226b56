// corvid: shows camera pictures and converts them.
#include <QApplication>
#include <cstdio>

#include "command_line.h"
#include "document.h"
#include "main_frame.h"
#include "window_ui.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  corvid::SetUpApplication(app);
  corvid::StartupOptions options;
  QString text;
  switch (corvid::ParseCommandLine(QApplication::arguments(), &options, &text)) {
    case corvid::StartupParse::Help:
    case corvid::StartupParse::Version:
      std::fprintf(stdout, "%s\n", qPrintable(text));
      return 0;
    case corvid::StartupParse::UsageError:
      std::fprintf(stderr, "corvid: %s\n", qPrintable(text));
      return 2;
    case corvid::StartupParse::Run:
      break;
  }
  corvid::WindowUi ui;
  corvid::CCorvidDoc doc(ui);
  corvid::CMainFrame frame(doc);
  ui.setParentWidget(&frame);
  // A file named on the command line that does not open ends the program
  // (after its message), before any window appears.
  if (!options.file.isEmpty() && !frame.OpenFile(options.file)) return 1;
  frame.show();
  return app.exec();
}
