// The keypad's face and keys.
#include "dialogs/NumericKeypadDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "framework/text/FormatSettings.h"
#include "framework/ui/Look.h"

namespace dialogs {

namespace {
constexpr int kKeyWidth = 104;
constexpr int kKeyHeight = 58;
const QString kBackspace = QStringLiteral("\u2190");
}  // namespace

NumericKeypadDialog::NumericKeypadDialog(const QString& title, const QString& prompt,
                                         const QString& emptyText, KeypadEntry::Rules rules,
                                         QWidget* parent)
    : TouchDialog(title, parent),
      emptyText_(emptyText),
      entry_(rules, fw::FormatSettings::current().decimalSeparator) {
  setFixedSize(380, 580);

  auto* promptLabel = new QLabel(prompt, this);
  promptLabel->setObjectName(QStringLiteral("prompt"));
  promptLabel->setWordWrap(true);
  promptLabel->setAlignment(Qt::AlignCenter);
  QFont promptFont = fw::look::arial(17, true);
  promptLabel->setFont(promptFont);
  body()->addWidget(promptLabel);

  display_ = new QLabel(this);
  display_->setObjectName(QStringLiteral("display"));
  display_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  display_->setFixedHeight(56);
  QFont displayFont = fw::look::arial(30, true);
  display_->setFont(displayFont);
  display_->setStyleSheet(fw::look::framedEntryStyle(QStringLiteral("QLabel"), 10));
  body()->addWidget(display_);
  body()->addWidget(noticeLabel());

  auto* keys = new QGridLayout;
  keys->setSpacing(8);
  const QString separator(fw::FormatSettings::current().decimalSeparator);
  const int layout[3][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int digit = layout[r][c];
      auto* button = makeButton(ButtonKind::Value, QString::number(digit), this, 24);
      button->setFixedSize(kKeyWidth, kKeyHeight);
      connect(button, &QAbstractButton::clicked, this,
              [this, digit] { typed(entry_.typeDigit(digit)); });
      keys->addWidget(button, r, c);
    }
  }
  auto* comma = makeButton(ButtonKind::Value, separator, this, 26);
  connect(comma, &QAbstractButton::clicked, this, [this] { typed(entry_.typeSeparator()); });
  auto* zero = makeButton(ButtonKind::Value, QStringLiteral("0"), this, 24);
  connect(zero, &QAbstractButton::clicked, this, [this] { typed(entry_.typeDigit(0)); });
  auto* back = makeButton(ButtonKind::Action, kBackspace, this, 26);
  connect(back, &QAbstractButton::clicked, this, [this] { typed(entry_.backspace()); });
  for (auto* button : {comma, zero, back}) button->setFixedSize(kKeyWidth, kKeyHeight);
  keys->addWidget(comma, 3, 0);
  keys->addWidget(zero, 3, 1);
  keys->addWidget(back, 3, 2);
  auto* clear = makeButton(ButtonKind::Action, QStringLiteral("Limpar"), this, 20);
  clear->setFixedHeight(50);
  connect(clear, &QAbstractButton::clicked, this, [this] {
    entry_.clear();
    typed(true);
  });
  keys->addWidget(clear, 4, 0, 1, 3);
  body()->addLayout(keys);
  body()->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(12);
  auto* ok = makeButton(ButtonKind::Confirm, QStringLiteral("OK"), this, 20);
  auto* cancel = makeButton(ButtonKind::Cancel, QStringLiteral("Cancelar"), this, 20);
  for (auto* button : {ok, cancel}) button->setFixedHeight(56);
  connect(ok, &QAbstractButton::clicked, this, &NumericKeypadDialog::accept);
  connect(cancel, &QAbstractButton::clicked, this, &NumericKeypadDialog::reject);
  buttons->addWidget(ok, 1);
  buttons->addWidget(cancel, 1);
  body()->addLayout(buttons);

  refresh();
}

bool NumericKeypadDialog::run(QString& text, const QString& title, const QString& prompt,
                              const QString& emptyText, int maxLength, int allowZero,
                              int twoDecimals, QWidget* parent) {
  NumericKeypadDialog dialog(title, prompt, emptyText,
                             KeypadEntry::rulesFor(maxLength, allowZero, twoDecimals), parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  text = dialog.entry().result();
  return true;
}

QString NumericKeypadDialog::displayText() const { return display_->text(); }

QAbstractButton* NumericKeypadDialog::key(const QString& caption) const {
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    if (button->text() == caption) return button;
  }
  return nullptr;
}

void NumericKeypadDialog::typed(bool accepted) {
  if (accepted) clearNotice();
  refresh();
}

void NumericKeypadDialog::refresh() { display_->setText(entry_.text()); }

void NumericKeypadDialog::accept() {
  const QString refusal = entry_.refusal(emptyText_);
  if (!refusal.isEmpty()) {
    showNotice(refusal);
    return;
  }
  TouchDialog::accept();
}

void NumericKeypadDialog::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    typed(entry_.typeDigit(key - Qt::Key_0));
  } else if (key == Qt::Key_Comma || key == Qt::Key_Period) {
    typed(entry_.typeSeparator());
  } else if (key == Qt::Key_Backspace) {
    typed(entry_.backspace());
  } else if (key == Qt::Key_Delete) {
    entry_.clear();
    typed(true);
  } else {  // Enter and Escape as every touch dialog
    TouchDialog::keyPressEvent(event);
  }
}

}  // namespace dialogs
