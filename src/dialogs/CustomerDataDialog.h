// CustomerDataDialog: the customer's data for the coupon, asked when a coupon is opened.
// The CPF or CNPJ is typed on its own keypad (or the keyboard) and shown in its mask; name
// and address are asked too when the parameters want them. OK with no number means the
// customer wants none on the coupon; "Não informar" gives the same.
#pragma once

#include "dialogs/TouchDialog.h"
#include "framework/text/Variant.h"

class QAbstractButton;
class QLineEdit;

namespace dialogs {

class CustomerDataDialog : public TouchDialog {
  Q_OBJECT
 public:
  CustomerDataDialog(bool askNameAndAddress, QWidget* parent = nullptr);

  // The dialog as the screen calls it: values 6 and 7 are the schema identifier and the
  // "S"/"N" of asking name and address; answer elements 0, 1, 2 become the document's
  // digits, the name and the address (three empty texts when nothing was given).
  static void run(const fw::VariantList& values, fw::Variant& answer, QWidget* parent = nullptr);
  // Three empty texts in answer elements 0, 1, 2: no customer data.
  static void answerNothing(fw::Variant& answer);

  QString documentDigits() const { return digits_; }
  QString name() const;
  QString address() const;

  QLineEdit* documentLine() const { return document_; }
  QLineEdit* nameLine() const { return name_; }        // null when not asked
  QLineEdit* addressLine() const { return address_; }  // null when not asked
  // The touch key with this caption ("0".."9", the backspace arrow, "Limpar", "OK",
  // "Não informar").
  QAbstractButton* key(const QString& caption) const;

  void accept() override;
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void typeDigits(const QString& digits);
  void backspace();
  void clearDocument();
  void refresh();

  QString digits_;
  QLineEdit* document_;
  QLineEdit* name_ = nullptr;
  QLineEdit* address_ = nullptr;
};

}  // namespace dialogs
