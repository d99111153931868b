// JSON packets read with RapidJSON's event reader, which gives the offset of every value and
// lets each element be refused as soon as it cannot fit its place (a whole-document parser
// took 28 s and 1.2 GB to take in 200 MB of empty rows).
#include <rapidjson/reader.h>

#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>
#include <set>

#include "framework/core/Error.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/JsonPacket.h"
#include "framework/packet/JsonPacketPrivate.h"
#include "framework/packet/PacketBytes.h"

namespace fw {

using namespace jsonpacket;

namespace {

// Room for blanks and separators around one element, and for a name or a number.
constexpr std::size_t kSlack = 64 * 1024;
constexpr std::size_t kScalar = 4 * 1024;

class JsonReader {
 public:
  JsonReader(const QByteArray& json, const QString& source)
      : json_(json), source_(source), in_(json) {}

  DataPacket read() {
    if (json_.size() > std::numeric_limits<qint32>::max())
      failAt(0, QStringLiteral("arquivo grande demais"));
    // A byte-order mark is no part of the text, as for the XML reader.
    if (json_.startsWith("\xEF\xBB\xBF")) in_.skip(3);
    in_.allow(kSlack);
    rapidjson::Reader reader;
    const rapidjson::ParseResult ok =
        reader.Parse<rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseIterativeFlag |
                     rapidjson::kParseValidateEncodingFlag>(in_, *this);
    if (!error_.isEmpty()) throw Error(error_);
    if (!ok) {
      if (in_.stoppedAtLimit())
        failAt(in_.Tell(),
               QStringLiteral("elemento mais longo do que o seu lugar na tabela permite"));
      failAt(ok.Offset(), parseErrorText(ok.Code()));
    }
    if (!sawFields_) failAt(in_.Tell(), QStringLiteral("falta a lista \"fields\""));
    if (!sawRows_) failAt(in_.Tell(), QStringLiteral("falta a lista \"rows\""));
    if (!sawParams_)
      packet_.properties.push_back(
          PacketProperty::makeInteger("LCID", packettype::Integer, 4, 1046));
    return std::move(packet_);
  }

  // SAX events; each returns false to stop the parse, with the reason in error_.
  bool Null() { return scalar(Kind::Null, {}); }
  bool Bool(bool b) { return scalar(b ? Kind::True : Kind::False, {}); }
  bool Int(int) { return false; }
  bool Uint(unsigned) { return false; }
  bool Int64(int64_t) { return false; }
  bool Uint64(uint64_t) { return false; }
  bool Double(double) { return false; }
  bool RawNumber(const char* s, rapidjson::SizeType n, bool) {
    return scalar(Kind::Number, QByteArray(s, n));
  }
  bool String(const char* s, rapidjson::SizeType n, bool) {
    return scalar(Kind::String, QByteArray(s, n));
  }
  bool Key(const char* s, rapidjson::SizeType n, bool) {
    return guard([&] {
      key_ = QByteArray(s, n);
      if (at_ == At::Root) {
        if (key_ != "fields" && key_ != "params" && key_ != "rows")
          fail(QStringLiteral(
                   "chave \"%1\" desconhecida (esperadas \"fields\", \"params\" e \"rows\")")
                   .arg(keyText()));
      } else if (at_ == At::Field) {
        if (!fieldKeys_.insert(key_).second)
          fail(QStringLiteral("chave \"%1\" repetida no campo %2").arg(keyText()).arg(fieldNo()));
      } else if (at_ == At::Param) {
        if (key_ != "name" && key_ != "value")
          fail(QStringLiteral("chave \"%1\" desconhecida num parâmetro").arg(keyText()));
      }
      in_.allow(kSlack + kScalar);
    });
  }
  bool StartObject() {
    return guard([&] {
      switch (at_) {
        case At::Start:
          at_ = At::Root;
          break;
        case At::Fields:
          at_ = At::Field;
          field_ = PacketField();
          fieldKeys_.clear();
          break;
        case At::Params:
          at_ = At::Param;
          paramName_.clear();
          param_.reset();
          break;
        default:
          wrongValue(QStringLiteral("um objeto"));
      }
      in_.allow(kSlack + kScalar);
    });
  }
  bool EndObject(rapidjson::SizeType) {
    return guard([&] {
      if (at_ == At::Root) {
        at_ = At::End;
      } else if (at_ == At::Field) {
        endField();
        at_ = At::Fields;
      } else if (at_ == At::Param) {
        endParam();
        at_ = At::Params;
      }
      in_.allow(kSlack);
    });
  }
  bool StartArray() {
    return guard([&] {
      switch (at_) {
        case At::Root:
          if (key_ == "fields") {
            if (sawFields_) fail(QStringLiteral("lista \"fields\" repetida"));
            sawFields_ = true;
            at_ = At::Fields;
          } else if (key_ == "params") {
            if (sawParams_) fail(QStringLiteral("lista \"params\" repetida"));
            sawParams_ = true;
            at_ = At::Params;
          } else {
            if (sawRows_) fail(QStringLiteral("lista \"rows\" repetida"));
            if (!fieldsDone_)
              fail(QStringLiteral("a lista \"rows\" vem antes da lista \"fields\""));
            sawRows_ = true;
            at_ = At::Rows;
          }
          break;
        case At::Param:
          if (key_ != "value") wrongValue(QStringLiteral("uma lista"));
          at_ = At::ParamArray;
          paramValues_.clear();
          break;
        case At::Rows:
          if (packet_.fields.empty()) fail(QStringLiteral("linhas numa tabela sem campos"));
          if (packet_.recordCount() >= std::numeric_limits<qint32>::max())
            fail(QStringLiteral("linhas demais"));
          at_ = At::Row;
          column_ = 0;
          builder_->reset();
          break;
        default:
          wrongValue(QStringLiteral("uma lista"));
      }
      allowNext();
    });
  }
  bool EndArray(rapidjson::SizeType) {
    return guard([&] {
      switch (at_) {
        case At::Fields:
          endFields();
          at_ = At::Root;
          break;
        case At::Params:
        case At::Rows:
          at_ = At::Root;
          break;
        case At::ParamArray:
          param_ = PacketProperty::makeArray(QByteArray(), packettype::Unsigned, 2, paramValues_);
          at_ = At::Param;
          break;
        case At::Row: {
          if (column_ != static_cast<int>(packet_.fields.size()))
            fail(QStringLiteral("a linha %1 tem %2 valores; são %3 campos")
                     .arg(rowNo())
                     .arg(column_)
                     .arg(packet_.fields.size()));
          record_.clear();
          builder_->appendTo(record_);
          packet_.appendRecord(record_);
          at_ = At::Rows;
          break;
        }
        default:
          break;
      }
      allowNext();
    });
  }

 private:
  enum class At { Start, Root, Fields, Field, Params, Param, ParamArray, Rows, Row, End };
  enum class Kind { Null, True, False, Number, String };

  template <typename F>
  bool guard(F&& f) {
    try {
      f();
      return true;
    } catch (const Error& e) {
      error_ = e.message();
      return false;
    }
  }

  [[noreturn]] void failAt(std::size_t offset, const QString& what) const {
    throw Error(QStringLiteral("O arquivo '%1' não é uma tabela JSON válida: %2 (deslocamento %3).")
                    .arg(source_, what)
                    .arg(offset));
  }
  [[noreturn]] void fail(const QString& what) const { failAt(in_.Tell(), what); }

  QString keyText() const { return QString::fromUtf8(key_.left(60)); }
  int fieldNo() const { return static_cast<int>(packet_.fields.size()) + 1; }
  qsizetype rowNo() const { return static_cast<qsizetype>(packet_.recordCount()) + 1; }

  [[noreturn]] void wrongValue(const QString& given) const {
    switch (at_) {
      case At::Start:
        fail(QStringLiteral("esperado um objeto com \"fields\" e \"rows\", veio %1").arg(given));
      case At::Root:
        fail(QStringLiteral("\"%1\" deve ser uma lista, veio %2").arg(keyText(), given));
      case At::Fields:
        fail(QStringLiteral("o campo %1 deve ser um objeto, veio %2").arg(fieldNo()).arg(given));
      case At::Field:
        fail(QStringLiteral("campo %1: valor de \"%2\" inválido: %3")
                 .arg(fieldNo())
                 .arg(keyText(), given));
      case At::Params:
        fail(QStringLiteral("o parâmetro %1 deve ser um objeto, veio %2")
                 .arg(packet_.properties.size() + 1)
                 .arg(given));
      case At::Param:
      case At::ParamArray:
        fail(QStringLiteral("parâmetro %1: valor inválido: %2")
                 .arg(packet_.properties.size() + 1)
                 .arg(given));
      case At::Rows:
        fail(QStringLiteral("a linha %1 deve ser uma lista, veio %2").arg(rowNo()).arg(given));
      case At::Row:
        fail(QStringLiteral("linha %1: valor inválido: %2").arg(rowNo()).arg(given));
      case At::End:
        break;
    }
    fail(given);
  }

  static QString describe(Kind kind, const QByteArray& text) {
    switch (kind) {
      case Kind::Null:
        return QStringLiteral("null");
      case Kind::True:
        return QStringLiteral("true");
      case Kind::False:
        return QStringLiteral("false");
      case Kind::Number:
        return QStringLiteral("o número %1").arg(QString::fromLatin1(text.left(60)));
      case Kind::String:
        return QStringLiteral("o texto \"%1\"").arg(QString::fromUtf8(text.left(60)));
    }
    return {};
  }

  // Bytes the next element may take, by where it stands.
  void allowNext() {
    if (at_ != At::Row || column_ >= static_cast<int>(packet_.fields.size())) {
      in_.allow(kSlack + kScalar);
      return;
    }
    const PacketField& f = packet_.fields[static_cast<std::size_t>(column_)];
    std::size_t room = kScalar;
    if (isTextType(f.fieldType)) {
      // A character takes at most 12 bytes, as an escaped surrogate pair.
      const std::size_t chars = f.maxBytes         ? static_cast<std::size_t>(f.maxBytes)
                                : f.prefixSize < 4 ? (std::size_t(1) << (8 * f.prefixSize))
                                                   : std::numeric_limits<std::size_t>::max() / 16;
      room = std::max(room, chars * 12 + 2);
    } else if (f.fieldType == FieldType::Blob) {
      room = std::numeric_limits<std::size_t>::max() - kSlack;
    }
    in_.allow(kSlack + room);
  }

  bool scalar(Kind kind, const QByteArray& text) {
    return guard([&] {
      switch (at_) {
        case At::Field:
          fieldValue(kind, text);
          break;
        case At::Param:
          paramValue(kind, text);
          break;
        case At::ParamArray: {
          const IntegerText n = integerText(text);
          bool ok = kind == Kind::Number && n.integral && !n.huge;
          const qint64 v = ok ? n.digits.toLongLong(&ok) : 0;
          if (!ok || v < 0 || v > 0xFFFF)
            fail(QStringLiteral("parâmetro %1: %2 não cabe numa lista de inteiros de 0 a 65535")
                     .arg(packet_.properties.size() + 1)
                     .arg(describe(kind, text)));
          if (paramValues_.size() >= 0xFFFF) fail(QStringLiteral("parâmetro com valores demais"));
          paramValues_.push_back(v);
          break;
        }
        case At::Row:
          rowValue(kind, text);
          break;
        default:
          wrongValue(describe(kind, text));
      }
      allowNext();
    });
  }

  // An integer of a descriptor or parameter, in [lo, hi].
  qint64 integerIn(Kind kind, const QByteArray& text, qint64 lo, qint64 hi,
                   const QString& what) const {
    const IntegerText n = integerText(text);
    bool ok = kind == Kind::Number && n.integral && !n.huge;
    const qint64 v = ok ? n.digits.toLongLong(&ok) : 0;
    if (!ok || v < lo || v > hi)
      fail(QStringLiteral("%1: %2 não é um inteiro de %3 a %4")
               .arg(what, describe(kind, text))
               .arg(lo)
               .arg(hi));
    return v;
  }

  QString textOf(Kind kind, const QByteArray& text, const QString& what) const {
    if (kind != Kind::String)
      fail(QStringLiteral("%1: esperado um texto, veio %2").arg(what, describe(kind, text)));
    return QString::fromUtf8(text);
  }

  void fieldValue(Kind kind, const QByteArray& text) {
    const QString what = QStringLiteral("campo %1, \"%2\"").arg(fieldNo()).arg(keyText());
    if (key_ == "name") {
      field_.name = textOf(kind, text, what);
    } else if (key_ == "type") {
      fieldType_ = textOf(kind, text, what);
    } else if (key_ == "width") {
      if (kind != Kind::Null) width_ = static_cast<int>(integerIn(kind, text, 0, 0xFFFF, what));
    } else if (key_ == "size") {
      if (kind != Kind::Null) size_ = static_cast<int>(integerIn(kind, text, 0, 0xFFFF, what));
    } else if (key_ == "subtype") {
      if (kind != Kind::Null) subtype_ = textOf(kind, text, what);
    } else if (key_ == "attributes") {
      if (kind != Kind::Null)
        field_.attributes = static_cast<quint16>(integerIn(kind, text, 0, 0xFFFF, what));
    } else {
      fail(QStringLiteral("campo %1: chave \"%2\" desconhecida").arg(fieldNo()).arg(keyText()));
    }
  }

  void endField() {
    PacketField& f = field_;
    if (f.name.isEmpty()) fail(QStringLiteral("campo %1 sem nome").arg(fieldNo()));
    if (packet_.fields.size() >= 0xFFFF) fail(QStringLiteral("campos demais"));
    for (const PacketField& other : packet_.fields)
      if (other.name.compare(f.name, Qt::CaseInsensitive) == 0)
        fail(QStringLiteral("campo '%1' repetido").arg(f.name));
    f.rawName =
        toWindows1252(requireEncodable(f.name, QStringLiteral("nome do campo %1").arg(fieldNo())));
    if (f.rawName.size() > 255) fail(QStringLiteral("nome do campo '%1' longo demais").arg(f.name));
    bool known = false;
    for (const JsonType& t : kJsonTypes)
      if (fieldType_ == QLatin1String(t.name)) {
        f.type = t.type;
        f.size = t.size;
        known = true;
      }
    if (!known)
      fail(QStringLiteral("campo '%1' com tipo '%2' desconhecido").arg(f.name, fieldType_));
    if (fieldType_ == QLatin1String("string") && width_ > 255) f.size = 2;
    if (fieldType_ == QLatin1String("wstring") && width_ * 2 > 255) f.size = 2;
    if (size_ >= 0) f.size = static_cast<quint16>(size_);
    try {
      if (!subtype_.isEmpty())
        f.properties.push_back(PacketProperty::makeText("SUBTYPE", subtype_));
    } catch (const Error& e) {
      fail(e.message().chopped(1));
    }
    if (width_ > 0)
      f.properties.push_back(PacketProperty::makeInteger("WIDTH", packettype::Unsigned, 2, width_));
    packet_.fields.push_back(std::move(f));
    fieldType_.clear();
    subtype_.clear();
    width_ = 0;
    size_ = -1;
  }

  void endFields() {
    try {
      packet_.prepare();
    } catch (const Error& e) {
      fail(e.message().chopped(1));
    }
    builder_.emplace(packet_);
    fieldsDone_ = true;
  }

  void paramValue(Kind kind, const QByteArray& text) {
    const QString what = QStringLiteral("parâmetro %1").arg(packet_.properties.size() + 1);
    if (key_ == "name") {
      const QString name = textOf(kind, text, what);
      if (name.isEmpty()) fail(QStringLiteral("%1 sem nome").arg(what));
      paramName_ = toWindows1252(requireEncodable(name, QStringLiteral("nome do %1").arg(what)));
      if (paramName_.size() > 255) fail(QStringLiteral("%1: nome longo demais").arg(what));
      return;
    }
    if (kind == Kind::String) {
      try {
        param_ = PacketProperty::makeText(QByteArray(), QString::fromUtf8(text));
      } catch (const Error& e) {
        fail(e.message().chopped(1));
      }
    } else {
      // A plain number is the host's 32-bit integer property (as LCID).
      param_ = PacketProperty::makeInteger(QByteArray(), packettype::Integer, 4,
                                           integerIn(kind, text, std::numeric_limits<qint32>::min(),
                                                     std::numeric_limits<qint32>::max(), what));
    }
  }

  void endParam() {
    const QString what = QStringLiteral("parâmetro %1").arg(packet_.properties.size() + 1);
    if (paramName_.isEmpty()) fail(QStringLiteral("%1 sem nome").arg(what));
    if (!param_) fail(QStringLiteral("%1 sem valor").arg(what));
    // The host reads these by their type: a locale given as text would be no locale.
    if (paramName_ == "LCID" && (param_->isArray() || param_->isVarying()))
      fail(QStringLiteral("%1 (LCID): esperado um inteiro de 32 bits").arg(what));
    if ((paramName_ == "DEFAULT_ORDER" || paramName_ == "PRIMARY_KEY" ||
         paramName_ == "UNIQUE_KEY") &&
        !param_->isArray())
      fail(QStringLiteral("%1 (%2): esperada uma lista de números de campos")
               .arg(what, QString::fromLatin1(paramName_)));
    if (packet_.properties.size() >= 0xFFFF) fail(QStringLiteral("parâmetros demais"));
    param_->name = paramName_;
    packet_.properties.push_back(std::move(*param_));
  }

  void rowValue(Kind kind, const QByteArray& text) {
    if (column_ >= static_cast<int>(packet_.fields.size()))
      fail(QStringLiteral("a linha %1 tem mais de %2 valores")
               .arg(rowNo())
               .arg(packet_.fields.size()));
    const int field = column_++;
    const PacketField& f = packet_.fields[static_cast<std::size_t>(field)];
    const auto bad = [&](const QString& why) {
      fail(QStringLiteral("linha %1, campo '%2': %3 %4")
               .arg(rowNo())
               .arg(f.name, describe(kind, text), why));
    };
    const auto wrongType = [&] {
      bad(QStringLiteral("não serve para o tipo %1").arg(jsonFieldType(f)));
    };
    if (kind == Kind::Null) return;
    try {
      switch (f.fieldType) {
        case FieldType::Text:
        case FieldType::WideText:
          if (kind != Kind::String) wrongType();
          builder_->setText(field, QString::fromUtf8(text));
          return;
        case FieldType::Blob: {
          if (kind != Kind::String) wrongType();
          const auto decoded =
              QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
          if (!decoded) bad(QStringLiteral("não é base64"));
          builder_->setRaw(field, decoded.decoded.constData(), decoded.decoded.size());
          return;
        }
        case FieldType::Boolean:
          if (kind != Kind::True && kind != Kind::False) wrongType();
          builder_->setVariant(field, Variant(kind == Kind::True));
          return;
        case FieldType::Bcd: {
          if (kind != Kind::Number) wrongType();
          QByteArray bytes;
          packetbytes::encodeBcdText(bytes, f,
                                     text);  // exactly as written: a double would round it
          builder_->setRaw(field, bytes.constData(), bytes.size());
          return;
        }
        case FieldType::Number: {
          if (kind != Kind::Number) wrongType();
          bool ok = false;
          const double d = text.toDouble(&ok);
          if (!ok || !std::isfinite(d)) bad(QStringLiteral("não cabe num número de 64 bits"));
          builder_->setVariant(field, Variant(d));
          return;
        }
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::DateTime: {
          if (kind != Kind::Number) wrongType();
          bool ok = false;
          const double dt = text.toDouble(&ok);
          if (!ok || wholeMilliseconds(dt) < 0)
            bad(QStringLiteral("não é uma data e hora de 01/01/0001 a 31/12/9999"));
          if (f.fieldType == FieldType::Date && dt != std::floor(dt))
            bad(QStringLiteral("tem hora num campo de data"));
          if (f.fieldType == FieldType::Time && (dt < 0 || dt >= 1))
            bad(QStringLiteral("não é uma hora do dia (de 0 a 1)"));
          builder_->setVariant(field, Variant::dateTime(dt));
          return;
        }
        default: {
          if (kind != Kind::Number) wrongType();
          const IntegerText n = integerText(text);
          if (!n.integral) bad(QStringLiteral("não é inteiro"));
          const bool isSigned = f.code() == packettype::Integer;
          const int bits = f.size * 8;
          bool ok = !n.huge;
          quint64 stored = 0;
          if (ok && isSigned) {
            const qint64 v = n.digits.toLongLong(&ok);
            ok = ok &&
                 (bits == 64 || (v >= -(qint64(1) << (bits - 1)) && v < (qint64(1) << (bits - 1))));
            stored = static_cast<quint64>(v);
          } else if (ok) {
            stored = n.digits.startsWith('-') ? 0 : n.digits.toULongLong(&ok);
            ok = ok && !n.digits.startsWith('-') && (bits == 64 || stored < (quint64(1) << bits));
          }
          if (!ok) {
            const QString range = isSigned
                                      ? QStringLiteral("de %1 a %2")
                                            .arg(bits == 64 ? std::numeric_limits<qint64>::min()
                                                            : -(qint64(1) << (bits - 1)))
                                            .arg(bits == 64 ? std::numeric_limits<qint64>::max()
                                                            : (qint64(1) << (bits - 1)) - 1)
                                      : QStringLiteral("de 0 a %1")
                                            .arg(bits == 64 ? std::numeric_limits<quint64>::max()
                                                            : (quint64(1) << bits) - 1);
            bad(QStringLiteral("não cabe no tipo %1 (%2)").arg(jsonFieldType(f), range));
          }
          QByteArray raw;
          for (int i = 0; i < f.size; ++i)
            raw.append(static_cast<char>((stored >> (8 * i)) & 0xFF));
          builder_->setRaw(field, raw.constData(), raw.size());
          return;
        }
      }
    } catch (const Error& e) {
      if (e.message().startsWith(QStringLiteral("O arquivo"))) throw;
      QString why = e.message().chopped(1);
      if (why.startsWith(QLatin1String("Campo '"))) why[0] = u'c';
      fail(QStringLiteral("linha %1, %2").arg(rowNo()).arg(why));
    }
  }

  const QByteArray& json_;
  const QString& source_;
  LimitedStream in_;
  At at_ = At::Start;
  QString error_;
  QByteArray key_;
  bool sawFields_ = false, sawParams_ = false, sawRows_ = false, fieldsDone_ = false;
  DataPacket packet_;
  std::optional<RecordBuilder> builder_;
  QByteArray record_;
  int column_ = 0;
  // The field being read.
  PacketField field_;
  std::set<QByteArray> fieldKeys_;
  QString fieldType_, subtype_;
  int width_ = 0;
  int size_ = -1;
  // The parameter being read.
  QByteArray paramName_;
  std::optional<PacketProperty> param_;
  std::vector<qint64> paramValues_;
};

}  // namespace

DataPacket readJsonPacket(const QByteArray& json, const QString& source) {
  return JsonReader(json, source).read();
}

}  // namespace fw
