// SaleLedger: what the printer did, put together from its memory as seen over time (the
// journal) and from its paper tape, and the checks of the output folder against it.
//
// The memory holds only the open coupon and the last one ended, so each coupon's items are
// taken from the last copy that showed it open; its end (closed, cancelled) and total from the
// copies that showed it last. The payments of a closing are printed, never kept: they come
// from the tape, from the last closing printed for the coupon (a closing printed by a host
// killed before its memory was saved is printed again by the next one).
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "fiscal/PrinterMemory.h"

namespace crash {

struct Coupon {
  enum class State { Open, Closed, Cancelled };
  State state = State::Open;
  bool closedBefore = false;  // seen closed, then cancelled as the last coupon
  qint64 totalCents = 0;      // while open: the items not cancelled; then the printer's total
  std::vector<fiscal::PrinterItem> items;
};

struct Closing {
  qint64 totalCents = 0;
  std::vector<std::pair<QString, qint64>> payments;  // as printed, in order
  qint64 changeCents = 0;
};

// The closings printed on a tape, by COO; a later closing of a COO replaces an earlier one.
std::map<QString, Closing> closingsOnTape(const QString& tape);

// "1.234,50" as printed, in cents; nullopt when the text does not end in an amount.
std::optional<qint64> printedCents(const QString& text);

class SaleLedger {
 public:
  // Takes in the journal lines added since the last call (cut lines are skipped).
  void readJournal(const QString& path);
  void see(const fiscal::PrinterMemory& memory);
  const std::map<QString, Coupon>& coupons() const { return coupons_; }

 private:
  std::map<QString, Coupon> coupons_;
  qint64 journalOffset_ = 0;
};

// One fault found, with the kind it is counted under.
struct Finding {
  QString kind;
  QString detail;
};

// Checks the data directory against the ledger: every coupon closed has its sale and
// cash-movement files matching the printer's items, total and payments; every coupon
// cancelled has its sale file marked "C"; no sale file for a coupon the printer did not
// end; every table file whole; no temporary file left.
std::vector<Finding> checkDataDirectory(const QString& dataDir, const SaleLedger& ledger);

// What the kept sale (VendaEmAndamento.cds) still holds once the host settled the sale: a
// coupon open, files owed, items or payments. Empty when nothing (or no file).
QString saleStillKept(const QString& dataDir);

}  // namespace crash
