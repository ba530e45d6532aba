#include "runtime/ui/Backend.h"

#include <atomic>

#include "runtime/ui/ThreadContext.h"

namespace runtime::ui {

namespace {

// Shows nothing and answers every question as dismissed.
class NoBackend final : public Backend {
 public:
  void CreateWindow(const WindowView&) override {}
  void UpdateWindow(const WindowView&) override {}
  void DestroyWindow(WindowId) override {}
  void CreateControl(WindowId, const ControlView&) override {}
  void UpdateControl(WindowId, const ControlView&) override {}
  void DestroyControl(WindowId, std::int32_t) override {}
  void SelectControl(WindowId, std::int32_t) override {}
  std::uint32_t ShowMessageBox(const MessageBoxRequest& request) override { return request.defaultButton; }
  std::int32_t ShowPopupMenu(const PopupMenuRequest&) override { return 0; }
  std::string ShowFileDialog(const FileDialogRequest&) override { return {}; }
  PreviewAnswer ShowPreview(const PreviewRequest&) override { return PreviewAnswer::Cancel; }
  bool Print(const PrintRequest&) override { return false; }
  bool AddTrayIcon(const TrayIconRequest&) override { return false; }
  bool DeleteTrayIcon(std::uint32_t) override { return false; }
  void SetCursor(Cursor) override {}
  void Beep(BeepKind) override {}
  void PlaySound(const std::string&) override {}
};

std::atomic<Backend*> installed{nullptr};

}  // namespace

Backend* SetBackend(Backend* backend) { return installed.exchange(backend); }

Backend& CurrentBackend() {
  static NoBackend none;
  Backend* backend = installed.load();
  return backend != nullptr ? *backend : none;
}

void PostInput(Event event) { Registry::Instance().PostInput(std::move(event)); }

}  // namespace runtime::ui
