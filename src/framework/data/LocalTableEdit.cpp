// Cursor and edit buffer of a LocalTable. An edited or inserted record keeps its new
// values in `buffer` (one optional value per packet field) until post writes the record
// through RecordBuilder or cancel drops it; the view and lookup indexes follow every
// change. Called by the public API.
#include <algorithm>

#include "framework/core/Error.h"
#include "framework/data/LocalTablePrivate.h"

namespace fw {

void LocalTablePrivate::moveFirst() {
  cur = recordCount() > 0 ? 0 : -1;
  bof = true;
  eof = recordCount() == 0;
}

void LocalTablePrivate::setCursor(int row) {
  cur = row;
  bof = eof = false;
  emit q->cursorMoved(cur);
}

// Keeps the cursor on `record` after the view changed, or the nearest row.
void LocalTablePrivate::follow(int record, int fallbackRow) {
  const int row = rowOf(record);
  const int count = recordCount();
  cur = row >= 0 ? row : (count == 0 ? -1 : std::clamp(fallbackRow, 0, count - 1));
  bof = eof = count == 0;
}

// --- editing --------------------------------------------------------------------------

void LocalTablePrivate::discardEdit() {
  editRecord = -1;
  buffer.clear();
}

void LocalTablePrivate::beginEdit(int record) {
  editRecord = record;
  buffer.assign(packet.fields.size(), std::nullopt);
}

void LocalTablePrivate::shiftRows(int from, int delta) {
  for (quint32& r : rows)
    if (static_cast<int>(r) >= from) r = static_cast<quint32>(static_cast<int>(r) + delta);
}

void LocalTablePrivate::insertAt(int row, int record) {
  RecordBuilder empty(packet, Unencodable::Replace);
  packet.insertRecord(record, empty.finish());
  if (materialized) {
    shiftRows(record, 1);
    rows.insert(rows.begin() + row, static_cast<quint32>(record));
  }
  lookups.clear();
  beginEdit(record);
  state = LocalTable::State::Insert;
  cur = row;
  bof = eof = false;
  emit q->recordsChanged();
  emit q->stateChanged();
  emit q->cursorMoved(cur);
}

void LocalTablePrivate::removeRecord(int record) {
  packet.remove(record);
  if (materialized) {
    rows.erase(std::remove(rows.begin(), rows.end(), static_cast<quint32>(record)), rows.end());
    shiftRows(record + 1, -1);
  }
  lookups.clear();
  packet.compactIfWasteful();
}

void LocalTablePrivate::post() {
  if (state != LocalTable::State::Insert && state != LocalTable::State::Edit) return;
  for (std::size_t i = 0; i < packet.fields.size(); ++i) {
    const PacketField& f = packet.fields[i];
    if (!(f.attributes & fieldattr::kRequired)) continue;
    const bool null =
        buffer[i] ? buffer[i]->isNull() : packet.isNull(editRecord, static_cast<int>(i));
    if (null) throw Error(QStringLiteral("O campo '%1' precisa de um valor.").arg(f.name));
  }
  RecordBuilder builder(packet, Unencodable::Replace);
  for (std::size_t i = 0; i < packet.fields.size(); ++i) {
    const int pf = static_cast<int>(i);
    if (buffer[i]) {
      builder.setVariant(pf, *buffer[i]);
    } else {
      const ValueSpan s = packet.span(editRecord, pf);
      if (!s.null) builder.setRaw(pf, s.data, s.size);
    }
  }
  const int record = editRecord;
  packet.replace(record, builder.finish());
  discardEdit();
  state = LocalTable::State::Browse;
  lookups.clear();
  packet.compactIfWasteful();
  if (materialized) {
    const int before = cur;
    rebuildView();
    follow(record, before);
    emit q->recordsChanged();
  } else {
    emit q->valueChanged(cur);
  }
  emit q->stateChanged();
  emit q->cursorMoved(cur);
}

void LocalTablePrivate::cancel() {
  if (state == LocalTable::State::Insert) {
    const int record = editRecord;
    const int row = cur;
    discardEdit();
    removeRecord(record);
    state = LocalTable::State::Browse;
    const int count = recordCount();
    cur = count == 0 ? -1 : std::min(row, count - 1);
    bof = eof = count == 0;
    emit q->recordsChanged();
  } else if (state == LocalTable::State::Edit) {
    discardEdit();
    state = LocalTable::State::Browse;
    emit q->valueChanged(cur);
  } else {
    return;
  }
  emit q->stateChanged();
  emit q->cursorMoved(cur);
}

}  // namespace fw
