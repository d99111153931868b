// The kept sale's file: one table holding a header row, the item rows and the payment rows.
// Values travel as their stored bytes between the lists' packets and the file's, so an item
// comes back exactly as it went (nulls, texts in the file's code page, numbers to the bit).
#include "module/shell/KeptSale.h"

#include <QFileInfo>
#include <algorithm>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/DataPacket.h"
#include "framework/packet/FileIo.h"
#include "module/shell/Paths.h"
#include "module/shell/TfrmVendaArquivo.h"

namespace shell {

namespace {

using fw::DataPacket;
using fw::FieldDef;
using fw::RecordBuilder;

const QString kKind = QStringLiteral("TIPOREG");
const QString kCouponOpen = QStringLiteral("IDCUPOMABERTO");
const QString kOwed = QStringLiteral("IDARQDEVIDO");
const QString kFilesTried = QStringLiteral("IDARQTENTADO");
const QString kCoupon = QStringLiteral("NRCUPOMVEN");
const QString kLastCoupon = QStringLiteral("NRULTCUPOM");
const QString kLastFile = QStringLiteral("NMARQULTCUPOM");
const QString kSaleTotal = QStringLiteral("VRTOTALVENDA");
const QString kReceived = QStringLiteral("VRTOTALRECE");
const QString kPending = QStringLiteral("IDCOMANDOPEND");
const QString kPendingItem = QStringLiteral("NRITEMPEND");

// The file's fields: the header's, then the item list's, then the payment list's that the
// item list lacks (a name both have shares one column, wide enough for either).
struct Layout {
  std::vector<FieldDef> fields;
  std::vector<FieldDef> itemFields;
  std::vector<FieldDef> paymentFields;
  std::vector<int> itemColumn;     // item field i -> file column
  std::vector<int> paymentColumn;  // payment field i -> file column
};

int indexOf(const std::vector<FieldDef>& fields, const QString& name) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::vector<int> mergeInto(std::vector<FieldDef>& fields, const std::vector<FieldDef>& list) {
  std::vector<int> columns;
  for (const FieldDef& def : list) {
    int at = indexOf(fields, def.name);
    if (at < 0) {
      FieldDef copy = def;
      copy.displayText = {};
      fields.push_back(copy);
      at = static_cast<int>(fields.size()) - 1;
    } else {
      FieldDef& shared = fields[static_cast<std::size_t>(at)];
      if (shared.type != def.type)
        throw fw::Error(
            QStringLiteral("Campo '%1' com tipos diferentes nas listas da venda.").arg(def.name));
      shared.width = std::max(shared.width, def.width);
    }
    columns.push_back(at);
  }
  return columns;
}

const Layout& layout() {
  static const Layout built = [] {
    Layout l;
    l.itemFields = TfrmVendaArquivo::itemListFields();
    l.paymentFields = TfrmVendaArquivo::paymentListFields();
    l.fields = {FieldDef::text(kKind, 1),       FieldDef::text(kCouponOpen, 1),
                FieldDef::text(kOwed, 1),       FieldDef::text(kFilesTried, 1),
                FieldDef::text(kCoupon, 10),    FieldDef::text(kLastCoupon, 10),
                FieldDef::text(kLastFile, 120), FieldDef::number(kSaleTotal),
                FieldDef::number(kReceived),    FieldDef::text(kPending, 1),
                FieldDef::text(kPendingItem, 3)};
    l.itemColumn = mergeInto(l.fields, l.itemFields);
    l.paymentColumn = mergeInto(l.fields, l.paymentFields);
    return l;
  }();
  return built;
}

// Copies every row of a list into the file under `kind`, value bytes as stored.
void copyRows(const fw::LocalTable& table, const QString& kind,
              const std::vector<FieldDef>& listFields, const std::vector<int>& columns,
              DataPacket& file, RecordBuilder& row) {
  const DataPacket list = table.snapshot();
  std::vector<int> from;  // list field i -> column in the list's packet
  for (const FieldDef& def : listFields) from.push_back(list.fieldIndex(def.name));
  const int kindColumn = 0;
  for (int r = 0; r < list.recordCount(); ++r) {
    row.reset();
    row.setText(kindColumn, kind);
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (from[i] < 0) continue;
      const fw::ValueSpan value = list.span(r, from[i]);
      if (!value.null) row.setRaw(columns[i], value.data, value.size);
    }
    file.appendRecord(row.finish());
  }
}

// Rebuilds a list's packet from the file's rows of `kind`; an empty list gives no bytes.
QByteArray listRows(const DataPacket& file, const QString& kind,
                    const std::vector<FieldDef>& listFields) {
  DataPacket list = DataPacket::create(listFields);
  RecordBuilder row(list);
  std::vector<int> from;  // list field i -> column in the file as read
  for (std::size_t i = 0; i < listFields.size(); ++i)
    from.push_back(file.fieldIndex(listFields[i].name));
  for (int r = 0; r < file.recordCount(); ++r) {
    if (file.text(r, 0) != kind) continue;
    row.reset();
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (from[i] < 0) continue;
      const fw::ValueSpan value = file.span(r, from[i]);
      if (!value.null) row.setRaw(static_cast<int>(i), value.data, value.size);
    }
    list.appendRecord(row.finish());
  }
  if (list.isEmpty()) return {};
  return fw::writeBinaryPacket(list);
}

QString flag(bool on) { return on ? QStringLiteral("S") : QStringLiteral("N"); }

}  // namespace

QString KeptSale::path() { return hostPath(QStringLiteral("\\VendaEmAndamento.cds")); }

bool KeptSale::inProgress(const KeptSaleState& state, const fw::LocalTable& items,
                          const fw::LocalTable& payments) {
  return state.couponOpen || !state.owed.isEmpty() || !state.pendingCommand.isEmpty() ||
         !items.isEmpty() || !payments.isEmpty();
}

QByteArray KeptSale::encode(const KeptSaleState& state, const fw::LocalTable& items,
                            const fw::LocalTable& payments) {
  const Layout& l = layout();
  DataPacket file = DataPacket::create(l.fields);
  RecordBuilder row(file);
  const auto column = [&file](const QString& name) { return file.fieldIndex(name); };
  row.setText(column(kKind), QStringLiteral("V"));
  row.setText(column(kCouponOpen), flag(state.couponOpen));
  if (!state.owed.isEmpty()) row.setText(column(kOwed), state.owed);
  row.setText(column(kFilesTried), flag(state.filesTried));
  if (!state.coupon.isEmpty()) row.setText(column(kCoupon), state.coupon);
  if (!state.lastClosedCoupon.isEmpty()) row.setText(column(kLastCoupon), state.lastClosedCoupon);
  if (!state.lastClosedFile.isEmpty()) row.setText(column(kLastFile), state.lastClosedFile);
  row.setVariant(column(kSaleTotal), fw::Variant(state.saleTotal));
  row.setVariant(column(kReceived), fw::Variant(state.received));
  if (!state.pendingCommand.isEmpty()) row.setText(column(kPending), state.pendingCommand);
  if (!state.pendingItem.isEmpty()) row.setText(column(kPendingItem), state.pendingItem);
  file.appendRecord(row.finish());
  copyRows(items, QStringLiteral("I"), l.itemFields, l.itemColumn, file, row);
  copyRows(payments, QStringLiteral("R"), l.paymentFields, l.paymentColumn, file, row);
  return fw::writeBinaryPacket(file);
}

void KeptSale::decode(const QByteArray& bytes, const QString& source, KeptSaleState& state,
                      fw::LocalTable& items, fw::LocalTable& payments) {
  const Layout& l = layout();
  const DataPacket file = fw::readBinaryPacket(bytes, source);
  for (const QString& name : {kKind, kCouponOpen, kOwed, kFilesTried, kCoupon, kLastCoupon,
                              kLastFile, kSaleTotal, kReceived}) {
    if (file.fieldIndex(name) < 0)
      throw fw::Error(QStringLiteral("Campo '%1' não encontrado em %2.").arg(name, source));
  }
  if (file.isEmpty() || file.text(0, file.fieldIndex(kKind)) != QLatin1String("V"))
    throw fw::Error(QStringLiteral("O arquivo %1 não começa pela linha da venda.").arg(source));

  const auto text = [&file](const QString& name) { return file.text(0, file.fieldIndex(name)); };
  const auto number = [&file](const QString& name) {
    const fw::Variant v = file.value(0, file.fieldIndex(name));
    return v.isNull() ? 0.0 : v.toNumber();
  };
  KeptSaleState read;
  read.couponOpen = text(kCouponOpen) == QLatin1String("S");
  read.owed = text(kOwed);
  read.filesTried = text(kFilesTried) == QLatin1String("S");
  read.coupon = text(kCoupon);
  read.lastClosedCoupon = text(kLastCoupon);
  read.lastClosedFile = text(kLastFile);
  read.saleTotal = number(kSaleTotal);
  read.received = number(kReceived);
  // Kept sales written before the pending command was kept have no such columns.
  const auto optionalText = [&file](const QString& name) {
    const int at = file.fieldIndex(name);
    return at < 0 ? QString() : file.text(0, at);
  };
  read.pendingCommand = optionalText(kPending);
  read.pendingItem = optionalText(kPendingItem);

  const QByteArray itemRows = listRows(file, QStringLiteral("I"), l.itemFields);
  const QByteArray paymentRows = listRows(file, QStringLiteral("R"), l.paymentFields);
  items.close();
  if (!itemRows.isEmpty()) items.setData(fw::Variant::packet(itemRows));
  payments.close();
  if (!paymentRows.isEmpty()) payments.setData(fw::Variant::packet(paymentRows));
  state = read;
}

void KeptSale::save(const KeptSaleState& state, const fw::LocalTable& items,
                    const fw::LocalTable& payments) {
  QByteArray bytes = encode(state, items, payments);
  if (bytes == lastWritten_) return;
  fw::writeFileAtomically(path(), bytes);
  lastWritten_ = std::move(bytes);
}

bool KeptSale::load(KeptSaleState& state, fw::LocalTable& items, fw::LocalTable& payments) {
  const QString file = path();
  if (!QFileInfo(file).isFile()) return false;
  const QByteArray bytes = fw::readWholeFile(file);
  decode(bytes, file, state, items, payments);
  lastWritten_.clear();
  return true;
}

}  // namespace shell
