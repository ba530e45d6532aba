#include "qt/ListModel.h"

#include <algorithm>

#include "qt/Conversions.h"

namespace runtime::qt {

namespace {

QVariant ColourVariant(ui::Colour colour) {
  auto c = ToQColor(colour);
  return c ? QVariant(*c) : QVariant();
}

Qt::Alignment ToQtAlignment(ui::Alignment alignment) {
  switch (alignment) {
    case ui::Alignment::Centre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case ui::Alignment::Right:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ui::Alignment::Left:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

void ListModel::Show(const std::vector<ui::ListColumn>& columns, const std::vector<ui::ListRow>& rows) {
  if (ColumnsShown(columns) != columnCount()) {
    beginResetModel();
    columns_ = columns;
    rows_ = rows;
    endResetModel();
    return;
  }
  // Rows come and go without a reset, so the view keeps what the user set
  // (column widths, the horizontal scroll position).
  const bool headersChanged = !std::equal(columns.begin(), columns.end(), columns_.begin(), columns_.end(),
                                          [](const ui::ListColumn& a, const ui::ListColumn& b) {
                                            return a.header == b.header && a.alignment == b.alignment;
                                          });
  const bool formatChanged = columns != columns_;
  columns_ = columns;
  const std::size_t before = rows_.size();
  const std::size_t common = std::min(before, rows.size());
  if (rows.size() > before) {
    beginInsertRows({}, static_cast<int>(before), static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin() + static_cast<std::ptrdiff_t>(before), rows.end());
    endInsertRows();
  } else if (rows.size() < before) {
    beginRemoveRows({}, static_cast<int>(rows.size()), static_cast<int>(before) - 1);
    rows_.resize(rows.size());
    endRemoveRows();
  }
  const auto commonEnd = rows.begin() + static_cast<std::ptrdiff_t>(common);
  const bool cellsChanged = !std::equal(rows.begin(), commonEnd, rows_.begin());
  std::copy(rows.begin(), commonEnd, rows_.begin());
  if (common > 0 && (cellsChanged || formatChanged)) {
    emit dataChanged(index(0, 0), index(static_cast<int>(common) - 1, columnCount() - 1));
  }
  if (headersChanged && !columns_.empty()) emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::ColumnsShown(const std::vector<ui::ListColumn>& columns) {
  // A list without declared columns shows its rows' first cells in one column.
  return static_cast<int>(std::max<std::size_t>(columns.size(), 1));
}

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnsShown(columns_); }

const ui::ListCell* ListModel::Cell(const QModelIndex& index) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return nullptr;
  const ui::ListRow& row = rows_[static_cast<std::size_t>(index.row())];
  const auto column = static_cast<std::size_t>(index.column());
  return column < row.size() ? &row[column] : nullptr;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  const ui::ListCell* cell = Cell(index);
  if (cell == nullptr) return {};
  const auto column = static_cast<std::size_t>(index.column());
  const ui::ListColumn* format = column < columns_.size() ? &columns_[column] : nullptr;
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(cell->text);
    case Qt::ForegroundRole:
      if (format != nullptr && format->textColour != ui::kNoColour) return ColourVariant(format->textColour);
      return ColourVariant(cell->colours.text);
    case Qt::BackgroundRole:
      return ColourVariant(cell->colours.background);
    case kSelectedTextRole:
      return ColourVariant(cell->colours.selectedText);
    case kSelectedBackgroundRole:
      return ColourVariant(cell->colours.selectedBackground);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(format != nullptr ? ToQtAlignment(format->alignment)
                                                   : Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || static_cast<std::size_t>(section) >= columns_.size()) return {};
  if (role == Qt::DisplayRole) return ToQString(columns_[static_cast<std::size_t>(section)].header);
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(ToQtAlignment(columns_[static_cast<std::size_t>(section)].alignment));
  return {};
}

}  // namespace runtime::qt
