// Folder browsing in the corvid window: the time from the key press (Space)
// to the next picture painted, for a folder of CAM files and a folder of
// 12-megapixel JPEG files, each beside a plain Qt viewer doing the same
// step on the same pictures as JPEG: QImageReader (libjpeg-turbo), smooth
// scaling to the same size, one paint.
//
// The window is 1024 x 768 with Fit to Window, its default: CAM pictures
// are drawn 1:1, the JPEG files fitted (4000 x 3000 into about 1024 x 700,
// smoothly). A step is timed from just before the key event to the end of
// the paint that put the picture in the window's back buffer: reading,
// recognising, decoding, the view's copy, scaling and drawing. Wall time,
// median and worst of the steps, so it also holds waits for a core on a
// busy machine: the load average is printed with the figures.
//
// A third figure: listing and sorting a folder of 5000 names, what a step
// costs more in a folder changed within the last two seconds.
//
// Usage: corvid_browse_bench [--steps N] (default 24). Any Qt platform:
// QT_QPA_PLATFORM=offscreen, or under X (Xvfb).
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QKeyEvent>
#include <QPainter>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bitmap.h"
#include "command_line.h"
#include "corvid_view.h"
#include "document.h"
#include "folder_list.h"
#include "main_frame.h"
#include "messages.h"
#include "rk_dib.h"

namespace {

constexpr QSize kWindow(1024, 768);
constexpr int kJpegWidth = 4000, kJpegHeight = 3000;  // 12 megapixels
constexpr int kFilesPerFolder = 4;
constexpr int kListedNames = 5000;

class QuietUi : public corvid::UserInterface {
 public:
  void Report(corvid::Message message) override {
    std::fprintf(stderr, "corvid: %s\n", qPrintable(corvid::MessageText(message)));
  }
};

// A camera-like picture: smooth light with fine texture, so that the JPEG
// holds about as much as a photograph (3.9 MB for 12 megapixels).
std::unique_ptr<corvid::PixelBlock> Photo(int width, int height, uint32_t seed) {
  auto block = corvid::PixelBlock::Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (!block) return block;
  uint32_t state = seed;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = block->pixels() + static_cast<size_t>(y) * block->stride();
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 27) - 16;
      const int base[3] = {x * 200 / width + 30, y * 180 / height + 40, (x + y) * 120 / (width + height) + 60};
      for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uint8_t>(std::clamp(base[c] + noise, 0, 255));
    }
  }
  return block;
}

bool SaveJpeg(std::unique_ptr<corvid::PixelBlock> block, const QString& path) {
  QuietUi ui;
  corvid::CRKDib image(ui, corvid::CRKDib::Profile::Ignore);
  image.AdoptPicture(std::move(block));
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && image.ExportFile(file, path);
}

// The picture of a CAM file as decoded, written as JPEG (for the peer).
bool CamAsJpeg(const QString& cam, const QString& path) {
  QuietUi ui;
  corvid::CRKDib image(ui, corvid::CRKDib::Profile::Ignore);
  QFile file(path);
  return image.ImportFile(cam) && file.open(QIODevice::WriteOnly) && image.ExportFile(file, path);
}

struct Figures {
  double median = 0, worst = 0;
};
Figures Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return Figures{ms[ms.size() / 2], ms.back()};
}

// Times `steps` presses of Space on `window`, each until `painted` fires.
template <typename Signal, typename Sender>
std::vector<double> TimeSteps(QWidget& window, const Sender* sender, Signal painted, int steps) {
  std::vector<double> ms;
  for (int i = 0; i < steps; ++i) {
    QEventLoop loop;
    const auto connection = QObject::connect(sender, painted, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, [&loop] { loop.exit(1); });
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(&window, Qt::Key_Space);
    const int failed = loop.exec();
    QObject::disconnect(connection);
    if (failed != 0) return {};
    ms.push_back(clock.nsecsElapsed() / 1e6);
  }
  return ms;
}

// The peer: a plain Qt viewer of a list of files. Space reads the next
// with QImageReader, fits it smoothly into the widget (never enlarging)
// and paints it centred.
class PeerViewer : public QWidget {
  Q_OBJECT
 public:
  explicit PeerViewer(QStringList files) : files_(std::move(files)) {}
 signals:
  void painted();

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Space) return;
    index_ = (index_ + 1) % files_.size();
    QImageReader reader(files_[index_]);
    QImage image = reader.read();
    const QSize shown = corvid::FitSize(image.size(), size() * devicePixelRatioF());
    if (shown != image.size()) image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(devicePixelRatioF());
    picture_ = QPixmap::fromImage(image);
    update();
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QSize shown = picture_.deviceIndependentSize().toSize();
    painter.drawPixmap((width() - shown.width()) / 2, (height() - shown.height()) / 2, picture_);
    emit painted();
  }

 private:
  QStringList files_;
  int index_ = 0;
  QPixmap picture_;
};

bool ShowAndWait(QWidget& window) {
  window.resize(kWindow);
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

struct Row {
  const char* what;
  Figures corvid;
  Figures peer;
};

// Browses `files` (all in one folder) in the corvid window and in the peer
// (`peerFiles`, the same pictures as JPEG).
bool Browse(const QStringList& files, const QStringList& peerFiles, int steps, Row& row) {
  QuietUi ui;
  corvid::CCorvidDoc doc(ui, corvid::CRKDib::Profile::Ignore);
  corvid::CMainFrame frame(doc);
  if (!frame.OpenFile(files.first()) || !ShowAndWait(frame)) return false;
  const std::vector<double> ours = TimeSteps(frame, frame.view(), &corvid::CCorvidView::pictureDrawn, steps);
  PeerViewer peer(peerFiles);
  if (!ShowAndWait(peer)) return false;
  const std::vector<double> theirs = TimeSteps(peer, &peer, &PeerViewer::painted, steps);
  if (ours.empty() || theirs.empty()) return false;
  row.corvid = Summarise(ours);
  row.peer = Summarise(theirs);
  return true;
}

// One step in a fresh list of the folder: listing, sorting, one look at
// the next file (name00002.cam, a CAM file) and no open.
double ListingMs(const QString& folder) {
  std::vector<double> ms;
  for (int i = 0; i < 5; ++i) {
    corvid::BrowseList list;
    list.SetFolderOf(folder + QStringLiteral("/name00001.cam"));
    QElapsedTimer clock;
    clock.start();
    if (list.Step(1, [](const QString&) { return true; }).isEmpty()) return -1;
    ms.push_back(clock.nsecsElapsed() / 1e6);
  }
  return Summarise(ms).median;
}

}  // namespace

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir profile;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());
  QApplication app(argc, argv);
  corvid::SetUpApplication(app);
  int steps = 24;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QLatin1String("--steps")) steps = std::max(2, args[i + 1].toInt());
  }

  QTemporaryDir work;
  QDir root(work.path());
  for (const char* sub : {"cam", "cam-peer", "jpeg", "names"}) root.mkdir(QLatin1String(sub));
  QStringList cams, camPeers, jpegs;
  const char* samples[] = {"photo_scene.cam", "lines_text.cam", "colour_chart.cam", "jpeg_section.cam"};
  for (int i = 0; i < kFilesPerFolder; ++i) {
    const QString source = QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(samples[i % 4]);
    cams << root.filePath(QStringLiteral("cam/IMG%1.CAM").arg(i + 1, 4, 10, QLatin1Char('0')));
    camPeers << root.filePath(QStringLiteral("cam-peer/IMG%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0')));
    jpegs << root.filePath(QStringLiteral("jpeg/DSC%1.JPG").arg(i + 1, 4, 10, QLatin1Char('0')));
    if (!QFile::copy(source, cams.last()) || !CamAsJpeg(source, camPeers.last()) ||
        !SaveJpeg(Photo(kJpegWidth, kJpegHeight, 7u + i), jpegs.last())) {
      std::fprintf(stderr, "cannot write the test pictures\n");
      return 1;
    }
  }
  for (int i = 0; i < kListedNames; ++i) {
    const QString name = root.filePath(QStringLiteral("names/name%1.cam").arg(i + 1, 5, 10, QLatin1Char('0')));
    QFile file(name);
    if (i == 1 ? !QFile::copy(cams.first(), name) : !file.open(QIODevice::WriteOnly)) return 1;
  }

  Row rows[2] = {{"CAM (480 x 360, 640 x 480) 1:1", {}, {}}, {"JPEG 4000 x 3000, fitted", {}, {}}};
  if (!Browse(cams, camPeers, steps, rows[0]) || !Browse(jpegs, jpegs, steps, rows[1])) {
    std::fprintf(stderr, "a step did not paint within 10 s\n");
    return 1;
  }
  const double listing = ListingMs(root.filePath(QStringLiteral("names")));

  QFile loadavg(QStringLiteral("/proc/loadavg"));
  const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readLine().trimmed() : QByteArray("?");
  std::printf("corvid folder browsing: key press to the next picture painted (%d steps, window %dx%d, "
              "platform %s, load average %s)\n",
              steps, kWindow.width(), kWindow.height(), qPrintable(QGuiApplication::platformName()),
              load.constData());
  std::printf("  %-28s %22s %26s %8s\n", "", "corvid median / worst", "Qt viewer median / worst", "ratio");
  for (const Row& row : rows) {
    std::printf("  %-28s %10.1f / %6.1f ms %14.1f / %6.1f ms %8.2f\n", row.what, row.corvid.median,
                row.corvid.worst, row.peer.median, row.peer.worst, row.corvid.median / row.peer.median);
  }
  std::printf("  (peer for CAM: the same pictures as JPEG)\n");
  std::printf("  listing and sorting %d names: %.1f ms\n", kListedNames, listing);
  return 0;
}

#include "window_browse.moc"
