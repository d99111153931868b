// The four operations as the screen calls them. Each dialog opens over the window the
// cashier is using. Where no one can answer (the host's screenshot mode, a program without
// widgets) a dialog is not shown: it answers as if cancelled and says so on stderr.
#include "dialogs/DialogsPackage.h"

#include <QApplication>
#include <cstdio>

#include "dialogs/CustomerDataDialog.h"
#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/SearchIndex.h"
#include "dialogs/TaxApproximation.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace dialogs {

namespace {

QWidget* caller() { return QApplication::activeWindow(); }

bool canAsk(const char* dialog) {
  if (runtime::interactive() && qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return true;
  }
  std::fprintf(stderr, "[dialogo] %s: sem operador, cancelado\n", dialog);
  return false;
}

}  // namespace

void install() {
  outside::Pesquisa = [](fw::LocalTable& table, int, int, int, int, int, int, int) {
    if (!canAsk("Pesquisa")) return false;
    SearchDialog dialog(table, caller());
    return dialog.exec() == QDialog::Accepted;
  };
  outside::PreparaPesquisa = [](fw::LocalTable& table) {
    if (runtime::interactive()) SearchIndex::prepare(table);
  };
  outside::TecladoNumerico = [](QString& text, const QString& title, const QString& prompt,
                                const QString& emptyText, int maxLength, int allowZero,
                                int twoDecimals, int, int, int) {
    if (!canAsk("TecladoNumerico")) return false;
    return NumericKeypadDialog::run(text, title, prompt, emptyText, maxLength, allowZero,
                                    twoDecimals, caller());
  };
  outside::CriaInfAdicional = [](const fw::VariantList& values, fw::Variant& answer) {
    if (!canAsk("CriaInfAdicional")) {
      CustomerDataDialog::answerNothing(answer);
      return;
    }
    CustomerDataDialog::run(values, answer, caller());
  };
  outside::CalculoIcmsDFederal = [](fw::LocalTable& items, fw::Variant& answer, double) {
    return TaxApproximation::calculate(items, answer, runtime::dataDirectory());
  };
}

void uninstall() {
  outside::Pesquisa = nullptr;
  outside::PreparaPesquisa = nullptr;
  outside::TecladoNumerico = nullptr;
  outside::CriaInfAdicional = nullptr;
  outside::CalculoIcmsDFederal = nullptr;
}

}  // namespace dialogs
