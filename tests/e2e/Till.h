// Till: a whole till as a shop runs it, in a temporary data directory with the demo data:
// the real runtime library (message dialog), the real fiscal printer bridge over its virtual
// printer, the real operator dialogs, and the module's entry CriaRegVenda. Nothing is faked.
// A Cashier plays the sale; afterwards the output files and the printer's tape are read.
//
// REGVENDA_E2E_SHOTS names a folder for screenshots (scripts/e2e.sh sets it).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "e2e/Cashier.h"
#include "framework/data/LocalTable.h"
#include "tools/demo/DemoData.h"

class TfrmVendaArquivo;

// Readable texts in the test failures.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace e2e {

// One product of the demo catalog, as the test needs it.
struct Product {
  QString code;     // CDPRODUTO
  QString barcode;  // CDBARPRODUTO
  QString name;
  double price = 0;
};

class Till : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the demo data and installs the packages; call once at the start of a test.
  void open(const demo::Options& options);
  // Plays the queued steps inside CriaRegVenda.
  void sell();

  QString dataPath(const QString& relative) const;
  QString outputPath(const QString& file) const;  // in Dados/Venda_Arquivo
  QStringList outputFiles() const;
  // A table written by the screen, read back; fails the test when it cannot be read.
  std::unique_ptr<fw::LocalTable> readOutput(const QString& file) const;
  QString tape() const;  // the printer's paper tape
  Product product(const QString& name) const;
  // Puts a product into the catalog: a copy of `like` (and of its tax row) with its own
  // code, barcode, name and price.
  Product addProduct(const QString& like, const Product& product) const;

  // A shots folder per test: <REGVENDA_E2E_SHOTS>/<test name>.
  static QString shotsDir();

  QTemporaryDir dir_;
  std::unique_ptr<Cashier> cashier_;

 private:
  bool hadDataDir_ = false;
  QByteArray oldDataDir_;
  bool hadConnection_ = false;
  QByteArray oldConnection_;
};

}  // namespace e2e
