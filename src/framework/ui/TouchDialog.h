// TouchDialog: the frame every touch dialog shares. A borderless modal dialog painted like the
// sales screen (white face, a 2-pixel frame in the screen's colour, a title band), big buttons
// in the screen's colour sets, a body for the dialog's own widgets and a label for a notice.
// Used by the operator dialogs and the message dialog; knows nothing of who shows it.
#pragma once

#include <QDialog>

#include "framework/ui/TBlendedButton.h"

class QLabel;
class QVBoxLayout;

namespace fw {

class TouchDialog : public QDialog {
  Q_OBJECT
 public:
  // Value keys, action keys, confirm, cancel, and the frame's colour (a message's answer).
  enum class ButtonKind { Value, Action, Confirm, Cancel, Frame };

  // What differs between the dialogs that share the frame.
  struct Options {
    int titleHeight = 40;  // the band, below the frame's top edge
    int titlePixels = 19;  // bold title
    bool centred = true;   // over the calling screen when shown; false leaves it to Qt
  };

  explicit TouchDialog(const QString& title, QWidget* parent = nullptr);
  TouchDialog(const QString& title, const Options& options, QWidget* parent = nullptr);

  // A touch button in one of the screen's colour sets. Buttons never take the keyboard
  // focus, so typed keys always reach the dialog or its entry line.
  static TBlendedButton* makeButton(ButtonKind kind, const QString& caption, QWidget* parent,
                                    int pixelSize = 18, int radius = 10);

  // The notice shown last, empty when none.
  QString notice() const;

  static constexpr int kFrameWidth = 2;

 protected:
  // The dialog's own widgets go here, below the title band (margins 14/12/14/14, spacing 10
  // unless the dialog sets others).
  QVBoxLayout* body() const { return body_; }
  QLabel* titleBand() const { return title_; }
  // Shows the text in the notice label (it stays until cleared) and tells noticeShown.
  void showNotice(const QString& text);
  void clearNotice();
  // The notice label; a dialog places it in its body where the notice belongs.
  QLabel* noticeLabel() const { return notice_; }
  // Called after a notice is shown, for dialogs that also tell it elsewhere.
  virtual void noticeShown(const QString& text);

  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // Enter answers as the confirming button would (accept), Escape as the cancelling one.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* title_;
  QVBoxLayout* body_;
  QLabel* notice_;
  bool centred_;
};

}  // namespace fw
