// TouchDialog: the frame every operator dialog shares. A borderless modal dialog painted
// like the sales screen (white face, a 2-pixel frame in the screen's colour, a title band), big
// buttons in the screen's colour sets, and one place to tell the cashier why an entry was refused.
#pragma once

#include <QColor>
#include <QDialog>

#include "framework/ui/Look.h"
#include "framework/ui/TBlendedButton.h"

class QLabel;
class QVBoxLayout;

namespace dialogs {

namespace colors = fw::look;  // the screen's colours

class TouchDialog : public QDialog {
  Q_OBJECT
 public:
  enum class ButtonKind { Value, Action, Confirm, Cancel };

  explicit TouchDialog(const QString& title, QWidget* parent = nullptr);

  // A touch button in one of the screen's colour sets. Buttons never take the keyboard
  // focus, so typed keys always reach the dialog or its entry line.
  static fw::TBlendedButton* makeButton(ButtonKind kind, const QString& caption, QWidget* parent,
                                        int pixelSize = 18);

  // The refusal shown last, empty when none.
  QString notice() const;
  // The schema identifier handed on to the message dialog.
  void setIdEsquema(const QString& idEsquema) { idEsquema_ = idEsquema; }

 protected:
  QVBoxLayout* body() const { return body_; }
  // Shows the text in the dialog (it stays until the next entry) and, when the host
  // installed one, in the message dialog as well.
  void showNotice(const QString& text);
  void clearNotice();
  QLabel* noticeLabel() const { return notice_; }

  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QVBoxLayout* body_;
  QLabel* notice_;
  QString idEsquema_;
};

}  // namespace dialogs
