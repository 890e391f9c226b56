// corvid_desktop_bench: how long file managers and Qt programs wait for a
// CAM picture.
//
//  1. corvid-thumbnailer -s 128 as a whole process per file (start, read,
//     decode, scale, PNG, exit), what a file manager waits for: its CPU
//     time, and the wall time, which on a busy machine also holds the waits
//     for a core.
//  2. The thumbnail work inside that process (decode, resample to 128,
//     PNG encode), beside the same work done with Qt (its JPEG reader,
//     libjpeg-turbo, on a JPEG of the same picture; smooth scaling; its
//     PNG writer).
//  3. The image plugin's QImageReader read at the three CAM sizes (and of
//     the embedded-JPEG kind), beside QImageReader on that JPEG.
// In-process times are the thread's CPU time, best of 15 rounds, so that
// other work on the machine inflates them less; the process times are
// medians of 15 runs. Files: the bundled samples (photo_scene
// and jpeg_section carry a thumbnail section, the others do not; the
// section is not used, so the figures should not differ by it).
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <functional>
#include <vector>

#include "cam_image.h"
#include "png_writer.h"
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

struct ProcessTimes {
  double wallMs = -1;  // median
  double cpuMs = -1;   // median of user + system time of the process
};

// Runs the thumbnailer kRounds times. The CPU time (from wait4) is what the
// process costs; the wall time also holds the waits for a core on a busy
// machine.
ProcessTimes RunThumbnailer(const QString& input, const QString& output) {
  const QByteArray program = THUMBNAILER_PATH;
  const QByteArray size = QByteArray::number(kThumbSize);
  const QByteArray in = input.toLocal8Bit();
  const QByteArray out = output.toLocal8Bit();
  char* args[] = {const_cast<char*>(program.constData()), const_cast<char*>("-s"),
                  const_cast<char*>(size.constData()), const_cast<char*>(in.constData()),
                  const_cast<char*>(out.constData()), nullptr};
  std::vector<double> wall, cpu;
  for (int r = 0; r < kRounds; ++r) {
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args, environ) != 0) return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    wall.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    auto ms = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) * 1e3 + tv.tv_usec / 1e3; };
    cpu.push_back(ms(usage.ru_utime) + ms(usage.ru_stime));
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_PLUGIN_PATH", RK_PLUGIN_DIR);
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("thumb.png"));
  const char* samples[] = {"photo_scene.cam", "lines_text.cam", "colour_chart.cam", "jpeg_section.cam"};

  std::printf("corvid-thumbnailer -s %d, whole process (medians of %d): CPU (user + system) | wall:\n",
              kThumbSize, kRounds);
  for (const char* s : samples) {
    const QString path = QStringLiteral(RK_SOURCE_DIR "/samples/") + QLatin1String(s);
    const ProcessTimes t = RunThumbnailer(path, out);
    std::printf("  %-18s %7.1f ms | %7.1f ms\n", s, t.cpuMs, t.wallMs);
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
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.constData());
    const double ours = BestCpu(
        [&] {
          corvid::thumbnailer::Image t;
          (void)corvid::thumbnailer::MakeThumbnail(bytes, static_cast<size_t>(file.size()), kThumbSize, &t);
          (void)corvid::thumbnailer::EncodePng(t);
        },
        5);
    const double peer = BestCpu(
        [&] {
          const QImage picture = ReadWith(jpeg);
          const corvid::camread::Size fit =
              corvid::thumbnailer::FitWithin({picture.width(), picture.height()}, kThumbSize);
          (void)Png(picture.scaled(QSize(fit.width, fit.height), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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
