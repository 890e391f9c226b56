// corvid_desktop_bench: how long file managers and Qt programs wait for a
// CAM picture.
//
//  1. corvid-thumbnailer -s 128 as a whole process per file (wall time:
//     start, read, decode, scale, PNG, exit), the number a file manager sees.
//  2. The thumbnail work inside that process (read, decode, scale to 128,
//     PNG encode), beside the same work done by Qt's JPEG reader
//     (libjpeg-turbo) on a JPEG of the same 480x360 picture.
//  3. The image plugin's QImageReader read at the three CAM sizes (and of
//     the embedded-JPEG kind), beside QImageReader on that JPEG.
// In-process times are the thread's CPU time, best of 15 rounds, so that
// other work on the machine inflates them less; the process times are
// wall-clock medians of 15 runs. Files: the bundled samples (photo_scene
// and jpeg_section carry a thumbnail section, the others do not; the
// section is not used, so the figures should not differ by it).
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "thumbnail.h"

namespace {

constexpr int kRounds = 15;
constexpr int kThumbSize = 128;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Best thread CPU time of one call, over kRounds rounds of `inner` calls.
double BestCpu(const std::function<void()>& work, int inner) {
  for (int i = 0; i < 3; ++i) work();  // warm caches and lazily loaded plugins
  double best = 1e9;
  for (int r = 0; r < kRounds; ++r) {
    const double t0 = CpuSeconds();
    for (int i = 0; i < inner; ++i) work();
    best = std::min(best, (CpuSeconds() - t0) / inner);
  }
  return best;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage ReadWith(const QByteArray& bytes, QSize scaled = {}) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (scaled.isValid()) reader.setScaledSize(scaled);
  return reader.read();
}

QByteArray Png(const QImage& image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter(&buffer, "png").write(image);
  return out;
}

double ProcessMedian(const QString& input, const QString& output) {
  std::vector<double> ms;
  for (int r = 0; r < kRounds; ++r) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QStringLiteral(THUMBNAILER_PATH), {QStringLiteral("-s"), QString::number(kThumbSize), input, output});
    if (!p.waitForFinished(10000) || p.exitCode() != 0) return -1;
    ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_PLUGIN_PATH", RK_PLUGIN_DIR);
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("thumb.png"));
  const char* samples[] = {"photo_scene.cam", "lines_text.cam", "colour_chart.cam", "jpeg_section.cam"};

  std::printf("corvid-thumbnailer -s %d, whole process (wall, median of %d):\n", kThumbSize, kRounds);
  for (const char* s : samples) {
    const QString path = QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(s);
    std::printf("  %-18s %7.1f ms\n", s, ProcessMedian(path, out));
  }

  std::printf("\nthumbnail work in process (CPU, best of %d) | Qt JPEG reader, same picture as JPEG | ratio:\n",
              kRounds);
  for (const char* s : samples) {
    const QByteArray file = ReadFile(QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(s));
    QImage natural;
    if (corvid::camread::ReadPicture(file, {}, &natural) != corvid::camread::Status::kOk) return 1;
    QByteArray jpeg;
    {
      QBuffer b(&jpeg);
      b.open(QIODevice::WriteOnly);
      QImageWriter(&b, "jpeg").write(natural);  // quality 75, 4:2:0
    }
    const double ours = BestCpu(
        [&] {
          QImage t;
          (void)corvid::thumbnailer::MakeThumbnail(file, kThumbSize, &t);
          (void)Png(t);
        },
        5);
    const double peer = BestCpu(
        [&] {
          const QImage picture = ReadWith(jpeg);
          (void)Png(picture.scaled(corvid::thumbnailer::FitWithin(picture.size(), kThumbSize),
                                   Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        },
        5);
    std::printf("  %-18s %7.2f ms | %7.2f ms | %5.2f\n", s, ours * 1e3, peer * 1e3, ours / peer);
  }

  std::printf("\nQImageReader read (CPU, best of %d) | Qt JPEG reader, same picture | ratio:\n", kRounds);
  for (const char* s : {"photo_scene.cam", "jpeg_section.cam"}) {
    const QByteArray file = ReadFile(QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(s));
    const bool jpegKind = QByteArray(s).startsWith("jpeg");
    const std::vector<QSize> sizes =
        jpegKind ? std::vector<QSize>{QSize()} : std::vector<QSize>{QSize(480, 360), QSize(480, 240), QSize(320, 240)};
    for (QSize size : sizes) {
      const QImage picture = ReadWith(file, size);
      if (picture.isNull()) return 1;
      QByteArray jpeg;
      {
        QBuffer b(&jpeg);
        b.open(QIODevice::WriteOnly);
        QImageWriter(&b, "jpeg").write(picture);
      }
      const double ours = BestCpu([&] { (void)ReadWith(file, size); }, 10);
      const double peer = BestCpu([&] { (void)ReadWith(jpeg); }, 10);
      std::printf("  %-18s %dx%d %7.2f ms | %7.2f ms | %5.2f\n", s, picture.width(), picture.height(), ours * 1e3,
                  peer * 1e3, ours / peer);
    }
  }
  return 0;
}
