// TfrmVendaArquivo: the sales screen "Registro de Vendas", the module's one form.
// The declaration lives here; the handlers are defined in the folder of their subsystem:
//   shell/       constructor (controls, tables, message table), InicializaForm, spdSairClick
//   items/       bldCodigoClick, ValidaProd, bldQuantClick (ProductSelection.cpp),
//                bldAddProdClick (ItemAdding.cpp), bldCancelClick, bldAcimaClick,
//                bldAbaixoClick, cdsAddProdutoIDPRODIMPFISGetText (ItemList.cpp)
//   payments/    bldCodReceClick, bldValorReceClick (PaymentEntry.cpp), bldAddReceClick,
//                bldCancelaReceClick, bldRolarCimaClick, bldRolarBaixoClick (PaymentList.cpp)
//   completion/  bldGravarClick, LimpaRegistro, TestaConexao (SaleCompletion.cpp),
//                GeraArquivo (SaleFiles.cpp), bldCancelaClick (CouponCancellation.cpp),
//                adcTesteConexaoBeforeConnect/AfterConnect (ConnectionProbe.cpp)
//   shell/       keepSale, recoverKeptSale, settleOwedFiles (KeptSaleSteps.cpp): the sale on
//                screen kept on disk (KeptSale.h)
#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <functional>
#include <vector>

#include "framework/data/LocalTable.h"
#include "framework/ui/DBGrid.h"
#include "framework/ui/TBlendedBitBtn.h"
#include "framework/ui/TBlendedButton.h"
#include "module/shell/KeptSale.h"
#include "runtime/TADOConnection.h"
#include "runtime/TMessages.h"

class TfrmVendaArquivo : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmVendaArquivo(QWidget* parent = nullptr);
  ~TfrmVendaArquivo() override;

  // ---- Start-up (shell/Startup.cpp) -------------------------------------------------------
  void InicializaForm();

  // ---- Handlers -----------------------------------------------------------------------------
  void spdSairClick(QObject* sender);
  void bldCodigoClick(QObject* sender);
  bool ValidaProd(const QString& code);  // true when the product is shown, ready to add
  void prepareProductLookups();           // ValidaProd's lookups, built at start-up
  void bldQuantClick(QObject* sender);
  void bldAddProdClick(QObject* sender);
  void bldCancelClick(QObject* sender);
  void bldAcimaClick(QObject* sender);
  void bldAbaixoClick(QObject* sender);
  QString cdsAddProdutoIDPRODIMPFISGetText(const QString& stored, bool displayText);
  void bldCodReceClick(QObject* sender);
  void bldValorReceClick(QObject* sender);
  void bldAddReceClick(QObject* sender);
  void bldCancelaReceClick(QObject* sender);
  void bldRolarCimaClick(QObject* sender);
  void bldRolarBaixoClick(QObject* sender);
  void bldGravarClick(QObject* sender);
  void bldCancelaClick(QObject* sender);
  bool GeraArquivo(const QString& mode);
  // "Venda<branch>_<register>_<coupon>.cds", the sale file's name in the output folder.
  static QString saleFileName(const QString& coupon);
  void LimpaRegistro();
  void TestaConexao();  // the database probe
  void adcTesteConexaoBeforeConnect(runtime::TADOConnection& connection);
  void adcTesteConexaoAfterConnect(runtime::TADOConnection& connection);

  // ---- Shared steps of the item and payment handlers ---------------------------------------
  void clearProductEntry();  // code, product label, price, quantity
  double saleTotal() const;  // the amount lblTotal shows (0 when empty)
  void showSaleTotal(double total);
  void applyFinishRule();  // "Gerar Cupom" and the change after a total changed
  // "Gerar Cupom" enabled exactly when the payments cover a positive sale total (cut to cents).
  void applyFinishButton(double saleTotal, double received);
  void showMessage(const QString& text);  // Mensagem, information shape
  bool confirm(const QString& text);      // Mensagem, confirmation shape

  // ---- Controls (owned by the form) ----------------------------------------------------------
  QFrame* Shape1 = nullptr;
  QLabel* lblMenu = nullptr;
  QLabel* lblConexao = nullptr;
  QLabel* lblInfo = nullptr;
  fw::TBlendedBitBtn* spdSair = nullptr;
  QLabel* lblProdVnd = nullptr;
  QLabel* lblCodProd = nullptr;
  fw::TBlendedButton* bldCodigo = nullptr;
  QLabel* lblProd = nullptr;
  QLabel* lblPrecoUn = nullptr;
  fw::TBlendedButton* bldPrecoUn = nullptr;
  QLabel* lblQuant = nullptr;
  fw::TBlendedButton* bldQuant = nullptr;
  fw::TBlendedButton* bldAddProd = nullptr;
  fw::TBlendedBitBtn* bldAcima = nullptr;
  fw::TBlendedBitBtn* bldCancel = nullptr;
  fw::TBlendedBitBtn* bldAbaixo = nullptr;
  QFrame* panProd = nullptr;
  fw::DBGrid* dbgProd = nullptr;
  QLabel* lblTot = nullptr;
  QLabel* lblTotal = nullptr;
  fw::TBlendedButton* bldAddRece = nullptr;
  QLabel* lblDadosReceb = nullptr;
  fw::TBlendedBitBtn* bldRolarCima = nullptr;
  QLabel* lblCodRece = nullptr;
  fw::TBlendedButton* bldCodRece = nullptr;
  QFrame* panRece = nullptr;
  fw::DBGrid* dbgRece = nullptr;
  fw::TBlendedBitBtn* bldCancelaRece = nullptr;
  fw::TBlendedButton* bldValorRece = nullptr;
  QLabel* lblValorRece = nullptr;
  fw::TBlendedBitBtn* bldRolarBaixo = nullptr;
  QLabel* lblTotRec = nullptr;
  QLabel* lblTotRecebido = nullptr;
  fw::TBlendedBitBtn* bldGravar = nullptr;
  fw::TBlendedBitBtn* bldCancela = nullptr;
  QLabel* lblTroco = nullptr;
  QLabel* lblValTroco = nullptr;

  // ---- Local tables (owned by the form) ------------------------------------------------------
  fw::LocalTable cdsProdutos{QStringLiteral("cdsProdutos")};
  fw::LocalTable cdsParametrosOrv{QStringLiteral("cdsParametrosOrv")};
  fw::LocalTable cdsControleAcess{QStringLiteral("cdsControleAcess")};
  fw::LocalTable cdsAliquota{QStringLiteral("cdsAliquota")};
  fw::LocalTable cdsAliqImpFis{QStringLiteral("cdsAliqImpFis")};
  fw::LocalTable cdsDataMovimento{QStringLiteral("cdsDataMovimento")};
  fw::LocalTable cdsRecebAux{QStringLiteral("cdsRecebAux")};
  fw::LocalTable cdsIdentPaf{QStringLiteral("cdsIdentPaf")};
  fw::LocalTable cdsVazio{QStringLiteral("cdsVazio")};
  fw::LocalTable cdsAddProduto{QStringLiteral("cdsAddProduto")};
  fw::LocalTable cdsReceb{QStringLiteral("cdsReceb")};
  fw::LocalTable cdsVendaArq{QStringLiteral("cdsVendaArq")};
  fw::LocalTable cdsMovCaixaArq{QStringLiteral("cdsMovCaixaArq")};
  // Grid bindings: the table each grid shows.
  fw::LocalTable* dtsAddProd = &cdsAddProduto;
  fw::LocalTable* dtsReceb = &cdsReceb;

  runtime::TMessages msgPadrao;
  runtime::TADOConnection adcTesteConexao;

  // The sale on screen had its coupon closed on the printer but its files were not
  // written yet: the next "Gerar Cupom" only writes the files (it must not ask the
  // printer to close a coupon it no longer has open).
  bool boCupomFechado = false;
  // A cancellation the printer confirmed whose file is not written yet: "C" (the sale on
  // screen) or "P" (the last closed coupon's file). Written before anything else is done.
  QString cancelamentoDevido;
  // The sale's files were tried once: what their names hold is this sale's own attempt.
  bool arquivosTentados = false;
  // The last coupon closed on the printer and its sale file's name in the output folder:
  // the file a cancellation of that coupon rewrites.
  QString ultimoCupomFechado;
  QString ultimoArquivoVenda;
  // The printer command asked and not yet answered ("A", "I", "K", "F", "X", see
  // KeptSaleState): kept before the printer is asked, so that a host killed before the
  // answer was kept learns at start-up what the printer did.
  QString comandoPendente;
  QString itemPendente;

  // ---- The kept sale (shell/KeptSaleSteps.cpp) ----------------------------------------------
  shell::KeptSale keptSale;
  shell::KeptSaleState keptState() const;
  // Writes the sale on screen to its kept file; a failure is told to the cashier.
  void keepSale();
  // At start-up: brings back a kept sale in progress, as it was.
  void recoverKeptSale();
  // Writes the files the sale still owes; true when nothing is owed any more (the screen is
  // then cleared for the next sale).
  bool settleOwedFiles();
  // Marks a printer command as asked (kept at once) and, with an empty command, answered.
  // A command still pending from before is settled first, and the touch asks nothing.
  void askingPrinter(const QString& command, const QString& item = {});
  // Called by a touch before it changes anything on its way to the printer: a command left
  // unconfirmed by a crash is settled (by the printer's status answer, or else by what the
  // cashier reads on the paper tape) and the touch ends with a message; nothing when none is
  // pending.
  void settlePendingFirst();
  // At start-up: learns what the printer did with the command a killed host had asked; true
  // when that ended the sale.
  bool resolvePendingCommand();
  // The pending command settled from the printer's status answer (throws when the printer
  // cannot answer), or from an answer of the same shape built from the cashier's reading.
  bool settlePendingCommand(QString* problem);
  bool settleFromStatus(const fw::Variant& answer, QString* problem);
  // Asks the cashier what the tape shows about the pending command; true when settled so.
  bool settlePendingWithCashier(const QString& problem);
  // The screen's side of a coupon the printer cancelled (its rows marked, its file owed).
  void afterCouponCancelled(const QString& cancelledCoupon);
  // Asks the printer to cancel the coupon (the open one when `open`); its answer's coupon.
  bool askCouponCancellation(bool open, QString* cancelledCoupon);
  bool askItemCancellation(const QString& itemNumber);
  // Keeps the sale when the handler that holds it returns, whichever way.
  class KeepOnReturn {
   public:
    explicit KeepOnReturn(TfrmVendaArquivo& form) : form_(form) {}
    ~KeepOnReturn() { form_.keepSale(); }
    KeepOnReturn(const KeepOnReturn&) = delete;
    KeepOnReturn& operator=(const KeepOnReturn&) = delete;

   private:
    TfrmVendaArquivo& form_;
  };

  // The tax kind of the product ValidaProd prepared, sent with the item: the kind of the
  // printer rate it found, or, when no rate was looked up, of the product's own tax row.
  QString preparedTaxKind;

  // The field layouts of the screen's own tables.
  static std::vector<fw::FieldDef> itemListFields();      // cdsAddProduto, 69 fields
  static std::vector<fw::FieldDef> paymentListFields();   // cdsReceb, 20 fields
  static std::vector<fw::FieldDef> saleFileFields();      // cdsVendaArq, 35 fields
  static std::vector<fw::FieldDef> cashMovementFields();  // cdsMovCaixaArq, 13 fields

  // Shown centred on the screen (shell/Screen.h), also when it is smaller than the form.
  void setVisible(bool visible) override;
  // The screen is left only through spdSair: Escape and the window manager's close do not
  // end a sale in progress.
  void reject() override;
  // Runs one touch handler the way the host's event loop would: an error that escapes it is
  // handed to the host's general error report and the screen stays open.
  void runHandler(const std::function<void()>& handler);

 private:
  void buildControls();
  void declareTables();
  void connectHandlers();

  // The steps of InicializaForm that read a file's values into the sale context.
  void readParameters();
  void readIdentification(bool parametersFound);

  // The steps of adding an item (bldAddProdClick).
  bool openCoupon(int& openingInteger, QString& couponCounter);
  bool registerItem(int openingInteger, double unitPrice);
  QString nextItemNumber(bool* created);
  void appendItemRow(const QString& itemNumber, double quantity, double unitPrice, double itemTotal,
                     const QString& couponCounter);

  fw::VariantList closingValues();  // "Gerar Cupom": what FechaCupom is given

  // GeraArquivo's three modes, each in its own step.
  bool writeCompletedSale();          // "O": the sale file and the cash-movement file
  bool writeCancelledSale();          // "C": the sale file of a coupon cancelled while open
  bool markLastCouponCancelled();     // "P": the last closed coupon's own file turned "C"
  void fillSaleFile(bool completed);  // the item list's rows into cdsVendaArq
  void fillCashMovementFile();        // payments and the change row into cdsMovCaixaArq
  // Before a sale first writes its names, whatever another sale left there is moved aside.
  void claimOutputNames(const QString& saleFile, const QString& cashFile);
};
