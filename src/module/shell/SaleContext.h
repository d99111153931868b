// The sale context: the module's published variables. They live from module load to
// unload, are filled by start-up from the input files and read and written by the
// screen's handlers. Start-up never resets them: a value whose file is missing keeps what
// it held, also across runs of the screen in the same loaded module. They are exported
// under their plain names (C linkage) so the host can see them.
#pragma once

#include <QString>
#include <cstdint>

class TfrmVendaArquivo;

#define REGVENDA_EXPORT __attribute__((visibility("default")))

extern "C" {
REGVENDA_EXPORT extern TfrmVendaArquivo* frmVendaArquivo;
REGVENDA_EXPORT extern QString stCodProduto;
REGVENDA_EXPORT extern QString stIdEsquema;
REGVENDA_EXPORT extern QString stFilialLogin;
REGVENDA_EXPORT extern QString stCaixaAber;
REGVENDA_EXPORT extern QString stCdEmpresa;
REGVENDA_EXPORT extern QString stSolicitaCPF;
REGVENDA_EXPORT extern QString stOperadorLogin;
REGVENDA_EXPORT extern QString stNmOperador;
REGVENDA_EXPORT extern QString stLojaAber;
REGVENDA_EXPORT extern QString stIdTipoCaixa;
REGVENDA_EXPORT extern QString stCdAliquota;
REGVENDA_EXPORT extern QString stVrAliquota;
REGVENDA_EXPORT extern QString stQuant;
REGVENDA_EXPORT extern QString stCupomVen;
REGVENDA_EXPORT extern QString stContCupomVen;
REGVENDA_EXPORT extern QString Rev_NrSerie_Imp;
REGVENDA_EXPORT extern QString stCdCliente;
REGVENDA_EXPORT extern QString stCentroCusto;
REGVENDA_EXPORT extern QString stMd5ArquivoTxt;
REGVENDA_EXPORT extern QString stDsObsCupFis;
REGVENDA_EXPORT extern QString stEcfImpressora;
REGVENDA_EXPORT extern QString Rev_SgEstadoFili;
REGVENDA_EXPORT extern QString stInscEstaFili;
REGVENDA_EXPORT extern QString stInfNomeEnd;
REGVENDA_EXPORT extern std::int32_t Rev_IdTipoImpFis;
REGVENDA_EXPORT extern bool boCupomAberto;
REGVENDA_EXPORT extern bool boUtilizaImpFis;
REGVENDA_EXPORT extern double dtAberCaixa;
REGVENDA_EXPORT extern double dtDataMovimento;
REGVENDA_EXPORT extern double doValorRece;
REGVENDA_EXPORT extern double doTotal;

// The entry the host calls: runs the whole screen and returns when it has been closed.
REGVENDA_EXPORT void CriaRegVenda();
}

namespace salecontext {
// The module's finalization: empties the 24 texts (flags, numbers, dates stay).
void finalizeTexts();
// Back to the load values (for tests that simulate unloading and loading again).
void resetToLoadValues();
}  // namespace salecontext
