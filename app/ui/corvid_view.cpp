#include "corvid_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

#include "bitmap.h"

namespace corvid {
namespace {

constexpr int kNormalZoom = 128;
constexpr int kLineStep = 20;

}  // namespace

QImage PictureImage(const PixelBlock* block) {
  if (block == nullptr) return QImage();
  const int width = static_cast<int>(block->width());
  const int height = static_cast<int>(block->height());
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return image;
  // Row 0 in memory is the bottom row of the picture.
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = block->pixels() + static_cast<size_t>(height - 1 - y) * block->stride();
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
  }
  return image;
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

CCorvidView::CCorvidView(CCorvidDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), doc_(doc) {
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::NoFrame);
}

void CCorvidView::OnInitialUpdate() {
  source_ = PictureImage(doc_.Image().Picture());
  rendered_ = QPixmap();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  UpdateScrollBars();
  viewport()->update();
}

void CCorvidView::OnZoomChanged() {
  UpdateScrollBars();
  viewport()->update();
}

QSize CCorvidView::ScrollSize() const {
  return ScaledSize(source_.size(), doc_.Image().settings().zoom);
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

const QPixmap& CCorvidView::Rendered(qreal dpr) {
  const int zoom = doc_.Image().settings().zoom;
  if (rendered_.isNull() || renderedZoom_ != zoom || renderedDpr_ != dpr) {
    rendered_ = QPixmap::fromImage(RenderPicture(source_, ScrollSize(), dpr, zoom != kNormalZoom));
    renderedZoom_ = zoom;
    renderedDpr_ = dpr;
  }
  return rendered_;
}

void CCorvidView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const QRect picture(origin, ScrollSize());
  // Erase what the picture does not cover.
  const QRegion rest = QRegion(event->rect()).subtracted(QRegion(picture));
  for (const QRect& r : rest) painter.fillRect(r, palette().brush(QPalette::Base));
  if (source_.isNull() || picture.isEmpty()) return;
  const QPixmap& pixmap = Rendered(viewport()->devicePixelRatioF());
  if (pixmap.isNull()) return;
  painter.drawPixmap(origin, pixmap);
  emit pictureDrawn();
}

void CCorvidView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CCorvidView::scrollContentsBy(int, int) { viewport()->update(); }

}  // namespace corvid
