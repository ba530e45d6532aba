#include "runtime/headless/HeadlessBackend.h"

#include <algorithm>
#include <utility>

namespace runtime::ui {

namespace {

ControlView* FindControl(WindowView& window, std::int32_t number) {
  for (ControlView& control : window.controls) {
    if (control.properties.number == number) return &control;
  }
  return nullptr;
}

}  // namespace

HeadlessBackend::HeadlessBackend() {
  boxes_.OnUnscripted([this](const MessageBoxRequest& request) { Unscripted("message box", request.caption); });
}

void HeadlessBackend::OnUnscripted(UnscriptedHandler handler) {
  std::lock_guard lock(mutex_);
  onUnscripted_ = std::move(handler);
}

void HeadlessBackend::Unscripted(std::string_view kind, std::string_view what) {
  UnscriptedHandler handler;
  {
    std::lock_guard lock(mutex_);
    handler = onUnscripted_;
  }
  if (handler) handler(kind, what);
}

void HeadlessBackend::ScriptPopupChoice(std::int32_t choice) {
  std::lock_guard lock(mutex_);
  popupScript_.push_back(choice);
}

void HeadlessBackend::ScriptFileChoice(std::string path) {
  std::lock_guard lock(mutex_);
  fileScript_.push_back(std::move(path));
}

void HeadlessBackend::ScriptPreviewAnswer(PreviewAnswer answer) {
  std::lock_guard lock(mutex_);
  previewScript_.push_back(answer);
}

void HeadlessBackend::SetTrayIconResult(bool succeeds) {
  std::lock_guard lock(mutex_);
  trayResult_ = succeeds;
}

void HeadlessBackend::SetScreens(std::vector<Rect> availablePixels) {
  std::lock_guard lock(mutex_);
  screens_ = std::move(availablePixels);
}

std::vector<Rect> HeadlessBackend::ClientAreas(const WindowView& window) const {
  (void)window;  // one font and one frame for every window
  // Pixel edges to dialog units, rounded inwards so the frame stays inside.
  auto inwardStart = [](std::int64_t pixels, std::int64_t perUnits, std::int64_t units) {
    return static_cast<std::int32_t>((pixels * units + perUnits - 1) / perUnits);
  };
  auto inwardEnd = [](std::int64_t pixels, std::int64_t perUnits, std::int64_t units) {
    return static_cast<std::int32_t>(pixels * units / perUnits);
  };
  std::lock_guard lock(mutex_);
  std::vector<Rect> areas;
  for (const Rect& screen : screens_) {
    const std::int32_t left = inwardStart(screen.x + kFrameBorder, kCharWidth, 4);
    const std::int32_t top = inwardStart(screen.y + kTitleBar, kCharHeight, 8);
    const std::int32_t right = inwardEnd(screen.x + screen.width - kFrameBorder, kCharWidth, 4);
    const std::int32_t bottom = inwardEnd(screen.y + screen.height - kFrameBorder, kCharHeight, 8);
    areas.push_back({left, top, std::max(right - left, 0), std::max(bottom - top, 0)});
  }
  return areas;
}

void HeadlessBackend::SetUserColumnWidths(WindowId window, std::int32_t list, std::vector<std::int32_t> widths) {
  std::lock_guard lock(mutex_);
  userColumnWidths_[{window, list}] = std::move(widths);
}

std::vector<std::int32_t> HeadlessBackend::ListColumnWidths(const WindowView& window, std::int32_t list) const {
  std::lock_guard lock(mutex_);
  const auto found = userColumnWidths_.find({window.id, list});
  return found == userColumnWidths_.end() ? std::vector<std::int32_t>{} : found->second;
}

#define MARLINDEN_RECORDED(Type, Name, member)      \
  std::vector<Type> HeadlessBackend::Name() const { \
    std::lock_guard lock(mutex_);                   \
    return member;                                  \
  }
MARLINDEN_RECORDED(PopupMenuRequest, PopupRequests, popups_)
MARLINDEN_RECORDED(FileDialogRequest, FileDialogRequests, fileDialogs_)
MARLINDEN_RECORDED(PreviewRequest, PreviewRequests, previews_)
MARLINDEN_RECORDED(PrintRequest, PrintRequests, prints_)
MARLINDEN_RECORDED(TrayIconRequest, TrayIconsAdded, traysAdded_)
MARLINDEN_RECORDED(std::uint32_t, TrayIconsDeleted, traysDeleted_)
MARLINDEN_RECORDED(Cursor, Cursors, cursors_)
MARLINDEN_RECORDED(BeepKind, Beeps, beeps_)
MARLINDEN_RECORDED(std::string, Sounds, sounds_)
#undef MARLINDEN_RECORDED

std::size_t HeadlessBackend::Unanswered() const {
  std::lock_guard lock(mutex_);
  return boxes_.Unanswered() + popupScript_.size() + fileScript_.size() + previewScript_.size();
}

std::optional<WindowView> HeadlessBackend::Shown(WindowId window) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return std::nullopt;
  return it->second;
}

std::optional<ControlView> HeadlessBackend::ShownControl(WindowId window, std::int32_t control) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return std::nullopt;
  for (const ControlView& view : it->second.controls) {
    if (view.properties.number == control) return view;
  }
  return std::nullopt;
}

std::vector<WindowId> HeadlessBackend::ShownWindows() const {
  std::lock_guard lock(mutex_);
  std::vector<WindowId> ids;
  for (const auto& [id, view] : windows_) ids.push_back(id);
  return ids;
}

std::int32_t HeadlessBackend::WindowsCreated() const {
  std::lock_guard lock(mutex_);
  return windowsCreated_;
}

std::int32_t HeadlessBackend::ControlUpdates() const {
  std::lock_guard lock(mutex_);
  return controlUpdates_;
}

void HeadlessBackend::CreateWindow(const WindowView& window) {
  std::lock_guard lock(mutex_);
  windows_[window.id] = window;
  ++windowsCreated_;
}

void HeadlessBackend::UpdateWindow(const WindowView& window) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window.id);
  if (it == windows_.end()) return;
  std::vector<ControlView> controls = std::move(it->second.controls);
  it->second = window;
  it->second.controls = std::move(controls);
}

void HeadlessBackend::DestroyWindow(WindowId window) {
  std::lock_guard lock(mutex_);
  windows_.erase(window);
  std::erase_if(userColumnWidths_, [window](const auto& entry) { return entry.first.first == window; });
}

void HeadlessBackend::CreateControl(WindowId window, const ControlView& control) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  auto& controls = it->second.controls;
  auto at = std::find_if(controls.begin(), controls.end(),
                         [&](const ControlView& c) { return c.properties.number > control.properties.number; });
  controls.insert(at, control);
}

void HeadlessBackend::UpdateControl(WindowId window, const ControlView& control) {
  std::lock_guard lock(mutex_);
  ++controlUpdates_;
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  ControlView* shown = FindControl(it->second, control.properties.number);
  if (shown == nullptr) return;
  // Columns given other widths show those, as a real list's would.
  const auto widths = [](const ControlView& view) {
    std::vector<std::int32_t> w;
    for (const ListColumn& column : view.properties.columns) w.push_back(column.width);
    return w;
  };
  if (widths(*shown) != widths(control)) userColumnWidths_.erase({window, control.properties.number});
  *shown = control;
}

void HeadlessBackend::DestroyControl(WindowId window, std::int32_t control) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  std::erase_if(it->second.controls, [&](const ControlView& c) { return c.properties.number == control; });
}

void HeadlessBackend::SelectControl(WindowId window, std::int32_t control) {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(window);
  if (it != windows_.end()) it->second.focus = control;
}

std::uint32_t HeadlessBackend::ShowMessageBox(const MessageBoxRequest& request) { return boxes_.Show(request); }

std::int32_t HeadlessBackend::ShowPopupMenu(const PopupMenuRequest& request) {
  std::optional<std::int32_t> answer;
  {
    std::lock_guard lock(mutex_);
    popups_.push_back(request);
    if (!popupScript_.empty()) {
      answer = popupScript_.front();
      popupScript_.pop_front();
    }
  }
  if (!answer) Unscripted("popup menu", request.text);
  return answer.value_or(0);
}

std::string HeadlessBackend::ShowFileDialog(const FileDialogRequest& request) {
  std::optional<std::string> answer;
  {
    std::lock_guard lock(mutex_);
    fileDialogs_.push_back(request);
    if (!fileScript_.empty()) {
      answer = std::move(fileScript_.front());
      fileScript_.pop_front();
    }
  }
  if (!answer) Unscripted("file dialog", request.title);
  return answer.value_or(std::string());
}

PreviewAnswer HeadlessBackend::ShowPreview(const PreviewRequest& request) {
  std::optional<PreviewAnswer> answer;
  {
    std::lock_guard lock(mutex_);
    previews_.push_back(request);
    if (!previewScript_.empty()) {
      answer = previewScript_.front();
      previewScript_.pop_front();
    }
  }
  if (!answer) Unscripted("preview", request.title);
  return answer.value_or(PreviewAnswer::Cancel);
}

bool HeadlessBackend::Print(const PrintRequest& request) {
  std::lock_guard lock(mutex_);
  prints_.push_back(request);
  return true;
}

bool HeadlessBackend::AddTrayIcon(const TrayIconRequest& request) {
  std::lock_guard lock(mutex_);
  traysAdded_.push_back(request);
  return trayResult_;
}

bool HeadlessBackend::DeleteTrayIcon(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  traysDeleted_.push_back(id);
  return trayResult_;
}

void HeadlessBackend::SetCursor(Cursor cursor) {
  std::lock_guard lock(mutex_);
  cursors_.push_back(cursor);
}

void HeadlessBackend::Beep(BeepKind kind) {
  std::lock_guard lock(mutex_);
  beeps_.push_back(kind);
}

void HeadlessBackend::PlaySound(const std::string& file) {
  std::lock_guard lock(mutex_);
  sounds_.push_back(file);
}

}  // namespace runtime::ui
