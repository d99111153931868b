// TaxApproximation: the approximate taxes in the price of a sale, printed on the coupon
// (the transparency law). Answer entries: 0 federal, 1 state, 2 municipal.
// The state part comes from each item's own tax percentage (VRPEALIMPFIS); the federal and
// municipal parts from the rates of the file "ImpostoAproximado.txt" in the data directory:
//
//   # percentages; "," or "." as decimal separator
//   federal=13,45
//   municipal=0
//   federal.1234=4,2      # for the product whose internal code (CDPRODUTO) is 1234
//   municipal.1234=2
//
// Without the file: federal 13,45 %, municipal 0 %. Cancelled items ("C") count for nothing.
#pragma once

#include <QHash>
#include <QString>

#include "framework/data/LocalTable.h"
#include "framework/text/Variant.h"

namespace dialogs {

class TaxApproximation {
 public:
  static inline const QString kFileName = QStringLiteral("ImpostoAproximado.txt");
  static constexpr double kDefaultFederal = 13.45;
  static constexpr double kDefaultMunicipal = 0.0;

  struct Rates {
    double federal = kDefaultFederal;
    double municipal = kDefaultMunicipal;
    QHash<QString, double> federalByProduct;
    QHash<QString, double> municipalByProduct;
  };

  struct Amounts {
    double federal = 0;
    double state = 0;
    double municipal = 0;
    double total() const { return federal + state + municipal; }
  };

  // The rates of the file; the defaults when it does not exist. A line that cannot be read
  // (unknown name, a rate that is not a number from 0 to 100) fails with fw::Error naming
  // the file and the line: a till must not print wrong taxes quietly.
  static Rates readRates(const QString& path);
  // The rates file of a directory, its name matched without regard to case.
  static Rates ratesOfDirectory(const QString& directory);

  // Each part rounded to two decimals. Reads the rows without moving the table's cursor.
  static Amounts compute(const fw::LocalTable& items, const Rates& rates);

  // The procedure of the screen: fills answer 0, 1, 2 with number texts in the locale's
  // general form and returns their sum.
  static double calculate(const fw::LocalTable& items, fw::Variant& answer,
                          const QString& dataDirectory);
};

}  // namespace dialogs
