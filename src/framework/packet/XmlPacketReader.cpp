// XML packets read through pugixml, in place over the file's own buffer, so a 33 MB catalog
// loads in a fraction of a second and a hostile file costs about its size. Values go straight
// from attribute text to the encoded record, without an intermediate Variant, because
// catalogs are large. Every value is kept exactly or the file is refused.
#include <QDate>
#include <QStringDecoder>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <pugixml.hpp>

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/PacketBytes.h"
#include "framework/packet/XmlPacket.h"
#include "framework/packet/XmlPacketPrivate.h"

namespace fw {

using namespace xmlpacket;

namespace {

// The reader over pugixml's tree. Attribute values are NUL-terminated UTF-8 inside the
// buffer pugixml parsed in place.
class XmlReader {
 public:
  XmlReader(QByteArray xml, const QString& source) : buffer_(std::move(xml)), source_(source) {}

  DataPacket read() {
    const bool utf16 = toUtf8FromUtf16();
    refuseNulls();
    char* data = buffer_.data();
    const pugi::xml_parse_result parsed = doc_.load_buffer_inplace(
        data, static_cast<std::size_t>(buffer_.size()),
        pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype,
        utf16 ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (!parsed) fail(QString::fromUtf8(parsed.description()), parsed.offset);
    pugi::xml_node root;
    for (pugi::xml_node node = doc_.first_child(); node; node = node.next_sibling()) {
      if (node.type() == pugi::node_doctype)
        fail(QStringLiteral("DOCTYPE não é aceito"), node.offset_debug());
      if (node.type() == pugi::node_declaration) checkDeclaration(node);
      if (node.type() == pugi::node_element) {
        if (root) fail(QStringLiteral("mais de um elemento raiz"), node.offset_debug());
        root = node;
      }
    }
    if (!root || std::strcmp(root.name(), "DATAPACKET") != 0)
      fail(QStringLiteral("falta o elemento DATAPACKET"), 0);
    bool sawMetadata = false;
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      if (std::strcmp(node.name(), "METADATA") == 0) {
        if (sawMetadata) fail(QStringLiteral("METADATA repetido"), node.offset_debug());
        readMetadata(node);
        sawMetadata = true;
      } else if (std::strcmp(node.name(), "ROWDATA") == 0) {
        if (!sawMetadata) fail(QStringLiteral("ROWDATA antes de METADATA"), node.offset_debug());
        readRows(node);
      }
    }
    if (!sawMetadata) fail(QStringLiteral("falta o elemento METADATA"), root.offset_debug());
    return std::move(packet_);
  }

 private:
  [[noreturn]] void fail(const QString& what, std::ptrdiff_t offset) const {
    throw Error(QStringLiteral("O arquivo '%1' não é um pacote XML válido: %2 (posição %3).")
                    .arg(source_, what)
                    .arg(offset));
  }

  // Where an attribute's value starts in the file (its element's start when pugixml had to
  // convert the file's encoding into a buffer of its own).
  std::ptrdiff_t offsetOf(const pugi::xml_attribute& a, const pugi::xml_node& element) const {
    const char* at = a.value();
    const char* begin = buffer_.constData();
    return at >= begin && at < begin + buffer_.size() ? at - begin : element.offset_debug();
  }

  // A UTF-16 file (known by its byte-order mark) is read as the same text in UTF-8, so the
  // checks below see every file alike.
  bool toUtf8FromUtf16() {
    const auto bom = [&](unsigned char a, unsigned char b) {
      return buffer_.size() >= 2 && static_cast<unsigned char>(buffer_[0]) == a &&
             static_cast<unsigned char>(buffer_[1]) == b;
    };
    const bool little = bom(0xFF, 0xFE);
    if (!little && !bom(0xFE, 0xFF)) return false;
    QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                           QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(buffer_).sliced(2));
    if (decoder.hasError()) fail(QStringLiteral("texto UTF-16 inválido"), 0);
    buffer_ = text.toUtf8();
    return true;
  }

  // XML has no NUL character. pugixml would end a value at a raw NUL byte or at "&#0;"
  // unseen, so both are refused before it reads the file.
  void refuseNulls() const {
    if (const void* nul =
            std::memchr(buffer_.constData(), '\0', static_cast<std::size_t>(buffer_.size())))
      fail(QStringLiteral("caractere nulo"), static_cast<const char*>(nul) - buffer_.constData());
    const char* p = buffer_.constData();
    const char* end = p + buffer_.size();
    while ((p = static_cast<const char*>(std::memchr(p, '&', static_cast<std::size_t>(end - p))))) {
      const char* q = p + 1;
      if (q < end && *q == '#') {
        ++q;
        const bool hex = q < end && *q == 'x';
        if (hex) ++q;
        const char* first = q;
        while (q < end && *q == '0') ++q;
        if (q > first && q < end && *q == ';')
          fail(QStringLiteral("referência ao caractere nulo"), p - buffer_.constData());
      }
      p = q;
    }
  }

  void checkDeclaration(const pugi::xml_node& node) const {
    const char* encoding = node.attribute("encoding").value();
    if (!*encoding || qstricmp(encoding, "UTF-8") == 0 || qstricmp(encoding, "ISO-8859-1") == 0 ||
        qstricmp(encoding, "UTF-16") == 0)
      return;
    fail(
        QStringLiteral("a codificação '%1' não é aceita").arg(QString::fromUtf8(encoding).left(40)),
        node.offset_debug());
  }

  static QString label(const QString& where) { return where; }
  template <typename Where>
  static QString label(const Where& where) {
    return where();
  }

  // An attribute's text as Unicode; refuses bytes that are not UTF-8 and characters XML
  // cannot hold.
  template <typename Where>
  QString unicode(std::string_view v, const Where& where, std::ptrdiff_t offset) const {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(v.data(), static_cast<qsizetype>(v.size())));
    if (decoder.hasError())
      fail(QStringLiteral("%1: texto que não é UTF-8 válido").arg(label(where)), offset);
    for (const QChar c : std::as_const(text))
      if (xmlForbidden(c.unicode()))
        fail(QStringLiteral("%1: caractere 0x%2 não permitido")
                 .arg(label(where))
                 .arg(int(c.unicode()), 2, 16, QLatin1Char('0')),
             offset);
    return text;
  }

  // Text to Windows-1252 bytes, refusing characters the code page lacks.
  template <typename Where>
  QByteArray codePageText(std::string_view v, const Where& where, std::ptrdiff_t offset) const {
    bool ascii = true;
    for (const char c : v) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 0x80 || (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)) {
        ascii = false;
        break;
      }
    }
    if (ascii) return QByteArray::fromRawData(v.data(), static_cast<qsizetype>(v.size()));
    const QString text = unicode(v, where, offset);
    if (findUnencodable(text) < 0) return toWindows1252(text);
    // Refused naming the character, unless the person asked for '?' (cds --substituir).
    try {
      return toWindows1252(requireEncodable(text, label(where)));
    } catch (const Error& e) {
      QString what = e.message();
      if (what.endsWith(QLatin1Char('.'))) what.chop(1);
      fail(what, offset);
    }
  }

  PacketProperty property(const pugi::xml_attribute& a, const pugi::xml_node& element) const {
    const QByteArray shared =
        codePageText(a.name(), QStringLiteral("nome de propriedade"), element.offset_debug());
    const QByteArray name(shared.constData(), shared.size());  // outlives the parsed buffer
    if (name.size() > 255)
      fail(QStringLiteral("nome de propriedade longo demais"), element.offset_debug());
    const std::string_view v(a.value());
    const std::ptrdiff_t at = offsetOf(a, element);
    const auto bad = [&](const char* expected) {
      fail(QStringLiteral("propriedade '%1' com valor '%2': %3")
               .arg(QString::fromLatin1(name), QString::fromUtf8(v.substr(0, 40)),
                    QString::fromUtf8(expected)),
           at);
    };
    if (isWidthLike(name)) {
      quint16 value = 0;
      if (!parseInteger(v, &value)) bad("esperado um inteiro de 0 a 65535");
      return PacketProperty::makeInteger(name, packettype::Unsigned, 2, value);
    }
    if (name == "LCID") {
      qint32 value = 0;
      if (!parseInteger(v, &value)) bad("esperado um inteiro de 32 bits");
      return PacketProperty::makeInteger(name, packettype::Integer, 4, value);
    }
    if (isKeyList(name)) {
      std::vector<qint64> values;
      std::size_t from = 0;
      while (from < v.size()) {
        const std::size_t space = std::min(v.find(' ', from), v.size());
        quint16 value = 0;
        if (space > from) {
          if (!parseInteger(v.substr(from, space - from), &value))
            bad("esperados inteiros de 0 a 65535");
          values.push_back(value);
        }
        from = space + 1;
      }
      return PacketProperty::makeArray(name, packettype::Unsigned, 2, values);
    }
    const QByteArray text =
        codePageText(v, QStringLiteral("propriedade '%1'").arg(QString::fromLatin1(name)), at);
    if (text.size() > 0xFFFE)
      fail(QStringLiteral("propriedade '%1' longa demais").arg(QString::fromLatin1(name)), at);
    return PacketProperty::makeText(name, fromWindows1252(text));
  }

  void readMetadata(const pugi::xml_node& metadata) {
    for (pugi::xml_node node = metadata.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      if (std::strcmp(node.name(), "FIELDS") == 0) {
        for (pugi::xml_node field = node.first_child(); field; field = field.next_sibling()) {
          if (field.type() != pugi::node_element) continue;
          if (std::strcmp(field.name(), "FIELD") != 0)
            fail(QStringLiteral("elemento inesperado em FIELDS"), field.offset_debug());
          if (packet_.fields.size() >= 0xFFFF)
            fail(QStringLiteral("campos demais"), field.offset_debug());
          readField(field);
        }
      } else if (std::strcmp(node.name(), "PARAMS") == 0) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
          if (packet_.properties.size() >= 0xFFFF)
            fail(QStringLiteral("propriedades demais"), node.offset_debug());
          packet_.properties.push_back(property(a, node));
        }
      }
    }
    try {
      packet_.prepare();
    } catch (const Error& e) {
      fail(e.message().chopped(1), metadata.offset_debug());
    }
    for (std::size_t i = 0; i < packet_.fields.size(); ++i) {
      const PacketField& f = packet_.fields[i];
      Column c;
      c.textBlob = isTextBlob(f);
      c.width = f.width();
      if (isTextType(f.fieldType)) c.maxChars = textLimit(f);
      columns_.push_back(c);
    }
    for (std::size_t i = 0; i < xmlNames_.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (xmlNames_[i] == xmlNames_[j])
          fail(QStringLiteral("dois campos com o nome '%1'").arg(QString::fromUtf8(xmlNames_[i])),
               metadata.offset_debug());
  }

  void readField(const pugi::xml_node& node) {
    PacketField f;
    const char* attrName = "";
    const char* realName = nullptr;
    const char* type = "";
    const auto flag = [&](const pugi::xml_attribute& a, quint16 bit) {
      if (qstricmp(a.value(), "true") == 0)
        f.attributes |= bit;
      else if (qstricmp(a.value(), "false") != 0)
        fail(QStringLiteral("atributo '%1' do campo deve ser true ou false")
                 .arg(QString::fromUtf8(a.name())),
             offsetOf(a, node));
    };
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      const char* n = a.name();
      if (std::strcmp(n, "attrname") == 0)
        attrName = a.value();
      else if (std::strcmp(n, "fieldname") == 0)
        realName = a.value();
      else if (std::strcmp(n, "fieldtype") == 0)
        type = a.value();
      else if (std::strcmp(n, "hidden") == 0)
        flag(a, fieldattr::kHidden);
      else if (std::strcmp(n, "readonly") == 0)
        flag(a, fieldattr::kReadOnly);
      else if (std::strcmp(n, "required") == 0)
        flag(a, fieldattr::kRequired);
      else if (std::strcmp(n, "linkfield") == 0)
        flag(a, fieldattr::kLink);
      else if (std::strcmp(n, kOtherAttributes) == 0) {
        quint16 bits = 0;
        if (!parseInteger(std::string_view(a.value()), &bits) || (bits & fieldattr::kNamed))
          fail(QStringLiteral("atributo '%1' do campo inválido")
                   .arg(QLatin1String(kOtherAttributes)),
               offsetOf(a, node));
        f.attributes |= bits;
      } else {
        f.properties.push_back(property(a, node));
      }
    }
    const char* name = realName ? realName : attrName;
    if (!*name) fail(QStringLiteral("campo sem nome"), node.offset_debug());
    const QByteArray rawName =
        codePageText(name, QStringLiteral("nome de campo"), node.offset_debug());
    f.rawName = QByteArray(rawName.constData(), rawName.size());  // outlives the parsed buffer
    f.name = fromWindows1252(f.rawName);
    if (f.rawName.size() > 255)
      fail(QStringLiteral("nome de campo longo demais: '%1'").arg(f.name.left(40)),
           node.offset_debug());
    int width = 0;
    for (const PacketProperty& p : f.properties)
      if (p.name == "WIDTH") width = static_cast<int>(p.integer());
    const auto is = [&](const char* t) { return std::strcmp(type, t) == 0; };
    if (is("string") || is("string.uni") || is("wstring")) {
      const bool wide = !is("string");
      f.type = packettype::Varying | (wide ? packettype::WideText : packettype::Text);
      f.size = (wide ? width * 2 : width) > 255 ? 2 : 1;
    } else if (is("bin.hex")) {
      f.type = packettype::Varying | packettype::Bytes;
      f.size = 4;
    } else {
      bool known = false;
      for (const XmlType& t : kXmlTypes)
        if (is(t.name)) {
          f.type = static_cast<quint16>(t.code);
          f.size = static_cast<quint16>(t.size);
          known = true;
        }
      if (!known)
        fail(QStringLiteral("campo '%1' com tipo '%2' não suportado")
                 .arg(f.name, QString::fromUtf8(type).left(40)),
             node.offset_debug());
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element)
        fail(QStringLiteral("campo '%1' com subcampos não é suportado").arg(f.name),
             child.offset_debug());
    xmlNames_.emplace_back(attrName);
    packet_.fields.push_back(std::move(f));
  }

  int fieldOf(const char* name, int guess) const {
    const int n = static_cast<int>(xmlNames_.size());
    if (guess < n && xmlNames_[static_cast<std::size_t>(guess)] == name) return guess;
    for (int i = 0; i < n; ++i)
      if (xmlNames_[static_cast<std::size_t>(i)] == name) return i;
    return -1;
  }

  void readRows(const pugi::xml_node& rowdata) {
    RecordBuilder builder(packet_);
    // A catalog's binary records take about a third of its XML.
    QByteArray arena;
    std::vector<DataPacket::Record> records;
    arena.reserve(std::min<qsizetype>(buffer_.size() / 3, std::numeric_limits<qint32>::max()));
    std::vector<int> setIn(packet_.fields.size(), -1);  // the row that last set each field
    int row = 0;
    for (pugi::xml_node node = rowdata.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      if (std::strcmp(node.name(), "ROW") != 0)
        fail(QStringLiteral("elemento inesperado em ROWDATA"), node.offset_debug());
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element)
          fail(QStringLiteral("registro %1: tabelas aninhadas não são suportadas").arg(row + 1),
               child.offset_debug());
      builder.reset();
      int status = 0;
      int guess = 0;
      for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        if (std::strcmp(a.name(), "RowState") == 0) {
          quint8 state = 0;
          if (!parseInteger(std::string_view(a.value()), &state))
            fail(QStringLiteral("registro %1: RowState inválido").arg(row + 1), offsetOf(a, node));
          status = state;
          continue;
        }
        const int field = fieldOf(a.name(), guess);
        if (field < 0)
          fail(QStringLiteral("registro %1: valor de um campo desconhecido '%2'")
                   .arg(row + 1)
                   .arg(QString::fromUtf8(a.name()).left(40)),
               node.offset_debug());
        if (setIn[static_cast<std::size_t>(field)] == row)
          fail(QStringLiteral("registro %1, campo '%2': valor repetido")
                   .arg(row + 1)
                   .arg(packet_.fields[static_cast<std::size_t>(field)].name),
               offsetOf(a, node));
        setIn[static_cast<std::size_t>(field)] = row;
        guess = field + 1;
        setValue(builder, field, a, node, row);
      }
      ++row;
      if (status & 0x23) continue;  // originals, deleted and unused rows of a change log
      // Straight into the arena, grown by halves: appending record by record would copy it
      // over and over.
      const qsizetype start = arena.size();
      if (arena.capacity() - start < 1024 + static_cast<qsizetype>(packet_.fields.size()) * 16)
        arena.reserve(start + start / 2 + 65536);
      builder.appendTo(arena);
      if (arena.size() > std::numeric_limits<qint32>::max())
        fail(QStringLiteral("a tabela excedeu o tamanho máximo em memória"), node.offset_debug());
      records.push_back({static_cast<quint32>(start), static_cast<quint32>(arena.size() - start)});
    }
    if (arena.capacity() > arena.size() + arena.size() / 4) arena.squeeze();
    packet_.adoptRecords(std::move(arena), std::move(records));
  }

  void setValue(RecordBuilder& builder, int field, const pugi::xml_attribute& a,
                const pugi::xml_node& node, int row) {
    const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
    const Column& c = columns_[static_cast<std::size_t>(field)];
    const std::string_view text(a.value());
    const std::ptrdiff_t at = offsetOf(a, node);
    // Built only for a message: this runs for every value of a large catalog.
    const auto where = [&] {
      return QStringLiteral("registro %1, campo '%2'").arg(row + 1).arg(f.name);
    };
    if (text.size() > kMaxValueBytes)
      fail(QStringLiteral("%1: valor grande demais (%2 bytes)").arg(where()).arg(text.size()), at);
    const auto bad = [&](const QString& why) {
      fail(QStringLiteral("%1: valor '%2' inválido para o tipo %3%4")
               .arg(where(), QString::fromUtf8(text.substr(0, 40)), xmlFieldType(f), why),
           at);
    };
    try {
      switch (f.fieldType) {
        case FieldType::Text: {
          const QByteArray bytes = codePageText(text, where, at);
          if (bytes.size() > c.maxChars)
            fail(QStringLiteral("%1: texto de %2 caracteres, mais que os %3 do campo")
                     .arg(where())
                     .arg(bytes.size())
                     .arg(c.maxChars),
                 at);
          builder.setRaw(field, bytes.constData(), bytes.size());
          return;
        }
        case FieldType::WideText: {
          const QString value = unicode(text, where, at);
          if (value.size() > c.maxChars)
            fail(QStringLiteral("%1: texto de %2 caracteres, mais que os %3 do campo")
                     .arg(where())
                     .arg(value.size())
                     .arg(c.maxChars),
                 at);
          builder.setText(field, value);
          return;
        }
        case FieldType::Blob: {
          if (c.textBlob) {
            const QByteArray bytes = codePageText(text, where, at);
            builder.setRaw(field, bytes.constData(), bytes.size());
          } else {
            const auto decoded = QByteArray::fromBase64Encoding(
                QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())),
                QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) bad(QStringLiteral(" (base64)"));
            builder.setRaw(field, decoded.decoded.constData(), decoded.decoded.size());
          }
          return;
        }
        case FieldType::Boolean: {
          const bool t = qstricmp(a.value(), "TRUE") == 0 || text == "1";
          if (!t && qstricmp(a.value(), "FALSE") != 0 && text != "0") bad({});
          builder.setVariant(field, Variant(t));
          return;
        }
        case FieldType::Number: {
          double v = 0;
          if (!parseDouble(text, &v)) bad({});
          builder.setRaw(field, reinterpret_cast<const char*>(&v), 8);
          return;
        }
        case FieldType::Bcd: {
          QByteArray bytes;
          packetbytes::encodeBcdText(
              bytes, f, QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
          builder.setRaw(field, bytes.constData(), bytes.size());
          return;
        }
        case FieldType::Date: {
          const qint64 day = text.size() == 8 ? parseDate(text) : -1;
          if (day < 0) bad({});
          const auto stored = static_cast<qint32>(day);
          builder.setRaw(field, reinterpret_cast<const char*>(&stored), 4);
          return;
        }
        case FieldType::Time: {
          const qint64 ms = parseTime(text);
          if (ms < 0) bad({});
          const auto stored = static_cast<qint32>(ms);
          builder.setRaw(field, reinterpret_cast<const char*>(&stored), 4);
          return;
        }
        case FieldType::DateTime: {
          const qint64 day = text.size() >= 8 ? parseDate(text.substr(0, 8)) : -1;
          qint64 ms = 0;
          if (day < 0) bad({});
          if (text.size() > 8) {
            if (text[8] != 'T') bad({});
            ms = parseTime(text.substr(9));
            if (ms < 0) bad({});
          }
          const double stored = static_cast<double>(day) * kMsPerDay + static_cast<double>(ms);
          builder.setRaw(field, reinterpret_cast<const char*>(&stored), 8);
          return;
        }
        default: {
          const bool isSigned = f.code() == packettype::Integer;
          const int bits = f.size * 8;
          quint64 raw = 0;
          bool ok;
          if (isSigned) {
            qint64 v = 0;
            ok = parseInteger(text, &v) &&
                 (bits == 64 || (v >= -(qint64(1) << (bits - 1)) && v < (qint64(1) << (bits - 1))));
            raw = static_cast<quint64>(v);
          } else {
            quint64 v = 0;
            ok = parseInteger(text, &v) && (bits == 64 || v < (quint64(1) << bits));
            raw = v;
          }
          if (!ok) bad(QStringLiteral(" (fora do intervalo do campo ou não é um inteiro)"));
          char bytes[8];
          for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((raw >> (8 * i)) & 0xFF);
          builder.setRaw(field, bytes, f.size);
          return;
        }
      }
    } catch (const Error& e) {
      if (e.message().startsWith(QStringLiteral("O arquivo"))) throw;
      fail(QStringLiteral("%1: %2").arg(where(), e.message().chopped(1)), at);
    }
  }

  struct Column {
    bool textBlob = false;
    int width = 0;
    qsizetype maxChars = 0;
  };

  QByteArray buffer_;
  const QString& source_;
  pugi::xml_document doc_;
  DataPacket packet_;
  std::vector<std::string> xmlNames_;
  std::vector<Column> columns_;
};

}  // namespace

DataPacket readXmlPacket(QByteArray xml, const QString& source) {
  return XmlReader(std::move(xml), source).read();
}

}  // namespace fw
