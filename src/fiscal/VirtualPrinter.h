// VirtualPrinter: a fiscal printer (ECF) that lives in the data directory. Its fiscal memory
// is kept in two copies (MemoryStore) and its paper tape is "Bobina.txt", to which every
// command prints what a real printer prints, refusals included. It obeys a real printer's
// rules and answers each command accepted or refused with the reason.
//
// Every command reads the memory from its files, works on a copy, prints the tape and then
// writes the memory; when either fails the print is undone and the command refused, so two
// instances on one folder (a host restarted after a crash) act as the same printer, and a
// failing disk leaves memory and tape as they were. The memory is never made anew where the
// printer has printed before, and its clock never goes back.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "fiscal/MemoryStore.h"
#include "fiscal/PrinterMemory.h"
#include "fiscal/PrinterProgramming.h"
#include "fiscal/TapeText.h"

namespace fiscal {

struct CouponOpening {
  QString schema;
  QString customerDocument;  // CPF or CNPJ, digits
  QString customerName;
  QString customerAddress;
};

struct ItemSale {
  QString code;
  QString description;  // [CEST#][NCM#]name
  QString taxCode;      // empty: no printer rate applies
  QString taxType;      // printed in place of an empty code
  QString unit;
  double quantity = 0;
  double unitPrice = 0;
};

struct Payment {
  QString name;
  double amount = 0;
};

struct CouponClosing {
  std::vector<Payment> payments;
  QString md5Line;  // "MD-5: ..." as the fiscal application identifies itself
  QString observation;
  QString operatorCode;
  QString operatorName;
  QString ecfIdentification;
  QString stateAbbreviation;
  QString stateRegistration;
  double federalTax = 0;
  double stateTax = 0;
  double municipalTax = 0;
};

struct CouponCancelling {
  QString schema;
  QString branch;
  QString cashRegister;
  QString serialNumber;
  // Which coupon the caller means: the open one (true) or the last closed one (false).
  // Unset: whichever the printer has (the open one when there is one).
  std::optional<bool> openCoupon;
};

struct PrinterAnswer {
  bool accepted = false;
  QString reason;      // why it was refused
  QString coo;         // opening, closing, cancelling: the coupon concerned
  QString ccf;         // opening, closing
  QString itemNumber;  // sale of an item
  QString receiptCoo;  // cancelling a closed coupon: the cancellation receipt's COO
  qint64 totalCents = 0;
  qint64 paidCents = 0;
  qint64 changeCents = 0;
};

class VirtualPrinter {
 public:
  using Clock = std::function<QDateTime()>;

  static constexpr int kMaxItems = 999;
  // The largest amount the printer's totalizers take for one item, payment or coupon.
  static constexpr qint64 kMaxAmountCents = 9999999999LL;  // 99.999.999,99

  // Reads the programming (rates, header) from `dataDirectory` once, now, and removes what
  // saves killed half-way left in the data directory and in the sale files' folder.
  explicit VirtualPrinter(const QString& dataDirectory, Clock clock = {});

  PrinterAnswer openCoupon(const CouponOpening& opening);
  PrinterAnswer sellItem(const ItemSale& item);
  PrinterAnswer cancelItem(const QString& itemNumber);
  PrinterAnswer closeCoupon(const CouponClosing& closing);
  // The open coupon whenever one is open; otherwise the last closed coupon. A caller that
  // says which one it means is refused when the printer holds the other.
  PrinterAnswer cancelCoupon(const CouponCancelling& cancelling);
  // A command the bridge could not even hand over (an unreadable payment list): printed
  // on the tape as any refusal.
  PrinterAnswer refuse(const QString& reason);

  // The memory as its files hold it now; throws fw::Error when the printer is blocked.
  // Also the status question: it prints nothing.
  PrinterMemory memory() const;
  const PrinterProgramming& programming() const { return programming_; }
  const MemoryStore& memoryStore() const { return store_; }
  QString memoryPath() const { return store_.path(1); }
  QString tapePath() const;

  // Amounts as the printer rounds them: to cents, halves away from zero, on the value's
  // 15-significant-digit decimal form. False for values that are not finite or too large.
  static bool toCents(double amount, qint64* cents);
  static QString formatCents(qint64 cents);

 private:
  using Command = std::function<PrinterAnswer(PrinterMemory& memory, TapeText& tape)>;
  PrinterAnswer run(const Command& command);
  // The memory to work on, or why the printer is blocked; with the copies to restore.
  std::optional<PrinterMemory> readMemory(QString* blocked, QStringList* recovered = nullptr,
                                          bool* fresh = nullptr) const;
  // Where documents were printed before: the tape holds one or sale files exist. Empty
  // when this folder never saw the printer print.
  QString printedBefore() const;
  // Prints `tape` and writes `memory`, both or neither; the reason when neither.
  QString commit(const TapeText& tape, PrinterMemory& memory);
  // Checked; the tape's earlier length, and in *end its length after the print.
  qint64 print(const TapeText& tape, qint64* end = nullptr);
  qint64 tapeSize() const;
  // With the memory the command read, the refusal's print is kept in it too, so that it is
  // never taken for a print the memory missed.
  PrinterAnswer printRefusal(const QString& reason, PrinterMemory* memory = nullptr);
  QString stamp() const;

  QString dataDirectory_;
  Clock clock_;
  PrinterProgramming programming_;
  MemoryStore store_;
  QDateTime now_;  // the command's time, read once from the clock
};

}  // namespace fiscal
