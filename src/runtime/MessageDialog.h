// MessageDialog: the touch message dialog behind Mensagem. White face inside an orange-brown
// frame, a title band, the word-wrapped text and big touch buttons: "OK" (information) or
// "Sim" / "Não" (confirmation). Enter answers "OK"/"Sim", Escape answers "Não" (or closes).
// At most 800 x 600; a text too long for that scrolls. The frame is the framework's.
#pragma once

#include "framework/ui/TouchDialog.h"

namespace runtime {

class MessageDialog : public fw::TouchDialog {
  Q_OBJECT
 public:
  enum class Shape { Information, Confirmation };

  MessageDialog(const QString& title, const QString& text, Shape shape, QWidget* parent = nullptr);

  Shape shape() const { return shape_; }
  // The title for a message kind (0 confirmation, 1 error, 2 warning, 3 information).
  static QString titleFor(int kind);

 private:
  Shape shape_;
};

}  // namespace runtime
