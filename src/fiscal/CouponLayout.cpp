#include "fiscal/CouponLayout.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "fiscal/ItemDescription.h"
#include "framework/text/NumberText.h"

namespace fiscal::layout {

namespace {

QString quantityText(double quantity) { return fw::formatGeneral(quantity, tapeFormat()); }

QString priceText(double price) {
  if (hasAtMostDecimals(price, 2)) return fw::formatAmount(price, tapeFormat());
  return fw::formatGeneral(std::round(price * 1000.0) / 1000.0, tapeFormat());
}

QString maskedDocument(const QString& document) {
  static const QRegularExpression digitsOnly(QStringLiteral("^\\d+$"));
  if (!digitsOnly.match(document).hasMatch()) return document;
  if (document.size() == 11) {
    return QStringLiteral("%1.%2.%3-%4")
        .arg(document.mid(0, 3), document.mid(3, 3), document.mid(6, 3), document.mid(9, 2));
  }
  if (document.size() == 14) {
    return QStringLiteral("%1.%2.%3/%4-%5")
        .arg(document.mid(0, 2), document.mid(2, 3), document.mid(5, 3), document.mid(8, 4),
             document.mid(12, 2));
  }
  return document;
}

QStringList joinedPieces(std::initializer_list<std::pair<const char*, QString>> pieces) {
  QStringList out;
  for (const auto& [label, value] : pieces) {
    if (!value.isEmpty()) out << QString::fromUtf8(label) + QLatin1Char(' ') + value;
  }
  return out;
}

QString firstNonEmpty(const QString& a, const QString& b) { return a.isEmpty() ? b : a; }

}  // namespace

const fw::FormatSettings& tapeFormat() {
  // The printer prints in Brazilian form whatever the till's locale.
  static const fw::FormatSettings settings = fw::FormatSettings::brazilian();
  return settings;
}

bool hasAtMostDecimals(double value, int decimals) {
  const double scaled = value * std::pow(10.0, decimals);
  return std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, std::fabs(scaled));
}

QString numberText(double value) { return fw::formatGeneral(value, tapeFormat()); }

QString amountText(qint64 cents) {
  return fw::formatAmount(static_cast<double>(cents) / 100.0, tapeFormat());
}

void printShopHeader(TapeText& tape, const ShopHeader& h, const QString& schema,
                     const QString& branch, const QString& cashRegister,
                     const QString& serialNumber) {
  tape.rule(QLatin1Char('='));
  const QStringList lines[] = {
      joinedPieces({{"LOJA", h.store},
                    {"FILIAL", firstNonEmpty(branch, h.branch)},
                    {"CAIXA", firstNonEmpty(cashRegister, h.cashRegister)},
                    {"EMPRESA", h.company}}),
      joinedPieces({{"UF", h.state}, {"IE", h.stateRegistration}}),
      joinedPieces({{"ECF", h.ecf}, {"N. SÉRIE", firstNonEmpty(serialNumber, h.serialNumber)}}),
      joinedPieces({{"ESQUEMA", schema}}),
  };
  for (const QStringList& pieces : lines) {
    if (!pieces.isEmpty()) tape.line(pieces.join(QStringLiteral("  ")));
  }
  tape.rule();
}

void printOpening(TapeText& tape, const ShopHeader& header, const OpenCoupon& c,
                  const QString& stamp) {
  printShopHeader(tape, header, c.schema, {}, {}, {});
  tape.leftRight(stamp, QStringLiteral("CCF:%1 COO:%2").arg(c.ccf, c.coo));
  if (!c.customerDocument.isEmpty())
    tape.line(QStringLiteral("CPF/CNPJ consumidor: ") + maskedDocument(c.customerDocument));
  if (!c.customerName.isEmpty()) tape.line(QStringLiteral("NOME: ") + c.customerName);
  if (!c.customerAddress.isEmpty()) tape.line(QStringLiteral("ENDEREÇO: ") + c.customerAddress);
  tape.rule();
  tape.centered(QStringLiteral("CUPOM FISCAL"));
  tape.line(QStringLiteral("ITEM CÓDIGO DESCRIÇÃO"));
  tape.leftRight(QStringLiteral("QTD. UN. VL.UNIT.(R$) ST"), QStringLiteral("VL.ITEM(R$)"));
  tape.rule();
}

void printItem(TapeText& tape, const PrinterItem& item) {
  const ItemDescription d = ItemDescription::parse(item.description);
  QStringList first{item.number};
  if (!item.code.isEmpty()) first << item.code;
  first << d.name.trimmed();
  tape.wrapped(first.join(QLatin1Char(' ')), 4);
  const QStringList codes = joinedPieces({{"CEST", d.cest}, {"NCM", d.ncm}});
  if (!codes.isEmpty()) tape.line(QStringLiteral("    ") + codes.join(QLatin1Char(' ')));
  QStringList detail{quantityText(item.quantity)};
  if (!item.unit.isEmpty()) detail << item.unit;
  detail << QStringLiteral("x") << priceText(item.unitPrice);
  const QString situation = item.taxCode.isEmpty() ? item.taxType : item.taxCode;
  if (!situation.isEmpty()) detail << situation;
  tape.leftRight(QStringLiteral("    ") + detail.join(QLatin1Char(' ')),
                 amountText(item.totalCents));
}

void printItemCancellation(TapeText& tape, const PrinterItem& item) {
  QString left = QStringLiteral("CANCELAMENTO ITEM ") + item.number;
  if (!item.code.isEmpty()) left += QLatin1Char(' ') + item.code;
  tape.leftRight(left, amountText(-item.totalCents));
}

void printClosing(TapeText& tape, const OpenCoupon& c, const CouponClosing& closing,
                  const std::vector<qint64>& amounts, qint64 total, qint64 change,
                  const QString& stamp) {
  tape.rule();
  tape.leftRight(QStringLiteral("SUBTOTAL R$"), amountText(total));
  tape.leftRight(QStringLiteral("TOTAL R$"), amountText(total));
  for (std::size_t i = 0; i < closing.payments.size(); ++i) {
    const QString name = closing.payments[i].name.trimmed();
    tape.leftRight(name.isEmpty() ? QStringLiteral("Recebimento") : name, amountText(amounts[i]));
  }
  tape.leftRight(QStringLiteral("TROCO R$"), amountText(change));
  tape.rule();
  if (!closing.md5Line.trimmed().isEmpty()) tape.line(closing.md5Line.trimmed());
  for (const QString& text :
       closing.observation.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
    if (!text.trimmed().isEmpty()) tape.line(text.trimmed());
  }
  // One part per line, so no amount is ever torn from its name by the 48 columns.
  tape.line(QStringLiteral("Trib aprox R$ (Lei 12.741/2012):"));
  tape.leftRight(QStringLiteral("  Federal"), fw::formatAmount(closing.federalTax, tapeFormat()));
  tape.leftRight(QStringLiteral("  Estadual"), fw::formatAmount(closing.stateTax, tapeFormat()));
  tape.leftRight(QStringLiteral("  Municipal"),
                 fw::formatAmount(closing.municipalTax, tapeFormat()));
  tape.rule();
  const QString operatorText =
      (closing.operatorCode.trimmed() + QLatin1Char(' ') + closing.operatorName.trimmed())
          .trimmed();
  if (!operatorText.isEmpty()) tape.line(QStringLiteral("OPERADOR ") + operatorText);
  const QStringList fiscal = joinedPieces({{"ECF", closing.ecfIdentification.trimmed()},
                                           {"UF", closing.stateAbbreviation.trimmed()},
                                           {"IE", closing.stateRegistration.trimmed()}});
  if (!fiscal.isEmpty()) tape.line(fiscal.join(QStringLiteral("  ")));
  tape.leftRight(stamp, QStringLiteral("COO:") + c.coo);
  tape.rule(QLatin1Char('='));
}

void printOpenCouponCancellation(TapeText& tape, const OpenCoupon& c, qint64 total,
                                 const QString& stamp) {
  tape.rule();
  tape.centered(QStringLiteral("CUPOM CANCELADO"));
  tape.leftRight(QStringLiteral("VALOR CANCELADO R$"), amountText(total));
  tape.leftRight(stamp, QStringLiteral("COO:") + c.coo);
  tape.rule(QLatin1Char('='));
}

void printCancellationReceipt(TapeText& tape, const ShopHeader& header,
                              const CouponCancelling& cancelling, const QString& receipt,
                              const LastCoupon& cancelled, const QString& stamp) {
  printShopHeader(tape, header, cancelling.schema.trimmed(), cancelling.branch.trimmed(),
                  cancelling.cashRegister.trimmed(), cancelling.serialNumber.trimmed());
  tape.leftRight(stamp, QStringLiteral("COO:") + receipt);
  tape.centered(QStringLiteral("CUPOM CANCELADO"));
  tape.line(QStringLiteral("COO DO CUPOM CANCELADO: ") + cancelled.coo);
  tape.leftRight(QStringLiteral("VALOR CANCELADO R$"), amountText(cancelled.totalCents));
  tape.rule(QLatin1Char('='));
}

}  // namespace fiscal::layout
