// PrinterMemory: what the virtual fiscal printer keeps in its fiscal memory — the coupon
// counters, the coupon open on it with its items, the last coupon it ended and the grand
// total — and its text form, a small JSON document that carries a checksum of itself (the
// two copies kept in the data directory are MemoryStore's). Amounts that the printer totals are
// kept in cents so that a thousand coupons add up to exactly what their tapes show.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace fiscal {

struct PrinterItem {
  QString number;  // "001", "002", ... as printed
  QString code;
  QString description;  // as received: [CEST#][NCM#]name
  double quantity = 0;
  double unitPrice = 0;
  QString taxCode;  // the printer's rate code; empty when the screen sent none
  QString taxType;  // the item's tax type letter, printed when there is no code
  QString unit;
  bool cancelled = false;
  qint64 totalCents = 0;  // quantity × unit price, rounded once when the item was sold
};

struct OpenCoupon {
  QString coo;  // six digits
  QString ccf;  // six digits
  QDateTime openedAt;
  QString schema;
  QString customerDocument;
  QString customerName;
  QString customerAddress;
  std::vector<PrinterItem> items;

  qint64 liveTotalCents() const;  // items not cancelled
  int liveItemCount() const;
};

struct LastCoupon {
  QString coo;
  qint64 totalCents = 0;
  bool cancelled = false;
};

struct PrinterMemory {
  int coo = 0;                     // last document number used (0 on a new printer)
  int ccf = 0;                     // last fiscal coupon opened
  qint64 grandTotalCents = 0;      // GT: every closed coupon; never decreases
  qint64 cancelledTotalCents = 0;  // every cancelled coupon
  std::optional<OpenCoupon> open;
  std::optional<LastCoupon> last;
  // The date and time printed on the last document; a command whose clock is earlier is
  // refused. Invalid on a new printer (and in memories written before it was kept).
  QDateTime lastDocumentAt;
  // How many times the memory was saved: of two good copies the larger is the newer.
  qint64 generation = 0;
  // The tape's length once this memory's last print was on it: anything after it was printed
  // for a command the memory never kept. -1 when not known (memories written before it was).
  qint64 tapeBytes = -1;
  // The last coupon closed and the last cancelled (open or closed), for the status question.
  QString lastClosedCoo;
  QString lastCancelledCoo;

  // Counters run from 000001 to 999999 and start over, as on the printer's display.
  static int nextCounter(int counter);
  static QString counterText(int counter);

  QByteArray toJson() const;
  // Throws fw::Error naming what is wrong when the bytes are not a printer memory exactly
  // as written: damaged, cut short or changed by hand (the checksum does not match).
  static PrinterMemory fromJson(const QByteArray& bytes);
};

}  // namespace fiscal
