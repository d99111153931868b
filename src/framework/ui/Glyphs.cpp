// Glyphs: the pictures of the glyph buttons, drawn with QPainter instead of shipped as
// image files, so that any colour can be asked for and nothing has to be installed.
#include "framework/ui/Glyphs.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace fw::glyphs {

namespace {

constexpr int kSize = 34;
constexpr qreal kStroke = 3.0;
constexpr qreal kCentre = kSize / 2.0;

QPixmap draw(const std::function<void(QPainter&)>& paint) {
  QImage image(kSize, kSize, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    paint(painter);
  }
  return QPixmap::fromImage(image);
}

QPen strokePen(const QColor& color, qreal width = kStroke) {
  QPen pen(color, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// White square with the ring; the caller draws the sign inside.
void ring(QPainter& painter, const QColor& color) {
  painter.fillRect(QRect(0, 0, kSize, kSize), Qt::white);
  painter.setPen(strokePen(color));
  painter.setBrush(Qt::NoBrush);
  const qreal r = kCentre - kStroke / 2.0 - 1.0;
  painter.drawEllipse(QPointF(kCentre, kCentre), r, r);
}

void arrow(QPainter& painter, const QColor& color, bool up) {
  ring(painter, color);
  const qreal tip = up ? 9.0 : kSize - 9.0;
  const qreal tail = up ? kSize - 9.0 : 9.0;
  const qreal head = up ? 7.0 : -7.0;
  painter.setPen(strokePen(color));
  painter.drawLine(QPointF(kCentre, tail), QPointF(kCentre, tip));
  QPainterPath path;
  path.moveTo(kCentre - 7.0, tip + head);
  path.lineTo(kCentre, tip);
  path.lineTo(kCentre + 7.0, tip + head);
  painter.drawPath(path);
}

}  // namespace

QPixmap arrowUp(const QColor& color) {
  return draw([&](QPainter& p) { arrow(p, color, true); });
}

QPixmap arrowDown(const QColor& color) {
  return draw([&](QPainter& p) { arrow(p, color, false); });
}

QPixmap cross(const QColor& color) {
  return draw([&](QPainter& p) {
    ring(p, color);
    p.setPen(strokePen(color));
    constexpr qreal d = 6.5;  // half the arm's reach, well inside the ring
    p.drawLine(QPointF(kCentre - d, kCentre - d), QPointF(kCentre + d, kCentre + d));
    p.drawLine(QPointF(kCentre - d, kCentre + d), QPointF(kCentre + d, kCentre - d));
  });
}

QPixmap check(const QColor& square) {
  return draw([&](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(square);
    p.drawRoundedRect(QRectF(1, 1, kSize - 2, kSize - 2), 4, 4);
    p.setPen(strokePen(Qt::white, 4.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath mark;
    mark.moveTo(9.0, 17.5);
    mark.lineTo(14.5, 23.0);
    mark.lineTo(25.0, 11.0);
    p.drawPath(mark);
  });
}

}  // namespace fw::glyphs
