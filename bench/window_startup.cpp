// Start-up of the corvid window to its first painted picture.
//
// Each round is a fresh process (so fonts, icons and the library's tables
// are loaded cold, as at a real start): it makes the QApplication (the
// window system's own start, not timed), then times what the program does
// from there: document with its module table and settings, main window,
// the command-line file opened (read, recognised, decoded), the window
// shown, and the view's first paint of the picture.
//
// Usage: corvid_startup_bench [--rounds N] [FILE.cam]
// (default: 15 rounds of samples/photo_scene.cam). Runs on any Qt
// platform: under X (Xvfb) or with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "command_line.h"
#include "corvid_view.h"
#include "document.h"
#include "main_frame.h"
#include "messages.h"

namespace {

// Reports on stderr instead of in a box: a bench must never wait for a click.
class QuietUi : public corvid::UserInterface {
 public:
  void Report(corvid::Message message) override {
    std::fprintf(stderr, "corvid: %s\n", qPrintable(corvid::MessageText(message)));
    failed = true;
  }
  bool failed = false;
};

// One start; prints the milliseconds to the first painted picture.
int RunOnce(const QString& file) {
  QElapsedTimer clock;
  clock.start();
  QuietUi ui;
  corvid::CCorvidDoc doc(ui);
  corvid::CMainFrame frame(doc);
  if (!frame.OpenFile(file)) return 1;
  QEventLoop loop;
  QObject::connect(frame.view(), &corvid::CCorvidView::pictureDrawn, &loop, &QEventLoop::quit);
  QTimer::singleShot(10000, &loop, [&loop] { loop.exit(1); });
  frame.show();
  if (loop.exec() != 0) {
    std::fprintf(stderr, "no picture painted within 10 s\n");
    return 1;
  }
  std::printf("%.3f\n", clock.nsecsElapsed() / 1e6);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  corvid::SetUpApplication(app);
  QStringList args = QApplication::arguments();
  args.removeFirst();
  int rounds = 15;
  bool child = false;
  QString file = QStringLiteral(RK_SOURCE_DIR "/samples/photo_scene.cam");
  while (!args.isEmpty()) {
    const QString arg = args.takeFirst();
    if (arg == QLatin1String("--once")) {
      child = true;
    } else if (arg == QLatin1String("--rounds") && !args.isEmpty()) {
      rounds = std::max(1, args.takeFirst().toInt());
    } else {
      file = arg;
    }
  }
  if (child) return RunOnce(file);

  // Every round gets a fresh, empty profile store: default window size,
  // default settings, and the user's store never touched.
  QTemporaryDir profile;
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    QProcess round;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QTemporaryDir config(profile.path() + QStringLiteral("/round-XXXXXX"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    round.setProcessEnvironment(env);
    round.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    round.start(QApplication::applicationFilePath(), {QStringLiteral("--once"), file});
    if (!round.waitForFinished(30000) || round.exitCode() != 0) {
      std::fprintf(stderr, "round %d failed\n", i + 1);
      return 1;
    }
    bool ok = false;
    const double ms = QString::fromLatin1(round.readAllStandardOutput()).trimmed().toDouble(&ok);
    if (!ok) return 1;
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("corvid start-up to first painted picture (%s, platform %s), %d rounds:\n",
              qPrintable(file.section(QLatin1Char('/'), -1)),
              qPrintable(QGuiApplication::platformName()), rounds);
  std::printf("  min %.1f ms   median %.1f ms   max %.1f ms\n", times.front(),
              times[times.size() / 2], times.back());
  return 0;
}
