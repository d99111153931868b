// DemoData: a complete, realistic data directory for the sales screen: the parameters
// file, a shop-and-restaurant catalog with its tax rates, the operator, the movement date,
// the payment types, the identification file and the output folder. Used by the
// regvenda-demo tool and by the screen's tests.
#pragma once

#include <QString>

namespace demo {

struct Options {
  bool askCpf = false;           // IDSOLICITACPF "S": the customer's CPF is asked for
  bool useFiscalPrinter = true;  // UTILIZAIMPFIS
};

// What was written, for messages and tests.
struct Summary {
  int products = 0;
  int paymentTypes = 0;
  QString identificationPlain;  // MD5ARQUIVOTXT before scrambling
};

// Writes every file under `dir` (created when missing); existing files are replaced.
// Throws fw::Error when a file cannot be written.
Summary writeDemoData(const QString& dir, const Options& options = {});

// The key the identification text is scrambled with (the screen reads it with the same).
inline constexpr int kIdentificationKey = 7;

}  // namespace demo
