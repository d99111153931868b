// LocalTable: the public face of a local table (fields, open/close, load and save, cursor,
// reading and writing values, filter, indexes, locate). Each call checks the table's
// state and hands the work to LocalTablePrivate (LocalTablePrivate.h lists its parts);
// files go through the packet readers/writers and the one atomic writer.
#include <algorithm>

#include "framework/core/Error.h"
#include "framework/data/LocalTablePrivate.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/FileIo.h"
#include "framework/packet/XmlPacket.h"
#include "framework/text/NumberText.h"

namespace fw {

LocalTable::LocalTable(const QString& name, QObject* parent)
    : QObject(parent), d(std::make_unique<LocalTablePrivate>(this)) {
  d->name = name;
  setObjectName(name);
}

LocalTable::~LocalTable() = default;

const QString& LocalTable::name() const { return d->name; }

void LocalTable::declareFields(const std::vector<FieldDef>& fields) {
  if (d->active) close();
  std::vector<FieldDef> defs = fields;
  for (FieldDef& f : defs) {
    f.name = f.name.toUpper();
    if (f.type == FieldType::Text && f.width <= 0) f.width = 20;
  }
  d->declared = !defs.empty();
  d->setFields(std::move(defs));
  d->map.clear();
  for (std::size_t i = 0; i < d->fields.size(); ++i) d->map.push_back(static_cast<int>(i));
}

bool LocalTable::hasDeclaredFields() const { return d->declared; }
const std::vector<FieldDef>& LocalTable::fields() const { return d->fields; }
int LocalTable::fieldIndex(const QString& name) const { return d->lookup(name); }
const FieldDef& LocalTable::fieldByName(const QString& name) const {
  return d->fields[static_cast<std::size_t>(d->require(name))];
}
FieldDef& LocalTable::fieldDef(const QString& name) {
  return d->fields[static_cast<std::size_t>(d->require(name))];
}

void LocalTable::loadFromFile(const QString& path) {
  const QByteArray bytes = readWholeFile(path);
  d->adopt(readBinaryPacket(bytes, path), path);
}

void LocalTable::saveToFile(const QString& path) {
  d->requireActive();
  d->post();
  writeFileAtomically(path, writeBinaryPacket(d->packet));
}

void LocalTable::loadFromXmlFile(const QString& path) {
  QByteArray bytes = readWholeFile(path);
  d->adopt(readXmlPacket(std::move(bytes), path), path);
}

void LocalTable::saveToXmlFile(const QString& path) {
  d->requireActive();
  d->post();
  writeFileAtomically(path, writeXmlPacket(d->packet));
}

void LocalTable::createDataSet() {
  if (!d->declared)
    throw Error(QStringLiteral("Não é possível criar %1: ela não tem campos declarados.")
                    .arg(d->tableLabel()));
  d->adopt(DataPacket::create(d->fields), d->name);
}

void LocalTable::emptyDataSet() {
  d->requireActive();
  d->discardEdit();
  const bool wasEditing = d->state != State::Browse;
  d->state = State::Browse;
  d->packet.clearRecords();
  d->afterRecordsReplaced();
  if (wasEditing) emit stateChanged();
}

void LocalTable::close() {
  if (!d->active) return;
  d->discardEdit();
  d->active = false;
  d->state = State::Inactive;
  d->packet = DataPacket();
  d->rows.clear();
  d->materialized = false;
  d->lookups.clear();
  d->cur = -1;
  d->bof = d->eof = true;
  if (!d->declared) {
    d->setFields({});
    d->map.clear();
  } else {
    d->map.clear();
    for (std::size_t i = 0; i < d->fields.size(); ++i) d->map.push_back(static_cast<int>(i));
  }
  emit recordsChanged();
  emit stateChanged();
  emit cursorMoved(-1);
}

bool LocalTable::active() const { return d->active; }
LocalTable::State LocalTable::state() const { return d->state; }

Variant LocalTable::data() const {
  if (!d->active) return {};
  return Variant::packet(writeBinaryPacket(d->snapshot()));
}

DataPacket LocalTable::snapshot() const { return d->active ? d->snapshot() : DataPacket(); }

void LocalTable::setData(const Variant& packet) {
  if (packet.isNull()) {
    close();
    return;
  }
  const QByteArray bytes = packet.toPacket();
  const QString source = QStringLiteral("pacote de dados");
  d->adopt(readBinaryPacket(bytes, source), source);
}

bool LocalTable::isEmpty() const { return !d->active || d->recordCount() == 0; }

int LocalTable::recordCount() const {
  d->requireActive();
  return d->recordCount();
}

int LocalTable::recNo() const { return d->active ? d->cur + 1 : 0; }

void LocalTable::setRecNo(int recNo) {
  d->requireActive();
  d->post();
  const int count = d->recordCount();
  if (count == 0) return;
  d->setCursor(std::clamp(recNo, 1, count) - 1);
}

void LocalTable::first() {
  d->requireActive();
  d->post();
  d->moveFirst();
  emit cursorMoved(d->cur);
}

void LocalTable::last() {
  d->requireActive();
  d->post();
  const int count = d->recordCount();
  d->cur = count - 1;
  d->bof = count == 0;
  d->eof = true;
  emit cursorMoved(d->cur);
}

void LocalTable::next() {
  d->requireActive();
  d->post();
  if (d->cur + 1 < d->recordCount()) {
    d->setCursor(d->cur + 1);
  } else {
    d->eof = true;
  }
}

void LocalTable::prior() {
  d->requireActive();
  d->post();
  if (d->cur > 0) {
    d->setCursor(d->cur - 1);
  } else {
    d->bof = true;
  }
}

bool LocalTable::eof() const { return !d->active || d->eof || d->recordCount() == 0; }
bool LocalTable::bof() const { return !d->active || d->bof || d->recordCount() == 0; }

void LocalTable::insert() {
  d->requireActive();
  d->post();
  const int count = d->recordCount();
  if (count == 0) {
    d->insertAt(0, d->packet.recordCount());
    return;
  }
  const int row = std::max(d->cur, 0);
  d->insertAt(row, d->recordAt(row));
}

void LocalTable::append() {
  d->requireActive();
  d->post();
  d->insertAt(d->recordCount(), d->packet.recordCount());
}

void LocalTable::edit() {
  d->requireActive();
  if (d->state != State::Browse) return;
  if (d->currentRecord() < 0) {
    insert();  // editing an empty table opens a new record, as the host's tables do
    return;
  }
  d->beginEdit(d->currentRecord());
  d->state = State::Edit;
  emit stateChanged();
}

void LocalTable::post() {
  d->requireActive();
  d->post();
}

void LocalTable::cancel() {
  d->requireActive();
  d->cancel();
}

void LocalTable::remove() {
  d->requireActive();
  if (d->state == State::Insert) {
    d->cancel();
    return;
  }
  if (d->state == State::Edit) d->cancel();
  const int record = d->currentRecord();
  if (record < 0)
    throw Error(QStringLiteral("Operação não permitida: %1 está vazia.").arg(d->tableLabel()));
  const int row = d->cur;
  d->removeRecord(record);
  const int count = d->recordCount();
  d->cur = count == 0 ? -1 : std::min(row, count - 1);
  d->bof = d->eof = count == 0;
  emit recordsChanged();
  emit cursorMoved(d->cur);
}

QString LocalTable::asText(const QString& field) const {
  const int i = d->require(field);
  return d->textOf(i, d->fieldValue(i));
}

double LocalTable::asNumber(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return 0.0;
  if (v.kind() == Variant::Kind::Text)
    return v.toText().trimmed().isEmpty() ? 0.0 : parseNumber(v.toText());
  if (v.kind() == Variant::Kind::Packet) return parseNumber(d->textOf(i, v));
  return v.toNumber();
}

qint64 LocalTable::asInteger(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return 0;
  if (v.kind() == Variant::Kind::Text)
    return v.toText().trimmed().isEmpty() ? 0 : textToInteger(v.toText());
  if (v.kind() == Variant::Kind::Packet) return textToInteger(d->textOf(i, v));
  return v.toInteger();
}

bool LocalTable::asFlag(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return false;
  if (v.kind() == Variant::Kind::Text)
    return v.toText().trimmed().isEmpty() ? false : textToFlag(v.toText());
  if (v.kind() == Variant::Kind::Packet) return textToFlag(d->textOf(i, v));
  return v.toFlag();
}

double LocalTable::asDateTime(const QString& field) const {
  const int i = d->require(field);
  const Variant v = d->fieldValue(i);
  if (v.isNull()) return 0.0;
  if (v.kind() == Variant::Kind::Text)
    return v.toText().trimmed().isEmpty() ? 0.0 : parseDateTime(v.toText());
  return v.toDateTime();
}

Variant LocalTable::asVariant(const QString& field) const {
  const int i = d->require(field);
  return d->asOwnType(i, d->fieldValue(i));
}

bool LocalTable::isNull(const QString& field) const {
  return d->fieldValue(d->require(field)).isNull();
}

QString LocalTable::displayText(const QString& field) const {
  const int i = d->require(field);
  return d->displayOf(i, d->fieldValue(i));
}

void LocalTable::setText(const QString& field, const QString& value) {
  const int i = d->require(field);
  d->requireEditing();
  d->write(i, d->fromText(d->map[static_cast<std::size_t>(i)], value));
}

void LocalTable::setNumber(const QString& field, double value) {
  d->write(d->require(field), Variant(value));
}

void LocalTable::setDateTime(const QString& field, double value) {
  d->write(d->require(field), Variant::dateTime(value));
}

void LocalTable::setVariant(const QString& field, const Variant& value) {
  const int i = d->require(field);
  d->requireEditing();
  if (value.kind() == Variant::Kind::Text) {
    d->write(i, d->fromText(d->map[static_cast<std::size_t>(i)], value.toText()));
    return;
  }
  d->write(i, value);
}

void LocalTable::setNull(const QString& field) { d->write(d->require(field), Variant()); }

QString LocalTable::displayTextAt(int visibleRow, int fieldIndex) const {
  return d->displayOf(fieldIndex, valueAt(visibleRow, fieldIndex));
}

QString LocalTable::textAt(int visibleRow, int fieldIndex) const {
  return d->textOf(fieldIndex, valueAt(visibleRow, fieldIndex));
}

Variant LocalTable::valueAt(int visibleRow, int fieldIndex) const {
  if (!d->active || visibleRow < 0 || visibleRow >= d->recordCount() || fieldIndex < 0 ||
      fieldIndex >= static_cast<int>(d->fields.size()))
    return {};
  return d->asOwnType(fieldIndex, d->storedValue(d->recordAt(visibleRow),
                                                 d->map[static_cast<std::size_t>(fieldIndex)]));
}

void LocalTable::setFilter(const QString& text) {
  if (text == d->filterText) return;
  // Read now only when it applies now; otherwise when it comes into force.
  std::unique_ptr<FilterNode> tree = d->active && d->filtered ? parseFilter(text) : nullptr;
  if (tree) d->checkFilterFields(*tree);
  d->filterText = text;
  d->filterTree = std::move(tree);
  if (d->active && d->filtered) {
    d->post();
    d->rebuildView();
    d->moveFirst();
    emit recordsChanged();
    emit cursorMoved(d->cur);
  }
}

const QString& LocalTable::filter() const { return d->filterText; }

void LocalTable::setFiltered(bool on) {
  if (on == d->filtered) return;
  if (on && d->active) {
    if (!d->filterTree && !d->filterText.trimmed().isEmpty())
      d->filterTree = parseFilter(d->filterText);
    if (d->filterTree) d->checkFilterFields(*d->filterTree);
  }
  d->filtered = on;
  if (d->active) {
    d->post();
    d->rebuildView();
    d->moveFirst();
    emit recordsChanged();
    emit cursorMoved(d->cur);
  }
}

bool LocalTable::filtered() const { return d->filtered; }

// The packet positions of ";"-separated field names.
std::vector<int> LocalTablePrivate::packetFields(const QString& fieldList) const {
  std::vector<int> pfs;
  for (const QString& n : fieldList.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    pfs.push_back(map[static_cast<std::size_t>(require(n.trimmed()))]);
  return pfs;
}

void LocalTable::prepareLocate(const QString& fieldList, int options) {
  d->requireActive();
  const std::vector<int> pfs = d->packetFields(fieldList);
  if (pfs.empty() || (options & PartialKey)) return;
  d->post();
  d->lookupIndex(pfs, options & CaseInsensitive);
}

bool LocalTable::locate(const QString& fieldList, const Variant& values, int options) {
  d->requireActive();
  const std::vector<int> pfs = d->packetFields(fieldList);
  if (pfs.empty()) throw Error(QStringLiteral("Nenhum campo informado para a busca."));
  VariantList wanted;
  if (values.isArray()) {
    wanted = values.items();
  } else {
    wanted.push_back(values);
  }
  if (wanted.size() != pfs.size())
    throw Error(QStringLiteral("A busca por '%1' precisa de %2 valores, recebeu %3.")
                    .arg(fieldList)
                    .arg(pfs.size())
                    .arg(wanted.size()));
  d->post();
  const bool ci = options & CaseInsensitive;
  const int count = d->recordCount();
  int found = -1;
  if (options & PartialKey) {
    for (int row = 0; row < count && found < 0; ++row) {
      bool all = true;
      for (std::size_t k = 0; k < pfs.size() && all; ++k) {
        const QString stored = d->packet.text(d->recordAt(row), pfs[k]);
        all = stored.startsWith(wanted[k].toText(), ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
      }
      if (all) found = row;
    }
  } else {
    QByteArray key;
    for (std::size_t k = 0; k < pfs.size(); ++k)
      if (!d->valueKey(pfs[k], wanted[k], ci, key)) return false;
    if (count < 64) {
      QByteArray stored;
      for (int row = 0; row < count && found < 0; ++row) {
        stored.clear();
        for (int pf : pfs) d->recordKey(d->recordAt(row), pf, ci, stored);
        if (stored == key) found = row;
      }
    } else {
      for (quint32 record : d->candidates(pfs, key, ci)) {
        const int row = d->rowOf(static_cast<int>(record));
        if (row >= 0 && (found < 0 || row < found)) {
          found = row;
          if (!d->materialized || !d->indexInForce()) break;  // candidates come in table order
        }
      }
    }
  }
  if (found < 0) return false;
  d->setCursor(found);
  return true;
}

void LocalTable::addIndex(const QString& name, const QString& fields) {
  const QStringList list = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (auto& def : d->indexes)
    if (def.name.compare(name, Qt::CaseInsensitive) == 0) {
      def.fields = list;
      return;
    }
  d->indexes.push_back({name, list});
}

void LocalTable::setIndexName(const QString& name) {
  if (!name.isEmpty()) {
    const bool known = std::any_of(d->indexes.begin(), d->indexes.end(), [&](const auto& def) {
      return def.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (!known) throw Error(QStringLiteral("Índice '%1' não encontrado.").arg(name));
  }
  d->indexName = name;
  if (d->active) {
    d->post();
    const int record = d->currentRecord();
    d->rebuildView();
    d->follow(record, 0);
    emit recordsChanged();
    emit cursorMoved(d->cur);
  }
}

const QString& LocalTable::indexName() const { return d->indexName; }

}  // namespace fw
