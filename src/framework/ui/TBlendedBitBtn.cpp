// TBlendedBitBtn: the touch button with a picture. The face is an ellipse filling the
// button (Circle) or the rounded rectangle of TBlendedButton; the picture is centred alone,
// or stands above the caption with `spacing` pixels between them.
#include "framework/ui/TBlendedBitBtn.h"

#include <QPainter>

namespace fw {

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent) : TBlendedButton(parent) {}

void TBlendedBitBtn::setShape(Shape shape) {
  shape_ = shape;
  update();
}

void TBlendedBitBtn::setGlyph(const QPixmap& normal, const QPixmap& disabled) {
  glyph_ = normal;
  disabledGlyph_ = disabled;
  update();
}

void TBlendedBitBtn::setMargin(int margin) {
  margin_ = margin;
  update();
}

void TBlendedBitBtn::setSpacing(int spacing) {
  spacing_ = qMax(0, spacing);
  update();
}

void TBlendedBitBtn::paintContent(QPainter& painter, const QRect& rect, const QColor& textColor) {
  const QColor face = currentFace();
  if (shape_ == Shape::Circle) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawEllipse(QRectF(rect));
  } else {
    paintRoundedFace(painter, rect, face);
  }

  const QPixmap& picture = (!isEnabled() && !disabledGlyph_.isNull()) ? disabledGlyph_ : glyph_;
  if (picture.isNull()) {
    paintCaption(painter, rect, textColor);
    return;
  }

  // A margin of -1 means "no margin": the picture is centred in the whole button.
  const QRect area = margin_ >= 0 ? rect.adjusted(margin_, margin_, -margin_, -margin_) : rect;
  const QSize natural = picture.deviceIndependentSize().toSize();
  const bool withCaption = !text().isEmpty();
  const int captionHeight = withCaption ? fontMetrics().height() : 0;
  const int gap = withCaption ? spacing_ : 0;

  // A picture larger than the room left is scaled down, keeping its proportions.
  QSize size = natural;
  const QSize room(area.width(), qMax(1, area.height() - captionHeight - gap));
  if (size.width() > room.width() || size.height() > room.height()) {
    size.scale(room, Qt::KeepAspectRatio);
  }

  const int blockHeight = size.height() + gap + captionHeight;
  const int top =
      margin_ >= 0 && withCaption ? area.top() : area.top() + (area.height() - blockHeight) / 2;
  const QRect pictureRect(area.left() + (area.width() - size.width()) / 2, top, size.width(),
                          size.height());
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.drawPixmap(pictureRect, picture);
  painter.restore();

  if (withCaption) {
    const QRect captionRect(rect.left(), pictureRect.bottom() + 1 + gap, rect.width(),
                            captionHeight);
    paintCaption(painter, captionRect, textColor);
  }
}

}  // namespace fw
