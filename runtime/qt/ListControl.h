// A list control: rows in columns with headers, per-cell colours, the
// selected row, and scroll input reported as events. With the list's own
// scroll bar (properties.scrollBar) the thumb is the runtime's (0..100) and
// every scroll action is an event the runtime answers by pushing other rows;
// without it the view scrolls the rows it was given by itself.
// Reports: NewSelection with the row (left or right click, arrow keys),
// Accepted with the row on a double click or Enter, Scroll* events.
// Thread: the GUI thread.
#pragma once

#include <QScrollBar>
#include <QTableView>

#include "runtime/qt/ListModel.h"
#include "runtime/qt/QtControl.h"

namespace runtime::qt {

class ListControl : public QtControl {
 public:
  ListControl(QWidget* parent, InputSink sink);

  QTableView* TableView() const { return table_; }
  ListModel* Model() const { return model_; }

 protected:
  void ShowContents(const ui::ControlView& view, const DialogUnits& units) override;
  QWidget* KeyWidget() const override { return table_; }
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build(QWidget* frame);
  void ReportRow(ui::EventCode code, int row, ui::KeyCode key);
  void ReportScroll(int action);

  QTableView* table_ = nullptr;
  ListModel* model_ = nullptr;
  QScrollBar* scrollBar_ = nullptr;  // the runtime's scroll bar
  bool showing_ = false;             // set while runtime state is shown
};

}  // namespace runtime::qt
