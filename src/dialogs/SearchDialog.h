// SearchDialog: the touch search over a local table (the catalog, the payment types).
// Shows the table's visible fields in a grid, filters as the cashier types, picks a code
// typed whole (a barcode scanner's code and Enter), and on OK leaves the table's cursor on
// the picked row. Rows hidden by a filter in force on the table are not offered.
#pragma once

#include "dialogs/SearchIndex.h"
#include "dialogs/TouchDialog.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QTableView;

namespace dialogs {

class SearchModel;

class SearchDialog : public TouchDialog {
  Q_OBJECT
 public:
  explicit SearchDialog(fw::LocalTable& table, QWidget* parent = nullptr);
  ~SearchDialog() override;

  // The highlighted row as a visible row of the table (0-based), -1 when none.
  int highlightedRow() const;
  // How many rows the grid shows now.
  int shownRowCount() const;

  QLineEdit* searchLine() const { return search_; }
  QTableView* grid() const { return grid_; }
  QAbstractButton* okButton() const { return ok_; }
  QAbstractButton* cancelButton() const { return cancel_; }
  QAbstractButton* upButton() const { return up_; }
  QAbstractButton* downButton() const { return down_; }

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void applyFilter(const QString& typed);
  void highlight(int shownRow);
  void step(int delta);  // moves the highlight by `delta` shown rows
  int highlightedShownRow() const;
  void sizeColumns();

  fw::LocalTable& table_;
  std::shared_ptr<const SearchIndex> index_;
  SearchModel* model_;
  int startRow_;
  QLineEdit* search_;
  QLabel* count_;
  QTableView* grid_;
  QAbstractButton* up_;
  QAbstractButton* down_;
  QAbstractButton* ok_;
  QAbstractButton* cancel_;
};

}  // namespace dialogs
