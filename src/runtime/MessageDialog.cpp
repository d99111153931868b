// The message dialog and Mensagem, which shows it (or writes the text to stderr when no
// one is there to answer).
#include "runtime/MessageDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "framework/ui/Look.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace runtime {

namespace {

using Kind = fw::TouchDialog::ButtonKind;
constexpr int kFrameWidth = fw::TouchDialog::kFrameWidth;
constexpr int kTitleHeight = 36;  // with the frame's top edge
constexpr int kMaxWidth = 800;
constexpr int kMaxHeight = 600;
constexpr int kMinWidth = 380;
constexpr int kMargin = 20;
constexpr QSize kButtonSize(130, 52);

QAbstractButton* touchButton(Kind kind, const QString& caption, const QString& name,
                             QWidget* parent) {
  auto* button = fw::TouchDialog::makeButton(kind, caption, parent, 16, 8);
  button->setObjectName(name);
  button->setFixedSize(kButtonSize);
  return button;  // takes no focus: Enter and Escape belong to the dialog
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
    : fw::TouchDialog(
          title, {.titleHeight = kTitleHeight - kFrameWidth, .titlePixels = 16, .centred = false},
          parent),
      shape_(shape) {
  setObjectName(QStringLiteral("MessageDialog"));
  titleBand()->setObjectName(QStringLiteral("lblTitulo"));

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
    auto* yes = touchButton(Kind::Frame, QStringLiteral("Sim"), QStringLiteral("btnSim"), this);
    auto* no = touchButton(Kind::Action, QStringLiteral("Não"), QStringLiteral("btnNao"), this);
    connect(yes, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(no, &QAbstractButton::clicked, this, &QDialog::reject);
    buttons->addWidget(yes);
    buttons->addWidget(no);
  } else {
    auto* ok = touchButton(Kind::Frame, QStringLiteral("OK"), QStringLiteral("btnOk"), this);
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok);
  }
  buttons->addStretch();

  // Below the band: the text 20 pixels in from the face's edges, the buttons under it.
  body()->setContentsMargins(kMargin - kFrameWidth, kMargin, kMargin - kFrameWidth,
                             kMargin - kFrameWidth);
  body()->setSpacing(kMargin);
  body()->addWidget(scroll);
  body()->addLayout(buttons);

  setFixedSize(width, std::min(kMaxHeight, fixedParts + textHeight));
  setFocusPolicy(Qt::StrongFocus);
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
