// corvid-convert: converts many pictures at once from the command line.
#include <QCoreApplication>
#include <cstdio>

#include "batch.h"

int main(int argc, char** argv) {
  // Each "A -> B" line as its file finishes, also into a pipe.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("corvid-convert"));
  corvid::ConvertOptions options;
  QString text;
  switch (corvid::ParseConvertArgs(QCoreApplication::arguments(), &options, &text)) {
    case corvid::ParseResult::Help:
    case corvid::ParseResult::Version:
      std::fprintf(stdout, "%s\n", qPrintable(text));
      return 0;
    case corvid::ParseResult::UsageError:
      std::fprintf(stderr, "corvid-convert: %s\n", qPrintable(text));
      return 2;
    case corvid::ParseResult::Run:
      break;
  }
  corvid::BatchOutput output;
  output.out = [](const QString& line) { std::fprintf(stdout, "%s\n", qPrintable(line)); };
  output.err = [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); };
  return corvid::RunBatch(options, output);
}
