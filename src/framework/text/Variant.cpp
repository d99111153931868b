// Variant conversions follow the host framework's variants: null reads as "", 0 and false;
// a flag that is true counts as -1 when read as a number; numbers go to integers by
// rounding half to even; texts go through the locale's number, flag and date readers.
#include "framework/text/Variant.h"

#include <QStringList>
#include <cmath>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"

namespace fw {

namespace {

const VariantList& emptyList() {
  static const VariantList list;
  return list;
}

QString kindName(Variant::Kind kind) {
  switch (kind) {
    case Variant::Kind::Null:
      return QStringLiteral("nulo");
    case Variant::Kind::Text:
      return QStringLiteral("texto");
    case Variant::Kind::Integer:
      return QStringLiteral("inteiro");
    case Variant::Kind::Number:
      return QStringLiteral("número");
    case Variant::Kind::Flag:
      return QStringLiteral("lógico");
    case Variant::Kind::DateTime:
      return QStringLiteral("data e hora");
    case Variant::Kind::Packet:
      return QStringLiteral("pacote de dados");
    case Variant::Kind::Array:
      return QStringLiteral("lista");
  }
  return {};
}

[[noreturn]] void cannotConvert(Variant::Kind from, const QString& to) {
  throw Error(QStringLiteral("Não é possível converter um valor do tipo %1 em %2.")
                  .arg(kindName(from), to));
}

qint64 roundToInteger(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
    throw Error(QStringLiteral("O valor %1 não cabe em um inteiro.").arg(value));
  return static_cast<qint64>(r);
}

}  // namespace

Variant::Variant(const QString& text) : kind_(Kind::Text), text_(text) {}
Variant::Variant(const char* utf8) : kind_(Kind::Text), text_(QString::fromUtf8(utf8)) {}
Variant::Variant(int value) : kind_(Kind::Integer) { integer_ = value; }
Variant::Variant(qint64 value) : kind_(Kind::Integer) { integer_ = value; }
Variant::Variant(double value) : kind_(Kind::Number) { number_ = value; }
Variant::Variant(bool value) : kind_(Kind::Flag) { flag_ = value; }

Variant Variant::dateTime(double days) {
  Variant v;
  v.kind_ = Kind::DateTime;
  v.number_ = days;
  return v;
}

Variant Variant::packet(const QByteArray& bytes) {
  Variant v;
  v.kind_ = Kind::Packet;
  v.bytes_ = bytes;
  return v;
}

Variant Variant::array(VariantList items) {
  Variant v;
  v.kind_ = Kind::Array;
  v.items_ = std::make_shared<VariantList>(std::move(items));
  return v;
}

Variant Variant::emptyArray(int count) {
  return array(VariantList(static_cast<std::size_t>(std::max(count, 0))));
}

QString Variant::toText() const {
  switch (kind_) {
    case Kind::Null:
      return {};
    case Kind::Text:
      return text_;
    case Kind::Integer:
      return QString::number(integer_);
    case Kind::Number:
      return formatGeneral(number_);
    case Kind::Flag:
      return flag_ ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::DateTime:
      return formatDateTime(number_);
    case Kind::Packet:
    case Kind::Array:
      break;
  }
  cannotConvert(kind_, QStringLiteral("texto"));
}

double Variant::toNumber() const {
  switch (kind_) {
    case Kind::Null:
      return 0.0;
    case Kind::Text:
      return parseNumber(text_);
    case Kind::Integer:
      return static_cast<double>(integer_);
    case Kind::Number:
    case Kind::DateTime:
      return number_;
    case Kind::Flag:
      return flag_ ? -1.0 : 0.0;
    case Kind::Packet:
    case Kind::Array:
      break;
  }
  cannotConvert(kind_, QStringLiteral("número"));
}

qint64 Variant::toInteger() const {
  switch (kind_) {
    case Kind::Null:
      return 0;
    case Kind::Text: {
      double value = 0;
      try {
        return textToInteger(text_);
      } catch (const Error&) {
        if (!tryParseNumber(text_, &value)) throw;
      }
      return roundToInteger(value);
    }
    case Kind::Integer:
      return integer_;
    case Kind::Number:
    case Kind::DateTime:
      return roundToInteger(number_);
    case Kind::Flag:
      return flag_ ? -1 : 0;
    case Kind::Packet:
    case Kind::Array:
      break;
  }
  cannotConvert(kind_, QStringLiteral("inteiro"));
}

bool Variant::toFlag() const {
  switch (kind_) {
    case Kind::Null:
      return false;
    case Kind::Text:
      return textToFlag(text_);
    case Kind::Integer:
      return integer_ != 0;
    case Kind::Number:
    case Kind::DateTime:
      return number_ != 0.0;
    case Kind::Flag:
      return flag_;
    case Kind::Packet:
    case Kind::Array:
      break;
  }
  cannotConvert(kind_, QStringLiteral("lógico"));
}

double Variant::toDateTime() const {
  switch (kind_) {
    case Kind::Null:
      return 0.0;
    case Kind::Text:
      return parseDateTime(text_);
    case Kind::Integer:
      return static_cast<double>(integer_);
    case Kind::Number:
    case Kind::DateTime:
      return number_;
    case Kind::Flag:
      return flag_ ? -1.0 : 0.0;
    case Kind::Packet:
    case Kind::Array:
      break;
  }
  cannotConvert(kind_, QStringLiteral("data e hora"));
}

QByteArray Variant::toPacket() const {
  if (kind_ == Kind::Null) return {};
  if (kind_ == Kind::Packet) return bytes_;
  cannotConvert(kind_, QStringLiteral("pacote de dados"));
}

int Variant::size() const { return kind_ == Kind::Array ? static_cast<int>(items_->size()) : 0; }

const Variant& Variant::at(int index) const {
  if (kind_ != Kind::Array || index < 0 || index >= size())
    throw Error(QStringLiteral("Índice %1 fora dos limites da lista (%2 elementos).")
                    .arg(index)
                    .arg(size()));
  return (*items_)[static_cast<std::size_t>(index)];
}

Variant& Variant::operator[](int index) {
  if (kind_ != Kind::Array || index < 0 || index >= size())
    throw Error(QStringLiteral("Índice %1 fora dos limites da lista (%2 elementos).")
                    .arg(index)
                    .arg(size()));
  if (items_.use_count() > 1) items_ = std::make_shared<VariantList>(*items_);
  return (*items_)[static_cast<std::size_t>(index)];
}

const VariantList& Variant::items() const { return kind_ == Kind::Array ? *items_ : emptyList(); }

bool Variant::operator==(const Variant& other) const {
  const auto numeric = [](Kind k) { return k == Kind::Integer || k == Kind::Number; };
  if (numeric(kind_) && numeric(other.kind_)) {
    if (kind_ == Kind::Integer && other.kind_ == Kind::Integer) return integer_ == other.integer_;
    const double a = kind_ == Kind::Integer ? static_cast<double>(integer_) : number_;
    const double b =
        other.kind_ == Kind::Integer ? static_cast<double>(other.integer_) : other.number_;
    return a == b;
  }
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case Kind::Null:
      return true;
    case Kind::Text:
      return text_ == other.text_;
    case Kind::Flag:
      return flag_ == other.flag_;
    case Kind::DateTime:
      return number_ == other.number_;
    case Kind::Packet:
      return bytes_ == other.bytes_;
    case Kind::Array:
      return items_ == other.items_ || *items_ == *other.items_;
    case Kind::Integer:
    case Kind::Number:
      break;
  }
  return false;
}

QString Variant::debugText() const {
  switch (kind_) {
    case Kind::Null:
      return QStringLiteral("Null");
    case Kind::Text:
      return QStringLiteral("Text(\"%1\")").arg(text_);
    case Kind::Integer:
      return QStringLiteral("Integer(%1)").arg(integer_);
    case Kind::Number:
      return QStringLiteral("Number(%1)").arg(QString::number(number_, 'g', 17));
    case Kind::Flag:
      return flag_ ? QStringLiteral("Flag(true)") : QStringLiteral("Flag(false)");
    case Kind::DateTime:
      return QStringLiteral("DateTime(%1)").arg(QString::number(number_, 'g', 17));
    case Kind::Packet:
      return QStringLiteral("Packet(%1 bytes)").arg(bytes_.size());
    case Kind::Array: {
      QStringList parts;
      for (const Variant& v : *items_) parts << v.debugText();
      return QStringLiteral("Array[%1]").arg(parts.join(QStringLiteral(", ")));
    }
  }
  return {};
}

}  // namespace fw
