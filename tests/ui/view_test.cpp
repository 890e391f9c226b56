// The view's picture: the pixel block turned upright, the scaling that
// keeps pictures crisp on high-density screens, and what a paint puts on
// the screen.
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <tuple>

#include "bitmap.h"
#include "corvid_view.h"
#include "ui_test_support.h"

namespace corvid::test {
namespace {

// A picture whose every pixel differs from its neighbours.
QImage Checker(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixel(x, y, ((x + y) & 1) ? qRgb(250, 20 * (x % 8), 0) : qRgb(0, 10 * (y % 16), 240));
    }
  }
  return image;
}

}  // namespace

class ViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { ClearProfile(); }

  void pixelBlockIsTurnedUpright() {
    // Width 3: 9 bytes of pixels, stride 12, three padding bytes a row.
    std::unique_ptr<PixelBlock> block = PixelBlock::Create(3, 2);
    QVERIFY(block);
    QCOMPARE(block->stride(), 12u);
    uint8_t* bottom = block->pixels();
    uint8_t* top = block->pixels() + block->stride();
    const uint8_t bgrTop[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const uint8_t bgrBottom[9] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    std::copy(bgrTop, bgrTop + 9, top);
    std::copy(bgrBottom, bgrBottom + 9, bottom);
    const QImage image = PictureImage(block.get());
    QCOMPARE(image.size(), QSize(3, 2));
    QCOMPARE(image.pixel(0, 0), qRgb(3, 2, 1));
    QCOMPARE(image.pixel(2, 0), qRgb(9, 8, 7));
    QCOMPARE(image.pixel(0, 1), qRgb(30, 20, 10));
    QCOMPARE(image.pixel(2, 1), qRgb(90, 80, 70));
    QVERIFY(PictureImage(nullptr).isNull());
  }

  void halfSizeOnADoubleDensityScreenKeepsEveryPixel() {
    const QImage source = Checker(64, 48);
    const QImage drawn = RenderPicture(source, QSize(32, 24), 2.0, true);
    QCOMPARE(drawn.devicePixelRatio(), 2.0);
    QCOMPARE(drawn.size(), QSize(64, 48));
    QImage pixels = drawn.convertToFormat(QImage::Format_RGB32);
    pixels.setDevicePixelRatio(1.0);
    QCOMPARE(pixels, source);
  }

  void normalSizeOnADoubleDensityScreenDoublesPixels() {
    const QImage source = Checker(16, 12);
    const QImage drawn = RenderPicture(source, QSize(16, 12), 2.0, false);
    QCOMPARE(drawn.size(), QSize(32, 24));
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 32; ++x) {
        QCOMPARE(drawn.pixel(x, y), source.pixel(x / 2, y / 2));
      }
    }
  }

  void zoomedPicturesAreSmoothed() {
    const QImage source = Checker(16, 12);
    const QImage smooth = RenderPicture(source, QSize(32, 24), 1.0, true);
    const QImage blocky = RenderPicture(source, QSize(32, 24), 1.0, false);
    QCOMPARE(smooth.size(), QSize(32, 24));
    QCOMPARE(smooth.devicePixelRatio(), 1.0);
    // A smoothed checkerboard has colours between its two families.
    QVERIFY(smooth != blocky);
    const QRgb mid = smooth.pixel(15, 11);
    QVERIFY(qRed(mid) > 0 && qRed(mid) < 250);
  }

  void paintShowsThePictureAtTheZoom_data() {
    QTest::addColumn<int>("zoom");
    QTest::newRow("normal") << 128;
    QTest::newRow("half") << 64;
    QTest::newRow("double") << 256;
  }
  void paintShowsThePictureAtTheZoom() {
    QFETCH(int, zoom);
    Window w;
    QVERIFY(w.frame.OpenFile(SamplePath("colour_chart.cam")));
    CCorvidView* view = w.frame.view();
    w.frame.resize(700, 500);
    w.frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
    view->SetZoom(false, zoom);
    view->horizontalScrollBar()->setValue(0);
    view->verticalScrollBar()->setValue(0);
    const QImage screen = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage expected = RenderPicture(view->Picture(), view->ScrollSize(), screen.devicePixelRatio(),
                                          zoom != 128)
                                .convertToFormat(QImage::Format_RGB32);
    // Both images are in device pixels: on a 2x screen the picture is
    // drawn from twice as many pixels, not blown up afterwards.
    const qreal dpr = screen.devicePixelRatio();
    QCOMPARE(expected.size(), (QSizeF(view->ScrollSize()) * dpr).toSize());
    // A picture narrower or lower than the window stands in its middle.
    const QRect rect = view->PictureRect();
    const QSize area = view->viewport()->size();
    for (const auto& [shown, room, at] : {std::tuple{rect.width(), area.width(), rect.x()},
                                          std::tuple{rect.height(), area.height(), rect.y()}}) {
      QCOMPARE(at, shown < room ? (room - shown) / 2 : 0);
    }
    const QPoint origin = (QPointF(rect.topLeft()) * dpr).toPoint();
    const int right = qMin(expected.width(), screen.width() - origin.x()) - 3;
    for (const QPoint p : {QPoint(5, 5), QPoint(100, 60), QPoint(right, 40)}) {
      QCOMPARE(screen.pixel(origin + p), expected.pixel(p));
    }
    // Around the picture: the platform's window background.
    if (rect.x() > 5) {
      const QPoint outside = (QPointF(rect.x() - 5, rect.y() + 5) * dpr).toPoint();
      QCOMPARE(QColor(screen.pixel(outside)), view->palette().color(QPalette::Window));
    }
  }
};

static const RegisterTest kViewTest([] { return std::make_unique<ViewTest>(); });

}  // namespace corvid::test

#include "view_test.moc"
