// A backend without widgets, for tests and marlinden-cli. It keeps a copy of every window and
// control the runtime pushes to it (what a user would see), answers modal
// questions from scripts the test loads, and records every request. A
// question with no scripted answer is reported through OnUnscripted (tests
// make it fail the test at once) and answered as dismissed, so nothing ever
// waits for a user. Message boxes are served by a HeadlessMessageBoxes,
// scripted through MessageBoxes(). Any thread may call any operation.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/headless/HeadlessMessageBoxes.h"
#include "runtime/ui/Backend.h"

namespace runtime::ui {

class HeadlessBackend : public Backend {
 public:
  // Called with the kind of question ("message box", "popup menu", "file
  // dialog", "preview") and its title or text.
  using UnscriptedHandler = std::function<void(std::string_view kind, std::string_view what)>;

  HeadlessBackend();
  void OnUnscripted(UnscriptedHandler handler);

  // Scripts: each question takes the oldest answer of its kind.
  HeadlessMessageBoxes& MessageBoxes() { return boxes_; }
  void ScriptPopupChoice(std::int32_t choice);
  void ScriptFileChoice(std::string path);
  void ScriptPreviewAnswer(PreviewAnswer answer);
  // Whether tray icon requests succeed (default true).
  void SetTrayIconResult(bool succeeds);
  // The screens windows open on: each one's available area in pixels, the
  // primary screen first. None by default, so windows stay where they are
  // put. Pixels map to dialog units as for a font kCharWidth pixels wide on
  // average and kCharHeight high, and every frame has borders of
  // kFrameBorder pixels under a title bar of kTitleBar pixels.
  void SetScreens(std::vector<Rect> availablePixels);
  static constexpr std::int32_t kCharWidth = 6;
  static constexpr std::int32_t kCharHeight = 13;
  static constexpr std::int32_t kFrameBorder = 4;
  static constexpr std::int32_t kTitleBar = 24;
  // As if the user dragged list's column edges to widths (dialog units, one
  // per column): ListColumnWidths reports them until the runtime gives the
  // list's columns other widths.
  void SetUserColumnWidths(WindowId window, std::int32_t list, std::vector<std::int32_t> widths);

  // Recorded requests, oldest first.
  std::vector<MessageBoxRequest> MessageBoxRequests() const { return boxes_.Requests(); }
  std::vector<PopupMenuRequest> PopupRequests() const;
  std::vector<FileDialogRequest> FileDialogRequests() const;
  std::vector<PreviewRequest> PreviewRequests() const;
  std::vector<PrintRequest> PrintRequests() const;
  std::vector<TrayIconRequest> TrayIconsAdded() const;
  std::vector<std::uint32_t> TrayIconsDeleted() const;
  std::vector<Cursor> Cursors() const;
  std::vector<BeepKind> Beeps() const;
  std::vector<std::string> Sounds() const;
  // Scripted answers not yet taken, of every kind.
  std::size_t Unanswered() const;

  // What is shown: the last pushed state of a window (with its controls).
  std::optional<WindowView> Shown(WindowId window) const;
  std::optional<ControlView> ShownControl(WindowId window, std::int32_t control) const;
  std::vector<WindowId> ShownWindows() const;
  std::int32_t WindowsCreated() const;
  std::int32_t ControlUpdates() const;  // UpdateControl calls so far

  // Backend.
  void CreateWindow(const WindowView& window) override;
  void UpdateWindow(const WindowView& window) override;
  void DestroyWindow(WindowId window) override;
  void CreateControl(WindowId window, const ControlView& control) override;
  void UpdateControl(WindowId window, const ControlView& control) override;
  void DestroyControl(WindowId window, std::int32_t control) override;
  void SelectControl(WindowId window, std::int32_t control) override;
  std::vector<Rect> ClientAreas(const WindowView& window) const override;
  std::vector<std::int32_t> ListColumnWidths(const WindowView& window, std::int32_t list) const override;
  std::uint32_t ShowMessageBox(const MessageBoxRequest& request) override;
  std::int32_t ShowPopupMenu(const PopupMenuRequest& request) override;
  std::string ShowFileDialog(const FileDialogRequest& request) override;
  PreviewAnswer ShowPreview(const PreviewRequest& request) override;
  bool Print(const PrintRequest& request) override;
  bool AddTrayIcon(const TrayIconRequest& request) override;
  bool DeleteTrayIcon(std::uint32_t id) override;
  void SetCursor(Cursor cursor) override;
  void Beep(BeepKind kind) override;
  void PlaySound(const std::string& file) override;

 private:
  void Unscripted(std::string_view kind, std::string_view what);

  HeadlessMessageBoxes boxes_;  // thread-safe itself
  mutable std::mutex mutex_;
  // Guarded by mutex_.
  UnscriptedHandler onUnscripted_;
  std::deque<std::int32_t> popupScript_;
  std::deque<std::string> fileScript_;
  std::deque<PreviewAnswer> previewScript_;
  bool trayResult_ = true;
  std::vector<Rect> screens_;  // pixels
  std::vector<PopupMenuRequest> popups_;
  std::vector<FileDialogRequest> fileDialogs_;
  std::vector<PreviewRequest> previews_;
  std::vector<PrintRequest> prints_;
  std::vector<TrayIconRequest> traysAdded_;
  std::vector<std::uint32_t> traysDeleted_;
  std::vector<Cursor> cursors_;
  std::vector<BeepKind> beeps_;
  std::vector<std::string> sounds_;
  std::map<WindowId, WindowView> windows_;  // controls kept in number order
  std::map<std::pair<WindowId, std::int32_t>, std::vector<std::int32_t>> userColumnWidths_;
  std::int32_t windowsCreated_ = 0;
  std::int32_t controlUpdates_ = 0;
};

}  // namespace runtime::ui
