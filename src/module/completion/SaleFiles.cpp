// The sale file and the cash-movement file of one coupon: GeraArquivo and the layouts of
// the two output tables. The host application picks the files up from the output folder
// later, so their field order, types and widths are fixed.
#include <QDateTime>
#include <QFileInfo>
#include <cmath>
#include <exception>

#include "framework/core/Error.h"
#include "framework/packet/FileIo.h"
#include "framework/text/NumberText.h"
#include "module/completion/SentFiles.h"
#include "module/shell/Paths.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

using fw::FieldDef;
using fw::FieldType;
using fw::LocalTable;

std::vector<FieldDef> TfrmVendaArquivo::saleFileFields() {
  return {
      FieldDef::text(QStringLiteral("CDPRODUTO"), 10),
      FieldDef::text(QStringLiteral("NMPRODUTO"), 50),
      FieldDef::number(QStringLiteral("QTPRODVEND")),
      FieldDef::text(QStringLiteral("QTPRODCOMVEN"), 10),
      FieldDef::number(QStringLiteral("VRPRECCOMVEN")),
      FieldDef::number(QStringLiteral("VRUNITVEND")),
      FieldDef::number(QStringLiteral("VRPEALIMPFIS")),
      FieldDef::number(QStringLiteral("VRTOTVEND")),
      FieldDef::text(QStringLiteral("CDFILIAL"), 4),
      FieldDef::text(QStringLiteral("CDCAIXA"), 3),
      FieldDef::text(QStringLiteral("CDCLIENTE"), 20),
      FieldDef::text(QStringLiteral("CDEMPRESA"), 2),
      FieldDef::dateTime(QStringLiteral("DTVENDA")),
      FieldDef::dateTime(QStringLiteral("DTENTRVENDA")),
      FieldDef::dateTime(QStringLiteral("DTFECHAVENDA")),
      FieldDef::text(QStringLiteral("IDSITUVENDA"), 1),
      FieldDef::number(QStringLiteral("VRDESCVENDA")),
      FieldDef::text(QStringLiteral("CDFILIALTUR"), 4),
      FieldDef::text(QStringLiteral("CDCAIXATUR"), 3),
      FieldDef::dateTime(QStringLiteral("DTABERTUR")),
      FieldDef::text(QStringLiteral("NRCUPOMFIS"), 10),
      FieldDef::text(QStringLiteral("NRCONTCUPOMFISC"), 9),
      FieldDef::text(QStringLiteral("CDOPERADOR"), 12),
      FieldDef::text(QStringLiteral("CDLOJA"), 10),
      FieldDef::text(QStringLiteral("IDTIPOVENDA"), 1),
      FieldDef::text(QStringLiteral("TXOBSVENDA"), 2000),
      FieldDef::text(QStringLiteral("IDVENDEBCONS"), 1),
      FieldDef::text(QStringLiteral("IDCANCMANUAL"), 1),
      FieldDef::text(QStringLiteral("NRSEQUITVENDA"), 10),
      FieldDef::text(QStringLiteral("NRSEQ"), 3),
      FieldDef::number(QStringLiteral("VRUNITVENDCL")),
      FieldDef::text(QStringLiteral("CDPRODPROMOCAO"), 10),
      FieldDef::number(QStringLiteral("VRREPIQUEVENDA")),
      FieldDef::text(QStringLiteral("IDPRODIMPFIS"), 1),
      FieldDef::text(QStringLiteral("CDORDALIQIMPR"), 5),
  };
}

std::vector<FieldDef> TfrmVendaArquivo::cashMovementFields() {
  return {
      FieldDef::text(QStringLiteral("CDFILIAL"), 4),
      FieldDef::text(QStringLiteral("CDTIPORECE"), 3),
      FieldDef::text(QStringLiteral("NMTIPORECE"), 40),
      FieldDef::text(QStringLiteral("IDTIPORECE"), 1),
      FieldDef::text(QStringLiteral("CDTIPOTROCO"), 3),
      FieldDef::text(QStringLiteral("NRORDTROCO"), 3),
      FieldDef::text(QStringLiteral("DSIMPFISCAL"), 50),
      FieldDef::number(QStringLiteral("VRMOVIVEND")),
      FieldDef::text(QStringLiteral("IDTIPOMOVIVE"), 1),
      FieldDef::dateTime(QStringLiteral("DTHRINCMOV")),
      FieldDef::text(QStringLiteral("CDCLIENTE"), 21),
      FieldDef::text(QStringLiteral("CDCCUSCLIE"), 10),
      FieldDef::dateTime(QStringLiteral("DTMOVIMCAIXA")),
  };
}

namespace {

enum class Copy { Text, Number, DateTime };

struct Column {
  const char* field;
  Copy kind;
  bool onlyCompleted;  // written for a completed sale, left empty for a cancelled one
};

// The sale file's columns, each filled from the item list's field of the same name.
constexpr Column kSaleColumns[] = {
    {"CDPRODUTO", Copy::Text, false},        {"NMPRODUTO", Copy::Text, false},
    {"QTPRODVEND", Copy::Text, false},       {"QTPRODCOMVEN", Copy::Text, false},
    {"VRPRECCOMVEN", Copy::Number, false},   {"VRUNITVEND", Copy::Number, false},
    {"VRPEALIMPFIS", Copy::Text, false},     {"VRTOTVEND", Copy::Number, false},
    {"CDFILIAL", Copy::Text, false},         {"CDCAIXA", Copy::Text, false},
    {"CDCLIENTE", Copy::Text, false},        {"CDEMPRESA", Copy::Text, false},
    {"DTVENDA", Copy::DateTime, false},      {"DTENTRVENDA", Copy::DateTime, false},
    {"DTFECHAVENDA", Copy::DateTime, false}, {"IDSITUVENDA", Copy::Text, false},
    {"VRDESCVENDA", Copy::Number, false},    {"CDFILIALTUR", Copy::Text, false},
    {"CDCAIXATUR", Copy::Text, false},       {"DTABERTUR", Copy::DateTime, false},
    {"NRCUPOMFIS", Copy::Text, false},       {"NRCONTCUPOMFISC", Copy::Text, true},
    {"CDOPERADOR", Copy::Text, false},       {"CDLOJA", Copy::Text, false},
    {"IDTIPOVENDA", Copy::Text, false},      {"TXOBSVENDA", Copy::Text, false},
    {"IDVENDEBCONS", Copy::Text, false},     {"IDCANCMANUAL", Copy::Text, false},
    {"NRSEQUITVENDA", Copy::Text, false},    {"NRSEQ", Copy::Text, false},
    {"VRUNITVENDCL", Copy::Number, false},   {"CDPRODPROMOCAO", Copy::Text, false},
    {"VRREPIQUEVENDA", Copy::Number, false}, {"IDPRODIMPFIS", Copy::Text, false},
    {"CDORDALIQIMPR", Copy::Text, true},
};

void setTextOrNull(LocalTable& target, const QString& field, const QString& text) {
  if (text.isEmpty()) {
    target.setNull(field);
  } else {
    target.setText(field, text);
  }
}

// A target column with what the copy needs to know of it, looked up once.
struct Target {
  QString name;
  Copy kind;
  bool onlyCompleted = false;
  bool numeric = false;  // a number field that takes the text form back as a number
  int width = 0;
};

template <std::size_t N>
std::vector<Target> targets(const std::vector<FieldDef>& layout, const Column (&columns)[N]) {
  std::vector<Target> result;
  for (const auto& column : columns) {
    Target t{QString::fromLatin1(column.field), column.kind, column.onlyCompleted};
    for (const FieldDef& def : layout) {
      if (def.name == t.name) {
        t.numeric = def.type == FieldType::Number;
        t.width = def.type == FieldType::Text ? def.width : 0;
      }
    }
    result.push_back(std::move(t));
  }
  return result;
}

const std::vector<Target>& saleTargets() {
  static const std::vector<Target> columns =
      targets(TfrmVendaArquivo::saleFileFields(), kSaleColumns);
  return columns;
}

const std::vector<Target>& paymentTargets() {
  // Copied as they are; IDTIPOMOVIVE and the sale-context columns are written apart.
  static constexpr Column columns[] = {
      {"CDFILIAL", Copy::Text, false},       {"CDTIPORECE", Copy::Text, false},
      {"NMTIPORECE", Copy::Text, false},     {"IDTIPORECE", Copy::Text, false},
      {"CDTIPOTROCO", Copy::Text, false},    {"NRORDTROCO", Copy::Text, false},
      {"DSIMPFISCAL", Copy::Text, false},    {"VRMOVIVEND", Copy::Number, false},
      {"DTHRINCMOV", Copy::DateTime, false},
  };
  static const std::vector<Target> result =
      targets(TfrmVendaArquivo::cashMovementFields(), columns);
  return result;
}

// The copy kinds, as the host's field access gives them. A number travels through its
// general text form (at most 15 significant digits, the decimal comma, no grouping), cut to
// the target's width; an empty source leaves the target empty, or 0 for numbers and dates.
void copyField(const LocalTable& source, LocalTable& target, const Target& column) {
  const fw::Variant value = source.asVariant(column.name);
  switch (column.kind) {
    case Copy::Text: {
      const QString text = value.kind() == fw::Variant::Kind::Number
                               ? fw::formatGeneral(value.toNumber())
                               : value.toText();
      if (text.isEmpty()) {
        target.setNull(column.name);
      } else if (column.numeric) {
        target.setNumber(column.name, fw::parseNumber(text));
      } else {
        target.setText(column.name, column.width > 0 ? text.left(column.width) : text);
      }
      break;
    }
    case Copy::Number:
      target.setNumber(column.name, value.toNumber());
      break;
    case Copy::DateTime:
      target.setDateTime(column.name, value.toDateTime());
      break;
  }
}

const Target& paymentColumn(const char* field) {
  for (const Target& t : paymentTargets()) {
    if (t.name == QLatin1String(field)) return t;
  }
  throw fw::Error(QStringLiteral("Campo '%1' não encontrado.").arg(QLatin1String(field)));
}

// Branch, register and coupon number come from files and from the printer: none of them
// may take the file out of the output folder.
bool safeNamePart(const QString& part) {
  return !part.contains(QLatin1Char('/')) && !part.contains(QLatin1Char('\\')) &&
         !part.contains(QStringLiteral("..")) && !part.contains(QChar(u'\0'));
}

QString outputName(const QString& prefix, const QString& coupon) {
  if (!safeNamePart(stFilialLogin) || !safeNamePart(stCaixaAber) || !safeNamePart(coupon)) {
    throw fw::Error(
        QStringLiteral("Não foi possível gravar o arquivo da venda: a filial \"%1\", o caixa "
                       "\"%2\" ou o número do cupom \"%3\" contém \"/\", \"\\\" ou \"..\".")
            .arg(stFilialLogin, stCaixaAber, coupon));
  }
  return prefix + stFilialLogin + QLatin1Char('_') + stCaixaAber + QLatin1Char('_') + coupon +
         QStringLiteral(".cds");
}

QString outputFile(const QString& prefix) {
  return shell::outputDirectory() + QLatin1Char('/') + outputName(prefix, stCupomVen);
}

// Another sale's file under a name this sale is about to write (the printer's numbers
// started over) goes to "Substituidos" under a dated name; it is never deleted.
void moveAsideIfPresent(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) return;
  const QString folder = info.absolutePath() + QStringLiteral("/Substituidos/");
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString target =
      folder + info.completeBaseName() + QLatin1Char('_') + stamp + QStringLiteral(".cds");
  for (int n = 2; QFileInfo::exists(target); ++n) {
    target = folder + info.completeBaseName() + QLatin1Char('_') + stamp + QLatin1Char('-') +
             QString::number(n) + QStringLiteral(".cds");
  }
  fw::moveFileAside(path, target);
}

void resetTable(LocalTable& table, const std::vector<FieldDef>& fields) {
  table.close();
  if (!table.hasDeclaredFields()) table.declareFields(fields);
  table.createDataSet();
}

}  // namespace

QString TfrmVendaArquivo::saleFileName(const QString& coupon) {
  return outputName(QStringLiteral("Venda"), coupon);
}

bool TfrmVendaArquivo::GeraArquivo(const QString& mode) {
  try {
    // The take-up never removes a name while this sale's files are saved under it; it is
    // waited for a moment at most.
    const fw::FolderLock hold(shell::resolvePath(shell::outputDirectory()), 2000);
    resetTable(cdsVendaArq, saleFileFields());
    resetTable(cdsMovCaixaArq, cashMovementFields());

    bool result = false;
    if (mode == QLatin1String("O"))
      result = writeCompletedSale();
    else if (mode == QLatin1String("C"))
      result = writeCancelledSale();
    else if (mode == QLatin1String("P"))
      result = markLastCouponCancelled();

    boCupomAberto = false;
    if (result) {
      boCupomFechado = false;
      cancelamentoDevido.clear();
    }
    return result;
  } catch (const std::exception& error) {
    showMessage(fw::messageOf(error));
  }
  return false;
}

bool TfrmVendaArquivo::writeCompletedSale() {
  const QString saleFile = outputFile(QStringLiteral("Venda"));
  const QString cashFile = outputFile(QStringLiteral("MovCaixa"));
  fillSaleFile(true);
  claimOutputNames(saleFile, cashFile);
  cdsVendaArq.saveToFile(saleFile);
  fillCashMovementFile();
  cdsMovCaixaArq.saveToFile(cashFile);
  ultimoCupomFechado = stCupomVen;
  ultimoArquivoVenda = QFileInfo(saleFile).fileName();
  return true;
}

bool TfrmVendaArquivo::writeCancelledSale() {
  const QString saleFile = outputFile(QStringLiteral("Venda"));
  fillSaleFile(false);
  claimOutputNames(saleFile, QString());
  cdsVendaArq.saveToFile(saleFile);
  return true;
}

void TfrmVendaArquivo::claimOutputNames(const QString& saleFile, const QString& cashFile) {
  if (arquivosTentados) return;
  moveAsideIfPresent(saleFile);
  if (!cashFile.isEmpty()) moveAsideIfPresent(cashFile);
  // From here what the names hold is this sale's own attempt, also after a crash.
  arquivosTentados = true;
  keepSale();
}

void TfrmVendaArquivo::fillSaleFile(bool completed) {
  // An item list that was never created (the printer refused the first item) holds no rows.
  if (!cdsAddProduto.active()) return;
  cdsAddProduto.first();
  while (!cdsAddProduto.eof()) {
    cdsVendaArq.insert();
    for (const Target& column : saleTargets()) {
      if (column.onlyCompleted && !completed) continue;
      copyField(cdsAddProduto, cdsVendaArq, column);
    }
    cdsVendaArq.post();
    cdsAddProduto.next();
  }
}

void TfrmVendaArquivo::fillCashMovementFile() {
  const QString cdCliente = stCdCliente.left(21);
  const QString centroCusto = stCentroCusto.left(10);
  const auto writeSaleContext = [&] {
    setTextOrNull(cdsMovCaixaArq, QStringLiteral("CDCLIENTE"), cdCliente);
    setTextOrNull(cdsMovCaixaArq, QStringLiteral("CDCCUSCLIE"), centroCusto);
    cdsMovCaixaArq.setDateTime(QStringLiteral("DTMOVIMCAIXA"), dtDataMovimento);
  };

  if (cdsReceb.active()) {
    cdsReceb.first();
    while (!cdsReceb.eof()) {
      cdsMovCaixaArq.insert();
      for (const Target& column : paymentTargets()) copyField(cdsReceb, cdsMovCaixaArq, column);
      cdsMovCaixaArq.setText(QStringLiteral("IDTIPOMOVIVE"), QStringLiteral("E"));
      writeSaleContext();
      cdsMovCaixaArq.post();
      cdsReceb.next();
    }
  }

  // Decided and written on the amounts as the screen showed them: no change row for a
  // difference below a cent, and no change amount with a fraction of one.
  const double total = fw::roundAmount(saleTotal());
  const double received = fw::roundAmount(doTotal);
  if (total < received) {
    // The copy above ended on the payment list's last row.
    cdsMovCaixaArq.insert();
    copyField(cdsReceb, cdsMovCaixaArq, paymentColumn("CDFILIAL"));
    cdsMovCaixaArq.setText(QStringLiteral("CDTIPORECE"), QStringLiteral("001"));
    cdsMovCaixaArq.setText(QStringLiteral("NMTIPORECE"), QStringLiteral("Dinheiro"));
    cdsMovCaixaArq.setText(QStringLiteral("IDTIPORECE"), QStringLiteral("4"));
    cdsMovCaixaArq.setText(QStringLiteral("CDTIPOTROCO"), QStringLiteral("001"));
    copyField(cdsReceb, cdsMovCaixaArq, paymentColumn("NRORDTROCO"));
    cdsMovCaixaArq.setNull(QStringLiteral("DSIMPFISCAL"));
    cdsMovCaixaArq.setNumber(QStringLiteral("VRMOVIVEND"),
                             fw::roundAmount(std::abs(received - total)));
    cdsMovCaixaArq.setText(QStringLiteral("IDTIPOMOVIVE"), QStringLiteral("S"));
    copyField(cdsReceb, cdsMovCaixaArq, paymentColumn("DTHRINCMOV"));
    writeSaleContext();
    cdsMovCaixaArq.post();
  }
}

bool TfrmVendaArquivo::markLastCouponCancelled() {
  // The last closed coupon's own file, rewritten in place.
  const QString name = ultimoArquivoVenda.isEmpty() ? saleFileName(stCupomVen) : ultimoArquivoVenda;
  const QString coupon = ultimoCupomFechado.isEmpty() ? stCupomVen : ultimoCupomFechado;
  if (!safeNamePart(name))
    throw fw::Error(QStringLiteral("Nome de arquivo inválido: \"%1\".").arg(name));
  const QString saleFile = shell::outputDirectory() + QLatin1Char('/') + name;
  // Taken up by the office already: the cancelled copy goes to the output folder again.
  const QString source = QFileInfo::exists(saleFile) ? saleFile : completion::sentSaleFile(name);
  if (source.isEmpty()) {
    // Nothing to mark, and nothing owed: the cashier is told which coupon it was.
    cancelamentoDevido.clear();
    showMessage(
        QStringLiteral("O cupom %1 foi cancelado na impressora, mas o arquivo da venda deste cupom "
                       "(%2) não foi encontrado.")
            .arg(coupon.isEmpty() ? QStringLiteral("?") : coupon, name));
    return false;
  }
  cdsVendaArq.loadFromFile(source);
  cdsVendaArq.first();
  while (!cdsVendaArq.eof()) {
    cdsVendaArq.edit();
    cdsVendaArq.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("C"));
    cdsVendaArq.post();
    cdsVendaArq.next();
  }
  cdsVendaArq.saveToFile(saleFile);
  return true;
}
