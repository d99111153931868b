// The layouts of the tables the screen reads from the data directory, declared once: the
// screen declares its tables with them, the demo data maker writes its files with them, and
// tests and benchmarks build their catalogs from them. Labels and visibility are the
// screen's (the search dialog shows the visible fields); files keep names, types and widths.
#pragma once

#include <vector>

#include "framework/core/FieldDef.h"

namespace layouts {

std::vector<fw::FieldDef> productCatalog();  // Dados/Cadastros/ProdArquivo.cds, cdsProdutos
std::vector<fw::FieldDef> productTaxes();    // Dados/Cadastros/AliqSistema.cds, cdsAliquota
std::vector<fw::FieldDef> printerRates();    // Dados/Cadastros/AliqImpFis.cds, cdsAliqImpFis
std::vector<fw::FieldDef> operators();       // Dados/Cadastros/ControleAcess.cds, cdsControleAcess
std::vector<fw::FieldDef> paymentTypes();    // Dados/Cadastros/ConfTipoRece.cds, cdsRecebAux

}  // namespace layouts
