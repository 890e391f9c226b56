#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace corvid {
namespace {

// Every drawing works on a 16 x 16 grid and is painted at each size.
using Draw = void (*)(QPainter&);

void DrawOpen(QPainter& p) {
  p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1));
  p.setBrush(QColor(0xE8, 0xC0, 0x50));
  p.drawPolygon(QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {13.5, 5}, {13.5, 13.5}, {1.5, 13.5}}));
  p.setBrush(QColor(0xF8, 0xDC, 0x78));
  p.drawPolygon(QPolygonF({{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}}));
}

void DrawSave(QPainter& p) {
  p.setPen(QPen(QColor(0x10, 0x20, 0x50), 1));
  p.setBrush(QColor(0x30, 0x50, 0xA0));
  p.drawRect(QRectF(1.5, 1.5, 13, 13));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(4, 2, 8, 5));
  p.setBrush(QColor(0xB0, 0xB0, 0xB8));
  p.drawRect(QRectF(4, 10, 8, 4));
  p.setBrush(QColor(0x30, 0x50, 0xA0));
  p.drawRect(QRectF(9, 10.5, 2, 3));
}

void DrawCut(QPainter& p) {
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2));
  p.drawLine(QPointF(4, 1.5), QPointF(10.5, 10));
  p.drawLine(QPointF(12, 1.5), QPointF(5.5, 10));
  p.setPen(QPen(QColor(0xC0, 0x20, 0x20), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
  p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
}

void Page(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
  p.setBrush(Qt::white);
  p.drawRect(r);
  p.setPen(QPen(QColor(0x90, 0x90, 0xA0), 1));
  for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 2) {
    p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
  }
}

void DrawCopy(QPainter& p) {
  Page(p, QRectF(1.5, 1.5, 8, 10));
  Page(p, QRectF(6.5, 4.5, 8, 10));
}

void DrawPaste(QPainter& p) {
  p.setPen(QPen(QColor(0x60, 0x40, 0x10), 1));
  p.setBrush(QColor(0xC0, 0x90, 0x50));
  p.drawRect(QRectF(1.5, 2.5, 10, 12));
  p.setBrush(QColor(0x90, 0x90, 0x90));
  p.drawRect(QRectF(4.5, 1.5, 4, 2));
  Page(p, QRectF(6.5, 6.5, 8, 8));
}

void DrawAbout(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x20, 0x60, 0xC0));
  p.drawEllipse(QPointF(8, 8), 7, 7);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8, 4.5), 1.2, 1.2);
  p.drawRect(QRectF(7, 7, 2, 6));
}

// The application icon, the same drawing as packaging/corvid.svg: a
// picture frame with a corvid's head on a blue tile.
void DrawApplication(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2B, 0x5B, 0x84));
  p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
  p.setBrush(QColor(0xF4, 0xF1, 0xE8));
  p.drawRect(QRectF(2.5, 3, 11, 10));
  p.setBrush(QColor(0x9C, 0xC8, 0xE8));
  p.drawRect(QRectF(3.5, 4, 9, 8));
  QPainterPath bird;
  bird.moveTo(5, 12);
  bird.cubicTo(5, 8, 6.5, 6, 9, 6);
  bird.lineTo(12.5, 7.2);
  bird.lineTo(9.8, 8.2);
  bird.cubicTo(10.5, 10, 10, 11, 9.5, 12);
  bird.closeSubpath();
  p.setBrush(QColor(0x15, 0x15, 0x1A));
  p.drawPath(bird);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(8.3, 7.4), 0.6, 0.6);
}

QIcon Painted(Draw draw) {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    draw(painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A theme icon that can actually be drawn: a theme that has only SVG files
// gives icons that paint nothing without the SVG icon engine.
QIcon FromTheme(const QString& name) {
  if (!QIcon::hasThemeIcon(name)) return QIcon();
  QIcon icon = QIcon::fromTheme(name);
  return icon.pixmap(16, 16).isNull() ? QIcon() : icon;
}

struct IconLook {
  const char* themeName;
  Draw draw;
};

IconLook LookOf(ToolIcon which) {
  switch (which) {
    case ToolIcon::Open: return {"document-open", DrawOpen};
    case ToolIcon::Save: return {"document-save", DrawSave};
    case ToolIcon::Cut: return {"edit-cut", DrawCut};
    case ToolIcon::Copy: return {"edit-copy", DrawCopy};
    case ToolIcon::Paste: return {"edit-paste", DrawPaste};
    case ToolIcon::About: return {"help-about", DrawAbout};
  }
  return {"", DrawAbout};
}

}  // namespace

QIcon ToolBarIcon(ToolIcon which) {
  const IconLook look = LookOf(which);
  const QIcon themed = FromTheme(QLatin1String(look.themeName));
  return themed.isNull() ? Painted(look.draw) : themed;
}

QIcon ApplicationIcon() {
  const QIcon themed = FromTheme(QStringLiteral("corvid"));
  return themed.isNull() ? Painted(DrawApplication) : themed;
}

}  // namespace corvid
