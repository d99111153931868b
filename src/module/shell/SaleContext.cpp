// The sale context's storage, its finalization, and the module's entry CriaRegVenda.
#include "module/shell/SaleContext.h"

#include <QApplication>
#include <QCursor>
#include <cstdio>
#include <memory>

#include "framework/core/Error.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

extern "C" {
TfrmVendaArquivo* frmVendaArquivo = nullptr;
QString stCodProduto;
QString stIdEsquema;
QString stFilialLogin;
QString stCaixaAber;
QString stCdEmpresa;
QString stSolicitaCPF;
QString stOperadorLogin;
QString stNmOperador;
QString stLojaAber;
QString stIdTipoCaixa;
QString stCdAliquota;
QString stVrAliquota;
QString stQuant;
QString stCupomVen;
QString stContCupomVen;
QString Rev_NrSerie_Imp;
QString stCdCliente;
QString stCentroCusto;
QString stMd5ArquivoTxt;
QString stDsObsCupFis;
QString stEcfImpressora;
QString Rev_SgEstadoFili;
QString stInscEstaFili;
QString stInfNomeEnd;
std::int32_t Rev_IdTipoImpFis = 0;
bool boCupomAberto = false;
bool boUtilizaImpFis = false;
double dtAberCaixa = 0;
double dtDataMovimento = 0;
double doValorRece = 0;
double doTotal = 0;
}

namespace salecontext {

void finalizeTexts() {
  for (QString* text :
       {&stCodProduto,    &stIdEsquema,      &stFilialLogin,  &stCaixaAber,     &stCdEmpresa,
        &stSolicitaCPF,   &stOperadorLogin,  &stNmOperador,   &stLojaAber,      &stIdTipoCaixa,
        &stCdAliquota,    &stVrAliquota,     &stQuant,        &stCupomVen,      &stContCupomVen,
        &Rev_NrSerie_Imp, &stCdCliente,      &stCentroCusto,  &stMd5ArquivoTxt, &stDsObsCupFis,
        &stEcfImpressora, &Rev_SgEstadoFili, &stInscEstaFili, &stInfNomeEnd})
    text->clear();
}

void resetToLoadValues() {
  finalizeTexts();
  frmVendaArquivo = nullptr;
  Rev_IdTipoImpFis = 0;
  boCupomAberto = false;
  boUtilizaImpFis = false;
  dtAberCaixa = 0;
  dtDataMovimento = 0;
  doValorRece = 0;
  doTotal = 0;
}

}  // namespace salecontext

namespace {

// Runs at unload (dlclose), before the texts above are destroyed: it is defined after them
// in this file, so it is destroyed first.
struct Finalization {
  ~Finalization() { salecontext::finalizeTexts(); }
} finalization;

// The busy cursor is pushed once and popped exactly once, whatever path CriaRegVenda takes:
// the modal run shows the normal cursor, and a failed start-up does not leave the
// hourglass behind.
class BusyCursor {
 public:
  BusyCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    on_ = true;
  }
  ~BusyCursor() { release(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void release() {
    if (on_) QApplication::restoreOverrideCursor();
    on_ = false;
  }

 private:
  bool on_ = false;
};

void reportStartFailure(const QString& text) {
  try {
    if (outside::inform(text, QStringLiteral("002"))) return;
  } catch (...) {
    // The dialog itself failed: the text still has to reach someone.
  }
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

void CriaRegVenda() {
  std::unique_ptr<TfrmVendaArquivo> form;
  QString failure;
  bool failed = false;
  {
    std::unique_ptr<BusyCursor> busy;
    try {
      busy = std::make_unique<BusyCursor>();
      if (frmVendaArquivo) frmVendaArquivo = nullptr;  // an earlier run released its own form
      form = std::make_unique<TfrmVendaArquivo>(nullptr);
      frmVendaArquivo = form.get();
      form->InicializaForm();
      busy->release();
      form->exec();
    } catch (const std::exception& e) {
      failed = true;
      failure = fw::messageOf(e);
    } catch (...) {
      failed = true;
      failure = QStringLiteral("Erro inesperado ao abrir o Registro de Vendas.");
    }
  }  // the default cursor, on both paths
  if (failed) reportStartFailure(failure);
  form.reset();
  frmVendaArquivo = nullptr;
}
