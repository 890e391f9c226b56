// corvid-convert: converts many pictures at once from the command line.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <unistd.h>

#include "batch.h"

namespace {

// The progress line on a terminal: "12/40 files, 8.3 files/s", rewritten in
// place at most ten times a second (and for the last file), and wiped
// before any other line is printed so that lines never run into it.
class ProgressLine {
 public:
  ProgressLine() { clock_.start(); }
  void Show(int done, int total) {
    const qint64 ms = clock_.elapsed();
    if (done < total && shown_ && ms - lastMs_ < 100) return;
    lastMs_ = ms;
    const double rate = ms > 0 ? done * 1000.0 / static_cast<double>(ms) : 0.0;
    std::fprintf(stderr, "\r\033[K%d/%d files, %.1f files/s", done, total, rate);
    shown_ = true;
  }
  void Wipe() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    shown_ = false;
  }

 private:
  QElapsedTimer clock_;
  qint64 lastMs_ = 0;
  bool shown_ = false;
};

}  // namespace

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
  options.files = corvid::CollectFiles(options, [] {
    QFile in;
    return in.open(stdin, QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  });

  ProgressLine progress;
  corvid::BatchOutput output;
  output.out = [&progress](const QString& line) {
    progress.Wipe();
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
  };
  output.err = [&progress](const QString& line) {
    progress.Wipe();
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
  };
  // Only a person watching a terminal wants it; scripts reading stderr get
  // the failures alone.
  if (!options.quiet && ::isatty(STDERR_FILENO) == 1) {
    output.progress = [&progress](int done, int total) { progress.Show(done, total); };
  }
  const int code = corvid::RunBatch(options, output);
  progress.Wipe();
  return code;
}
