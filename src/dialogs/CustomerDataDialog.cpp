// The customer-data dialog: document line with its keypad, optional name and address.
#include "dialogs/CustomerDataDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <vector>

#include "dialogs/TaxId.h"
#include "framework/ui/Look.h"

namespace dialogs {

namespace {

constexpr int kMaxDigits = 14;
constexpr int kTextLength = 60;
const QString kBackspace = QStringLiteral("\u2190");
const QString kLineStyle = fw::look::framedEntryStyle(QStringLiteral("QLineEdit"), 8);

QLabel* caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = fw::look::arial(16, true);
  label->setFont(font);
  return label;
}

QLineEdit* textLine(const QString& objectName, QWidget* parent) {
  auto* line = new QLineEdit(parent);
  line->setObjectName(objectName);
  line->setMaxLength(kTextLength);
  line->setFixedHeight(44);
  QFont font = fw::look::arial(19);
  line->setFont(font);
  line->setStyleSheet(kLineStyle);
  return line;
}

}  // namespace

CustomerDataDialog::CustomerDataDialog(bool askNameAndAddress, QWidget* parent)
    : TouchDialog(QStringLiteral("Dados do Cliente"), parent) {
  setFixedSize(720, 400);

  auto* columns = new QHBoxLayout;
  columns->setSpacing(18);
  auto* fields = new QVBoxLayout;
  fields->setSpacing(6);

  fields->addWidget(caption(QStringLiteral("CPF ou CNPJ do cliente"), this));
  document_ = textLine(QStringLiteral("document"), this);
  document_->setReadOnly(true);  // typed only through the digit keys, so the mask holds
  document_->setContextMenuPolicy(Qt::NoContextMenu);
  QFont documentFont = fw::look::arial(26, true);
  document_->setFont(documentFont);
  document_->setFixedHeight(54);
  document_->setPlaceholderText(QStringLiteral("000.000.000-00"));
  document_->installEventFilter(this);
  fields->addWidget(document_);

  if (askNameAndAddress) {
    fields->addSpacing(8);
    fields->addWidget(caption(QStringLiteral("Nome"), this));
    name_ = textLine(QStringLiteral("name"), this);
    fields->addWidget(name_);
    fields->addSpacing(8);
    fields->addWidget(caption(QStringLiteral("Endereço"), this));
    address_ = textLine(QStringLiteral("address"), this);
    fields->addWidget(address_);
  } else {
    auto* hint = new QLabel(
        QStringLiteral("Toque em OK sem número se o cliente não quiser o CPF no cupom."), this);
    hint->setWordWrap(true);
    fields->addSpacing(8);
    fields->addWidget(hint);
  }
  fields->addSpacing(8);
  fields->addWidget(noticeLabel());
  fields->addStretch(1);
  columns->addLayout(fields, 1);

  auto* keys = new QGridLayout;
  keys->setSpacing(8);
  std::vector<QAbstractButton*> keypad;
  for (int digit = 1; digit <= 9; ++digit) {
    auto* button = makeButton(ButtonKind::Value, QString::number(digit), this, 24);
    keypad.push_back(button);
    connect(button, &QAbstractButton::clicked, this,
            [this, digit] { typeDigits(QString::number(digit)); });
    keys->addWidget(button, (digit - 1) / 3, (digit - 1) % 3);
  }
  auto* clear = makeButton(ButtonKind::Action, QStringLiteral("Limpar"), this, 17);
  auto* zero = makeButton(ButtonKind::Value, QStringLiteral("0"), this, 24);
  auto* back = makeButton(ButtonKind::Action, kBackspace, this, 26);
  connect(clear, &QAbstractButton::clicked, this, &CustomerDataDialog::clearDocument);
  connect(zero, &QAbstractButton::clicked, this, [this] { typeDigits(QStringLiteral("0")); });
  connect(back, &QAbstractButton::clicked, this, &CustomerDataDialog::backspace);
  keys->addWidget(clear, 3, 0);
  keys->addWidget(zero, 3, 1);
  keys->addWidget(back, 3, 2);
  keypad.insert(keypad.end(), {clear, zero, back});
  for (QAbstractButton* button : keypad) button->setFixedSize(86, 58);
  auto* keyColumn = new QVBoxLayout;
  keyColumn->addLayout(keys);
  keyColumn->addStretch(1);
  columns->addLayout(keyColumn);
  body()->addLayout(columns, 1);

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(16);
  auto* ok = makeButton(ButtonKind::Confirm, QStringLiteral("OK"), this, 20);
  auto* none = makeButton(ButtonKind::Cancel, QStringLiteral("Não informar"), this, 20);
  for (auto* button : {ok, none}) button->setFixedSize(190, 56);
  connect(ok, &QAbstractButton::clicked, this, &CustomerDataDialog::accept);
  connect(none, &QAbstractButton::clicked, this, &CustomerDataDialog::reject);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(none);
  buttons->addStretch(1);
  body()->addLayout(buttons);

  document_->setFocus();
  refresh();
}

void CustomerDataDialog::run(const fw::VariantList& values, fw::Variant& answer, QWidget* parent) {
  const auto value = [&values](std::size_t i) {
    return i < values.size() ? values[i].toText() : QString();
  };
  CustomerDataDialog dialog(
      value(7).trimmed().compare(QStringLiteral("S"), Qt::CaseInsensitive) == 0, parent);
  dialog.setIdEsquema(value(6));
  if (dialog.exec() != QDialog::Accepted || dialog.documentDigits().isEmpty()) {
    answerNothing(answer);
    return;
  }
  if (!answer.isArray() || answer.size() < 3) answer = fw::Variant::emptyArray(10);
  answer[0] = fw::Variant(dialog.documentDigits());
  answer[1] = fw::Variant(dialog.name());
  answer[2] = fw::Variant(dialog.address());
}

void CustomerDataDialog::answerNothing(fw::Variant& answer) {
  if (!answer.isArray() || answer.size() < 3) answer = fw::Variant::emptyArray(10);
  for (int i = 0; i < 3; ++i) answer[i] = fw::Variant(QString());
}

QString CustomerDataDialog::name() const { return name_ ? name_->text().trimmed() : QString(); }

QString CustomerDataDialog::address() const {
  return address_ ? address_->text().trimmed() : QString();
}

QAbstractButton* CustomerDataDialog::key(const QString& caption) const {
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    if (button->text() == caption) return button;
  }
  return nullptr;
}

void CustomerDataDialog::typeDigits(const QString& digits) {
  digits_ = (digits_ + taxid::digitsOf(digits)).left(kMaxDigits);
  clearNotice();
  refresh();
}

void CustomerDataDialog::backspace() {
  digits_.chop(1);
  clearNotice();
  refresh();
}

void CustomerDataDialog::clearDocument() {
  digits_.clear();
  clearNotice();
  refresh();
}

void CustomerDataDialog::refresh() { document_->setText(taxid::mask(digits_)); }

void CustomerDataDialog::accept() {
  if (!digits_.isEmpty() && !taxid::isValid(digits_)) {
    showNotice(QStringLiteral("CPF/CNPJ inválido."));
    return;
  }
  TouchDialog::accept();
}

void CustomerDataDialog::reject() {
  digits_.clear();
  if (name_) name_->clear();
  if (address_) address_->clear();
  TouchDialog::reject();
}

bool CustomerDataDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched != document_ || event->type() != QEvent::KeyPress) {
    return TouchDialog::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->matches(QKeySequence::Paste)) {
    typeDigits(QApplication::clipboard()->text());
    return true;
  }
  switch (key->key()) {
    case Qt::Key_Backspace:
      backspace();
      return true;
    case Qt::Key_Delete:
      clearDocument();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      accept();
      return true;
    case Qt::Key_Escape:
      reject();
      return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return false;
    default:
      break;
  }
  const QString digits = taxid::digitsOf(key->text());
  if (!digits.isEmpty()) typeDigits(digits);
  return true;  // letters and marks never reach the document line
}

}  // namespace dialogs
