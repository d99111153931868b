// The operator dialogs' notice, told through the message dialog as well.
#include "dialogs/TouchDialog.h"

#include "outside/Outside.h"

namespace dialogs {

void TouchDialog::noticeShown(const QString& text) { outside::inform(text, idEsquema_); }

}  // namespace dialogs
