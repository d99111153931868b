// How the bridge reads the screen's arguments (positions from 0, as the lists are built):
//   AbreCupom bag: 0 schema, 1 opening integer (ignored), 2/3/4 customer document, name,
//     address, 5 and 6 the caller's coupon number and counter (ignored: the printer numbers),
//     7..14 unused.
//   VendaItem bag: 0 schema, 3 item code, 4 description, 5 printer rate code, 6 tax type,
//     7 unit, 12 quantity, 13 unit price; the rest unused (the screen sends fixed values).
//   Cancela_ItGenerico: 0 schema, 1 item number; the rest unused.
//   FechaCupom: 1 "MD-5:" line, 2 schema, 10 observation, 13 payment list packet, 22/23
//     operator code and name, 41 ECF identification, 43 state, 45 state registration,
//     51 federal, 50 state and 58 municipal approximate taxes; the rest unused.
//   Cancela_Cupom_Imp: 0 schema, 3 (a flag) the open coupon (true) or the last closed one
//     (false), 4 branch, 5 cash register, 6 printer serial number.
#include "fiscal/FiscalBridge.h"

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "outside/Outside.h"

namespace fiscal {

namespace {

using fw::Variant;
using fw::VariantList;

const VariantList& argumentsOf(const Variant& bag, const QString& operation, int count) {
  const QString given = outside::bagOperation(bag);
  if (given != operation) {
    throw fw::Error(QStringLiteral("%1 recebeu os parâmetros de %2.").arg(operation, given));
  }
  const VariantList& arguments = outside::bagArguments(bag);
  if (static_cast<int>(arguments.size()) != count) {
    throw fw::Error(QStringLiteral("%1: esperados %2 parâmetros, recebidos %3.")
                        .arg(operation)
                        .arg(count)
                        .arg(arguments.size()));
  }
  return arguments;
}

void requireValues(const VariantList& values, int count, const QString& operation) {
  if (static_cast<int>(values.size()) < count) {
    throw fw::Error(QStringLiteral("%1: esperados %2 valores, recebidos %3.")
                        .arg(operation)
                        .arg(count)
                        .arg(values.size()));
  }
}

void setAnswer(Variant& answer, int index, const Variant& value) {
  // The caller does not read the answer; an answer of another shape is left alone.
  if (answer.isArray() && index < answer.size()) answer[index] = value;
}

// The payment list as the screen hands it over: its whole content as a data packet.
// Returns the reason when the packet cannot be read as a payment list.
QString readPayments(const Variant& packet, std::vector<Payment>* payments) {
  if (packet.isNull()) return {};
  fw::LocalTable table(QStringLiteral("cdsReceb"));
  try {
    table.setData(packet);
    for (const QString& field : {QStringLiteral("NMTIPORECE"), QStringLiteral("VRMOVIVEND")}) {
      if (table.fieldIndex(field) < 0)
        return QStringLiteral("Lista de recebimentos sem o campo %1.").arg(field);
    }
    if (!table.active()) return {};
    for (table.first(); !table.eof(); table.next()) {
      payments->push_back({table.asText(QStringLiteral("NMTIPORECE")),
                           table.asNumber(QStringLiteral("VRMOVIVEND"))});
    }
  } catch (const fw::Error& e) {
    return QStringLiteral("Lista de recebimentos ilegível: %1").arg(e.message());
  }
  return {};
}

}  // namespace

FiscalBridge::FiscalBridge(const QString& dataDirectory, VirtualPrinter::Clock clock)
    : printer_(dataDirectory, std::move(clock)) {}

bool FiscalBridge::answerCashier(const PrinterAnswer& answer, const QString& idEsquema) {
  if (!answer.accepted) outside::inform(answer.reason, idEsquema);
  return answer.accepted;
}

bool FiscalBridge::AbreCupom(Variant& bag) {
  const VariantList& a = argumentsOf(bag, QStringLiteral("AbreCupom"), 15);
  CouponOpening opening;
  opening.schema = a[0].toText();
  opening.customerDocument = a[2].toText();
  opening.customerName = a[3].toText();
  opening.customerAddress = a[4].toText();
  const PrinterAnswer answer = printer_.openCoupon(opening);
  if (answer.accepted) {
    outside::GravaParams(bag, QStringLiteral("CUPNR"), Variant(answer.coo));
    outside::GravaParams(bag, QStringLiteral("CONTCUPOM"), Variant(answer.ccf));
  }
  return answerCashier(answer, opening.schema);
}

bool FiscalBridge::VendaItem(Variant& bag) {
  const VariantList& a = argumentsOf(bag, QStringLiteral("VendaItem"), 17);
  const QString schema = a[0].toText();
  ItemSale sale;
  sale.code = a[3].toText();
  sale.description = a[4].toText();
  sale.taxCode = a[5].toText();
  sale.taxType = a[6].toText();
  sale.unit = a[7].toText();
  sale.quantity = a[12].toNumber();
  sale.unitPrice = a[13].toNumber();
  const PrinterAnswer answer = printer_.sellItem(sale);
  if (answer.accepted)
    outside::GravaParams(bag, QStringLiteral("NRITEM"), Variant(answer.itemNumber));
  return answerCashier(answer, schema);
}

bool FiscalBridge::Cancela_ItGenerico(const QString& idEsquema, const QString& nrSeq, int, int,
                                      const QString&, const QString&, const QString&,
                                      const QString&, int, int, int, int, int) {
  return answerCashier(printer_.cancelItem(nrSeq), idEsquema);
}

bool FiscalBridge::FechaCupom(const VariantList& values, int, Variant& answer) {
  requireValues(values, outside::closing::kCount, QStringLiteral("FechaCupom"));
  namespace at = outside::closing;
  const QString schema = values[at::kIdEsquema].toText();
  CouponClosing closing;
  closing.md5Line = values[at::kMd5].toText();
  closing.observation = values[at::kObservation].toText();
  closing.operatorCode = values[at::kOperatorCode].toText();
  closing.operatorName = values[at::kOperatorName].toText();
  closing.ecfIdentification = values[at::kEcf].toText();
  closing.stateAbbreviation = values[at::kState].toText();
  closing.stateRegistration = values[at::kStateRegistration].toText();
  closing.federalTax = values[at::kFederalTax].toNumber();
  closing.stateTax = values[at::kStateTax].toNumber();
  closing.municipalTax = values[at::kMunicipalTax].toNumber();
  const QString problem = readPayments(values[at::kPayments], &closing.payments);
  const PrinterAnswer result =
      problem.isEmpty() ? printer_.closeCoupon(closing) : printer_.refuse(problem);
  if (result.accepted) {
    setAnswer(answer, 0, Variant(result.coo));
    setAnswer(answer, 1, Variant(result.ccf));
    setAnswer(answer, 2, Variant(static_cast<double>(result.totalCents) / 100.0));
    setAnswer(answer, 3, Variant(static_cast<double>(result.paidCents) / 100.0));
    setAnswer(answer, 4, Variant(static_cast<double>(result.changeCents) / 100.0));
  }
  return answerCashier(result, schema);
}

bool FiscalBridge::Cancela_Cupom_Imp(const VariantList& values, Variant& answer) {
  requireValues(values, outside::cancelling::kCount, QStringLiteral("Cancela_Cupom_Imp"));
  namespace at = outside::cancelling;
  CouponCancelling cancelling;
  cancelling.schema = values[at::kIdEsquema].toText();
  cancelling.branch = values[at::kBranch].toText();
  cancelling.cashRegister = values[at::kCashRegister].toText();
  cancelling.serialNumber = values[at::kSerialNumber].toText();
  // The printer refuses to cancel a coupon other than the one the screen means.
  if (values[at::kOpenCoupon].kind() == Variant::Kind::Flag)
    cancelling.openCoupon = values[at::kOpenCoupon].toFlag();
  const PrinterAnswer result = printer_.cancelCoupon(cancelling);
  if (result.accepted) {
    setAnswer(answer, 0, Variant(result.coo));
    setAnswer(answer, 1, Variant(result.receiptCoo));
  }
  return answerCashier(result, cancelling.schema);
}

bool FiscalBridge::Estado_Impressora(const QString& idEsquema, Variant& answer) {
  PrinterMemory memory;
  try {
    memory = printer_.memory();
  } catch (const fw::Error& e) {
    PrinterAnswer refusal;
    refusal.reason = e.message();
    return answerCashier(refusal, idEsquema);
  }
  namespace at = outside::status;
  VariantList items;
  if (memory.open) {
    for (const PrinterItem& item : memory.open->items)
      items.push_back(Variant::array({Variant(item.number), Variant(item.cancelled)}));
  }
  setAnswer(answer, at::kOpenCoupon, Variant(memory.open ? memory.open->coo : QString()));
  setAnswer(answer, at::kItems, Variant::array(std::move(items)));
  setAnswer(answer, at::kLastClosed, Variant(memory.lastClosedCoo));
  setAnswer(answer, at::kLastCancelled, Variant(memory.lastCancelledCoo));
  return true;
}

void FiscalBridge::publish() {
  outside::Estado_Impressora = [this](const QString& e, Variant& answer) {
    return Estado_Impressora(e, answer);
  };
  outside::AbreCupom = [this](Variant& bag) { return AbreCupom(bag); };
  outside::VendaItem = [this](Variant& bag) { return VendaItem(bag); };
  outside::Cancela_ItGenerico = [this](const QString& e, const QString& n, int a3, int a4,
                                       const QString& w5, const QString& w6, const QString& w7,
                                       const QString& w8, int a9, int a10, int a11, int a12,
                                       int a13) {
    return Cancela_ItGenerico(e, n, a3, a4, w5, w6, w7, w8, a9, a10, a11, a12, a13);
  };
  outside::FechaCupom = [this](const VariantList& values, int a2, Variant& answer) {
    return FechaCupom(values, a2, answer);
  };
  outside::Cancela_Cupom_Imp = [this](const VariantList& values, Variant& answer) {
    return Cancela_Cupom_Imp(values, answer);
  };
}

}  // namespace fiscal
