// CCorvidView: the scrolling view that draws the document's picture at the
// zoom setting (128ths: 128 normal, 64 half, 256 double). The scroll size
// is the scaled size; a zoom other than 1:1 is drawn smoothly (the
// halftone stretch), 1:1 with plain pixel copies.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPixmap>

#include "document.h"

namespace corvid {

class PixelBlock;

// The pixel block (bottom-up rows of blue, green, red) as a top-down RGB32
// image; a null image for no block.
QImage PictureImage(const PixelBlock* block);

// The picture as drawn on a screen with `dpr` device pixels per logical
// pixel: `scaled` logical pixels become scaled x dpr device pixels, so a
// half-size picture on a 2x screen keeps every source pixel and a 1:1
// picture there is doubled pixel for pixel rather than blurred. Smooth
// scaling only when `smooth` (zoom not 1:1). The result carries the ratio.
QImage RenderPicture(const QImage& source, const QSize& scaled, qreal dpr, bool smooth);

class CCorvidView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit CCorvidView(CCorvidDoc& doc, QWidget* parent = nullptr);

  // After a document has been opened: takes its picture, scrolls to the
  // top left, sets the scroll size and redraws everything.
  void OnInitialUpdate();
  // After the zoom setting changed: scroll size again, redraw everything.
  void OnZoomChanged();

  // The scroll size: the picture's size at the current zoom (0 x 0 with no
  // picture).
  QSize ScrollSize() const;
  // The picture the view draws (top-down), as taken at the last update.
  const QImage& Picture() const { return source_; }

 signals:
  // A paint put the picture on the screen.
  void pictureDrawn();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  const QPixmap& Rendered(qreal dpr);

  CCorvidDoc& doc_;
  QImage source_;
  // The picture as last drawn, kept until the zoom, the screen's ratio or
  // the picture changes.
  QPixmap rendered_;
  int renderedZoom_ = 0;
  qreal renderedDpr_ = 0;
};

}  // namespace corvid
