// One open window as the Qt backend shows it: its frame, its controls
// (widgets placed from dialog units and the window font's metrics), its menu
// bar and the tabs of its sheets. Keeps its own copy of everything it shows
// and reports user input for its window id through PostInput.
// Thread: the GUI thread.
#pragma once

#include <QMargins>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

#include "qt/DialogUnits.h"
#include "qt/QtControl.h"
#include "qt/WindowFrame.h"
#include "runtime/ui/WindowView.h"

namespace runtime::qt {

class ListControl;

class QtWindow {
 public:
  // Builds the window and its controls and shows it unless view.hidden.
  // With an owner (the newest window of the same thread, which the new one
  // holds), the desktop keeps the new window above it.
  explicit QtWindow(const ui::WindowView& view, const QtWindow* owner = nullptr);
  ~QtWindow();
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

  // Window-level properties (view.controls is ignored).
  void Update(const ui::WindowView& view);
  void CreateControl(const ui::ControlView& view);
  // A prompt with a mnemonic ("&Notes:") before an input control takes the
  // keyboard to it with Alt and the letter.
  void LinkPromptsToTheirControls(const ui::WindowView& view);
  void UpdateControl(const ui::ControlView& view);
  void DestroyControl(std::int32_t number);
  void Select(std::int32_t number);

  WindowFrame* Frame() const { return frame_; }
  std::int32_t Thread() const { return view_.thread; }
  // The desktop's frame around the window (title bar and borders) in
  // pixels; all 0 until the desktop has framed the window.
  QMargins Decoration() const;
  // The dialog units of a window shown in font.
  static DialogUnits UnitsOf(const ui::WindowFont& font);
  const DialogUnits& Units() const { return units_; }
  // The control's widget, nullptr when it has none.
  QWidget* ControlWidget(std::int32_t number) const;
  // What the user dragged list's columns to (ListControl::UsersColumnWidths).
  std::vector<std::int32_t> UsersColumnWidths(std::int32_t list) const;
  // A point in dialog units within the client area, on the screen.
  QPoint ToScreen(ui::Point at) const;

 private:
  void Report(ui::EventCode code, std::int32_t control, ui::EventData data);
  void OnControlInput(ui::EventCode code, std::int32_t control, ui::EventData data);
  void Attach(QtControl& control);  // tab pages and menus
  void Detach(std::int32_t number);
  void ShowControl(QtControl& control);
  void PlaceControl(QtControl& control);
  // Takes a control placed over a list cell back to the window.
  void LeaveCell(QtControl& control);
  // Places again every control placed over a cell of list.
  void FollowCells(std::int32_t list);
  ListControl* ListOf(std::int32_t number) const;
  void UpdateMenuEntry(std::int32_t number);
  void RefreshVisibility();
  bool IsShown(std::int32_t number, int depth = 0) const;
  void PlaceFrame();
  const ui::ControlView* ViewOf(std::int32_t number) const;

  ui::WindowView view_;  // window-level copy (controls kept below)
  DialogUnits units_;
  WindowFrame* frame_;  // owned; deleted with the window
  std::map<std::int32_t, std::unique_ptr<QtControl>> controls_;
  std::map<std::int32_t, QPointer<QWidget>> tabPages_;  // tab number -> page of its sheet
  QPointer<QWidget> focusBeforeHeld_;                   // the keyboard's control when a modal window held this one
  std::map<std::int32_t, QPointer<QMenu>> menus_;       // menu number -> its menu
  std::map<std::int32_t, QPointer<QAction>> actions_;   // menu or item number -> its entry
};

}  // namespace runtime::qt
