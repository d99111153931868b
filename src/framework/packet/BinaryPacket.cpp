// Binary data packet codec. Layout: signature, version, two fixed words, field and record
// counts, header size, field descriptors, packet properties, then the records.
#include "framework/packet/BinaryPacket.h"

#include <QSet>
#include <cstring>
#include <limits>

#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/PacketBytes.h"

namespace fw {

using packetbytes::appendLE;

namespace {

constexpr unsigned char kSignature[4] = {0x96, 0x19, 0xE0, 0xBD};
constexpr int kFixedHeader = 24;

// Record status bits of a packet saved with pending changes.
constexpr quint8 kOriginal = 0x01;
constexpr quint8 kDeleted = 0x02;
constexpr quint8 kInserted = 0x04;
constexpr quint8 kModified = 0x08;
constexpr quint8 kUnused = 0x20;
constexpr quint8 kDetailUpdate = 0x40;
constexpr quint8 kKnownStatus =
    kOriginal | kDeleted | kInserted | kModified | kUnused | kDetailUpdate;

class Reader {
 public:
  Reader(const QByteArray& bytes, const QString& source) : bytes_(bytes), source_(source) {}

  [[noreturn]] void fail(const QString& what, qsizetype at = -1) const {
    throw Error(QStringLiteral("O arquivo '%1' não é uma tabela válida: %2 (deslocamento %3).")
                    .arg(source_, what)
                    .arg(at < 0 ? pos_ : at));
  }

  qsizetype pos() const { return pos_; }
  qsizetype remaining() const { return bytes_.size() - pos_; }
  const char* here() const { return bytes_.constData() + pos_; }

  void need(qsizetype n, const QString& what) {
    if (n < 0 || remaining() < n)
      fail(QStringLiteral("%1: esperados %2 bytes, restam %3").arg(what).arg(n).arg(remaining()));
  }

  quint64 uint(int size, const QString& what) {
    need(size, what);
    quint64 v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes_[pos_ + i]);
    pos_ += size;
    return v;
  }
  quint8 u8(const QString& what) { return static_cast<quint8>(uint(1, what)); }
  quint16 u16(const QString& what) { return static_cast<quint16>(uint(2, what)); }
  qint32 i32(const QString& what) {
    return static_cast<qint32>(static_cast<quint32>(uint(4, what)));
  }

  QByteArray take(qsizetype n, const QString& what) {
    need(n, what);
    QByteArray out(bytes_.constData() + pos_, n);
    pos_ += n;
    return out;
  }

  void skip(qsizetype n) { pos_ += n; }

 private:
  const QByteArray& bytes_;
  const QString& source_;
  qsizetype pos_ = 0;
};

std::vector<PacketProperty> readProperties(Reader& in, const QString& owner) {
  const quint16 count = in.u16(QStringLiteral("número de propriedades de %1").arg(owner));
  std::vector<PacketProperty> props;
  // Each property takes at least 5 bytes; a corrupt count cannot make us reserve more.
  props.reserve(std::min<qsizetype>(count, in.remaining() / 5));
  for (int i = 0; i < count; ++i) {
    const QString what = QStringLiteral("propriedade %1 de %2").arg(i + 1).arg(owner);
    PacketProperty p;
    p.name = in.take(in.u8(what), what);
    const QString named =
        QStringLiteral("propriedade '%1' de %2").arg(fromWindows1252(p.name), owner);
    p.size = in.u16(named);
    p.type = in.u16(named);
    if (p.isArray()) {
      p.count = static_cast<quint32>(in.uint(4, named));
      const quint64 total = quint64(p.count) * p.size;
      if (total > quint64(in.remaining()))
        in.fail(QStringLiteral("%1: %2 elementos de %3 bytes não cabem nos %4 bytes restantes")
                    .arg(named)
                    .arg(p.count)
                    .arg(p.size)
                    .arg(in.remaining()));
      p.value = in.take(static_cast<qsizetype>(total), named);
    } else if (p.isVarying()) {
      if (p.size != 1 && p.size != 2 && p.size != 4)
        in.fail(QStringLiteral("%1: prefixo de comprimento de %2 bytes (esperado 1, 2 ou 4)")
                    .arg(named)
                    .arg(p.size));
      const quint64 length = in.uint(p.size, named);
      if (length > quint64(in.remaining()))
        in.fail(QStringLiteral("%1: valor de %2 bytes, restam %3")
                    .arg(named)
                    .arg(length)
                    .arg(in.remaining()));
      p.value = in.take(static_cast<qsizetype>(length), named);
    } else {
      p.value = in.take(p.size, named);
    }
    props.push_back(std::move(p));
  }
  return props;
}

void writeProperties(QByteArray& out, const std::vector<PacketProperty>& props,
                     bool dropChangeLog) {
  qsizetype written = 0;
  const qsizetype countAt = out.size();
  appendLE(out, 0, 2);
  for (const PacketProperty& p : props) {
    if (dropChangeLog && p.name == "CHANGE_LOG") continue;
    if (p.name.size() > 255)
      throw Error(
          QStringLiteral("Nome de propriedade longo demais: '%1'.").arg(fromWindows1252(p.name)));
    out.append(static_cast<char>(p.name.size()));
    out.append(p.name);
    appendLE(out, p.size, 2);
    appendLE(out, p.type, 2);
    if (p.isArray()) {
      appendLE(out, p.count, 4);
    } else if (p.isVarying()) {
      appendLE(out, static_cast<quint64>(p.value.size()), p.size);
    }
    out.append(p.value);
    ++written;
  }
  if (written > 0xFFFF) throw Error(QStringLiteral("Propriedades demais no pacote de dados."));
  out[countAt] = static_cast<char>(written & 0xFF);
  out[countAt + 1] = static_cast<char>(written >> 8);
}

}  // namespace

DataPacket readBinaryPacket(const QByteArray& bytes, const QString& source) {
  Reader in(bytes, source);
  DataPacket packet;
  in.need(kFixedHeader, QStringLiteral("cabeçalho"));
  if (std::memcmp(in.here(), kSignature, 4) != 0)
    in.fail(QStringLiteral("assinatura de pacote de dados ausente"));
  in.skip(4);
  packet.version = in.i32(QStringLiteral("versão"));
  packet.reserved1 = in.i32(QStringLiteral("cabeçalho"));
  const quint16 fieldCount = in.u16(QStringLiteral("número de campos"));
  const qint32 recordCount = in.i32(QStringLiteral("número de registros"));
  packet.reserved2 = in.i32(QStringLiteral("cabeçalho"));
  const quint16 headerSize = in.u16(QStringLiteral("tamanho do cabeçalho"));
  if (recordCount < 0)
    in.fail(QStringLiteral("número de registros negativo (%1)").arg(recordCount), 10);

  packet.fields.reserve(std::min<qsizetype>(fieldCount, in.remaining() / 9));
  QSet<QString> names;  // fields are found by name without regard to case
  for (int i = 0; i < fieldCount; ++i) {
    const qsizetype at = in.pos();
    const QString what = QStringLiteral("descritor do campo %1").arg(i + 1);
    PacketField f;
    f.rawName = in.take(in.u8(what), what);
    f.name = fromWindows1252(f.rawName);
    const QString named = QStringLiteral("campo '%1'").arg(f.name);
    const QString key = f.name.toCaseFolded();
    if (names.contains(key))
      in.fail(QStringLiteral("dois campos com o nome '%1' (maiúsculas e minúsculas não distinguem "
                             "campos)")
                  .arg(f.name),
              at);
    names.insert(key);
    f.size = in.u16(named);
    f.type = in.u16(named);
    f.attributes = in.u16(named);
    f.properties = readProperties(in, named);
    packet.fields.push_back(std::move(f));
    try {
      DataPacket one;
      one.fields.push_back(packet.fields.back());
      one.prepare();
      packet.fields.back() = one.fields.back();
    } catch (const Error& e) {
      in.fail(e.message().chopped(1), at);
    }
  }
  packet.properties = readProperties(in, QStringLiteral("o pacote"));
  if (in.pos() != headerSize)
    in.fail(
        QStringLiteral("o cabeçalho declara %1 bytes, mas tem %2").arg(headerSize).arg(in.pos()));

  const int nb = packet.nullBytes();
  if (qint64(recordCount) * (1 + nb) > in.remaining())
    in.fail(QStringLiteral("%1 registros não cabem nos %2 bytes restantes")
                .arg(recordCount)
                .arg(in.remaining()));
  std::vector<DataPacket::Record> records;
  records.reserve(static_cast<std::size_t>(recordCount));
  const int n = static_cast<int>(packet.fields.size());
  for (qint32 r = 0; r < recordCount; ++r) {
    int bad = -1;
    const qsizetype length = packet.measure(in.here(), in.remaining(), &bad);
    if (length == -2) {
      const PacketField& f = packet.fields[static_cast<std::size_t>(bad)];
      in.fail(
          QStringLiteral("registro %1, campo '%2': texto mais longo que a largura do campo (%3)")
              .arg(r + 1)
              .arg(f.name)
              .arg(f.width()));
    }
    if (length < 0) {
      in.fail(bad < 0 ? QStringLiteral("registro %1: marcas de nulos incompletas").arg(r + 1)
                      : QStringLiteral("registro %1, campo '%2': o valor passa do fim do arquivo")
                            .arg(r + 1)
                            .arg(packet.fields[static_cast<std::size_t>(bad)].name));
    }
    const auto* rec = reinterpret_cast<const unsigned char*>(in.here());
    const quint8 status = rec[0];
    if (status & ~kKnownStatus)
      in.fail(
          QStringLiteral("registro %1: situação desconhecida 0x%2").arg(r + 1).arg(status, 0, 16));
    if (!(status & (kOriginal | kDeleted | kUnused))) {
      for (int i = 0; i < n; ++i) {
        const int bits = (rec[1 + i / 4] >> ((i % 4) * 2)) & 3;
        if (bits >= 2)
          in.fail(QStringLiteral(
                      "registro %1, campo '%2': valor marcado como não alterado, sem o registro "
                      "original (alterações pendentes não são suportadas)")
                      .arg(r + 1)
                      .arg(packet.fields[static_cast<std::size_t>(i)].name));
      }
      records.push_back({static_cast<quint32>(in.pos()), static_cast<quint32>(length)});
    }
    in.skip(length);
  }
  if (in.remaining() != 0)
    in.fail(QStringLiteral("%1 bytes a mais depois do último registro").arg(in.remaining()));
  if (bytes.size() > std::numeric_limits<qint32>::max())
    in.fail(QStringLiteral("arquivo grande demais"));
  packet.adoptRecords(bytes, std::move(records));
  return packet;
}

QByteArray writeBinaryPacket(const DataPacket& packet) {
  if (packet.fields.size() > 0xFFFF)
    throw Error(QStringLiteral("Campos demais para um pacote de dados."));
  QByteArray header;
  header.append(reinterpret_cast<const char*>(kSignature), 4);
  appendLE(header, static_cast<quint32>(packet.version), 4);
  appendLE(header, static_cast<quint32>(packet.reserved1), 4);
  appendLE(header, packet.fields.size(), 2);
  appendLE(header, static_cast<quint64>(packet.recordCount()), 4);
  appendLE(header, static_cast<quint32>(packet.reserved2), 4);
  appendLE(header, 0, 2);
  for (const PacketField& f : packet.fields) {
    if (f.rawName.size() > 255)
      throw Error(QStringLiteral("Nome de campo longo demais: '%1'.").arg(f.name));
    header.append(static_cast<char>(f.rawName.size()));
    header.append(f.rawName);
    appendLE(header, f.size, 2);
    appendLE(header, f.type, 2);
    appendLE(header, f.attributes, 2);
    writeProperties(header, f.properties, false);
  }
  writeProperties(header, packet.properties, true);
  if (header.size() > 0xFFFF)
    throw Error(QStringLiteral("Cabeçalho grande demais para um pacote de dados."));
  header[22] = static_cast<char>(header.size() & 0xFF);
  header[23] = static_cast<char>(header.size() >> 8);

  QByteArray out;
  out.reserve(header.size() + packet.liveBytes());
  out.append(header);
  for (int r = 0; r < packet.recordCount(); ++r) {
    const QByteArrayView record = packet.recordBytes(r);
    out.append('\0');  // every record written as current data
    out.append(record.sliced(1));
  }
  return out;
}

}  // namespace fw
