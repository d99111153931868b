// cds: a command-line tool for the people who keep table files.
//   cds json FILE          the table as JSON on standard output
//   cds convert IN OUT     between .cds (binary), .xml and .json, chosen by extension
//   cds dump FILE          fields and rows as a readable table
//   --substituir           characters the code page lacks become '?' (and are counted)
// Errors go to standard error, with exit status 1. Nothing is written that cds would not
// read back to the same values.
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "framework/core/Error.h"
#include "framework/packet/BinaryPacket.h"
#include "framework/packet/CodePage1252.h"
#include "framework/packet/FileIo.h"
#include "framework/packet/JsonPacket.h"
#include "framework/packet/XmlPacket.h"

namespace {

using namespace fw;

enum class Format { Binary, Xml, Json };

Format formatOf(const QString& path) {
  const QString ext = QFileInfo(path).suffix().toLower();
  if (ext == QLatin1String("cds")) return Format::Binary;
  if (ext == QLatin1String("xml")) return Format::Xml;
  if (ext == QLatin1String("json")) return Format::Json;
  throw Error(QStringLiteral("Extensão desconhecida em '%1': use .cds, .xml ou .json.").arg(path));
}

DataPacket load(const QString& path) {
  const Format format = formatOf(path);
  const QByteArray bytes = readWholeFile(path);
  switch (format) {
    case Format::Binary:
      return readBinaryPacket(bytes, path);
    case Format::Xml:
      return readXmlPacket(bytes, path);
    case Format::Json:
      return readJsonPacket(bytes, path);
  }
  return {};
}

// Every value decodes (dates in the calendar, times in the day), so no form gets written
// with something its reader would refuse.
void checkValues(const DataPacket& packet) {
  for (int r = 0; r < packet.recordCount(); ++r)
    for (int f = 0; f < static_cast<int>(packet.fields.size()); ++f) {
      try {
        (void)packet.value(r, f);
      } catch (const Error& e) {
        throw Error(QStringLiteral("Registro %1: %2").arg(r + 1).arg(e.message()));
      }
    }
}

void save(const QString& path, const DataPacket& packet) {
  checkValues(packet);
  switch (formatOf(path)) {
    case Format::Binary:
      writeFileAtomically(path, writeBinaryPacket(packet));
      break;
    case Format::Xml:
      writeFileAtomically(path, writeXmlPacket(packet));
      break;
    case Format::Json:
      writeFileAtomically(path, writeJsonPacket(packet));
      break;
  }
}

void print(const QByteArray& bytes) {
  if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) !=
      static_cast<size_t>(bytes.size()))
    throw Error(QStringLiteral("Não foi possível escrever na saída."));
}

QString dumpValue(const PacketField& f, const Variant& v) {
  if (v.isNull()) return QStringLiteral("·");
  switch (f.fieldType) {
    case FieldType::Blob: {
      const QByteArray bytes = v.toPacket();
      if (f.subtype() == QLatin1String("Text") || f.subtype() == QLatin1String("Memo"))
        return fromWindows1252(bytes)
            .replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
      return QStringLiteral("<%1 bytes>").arg(bytes.size());
    }
    case FieldType::Boolean:
      return v.toFlag() ? QStringLiteral("true") : QStringLiteral("false");
    case FieldType::Number:
      return QString::number(v.toNumber(), 'g', QLocale::FloatingPointShortest);
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: {
      const QDateTime at = fw::toQDateTime(v.toDateTime());
      const QDate date = at.date();
      const int ms = at.time().msecsSinceStartOfDay();
      const QString time = at.time().toString(QStringLiteral("HH:mm:ss.zzz"));
      if (f.fieldType == FieldType::Date) return date.toString(Qt::ISODate);
      if (f.fieldType == FieldType::Time) return time;
      return ms ? date.toString(Qt::ISODate) + QLatin1Char(' ') + time : date.toString(Qt::ISODate);
    }
    case FieldType::Text:
    case FieldType::WideText:
      return v.toText();
    default:
      return QString::number(v.toInteger());
  }
}

QByteArray dump(const DataPacket& p) {
  constexpr qsizetype kMaxColumn = 40;
  const std::size_t n = p.fields.size();
  std::vector<std::vector<QString>> cells(static_cast<std::size_t>(p.recordCount()) + 1,
                                          std::vector<QString>(n));
  for (std::size_t i = 0; i < n; ++i) cells[0][i] = p.fields[i].name;
  for (std::size_t r = 0; r < static_cast<std::size_t>(p.recordCount()); ++r)
    for (std::size_t i = 0; i < n; ++i) {
      const PacketField& f = p.fields[i];
      const ValueSpan span = p.span(static_cast<int>(r), static_cast<int>(i));
      QString text;
      if (f.fieldType == FieldType::Bcd && !span.null) {
        text = QString::fromLatin1(DataPacket::decimalText(f, span));
      } else if (f.fieldType == FieldType::UInt64 && !span.null) {
        quint64 u = 0;  // above the signed range a Variant would round it
        for (int b = 7; b >= 0; --b) u = (u << 8) | static_cast<unsigned char>(span.data[b]);
        text = QString::number(u);
      } else {
        text = dumpValue(f, DataPacket::decode(f, span));
      }
      if (text.size() > kMaxColumn) text = text.left(kMaxColumn - 1) + QChar(0x2026);
      cells[r + 1][i] = text;
    }
  std::vector<qsizetype> widths(n, 0);
  for (const auto& row : cells)
    for (std::size_t i = 0; i < n; ++i) widths[i] = std::max(widths[i], row[i].size());

  QString out = QStringLiteral("%1 campos, %2 registros\n").arg(n).arg(p.recordCount());
  for (const PacketField& f : p.fields) {
    out += QStringLiteral("  %1  %2").arg(f.name, jsonFieldType(f));
    if (f.width() > 0) out += QStringLiteral("(%1)").arg(f.width());
    if (!f.subtype().isEmpty()) out += QStringLiteral(" %1").arg(f.subtype());
    if (f.attributes) out += QStringLiteral(" atributos %1").arg(f.attributes);
    out += QLatin1Char('\n');
  }
  for (const PacketProperty& prop : p.properties)
    out += QStringLiteral("  parâmetro %1\n").arg(fromWindows1252(prop.name));
  out += QLatin1Char('\n');
  for (std::size_t r = 0; r < cells.size(); ++r) {
    QString line;
    for (std::size_t i = 0; i < n; ++i) {
      if (i) line += QStringLiteral(" | ");
      line += cells[r][i].leftJustified(widths[i]);
    }
    out += line.trimmed() + QLatin1Char('\n');
    if (r == 0) {
      QString rule;
      for (std::size_t i = 0; i < n; ++i)
        rule += (i ? QStringLiteral("-+-") : QString()) + QString(widths[i], QLatin1Char('-'));
      out += rule + QLatin1Char('\n');
    }
  }
  return out.toUtf8();
}

constexpr const char* kUsage =
    "uso: cds json ARQUIVO\n"
    "     cds convert ENTRADA SAIDA   (.cds, .xml ou .json, pela extensão)\n"
    "     cds dump ARQUIVO\n"
    "     cds --help | --version\n"
    "opção: --substituir   troca por '?' os caracteres que a página de código da tabela\n"
    "                      (Windows-1252) não tem, em vez de recusar o arquivo\n";

int usage() {
  std::fputs(kUsage, stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
    std::fputs(kUsage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (args.contains(QLatin1String("--version"))) {
    std::printf("cds %s\n", REGVENDA_VERSION);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  std::optional<CodePageReplacement> replacement;
  if (args.removeAll(QStringLiteral("--substituir")) > 0) replacement.emplace();
  if (args.size() < 2) return usage();
  const QString command = args[1];
  try {
    if (command == QLatin1String("json") && args.size() == 3) {
      print(writeJsonPacket(load(args[2])));
    } else if (command == QLatin1String("dump") && args.size() == 3) {
      print(dump(load(args[2])));
    } else if (command == QLatin1String("convert") && args.size() == 4) {
      formatOf(args[3]);
      save(args[3], load(args[2]));
    } else {
      return usage();
    }
    if (replacement && replacement->replaced() > 0)
      std::fprintf(
          stderr,
          "cds: %lld caractere(s) sem lugar na página de código Windows-1252 trocado(s) por '?'.\n",
          static_cast<long long>(replacement->replaced()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cds: %s\n", fw::messageOf(e).toLocal8Bit().constData());
    return 1;
  }
  std::fflush(stdout);
  return std::ferror(stdout) ? 1 : 0;
}
