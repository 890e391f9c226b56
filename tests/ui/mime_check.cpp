// Asks Qt's MIME database (the shared-mime-info one of XDG_DATA_DIRS) what
// a CAM file is: by content for data that starts with 07 20, by name for
// *.cam, and that other data is not taken for a CAM file.
// Usage: rk_mime_check CAM-FILE; exit 0 when every answer is right.
#include <QCoreApplication>
#include <QFile>
#include <QMimeDatabase>
#include <cstdio>

namespace {

constexpr char kCamType[] = "image/x-quillbank-cam";

bool Expect(const char* what, const QString& got, bool wantCam) {
  const bool ok = (got == QLatin1String(kCamType)) == wantCam;
  std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", what, qPrintable(got));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: rk_mime_check CAM-FILE\n");
    return 2;
  }
  QFile file(QString::fromLocal8Bit(argv[1]));
  if (!file.open(QIODevice::ReadOnly)) return 2;
  const QByteArray cam = file.readAll();
  QMimeDatabase db;
  bool ok = true;
  ok &= Expect("content of a CAM file", db.mimeTypeForData(cam).name(), true);
  ok &= Expect("name *.cam", db.mimeTypeForFile(QStringLiteral("IMG00001.cam"), QMimeDatabase::MatchExtension).name(), true);
  ok &= Expect("name *.CAM", db.mimeTypeForFile(QStringLiteral("IMG00001.CAM"), QMimeDatabase::MatchExtension).name(), true);
  QByteArray other = cam;
  other[1] = 0x21;  // 07 21: not the magic
  ok &= Expect("content with other first bytes", db.mimeTypeForData(other).name(), false);
  return ok ? 0 : 1;
}
