// The message dialog and Mensagem, which shows it (or writes the text to stderr when no
// one is there to answer).
#include "runtime/MessageDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "framework/ui/Look.h"
#include "framework/ui/TBlendedButton.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace runtime {

namespace {

const QColor& kFrame = fw::look::frame;
const QColor& kActionFace = fw::look::action;
constexpr int kFrameWidth = 2;
constexpr int kTitleHeight = 36;
constexpr int kMaxWidth = 800;
constexpr int kMaxHeight = 600;
constexpr int kMinWidth = 380;
constexpr int kMargin = 20;
constexpr QSize kButtonSize(130, 52);

fw::TBlendedButton* touchButton(const QString& caption, const QString& name, const QColor& face,
                                QWidget* parent) {
  auto* button = new fw::TBlendedButton(parent);
  button->setObjectName(name);
  button->setText(caption);
  button->setFont(fw::look::arial(16, true));
  button->setFaceColor(face);
  button->setTextColor(Qt::white);
  button->setPressedColor(Qt::black);
  button->setPressedTextColor(Qt::white);
  button->setFixedSize(kButtonSize);
  button->setFocusPolicy(Qt::NoFocus);  // Enter and Escape belong to the dialog
  return button;
}

}  // namespace

QString MessageDialog::titleFor(int kind) {
  switch (kind) {
    case outside::tmConfirmacao:
      return QStringLiteral("Confirmação");
    case outside::tmErro:
      return QStringLiteral("Erro");
    case outside::tmAviso:
      return QStringLiteral("Aviso");
    case outside::tmInformacao:
      return QStringLiteral("Informação");
    default:
      return QStringLiteral("Mensagem");
  }
}

MessageDialog::MessageDialog(const QString& title, const QString& text, Shape shape,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), shape_(shape) {
  setObjectName(QStringLiteral("MessageDialog"));
  setWindowTitle(title);
  setModal(true);
  setAutoFillBackground(false);

  auto* titleLabel = new QLabel(title, this);
  titleLabel->setObjectName(QStringLiteral("lblTitulo"));
  titleLabel->setFont(fw::look::arial(16, true));
  titleLabel->setFixedHeight(kTitleHeight - kFrameWidth);
  titleLabel->setAlignment(Qt::AlignCenter);
  titleLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

  auto* message = new QLabel(text, this);
  message->setObjectName(QStringLiteral("lblMensagem"));
  message->setFont(fw::look::arial(16, false));
  message->setWordWrap(true);
  message->setAlignment(Qt::AlignCenter);
  message->setTextFormat(Qt::PlainText);
  message->setStyleSheet(QStringLiteral("color: black; background: white;"));

  // The text decides the width (within bounds); a long text wraps, and beyond the height
  // limit it scrolls instead of pushing the buttons off the screen.
  const QFontMetrics metrics(message->font());
  const int textWidth = metrics.horizontalAdvance(text);
  const int width = std::clamp(textWidth + 2 * kMargin + 2 * kFrameWidth + 8, kMinWidth, kMaxWidth);
  const int labelWidth = width - 2 * kMargin - 2 * kFrameWidth;
  message->setFixedWidth(labelWidth);
  const int labelHeight = std::max(message->heightForWidth(labelWidth), 2 * metrics.height());
  const int fixedParts = kTitleHeight + 3 * kMargin + kButtonSize.height() + kFrameWidth;
  const int textHeight = std::min(labelHeight, kMaxHeight - fixedParts);

  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("scrMensagem"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setStyleSheet(QStringLiteral("background: white;"));
  scroll->setWidget(message);
  scroll->setFixedHeight(textHeight);
  scroll->setFocusPolicy(Qt::NoFocus);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(kMargin);
  buttons->addStretch();
  if (shape == Shape::Confirmation) {
    auto* yes = touchButton(QStringLiteral("Sim"), QStringLiteral("btnSim"), kFrame, this);
    auto* no = touchButton(QStringLiteral("Não"), QStringLiteral("btnNao"), kActionFace, this);
    connect(yes, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(no, &QAbstractButton::clicked, this, &QDialog::reject);
    buttons->addWidget(yes);
    buttons->addWidget(no);
  } else {
    auto* ok = touchButton(QStringLiteral("OK"), QStringLiteral("btnOk"), kFrame, this);
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok);
  }
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kMargin);
  layout->setSpacing(kMargin);
  layout->addWidget(titleLabel);
  auto* body = new QHBoxLayout;
  body->setContentsMargins(kMargin - kFrameWidth, 0, kMargin - kFrameWidth, 0);
  body->addWidget(scroll);
  layout->addLayout(body);
  layout->addLayout(buttons);

  setFixedSize(width, std::min(kMaxHeight, fixedParts + textHeight));
  setFocusPolicy(Qt::StrongFocus);
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
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

void MessageDialog::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.fillRect(QRect(0, 0, width(), kTitleHeight), kFrame);
  QPen pen(kFrame, kFrameWidth);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(rect()).adjusted(kFrameWidth / 2.0, kFrameWidth / 2.0, -kFrameWidth / 2.0,
                                           -kFrameWidth / 2.0));
}

bool Mensagem(const QString& text, const QString& /*a2*/, const QString& /*a3*/,
              const QString& confirm, int kind, const QString& /*a6*/, const QString& /*idEsquema*/,
              int /*a8*/, fw::LocalTable* /*table*/) {
  const bool confirmation = kind == outside::tmConfirmacao || confirm == QLatin1String("S");
  if (!interactive() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
    std::fprintf(stderr, "[mensagem] %s\n", text.toUtf8().constData());
    std::fflush(stderr);
    return !confirmation;
  }
  MessageDialog dialog(
      MessageDialog::titleFor(kind), text,
      confirmation ? MessageDialog::Shape::Confirmation : MessageDialog::Shape::Information,
      QApplication::activeWindow());
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace runtime
