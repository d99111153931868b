// TBlendedButton: paints the face and the caption itself; pressing, releasing, click and the
// Alt+letter accelerator come from QAbstractButton, whose setText() already turns "&X"
// into the button's shortcut.
#include "framework/ui/TBlendedButton.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QShortcutEvent>

namespace fw {

TBlendedButton::TBlendedButton(QWidget* parent) : QAbstractButton(parent) {
  // A touch screen: a touched button must not steal the focus from what the cashier edits.
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover, false);
}

void TBlendedButton::setFaceColor(const QColor& c) {
  face_ = c;
  update();
}

void TBlendedButton::setTextColor(const QColor& c) {
  text_ = c;
  update();
}

void TBlendedButton::setPressedColor(const QColor& c) {
  pressed_ = c;
  update();
}

void TBlendedButton::setPressedTextColor(const QColor& c) {
  pressedText_ = c;
  update();
}

void TBlendedButton::setDisabledColor(const QColor& c) {
  disabled_ = c;
  update();
}

void TBlendedButton::setDisabledTextColor(const QColor& c) {
  disabledText_ = c;
  update();
}

void TBlendedButton::setRadius(int radius) {
  radius_ = qMax(0, radius);
  update();
}

bool TBlendedButton::event(QEvent* event) {
  // The accelerator clicks at once: the stock button only flashes and clicks a moment
  // later from a timer, and the handlers here are meant to run before the next key.
  if (event->type() == QEvent::Shortcut) {
    const auto* shortcutEvent = static_cast<QShortcutEvent*>(event);
    if (shortcutEvent->key() == shortcut() && !shortcutEvent->isAmbiguous()) {
      if (isEnabled()) {
        click();
      }
      return true;
    }
  }
  return QAbstractButton::event(event);
}

QSize TBlendedButton::sizeHint() const {
  const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
  return {textSize.width() + 2 * radius_ + 8, qMax(textSize.height() + 10, 2 * radius_)};
}

QColor TBlendedButton::currentFace() const {
  if (!isEnabled()) {
    return disabled_;
  }
  return isDown() ? pressed_ : face_;
}

QColor TBlendedButton::currentText() const {
  if (!isEnabled()) {
    return disabledText_;
  }
  return isDown() ? pressedText_ : text_;
}

void TBlendedButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  paintContent(painter, rect(), currentText());
}

void TBlendedButton::paintContent(QPainter& painter, const QRect& rect, const QColor& textColor) {
  paintRoundedFace(painter, rect, currentFace());
  paintCaption(painter, rect, textColor);
}

void TBlendedButton::paintRoundedFace(QPainter& painter, const QRect& rect,
                                      const QColor& face) const {
  // Corners never exceed half the shorter side, so a large radius gives a pill, not a blob.
  const qreal r = qMin<qreal>(radius_, qMin(rect.width(), rect.height()) / 2.0);
  QPainterPath path;
  path.addRoundedRect(QRectF(rect), r, r);
  painter.fillPath(path, face);
}

void TBlendedButton::paintCaption(QPainter& painter, const QRect& rect,
                                  const QColor& textColor) const {
  if (text().isEmpty()) {
    return;
  }
  painter.save();
  painter.setFont(font());
  painter.setPen(textColor);
  painter.drawText(rect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
  painter.restore();
}

}  // namespace fw
