// The rows a list control shows, as a table model: the GUI thread's own copy
// of the columns and rows the runtime pushed, with each cell's colours.
// Thread: the GUI thread.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "runtime/ui/ControlProperties.h"
#include "runtime/ui/ListSource.h"

namespace runtime::qt {

class ListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The colours a selected cell is drawn with (QColor, or invalid).
  static constexpr int kSelectedTextRole = Qt::UserRole + 1;
  static constexpr int kSelectedBackgroundRole = Qt::UserRole + 2;

  explicit ListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  // Replaces what is shown. Only a change in the number of columns resets the
  // model; rows are inserted or removed at the end and changed cells signalled.
  void Show(const std::vector<ui::ListColumn>& columns, const std::vector<ui::ListRow>& rows);
  const std::vector<ui::ListColumn>& Columns() const { return columns_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  static int ColumnsShown(const std::vector<ui::ListColumn>& columns);
  const ui::ListCell* Cell(const QModelIndex& index) const;

  std::vector<ui::ListColumn> columns_;
  std::vector<ui::ListRow> rows_;
};

}  // namespace runtime::qt
