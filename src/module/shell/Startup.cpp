// InicializaForm: prepares a fresh screen and its output folder, loads the input tables
// that are present and fills the sale context from them. A missing file is skipped (its
// values keep what they held); the parameters file is the one that cannot be missing,
// because the identification step asks it for "DSDIRCAD".
#include "module/shell/TfrmVendaArquivo.h"

#include "module/outside/Outside.h"
#include "module/shell/Paths.h"
#include "module/shell/SaleContext.h"
#include "module/shell/Screen.h"

#include <QDir>
#include <QFileInfo>

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

  // 6.
  if (cdsProdutos.isEmpty()) {
    const QString catalog = shell::hostPath(QStringLiteral("\\Dados\\Cadastros\\ProdArquivo.cds"));
    if (fileExists(catalog)) cdsProdutos.loadFromFile(catalog);
  }

  // 7.
  const QString parameters = shell::hostPath(QStringLiteral("\\PARAMETROSORV.CDS"));
  if (fileExists(parameters)) {
    cdsParametrosOrv.loadFromFile(parameters);
    fw::LocalTable& p = cdsParametrosOrv;
    stIdEsquema = p.asText(QStringLiteral("IDESQUEMA"));
    stFilialLogin = p.asText(QStringLiteral("CDFILIAL"));
    stCaixaAber = p.asText(QStringLiteral("CDCAIXA"));
    stLojaAber = p.asText(QStringLiteral("CDLOJA"));
    stCdEmpresa = p.asText(QStringLiteral("CDEMPRESA"));
    stSolicitaCPF = p.asText(QStringLiteral("IDSOLICITACPF"));
    dtAberCaixa = p.asDateTime(QStringLiteral("DTABERCAIX"));
    boUtilizaImpFis = p.asFlag(QStringLiteral("UTILIZAIMPFIS"));
    Rev_IdTipoImpFis = static_cast<std::int32_t>(p.asInteger(QStringLiteral("IDTIPOIMPFIS")));
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

  // 8.
  const QString operatorFile = shell::hostPath(QStringLiteral("\\Dados\\Cadastros\\ControleAcess.cds"));
  if (fileExists(operatorFile)) {
    cdsControleAcess.loadFromFile(operatorFile);
    stOperadorLogin = cdsControleAcess.asText(QStringLiteral("CDOPERADOR"));
    stNmOperador = cdsControleAcess.asText(QStringLiteral("NMOPERADOR"));
  }

  // 9.
  const QString productRates = shell::hostPath(QStringLiteral("\\Dados\\Cadastros\\AliqSistema.cds"));
  if (fileExists(productRates)) cdsAliquota.loadFromFile(productRates);

  // 10.
  const QString fiscalRates = shell::hostPath(QStringLiteral("\\Dados\\Cadastros\\AliqImpFis.cds"));
  if (fileExists(fiscalRates)) cdsAliqImpFis.loadFromFile(fiscalRates);

  // 11.
  const QString movementDate = shell::hostPath(QStringLiteral("\\Dados\\Cadastros\\DataMovimento.cds"));
  if (fileExists(movementDate)) {
    cdsDataMovimento.loadFromFile(movementDate);
    dtDataMovimento = cdsDataMovimento.asDateTime(QStringLiteral("DATAMOVIMENTO"));
  }

  // 12.
  const QString paymentTypes = shell::hostPath(QStringLiteral("\\Dados\\Cadastros\\ConfTipoRece.cds"));
  if (fileExists(paymentTypes)) cdsRecebAux.loadFromFile(paymentTypes);

  // 13. No separator is inserted: "DSDIRCAD" carries its own.
  const QString identification =
      shell::resolvePath(cdsParametrosOrv.asText(QStringLiteral("DSDIRCAD")) + QStringLiteral("VARNOLE.CDS"));
  if (fileExists(identification)) {
    cdsIdentPaf.loadFromFile(identification);
    const QString stored = cdsIdentPaf.asText(QStringLiteral("MD5ARQUIVOTXT"));
    const QString plain = outside::Uncripto ? outside::Uncripto(stored, kIdentificationKey) : stored;
    stMd5ArquivoTxt = QStringLiteral("MD-5:") + plain;
  }
}
