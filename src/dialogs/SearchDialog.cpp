// The search dialog: a line, a grid over the rows the line lets through, up/down, OK and
// cancel. The keyboard stays on the line so a scanner can type at any moment.
#include "dialogs/SearchDialog.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "framework/ui/Glyphs.h"
#include "framework/ui/Look.h"
#include "framework/ui/TBlendedBitBtn.h"

namespace dialogs {

// The grid's model: the rows the filter let through, their texts read from the table as
// the grid paints them (only the rows on screen are ever read).
class SearchModel : public QAbstractTableModel {
 public:
  SearchModel(const fw::LocalTable& table, const SearchIndex& index, QObject* parent)
      : QAbstractTableModel(parent), table_(table), index_(index) {}

  void setRows(std::vector<int> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
  }
  const std::vector<int>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(index_.columns().size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const SearchIndex::Column& column = index_.columns()[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) {
      return SearchIndex::cellText(table_, rows_[static_cast<std::size_t>(index.row())], column);
    }
    if (role == Qt::TextAlignmentRole) {
      return QVariant::fromValue(Qt::AlignVCenter |
                                 (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal) return {};
    const SearchIndex::Column& column = index_.columns()[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return column.title;
    if (role == Qt::TextAlignmentRole) {
      return QVariant::fromValue(Qt::AlignVCenter |
                                 (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
  }

 private:
  const fw::LocalTable& table_;
  const SearchIndex& index_;
  std::vector<int> rows_;
};

namespace {

fw::TBlendedBitBtn* makeArrowButton(bool upward, QWidget* parent) {
  auto* button = new fw::TBlendedBitBtn(parent);
  button->setShape(fw::TBlendedBitBtn::Shape::Circle);
  const QPixmap normal =
      upward ? fw::glyphs::arrowUp(colors::frame) : fw::glyphs::arrowDown(colors::frame);
  const QPixmap disabled =
      upward ? fw::glyphs::arrowUp(colors::disabled) : fw::glyphs::arrowDown(colors::disabled);
  button->setGlyph(normal.scaled(52, 52, Qt::KeepAspectRatio, Qt::SmoothTransformation),
                   disabled.scaled(52, 52, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  button->setFaceColor(Qt::white);
  button->setPressedColor(Qt::black);
  button->setDisabledColor(Qt::white);
  button->setFocusPolicy(Qt::NoFocus);
  button->setFixedSize(64, 64);
  button->setAutoRepeat(true);  // held down it keeps moving, for long lists
  button->setObjectName(upward ? QStringLiteral("up") : QStringLiteral("down"));
  return button;
}

constexpr int kRowHeight = 32;

}  // namespace

SearchDialog::SearchDialog(fw::LocalTable& table, QWidget* parent)
    : TouchDialog(QStringLiteral("Pesquisa"), parent),
      table_(table),
      index_(SearchIndex::of(table)),
      model_(new SearchModel(table, *index_, this)),
      startRow_(table.active() && table.recNo() > 0 ? table.recNo() - 1 : 0) {
  setFixedSize(780, 560);

  auto* line = new QHBoxLayout;
  line->setSpacing(10);
  auto* searchCaption = new QLabel(QStringLiteral("Pesquisar:"), this);
  QFont captionFont = fw::look::arial(17, true);
  searchCaption->setFont(captionFont);
  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("search"));
  search_->setPlaceholderText(QStringLiteral("Digite parte do nome ou o código"));
  QFont searchFont = fw::look::arial(20);
  search_->setFont(searchFont);
  search_->setFixedHeight(44);
  search_->setClearButtonEnabled(true);
  search_->setStyleSheet(fw::look::framedEntryStyle(QStringLiteral("QLineEdit"), 8));
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("count"));
  count_->setMinimumWidth(150);
  count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  line->addWidget(searchCaption);
  line->addWidget(search_, 1);
  line->addWidget(count_);
  body()->addLayout(line);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(10);
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("grid"));
  grid_->setModel(model_);
  grid_->setFocusPolicy(Qt::NoFocus);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setShowGrid(false);
  grid_->setWordWrap(false);
  grid_->setAlternatingRowColors(true);
  grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid_->horizontalHeader()->setHighlightSections(false);
  grid_->horizontalHeader()->setFixedHeight(30);
  QFont gridFont = fw::look::arial(16);
  grid_->setFont(gridFont);
  grid_->setStyleSheet(
      QStringLiteral("QTableView { border: 1px solid %1; background: white; color: black;"
                     " alternate-background-color: #F4F4F4; selection-background-color: #000080;"
                     " selection-color: white; }"
                     "QHeaderView::section { background: %1; color: white; border: none;"
                     " padding: 0 6px; font-family: Arial; font-size: 14px; font-weight: bold; }"
                     "QScrollBar:vertical { width: 22px; }")
          .arg(fw::look::frameName()));
  middle->addWidget(grid_, 1);

  auto* arrows = new QVBoxLayout;
  arrows->setSpacing(12);
  up_ = makeArrowButton(true, this);
  down_ = makeArrowButton(false, this);
  arrows->addStretch(1);
  arrows->addWidget(up_);
  arrows->addWidget(down_);
  arrows->addStretch(1);
  middle->addLayout(arrows);
  body()->addLayout(middle, 1);

  body()->addWidget(noticeLabel());

  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(16);
  ok_ = makeButton(ButtonKind::Confirm, QStringLiteral("OK"), this, 20);
  ok_->setObjectName(QStringLiteral("ok"));
  cancel_ = makeButton(ButtonKind::Cancel, QStringLiteral("Cancelar"), this, 20);
  cancel_->setObjectName(QStringLiteral("cancel"));
  for (QAbstractButton* button : {ok_, cancel_}) button->setFixedSize(170, 54);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  buttons->addStretch(1);
  body()->addLayout(buttons);

  connect(search_, &QLineEdit::textChanged, this, &SearchDialog::applyFilter);
  connect(up_, &QAbstractButton::clicked, this, [this] { step(-1); });
  connect(down_, &QAbstractButton::clicked, this, [this] { step(1); });
  connect(ok_, &QAbstractButton::clicked, this, &SearchDialog::accept);
  connect(cancel_, &QAbstractButton::clicked, this, &SearchDialog::reject);
  connect(grid_, &QTableView::clicked, this,
          [this](const QModelIndex& index) { highlight(index.row()); });
  connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    highlight(index.row());
    accept();
  });
  search_->installEventFilter(this);

  applyFilter(QString());
  sizeColumns();
  search_->setFocus();
}

SearchDialog::~SearchDialog() {
  // The grid reads the index through its model: it goes before the members do.
  delete grid_;
}

int SearchDialog::highlightedShownRow() const {
  const QModelIndex current = grid_->selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

int SearchDialog::highlightedRow() const {
  const int shown = highlightedShownRow();
  return shown < 0 ? -1 : model_->rows()[static_cast<std::size_t>(shown)];
}

int SearchDialog::shownRowCount() const { return model_->rowCount(); }

void SearchDialog::applyFilter(const QString& typed) {
  SearchIndex::Result result = index_->filter(typed);
  // Before the first keystroke the grid opens on the table's current row.
  const int wanted = result.exactRow >= 0        ? result.exactRow
                     : typed.trimmed().isEmpty() ? startRow_
                                                 : -1;
  model_->setRows(std::move(result.rows));
  const std::vector<int>& rows = model_->rows();
  int shown = rows.empty() ? -1 : 0;
  if (wanted >= 0) {
    const auto it = std::lower_bound(rows.begin(), rows.end(), wanted);
    if (it != rows.end() && *it == wanted) shown = static_cast<int>(it - rows.begin());
  }
  highlight(shown);
  if (rows.empty()) {
    count_->setText(index_->rowCount() == 0 ? QStringLiteral("Nenhum registro")
                                            : QStringLiteral("Nada encontrado"));
  } else {
    count_->setText(QStringLiteral("%1 de %2").arg(rows.size()).arg(index_->rowCount()));
  }
}

void SearchDialog::highlight(int shownRow) {
  QItemSelectionModel* selection = grid_->selectionModel();
  if (shownRow < 0 || shownRow >= model_->rowCount()) {
    selection->clear();
    ok_->setEnabled(false);
    return;
  }
  const QModelIndex index = model_->index(shownRow, 0);
  selection->setCurrentIndex(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid_->scrollTo(index);
  ok_->setEnabled(true);
}

void SearchDialog::step(int delta) {
  const int count = model_->rowCount();
  if (count == 0) return;
  const int from = highlightedShownRow();
  highlight(std::clamp(from < 0 ? 0 : from + delta, 0, count - 1));
}

void SearchDialog::sizeColumns() {
  // Each column as wide as its field needs (codes stay narrow); the widest text field, the
  // name, takes what is left of the grid.
  QHeaderView* header = grid_->horizontalHeader();
  const auto& columns = index_->columns();
  if (columns.empty()) return;
  const int charWidth = grid_->fontMetrics().averageCharWidth() + 1;
  std::size_t widest = 0;
  for (std::size_t c = 1; c < columns.size(); ++c) {
    if (columns[c].widthChars > columns[widest].widthChars) widest = c;
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c == widest) {
      header->setSectionResizeMode(static_cast<int>(c), QHeaderView::Stretch);
      continue;
    }
    const int titleWidth = header->fontMetrics().horizontalAdvance(columns[c].title) + 24;
    const int width =
        std::max(std::clamp(std::min(columns[c].widthChars, 14) * charWidth, 60, 200), titleWidth);
    grid_->setColumnWidth(static_cast<int>(c), width);
  }
}

void SearchDialog::accept() {
  const int row = highlightedRow();
  if (row < 0) return;  // nothing to pick: the dialog stays
  table_.setRecNo(row + 1);
  TouchDialog::accept();
}

bool SearchDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int page = std::max(1, grid_->viewport()->height() / kRowHeight - 1);
    switch (key->key()) {
      case Qt::Key_Up:
        step(-1);
        return true;
      case Qt::Key_Down:
        step(1);
        return true;
      case Qt::Key_PageUp:
        step(-page);
        return true;
      case Qt::Key_PageDown:
        step(page);
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        accept();
        return true;
      case Qt::Key_Escape:
        reject();
        return true;
      default:
        break;
    }
  }
  return TouchDialog::eventFilter(watched, event);
}

void SearchDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      step(-1);
      return;
    case Qt::Key_Down:
      step(1);
      return;
    default:
      TouchDialog::keyPressEvent(event);
  }
}

}  // namespace dialogs
