// The framed touch dialog: frame, title band, face, buttons and notice.
#include "framework/ui/TouchDialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "framework/ui/Look.h"

namespace fw {

TouchDialog::TouchDialog(const QString& title, QWidget* parent)
    : TouchDialog(title, Options{}, parent) {}

TouchDialog::TouchDialog(const QString& title, const Options& options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), centred_(options.centred) {
  setModal(true);
  setWindowTitle(title);
  setFont(look::arial(15));

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
  outer->setSpacing(0);

  title_ = new QLabel(title, this);
  title_->setObjectName(QStringLiteral("title"));
  title_->setAlignment(Qt::AlignCenter);
  title_->setFixedHeight(options.titleHeight);
  title_->setFont(look::arial(options.titlePixels, true));
  title_->setAutoFillBackground(true);
  QPalette bandPalette = title_->palette();
  bandPalette.setColor(QPalette::Window, look::frame);
  bandPalette.setColor(QPalette::WindowText, Qt::white);
  title_->setPalette(bandPalette);
  outer->addWidget(title_);

  auto* content = new QWidget(this);
  body_ = new QVBoxLayout(content);
  body_->setContentsMargins(14, 12, 14, 14);
  body_->setSpacing(10);
  outer->addWidget(content, 1);

  notice_ = new QLabel(content);
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setAlignment(Qt::AlignCenter);
  notice_->setWordWrap(true);
  notice_->setFont(look::arial(15, true));
  QPalette noticePalette = notice_->palette();
  noticePalette.setColor(QPalette::WindowText, look::notice);
  notice_->setPalette(noticePalette);
  notice_->hide();

  QPalette facePalette = palette();
  facePalette.setColor(QPalette::Window, look::face);
  facePalette.setColor(QPalette::WindowText, Qt::black);
  setPalette(facePalette);
  setAutoFillBackground(true);
}

TBlendedButton* TouchDialog::makeButton(ButtonKind kind, const QString& caption, QWidget* parent,
                                        int pixelSize, int radius) {
  auto* button = new TBlendedButton(parent);
  button->setText(caption);
  button->setFocusPolicy(Qt::NoFocus);
  button->setRadius(radius);
  button->setFont(look::arial(pixelSize, true));
  switch (kind) {
    case ButtonKind::Value:
      button->setFaceColor(look::value);
      button->setTextColor(Qt::black);
      button->setPressedColor(Qt::black);
      button->setPressedTextColor(Qt::white);
      button->setDisabledColor(look::action);
      button->setDisabledTextColor(look::value);
      break;
    case ButtonKind::Action:
    case ButtonKind::Frame:
      button->setFaceColor(kind == ButtonKind::Frame ? look::frame : look::action);
      button->setTextColor(Qt::white);
      button->setPressedColor(Qt::black);
      button->setPressedTextColor(Qt::white);
      button->setDisabledColor(look::action);
      button->setDisabledTextColor(look::value);
      break;
    case ButtonKind::Confirm:
    case ButtonKind::Cancel:
      button->setFaceColor(kind == ButtonKind::Confirm ? look::confirm : look::cancel);
      button->setTextColor(Qt::white);
      button->setPressedColor(look::action);
      button->setPressedTextColor(Qt::white);
      button->setDisabledColor(look::disabled);
      button->setDisabledTextColor(Qt::white);
      break;
  }
  return button;
}

QString TouchDialog::notice() const { return notice_->isHidden() ? QString() : notice_->text(); }

void TouchDialog::showNotice(const QString& text) {
  notice_->setText(text);
  notice_->show();
  noticeShown(text);
}

void TouchDialog::clearNotice() {
  notice_->clear();
  notice_->hide();
}

void TouchDialog::noticeShown(const QString& /*text*/) {}

void TouchDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  QPen pen(look::frame);
  pen.setWidth(kFrameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(rect()).adjusted(kFrameWidth / 2.0, kFrameWidth / 2.0, -kFrameWidth / 2.0,
                                           -kFrameWidth / 2.0));
}

void TouchDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) return;
  // Over the screen that called us, or in the middle of the display.
  const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
  QRect area;
  if (over != nullptr && over->isVisible()) {
    area = over->frameGeometry();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - rect().center());
}

void TouchDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      accept();
      return;
    case Qt::Key_Escape:
      reject();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace fw
