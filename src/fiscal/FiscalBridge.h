// FiscalBridge: the printer bridge's five operations, with the argument lists the screen
// passes, each turned into one command of the virtual printer, and the status question. A
// refused command answers false and its reason is shown to the cashier in the message
// dialog, so a false answer never leaves the cashier guessing. Arguments that are not what
// the operation takes (a bag of another operation, too few closing values) are the host's
// error: fw::Error.
#pragma once

#include <QString>

#include "fiscal/VirtualPrinter.h"
#include "framework/text/Variant.h"

namespace fiscal {

class FiscalBridge {
 public:
  explicit FiscalBridge(const QString& dataDirectory, VirtualPrinter::Clock clock = {});

  VirtualPrinter& printer() { return printer_; }

  // The bag of Params_AbreCupom_Kerrit; leaves "CUPNR" (COO) and "CONTCUPOM" (CCF) in it.
  bool AbreCupom(fw::Variant& bag);
  // The bag of Params_VendaItem_Kerrit; leaves "NRITEM" (the item number given) in it.
  bool VendaItem(fw::Variant& bag);
  bool Cancela_ItGenerico(const QString& idEsquema, const QString& nrSeq, int a3, int a4,
                          const QString& w5, const QString& w6, const QString& w7,
                          const QString& w8, int a9, int a10, int a11, int a12, int a13);
  // Answer elements 0..4: COO, CCF, total, paid, change.
  bool FechaCupom(const fw::VariantList& values, int a2, fw::Variant& answer);
  // Answer elements 0, 1: the cancelled coupon's COO, the cancellation receipt's COO.
  bool Cancela_Cupom_Imp(const fw::VariantList& values, fw::Variant& answer);

  // The status question, from the memory as its files hold it; prints nothing.
  bool Estado_Impressora(const QString& idEsquema, fw::Variant& answer);

  // Fills the six procedure variables with this bridge's operations.
  void publish();

 private:
  bool answerCashier(const PrinterAnswer& answer, const QString& idEsquema);

  VirtualPrinter printer_;
};

}  // namespace fiscal
