// rk_plugin_check FILE: reads FILE with a QImageReader that decides the
// format by content, with the image plugins Qt finds (QT_PLUGIN_PATH), and
// prints "FORMAT WIDTHxHEIGHT" of the picture it read. Exit 1 when no
// plugin reads the file. The install checks use it to show that the
// installed CAM plugin is found by a Qt program, and to measure PNGs.
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: rk_plugin_check FILE\n");
    return 2;
  }
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  reader.setDecideFormatFromContent(true);
  const QByteArray format = reader.format();  // asks the handler that will read
  const QImage image = reader.read();
  if (image.isNull()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(reader.errorString()));
    return 1;
  }
  std::printf("%s %dx%d\n", format.constData(), image.width(), image.height());
  return 0;
}
