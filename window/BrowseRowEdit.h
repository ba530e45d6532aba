// The in-place edit of one row of a browse list, used when the browse has no
// update procedure. One entry control at a time sits over a cell of the
// edited row; Tab and Shift+Tab move between the editable columns, and
// Enter, Esc, the arrow keys, a click elsewhere, closing or sizing the window
// end the row with the action the browse's option bytes choose (save,
// discard, or ask "Save Record"). The edit runs its own event loop on the
// window until the row ends. One object lives for one edit (the browse's
// AskRecord makes it and runs it).
//
// Thread: the browse's window thread, holding the runtime lock.
#pragma once

#include <cstdint>
#include <vector>

#include "errors/Severity.h"
#include "runtime/ui/Control.h"
#include "runtime/ui/EventCode.h"
#include "runtime/ui/EventLoop.h"

namespace marlinden {

class BrowseManager;

// Which way the search for the next editable column goes first.
enum class ColumnSearch : std::uint8_t { Forward, Backward };

class BrowseRowEdit {
 public:
  // browse is borrowed for the edit. clickedColumn: the list column of the
  // double click that asked for a change (0 = none).
  BrowseRowEdit(BrowseManager& browse, std::uint8_t request, std::int32_t clickedColumn);
  BrowseRowEdit(const BrowseRowEdit&) = delete;
  BrowseRowEdit& operator=(const BrowseRowEdit&) = delete;

  // Edits the highlighted row (a new row for an insert) until the user ends
  // it, then refreshes the list (the browse's ResetFromAsk) and posts again
  // the event that ended the row; returns the response.
  std::uint8_t Run();

 private:
  // Creates the default objects and readies every column for the edited row.
  void StartColumns();
  void EndColumns();
  // The nearest editable column from `from`, searching the given way first
  // and turning back at either end; 0 when there is none.
  std::int32_t FindColumn(std::int32_t from, ColumnSearch search) const;
  void SelectColumn(ColumnSearch search);
  void CommitColumn();
  runtime::ui::LoopAction TakeEvent(const runtime::ui::Event& event);
  runtime::ui::LoopAction TakeAction(std::uint8_t action);
  runtime::ui::LoopAction TakeListEvent(const runtime::ui::Event& event);
  // Ends the row by option (save, discard or ask); true when it stays in
  // editing.
  bool EndRow(std::uint8_t option);
  bool SaveRow();
  Severity InsertRow();
  void DiscardNewRow();
  void RememberEvent(runtime::ui::EventCode code, std::int32_t control);

  BrowseManager& browse_;
  std::uint8_t request_;
  const std::int32_t clickedColumn_;
  std::uint8_t response_;
  std::int32_t active_ = 0;                                           // the column whose control is placed, 0 = none
  bool stays_ = false;                                                // the last row end kept the row in editing
  bool discarded_ = false;                                            // the new row was taken out of the list
  std::vector<bool> editable_;                                        // by column - 1
  std::vector<runtime::ui::Colour> colours_;                          // each column's colour before the edit
  runtime::ui::EventCode remembered_ = runtime::ui::EventCode::None;  // to post again
  std::int32_t rememberedControl_ = 0;
};

}  // namespace marlinden
