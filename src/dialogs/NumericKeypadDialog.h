// NumericKeypadDialog: the touch keypad for a quantity or an amount. Digits, the decimal
// separator of the locale, backspace, "Limpar", OK and "Cancelar"; the physical keyboard
// works as well (digits, "," and ".", Backspace, Enter, Escape). Confirming an entry the
// rules refuse tells the cashier why and keeps the keypad open.
#pragma once

#include "dialogs/KeypadEntry.h"
#include "dialogs/TouchDialog.h"

class QAbstractButton;
class QLabel;

namespace dialogs {

class NumericKeypadDialog : public TouchDialog {
  Q_OBJECT
 public:
  NumericKeypadDialog(const QString& title, const QString& prompt, const QString& emptyText,
                      KeypadEntry::Rules rules, QWidget* parent = nullptr);

  // The keypad as the screen calls it; true and the entry in `text` when confirmed,
  // `text` untouched when cancelled.
  static bool run(QString& text, const QString& title, const QString& prompt,
                  const QString& emptyText, int maxLength, int allowZero, int twoDecimals,
                  QWidget* parent = nullptr);

  const KeypadEntry& entry() const { return entry_; }
  QString displayText() const;
  // The touch key with this caption ("0".."9", the separator, "Limpar", "OK", ...).
  QAbstractButton* key(const QString& caption) const;

  void accept() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void typed(bool accepted);
  void refresh();

  QString emptyText_;
  KeypadEntry entry_;
  QLabel* display_;
};

}  // namespace dialogs
