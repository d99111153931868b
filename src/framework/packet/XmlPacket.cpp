// XML packets: read through pugixml (in place, over the file's own buffer, so a 33 MB
// catalog loads in a fraction of a second and a hostile file costs about its size), written
// through QXmlStreamWriter. Values go straight from attribute text to the encoded record,
// without an intermediate Variant, because catalogs are large. The reader keeps every value
// exactly or refuses the file; the writer refuses what the reader would refuse.
#include "framework/packet/XmlPacket.h"

#include "framework/core/DateTime.h"
#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"

#include <QBuffer>
#include <QDate>
#include <QStringDecoder>
#include <QXmlStreamWriter>

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <limits>

namespace fw {

namespace {

constexpr qint64 kJulianOfDayOne = 1721426;  // QDate(1, 1, 1).toJulianDay()
constexpr qint64 kLastDay = 3652059;         // 31 December 9999, the last "yyyymmdd" date
// A value's text may not exceed this (a blob's base64 included): a hostile file is refused
// before anything is built from it.
constexpr std::size_t kMaxValueBytes = 16 * 1024 * 1024;
// Extra field attribute bits beyond hidden/readonly/required/linkfield.
constexpr const char* kOtherAttributes = "attributes";

struct XmlType {
  const char* name;
  int code;
  int size;
};

constexpr XmlType kXmlTypes[] = {
    {"i1", packettype::Integer, 1},  {"i2", packettype::Integer, 2},  {"i4", packettype::Integer, 4},
    {"i8", packettype::Integer, 8},  {"ui1", packettype::Unsigned, 1}, {"ui2", packettype::Unsigned, 2},
    {"ui4", packettype::Unsigned, 4}, {"ui8", packettype::Unsigned, 8}, {"boolean", packettype::Boolean, 2},
    {"r8", packettype::Float, 8},    {"fixed", packettype::Bcd, 34},   {"date", packettype::Date, 4},
    {"time", packettype::Time, 4},   {"dateTime", packettype::Timestamp, 8},
};

// FIELD attributes the reader takes as the field's own, never as a property.
constexpr const char* kFieldAttributes[] = {"attrname", "fieldname", "fieldtype", "hidden",
                                            "readonly", "required",  "linkfield", kOtherAttributes};

bool isTextBlob(const PacketField& f) {
  const QString sub = f.subtype();
  return f.fieldType == FieldType::Blob && (sub == QLatin1String("Text") || sub == QLatin1String("Memo"));
}

// Days counted with 1 January 0001 as day 1.
qint64 dayNumber(int y, int m, int d) {
  const QDate date(y, m, d);
  return date.isValid() && y > 0 ? date.toJulianDay() - kJulianOfDayOne + 1 : -1;
}

QString dateText(qint64 dayNo) {
  const QDate date = QDate::fromJulianDay(dayNo - 1 + kJulianOfDayOne);
  return QStringLiteral("%1%2%3")
      .arg(date.year(), 4, 10, QLatin1Char('0'))
      .arg(date.month(), 2, 10, QLatin1Char('0'))
      .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString timeText(qint64 ms) {
  return QStringLiteral("%1:%2:%3%4")
      .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
      .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

bool digits(std::string_view s, std::size_t at, int count, int* out) {
  if (at + static_cast<std::size_t>(count) > s.size()) return false;
  int v = 0;
  for (int i = 0; i < count; ++i) {
    const char c = s[at + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

// "yyyymmdd" -> day number, or -1.
qint64 parseDate(std::string_view s) {
  int y, m, d;
  if (!digits(s, 0, 4, &y) || !digits(s, 4, 2, &m) || !digits(s, 6, 2, &d)) return -1;
  return dayNumber(y, m, d);
}

// "hh:mm:ss" or "hh:mm:ssmmm" -> ms, or -1. Fewer millisecond digits would be ambiguous.
qint64 parseTime(std::string_view s) {
  int h, mi, se, ms = 0;
  if (s.size() != 8 && s.size() != 11) return -1;
  if (!digits(s, 0, 2, &h) || s[2] != ':' || !digits(s, 3, 2, &mi) || s[5] != ':' || !digits(s, 6, 2, &se))
    return -1;
  if (s.size() == 11 && !digits(s, 8, 3, &ms)) return -1;
  if (h > 23 || mi > 59 || se > 59) return -1;
  return ((h * 60 + mi) * 60 + se) * 1000LL + ms;
}

// A whole decimal integer, an optional sign before it; nothing else.
template <typename T>
bool parseInteger(std::string_view s, T* out) {
  if (s.size() > 1 && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return error == std::errc() && end == s.data() + s.size();
}

bool parseDouble(std::string_view s, double* out) {
  if (s.size() > 1 && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return error == std::errc() && end == s.data() + s.size();
}

// Characters XML 1.0 cannot carry at all, not even as references.
bool xmlForbidden(char16_t u) { return (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF; }

// The text in Windows-1252 when every character has a byte there.
bool exactWindows1252(QStringView text, QByteArray* out) {
  *out = toWindows1252(text);
  return out->size() == text.size() && fromWindows1252(*out) == text;
}

QString propertyText(const PacketProperty& p) {
  if (p.isArray()) {
    QStringList parts;
    for (qint64 v : p.integers()) parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
  }
  if (p.isVarying()) return p.text();
  return QString::number(p.integer());
}

bool isWidthLike(const QByteArray& name) { return name == "WIDTH" || name == "DECIMALS"; }
bool isKeyList(const QByteArray& name) {
  return name == "DEFAULT_ORDER" || name == "PRIMARY_KEY" || name == "UNIQUE_KEY";
}

// Why a property cannot be written so that the reader gives it back the same; empty if it can.
QString unwritableProperty(const PacketProperty& p) {
  const int code = p.type & packettype::CodeMask;
  if (isWidthLike(p.name)) {
    if (p.isArray() || p.isVarying() || code != packettype::Unsigned || p.size != 2)
      return QStringLiteral("só pode ser um inteiro de 16 bits sem sinal");
  } else if (p.name == "LCID") {
    if (p.isArray() || p.isVarying() || code != packettype::Integer || p.size != 4)
      return QStringLiteral("só pode ser um inteiro de 32 bits");
  } else if (isKeyList(p.name)) {
    if (!p.isArray() || code != packettype::Unsigned || p.size != 2)
      return QStringLiteral("só pode ser uma lista de inteiros de 16 bits sem sinal");
  } else if (!p.isVarying() || code != packettype::Text) {
    return QStringLiteral("do tipo 0x%1 não tem forma em XML").arg(p.type, 0, 16);
  } else if (const qsizetype nul = p.value.indexOf('\0'); nul >= 0 && nul != p.value.size() - 1) {
    return QStringLiteral("com um caractere nulo no texto não tem forma em XML");
  }
  return {};
}

// Characters a text field holds when read from XML: its WIDTH, else what the length
// prefix the reader gives it (one byte) can count.
qsizetype textLimit(const PacketField& f) {
  const int width = f.width();
  if (width > 0) return width;
  return f.fieldType == FieldType::WideText ? 127 : 255;
}

std::size_t utf8Size(QStringView text) {
  std::size_t n = 0;
  for (const QChar c : text) n += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
  return n;
}

// The reader over pugixml's tree. Attribute values are NUL-terminated UTF-8 inside the
// buffer pugixml parsed in place.
class XmlReader {
 public:
  XmlReader(QByteArray xml, const QString& source) : buffer_(std::move(xml)), source_(source) {}

  DataPacket read() {
    const bool utf16 = toUtf8FromUtf16();
    refuseNulls();
    char* data = buffer_.data();
    const pugi::xml_parse_result parsed =
        doc_.load_buffer_inplace(data, static_cast<std::size_t>(buffer_.size()),
                                 pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype,
                                 utf16 ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (!parsed) fail(QString::fromUtf8(parsed.description()), parsed.offset);
    pugi::xml_node root;
    for (pugi::xml_node node = doc_.first_child(); node; node = node.next_sibling()) {
      if (node.type() == pugi::node_doctype) fail(QStringLiteral("DOCTYPE não é aceito"), node.offset_debug());
      if (node.type() == pugi::node_declaration) checkDeclaration(node);
      if (node.type() == pugi::node_element) {
        if (root) fail(QStringLiteral("mais de um elemento raiz"), node.offset_debug());
        root = node;
      }
    }
    if (!root || std::strcmp(root.name(), "DATAPACKET") != 0) fail(QStringLiteral("falta o elemento DATAPACKET"), 0);
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
      return buffer_.size() >= 2 && static_cast<unsigned char>(buffer_[0]) == a && static_cast<unsigned char>(buffer_[1]) == b;
    };
    const bool little = bom(0xFF, 0xFE);
    if (!little && !bom(0xFE, 0xFF)) return false;
    QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(buffer_).sliced(2));
    if (decoder.hasError()) fail(QStringLiteral("texto UTF-16 inválido"), 0);
    buffer_ = text.toUtf8();
    return true;
  }

  // XML has no NUL character. pugixml would end a value at a raw NUL byte or at "&#0;"
  // unseen, so both are refused before it reads the file.
  void refuseNulls() const {
    if (const void* nul = std::memchr(buffer_.constData(), '\0', static_cast<std::size_t>(buffer_.size())))
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
        if (q > first && q < end && *q == ';') fail(QStringLiteral("referência ao caractere nulo"), p - buffer_.constData());
      }
      p = q;
    }
  }

  void checkDeclaration(const pugi::xml_node& node) const {
    const char* encoding = node.attribute("encoding").value();
    if (!*encoding || qstricmp(encoding, "UTF-8") == 0 || qstricmp(encoding, "ISO-8859-1") == 0 ||
        qstricmp(encoding, "UTF-16") == 0)
      return;
    fail(QStringLiteral("a codificação '%1' não é aceita").arg(QString::fromUtf8(encoding).left(40)),
         node.offset_debug());
  }

  static QString label(const QString& where) { return where; }
  template <typename Where>
  static QString label(const Where& where) { return where(); }

  // An attribute's text as Unicode; refuses bytes that are not UTF-8 and characters XML
  // cannot hold.
  template <typename Where>
  QString unicode(std::string_view v, const Where& where, std::ptrdiff_t offset) const {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(v.data(), static_cast<qsizetype>(v.size())));
    if (decoder.hasError()) fail(QStringLiteral("%1: texto que não é UTF-8 válido").arg(label(where)), offset);
    for (const QChar c : std::as_const(text))
      if (xmlForbidden(c.unicode()))
        fail(QStringLiteral("%1: caractere 0x%2 não permitido").arg(label(where)).arg(int(c.unicode()), 2, 16, QLatin1Char('0')),
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
    QByteArray bytes;
    if (!exactWindows1252(text, &bytes)) {
      for (qsizetype i = 0; i < text.size(); ++i) {
        QByteArray one;
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (!exactWindows1252(QStringView(text).mid(i, n), &one))
          fail(QStringLiteral("%1: o caractere '%2' não existe na página de código Windows-1252")
                   .arg(label(where), QStringView(text).mid(i, n).toString()),
               offset);
        i += n - 1;
      }
    }
    return bytes;
  }

  PacketProperty property(const pugi::xml_attribute& a, const pugi::xml_node& element) const {
    const QByteArray shared = codePageText(a.name(), QStringLiteral("nome de propriedade"), element.offset_debug());
    const QByteArray name(shared.constData(), shared.size());  // outlives the parsed buffer
    if (name.size() > 255) fail(QStringLiteral("nome de propriedade longo demais"), element.offset_debug());
    const std::string_view v(a.value());
    const std::ptrdiff_t at = offsetOf(a, element);
    const auto bad = [&](const char* expected) {
      fail(QStringLiteral("propriedade '%1' com valor '%2': %3")
               .arg(QString::fromLatin1(name), QString::fromUtf8(v.substr(0, 40)), QString::fromUtf8(expected)),
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
          if (!parseInteger(v.substr(from, space - from), &value)) bad("esperados inteiros de 0 a 65535");
          values.push_back(value);
        }
        from = space + 1;
      }
      return PacketProperty::makeArray(name, packettype::Unsigned, 2, values);
    }
    const QByteArray text = codePageText(v, QStringLiteral("propriedade '%1'").arg(QString::fromLatin1(name)), at);
    if (text.size() > 0xFFFE) fail(QStringLiteral("propriedade '%1' longa demais").arg(QString::fromLatin1(name)), at);
    return PacketProperty::makeText(name, fromWindows1252(text));
  }

  void readMetadata(const pugi::xml_node& metadata) {
    for (pugi::xml_node node = metadata.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      if (std::strcmp(node.name(), "FIELDS") == 0) {
        for (pugi::xml_node field = node.first_child(); field; field = field.next_sibling()) {
          if (field.type() != pugi::node_element) continue;
          if (std::strcmp(field.name(), "FIELD") != 0) fail(QStringLiteral("elemento inesperado em FIELDS"), field.offset_debug());
          if (packet_.fields.size() >= 0xFFFF) fail(QStringLiteral("campos demais"), field.offset_debug());
          readField(field);
        }
      } else if (std::strcmp(node.name(), "PARAMS") == 0) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
          if (packet_.properties.size() >= 0xFFFF) fail(QStringLiteral("propriedades demais"), node.offset_debug());
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
      if (f.fieldType == FieldType::Text || f.fieldType == FieldType::WideText) c.maxChars = textLimit(f);
      columns_.push_back(c);
    }
    for (std::size_t i = 0; i < xmlNames_.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (xmlNames_[i] == xmlNames_[j])
          fail(QStringLiteral("dois campos com o nome '%1'").arg(QString::fromUtf8(xmlNames_[i])), metadata.offset_debug());
  }

  void readField(const pugi::xml_node& node) {
    PacketField f;
    const char* attrName = "";
    const char* realName = nullptr;
    const char* type = "";
    const auto flag = [&](const pugi::xml_attribute& a, quint16 bit) {
      if (qstricmp(a.value(), "true") == 0) f.attributes |= bit;
      else if (qstricmp(a.value(), "false") != 0)
        fail(QStringLiteral("atributo '%1' do campo deve ser true ou false").arg(QString::fromUtf8(a.name())), offsetOf(a, node));
    };
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      const char* n = a.name();
      if (std::strcmp(n, "attrname") == 0) attrName = a.value();
      else if (std::strcmp(n, "fieldname") == 0) realName = a.value();
      else if (std::strcmp(n, "fieldtype") == 0) type = a.value();
      else if (std::strcmp(n, "hidden") == 0) flag(a, 1);
      else if (std::strcmp(n, "readonly") == 0) flag(a, 2);
      else if (std::strcmp(n, "required") == 0) flag(a, 4);
      else if (std::strcmp(n, "linkfield") == 0) flag(a, 8);
      else if (std::strcmp(n, kOtherAttributes) == 0) {
        quint16 bits = 0;
        if (!parseInteger(std::string_view(a.value()), &bits) || (bits & 0x0F))
          fail(QStringLiteral("atributo '%1' do campo inválido").arg(QLatin1String(kOtherAttributes)), offsetOf(a, node));
        f.attributes |= bits;
      } else {
        f.properties.push_back(property(a, node));
      }
    }
    const char* name = realName ? realName : attrName;
    if (!*name) fail(QStringLiteral("campo sem nome"), node.offset_debug());
    const QByteArray rawName = codePageText(name, QStringLiteral("nome de campo"), node.offset_debug());
    f.rawName = QByteArray(rawName.constData(), rawName.size());  // outlives the parsed buffer
    f.name = fromWindows1252(f.rawName);
    if (f.rawName.size() > 255) fail(QStringLiteral("nome de campo longo demais: '%1'").arg(f.name.left(40)), node.offset_debug());
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
        fail(QStringLiteral("campo '%1' com tipo '%2' não suportado").arg(f.name, QString::fromUtf8(type).left(40)),
             node.offset_debug());
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element)
        fail(QStringLiteral("campo '%1' com subcampos não é suportado").arg(f.name), child.offset_debug());
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
    packet_.arena.reserve(std::min<qsizetype>(buffer_.size() / 3, std::numeric_limits<qint32>::max()));
    std::vector<int> setIn(packet_.fields.size(), -1);  // the row that last set each field
    int row = 0;
    for (pugi::xml_node node = rowdata.first_child(); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      if (std::strcmp(node.name(), "ROW") != 0) fail(QStringLiteral("elemento inesperado em ROWDATA"), node.offset_debug());
      for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element)
          fail(QStringLiteral("registro %1: tabelas aninhadas não são suportadas").arg(row + 1), child.offset_debug());
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
          fail(QStringLiteral("registro %1: valor de um campo desconhecido '%2'").arg(row + 1).arg(QString::fromUtf8(a.name()).left(40)),
               node.offset_debug());
        if (setIn[static_cast<std::size_t>(field)] == row)
          fail(QStringLiteral("registro %1, campo '%2': valor repetido").arg(row + 1).arg(packet_.fields[static_cast<std::size_t>(field)].name),
               offsetOf(a, node));
        setIn[static_cast<std::size_t>(field)] = row;
        guess = field + 1;
        setValue(builder, field, a, node, row);
      }
      ++row;
      if (status & 0x23) continue;  // originals, deleted and unused rows of a change log
      // Straight into the arena, grown by halves: appending record by record would copy it
      // over and over.
      QByteArray& arena = packet_.arena;
      const qsizetype start = arena.size();
      if (arena.capacity() - start < 1024 + static_cast<qsizetype>(packet_.fields.size()) * 16)
        arena.reserve(start + start / 2 + 65536);
      builder.appendTo(arena);
      if (arena.size() > std::numeric_limits<qint32>::max())
        fail(QStringLiteral("a tabela excedeu o tamanho máximo em memória"), node.offset_debug());
      packet_.records.push_back({static_cast<quint32>(start), static_cast<quint32>(arena.size() - start)});
    }
    if (packet_.arena.capacity() > packet_.arena.size() + packet_.arena.size() / 4) packet_.arena.squeeze();
  }

  void setValue(RecordBuilder& builder, int field, const pugi::xml_attribute& a, const pugi::xml_node& node, int row) {
    const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
    const Column& c = columns_[static_cast<std::size_t>(field)];
    const std::string_view text(a.value());
    const std::ptrdiff_t at = offsetOf(a, node);
    // Built only for a message: this runs for every value of a large catalog.
    const auto where = [&] { return QStringLiteral("registro %1, campo '%2'").arg(row + 1).arg(f.name); };
    if (text.size() > kMaxValueBytes) fail(QStringLiteral("%1: valor grande demais (%2 bytes)").arg(where()).arg(text.size()), at);
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
            fail(QStringLiteral("%1: texto de %2 caracteres, mais que os %3 do campo").arg(where()).arg(bytes.size()).arg(c.maxChars), at);
          builder.setRaw(field, bytes.constData(), bytes.size());
          return;
        }
        case FieldType::WideText: {
          const QString value = unicode(text, where, at);
          if (value.size() > c.maxChars)
            fail(QStringLiteral("%1: texto de %2 caracteres, mais que os %3 do campo").arg(where()).arg(value.size()).arg(c.maxChars), at);
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
          double v = 0;
          if (!parseDouble(text, &v)) bad({});
          builder.setVariant(field, Variant(v));
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

bool isXmlName(const QString& name) {
  if (name.isEmpty()) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name[i];
    const bool ok = c.isLetter() || c == u'_' || (i > 0 && (c.isDigit() || c == u'.' || c == u'-'));
    if (!ok) return false;
  }
  return !name.startsWith(QLatin1String("xml"), Qt::CaseInsensitive);
}

QString xmlSafeName(const QString& name) {
  QString out;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const QChar c = name[i];
    out += (c.isLetter() || c == u'_' || (i > 0 && (c.isDigit() || c == u'.' || c == u'-'))) ? c : QChar(u'_');
  }
  if (out.isEmpty() || out.startsWith(QLatin1String("xml"), Qt::CaseInsensitive)) out.prepend(u'_');
  return out;
}

[[noreturn]] void refuse(int record, const PacketField& f, const QString& why) {
  throw Error(QStringLiteral("Registro %1, campo '%2': %3.").arg(record + 1).arg(f.name, why));
}

QString valueText(const PacketField& f, const ValueSpan& s, bool textBlob, int record) {
  switch (f.fieldType) {
    case FieldType::Text:
    case FieldType::WideText: {
      const QString text = f.fieldType == FieldType::Text ? fromWindows1252(s.data, s.size)
                                                          : DataPacket::decode(f, s).toText();
      const qsizetype limit = textLimit(f);
      if (text.size() > limit)
        refuse(record, f, QStringLiteral("texto de %1 caracteres, mais que os %2 do campo").arg(text.size()).arg(limit));
      return text;
    }
    case FieldType::Blob: {
      const QString text = textBlob ? fromWindows1252(s.data, s.size) : QString::fromLatin1(QByteArray(s.data, s.size).toBase64());
      if (utf8Size(text) > kMaxValueBytes)
        refuse(record, f, QStringLiteral("valor grande demais para XML (%1 bytes)").arg(s.size));
      return text;
    }
    case FieldType::Boolean: return DataPacket::decode(f, s).toFlag() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case FieldType::Number: {
      double v;
      std::memcpy(&v, s.data, 8);
      return QString::number(v, 'g', QLocale::FloatingPointShortest);
    }
    case FieldType::Bcd: return QString::number(DataPacket::decode(f, s).toNumber(), 'g', QLocale::FloatingPointShortest);
    case FieldType::Date: {
      qint32 day;
      std::memcpy(&day, s.data, 4);
      if (day < 1 || day > kLastDay) refuse(record, f, QStringLiteral("data fora do intervalo de 01/01/0001 a 31/12/9999"));
      return dateText(day);
    }
    case FieldType::Time: {
      qint32 ms;
      std::memcpy(&ms, s.data, 4);
      if (ms < 0 || ms >= static_cast<qint32>(kMsPerDay)) refuse(record, f, QStringLiteral("hora fora do intervalo"));
      return timeText(ms);
    }
    case FieldType::DateTime: {
      double stored;
      std::memcpy(&stored, s.data, 8);
      const double day = std::isfinite(stored) ? std::floor(stored / kMsPerDay) : 0.0;
      if (day < 1 || day > static_cast<double>(kLastDay))
        refuse(record, f, QStringLiteral("data e hora fora do intervalo de 01/01/0001 a 31/12/9999"));
      const double ms = stored - day * kMsPerDay;
      if (ms != std::floor(ms)) refuse(record, f, QStringLiteral("data e hora com fração de milissegundo"));
      const QString date = dateText(static_cast<qint64>(day));
      return ms == 0 ? date : date + QLatin1Char('T') + timeText(static_cast<qint64>(ms));
    }
    default: {
      // Read as stored: an unsigned 64-bit value may not fit a signed one.
      quint64 raw = 0;
      const auto* b = reinterpret_cast<const unsigned char*>(s.data);
      for (qsizetype i = 0; i < s.size && i < 8; ++i) raw |= quint64(b[i]) << (8 * i);
      if (f.code() == packettype::Unsigned) return QString::number(raw);
      const int bits = static_cast<int>(s.size) * 8;
      if (bits < 64 && (raw >> (bits - 1)) & 1) raw |= ~quint64(0) << bits;  // sign-extend
      return QString::number(static_cast<qint64>(raw));
    }
  }
}

// XML 1.0 has no way to write most control characters, even as references; refuse
// rather than drop them.
void checkXmlText(const QString& text, const PacketField& f, int record) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (xmlForbidden(u))
      throw Error(QStringLiteral("Registro %1, campo '%2': o caractere de controle 0x%3 não pode ser escrito em XML.")
                      .arg(record + 1)
                      .arg(f.name)
                      .arg(int(u), 2, 16, QLatin1Char('0')));
  }
}

// A property as an XML attribute, or an error when the reader would not give it back.
QString writableProperty(const PacketProperty& p, const QString& owner) {
  const QString name = fromWindows1252(p.name);
  QString why = isXmlName(name) ? unwritableProperty(p) : QStringLiteral("tem um nome que XML não aceita");
  if (why.isEmpty() && p.isVarying()) {
    for (const QChar c : p.text())
      if (xmlForbidden(c.unicode())) why = QStringLiteral("tem um caractere de controle");
  }
  if (!why.isEmpty())
    throw Error(QStringLiteral("%1: a propriedade '%2' %3.").arg(owner, name, why));
  return propertyText(p);
}

}  // namespace

QString xmlFieldType(const PacketField& f) {
  switch (f.fieldType) {
    case FieldType::Text: return QStringLiteral("string");
    case FieldType::WideText: return QStringLiteral("string.uni");
    case FieldType::Blob: return QStringLiteral("bin.hex");
    default: break;
  }
  for (const XmlType& t : kXmlTypes)
    if (t.code == f.code() && t.size == f.size) return QLatin1String(t.name);
  if (f.fieldType == FieldType::Bcd) return QStringLiteral("fixed");
  return QStringLiteral("bin.hex");
}

DataPacket readXmlPacket(QByteArray xml, const QString& source) {
  return XmlReader(std::move(xml), source).read();
}

QByteArray writeXmlPacket(const DataPacket& packet) {
  QByteArray out("<?xml version=\"1.0\" standalone=\"yes\"?>  ");
  out.reserve(static_cast<qsizetype>(packet.arena.size() * 2));
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly | QIODevice::Append);
  QXmlStreamWriter xml(&buffer);
  xml.writeStartElement(QStringLiteral("DATAPACKET"));
  xml.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
  xml.writeStartElement(QStringLiteral("METADATA"));
  xml.writeStartElement(QStringLiteral("FIELDS"));
  std::vector<QString> names;
  std::vector<bool> textBlob;
  for (const PacketField& f : packet.fields) {
    const QString owner = QStringLiteral("Campo '%1'").arg(f.name);
    for (const QChar c : f.name)
      if (xmlForbidden(c.unicode())) throw Error(QStringLiteral("%1: o nome tem um caractere de controle.").arg(owner));
    // Two fields must not end up under one XML name: the real name goes in "fieldname".
    QString name = isXmlName(f.name) ? f.name : xmlSafeName(f.name);
    for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n)
      name = xmlSafeName(f.name) + QLatin1Char('_') + QString::number(n);
    const bool renamed = name != f.name;
    names.push_back(name);
    textBlob.push_back(isTextBlob(f));
    xml.writeEmptyElement(QStringLiteral("FIELD"));
    xml.writeAttribute(QStringLiteral("attrname"), names.back());
    if (renamed) xml.writeAttribute(QStringLiteral("fieldname"), f.name);
    xml.writeAttribute(QStringLiteral("fieldtype"), xmlFieldType(f));
    if (f.attributes & 1) xml.writeAttribute(QStringLiteral("hidden"), QStringLiteral("true"));
    if (f.attributes & 2) xml.writeAttribute(QStringLiteral("readonly"), QStringLiteral("true"));
    if (f.attributes & 4) xml.writeAttribute(QStringLiteral("required"), QStringLiteral("true"));
    if (f.attributes & 8) xml.writeAttribute(QStringLiteral("linkfield"), QStringLiteral("true"));
    if (f.attributes & ~0x0F)
      xml.writeAttribute(QLatin1String(kOtherAttributes), QString::number(f.attributes & ~0x0F));
    for (const PacketProperty& p : f.properties) {
      for (const char* own : kFieldAttributes)
        if (p.name == own) throw Error(QStringLiteral("%1: a propriedade '%2' tem o nome de um atributo do campo.").arg(owner, QLatin1String(own)));
      xml.writeAttribute(fromWindows1252(p.name), writableProperty(p, owner));
    }
  }
  xml.writeEndElement();  // FIELDS
  xml.writeEmptyElement(QStringLiteral("PARAMS"));
  for (const PacketProperty& p : packet.properties)
    if (p.name != "CHANGE_LOG") xml.writeAttribute(fromWindows1252(p.name), writableProperty(p, QStringLiteral("Pacote")));
  xml.writeEndElement();  // METADATA
  xml.writeStartElement(QStringLiteral("ROWDATA"));
  const int n = static_cast<int>(packet.fields.size());
  for (int r = 0; r < static_cast<int>(packet.records.size()); ++r) {
    xml.writeEmptyElement(QStringLiteral("ROW"));
    for (int i = 0; i < n; ++i) {
      const ValueSpan s = packet.span(r, i);
      if (s.null) continue;
      const PacketField& f = packet.fields[static_cast<std::size_t>(i)];
      const QString text = valueText(f, s, textBlob[static_cast<std::size_t>(i)], r);
      checkXmlText(text, f, r);
      xml.writeAttribute(names[static_cast<std::size_t>(i)], text);
    }
  }
  xml.writeEndElement();  // ROWDATA
  xml.writeEndElement();  // DATAPACKET
  return out;
}

}  // namespace fw
