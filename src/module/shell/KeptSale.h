// KeptSale: the sale on screen, kept on disk so that a crash, a restart or leaving the
// screen loses nothing of it.
//
// File: <data directory>/VendaEmAndamento.cds, beside PARAMETROSORV.CDS and outside
// Dados/Venda_Arquivo (the host takes up every file there). One binary table that `cds`
// reads (layout in docs/kept-sale.md): a header row (TIPOREG "V") with the state below,
// then one row per item (TIPOREG "I", the item list's fields) and one per payment
// (TIPOREG "R", the payment list's fields), each in list order. It is written whole through
// the one atomic writer, so a reader meets either the earlier sale or the new one.
//
// The file outlives the sale: after a sale ends it holds a header with no items, no
// payments and nothing owed, which still names the last closed coupon and its sale file.
#pragma once

#include <QByteArray>
#include <QString>

namespace fw {
class LocalTable;
}

namespace shell {

struct KeptSaleState {
  bool couponOpen = false;  // boCupomAberto
  // Files still owed for the sale: "" none, "O" its sale and cash-movement files (the
  // coupon is closed), "C" its cancellation file, "P" the last closed coupon's file marked
  // cancelled.
  QString owed;
  // The sale's files were tried once: what is found under their names is its own earlier
  // attempt and is replaced, not moved aside.
  bool filesTried = false;
  QString coupon;            // stCupomVen
  QString lastClosedCoupon;  // the last coupon closed on the printer
  QString lastClosedFile;    // its sale file's name in the output folder
  double saleTotal = 0;      // as lblTotal shows it
  double received = 0;       // doTotal
  // A printer command asked and not yet answered when the sale was kept: "" none, "A" open
  // the coupon, "I" sell item `pendingItem` (its row is already on the item list), "K"
  // cancel item `pendingItem`, "F" close the coupon, "X" cancel the coupon.
  QString pendingCommand;
  QString pendingItem;

  bool operator==(const KeptSaleState&) const = default;
};

class KeptSale {
 public:
  static QString path();  // resolved in the current data directory

  // True when the state and lists hold a sale still in progress (anything on the lists, a
  // coupon open or files owed).
  static bool inProgress(const KeptSaleState& state, const fw::LocalTable& items,
                         const fw::LocalTable& payments);

  // Writes the state and both lists (an inactive list counts as empty), flushed and atomic;
  // a write of bytes equal to the last ones written by this object is skipped. Throws
  // fw::Error naming the file and why.
  void save(const KeptSaleState& state, const fw::LocalTable& items,
            const fw::LocalTable& payments);

  // Reads the kept sale into the state and the lists (their declared fields are kept; a list
  // with no rows is left closed). False, and nothing touched, when there is no file. Throws
  // fw::Error for a file it cannot read.
  bool load(KeptSaleState& state, fw::LocalTable& items, fw::LocalTable& payments);

  // The file's bytes for a state and lists, and back (for tools and tests).
  static QByteArray encode(const KeptSaleState& state, const fw::LocalTable& items,
                           const fw::LocalTable& payments);
  static void decode(const QByteArray& bytes, const QString& source, KeptSaleState& state,
                     fw::LocalTable& items, fw::LocalTable& payments);

 private:
  QByteArray lastWritten_;
};

}  // namespace shell
