// A list control: rows in columns under a header, per-cell colours, the
// selected row, its own horizontal scrolling, and the user's input as events.
//
// A list paged by the program (ui::ListPaging::Program, the default) shows exactly the
// rows it was given, each fully: rows are made lower when the height would
// not show the visible-item count the runtime computed. Its vertical scroll
// bar is the program's thumb (0..100); Up and Down past the first or last
// row, PageUp, PageDown, Ctrl+Home, Ctrl+End, the wheel and the scroll bar
// come as Scroll* events (a drag as ScrollDrag with the thumb when the thumb
// is let go), and every character typed on it as an AlertKey with the
// character. A list paging itself (ui::ListPaging::Self) scrolls its rows
// with its own scroll bar.
//
// Reports: NewSelection with the row (clicks, arrow keys), Accepted with the
// row on a double click or Enter, AlertKey for alerted keys, a double click
// and the right button when alerted. Mouse events carry the clicked row and
// column, held to the rows and columns there are (row 0 on an empty list).
// Thread: the GUI thread.
#pragma once

#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <functional>
#include <optional>
#include <vector>

#include "qt/ListModel.h"
#include "qt/QtControl.h"

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace runtime::qt {

class ListControl : public QtControl {
 public:
  ListControl(QWidget* parent, InputSink sink);

  QTableView* TableView() const { return table_; }
  ListModel* Model() const { return model_; }
  // The program's thumb (lists paged by the program).
  QScrollBar* ThumbBar() const { return thumbBar_; }
  // The cell at row and column (1-based, held to the rows and columns
  // there are); invalid when the list has no rows.
  QModelIndex Cell(std::int32_t row, std::int32_t column) const;
  // Pixels from a cell's left edge to where its text starts.
  int TextIndent(const QModelIndex& cell) const;
  // Called whenever cells may have moved on screen (rows shown again, a
  // column resized or moved, the list scrolled sideways or resized), so
  // controls placed over a cell can follow it.
  void OnCellsMoved(std::function<void()> moved) { cellsMoved_ = std::move(moved); }
  // The column widths in units once the user has dragged a column's edge
  // (the last column's as the user left it, not as it stretches to fill the
  // list); empty before.
  std::vector<std::int32_t> UsersColumnWidths(const DialogUnits& units) const;

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits& units) override;
  QWidget* KeyWidget() const override { return table_; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool PagedByProgram() const { return View().properties.paging == ui::ListPaging::Program; }
  bool IsAlerted(ui::KeyCode key) const;
  void Build(QFrame* frame);
  void ApplyColumns(const std::vector<ui::ListColumn>& columns, const DialogUnits& units);
  void FitRows();
  void FitLastColumn();
  void KeepCurrentRowVisible();
  void CellsMoved() const;

  bool TakeKey(const QKeyEvent& key);
  bool TakeMouse(const QMouseEvent& mouse, QEvent::Type type);
  bool TakeWheel(const QWheelEvent& wheel);
  void ReportRightClick(ui::KeyCode key, ui::EventData data);
  void TakeBarAction(int action);
  void ReportDrag(int position);  // a ScrollDrag unless the thumb is where it was last reported
  void SelectRow(int row, ui::KeyCode key);
  // Reports code (a scroll, with the key that asked for it) times over.
  void ReportScroll(ui::EventCode code, ui::KeyCode key, std::int32_t times = 1);

  QTableView* table_ = nullptr;
  QHeaderView* header_ = nullptr;  // the table's
  ListModel* model_ = nullptr;
  QScrollBar* thumbBar_ = nullptr;
  QWidget* thumbBarTop_ = nullptr;  // keeps the thumb bar beside the rows, below the header
  std::function<void()> cellsMoved_;

  // The columns and units whose widths were last set.
  std::optional<std::vector<ui::ListColumn>> widthsApplied_;
  bool userResized_ = false;  // the user dragged a column's edge
  int draggedTo_ = -1;        // where the held thumb was last reported
  DialogUnits appliedUnits_{1, 1};
  int lastColumnWidth_ = 0;  // pixels: described, or as the user made it
  int rowHeight_ = 1;        // pixels, before fitting the rows in
  int visibleItems_ = 1;
  int wheelDelta_ = 0;                         // wheel movement not yet turned into rows
  ui::KeyCode keyMoving_ = ui::KeyCode::None;  // the key whose move Qt is carrying out
  bool showing_ = false;                       // set while runtime state is shown
  bool fitting_ = false;                       // set while the columns are fitted in
};

}  // namespace runtime::qt
