// The common look of the operator dialogs and the refusal notice.
#include "dialogs/TouchDialog.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "framework/ui/Look.h"
#include "outside/Outside.h"

namespace dialogs {

namespace {
constexpr int kFrameWidth = 2;
}

TouchDialog::TouchDialog(const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setModal(true);
  setWindowTitle(title);
  QFont base = fw::look::arial(15);
  setFont(base);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
  outer->setSpacing(0);

  auto* band = new QLabel(title, this);
  band->setObjectName(QStringLiteral("title"));
  band->setAlignment(Qt::AlignCenter);
  band->setFixedHeight(40);
  QFont titleFont = fw::look::arial(19, true);
  band->setFont(titleFont);
  band->setAutoFillBackground(true);
  QPalette bandPalette = band->palette();
  bandPalette.setColor(QPalette::Window, colors::frame);
  bandPalette.setColor(QPalette::WindowText, Qt::white);
  band->setPalette(bandPalette);
  outer->addWidget(band);

  auto* content = new QWidget(this);
  body_ = new QVBoxLayout(content);
  body_->setContentsMargins(14, 12, 14, 14);
  body_->setSpacing(10);
  outer->addWidget(content, 1);

  notice_ = new QLabel(content);
  notice_->setObjectName(QStringLiteral("notice"));
  notice_->setAlignment(Qt::AlignCenter);
  notice_->setWordWrap(true);
  QFont noticeFont = fw::look::arial(15, true);
  notice_->setFont(noticeFont);
  QPalette noticePalette = notice_->palette();
  noticePalette.setColor(QPalette::WindowText, colors::notice);
  notice_->setPalette(noticePalette);
  notice_->hide();

  QPalette facePalette = palette();
  facePalette.setColor(QPalette::Window, colors::face);
  facePalette.setColor(QPalette::WindowText, Qt::black);
  setPalette(facePalette);
  setAutoFillBackground(true);
}

fw::TBlendedButton* TouchDialog::makeButton(ButtonKind kind, const QString& caption,
                                            QWidget* parent, int pixelSize) {
  auto* button = new fw::TBlendedButton(parent);
  button->setText(caption);
  button->setFocusPolicy(Qt::NoFocus);
  button->setRadius(10);
  QFont font = fw::look::arial(pixelSize, true);
  button->setFont(font);
  switch (kind) {
    case ButtonKind::Value:
      button->setFaceColor(colors::value);
      button->setTextColor(Qt::black);
      button->setPressedColor(Qt::black);
      button->setPressedTextColor(Qt::white);
      button->setDisabledColor(colors::action);
      button->setDisabledTextColor(colors::value);
      break;
    case ButtonKind::Action:
      button->setFaceColor(colors::action);
      button->setTextColor(Qt::white);
      button->setPressedColor(Qt::black);
      button->setPressedTextColor(Qt::white);
      button->setDisabledColor(colors::action);
      button->setDisabledTextColor(colors::value);
      break;
    case ButtonKind::Confirm:
    case ButtonKind::Cancel:
      button->setFaceColor(kind == ButtonKind::Confirm ? colors::confirm : colors::cancel);
      button->setTextColor(Qt::white);
      button->setPressedColor(colors::action);
      button->setPressedTextColor(Qt::white);
      button->setDisabledColor(colors::disabled);
      button->setDisabledTextColor(Qt::white);
      break;
  }
  return button;
}

QString TouchDialog::notice() const { return notice_->isHidden() ? QString() : notice_->text(); }

void TouchDialog::showNotice(const QString& text) {
  notice_->setText(text);
  notice_->show();
  outside::inform(text, idEsquema_);
}

void TouchDialog::clearNotice() {
  notice_->clear();
  notice_->hide();
}

void TouchDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  QPen pen(colors::frame);
  pen.setWidth(kFrameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(rect()).adjusted(kFrameWidth / 2.0, kFrameWidth / 2.0, -kFrameWidth / 2.0,
                                           -kFrameWidth / 2.0));
}

void TouchDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
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

}  // namespace dialogs
