// TouchDialog: the base of the operator dialogs. The framework's framed touch dialog, whose
// notice (why an entry was refused) also goes to the message dialog when the host installed one.
#pragma once

#include "framework/ui/Look.h"
#include "framework/ui/TouchDialog.h"

namespace dialogs {

namespace colors = fw::look;  // the screen's colours

class TouchDialog : public fw::TouchDialog {
  Q_OBJECT
 public:
  using fw::TouchDialog::TouchDialog;

  // The schema identifier handed on to the message dialog.
  void setIdEsquema(const QString& idEsquema) { idEsquema_ = idEsquema; }

 protected:
  void noticeShown(const QString& text) override;

 private:
  QString idEsquema_;
};

}  // namespace dialogs
