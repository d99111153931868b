// The started sales screen of FormFixture with the printer bridge, the tax approximation,
// the message dialog and the session hand-over replaced by recorders, and helpers that leave
// items and payments in the lists the way the screen's handlers do.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "module/shell/TfrmVendaArquivo.h"
#include "module/support/FormFixture.h"

// GCC counts a member left to its default initializer in a designated initializer as missing.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

struct NewItem {
  QString code = QStringLiteral("7");
  QString name = QStringLiteral("Refrigerante lata");
  double quantity = 1;
  double price = 10;
  QString state = QStringLiteral("S");         // IDPRODIMPFIS
  QString counter;                             // NRCONTCUPOMFISC
  QString aliquota = QStringLiteral("01");     // CDORDALIQIMPR
  QString note = QStringLiteral("[ARQ_VEN]");  // TXOBSVENDA
};

struct NewPayment {
  QString type = QStringLiteral("001");
  QString name = QStringLiteral("Dinheiro");
  double amount = 0;
  double time = 45000.5;
  QString order = QStringLiteral("1");  // NRORDTROCO
};

class CompletionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString dataDir() const { return screen->dataDir(); }
  QString outputDir() const;
  QString saleFile() const;
  QString cashFile() const;
  QStringList outputFiles() const;  // names in the output folder

  // Inserts before the current row, as adding an item does.
  void addItem(const NewItem& item);
  // Moves one row forward, then inserts, as adding a payment does; adds to doTotal.
  void addPayment(const NewPayment& payment);
  void setSaleTotal(double total);
  // The host killed and started again on the same data directory: a new form, the sale
  // context as a freshly loaded module has it, start-up from the files. Not killed: the
  // screen left and opened again in the same host (the sale context stays).
  void restart(bool killed = true);

  // What the fakes recorded (the screen's recorder, every fake installed).
  QStringList messages() const { return screen->messageTexts(); }
  void clearMessages() { screen->messages.clear(); }
  int closeCalls() const { return screen->count(QStringLiteral("FechaCupom")); }
  int cancelCalls() const { return screen->count(QStringLiteral("Cancela_Cupom_Imp")); }
  int taxCalls() const { return screen->count(QStringLiteral("CalculoIcmsDFederal")); }
  // The last closing's 59 values, its second argument and its answer's size.
  fw::VariantList closingValues() const;
  int closeSecondArgument() const;
  int closeAnswerSize() const;
  // The last cancellation's 8 values and the answer array as it arrived.
  fw::VariantList cancelValues() const;
  fw::Variant cancelAnswerArray() const;
  std::optional<void*> session() const { return screen->session(); }

  std::unique_ptr<testsupport::FormFixture> screen;
  testsupport::OutsideRecorder* fakes = nullptr;  // the screen's
  TfrmVendaArquivo* form = nullptr;
};

// Reads a table file the way the host would: fields as the file declares them.
struct TableFile {
  explicit TableFile(const QString& path);
  int rows() const;
  QString text(int row, const char* field) const;
  double number(int row, const char* field) const;
  bool isNull(int row, const char* field) const;
  QString row(int row) const;  // every field's text, "|" between them
  std::unique_ptr<fw::LocalTable> table;
};

QByteArray fileBytes(const QString& path);  // empty when unreadable
