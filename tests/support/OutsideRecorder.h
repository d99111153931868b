// OutsideRecorder: the one set of fakes the test suites put in the procedure variables.
// Each fake records its call (name and arguments, in order) and answers what the test set
// beforehand; the message dialog keeps every message with its whole argument list.
// install*() fills a group of variables; the destructor empties the ones it filled.
//
//   testsupport::OutsideRecorder fakes;
//   fakes.installAll();
//   fakes.itemAnswer = false;            // the printer refuses the next items
//   ... touch the screen ...
//   EXPECT_EQ(fakes.count("VendaItem"), 1);
//   EXPECT_EQ(fakes.messageTexts(), QStringList{"..."});
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "framework/text/Variant.h"

namespace fw {
class LocalTable;
}

namespace testsupport {

// One call of a printer or dialog procedure. Arguments in the order the caller passed
// them; for FechaCupom the 59 values then the second argument and the answer's size, for
// Cancela_Cupom_Imp the 8 values then the answer array as it arrived, for CriaInfAdicional
// the 8 values then the answer's size, for Pesquisa the table's name, the seven numbers and
// the table's row count, for CalculoIcmsDFederal the table's name and the third argument.
struct Call {
  QString name;
  fw::VariantList args;
};

// One call of Mensagem.
struct ShownMessage {
  QString text, a2, a3;
  QString confirm;  // "S": the confirmation shape; "N": information
  int kind = -1;
  QString a6, idEsquema;
  int a8 = 0;
  const fw::LocalTable* table = nullptr;

  bool isConfirmation() const { return confirm == QLatin1String("S"); }
  // The arguments after the text: a2, a3, confirm, kind, a6, esquema, a8, no table (bool).
  fw::VariantList args() const;
};

class OutsideRecorder {
 public:
  OutsideRecorder() = default;
  ~OutsideRecorder();  // what it installed back to "not installed"
  OutsideRecorder(const OutsideRecorder&) = delete;
  OutsideRecorder& operator=(const OutsideRecorder&) = delete;

  // AbreCupom, VendaItem, Cancela_ItGenerico, FechaCupom, Cancela_Cupom_Imp, Estado_Impressora.
  void installPrinter();
  // Pesquisa, TecladoNumerico, CriaInfAdicional, CalculoIcmsDFederal.
  void installDialogs();
  void installMessages();     // Mensagem
  void installErrorReport();  // ApplicationHandleException
  // _GetStringConexOrv and SetADODBSession.
  void installConnection();
  // All of the above.
  void installAll();

  // Calls of the printer and the dialogs named `name`, and the last of them (a test failure
  // and an empty call when there was none).
  int count(const QString& name) const;
  Call last(const QString& name) const;
  QStringList messageTexts() const;

  // ---- What the fakes answer ----
  bool openAnswer = true, itemAnswer = true, cancelItemAnswer = true;
  bool closeAnswer = true, cancelCouponAnswer = true;
  // Estado_Impressora: false, or the answer's elements (open COO, items, last closed, last
  // cancelled); an empty array answers "nothing open, nothing ended".
  bool statusAnswer = true;
  fw::VariantList status;
  QString couponNumber = QStringLiteral("000123");   // CUPNR left by AbreCupom
  QString couponCounter = QStringLiteral("000045");  // CONTCUPOM
  bool searchAnswer = true;
  int searchRow = 1;  // 1-based among the visible rows, made current when picked
  bool keypadAnswer = true;
  QString keypadText;  // the keypad's entry when confirmed
  QStringList customer{QStringLiteral("Cliente"), QStringLiteral("12345678909"),
                       QStringLiteral("Rua A, 1")};  // CriaInfAdicional's elements 0..2
  QStringList taxes{QStringLiteral("1,5"), QStringLiteral("2,25"),
                    QStringLiteral("0,75")};  // CalculoIcmsDFederal's elements 0..2
  bool confirmAnswer = true;                  // a confirmation's answer ("Sim")
  std::deque<bool> confirmAnswers;            // answers for the next confirmations, in turn
  QString connectionString = QStringLiteral("Driver=nenhum;");
  // Called with each message as it is shown (for checks every message must pass).
  std::function<void(const ShownMessage&)> onMessage;
  // Called with each printer call's name as it is made, before it answers.
  std::function<void(const QString& name)> onPrinterCall;

  // ---- What was called ----
  std::vector<Call> printer;  // the printer bridge, in order
  std::vector<Call> dialogs;  // the operator dialogs, in order
  std::vector<ShownMessage> messages;
  QStringList errors;                    // the host's general error report
  std::vector<void*> sessions;           // each connection the hand-over received
  std::optional<void*> session() const;  // the last of them

 private:
  void recordPrinter(Call call);
  bool printerInstalled_ = false, dialogsInstalled_ = false, messagesInstalled_ = false;
  bool errorReportInstalled_ = false, connectionInstalled_ = false;
};

}  // namespace testsupport
