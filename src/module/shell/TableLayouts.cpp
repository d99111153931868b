#include "module/shell/TableLayouts.h"

using fw::FieldDef;

namespace layouts {

std::vector<FieldDef> productCatalog() {
  return {
      FieldDef::text(QStringLiteral("CDPRODUTO"), 10, {}, false),
      FieldDef::text(QStringLiteral("CDARVPROD"), 20, QStringLiteral("Código"), true),
      FieldDef::text(QStringLiteral("NMPRODUTO"), 50, QStringLiteral("Produto"), true),
      FieldDef::text(QStringLiteral("IDPESAPROD"), 1, {}, false),
      FieldDef::number(QStringLiteral("QTTARAPROD"), {}, false),
      FieldDef::text(QStringLiteral("SGUNIDADE"), 10, {}, false),
      FieldDef::text(QStringLiteral("IDTIPOCOMPPROD"), 1, {}, false),
      FieldDef::text(QStringLiteral("IDIMPPRODUTO"), 1, {}, false),
      FieldDef::dateTime(QStringLiteral("DTINIVGPROMOC"), {}, false),
      FieldDef::dateTime(QStringLiteral("DTFINVGPROMOC"), {}, false),
      FieldDef::text(QStringLiteral("CDBARPRODUTO"), 30, {}, false),
      FieldDef::text(QStringLiteral("CDPRODINTE"), 20, {}, false),
      FieldDef::text(QStringLiteral("IDORIGPRODPR"), 1, {}, false),
      FieldDef::number(QStringLiteral("VRPRECITEM"), QStringLiteral("Preço"), true),
      FieldDef::text(QStringLiteral("CDIMPOSTO"), 2, {}, false),
      FieldDef::number(QStringLiteral("VRPEALIMPFIS"), {}, false),
      FieldDef::text(QStringLiteral("CDCEST"), 9, {}, false),
      FieldDef::text(QStringLiteral("CDNCM"), 10, {}, false),
  };
}

std::vector<FieldDef> operators() {
  return {
      FieldDef::text(QStringLiteral("CDOPERADOR"), 12),
      FieldDef::text(QStringLiteral("NMOPERADOR"), 50),
      FieldDef::text(QStringLiteral("DSSENHACAIXA"), 100),
  };
}

std::vector<FieldDef> printerRates() {
  return {
      FieldDef::text(QStringLiteral("CDALIQIMPFIS"), 10),
      FieldDef::number(QStringLiteral("VRALIQIMPFIS")),
      FieldDef::text(QStringLiteral("IDALIQIMPFIS"), 1),
  };
}

std::vector<FieldDef> paymentTypes() {
  auto hidden = [](const char* name, int width) {
    return FieldDef::text(QLatin1String(name), width, {}, false);
  };
  auto hiddenNumber = [](const char* name) {
    return FieldDef::number(QLatin1String(name), {}, false);
  };
  return {
      FieldDef::text(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Cód. Filial"), false),
      FieldDef::text(QStringLiteral("CDTIPORECE"), 3, QStringLiteral("Código do Recebimento"),
                     true),
      FieldDef::text(QStringLiteral("NMTIPORECE"), 40, QStringLiteral("Nome"), false),
      FieldDef::text(QStringLiteral("DSBUTTON"), 40, QStringLiteral("Nome do Recebimento"), true),
      hiddenNumber("VRTAXAADMI"),
      hiddenNumber("VRMINCARTAO"),
      hidden("CDTIPOTROCO", 3),
      hidden("NRORDTROCO", 3),
      hidden("IDEMIVALE", 1),
      hidden("IDVALE", 1),
      hidden("IDDEBCLIE", 1),
      hidden("CDFPIMPFIS", 10),
      FieldDef::text(QStringLiteral("IDTIPORECE"), 1, QStringLiteral("ID Recebimento"), false),
      hidden("CDTPINDICE", 1),
      hidden("IDPERVALOR", 1),
      hidden("CDINDICE", 4),
      hidden("NRCONFTELA", 5),
      hidden("IDTPBUTTON", 1),
      hidden("NRBUTTON", 5),
      hidden("NRPGCONFTELA", 2),
      hidden("NRPGCONFTAUX", 2),
      hidden("IDTPBUTONAUX", 1),
      hidden("NRBUTTONAUX", 5),
      hidden("CDIDENTBUTON", 10),
      hiddenNumber("NRCOLORTEXT"),
      hiddenNumber("NRCOLORBACK"),
      hidden("DSMESSAGEBUT", 300),
      hidden("DSIMAGEMBUT", 200),
      hidden("DSIMPFISCAL", 50),
      hidden("CDADMINCART", 20),
      hidden("CDBANCARTCR", 10),
      hidden("IDMOSTRARECE", 1),
      hidden("IDDESABTEF", 1),
      hiddenNumber("NRFONTETEXT"),
      hidden("IDSANGRIAAUTO", 1),
  };
}

std::vector<FieldDef> productTaxes() {
  return {
      FieldDef::text(QStringLiteral("CDPRODUTO"), 10),
      FieldDef::number(QStringLiteral("VRPEALIMPFIS")),
      FieldDef::text(QStringLiteral("IDTPIMPOSFIS"), 1),
  };
}

}  // namespace layouts
