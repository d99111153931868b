// The sales screen: its controls with their look and start state, the handler
// connections, the exit button and the small steps the item and payment handlers share.
#include "module/shell/TfrmVendaArquivo.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <cmath>
#include <cstdio>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "framework/ui/Glyphs.h"
#include "framework/ui/Look.h"
#include "module/shell/MessageTable.h"
#include "module/shell/SaleContext.h"
#include "module/shell/Screen.h"
#include "module/shell/ScreenKeys.h"
#include "outside/Outside.h"

namespace {

const QColor& kFrame = fw::look::frame;
const QColor kSectionTitle(0xEE, 0x3E, 0x11);
const QColor& kSilver = fw::look::value;
const QColor& kGrey = fw::look::action;
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kPanel(0xD6, 0xD6, 0xD6);
const QColor& kDisabledGlyph = fw::look::disabled;
const QColor kCheckSquare(0x27, 0xAE, 0x60);
const QColor& kGravar = fw::look::confirm;
const QColor& kRed = fw::look::cancel;

const QString kSelecionarProduto = QStringLiteral("<-- Selecionar produto");

// The typefaces the screen was drawn with, by their metric twins on this system.
enum class Face {
  Arial,     // the labels, buttons and grids
  FormSans,  // the form's default sans-serif (section titles, the advice label)
  Symbol,    // the caption-less picture buttons
};

QFont screenFont(Face face, int pixels, bool bold = true) {
  QFont font;
  switch (face) {
    case Face::Arial:
      return fw::look::arial(pixels, bold);
    case Face::FormSans:
      font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
      break;
    case Face::Symbol:
      font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
      break;
  }
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// Shape1: white, framed in the screen's orange-brown with a 2-pixel line; it follows the
// form's size, so the frame stays whole when start-up cuts the design area to 800 x 600.
class FrameShape : public QFrame {
 public:
  explicit FrameShape(QWidget* form) : QFrame(form) {
    setGeometry(form->rect());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    form->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
      setGeometry(parentWidget()->rect());
    return QFrame::eventFilter(watched, event);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), kFrame);
    painter.fillRect(rect().adjusted(2, 2, -2, -2), Qt::white);
  }
};

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& rect, const QString& text,
                  const QFont& font, const QColor& color, Qt::Alignment alignment) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  label->setAlignment(alignment | Qt::AlignTop);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);  // never hides a button beneath
  // The host's labels size themselves to their text; here the design rectangle only grows
  // (a centred label on both sides, the others to the right) so no caption is cut.
  QRect r = rect;
  const int needed = QFontMetrics(font).horizontalAdvance(text) + 1;
  if (!text.isEmpty() && needed > r.width()) {
    if (alignment & Qt::AlignHCenter) r.setLeft(r.left() - (needed - r.width()) / 2);
    r.setWidth(needed);
  }
  label->setGeometry(r);
  return label;
}

void setButtonColors(fw::TBlendedButton* button, const QColor& face, const QColor& text,
                     const QColor& pressed, const QColor& pressedText, const QColor& disabled,
                     const QColor& disabledText) {
  button->setFaceColor(face);
  button->setTextColor(text);
  button->setPressedColor(pressed);
  button->setPressedTextColor(pressedText);
  button->setDisabledColor(disabled);
  button->setDisabledTextColor(disabledText);
}

template <typename Button>
Button* makeButton(QWidget* parent, const char* name, const QRect& rect, const QString& caption,
                   const QFont& font) {
  auto* button = new Button(parent);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(rect);
  button->setFont(font);
  button->setText(caption);
  button->setFocusPolicy(Qt::NoFocus);  // a touch screen: no focus frame, Enter/Space do not fire
  return button;
}

}  // namespace

TfrmVendaArquivo::TfrmVendaArquivo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmVendaArquivo"));
  setWindowTitle(QStringLiteral("Registro de Vendas"));
  declareTables();
  buildControls();
  msgPadrao.setLines(shell::messageTableLines());
  connectHandlers();
  new shell::ScreenKeys(*this);  // the keyboard and the barcode scanner
}

TfrmVendaArquivo::~TfrmVendaArquivo() = default;

void TfrmVendaArquivo::buildControls() {
  const QPalette system = palette();
  const QColor buttonFace = system.color(QPalette::Button);
  const QColor window = system.color(QPalette::Base);
  const QColor windowText = system.color(QPalette::Text);

  resize(803, 606);
  setFont(screenFont(Face::FormSans, 11, false));
  QPalette formPalette = system;
  formPalette.setColor(QPalette::Window, buttonFace);
  setPalette(formPalette);
  setAutoFillBackground(true);

  Shape1 = new FrameShape(this);
  Shape1->setObjectName(QStringLiteral("Shape1"));

  const QFont arial13 = screenFont(Face::Arial, 13);
  const QFont arial15 = screenFont(Face::Arial, 15);
  const QFont arial16 = screenFont(Face::Arial, 16);
  const QFont symbol13 = screenFont(Face::Symbol, 13);

  // Top line: title, connection indicator, exit.
  lblMenu = makeLabel(this, "lblMenu", {320, 8, 138, 18}, QStringLiteral("Registro de Vendas"),
                      arial15, Qt::black, Qt::AlignHCenter);
  lblConexao = makeLabel(this, "lblConexao", {561, 10, 163, 18},
                         QStringLiteral("Banco de dados offline"), arial15, kRed, Qt::AlignHCenter);
  lblInfo = makeLabel(this, "lblInfo", {536, 26, 201, 32},
                      QStringLiteral("Reinicie o sistema para continuar utilizando normalmente"),
                      screenFont(Face::FormSans, 13, false), Qt::black, Qt::AlignLeft);
  lblInfo->setWordWrap(true);
  lblInfo->setGeometry(536, 26, 201, 32);  // wraps inside its box instead of growing
  lblInfo->setVisible(false);

  auto listGlyphColors = [&](fw::TBlendedButton* b) {
    setButtonColors(b, window, windowText, windowText, window, Qt::white, Qt::white);
  };
  auto glyphButton = [&](const char* name, const QRect& r, fw::TBlendedBitBtn::Shape shape,
                         QPixmap normal, QPixmap disabled, const QFont& font) {
    auto* b = makeButton<fw::TBlendedBitBtn>(this, name, r, QString(), font);
    b->setShape(shape);
    b->setGlyph(normal, disabled);
    listGlyphColors(b);
    return b;
  };
  using Shape = fw::TBlendedBitBtn::Shape;
  namespace g = fw::glyphs;

  spdSair = glyphButton("spdSair", {754, 5, 37, 30}, Shape::Rounded, g::cross(kFrame),
                        g::cross(kDisabledGlyph), symbol13);
  spdSair->setMargin(2);
  spdSair->setSpacing(0);

  // Product entry.
  auto valueButton = [&](const char* name, const QRect& r) {
    auto* b = makeButton<fw::TBlendedButton>(this, name, r, QString(), arial13);
    setButtonColors(b, kSilver, Qt::black, windowText, window, kGrey, kSilver);
    return b;
  };
  auto actionButton = [&](const char* name, const QRect& r, const QString& caption) {
    auto* b = makeButton<fw::TBlendedButton>(this, name, r, caption, arial13);
    setButtonColors(b, kGrey, Qt::white, windowText, window, kGrey, kSilver);
    return b;
  };

  lblProdVnd =
      makeLabel(this, "lblProdVnd", {15, 39, 143, 16}, QStringLiteral("Dados dos Produtos"),
                screenFont(Face::FormSans, 13), kSectionTitle, Qt::AlignLeft);
  lblCodProd = makeLabel(this, "lblCodProd", {15, 71, 45, 16}, QStringLiteral("Código"), arial13,
                         Qt::black, Qt::AlignLeft);
  bldCodigo = valueButton("bldCodigo", {135, 68, 205, 25});
  lblProd = makeLabel(this, "lblProd", {350, 71, 142, 16}, kSelecionarProduto, arial13, Qt::black,
                      Qt::AlignLeft);
  // It shows the chosen product's name later: room up to the frame, as a self-sizing label.
  lblProd->setGeometry(350, 71, 800 - 4 - 350, 16);
  lblPrecoUn = makeLabel(this, "lblPrecoUn", {15, 103, 91, 16}, QStringLiteral("Preço Unitário"),
                         arial13, Qt::black, Qt::AlignLeft);
  bldPrecoUn =
      makeButton<fw::TBlendedButton>(this, "bldPrecoUn", {135, 101, 205, 25}, QString(), arial13);
  setButtonColors(bldPrecoUn, kSilver, Qt::black, kSilver, kNavy, kSilver, kSilver);
  lblQuant = makeLabel(this, "lblQuant", {15, 138, 74, 16}, QStringLiteral("Quantidade"), arial13,
                       Qt::black, Qt::AlignLeft);
  bldQuant = valueButton("bldQuant", {135, 134, 205, 25});
  bldAddProd =
      actionButton("bldAddProd", {566, 130, 162, 35}, QStringLiteral("Adicionar &Produto"));

  bldAcima = glyphButton("bldAcima", {738, 166, 49, 46}, Shape::Circle, g::arrowUp(kFrame),
                         g::arrowUp(kDisabledGlyph), font());
  bldCancel = glyphButton("bldCancel", {744, 237, 38, 42}, Shape::Rounded, g::cross(kFrame),
                          g::cross(kDisabledGlyph), symbol13);
  bldCancel->setMargin(2);
  bldCancel->setSpacing(0);
  bldAbaixo = glyphButton("bldAbaixo", {739, 301, 49, 46}, Shape::Circle, g::arrowDown(kFrame),
                          g::arrowDown(kDisabledGlyph), font());

  // Item list.
  auto panel = [&](const char* name, const QRect& r) {
    auto* p = new QFrame(this);
    p->setObjectName(QLatin1String(name));
    p->setGeometry(r);
    p->setFrameShape(QFrame::NoFrame);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, kPanel);
    p->setPalette(pal);
    p->setAutoFillBackground(true);
    return p;
  };
  auto grid = [&](const char* name, QFrame* holder, fw::LocalTable* table,
                  std::vector<fw::GridColumn> columns, const QRect& r) {
    auto* view = new fw::DBGrid(table, std::move(columns), holder);
    view->setObjectName(QLatin1String(name));
    view->setGeometry(r);
    view->setFont(screenFont(Face::Arial, 11, false));
    view->horizontalHeader()->setFont(screenFont(Face::Arial, 11));
    view->setTitleColors(kFrame, Qt::white);
    view->setFrameShape(QFrame::NoFrame);
    view->setShowGrid(false);
    view->verticalHeader()->hide();
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setLayoutDirection(Qt::LeftToRight);
    view->setFocusPolicy(Qt::NoFocus);
    return view;
  };
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;

  panProd = panel("panProd", {14, 179, 712, 165});
  // Number fields show their values right-aligned; only the titles and the state column
  // are aligned by the grid itself.
  dbgProd = grid(
      "dbgProd", panProd, dtsAddProd,
      {{QStringLiteral("CDPRODUTO"), QStringLiteral("Código"), 70, left, left, true},
       {QStringLiteral("NMPRODUTO"), QStringLiteral("Produto"), 217, left, left, true},
       {QStringLiteral("QTPRODVEND"), QStringLiteral("Quantidade"), 87, right, right, true},
       {QStringLiteral("VRUNITVEND"), QStringLiteral("Valor Unitário"), 129, right, right, true},
       {QStringLiteral("VRTOTVEND"), QStringLiteral("Valor Total"), 129, right, right, true},
       {QStringLiteral("NRSEQ"), QString(), 64, left, left, false},
       {QStringLiteral("IDPRODIMPFIS"), QStringLiteral("Situação"), 77, right, right, true}},
      {1, 0, 729, 177});

  lblTot = makeLabel(this, "lblTot", {599, 349, 68, 19}, QStringLiteral("Total: R$"), arial16,
                     Qt::black, Qt::AlignHCenter);
  // The three amounts keep their left edge and grow to the right, as the host's
  // self-sizing labels do; the box reaches the frame so "1.001,00" is never cut.
  auto amount = [&](const char* name, int top) {
    QLabel* l = makeLabel(this, name, {688, top, 40, 19}, QStringLiteral("00,00"), arial16,
                          Qt::black, Qt::AlignLeft);
    l->setGeometry(688, top, 800 - 2 - 688, 19);
    return l;
  };
  lblTotal = amount("lblTotal", 349);

  // Payments.
  bldAddRece =
      actionButton("bldAddRece", {566, 376, 163, 36}, QStringLiteral("Adicionar &Recebimento"));
  lblDadosReceb =
      makeLabel(this, "lblDadosReceb", {15, 386, 165, 16}, QStringLiteral("Dados do Recebimento"),
                screenFont(Face::FormSans, 13), kSectionTitle, Qt::AlignLeft);
  bldRolarCima = glyphButton("bldRolarCima", {739, 406, 49, 46}, Shape::Circle, g::arrowUp(kFrame),
                             g::arrowUp(kDisabledGlyph), font());
  lblCodRece = makeLabel(this, "lblCodRece", {13, 418, 84, 16}, QStringLiteral("Recebimento"),
                         arial13, Qt::black, Qt::AlignLeft);
  bldCodRece = valueButton("bldCodRece", {103, 416, 190, 25});
  panRece = panel("panRece", {308, 416, 420, 117});
  dbgRece =
      grid("dbgRece", panRece, dtsReceb,
           {{QStringLiteral("NMTIPORECE"), QStringLiteral("Recebimento"), 267, left, left, true},
            {QStringLiteral("VRMOVIVEND"), QStringLiteral("Valor"), 137, right, right, true}},
           {1, 1, 444, 125});
  bldCancelaRece = glyphButton("bldCancelaRece", {744, 452, 39, 42}, Shape::Rounded,
                               g::cross(kFrame), g::cross(kDisabledGlyph), symbol13);
  bldCancelaRece->setMargin(2);
  bldCancelaRece->setSpacing(0);
  bldValorRece = valueButton("bldValorRece", {103, 453, 190, 25});
  lblValorRece = makeLabel(this, "lblValorRece", {14, 459, 33, 16}, QStringLiteral("Valor"),
                           arial13, Qt::black, Qt::AlignLeft);
  bldRolarBaixo = glyphButton("bldRolarBaixo", {739, 493, 49, 46}, Shape::Circle,
                              g::arrowDown(kFrame), g::arrowDown(kDisabledGlyph), font());
  lblTotRec = makeLabel(this, "lblTotRec", {522, 533, 145, 19},
                        QStringLiteral("Total Recebido: R$"), arial16, Qt::black, Qt::AlignHCenter);
  lblTotRecebido = amount("lblTotRecebido", 533);

  // Completion.
  auto finishButton = [&](const char* name, int left, const QString& caption, const QColor& face) {
    auto* b = makeButton<fw::TBlendedBitBtn>(this, name, {left, 535, 137, 59}, caption, arial13);
    b->setShape(Shape::Rounded);
    b->setGlyph(g::check(kCheckSquare), g::check(kDisabledGlyph));
    b->setSpacing(2);
    setButtonColors(b, face, Qt::white, kGrey, Qt::white, kDisabledGlyph, Qt::white);
    return b;
  };
  bldGravar = finishButton("bldGravar", 15, QStringLiteral("Gerar Cupom"), kGravar);
  bldGravar->setEnabled(false);
  bldCancela = finishButton("bldCancela", 165, QStringLiteral("Cancela Cupom"), kRed);

  lblTroco = makeLabel(this, "lblTroco", {592, 553, 75, 19}, QStringLiteral("Troco: R$"), arial16,
                       Qt::black, Qt::AlignHCenter);
  lblValTroco = amount("lblValTroco", 553);

  Shape1->lower();
}

void TfrmVendaArquivo::connectHandlers() {
  auto on = [this](QAbstractButton* button, void (TfrmVendaArquivo::*handler)(QObject*)) {
    connect(button, &QAbstractButton::clicked, this, [this, button, handler] {
      runHandler([this, button, handler] { (this->*handler)(button); });
    });
  };
  on(spdSair, &TfrmVendaArquivo::spdSairClick);
  on(bldCodigo, &TfrmVendaArquivo::bldCodigoClick);
  on(bldQuant, &TfrmVendaArquivo::bldQuantClick);
  on(bldAddProd, &TfrmVendaArquivo::bldAddProdClick);
  on(bldAcima, &TfrmVendaArquivo::bldAcimaClick);
  on(bldCancel, &TfrmVendaArquivo::bldCancelClick);
  on(bldAbaixo, &TfrmVendaArquivo::bldAbaixoClick);
  on(bldAddRece, &TfrmVendaArquivo::bldAddReceClick);
  on(bldRolarCima, &TfrmVendaArquivo::bldRolarCimaClick);
  on(bldCodRece, &TfrmVendaArquivo::bldCodReceClick);
  on(bldCancelaRece, &TfrmVendaArquivo::bldCancelaReceClick);
  on(bldValorRece, &TfrmVendaArquivo::bldValorReceClick);
  on(bldRolarBaixo, &TfrmVendaArquivo::bldRolarBaixoClick);
  on(bldGravar, &TfrmVendaArquivo::bldGravarClick);
  on(bldCancela, &TfrmVendaArquivo::bldCancelaClick);
  // bldPrecoUn only displays the price: it runs nothing.

  // A grid touch the table refused reaches the same general error report as a handler's.
  for (fw::DBGrid* grid : {dbgProd, dbgRece}) {
    connect(grid, &fw::DBGrid::touchFailed, this, [this](const QString& message) {
      runHandler([&message] { throw fw::Error(message); });
    });
  }

  adcTesteConexao.beforeConnect = [this](runtime::TADOConnection& c) {
    adcTesteConexaoBeforeConnect(c);
  };
  adcTesteConexao.afterConnect = [this](runtime::TADOConnection& c) {
    adcTesteConexaoAfterConnect(c);
  };
  // The runtime library must not keep using a connection the form is about to release.
  adcTesteConexao.beforeDisconnect = [](runtime::TADOConnection&) {
    if (outside::SetADODBSession) outside::SetADODBSession(nullptr);
  };
}

void TfrmVendaArquivo::runHandler(const std::function<void()>& handler) {
  QString text;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    text = fw::messageOf(e);
  }
  if (outside::ApplicationHandleException) {
    outside::ApplicationHandleException(text);
    return;
  }
  showMessage(text);
}

void TfrmVendaArquivo::spdSairClick(QObject*) { accept(); }

void TfrmVendaArquivo::reject() {}

void TfrmVendaArquivo::setVisible(bool visible) {
  if (visible && !isVisible()) {
    // Centred with truncating division, so on a small screen the form overhangs both
    // edges equally (640 x 480: -80, -60), the same place start-up chose.
    const QRect screen = shell::screenGeometry();
    move(screen.x() + (screen.width() - width()) / 2,
         screen.y() + (screen.height() - height()) / 2);
  }
  QDialog::setVisible(visible);
}

// ---- Steps shared by the item and payment handlers ---------------------------------------

void TfrmVendaArquivo::clearProductEntry() {
  bldCodigo->setText(QString());
  lblProd->setText(kSelecionarProduto);
  bldPrecoUn->setText(QString());
  bldQuant->setText(QString());
}

double TfrmVendaArquivo::saleTotal() const {
  const QString shown = lblTotal->text().trimmed();
  return shown.isEmpty() ? 0.0 : fw::parseAmount(shown);
}

void TfrmVendaArquivo::showSaleTotal(double total) { lblTotal->setText(fw::formatAmount(total)); }

// Both rules work on the amounts as shown (to the cent), so the cut and the uncut
// comparisons agree with what the cashier reads.
void TfrmVendaArquivo::applyFinishButton(double saleTotal, double received) {
  saleTotal = fw::roundAmount(saleTotal);
  received = fw::roundAmount(received);
  if (outside::Trunc2(saleTotal) > outside::Trunc2(received))
    bldGravar->setEnabled(false);
  else
    bldGravar->setEnabled(saleTotal > 0);
}

void TfrmVendaArquivo::applyFinishRule() {
  const double s = fw::roundAmount(saleTotal());
  const double r = fw::roundAmount(doTotal);
  applyFinishButton(s, r);
  if (outside::Trunc2(s) < outside::Trunc2(r) && s > 0)
    lblValTroco->setText(fw::formatAmount(fw::roundAmount(std::abs(r - s))));
  if (s >= r) lblValTroco->setText(fw::formatAmount(0));
}

// Without a message dialog (a host that installed none) the text still reaches someone.
void TfrmVendaArquivo::showMessage(const QString& text) {
  if (!outside::inform(text, stIdEsquema))
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool TfrmVendaArquivo::confirm(const QString& text) {
  if (outside::Mensagem) return outside::ask(text, stIdEsquema);
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  return false;
}
