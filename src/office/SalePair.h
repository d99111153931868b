// SalePair: one sale as the till left it in its output folder, read through the framework's
// local table: the sale file ("Venda<branch>_<register>_<coupon>.cds") and, for a completed
// sale, its cash-movement file ("MovCaixa…" of the same name). It knows the sale's key in the
// office, whether the sale is completed or cancelled, its rows as SQL parameters, and a
// checksum of each file's rows (the sale file's without the cancellation mark, so the
// cancelled rewrite of a sale has the checksum of the sale it cancels).
#pragma once

#include <QString>
#include <vector>

#include "office/Database.h"

namespace office {

class SalePair {
 public:
  enum class State {
    Ready,    // whole, can be taken
    Waiting,  // a completed sale whose cash-movement file is not there yet
    Refused,  // not a whole table of the sale layout: left where it is, `problem` says why
  };

  // `cashPath` is empty when the folder holds no cash-movement file of that name.
  static SalePair read(const QString& salePath, const QString& cashPath);

  // "Venda10_2_815.cds" -> {"10", "2", "815"}; empty when the name is not a sale file's.
  static QStringList keyFromName(const QString& fileName);

  State state = State::Refused;
  QString problem;
  QString salePath, cashPath;
  quint64 saleInode = 0, cashInode = 0;  // the files as read: only these are moved later

  // The key: branch, register and coupon from the file name, and the earliest item time
  // (DTVENDA) of the file, "-infinity" for a file without rows.
  QString cdfilial, cdcaixa, nrcupomfis, dtinicio;
  QString cdempresa;
  bool cancelled = false;
  QString total;  // the items' totals not cancelled on the printer, to the cent
  int itemCount = 0;
  QString saleSum, cashSum;  // hex SHA-256; cashSum empty without a cash-movement file
  std::vector<Row> items;      // kSaleFields order
  std::vector<Row> movements;  // kCashFields order
};

// Texts of values as the office stores them.
QString numberText(double value);     // the shortest decimal form that reads back the same
QString timestampText(double days);   // "yyyy-MM-dd HH:mm:ss.zzz"

}  // namespace office
