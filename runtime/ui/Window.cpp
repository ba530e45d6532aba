#include "runtime/ui/Window.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeLock.h"
#include "runtime/ui/Backend.h"
#include "runtime/ui/Placement.h"
#include "runtime/ui/ThreadContext.h"

namespace runtime::ui {

namespace {

std::int64_t NowMicros() { return runtime::CurrentTimeSource().SteadyMicros(); }

// Applies a change reported by the backend: the backend shows it already, so
// the control is not marked for pushing unless it was marked before.
template <typename Change>
void ApplyQuietly(Control& control, Change change) {
  const bool wasDirty = control.Dirty();
  change(control);
  if (!wasDirty) control.ClearDirty();
}

// A list's row and column numbers as the backend saw them; the rows may have
// been reloaded since, so they are held to the rows and columns there are
// (a list without a source takes the rows as reported).
void ApplyListCell(Control& list, const EventData& d) {
  const bool known = list.Source() != nullptr;
  const std::int32_t rows = list.RowCount();
  auto row = [known, rows](std::int32_t reported) {
    if (!known) return reported;
    return rows == 0 ? 0 : std::clamp(reported, 1, rows);
  };
  if (d.selectedRow) list.SetSelectedRow(row(*d.selectedRow));
  if (d.row || d.column) {
    const auto columns = static_cast<std::int32_t>(std::max<std::size_t>(list.Properties().columns.size(), 1));
    const std::int32_t clickedRow = d.row ? row(*d.row) : list.MouseRow();
    const std::int32_t clickedColumn = d.column ? std::clamp(*d.column, 1, columns) : list.MouseColumn();
    list.SetMouseCell(clickedRow, clickedColumn);
  }
}

// The window a new window of context opens over: the newest of its own
// thread, else (a procedure started on a thread of its own) the main
// thread's first, the main window; nullptr when none is open.
const Window* OpenerOf(const ThreadContext& context) {
  if (!context.windows.empty()) return context.windows.back();
  if (context.number == kMainThread) return nullptr;
  const std::shared_ptr<ThreadContext> main = Registry::Instance().Thread(kMainThread);
  return main != nullptr && !main->windows.empty() ? main->windows.front() : nullptr;
}

}  // namespace

std::unique_ptr<Window> Window::Open(const WindowDescription& description) {
  ThreadContext* context = CurrentContext();
  assert(context != nullptr && RuntimeLock::HeldByThisThread());
  std::unique_ptr<Window> window(new Window());
  window->name_ = description.name;
  window->owner_ = Registry::Instance().Thread(context->number);

  WindowView& v = window->view_;
  v.thread = context->number;
  v.name = description.name;
  v.title = description.title;
  v.icon = description.icon;
  v.rect = Clamped(description.rect);
  v.frame = description.frame;
  v.minWidth = ClampExtent(description.minWidth);
  v.minHeight = ClampExtent(description.minHeight);
  v.maxWidth = ClampExtent(description.maxWidth);
  v.maxHeight = ClampExtent(description.maxHeight);
  v.state = description.state;
  if (description.state != WindowState::Iconised) window->stateBeforeIconised_ = description.state;
  v.hidden = description.hidden;
  v.font = description.font;
  // A window of a given size opens centred over the window that opened it,
  // the first one centred on the primary screen, and never larger than the
  // screen; a restored place is kept on the screens by SetPosition.
  const std::vector<Rect> areas = CurrentBackend().ClientAreas(v);
  if (!areas.empty() && v.rect.width > 0 && v.rect.height > 0) {
    const Window* opener = OpenerOf(*context);
    v.rect = KeptOnScreens(CentredOver(v.rect, opener != nullptr ? opener->view_.rect : areas.front()), areas);
  }

  // Numbers first, so parents given by index resolve to numbers. Fixed
  // numbers are reserved before the others count up from 1 around them; a
  // repeated fixed number is numbered like any other control.
  std::vector<std::int32_t> numbers(description.controls.size(), 0);
  std::vector<std::int32_t> taken;
  for (std::size_t i = 0; i < description.controls.size(); ++i) {
    const std::int32_t fixed = description.controls[i].fixedNumber;
    if (fixed > 0 && std::find(taken.begin(), taken.end(), fixed) == taken.end()) {
      numbers[i] = fixed;
      taken.push_back(fixed);
    }
  }
  std::int32_t next = 1;
  for (std::int32_t& number : numbers) {
    if (number != 0) continue;
    while (std::find(taken.begin(), taken.end(), next) != taken.end()) ++next;
    number = next++;
  }
  for (std::size_t i = 0; i < description.controls.size(); ++i) {
    const ControlDescription& d = description.controls[i];
    ControlProperties p;
    p.number = numbers[i];
    p.kind = d.kind;
    const bool parentKnown = d.parentIndex >= 0 && static_cast<std::size_t>(d.parentIndex) < numbers.size() &&
                             static_cast<std::size_t>(d.parentIndex) != i;
    p.parent = parentKnown ? numbers[static_cast<std::size_t>(d.parentIndex)] : 0;
    p.text = d.text;
    p.value = d.value;
    p.enabled = !d.disabled;
    p.hidden = d.hidden;
    p.required = d.required;
    p.transparent = d.transparent;
    p.noResize = d.noResize;
    p.reportsEdits = d.reportsEdits;
    p.rect = d.rect;
    p.picture = d.picture;
    p.icon = d.icon;
    p.tip = d.tip;
    p.font = d.font;
    p.fontSize = d.fontSize;
    p.cursor = d.cursor;
    p.scrollBar = d.scrollBar;
    p.paging = d.paging;
    p.columns = d.columns;
    window->controls_.emplace(p.number, Control(std::move(p)));
  }
  window->id_ = Registry::Instance().AddWindow(context->number, window.get());
  v.id = window->id_;
  window->open_ = true;
  context->windows.push_back(window.get());
  HoldOwners(*context);
  window->SetTimer(description.timerHundredths);

  CurrentBackend().CreateWindow(window->ViewOfWindow(true));
  for (auto& [number, control] : window->controls_) control.ClearDirty();
  window->windowDirty_ = false;
  window->Post(EventCode::OpenWindow);
  return window;
}

Window::~Window() { Close(); }

std::int32_t Window::Thread() const { return owner_->number; }

void Window::Close() {
  if (!open_) return;
  // What the user made of the lists' columns outlives what the backend shows.
  for (const std::int32_t number : ControlNumbers()) (void)TakeUsersColumnWidths(number);
  open_ = false;
  CurrentBackend().DestroyWindow(id_);
  Registry::Instance().RemoveWindow(id_);
  std::erase(owner_->windows, this);
  if (owner_->target == this) owner_->target = nullptr;
  owner_->queue.DropFor(id_);
  HoldOwners(*owner_);
  owner_->queue.Poke();  // a loop of another thread notices at once
}

void Window::HoldOwners(ThreadContext& thread) {
  for (Window* window : thread.windows) {
    const bool held = window != thread.windows.back();
    // What the user did to it before it was held is not carried out later.
    if (held) thread.queue.DropInputFor(window->id_);
    if (window->view_.held == held) continue;
    window->view_.held = held;
    window->windowDirty_ = true;
    window->Flush();
  }
}

void Window::SetTitle(std::string title) {
  view_.title = std::move(title);
  windowDirty_ = true;
}

void Window::SetIcon(std::string icon) {
  view_.icon = std::move(icon);
  windowDirty_ = true;
}

void Window::SetPosition(Rect rect) {
  view_.rect = KeptOnScreens(Clamped(rect), CurrentBackend().ClientAreas(ViewOfWindow(false)));
  windowDirty_ = true;
}

bool Window::TakeUsersColumnWidths(std::int32_t list) {
  Control* control = Find(list);
  if (control == nullptr || control->Kind() != ControlKind::List) return false;
  const std::vector<std::int32_t> widths = CurrentBackend().ListColumnWidths(ViewOfWindow(false), list);
  std::vector<ListColumn> columns = control->Properties().columns;
  if (widths.empty() || widths.size() != columns.size()) return false;
  for (std::size_t i = 0; i < columns.size(); ++i) columns[i].width = widths[i];
  ApplyQuietly(*control, [&](Control& c) { c.SetColumns(std::move(columns)); });
  return true;
}

void Window::SetState(WindowState state) {
  view_.state = state;
  if (state != WindowState::Iconised) stateBeforeIconised_ = state;
  windowDirty_ = true;
}

void Window::BringToFront() {
  ++view_.raised;
  windowDirty_ = true;
}

void Window::SetFrame(Frame frame) {
  view_.frame = frame;
  windowDirty_ = true;
}

void Window::SetMinimumSize(std::int32_t width, std::int32_t height) {
  view_.minWidth = ClampExtent(width);
  view_.minHeight = ClampExtent(height);
  windowDirty_ = true;
}

void Window::SetMaximumSize(std::int32_t width, std::int32_t height) {
  view_.maxWidth = ClampExtent(width);
  view_.maxHeight = ClampExtent(height);
  windowDirty_ = true;
}

void Window::Hide() {
  view_.hidden = true;
  windowDirty_ = true;
}

void Window::Unhide() {
  view_.hidden = false;
  windowDirty_ = true;
}

void Window::SetTimer(std::int32_t hundredths) {
  timerHundredths_ = std::max(hundredths, 0);
  timerDueMicros_ = NowMicros() + static_cast<std::int64_t>(timerHundredths_) * 10'000;
}

runtime::Value Window::Get(Property property) const {
  using runtime::Value;
  switch (property) {
    case Property::Text:
      return Value::Text(view_.title);
    case Property::Icon:
      return Value::Text(view_.icon);
    case Property::X:
      return Value::Integer(view_.rect.x);
    case Property::Y:
      return Value::Integer(view_.rect.y);
    case Property::Width:
      return Value::Integer(view_.rect.width);
    case Property::Height:
      return Value::Integer(view_.rect.height);
    case Property::Hidden:
      return Value::Integer(view_.hidden ? 1 : 0);
    case Property::Maximised:
      return Value::Integer(view_.state == WindowState::Maximised ? 1 : 0);
    case Property::Iconised:
      return Value::Integer(view_.state == WindowState::Iconised ? 1 : 0);
    case Property::Timer:
      return Value::Integer(timerHundredths_);
    default:
      return Value::Text("");
  }
}

bool Window::Set(Property property, const runtime::Value& value) {
  if (property == Property::Text) {
    SetTitle(value.AsText());
    return true;
  }
  if (property == Property::Icon) {
    SetIcon(value.AsText());
    return true;
  }
  const std::optional<std::int64_t> number = NumberOf(value);
  if (!number) return false;
  Rect r = view_.rect;
  switch (property) {
    case Property::X:
      r.x = ClampCoordinate(*number);
      break;
    case Property::Y:
      r.y = ClampCoordinate(*number);
      break;
    case Property::Width:
      r.width = ClampExtent(*number);
      break;
    case Property::Height:
      r.height = ClampExtent(*number);
      break;
    case Property::Hidden:
      *number != 0 ? Hide() : Unhide();
      return true;
    case Property::Maximised:
      SetState(*number != 0 ? WindowState::Maximised : WindowState::Normal);
      return true;
    case Property::Iconised:
      SetState(*number != 0 ? WindowState::Iconised : WindowState::Normal);
      return true;
    case Property::Timer:
      SetTimer(ClampExtent(*number));
      return true;
    default:
      return false;
  }
  SetPosition(r);
  return true;
}

Control* Window::Find(std::int32_t number) {
  auto it = controls_.find(number);
  return it == controls_.end() ? nullptr : &it->second;
}

const Control* Window::Find(std::int32_t number) const {
  auto it = controls_.find(number);
  return it == controls_.end() ? nullptr : &it->second;
}

std::vector<std::int32_t> Window::ControlNumbers() const {
  std::vector<std::int32_t> numbers;
  for (const auto& [number, control] : controls_) numbers.push_back(number);
  return numbers;
}

std::int32_t Window::CreateControl(ControlKind kind, std::int32_t parent) {
  std::int32_t number = 1;
  for (const auto& [n, control] : controls_) {
    if (n < kFirstToolbarButton) number = std::max(number, n + 1);
  }
  if (number >= kFirstToolbarButton) {
    number = kLastToolbarButton + 1;
    while (controls_.count(number) != 0) ++number;
  }
  ControlProperties p;
  p.number = number;
  p.kind = kind;
  p.parent = controls_.count(parent) != 0 ? parent : 0;
  p.hidden = true;  // shown once placed and filled (Unhide)
  Control& control = controls_.emplace(number, Control(std::move(p))).first->second;
  if (open_) CurrentBackend().CreateControl(id_, ViewOf(control));
  control.ClearDirty();
  return number;
}

bool Window::DestroyControl(std::int32_t number) {
  if (controls_.erase(number) == 0) return false;
  if (view_.focus == number) view_.focus = 0;
  if (open_) CurrentBackend().DestroyControl(id_, number);
  return true;
}

void Window::SetText(std::int32_t number, std::string text) {
  if (Control* c = Find(number)) c->SetText(std::move(text));
}

std::string Window::Text(std::int32_t number) const {
  const Control* c = Find(number);
  return c != nullptr ? c->Text() : std::string();
}

void Window::Enable(std::int32_t number) {
  if (Control* c = Find(number)) c->Enable();
}
void Window::Disable(std::int32_t number) {
  if (Control* c = Find(number)) c->Disable();
}
void Window::Hide(std::int32_t number) {
  if (Control* c = Find(number)) c->Hide();
}
void Window::Unhide(std::int32_t number) {
  if (Control* c = Find(number)) c->Unhide();
}

void Window::Select(std::int32_t number) {
  if (Find(number) == nullptr) return;
  view_.focus = number;
  if (open_) {
    Flush();
    CurrentBackend().SelectControl(id_, number);
  }
}

void Window::Display(std::int32_t number) {
  if (number == 0) {
    windowDirty_ = true;
    for (auto& [n, control] : controls_) control.MarkDirty();
  } else if (Control* c = Find(number)) {
    c->MarkDirty();
  }
  Flush();
}

void Window::Flush() {
  if (!open_) return;
  Backend& backend = CurrentBackend();
  if (windowDirty_) {
    windowDirty_ = false;
    backend.UpdateWindow(ViewOfWindow(false));
  }
  for (auto& [number, control] : controls_) {
    if (!control.Dirty()) continue;
    control.ClearDirty();
    backend.UpdateControl(id_, ViewOf(control));
  }
}

ControlView Window::ViewOf(const Control& control) const {
  ControlView view;
  view.properties = control.Properties();
  if (control.Kind() == ControlKind::List) {
    view.visibleItems = control.VisibleItems();
    if (const ListSource* source = control.Source()) {
      const std::size_t rows = source->RowCount();
      view.rows.reserve(rows);
      for (std::size_t row = 1; row <= rows; ++row) view.rows.push_back(source->Row(row));
    }
  }
  return view;
}

WindowView Window::ViewOfWindow(bool withControls) const {
  WindowView view = view_;
  if (withControls) {
    for (const auto& [number, control] : controls_) view.controls.push_back(ViewOf(control));
  }
  return view;
}

void Window::Post(EventCode code, std::int32_t control, EventData data) {
  if (!open_) return;
  owner_->queue.Post(Event{code, control, id_, std::move(data)});
}

void Window::AcceptAll() { acceptAll_ = PassState::Pending; }

std::optional<Event> Window::TakeAcceptAllResult() {
  if (acceptAll_ != PassState::Pending) return std::nullopt;
  acceptAll_ = PassState::Delivered;
  for (const auto& [number, control] : controls_) {
    if (!control.Valid()) return Event{EventCode::Rejected, number, id_, {}};
  }
  return Event{EventCode::Completed, 0, id_, {}};
}

void Window::FinishAcceptAll(const Event& event) {
  if (acceptAll_ == PassState::Delivered && (event.code == EventCode::Completed || event.code == EventCode::Rejected)) {
    acceptAll_ = PassState::Idle;
  }
}

std::optional<Event> Window::TakeTimerIfDue() {
  if (timerHundredths_ == 0) return std::nullopt;
  const std::int64_t now = NowMicros();
  if (now < timerDueMicros_) return std::nullopt;
  timerDueMicros_ = now + static_cast<std::int64_t>(timerHundredths_) * 10'000;
  return Event{EventCode::Timer, 0, id_, {}};
}

std::optional<std::int64_t> Window::MicrosUntilTimer() const {
  if (timerHundredths_ == 0) return std::nullopt;
  return std::max<std::int64_t>(timerDueMicros_ - NowMicros(), 0);
}

void Window::Apply(const Event& event) {
  const EventData& d = event.data;
  if (d.key != KeyCode::None) {
    owner_->lastKey = d.key;
    owner_->lastKeyText = d.keyText;
  }
  if (event.control != 0) {
    Control* control = Find(event.control);
    if (control != nullptr) {
      // An entry takes no more than its field holds; what it had to cut is
      // shown back, so the user sees what is kept.
      const bool cut = d.text && control->TakeableText(*d.text).size() != d.text->size();
      ApplyQuietly(*control, [&](Control& c) {
        if (d.text) c.SetText(std::string(c.TakeableText(*d.text)));
        if (c.Kind() == ControlKind::List) {
          ApplyListCell(c, d);
        } else if (d.selectedRow) {
          c.SetSelectedRow(*d.selectedRow);
        }
        if (d.value) c.SetValue(*d.value);
        if (d.thumb) c.SetThumb(*d.thumb);
      });
      if (cut) control->MarkDirty();
      if (event.code == EventCode::Selected || event.code == EventCode::Rejected) view_.focus = event.control;
    }
    return;
  }
  if (d.windowRect) view_.rect = Clamped(*d.windowRect);
  switch (event.code) {
    case EventCode::Maximised:
      view_.state = stateBeforeIconised_ = WindowState::Maximised;
      break;
    case EventCode::Iconised:
      view_.state = WindowState::Iconised;
      break;
    case EventCode::Restored:
      view_.state = stateBeforeIconised_ = WindowState::Normal;
      break;
    default:
      break;
  }
}

}  // namespace runtime::ui
