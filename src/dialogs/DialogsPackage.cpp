// The four operations as the screen calls them. Each dialog opens over the window the
// cashier is using.
#include "dialogs/DialogsPackage.h"

#include "dialogs/CustomerDataDialog.h"
#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "dialogs/TaxApproximation.h"
#include "module/outside/Outside.h"
#include "runtime/Runtime.h"

#include <QApplication>

namespace dialogs {

namespace {

QWidget* caller() { return QApplication::activeWindow(); }

}  // namespace

void install() {
  outside::Pesquisa = [](fw::LocalTable& table, int, int, int, int, int, int, int) {
    SearchDialog dialog(table, caller());
    return dialog.exec() == QDialog::Accepted;
  };
  outside::TecladoNumerico = [](QString& text, const QString& title, const QString& prompt,
                                const QString& emptyText, int maxLength, int allowZero,
                                int twoDecimals, int, int, int) {
    return NumericKeypadDialog::run(text, title, prompt, emptyText, maxLength, allowZero,
                                    twoDecimals, caller());
  };
  outside::CriaInfAdicional = [](const fw::VariantList& values, fw::Variant& answer) {
    CustomerDataDialog::run(values, answer, caller());
  };
  outside::CalculoIcmsDFederal = [](fw::LocalTable& items, fw::Variant& answer, double) {
    return TaxApproximation::calculate(items, answer, runtime::dataDirectory());
  };
}

void uninstall() {
  outside::Pesquisa = nullptr;
  outside::TecladoNumerico = nullptr;
  outside::CriaInfAdicional = nullptr;
  outside::CalculoIcmsDFederal = nullptr;
}

}  // namespace dialogs
