// The list queue of a browse list: one entry per displayed row, each the
// bytes of a row layout the procedure describes (display fields, optional
// colour fields) plus the row's position in the view. Like the runtime's
// queues it has one buffer: Add and Insert copy the buffer into a new entry,
// Get copies an entry into it, and field references (for the browse's field
// pairs) point into it. As the list control's source it shows the columns it
// was given.
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/files/RecordBuffer.h"
#include "runtime/files/RecordLayout.h"
#include "runtime/ui/ListSource.h"
#include "runtime/values/FieldRef.h"

namespace marlinden {

class BrowseQueue : public runtime::ui::ListSource {
 public:
  // One list column: the row field it shows, and the first of four Int32
  // colour fields (text, background, selected text, selected background)
  // that follow it, 0 when the column has none.
  struct Column {
    std::size_t field = 0;
    std::size_t colours = 0;
  };

  BrowseQueue(runtime::RecordLayout layout, std::vector<Column> columns);
  BrowseQueue(const BrowseQueue&) = delete;
  BrowseQueue& operator=(const BrowseQueue&) = delete;

  // The buffer's fields (an invalid reference for an unknown one).
  runtime::FieldRef Field(std::size_t number) { return buffer_.Field(number); }
  runtime::FieldRef Field(std::string_view label) { return buffer_.Field(label); }
  // The number of columns and the row field column c (1-based) shows.
  std::size_t Columns() const { return columns_.size(); }
  std::size_t ColumnField(std::size_t column) const;

  std::size_t Records() const { return entries_.size(); }
  // Copies entry n into the buffer; false (buffer unchanged) when there is none.
  bool Get(std::size_t n);
  // The position of entry n; empty when there is none.
  const std::string& PositionOf(std::size_t n) const;
  void Add();
  // At n (1..Records()+1), moving the later entries down.
  void Insert(std::size_t n);
  bool Put(std::size_t n);
  bool Delete(std::size_t n);
  void Free() { entries_.clear(); }

  // ListSource.
  std::size_t RowCount() const override { return entries_.size(); }
  runtime::ui::ListRow Row(std::size_t row) const override;

  // The buffer's view position (the browse's VIEWPOSITION).
  std::string POSITION;

 private:
  struct Entry {
    std::string bytes;
    std::string position;
  };
  Entry FromBuffer() const;

  const runtime::RecordLayout layout_;
  runtime::RecordBuffer buffer_{layout_};
  const std::vector<Column> columns_;
  std::vector<Entry> entries_;
};

}  // namespace marlinden
