#include "window/BrowseQueue.h"

#include <algorithm>
#include <utility>

namespace marlinden {

BrowseQueue::BrowseQueue(runtime::RecordLayout layout, std::vector<Column> columns)
    : layout_(std::move(layout)), columns_(std::move(columns)) {}

std::size_t BrowseQueue::ColumnField(std::size_t column) const {
  return column >= 1 && column <= columns_.size() ? columns_[column - 1].field : 0;
}

bool BrowseQueue::Get(std::size_t n) {
  if (n < 1 || n > entries_.size()) return false;
  buffer_.Assign(entries_[n - 1].bytes);
  POSITION = entries_[n - 1].position;
  return true;
}

const std::string& BrowseQueue::PositionOf(std::size_t n) const {
  static const std::string kNone;
  return n >= 1 && n <= entries_.size() ? entries_[n - 1].position : kNone;
}

BrowseQueue::Entry BrowseQueue::FromBuffer() const { return Entry{std::string(buffer_.View()), POSITION}; }

void BrowseQueue::Add() { entries_.push_back(FromBuffer()); }

void BrowseQueue::Insert(std::size_t n) {
  n = std::min(std::max<std::size_t>(n, 1), entries_.size() + 1);
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(n - 1), FromBuffer());
}

bool BrowseQueue::Put(std::size_t n) {
  if (n < 1 || n > entries_.size()) return false;
  entries_[n - 1] = FromBuffer();
  return true;
}

bool BrowseQueue::Delete(std::size_t n) {
  if (n < 1 || n > entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(n - 1));
  return true;
}

runtime::ui::ListRow BrowseQueue::Row(std::size_t row) const {
  runtime::ui::ListRow cells;
  if (row < 1 || row > entries_.size()) return cells;
  // A scratch record: the buffer belongs to the program, not to the display.
  runtime::RecordBuffer scratch(layout_);
  scratch.Assign(entries_[row - 1].bytes);
  for (const Column& column : columns_) {
    runtime::ui::ListCell cell;
    runtime::FieldRef field = scratch.Field(column.field);
    if (field.Valid()) cell.text = field.IsText() ? std::string(field.ClippedText()) : field.Get().AsText();
    if (column.colours != 0) {
      auto colour = [&](std::size_t offset) {
        runtime::FieldRef c = scratch.Field(column.colours + offset);
        return c.Valid() ? static_cast<runtime::ui::Colour>(c.Get().AsInteger()) : runtime::ui::kNoColour;
      };
      cell.colours = {colour(0), colour(1), colour(2), colour(3)};
    }
    cells.push_back(std::move(cell));
  }
  return cells;
}

}  // namespace marlinden
