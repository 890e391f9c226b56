// CCorvidView: the scrolling view that draws the document's picture, either
// at the zoom setting (128ths: 128 normal, 64 half, 256 double) or fitted
// to the window. The scroll size is the picture's size as drawn; a picture
// smaller than the window stands in its middle on the window background.
// A picture not drawn 1:1 is scaled smoothly (the halftone stretch), 1:1
// with plain pixel copies.
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
// The same into `image`, over its own memory when it already has the
// block's size and shares it with no other image. Browsing a folder of
// 12-megapixel photographs then writes each into the 48 MB of the one
// before rather than into 48 MB the system has to hand out page by page
// (12 000 page faults a picture).
void PictureImageInto(const PixelBlock* block, QImage& image);

// The picture as drawn on a screen with `dpr` device pixels per logical
// pixel: `scaled` logical pixels become scaled x dpr device pixels, so a
// half-size picture on a 2x screen keeps every source pixel and a 1:1
// picture there is doubled pixel for pixel rather than blurred. Smooth
// scaling only when `smooth` (zoom not 1:1). The result carries the ratio.
QImage RenderPicture(const QImage& source, const QSize& scaled, qreal dpr, bool smooth);

// Fit to Window: the picture made small enough for `area`, its shape kept;
// a picture that fits already keeps its size (fitting never enlarges).
// 4000 x 3000 in 640 x 400 gives 533 x 400; 480 x 360 stays 480 x 360.
QSize FitSize(const QSize& picture, const QSize& area);

// The zoom steps of Ctrl+Plus / Ctrl+Minus and Ctrl+wheel, in 128ths:
// half, normal, double.
constexpr int kZoomSteps[3] = {64, 128, 256};
// The step after `scale` (1.0 = 1:1) in `direction` (+1 larger, -1
// smaller): the first step beyond it, so a picture fitted at 0.3 goes to
// half size, then normal. 0 when there is none.
int ZoomStep(double scale, int direction);

class CCorvidView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit CCorvidView(CCorvidDoc& doc, QWidget* parent = nullptr);

  // After a document has been opened: takes its picture, scrolls to the
  // top left, sets the scroll size and redraws everything.
  void OnInitialUpdate();

  // Fitted to the window, or at the document's zoom setting.
  bool FitToWindow() const { return fit_; }
  // Changes the zoom (fit, or `zoom` in 128ths into the document's
  // setting) keeping the picture point under `anchor` (viewport
  // coordinates; the viewport's centre when null) where it is, as far as
  // the scroll range allows.
  void SetZoom(bool fit, int zoom, QPoint anchor = QPoint(-1, -1));

  // The picture's size as drawn, in logical pixels (0 x 0 with no
  // picture): the scroll size.
  QSize ScrollSize() const;
  // The scale it is drawn at (1.0 = 1:1).
  double Scale() const;
  // Where the picture is drawn in the viewport: centred along an axis it
  // does not fill, else scrolled.
  QRect PictureRect() const;
  // Nothing to scroll: the whole picture is in the window.
  bool PictureFits() const;
  // The picture the view draws (top-down), as taken at the last update.
  const QImage& Picture() const { return source_; }

 signals:
  // A paint put the picture on the screen.
  void pictureDrawn();
  // The scale changed without a command: a fitted picture and a window
  // that changed size.
  void scaleChanged();
  // Ctrl+wheel: one zoom step in `direction` about the point `at`.
  void zoomStepRequested(int direction, QPoint at);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void UpdateScrollBars();
  const QPixmap& Rendered(const QSize& shown, qreal dpr);

  CCorvidDoc& doc_;
  QImage source_;
  bool fit_ = true;
  // Ctrl+wheel angle not yet turned into a step (touchpads send eighths
  // of a notch).
  int wheelRest_ = 0;
  // The picture as last drawn, kept until its size, the screen's ratio or
  // the picture changes.
  QPixmap rendered_;
  QSize renderedSize_;
  qreal renderedDpr_ = 0;
};

}  // namespace corvid
