#include "corvid_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "bitmap.h"

namespace corvid {
namespace {

constexpr int kLineStep = 20;
// One notch of a mouse wheel, in eighths of a degree.
constexpr int kWheelNotch = 120;
// Scales this close count as equal: a fitted 0.5 is half size already.
constexpr double kScaleSlack = 1e-6;

}  // namespace

QImage PictureImage(const PixelBlock* block) {
  QImage image;
  PictureImageInto(block, image);
  return image;
}

void PictureImageInto(const PixelBlock* block, QImage& image) {
  if (block == nullptr) {
    image = QImage();
    return;
  }
  const int width = static_cast<int>(block->width());
  const int height = static_cast<int>(block->height());
  if (image.size() != QSize(width, height) || image.format() != QImage::Format_RGB32) {
    image = QImage(width, height, QImage::Format_RGB32);
  }
  if (image.isNull()) return;
  // Row 0 in memory is the bottom row of the picture.
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = block->pixels() + static_cast<size_t>(height - 1 - y) * block->stride();
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
  }
}

QImage RenderPicture(const QImage& source, const QSize& scaled, qreal dpr, bool smooth) {
  if (source.isNull() || scaled.isEmpty()) return QImage();
  const QSize device(qMax(1, qRound(scaled.width() * dpr)), qMax(1, qRound(scaled.height() * dpr)));
  QImage result = device == source.size()
                      ? source
                      : source.scaled(device, Qt::IgnoreAspectRatio,
                                      smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
  result.setDevicePixelRatio(dpr);
  return result;
}

QSize FitSize(const QSize& picture, const QSize& area) {
  if (picture.isEmpty() || area.isEmpty()) return QSize(0, 0);
  if (picture.width() <= area.width() && picture.height() <= area.height()) return picture;
  // The side that limits the scale takes the area's length exactly; the
  // other is cut down in integers (64 bits: 65535 x 65535 pictures).
  const qint64 pw = picture.width(), ph = picture.height();
  const qint64 aw = area.width(), ah = area.height();
  if (aw * ph <= ah * pw) return QSize(area.width(), static_cast<int>(std::max<qint64>(1, ph * aw / pw)));
  return QSize(static_cast<int>(std::max<qint64>(1, pw * ah / ph)), area.height());
}

int ZoomStep(double scale, int direction) {
  if (direction > 0) {
    for (const int step : kZoomSteps) {
      if (step / 128.0 > scale + kScaleSlack) return step;
    }
  } else if (direction < 0) {
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
      if (*it / 128.0 < scale - kScaleSlack) return *it;
    }
  }
  return 0;
}

CCorvidView::CCorvidView(CCorvidDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), doc_(doc) {
  // The platform's window background around a picture smaller than the
  // window, as every viewer shows it.
  viewport()->setBackgroundRole(QPalette::Window);
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::NoFrame);
}

void CCorvidView::OnInitialUpdate() {
  // The drawn copy may share the old picture's memory (a 1:1 pixmap):
  // dropped first, so that a picture of the same size is written over the
  // old one instead of into memory fresh from the system.
  rendered_ = QPixmap();
  PictureImageInto(doc_.Image().Picture(), source_);
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  UpdateScrollBars();
  viewport()->update();
}

void CCorvidView::SetZoom(bool fit, int zoom, QPoint anchor) {
  if (anchor.x() < 0 || anchor.y() < 0) anchor = viewport()->rect().center();
  // The anchor as a fraction of the picture, before and after.
  const QRect before = PictureRect();
  const auto fraction = [](int at, int start, int length) {
    return length > 0 ? std::clamp((at - start) / double(length), 0.0, 1.0) : 0.5;
  };
  const double fx = fraction(anchor.x(), before.x(), before.width());
  const double fy = fraction(anchor.y(), before.y(), before.height());
  fit_ = fit;
  if (!fit) doc_.Image().settings().zoom = static_cast<int16_t>(zoom);
  UpdateScrollBars();
  const QSize shown = ScrollSize();
  horizontalScrollBar()->setValue(qRound(fx * shown.width() - anchor.x()));
  verticalScrollBar()->setValue(qRound(fy * shown.height() - anchor.y()));
  viewport()->update();
}

QSize CCorvidView::ScrollSize() const {
  if (fit_) return FitSize(source_.size(), maximumViewportSize());
  return ScaledSize(source_.size(), doc_.Image().settings().zoom);
}

double CCorvidView::Scale() const {
  if (!fit_) return doc_.Image().settings().zoom / 128.0;
  if (source_.isNull()) return 1.0;
  const QSize shown = ScrollSize();
  return std::min(shown.width() / double(source_.width()), shown.height() / double(source_.height()));
}

QRect CCorvidView::PictureRect() const {
  const QSize shown = ScrollSize();
  const QSize area = viewport()->size();
  const int x =
      shown.width() < area.width() ? (area.width() - shown.width()) / 2 : -horizontalScrollBar()->value();
  const int y =
      shown.height() < area.height() ? (area.height() - shown.height()) / 2 : -verticalScrollBar()->value();
  return QRect(QPoint(x, y), shown);
}

bool CCorvidView::PictureFits() const {
  const QSize shown = ScrollSize();
  const QSize area = viewport()->size();
  return shown.width() <= area.width() && shown.height() <= area.height();
}

void CCorvidView::UpdateScrollBars() {
  const QSize total = ScrollSize();
  const QSize page = viewport()->size();
  horizontalScrollBar()->setRange(0, qMax(0, total.width() - page.width()));
  horizontalScrollBar()->setPageStep(page.width());
  horizontalScrollBar()->setSingleStep(kLineStep);
  verticalScrollBar()->setRange(0, qMax(0, total.height() - page.height()));
  verticalScrollBar()->setPageStep(page.height());
  verticalScrollBar()->setSingleStep(kLineStep);
}

const QPixmap& CCorvidView::Rendered(const QSize& shown, qreal dpr) {
  if (rendered_.isNull() || renderedSize_ != shown || renderedDpr_ != dpr) {
    rendered_ = QPixmap::fromImage(RenderPicture(source_, shown, dpr, shown != source_.size()));
    renderedSize_ = shown;
    renderedDpr_ = dpr;
  }
  return rendered_;
}

void CCorvidView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect picture = PictureRect();
  // Erase what the picture does not cover.
  const QRegion rest = QRegion(event->rect()).subtracted(QRegion(picture));
  for (const QRect& r : rest) painter.fillRect(r, palette().brush(QPalette::Window));
  if (source_.isNull() || picture.isEmpty()) return;
  const QPixmap& pixmap = Rendered(picture.size(), viewport()->devicePixelRatioF());
  if (pixmap.isNull()) return;
  painter.drawPixmap(picture.topLeft(), pixmap);
  emit pictureDrawn();
}

void CCorvidView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  if (fit_) {
    viewport()->update();
    emit scaleChanged();
  }
}

void CCorvidView::scrollContentsBy(int, int) { viewport()->update(); }

void CCorvidView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    wheelRest_ = 0;
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  event->accept();
  wheelRest_ += event->angleDelta().y();
  const QPoint at = event->position().toPoint();
  for (; wheelRest_ >= kWheelNotch; wheelRest_ -= kWheelNotch) emit zoomStepRequested(1, at);
  for (; wheelRest_ <= -kWheelNotch; wheelRest_ += kWheelNotch) emit zoomStepRequested(-1, at);
}

}  // namespace corvid
