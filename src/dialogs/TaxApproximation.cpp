// Rates file reading and the sums of the approximate taxes.
#include "dialogs/TaxApproximation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"

namespace dialogs {

namespace {

// Rounded on the amount's decimal value (1,345 gives 1,35), as the coupon shows amounts.
double round2(double value) {
  if (!std::isfinite(value)) {
    throw fw::Error(QStringLiteral("Valor de imposto aproximado inválido."));
  }
  return fw::parseAmount(fw::formatAmount(value));
}

double readRate(const QString& text, const QString& where) {
  const fw::FormatSettings& fs = fw::FormatSettings::current();
  QString normal = text.trimmed();
  normal.replace(QLatin1Char(','), fs.decimalSeparator);
  normal.replace(QLatin1Char('.'), fs.decimalSeparator);
  double rate = 0;
  if (!fw::tryParseNumber(normal, &rate, fs) || !std::isfinite(rate) || rate < 0 || rate > 100) {
    throw fw::Error(QStringLiteral("%1: alíquota inválida \"%2\" (use um percentual de 0 a 100).")
                        .arg(where, text.trimmed()));
  }
  return rate;
}

}  // namespace

TaxApproximation::Rates TaxApproximation::readRates(const QString& path) {
  Rates rates;
  QFile file(path);
  if (!file.exists()) return rates;
  if (!file.open(QIODevice::ReadOnly)) {
    throw fw::Error(QStringLiteral("Não foi possível ler o arquivo de impostos aproximados %1.")
                        .arg(QDir::toNativeSeparators(path)));
  }
  QString content = QString::fromUtf8(file.readAll());
  if (content.startsWith(QChar(0xFEFF))) content.remove(0, 1);
  const QStringList lines = content.split(QLatin1Char('\n'));
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    const qsizetype comment = line.indexOf(QLatin1Char('#'));
    if (comment >= 0) line.truncate(comment);
    line = line.trimmed();
    if (line.isEmpty()) continue;
    const QString where = QStringLiteral("Arquivo de impostos aproximados %1, linha %2")
                              .arg(QFileInfo(path).fileName())
                              .arg(i + 1);
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0) {
      throw fw::Error(QStringLiteral("%1: falta \"=\" em \"%2\".").arg(where, line));
    }
    const QString name = line.left(equals).trimmed();
    const double rate = readRate(line.mid(equals + 1), where);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString kind = (dot < 0 ? name : name.left(dot)).toLower();
    const QString product = dot < 0 ? QString() : name.mid(dot + 1).trimmed();
    if (dot >= 0 && product.isEmpty()) {
      throw fw::Error(QStringLiteral("%1: falta o código do produto em \"%2\".").arg(where, name));
    }
    if (kind == QStringLiteral("federal")) {
      if (dot < 0)
        rates.federal = rate;
      else
        rates.federalByProduct.insert(product, rate);
    } else if (kind == QStringLiteral("municipal")) {
      if (dot < 0)
        rates.municipal = rate;
      else
        rates.municipalByProduct.insert(product, rate);
    } else {
      throw fw::Error(QStringLiteral("%1: nome desconhecido \"%2\" (use federal ou municipal).")
                          .arg(where, name));
    }
  }
  return rates;
}

TaxApproximation::Rates TaxApproximation::ratesOfDirectory(const QString& directory) {
  const QDir dir(directory);
  const QStringList found = dir.entryList({kFileName}, QDir::Files, QDir::Name);
  // entryList matches name filters without regard to case.
  return readRates(found.isEmpty() ? dir.filePath(kFileName) : dir.filePath(found.first()));
}

TaxApproximation::Amounts TaxApproximation::compute(const fw::LocalTable& items,
                                                    const Rates& rates) {
  Amounts sum;
  if (!items.active()) return sum;  // an item list not created yet holds no item
  const int total = items.fieldIndex(QStringLiteral("VRTOTVEND"));
  if (total < 0) items.fieldByName(QStringLiteral("VRTOTVEND"));  // fails naming the field
  const int percentage = items.fieldIndex(QStringLiteral("VRPEALIMPFIS"));
  const int state = items.fieldIndex(QStringLiteral("IDPRODIMPFIS"));
  const int product = items.fieldIndex(QStringLiteral("CDPRODUTO"));
  const int rows = items.recordCount();
  for (int row = 0; row < rows; ++row) {
    if (state >= 0 &&
        items.textAt(row, state).trimmed().compare(QStringLiteral("C"), Qt::CaseInsensitive) == 0) {
      continue;
    }
    const double value = items.valueAt(row, total).toNumber();
    const QString code = product >= 0 ? items.textAt(row, product).trimmed() : QString();
    sum.federal += value * rates.federalByProduct.value(code, rates.federal) / 100.0;
    sum.municipal += value * rates.municipalByProduct.value(code, rates.municipal) / 100.0;
    if (percentage >= 0) sum.state += value * items.valueAt(row, percentage).toNumber() / 100.0;
  }
  sum.federal = round2(sum.federal);
  sum.state = round2(sum.state);
  sum.municipal = round2(sum.municipal);
  return sum;
}

double TaxApproximation::calculate(const fw::LocalTable& items, fw::Variant& answer,
                                   const QString& dataDirectory) {
  const Amounts amounts = compute(items, ratesOfDirectory(dataDirectory));
  if (!answer.isArray() || answer.size() < 3) answer = fw::Variant::emptyArray(3);
  answer[0] = fw::Variant(fw::formatGeneral(amounts.federal));
  answer[1] = fw::Variant(fw::formatGeneral(amounts.state));
  answer[2] = fw::Variant(fw::formatGeneral(amounts.municipal));
  return round2(amounts.total());
}

}  // namespace dialogs
