// The sales screen as the cashier first sees it (rendered offscreen and sampled), its
// grids and message table, the exit button, and the error report around the handlers.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "framework/core/Error.h"
#include "module/shell/SaleContext.h"
#include "module/support/FormFixture.h"
#include "outside/Outside.h"

using testsupport::FormFixture;

namespace {

QColor pixel(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

std::string name(const QColor& c) { return c.name().toStdString(); }

// Pixels of `image` inside `rect` that are plainly the pure red of the indicator text.
int redPixels(const QImage& image, const QRect& rect) {
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 220 && c.green() < 40 && c.blue() < 40) ++count;
    }
  return count;
}

}  // namespace

TEST(Screen, StartStateRendersAsDesigned) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  form.show();
  const QImage image = form.grab().toImage();
  ASSERT_EQ(image.size(), QSize(800, 600));

  const QColor frame(0xCC, 0x5B, 0x2C);
  for (const QPoint p :
       {QPoint(0, 0), QPoint(1, 300), QPoint(799, 300), QPoint(798, 300), QPoint(400, 599)})
    EXPECT_EQ(pixel(image, p.x(), p.y()), frame)
        << p.x() << "," << p.y() << " " << name(pixel(image, p.x(), p.y()));
  EXPECT_EQ(pixel(image, 5, 300), QColor(Qt::white));
  EXPECT_EQ(pixel(image, 640, 45), QColor(Qt::white)) << "the advice label is hidden";

  EXPECT_EQ(pixel(image, 25, 564), QColor(0xCC, 0xCC, 0xCC)) << "Gerar Cupom disabled";
  EXPECT_EQ(pixel(image, 175, 564), QColor(0xFF, 0x00, 0x00)) << "Cancela Cupom";
  EXPECT_EQ(pixel(image, 571, 147), QColor(0x80, 0x80, 0x80)) << "Adicionar Produto";
  EXPECT_EQ(pixel(image, 140, 80), QColor(0xC0, 0xC0, 0xC0)) << "the product-code button";
  EXPECT_GT(redPixels(image, form.lblConexao->geometry()), 20) << "Banco de dados offline in red";
  EXPECT_EQ(redPixels(image, form.lblMenu->geometry()), 0);
  form.hide();
}

TEST(Screen, StartStateOfTheControls) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  EXPECT_EQ(form.windowTitle(), "Registro de Vendas");
  EXPECT_EQ(form.lblConexao->text(), "Banco de dados offline");
  EXPECT_EQ(form.lblConexao->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
  EXPECT_TRUE(form.lblInfo->isHidden());
  EXPECT_EQ(form.lblProd->text(), "<-- Selecionar produto");
  for (fw::TBlendedButton* value :
       {form.bldCodigo, form.bldPrecoUn, form.bldQuant, form.bldCodRece, form.bldValorRece})
    EXPECT_TRUE(value->text().isEmpty()) << value->objectName().toStdString();
  EXPECT_FALSE(form.bldGravar->isEnabled());
  for (fw::TBlendedButton* b : form.findChildren<fw::TBlendedButton*>())
    if (b != form.bldGravar) {
      EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    }
  EXPECT_EQ(form.bldAddProd->text(), "Adicionar &Produto");
  EXPECT_EQ(form.bldAddRece->text(), "Adicionar &Recebimento");
  EXPECT_EQ(form.bldGravar->text(), "Gerar Cupom");
  EXPECT_EQ(form.bldCancela->text(), "Cancela Cupom");
  EXPECT_EQ(form.bldAddProd->geometry(), QRect(566, 130, 162, 35));
  EXPECT_EQ(form.bldGravar->geometry(), QRect(15, 535, 137, 59));
  EXPECT_EQ(form.dbgProd->parentWidget(), form.panProd);
  EXPECT_EQ(form.dbgProd->geometry(), QRect(1, 0, 729, 177));
  EXPECT_EQ(form.dbgRece->geometry(), QRect(1, 1, 444, 125));
  EXPECT_TRUE(form.dbgProd->table()->isEmpty());
  EXPECT_TRUE(form.dbgRece->table()->isEmpty());
}

TEST(Screen, GridsShowTheirColumns) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  const auto& items = form.dbgProd->tableModel()->columns();
  ASSERT_EQ(items.size(), 7u);
  const char* fields[] = {"CDPRODUTO", "NMPRODUTO", "QTPRODVEND",  "VRUNITVEND",
                          "VRTOTVEND", "NRSEQ",     "IDPRODIMPFIS"};
  const char* titles[] = {"Código",      "Produto", "Quantidade", "Valor Unitário",
                          "Valor Total", "",        "Situação"};
  const int widths[] = {70, 217, 87, 129, 129, -1, 77};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(items[i].field, QLatin1String(fields[i]));
    EXPECT_EQ(items[i].title, QString::fromUtf8(titles[i]));
    if (widths[i] > 0) {
      EXPECT_EQ(form.dbgProd->columnWidth(i), widths[i]) << fields[i];
    }
  }
  EXPECT_TRUE(form.dbgProd->isColumnHidden(5));
  EXPECT_TRUE(items[2].titleAlignment & Qt::AlignRight);
  EXPECT_TRUE(items[0].titleAlignment & Qt::AlignLeft);
  EXPECT_TRUE(items[6].valueAlignment & Qt::AlignRight);

  // The payment grid: two columns, the type code stays hidden.
  const auto& payments = form.dbgRece->tableModel()->columns();
  ASSERT_EQ(payments.size(), 2u);
  EXPECT_EQ(payments[0].field, "NMTIPORECE");
  EXPECT_EQ(payments[0].title, "Recebimento");
  EXPECT_EQ(form.dbgRece->columnWidth(0), 267);
  EXPECT_EQ(payments[1].field, "VRMOVIVEND");
  EXPECT_EQ(form.dbgRece->columnWidth(1), 137);
  EXPECT_TRUE(payments[1].titleAlignment & Qt::AlignRight);
}

TEST(Screen, MessageTableHoldsItsTwentyLines) {
  FormFixture f;
  const runtime::TMessages& msg = f.form().msgPadrao;
  ASSERT_EQ(msg.lines().size(), 20);
  EXPECT_EQ(msg.lines().at(12), msg.lines().at(15));
  EXPECT_EQ(msg.Msg("VAL_DEV_INF"), "Valor do Recebimento deve ser informado.");
  EXPECT_EQ(msg.Msg("Falta_Receb"), "Operação bloqueada! Nenhum recebimento foi informado..");
  EXPECT_EQ(msg.Msg("CancItem"), "Último item será cancelado e deverá ser registrado novamente.");
  EXPECT_EQ(msg.Msg("Nao_Canc_Per"),
            "Cancelamento não permitido. O último cupom fiscal já foi cancelado.");
  EXPECT_FALSE(msg.contains("CANCITEM"));
  EXPECT_FALSE(msg.contains("ARQ_VEN"));
}

TEST(Screen, ExitClosesAtOnceAndEscapeDoesNot) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  boCupomAberto = true;
  form.show();
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  form.bldPrecoUn->click();
  EXPECT_TRUE(form.isVisible());
  EXPECT_TRUE(f.messages.empty());
  form.spdSair->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_TRUE(boCupomAberto);
}

TEST(Screen, AnErrorInAHandlerIsReportedAndTheScreenStays) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  form.runHandler([] { throw fw::Error(QStringLiteral("Falha no manipulador")); });
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].text, "Falha no manipulador");
  EXPECT_EQ(f.messages[0].confirm, "N");
  EXPECT_EQ(f.messages[0].kind, 3);
  EXPECT_EQ(f.messages[0].idEsquema, "001");

  f.installErrorReport();
  form.runHandler([] { throw std::runtime_error("estouro"); });
  EXPECT_EQ(f.errors, QStringList{"estouro"});
  EXPECT_EQ(f.messages.size(), 1u);
}

TEST(Screen, AcceleratorRunsTheAddProductHandler) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowActive(&form)) GTEST_SKIP() << "no active window on this platform";
  QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0].text, "Operação bloqueada! Nenhum produto foi selecionado.");
  form.hide();
}

TEST(Screen, FinishRuleAndChange) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  struct Case {
    double sale, received;
    bool enabled;
    const char* change;  // nullptr: unchanged
  };
  const Case cases[] = {
      {30, 50, true, "20,00"},        {60, 50, false, "0,00"}, {25, 0, false, "0,00"},
      {0, 0, false, "0,00"},          {50, 50, true, "0,00"},  {1001, 1500, true, "499,00"},
      {10.001, 10.004, true, "0,00"},  // equal when cut to cents, less without cutting: no change
  };
  for (const Case& c : cases) {
    form.lblValTroco->setText(QStringLiteral("antes"));
    form.bldGravar->setEnabled(!c.enabled);
    if (c.sale == 0)
      form.lblTotal->setText(QString());
    else
      form.showSaleTotal(c.sale);
    doTotal = c.received;
    form.applyFinishRule();
    EXPECT_EQ(form.bldGravar->isEnabled(), c.enabled) << c.sale << " / " << c.received;
    EXPECT_EQ(form.lblValTroco->text(),
              c.change ? QString::fromUtf8(c.change) : QStringLiteral("antes"))
        << c.sale << " / " << c.received;
  }
  form.lblTotal->setText(QStringLiteral("1.001,00"));
  EXPECT_EQ(form.saleTotal(), 1001.0);
}

TEST(Screen, AmountsAreNeverCut) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  form.showSaleTotal(1234567.89);
  const QLabel* total = form.lblTotal;
  EXPECT_EQ(total->x(), 688);
  EXPECT_GE(total->width(), total->fontMetrics().horizontalAdvance(total->text()));
  EXPECT_LE(total->geometry().right(), 799);
}

TEST(Screen, ClearingTheProductEntry) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  form.bldCodigo->setText("1001");
  form.lblProd->setText("Pão Francês - KG");
  form.bldPrecoUn->setText("R$18,90");
  form.bldQuant->setText("2");
  form.clearProductEntry();
  EXPECT_EQ(form.bldCodigo->text(), "");
  EXPECT_EQ(form.lblProd->text(), "<-- Selecionar produto");
  EXPECT_EQ(form.bldPrecoUn->text(), "");
  EXPECT_EQ(form.bldQuant->text(), "");
}
