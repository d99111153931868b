// InicializaForm: prepares a fresh screen and its output folder, loads the input tables
// that are present and fills the sale context from them. A missing file is skipped (its
// values keep what they held); the parameters file is the one that cannot be missing,
// because the identification step asks it for "DSDIRCAD".
#include <QDir>
#include <QFileInfo>
#include <cstdint>
#include <functional>
#include <limits>

#include "framework/core/Error.h"
#include "module/shell/Paths.h"
#include "module/shell/SaleContext.h"
#include "module/shell/Screen.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

// The key the identification text was scrambled with by the host's tools.
constexpr int kIdentificationKey = 7;

bool fileExists(const QString& path) { return QFileInfo(path).isFile(); }

}  // namespace

void TfrmVendaArquivo::InicializaForm() {
  // 1. The output folder; only one level is created, and a missing "\Dados" is not reported.
  const QString output = shell::outputDirectory();
  if (!QFileInfo(output).isDir()) QDir().mkdir(output);

  // 2. The payment grid has no fixed area of its own to show: white, like its cells.
  dbgProd->applyDefaultColors(QColor(0x00, 0x00, 0x80));
  dbgRece->applyDefaultColors(Qt::white);

  // 3. The cashier first sees no amounts at all, not the design's "00,00".
  lblTotal->setText(QString());
  lblTotRecebido->setText(QString());
  lblValTroco->setText(QString());

  // 4.
  resize(800, 600);

  // 5. Only on a small screen; elsewhere the form is centred when shown.
  const QRect screen = shell::screenGeometry();
  if (screen.width() < 800) move((screen.width() - width()) / 2, y());
  if (screen.height() < 600) move(x(), (screen.height() - height()) / 2);

  // 6.-12. The input files, in this order; a missing one is left out and its table stays
  // as it was. The catalog is read only once per form.
  bool parametersFound = false;
  const struct {
    const char* path;
    fw::LocalTable* table;
    std::function<void()> read;  // what the screen takes from the file, once loaded
  } inputs[] = {
      {"\\Dados\\Cadastros\\ProdArquivo.cds", cdsProdutos.isEmpty() ? &cdsProdutos : nullptr, {}},
      {"\\PARAMETROSORV.CDS", &cdsParametrosOrv,
       [&] {
         parametersFound = true;
         readParameters();
       }},
      {"\\Dados\\Cadastros\\ControleAcess.cds", &cdsControleAcess,
       [this] {
         stOperadorLogin = cdsControleAcess.asText(QStringLiteral("CDOPERADOR"));
         stNmOperador = cdsControleAcess.asText(QStringLiteral("NMOPERADOR"));
       }},
      {"\\Dados\\Cadastros\\AliqSistema.cds", &cdsAliquota, {}},
      {"\\Dados\\Cadastros\\AliqImpFis.cds", &cdsAliqImpFis, {}},
      {"\\Dados\\Cadastros\\DataMovimento.cds", &cdsDataMovimento,
       [this] { dtDataMovimento = cdsDataMovimento.asDateTime(QStringLiteral("DATAMOVIMENTO")); }},
      {"\\Dados\\Cadastros\\ConfTipoRece.cds", &cdsRecebAux, {}},
  };
  for (const auto& input : inputs) {
    if (!input.table) continue;
    const QString path = shell::hostPath(QString::fromLatin1(input.path));
    if (!fileExists(path)) continue;
    input.table->loadFromFile(path);
    if (input.read) input.read();
  }
  // The first product search must not make the first customer wait while a large catalog
  // is indexed: it is indexed on the event loop once the screen is up.
  if (outside::PreparaPesquisa) outside::PreparaPesquisa(cdsProdutos);
  prepareProductLookups();

  // 13.
  readIdentification(parametersFound);

  // 14. The sale left on screen by an earlier run, crashed or not, comes back as it was.
  recoverKeptSale();
}

// The sale context from PARAMETROSORV.CDS.
void TfrmVendaArquivo::readParameters() {
  fw::LocalTable& p = cdsParametrosOrv;
  stIdEsquema = p.asText(QStringLiteral("IDESQUEMA"));
  stFilialLogin = p.asText(QStringLiteral("CDFILIAL"));
  stCaixaAber = p.asText(QStringLiteral("CDCAIXA"));
  stLojaAber = p.asText(QStringLiteral("CDLOJA"));
  stCdEmpresa = p.asText(QStringLiteral("CDEMPRESA"));
  stSolicitaCPF = p.asText(QStringLiteral("IDSOLICITACPF"));
  dtAberCaixa = p.asDateTime(QStringLiteral("DTABERCAIX"));
  boUtilizaImpFis = p.asFlag(QStringLiteral("UTILIZAIMPFIS"));
  // Cut to 32 bits, 4294967312 would become 16, a printer type that skips the rate lookup.
  const qint64 printerType = p.asInteger(QStringLiteral("IDTIPOIMPFIS"));
  if (printerType < std::numeric_limits<std::int32_t>::min() ||
      printerType > std::numeric_limits<std::int32_t>::max()) {
    throw fw::Error(QStringLiteral("O valor %1 do campo 'IDTIPOIMPFIS' está fora do intervalo "
                                   "permitido (%2 a %3).")
                        .arg(printerType)
                        .arg(std::numeric_limits<std::int32_t>::min())
                        .arg(std::numeric_limits<std::int32_t>::max()));
  }
  Rev_IdTipoImpFis = static_cast<std::int32_t>(printerType);
  stIdTipoCaixa = p.asText(QStringLiteral("IDCOLETOR"));
  Rev_NrSerie_Imp = p.asText(QStringLiteral("NRSERIEIMP"));
  stCdCliente = p.asText(QStringLiteral("CDCLIENTE"));
  stCentroCusto = p.asText(QStringLiteral("CDCCUSCLIE"));
  stDsObsCupFis = p.asText(QStringLiteral("DSOBSCUPFIS"));
  stEcfImpressora = p.asText(QStringLiteral("ECFIMP"));
  Rev_SgEstadoFili = p.asText(QStringLiteral("SGESTADOFILI"));
  stInscEstaFili = p.asText(QStringLiteral("CDINSCESTAEMPR"));
  stInfNomeEnd = p.asText(QStringLiteral("IDINFNOMEEND"));
}

// The fiscal application's identification, "MD-5:" and the de-scrambled value.
void TfrmVendaArquivo::readIdentification(bool parametersFound) {
  // No separator is inserted: "DSDIRCAD" carries its own. Without the parameters file
  // start-up ends here; the cashier's message then says which file was looked for where.
  QString folder;
  try {
    folder = cdsParametrosOrv.asText(QStringLiteral("DSDIRCAD"));
  } catch (const fw::Error& e) {
    if (parametersFound) throw;
    throw fw::Error(
        e.message() +
        QStringLiteral(" O arquivo de parâmetros PARAMETROSORV.CDS não foi encontrado na "
                       "pasta de dados %1.")
            .arg(shell::dataDirectory()));
  }
  // A relative folder (an empty one included) is in the data directory, never in whatever
  // folder the process happens to run in.
  QString identificationPath = folder + QStringLiteral("VARNOLE.CDS");
  if (QDir::isRelativePath(
          QString(identificationPath).replace(QLatin1Char('\\'), QLatin1Char('/'))))
    identificationPath = shell::dataDirectory() + QLatin1Char('/') + identificationPath;
  const QString identification = shell::resolvePath(identificationPath);
  if (fileExists(identification)) {
    cdsIdentPaf.loadFromFile(identification);
    const QString stored = cdsIdentPaf.asText(QStringLiteral("MD5ARQUIVOTXT"));
    // A missing de-scrambler is the host's error, as any operation not installed: the
    // scrambled text never reaches the coupon.
    stMd5ArquivoTxt = QStringLiteral("MD-5:") + outside::Uncripto(stored, kIdentificationKey);
  }
}
