// The cashier itself must never leave CI waiting: a sale that stops moving is failed and its
// windows closed, and a touch on a control a person could not touch is refused.
#include <gtest/gtest-spi.h>

#include <QApplication>

#include "dialogs/CustomerDataDialog.h"
#include "e2e/Till.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;

class CashierGuard : public Till {};

TEST_F(CashierGuard, StuckSaleIsEndedWithItsWindowsClosed) {
  open(demo::Options{});
  Cashier& c = *cashier_;
  c.on<Form>("abre a pesquisa", [&](Form& f) { c.touch(f.bldCodigo); });
  // The search dialog stays open: the customer-data dialog never comes.
  c.on<dialogs::CustomerDataDialog>("dados do cliente", [](dialogs::CustomerDataDialog&) {});
  EXPECT_NONFATAL_FAILURE(c.run([] { CriaRegVenda(); }, std::chrono::seconds(2)),
                          "esperando \"dados do cliente\" durante \"abre a pesquisa\"");
  EXPECT_EQ(frmVendaArquivo, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(CashierGuard, UnexpectedMessageAndDisabledButtonFailTheSale) {
  open(demo::Options{});
  Cashier& c = *cashier_;
  c.on<Form>("Gerar Cupom sem itens", [&](Form& f) { c.touch(f.bldGravar); });
  EXPECT_NONFATAL_FAILURE(c.run([] { CriaRegVenda(); }),
                          "bldGravar não pode ser tocado: desabilitado");

  Cashier other;
  other.on<Form>("Adicionar Produto sem produto", [&](Form& f) {
    f.bldAddProd->setEnabled(true);
    other.touch(f.bldAddProd);
  });
  other.on<Form>("sair", [&](Form& f) { other.touch(f.spdSair); });
  EXPECT_NONFATAL_FAILURE(other.run([] { CriaRegVenda(); }),
                          "mensagem inesperada esperando \"sair\": Operação bloqueada! Nenhum "
                          "produto foi selecionado.");
  EXPECT_EQ(frmVendaArquivo, nullptr);
}

}  // namespace
}  // namespace e2e
