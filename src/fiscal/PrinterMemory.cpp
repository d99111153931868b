// The fiscal memory's file: JSON with Portuguese keys, so a shop technician can read it.
// Reading is strict: a memory that does not hold exactly what the printer wrote is refused
// rather than half-understood, because a wrong counter would print a wrong COO.
#include "fiscal/PrinterMemory.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <utility>

#include "framework/core/Error.h"

namespace fiscal {

namespace {

// Version 1 had neither checksum, save counter nor last document time; it is still read.
constexpr int kFormatVersion = 2;
const QString kChecksumKey = QStringLiteral("verificacao");
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

// Whole numbers well inside a double's exact range.
bool isWhole(double value) {
  return value >= -9.0e15 && value <= 9.0e15 &&
         value == static_cast<double>(static_cast<qint64>(value));
}

qint64 requireCents(const QJsonObject& object, const QString& key) {
  const double value = requireNumber(object, key);
  if (!isWhole(value)) bad(QStringLiteral("\"%1\" não é um valor em centavos").arg(key));
  return static_cast<qint64>(value);
}

// Over the compact form of the document without the checksum: JSON objects keep their keys
// sorted and numbers in their shortest exact form, so the form read back is the form written.
QString checksumOf(QJsonObject object) {
  object.remove(kChecksumKey);
  return QString::fromLatin1(
      QCryptographicHash::hash(QJsonDocument(object).toJson(QJsonDocument::Compact),
                               QCryptographicHash::Sha256)
          .toHex());
}

QString timeText(const QDateTime& time) { return time.toUTC().toString(Qt::ISODate); }

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

int PrinterMemory::nextCounter(int counter) { return counter >= kCounterLimit ? 1 : counter + 1; }

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
  o[QStringLiteral("ultimoDocumentoEm")] =
      lastDocumentAt.isValid() ? QJsonValue(timeText(lastDocumentAt)) : QJsonValue();
  o[QStringLiteral("geracao")] = static_cast<double>(generation);
  if (tapeBytes >= 0) o[QStringLiteral("bobinaBytes")] = static_cast<double>(tapeBytes);
  if (!lastClosedCoo.isEmpty()) o[QStringLiteral("ultimoFechado")] = lastClosedCoo;
  if (!lastCancelledCoo.isEmpty()) o[QStringLiteral("ultimoCancelado")] = lastCancelledCoo;
  o[kChecksumKey] = checksumOf(o);
  return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

PrinterMemory PrinterMemory::fromJson(const QByteArray& bytes) {
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError)
    bad(QStringLiteral("%1 na posição %2").arg(error.errorString()).arg(error.offset));
  if (!document.isObject()) bad(QStringLiteral("o conteúdo não é um objeto"));
  const QJsonObject o = document.object();
  const double version = requireNumber(o, QStringLiteral("versao"));
  if (version != 1 && version != kFormatVersion) bad(QStringLiteral("versão desconhecida"));
  PrinterMemory m;
  if (version == kFormatVersion) {
    if (requireText(o, kChecksumKey) != checksumOf(o))
      bad(QStringLiteral("a verificação não confere (arquivo danificado ou alterado)"));
    const double generation = requireNumber(o, QStringLiteral("geracao"));
    if (!isWhole(generation) || generation < 0)
      bad(QStringLiteral("\"geracao\" não é um contador"));
    m.generation = static_cast<qint64>(generation);
    const QJsonValue at = require(o, QStringLiteral("ultimoDocumentoEm"));
    if (!at.isNull()) {
      m.lastDocumentAt = QDateTime::fromString(at.toString(), Qt::ISODate);
      if (!m.lastDocumentAt.isValid())
        bad(QStringLiteral("\"ultimoDocumentoEm\" não é data e hora"));
    }
    // Kept since the tape and the memory are checked against each other; absent before.
    if (o.contains(QStringLiteral("bobinaBytes"))) {
      m.tapeBytes = requireCents(o, QStringLiteral("bobinaBytes"));
      if (m.tapeBytes < 0) bad(QStringLiteral("\"bobinaBytes\" negativo"));
    }
    for (const auto& [key, target] :
         {std::pair{QStringLiteral("ultimoFechado"), &m.lastClosedCoo},
          std::pair{QStringLiteral("ultimoCancelado"), &m.lastCancelledCoo}}) {
      if (!o.contains(key)) continue;
      *target = requireText(o, key);
      parseCounter(*target, key);
    }
  }
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
    // Memories written before these were kept: what the last coupon says.
    if (m.lastClosedCoo.isEmpty() && !lc.cancelled) m.lastClosedCoo = lc.coo;
    if (m.lastCancelledCoo.isEmpty() && lc.cancelled) m.lastCancelledCoo = lc.coo;
  }
  return m;
}

}  // namespace fiscal
