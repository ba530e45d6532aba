// The runtime's backend on Qt Widgets. Every call from a runtime thread is
// run on the GUI thread (the QApplication's) and returns when done, so it is
// synchronous to program code; a call on the GUI thread runs directly.
// Questions (message box, popup menu, file dialog, preview) open on the GUI
// thread and the asking thread waits for the answer, so the GUI thread goes
// on serving other threads meanwhile. The GUI thread never takes the runtime
// lock: it shows the snapshots pushed to it and reports input by PostInput.
//
// Construct and destroy on the GUI thread, after the QApplication exists.
// Backend calls: any thread. Windows(), Find(): the GUI thread.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "qt/ModalQuestions.h"
#include "qt/QtWindow.h"
#include "qt/TrayIcons.h"
#include "runtime/ui/Backend.h"

namespace runtime::qt {

class QtBackend : public ui::Backend {
 public:
  QtBackend();
  ~QtBackend() override;

  // GUI thread: the windows shown, oldest first, and one of them (nullptr
  // when it is not open).
  std::vector<ui::WindowId> Windows() const;
  QtWindow* Find(ui::WindowId window) const;

  // Backend.
  void CreateWindow(const ui::WindowView& window) override;
  void UpdateWindow(const ui::WindowView& window) override;
  void DestroyWindow(ui::WindowId window) override;
  void CreateControl(ui::WindowId window, const ui::ControlView& control) override;
  void UpdateControl(ui::WindowId window, const ui::ControlView& control) override;
  void DestroyControl(ui::WindowId window, std::int32_t control) override;
  void SelectControl(ui::WindowId window, std::int32_t control) override;
  std::vector<ui::Rect> ClientAreas(const ui::WindowView& window) const override;
  std::vector<std::int32_t> ListColumnWidths(const ui::WindowView& window, std::int32_t list) const override;
  std::uint32_t ShowMessageBox(const ui::MessageBoxRequest& request) override;
  std::int32_t ShowPopupMenu(const ui::PopupMenuRequest& request) override;
  std::string ShowFileDialog(const ui::FileDialogRequest& request) override;
  ui::PreviewAnswer ShowPreview(const ui::PreviewRequest& request) override;
  bool Print(const ui::PrintRequest& request) override;
  bool AddTrayIcon(const ui::TrayIconRequest& request) override;
  bool DeleteTrayIcon(std::uint32_t id) override;
  void SetCursor(ui::Cursor cursor) override;
  void Beep(ui::BeepKind kind) override;
  void PlaySound(const std::string& file) override;
  void ProgramEnding() override;

 private:
  // GUI thread: the frame of window, or of the newest window of thread when
  // window is unknown; nullptr when there is none.
  QWidget* ParentFor(ui::WindowId window, std::int32_t thread) const;

  // GUI thread only.
  std::map<ui::WindowId, std::unique_ptr<QtWindow>> windows_;  // ids grow, so oldest first
  TrayIcons trays_;
  ModalQuestions questions_;  // Ask: any thread
};

}  // namespace runtime::qt
