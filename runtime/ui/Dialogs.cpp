#include "runtime/ui/Dialogs.h"

#include <atomic>
#include <utility>

#include "runtime/system/RuntimeLock.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/ThreadContext.h"
#include "runtime/ui/Window.h"

namespace runtime::ui {

namespace {

// The user should see the current state of the thread's windows before a
// question; returns the target window's id.
WindowId FlushWindows() {
  ThreadContext* context = CurrentContext();
  if (context == nullptr || !RuntimeLock::HeldByThisThread()) return kNoWindow;
  for (Window* window : context->windows) window->Flush();
  Window* target = TargetWindow();
  return target != nullptr ? target->Id() : kNoWindow;
}

class BackendMessageBoxes final : public MessageBoxService {
 public:
  std::uint32_t Show(const MessageBoxRequest& request) override { return AskMessage(request); }
};

// Shows request at (a zero coordinate: at the mouse); 0 unless the answer
// names a choosable item.
std::int32_t ShowPopupMenu(PopupMenuRequest request, Point at) {
  request.window = FlushWindows();
  if (at.x != 0 && at.y != 0) request.at = at;
  std::int32_t choice = 0;
  {
    UnlockedSection unlocked;
    choice = CurrentBackend().ShowPopupMenu(request);
  }
  return choice >= 1 && choice <= ChoosableItems(request.items) ? choice : 0;
}

}  // namespace

std::uint32_t AskMessage(const MessageBoxRequest& request) {
  FlushWindows();
  UnlockedSection unlocked;
  return CurrentBackend().ShowMessageBox(request);
}

std::int32_t PopupMenu(std::string_view text, Point at) {
  PopupMenuRequest request;
  request.text = std::string(text);
  request.items = ParsePopupMenu(text);
  return ShowPopupMenu(std::move(request), at);
}

std::int32_t PopupMenu(std::vector<PopupMenuItem> items, Point at) {
  PopupMenuRequest request;
  std::int32_t number = 0;
  for (PopupMenuItem& item : items) {
    item.number = item.kind == MenuItemKind::Item ? ++number : 0;
    if (!request.text.empty()) request.text += '|';
    request.text += item.text;
  }
  request.items = std::move(items);
  return ShowPopupMenu(std::move(request), at);
}

std::string FileDialog(FileDialogMode mode, std::string_view title, std::string_view initialPath,
                       std::string_view masks, std::uint32_t flags) {
  FileDialogRequest request;
  request.window = FlushWindows();
  request.mode = mode;
  request.title = std::string(title);
  request.initialPath = std::string(initialPath);
  request.masksText = std::string(masks);
  request.masks = ParseFileMasks(masks);
  request.flags = flags;
  UnlockedSection unlocked;
  return CurrentBackend().ShowFileDialog(request);
}

PreviewAnswer Preview(std::string_view title, std::vector<std::string> pages, std::int16_t zoom) {
  PreviewRequest request;
  request.zoom = zoom;
  request.window = FlushWindows();
  request.title = std::string(title);
  request.pages = std::move(pages);
  UnlockedSection unlocked;
  return CurrentBackend().ShowPreview(request);
}

bool Print(const PrintRequest& request) {
  FlushWindows();
  return CurrentBackend().Print(request);
}

void SetCursor(Cursor cursor) { CurrentBackend().SetCursor(cursor); }
void Beep(BeepKind kind) { CurrentBackend().Beep(kind); }
void PlaySound(const std::string& file) { CurrentBackend().PlaySound(file); }

bool AddTrayIcon(TrayIconRequest request) {
  if (request.window == kNoWindow) request.window = FlushWindows();
  return CurrentBackend().AddTrayIcon(request);
}

bool DeleteTrayIcon(std::uint32_t id) { return CurrentBackend().DeleteTrayIcon(id); }

MessageBoxService& BackendMessageBoxService() {
  static BackendMessageBoxes service;
  return service;
}

namespace {
// Maps the framework's cursor identifiers onto the backend's cursors and
// remembers the last one set, so a caller can put it back.
class BackendCursors : public CursorService {
 public:
  void SetCursor(CursorId cursor) override {
    current_.store(cursor);
    CurrentBackend().SetCursor(cursor == CursorBusy ? Cursor::Busy : Cursor::Normal);
  }
  CursorId GetCursor() const override { return current_.load(); }

 private:
  std::atomic<CursorId> current_{CursorDefault};
};
}  // namespace

CursorService& BackendCursorService() {
  static BackendCursors service;
  return service;
}

std::vector<FileMask> ParseFileMasks(std::string_view text) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const auto bar = text.find('|');
    parts.push_back(text.substr(0, bar));
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  std::vector<FileMask> masks;
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    std::string_view description = parts[i];
    std::string_view pattern = i + 1 < parts.size() ? parts[i + 1] : std::string_view{};
    if (description.empty() && pattern.empty()) continue;
    masks.push_back({std::string(description), pattern.empty() ? std::string("*.*") : std::string(pattern)});
  }
  return masks;
}

}  // namespace runtime::ui
