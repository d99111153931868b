// Reads a sale's files through fw::LocalTable (the same reader the screen writes them with)
// and checks that they are whole tables of the screen's layouts before anything is sent.
#include "office/SalePair.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

#include "framework/core/DateTime.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/FileIo.h"
#include "office/SaleLayout.h"

namespace office {

namespace {

bool kindMatches(Kind kind, fw::FieldType type) {
  switch (kind) {
    case Kind::Text:
      return fw::isTextType(type);
    case Kind::Number:
      return type == fw::FieldType::Number || type == fw::FieldType::Bcd || fw::isIntegerType(type);
    case Kind::DateTime:
      return fw::isDateType(type);
  }
  return false;
}

struct Loaded {
  std::vector<Row> rows;
  QString sum;
};

// The file's rows in layout order; the checksum leaves out the field `unsummed` (if any).
template <std::size_t N>
Loaded load(const QString& path, const LayoutField (&layout)[N], const char* unsummed,
            QString* problem) {
  fw::LocalTable table;
  try {
    table.loadFromFile(path);
  } catch (const std::exception& e) {
    *problem = fw::messageOf(e);
    return {};
  }
  int index[N];
  for (std::size_t f = 0; f < N; ++f) {
    const QString name = QString::fromLatin1(layout[f].name);
    index[f] = table.fieldIndex(name);
    if (index[f] < 0 || !kindMatches(layout[f].kind, table.fields()[index[f]].type)) {
      *problem = QStringLiteral("o campo %1 falta ou tem outro tipo").arg(name);
      return {};
    }
  }
  Loaded out;
  QCryptographicHash hash(QCryptographicHash::Sha256);
  const int count = table.recordCount();
  out.rows.reserve(static_cast<std::size_t>(count));
  try {
    for (int r = 0; r < count; ++r) {
      Row row(N);
      for (std::size_t f = 0; f < N; ++f) {
        const fw::Variant v = table.valueAt(r, index[f]);
        if (!v.isNull()) {
          switch (layout[f].kind) {
            case Kind::Text:
              row[f] = v.toText();
              break;
            case Kind::Number:
              row[f] = numberText(v.toNumber());
              break;
            case Kind::DateTime:
              row[f] = timestampText(v.toDateTime());
              break;
          }
        }
        if (unsummed && qstrcmp(layout[f].name, unsummed) == 0) continue;
        hash.addData(row[f] ? row[f]->toUtf8() : QByteArrayLiteral("\x1e"));
        hash.addData(QByteArrayView("\x1f", 1));
      }
      hash.addData(QByteArrayView("\x1d", 1));
      out.rows.push_back(std::move(row));
    }
  } catch (const std::exception& e) {
    *problem = fw::messageOf(e);
    return {};
  }
  out.sum = QString::fromLatin1(hash.result().toHex());
  return out;
}

constexpr int column(const char* name) {
  int i = 0;
  for (const LayoutField& f : kSaleFields) {
    if (std::string_view(f.name) == name) return i;
    ++i;
  }
  return -1;
}

}  // namespace

QString numberText(double value) {
  return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString timestampText(double days) {
  return fw::toQDateTime(days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QStringList SalePair::keyFromName(const QString& fileName) {
  static const QRegularExpression name(QStringLiteral("^venda([^_]+)_([^_]+)_(.+)\\.cds$"),
                                       QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = name.match(fileName);
  if (!m.hasMatch()) return {};
  return {m.captured(1), m.captured(2), m.captured(3)};
}

SalePair SalePair::read(const QString& salePath, const QString& cashPath) {
  SalePair pair;
  pair.salePath = salePath;
  pair.cashPath = cashPath;
  const QStringList key = keyFromName(QFileInfo(salePath).fileName());
  if (key.size() != 3) {
    pair.problem = QStringLiteral("o nome não é o de um arquivo de venda");
    return pair;
  }
  pair.cdfilial = key[0];
  pair.cdcaixa = key[1];
  pair.nrcupomfis = key[2];
  pair.saleInode = fw::fileInode(salePath);
  if (!cashPath.isEmpty()) pair.cashInode = fw::fileInode(cashPath);

  Loaded sale = load(salePath, kSaleFields, "IDSITUVENDA", &pair.problem);
  if (!pair.problem.isEmpty()) return pair;
  pair.saleSum = sale.sum;

  constexpr int situation = column("IDSITUVENDA");
  constexpr int when = column("DTVENDA");
  constexpr int company = column("CDEMPRESA");
  constexpr int total = column("VRTOTVEND");
  constexpr int printed = column("IDPRODIMPFIS");
  static_assert(situation >= 0 && when >= 0 && company >= 0 && total >= 0 && printed >= 0);
  int completedRows = 0;
  qint64 cents = 0;
  QString earliest;
  for (const Row& row : sale.rows) {
    const QString s = row[situation].value_or(QString());
    if (s == QLatin1String("O"))
      ++completedRows;
    else if (s != QLatin1String("C")) {
      pair.problem = QStringLiteral("a situação da venda \"%1\" não é O nem C").arg(s);
      return pair;
    }
    // Timestamps in this form sort as texts.
    if (row[when] && (earliest.isEmpty() || *row[when] < earliest)) earliest = *row[when];
    if (pair.cdempresa.isEmpty() && row[company]) pair.cdempresa = *row[company];
    if (row[printed].value_or(QString()) != QLatin1String("C") && row[total])
      cents += std::llround(row[total]->toDouble() * 100.0);
  }
  if (completedRows != 0 && completedRows != static_cast<int>(sale.rows.size())) {
    pair.problem = QStringLiteral("linhas concluídas e canceladas no mesmo arquivo");
    return pair;
  }
  pair.cancelled = completedRows == 0;
  pair.dtinicio = earliest.isEmpty() ? QStringLiteral("-infinity") : earliest;
  pair.itemCount = static_cast<int>(sale.rows.size());
  pair.total = QStringLiteral("%1%2.%3")
                   .arg(cents < 0 ? QStringLiteral("-") : QString())
                   .arg(std::llabs(cents) / 100)
                   .arg(std::llabs(cents) % 100, 2, 10, QLatin1Char('0'));
  pair.items = std::move(sale.rows);

  if (!cashPath.isEmpty()) {
    Loaded cash = load(cashPath, kCashFields, nullptr, &pair.problem);
    if (!pair.problem.isEmpty()) {
      pair.problem = QStringLiteral("%1: %2").arg(QFileInfo(cashPath).fileName(), pair.problem);
      return pair;
    }
    pair.cashSum = cash.sum;
    pair.movements = std::move(cash.rows);
  } else if (!pair.cancelled) {
    pair.state = State::Waiting;
    pair.problem = QStringLiteral("aguardando o arquivo de movimento de caixa");
    return pair;
  }
  pair.state = State::Ready;
  return pair;
}

}  // namespace office
