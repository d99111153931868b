// The fiscal memory's file: JSON with Portuguese keys, so a shop technician can read it.
// Reading is strict: a memory that does not hold exactly what the printer wrote is refused
// rather than half-understood, because a wrong counter would print a wrong COO.
#include "fiscal/PrinterMemory.h"

#include "framework/data/Error.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace fiscal {

namespace {

constexpr int kFormatVersion = 1;
constexpr int kCounterLimit = 999999;

[[noreturn]] void bad(const QString& what) {
  throw fw::Error(QStringLiteral("memória fiscal inválida: %1").arg(what));
}

QJsonValue require(const QJsonObject& object, const QString& key) {
  const QJsonValue value = object.value(key);
  if (value.isUndefined()) bad(QStringLiteral("falta \"%1\"").arg(key));
  return value;
}

QString requireText(const QJsonObject& object, const QString& key) {
  const QJsonValue value = require(object, key);
  if (!value.isString()) bad(QStringLiteral("\"%1\" não é texto").arg(key));
  return value.toString();
}

bool requireFlag(const QJsonObject& object, const QString& key) {
  const QJsonValue value = require(object, key);
  if (!value.isBool()) bad(QStringLiteral("\"%1\" não é lógico").arg(key));
  return value.toBool();
}

double requireNumber(const QJsonObject& object, const QString& key) {
  const QJsonValue value = require(object, key);
  if (!value.isDouble()) bad(QStringLiteral("\"%1\" não é número").arg(key));
  return value.toDouble();
}

qint64 requireCents(const QJsonObject& object, const QString& key) {
  const double value = requireNumber(object, key);
  // Cents are whole and well inside a double's exact range.
  if (!(value >= -9.0e15 && value <= 9.0e15) || value != static_cast<double>(static_cast<qint64>(value)))
    bad(QStringLiteral("\"%1\" não é um valor em centavos").arg(key));
  return static_cast<qint64>(value);
}

int parseCounter(const QString& text, const QString& key) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || text.size() != 6 || value < 0 || value > kCounterLimit)
    bad(QStringLiteral("\"%1\" não é um contador de seis dígitos").arg(key));
  return value;
}

QJsonObject itemToJson(const PrinterItem& item) {
  QJsonObject o;
  o[QStringLiteral("numero")] = item.number;
  o[QStringLiteral("codigo")] = item.code;
  o[QStringLiteral("descricao")] = item.description;
  o[QStringLiteral("quantidade")] = item.quantity;
  o[QStringLiteral("precoUnitario")] = item.unitPrice;
  o[QStringLiteral("aliquota")] = item.taxCode;
  o[QStringLiteral("tipoTributacao")] = item.taxType;
  o[QStringLiteral("unidade")] = item.unit;
  o[QStringLiteral("cancelado")] = item.cancelled;
  o[QStringLiteral("totalCentavos")] = static_cast<double>(item.totalCents);
  return o;
}

PrinterItem itemFromJson(const QJsonValue& value) {
  if (!value.isObject()) bad(QStringLiteral("item que não é objeto"));
  const QJsonObject o = value.toObject();
  PrinterItem item;
  item.number = requireText(o, QStringLiteral("numero"));
  item.code = requireText(o, QStringLiteral("codigo"));
  item.description = requireText(o, QStringLiteral("descricao"));
  item.quantity = requireNumber(o, QStringLiteral("quantidade"));
  item.unitPrice = requireNumber(o, QStringLiteral("precoUnitario"));
  item.taxCode = requireText(o, QStringLiteral("aliquota"));
  item.taxType = requireText(o, QStringLiteral("tipoTributacao"));
  item.unit = requireText(o, QStringLiteral("unidade"));
  item.cancelled = requireFlag(o, QStringLiteral("cancelado"));
  item.totalCents = requireCents(o, QStringLiteral("totalCentavos"));
  return item;
}

QJsonObject openToJson(const OpenCoupon& c) {
  QJsonObject o;
  o[QStringLiteral("coo")] = c.coo;
  o[QStringLiteral("ccf")] = c.ccf;
  o[QStringLiteral("abertoEm")] = c.openedAt.toString(Qt::ISODate);
  o[QStringLiteral("esquema")] = c.schema;
  o[QStringLiteral("consumidorDocumento")] = c.customerDocument;
  o[QStringLiteral("consumidorNome")] = c.customerName;
  o[QStringLiteral("consumidorEndereco")] = c.customerAddress;
  QJsonArray items;
  for (const PrinterItem& item : c.items) items.append(itemToJson(item));
  o[QStringLiteral("itens")] = items;
  return o;
}

OpenCoupon openFromJson(const QJsonValue& value) {
  if (!value.isObject()) bad(QStringLiteral("\"cupomAberto\" não é objeto"));
  const QJsonObject o = value.toObject();
  OpenCoupon c;
  c.coo = requireText(o, QStringLiteral("coo"));
  parseCounter(c.coo, QStringLiteral("cupomAberto.coo"));
  c.ccf = requireText(o, QStringLiteral("ccf"));
  parseCounter(c.ccf, QStringLiteral("cupomAberto.ccf"));
  c.openedAt = QDateTime::fromString(requireText(o, QStringLiteral("abertoEm")), Qt::ISODate);
  c.schema = requireText(o, QStringLiteral("esquema"));
  c.customerDocument = requireText(o, QStringLiteral("consumidorDocumento"));
  c.customerName = requireText(o, QStringLiteral("consumidorNome"));
  c.customerAddress = requireText(o, QStringLiteral("consumidorEndereco"));
  const QJsonValue items = require(o, QStringLiteral("itens"));
  if (!items.isArray()) bad(QStringLiteral("\"itens\" não é lista"));
  for (const QJsonValue& item : items.toArray()) c.items.push_back(itemFromJson(item));
  return c;
}

}  // namespace

qint64 OpenCoupon::liveTotalCents() const {
  qint64 total = 0;
  for (const PrinterItem& item : items) {
    if (!item.cancelled) total += item.totalCents;
  }
  return total;
}

int OpenCoupon::liveItemCount() const {
  int count = 0;
  for (const PrinterItem& item : items) {
    if (!item.cancelled) ++count;
  }
  return count;
}

int PrinterMemory::nextCounter(int counter) {
  return counter >= kCounterLimit ? 1 : counter + 1;
}

QString PrinterMemory::counterText(int counter) {
  return QStringLiteral("%1").arg(counter, 6, 10, QLatin1Char('0'));
}

QByteArray PrinterMemory::toJson() const {
  QJsonObject o;
  o[QStringLiteral("versao")] = kFormatVersion;
  o[QStringLiteral("coo")] = counterText(coo);
  o[QStringLiteral("ccf")] = counterText(ccf);
  o[QStringLiteral("gtCentavos")] = static_cast<double>(grandTotalCents);
  o[QStringLiteral("cancelamentosCentavos")] = static_cast<double>(cancelledTotalCents);
  o[QStringLiteral("cupomAberto")] = open ? QJsonValue(openToJson(*open)) : QJsonValue();
  if (last) {
    QJsonObject l;
    l[QStringLiteral("coo")] = last->coo;
    l[QStringLiteral("totalCentavos")] = static_cast<double>(last->totalCents);
    l[QStringLiteral("cancelado")] = last->cancelled;
    o[QStringLiteral("ultimoCupom")] = l;
  } else {
    o[QStringLiteral("ultimoCupom")] = QJsonValue();
  }
  return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

PrinterMemory PrinterMemory::fromJson(const QByteArray& bytes) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError)
    bad(QStringLiteral("%1 na posição %2").arg(error.errorString()).arg(error.offset));
  if (!document.isObject()) bad(QStringLiteral("o conteúdo não é um objeto"));
  const QJsonObject o = document.object();
  if (requireNumber(o, QStringLiteral("versao")) != kFormatVersion)
    bad(QStringLiteral("versão desconhecida"));
  PrinterMemory m;
  m.coo = parseCounter(requireText(o, QStringLiteral("coo")), QStringLiteral("coo"));
  m.ccf = parseCounter(requireText(o, QStringLiteral("ccf")), QStringLiteral("ccf"));
  m.grandTotalCents = requireCents(o, QStringLiteral("gtCentavos"));
  m.cancelledTotalCents = requireCents(o, QStringLiteral("cancelamentosCentavos"));
  const QJsonValue open = require(o, QStringLiteral("cupomAberto"));
  if (!open.isNull()) m.open = openFromJson(open);
  const QJsonValue last = require(o, QStringLiteral("ultimoCupom"));
  if (!last.isNull()) {
    if (!last.isObject()) bad(QStringLiteral("\"ultimoCupom\" não é objeto"));
    const QJsonObject l = last.toObject();
    LastCoupon lc;
    lc.coo = requireText(l, QStringLiteral("coo"));
    parseCounter(lc.coo, QStringLiteral("ultimoCupom.coo"));
    lc.totalCents = requireCents(l, QStringLiteral("totalCentavos"));
    lc.cancelled = requireFlag(l, QStringLiteral("cancelado"));
    m.last = lc;
  }
  return m;
}

PrinterMemory PrinterMemory::load(const QString& path) {
  QFile file(path);
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly)) {
    throw fw::Error(QStringLiteral("não foi possível ler a memória fiscal %1: %2")
                        .arg(path, file.errorString()));
  }
  try {
    return fromJson(file.readAll());
  } catch (const fw::Error& e) {
    throw fw::Error(QStringLiteral("%1 (%2)").arg(e.message(), path));
  }
}

void PrinterMemory::save(const QString& path) const {
  QSaveFile file(path);
  const QByteArray bytes = toJson();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    throw fw::Error(QStringLiteral("não foi possível gravar a memória fiscal %1: %2")
                        .arg(path, file.errorString()));
  }
}

}  // namespace fiscal
