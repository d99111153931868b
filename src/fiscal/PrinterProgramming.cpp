#include "fiscal/PrinterProgramming.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "framework/core/Error.h"
#include "framework/core/HostPath.h"
#include "framework/data/LocalTable.h"

namespace fiscal {

namespace {

QString textOf(const fw::LocalTable& table, const QString& field) {
  return table.fieldIndex(field) >= 0 ? table.asText(field).trimmed() : QString();
}

}  // namespace

const TaxRate* PrinterProgramming::findRate(const QString& code) const {
  const QString wanted = code.trimmed();
  for (const TaxRate& rate : rates) {
    if (rate.code.compare(wanted, Qt::CaseInsensitive) == 0) return &rate;
  }
  return nullptr;
}

QString PrinterProgramming::resolve(const QString& directory, const QString& relative) {
  return fw::resolvePath(directory + QLatin1Char('/') + relative);
}

std::vector<TaxRate> PrinterProgramming::loadRates(const QString& path) {
  fw::LocalTable table(QStringLiteral("AliqImpFis"));
  table.loadFromFile(path);
  for (const char* field : {"CDALIQIMPFIS", "VRALIQIMPFIS", "IDALIQIMPFIS"}) {
    table.fieldByName(QString::fromLatin1(field));  // names the missing field
  }
  std::vector<TaxRate> rates;
  for (table.first(); !table.eof(); table.next()) {
    TaxRate rate;
    rate.code = table.asText(QStringLiteral("CDALIQIMPFIS")).trimmed();
    rate.rate = table.asNumber(QStringLiteral("VRALIQIMPFIS"));
    rate.type = table.asText(QStringLiteral("IDALIQIMPFIS")).trimmed();
    // A row without a code programs nothing: the empty code means "no printer rate".
    if (!rate.code.isEmpty()) rates.push_back(rate);
  }
  return rates;
}

ShopHeader PrinterProgramming::loadHeader(const QString& path) {
  fw::LocalTable table(QStringLiteral("ParametrosOrv"));
  table.loadFromFile(path);
  ShopHeader h;
  if (table.isEmpty()) return h;
  table.first();
  h.store = textOf(table, QStringLiteral("CDLOJA"));
  h.branch = textOf(table, QStringLiteral("CDFILIAL"));
  h.cashRegister = textOf(table, QStringLiteral("CDCAIXA"));
  h.company = textOf(table, QStringLiteral("CDEMPRESA"));
  h.state = textOf(table, QStringLiteral("SGESTADOFILI"));
  h.stateRegistration = textOf(table, QStringLiteral("CDINSCESTAEMPR"));
  h.serialNumber = textOf(table, QStringLiteral("NRSERIEIMP"));
  h.ecf = textOf(table, QStringLiteral("ECFIMP"));
  return h;
}

PrinterProgramming PrinterProgramming::load(const QString& dataDirectory) {
  PrinterProgramming p;
  const QString ratesPath =
      resolve(dataDirectory, QStringLiteral("Dados/Cadastros/AliqImpFis.cds"));
  if (QFileInfo::exists(ratesPath)) {
    try {
      p.rates = loadRates(ratesPath);
    } catch (const fw::Error& e) {
      p.ratesProblem = e.message();
    }
  }
  const QString headerPath = resolve(dataDirectory, QStringLiteral("PARAMETROSORV.CDS"));
  if (QFileInfo::exists(headerPath)) {
    try {
      p.header = loadHeader(headerPath);
    } catch (const fw::Error&) {
      // The header is a courtesy on the tape; the screen itself reports a bad parameters file.
    }
  }
  return p;
}

}  // namespace fiscal
