// The layouts of the two files the screen writes per sale, as the take-up reads them: the
// sale file (35 fields) and the cash-movement file (13), in file order. The office's columns
// carry the same names in lower case.
#pragma once

namespace office {

enum class Kind { Text, Number, DateTime };

struct LayoutField {
  const char* name;
  Kind kind;
};

inline constexpr LayoutField kSaleFields[] = {
    {"CDPRODUTO", Kind::Text},       {"NMPRODUTO", Kind::Text},
    {"QTPRODVEND", Kind::Number},    {"QTPRODCOMVEN", Kind::Text},
    {"VRPRECCOMVEN", Kind::Number},  {"VRUNITVEND", Kind::Number},
    {"VRPEALIMPFIS", Kind::Number},  {"VRTOTVEND", Kind::Number},
    {"CDFILIAL", Kind::Text},        {"CDCAIXA", Kind::Text},
    {"CDCLIENTE", Kind::Text},       {"CDEMPRESA", Kind::Text},
    {"DTVENDA", Kind::DateTime},     {"DTENTRVENDA", Kind::DateTime},
    {"DTFECHAVENDA", Kind::DateTime}, {"IDSITUVENDA", Kind::Text},
    {"VRDESCVENDA", Kind::Number},   {"CDFILIALTUR", Kind::Text},
    {"CDCAIXATUR", Kind::Text},      {"DTABERTUR", Kind::DateTime},
    {"NRCUPOMFIS", Kind::Text},      {"NRCONTCUPOMFISC", Kind::Text},
    {"CDOPERADOR", Kind::Text},      {"CDLOJA", Kind::Text},
    {"IDTIPOVENDA", Kind::Text},     {"TXOBSVENDA", Kind::Text},
    {"IDVENDEBCONS", Kind::Text},    {"IDCANCMANUAL", Kind::Text},
    {"NRSEQUITVENDA", Kind::Text},   {"NRSEQ", Kind::Text},
    {"VRUNITVENDCL", Kind::Number},  {"CDPRODPROMOCAO", Kind::Text},
    {"VRREPIQUEVENDA", Kind::Number}, {"IDPRODIMPFIS", Kind::Text},
    {"CDORDALIQIMPR", Kind::Text},
};

inline constexpr LayoutField kCashFields[] = {
    {"CDFILIAL", Kind::Text},      {"CDTIPORECE", Kind::Text},  {"NMTIPORECE", Kind::Text},
    {"IDTIPORECE", Kind::Text},    {"CDTIPOTROCO", Kind::Text}, {"NRORDTROCO", Kind::Text},
    {"DSIMPFISCAL", Kind::Text},   {"VRMOVIVEND", Kind::Number}, {"IDTIPOMOVIVE", Kind::Text},
    {"DTHRINCMOV", Kind::DateTime}, {"CDCLIENTE", Kind::Text},  {"CDCCUSCLIE", Kind::Text},
    {"DTMOVIMCAIXA", Kind::DateTime},
};

}  // namespace office
