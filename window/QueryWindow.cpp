#include "window/QueryWindow.h"

#include <algorithm>
#include <vector>

#include "runtime/text/FixedText.h"
#include "runtime/ui/KeyCode.h"
#include "runtime/ui/RuntimeThread.h"
#include "runtime/ui/Window.h"
#include "window/QueryManager.h"

namespace marlinden {

namespace {

constexpr std::int32_t kButtonWidth = 40;  // OK and Cancel
constexpr std::int32_t kButtonHeight = 14;
constexpr std::int32_t kRowHeight = 10;
constexpr std::int32_t kOperatorWidth = 16;  // wide enough for ">=" and "<>"
constexpr std::int32_t kMaxEntryCharacters = 40;
constexpr std::size_t kValueWidth = 499;

// Four dialog units per character of the window's font.
std::int32_t TextWidth(std::string_view text) {
  std::int32_t characters = 0;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
  }
  return 4 * characters;
}

// An entry is as wide as its picture's characters (the first number in the
// picture), within reason.
std::int32_t EntryWidth(std::string_view picture) {
  const auto digit = picture.find_first_of("0123456789");
  std::int32_t characters = 20;
  if (digit != std::string_view::npos) {
    characters = 0;
    for (std::size_t i = digit; i < picture.size() && picture[i] >= '0' && picture[i] <= '9' && characters < 1000;
         ++i) {
      characters = characters * 10 + (picture[i] - '0');
    }
  }
  return 4 * std::clamp(characters, 4, kMaxEntryCharacters);
}

std::int32_t Entry(std::size_t i) { return static_cast<std::int32_t>(3 * i - 1); }
std::int32_t Operator(std::size_t i) { return static_cast<std::int32_t>(3 * i); }

}  // namespace

std::string QueryWindow::NextOperator(std::string_view current) {
  static const std::vector<std::string_view> kCycle = {"", "=", ">=", "<=", "<>", ""};
  const std::string_view clipped = runtime::Clip(current);
  for (std::size_t i = 0; i + 1 < kCycle.size(); ++i) {
    if (kCycle[i] == clipped) return std::string(kCycle[i + 1]);
  }
  return std::string(current);
}

std::size_t QueryWindow::Rows() const { return QUERY != nullptr && QUERY->FIELDS ? QUERY->FIELDS->Records() : 0; }

runtime::ui::WindowDescription QueryWindow::Describe() const {
  using runtime::ui::ControlDescription;
  using runtime::ui::ControlKind;
  runtime::ui::WindowDescription d;
  d.name = "QueryWindow";
  d.title = "Example values";
  d.font = {"MS Sans Serif", 8};
  std::int32_t a = 0;
  std::int32_t b = 0;
  for (std::size_t i = 1; i <= Rows(); ++i) {
    const QueryField& field = *QUERY->FIELDS->Get(i);
    a = std::max(a, TextWidth(field.TITLE + ":"));
    b = std::max(b, EntryWidth(field.PICTURE));
  }
  const auto rows = static_cast<std::int32_t>(Rows());
  const std::int32_t w = std::max(a + b + 34 + kOperatorWidth, 27 * kButtonWidth / 10);
  const std::int32_t h = 14 * rows + 38;
  d.rect = {20, 20, w, h};
  for (std::size_t i = 1; i <= Rows(); ++i) {
    const QueryField& field = *QUERY->FIELDS->Get(i);
    const std::int32_t y = 14 * static_cast<std::int32_t>(i) - 4;
    ControlDescription prompt;
    prompt.kind = ControlKind::Prompt;
    prompt.text = field.TITLE + ":";
    prompt.rect = {10, y, a, kRowHeight};
    ControlDescription entry;
    entry.kind = ControlKind::Entry;
    entry.picture = "@" + field.PICTURE;
    entry.rect = {a + 20, y, b, kRowHeight};
    entry.tip = kQueryEntryTip;
    // The stored example: its operator on the button, the rest in the entry.
    const std::size_t lead = std::min(field.MIDDLE.find_first_not_of("<>~="), field.MIDDLE.size());
    entry.text = field.MIDDLE.substr(lead);
    ControlDescription op;
    op.kind = ControlKind::Button;
    op.text = field.MIDDLE.substr(0, lead);
    if (op.text.empty() && !runtime::Clip(entry.text).empty()) op.text = "=";
    op.rect = {a + b + 24, y, kOperatorWidth, kRowHeight};
    op.tip = kQueryOperatorTip;
    d.controls.push_back(prompt);
    d.controls.push_back(entry);
    d.controls.push_back(op);
  }
  ControlDescription ok;
  ok.kind = ControlKind::Button;
  ok.text = "OK";
  ok.fixedNumber = kQueryOk;
  ok.rect = {w / 8, h - 20, kButtonWidth, kButtonHeight};
  ControlDescription cancel = ok;
  cancel.text = "Cancel";
  cancel.fixedNumber = kQueryCancel;
  cancel.rect.x = 7 * w / 8 - kButtonWidth;
  d.controls.push_back(ok);
  d.controls.push_back(cancel);
  return d;
}

Severity QueryWindow::Init() {
  // Each query runs the window afresh.
  DEAD = 0;
  INITED = 0;
  RESPONSE = ResponseNone;
  const Severity base = WindowManager::Init();
  if (base != SeverityOk) return base;
  FIRSTFIELD = 2;
  OKCONTROL = kQueryOk;
  AddItem(kQueryCancel, ResponseCancelled);
  OpenWindow(Describe());
  OPENED = 1;
  PressOnEscape(kQueryCancel);
  SetAlerts();
  return SeverityOk;
}

Severity QueryWindow::Kill() {
  const Severity base = WindowManager::Kill();
  if (base != SeverityOk) return base;
  CloseWindow();
  return SeverityOk;
}

void QueryWindow::MatchOperator(std::size_t i) {
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return;
  if (runtime::Clip(window->Text(Entry(i))).empty()) {
    window->SetText(Operator(i), "");
  } else if (runtime::Clip(window->Text(Operator(i))).empty()) {
    window->SetText(Operator(i), "=");
  }
}

Severity QueryWindow::TakeAccepted() {
  const std::int32_t control = ThisEvent().control;
  runtime::ui::Window* window = GetWindow();
  const auto rows = static_cast<std::int32_t>(Rows());
  if (window != nullptr && control >= 1 && control <= 3 * rows) {
    const auto i = static_cast<std::size_t>((control + 2) / 3);
    if (control == Operator(i)) {
      window->SetText(control, NextOperator(window->Text(control)));
    } else if (control == Entry(i)) {
      MatchOperator(i);
    }
  }
  return WindowManager::TakeAccepted();
}

void QueryWindow::SetAlerts() {
  WindowManager::SetAlerts();
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return;
  std::vector<std::int32_t> controls = {kQueryOk, kQueryCancel};
  for (std::size_t i = 1; i <= Rows(); ++i) controls.insert(controls.end(), {Entry(i), Operator(i)});
  for (const std::int32_t number : controls) {
    if (runtime::ui::Control* control = window->Find(number)) {
      control->Alert(kQueryEnterAlertSlot, runtime::ui::KeyCode::Enter);
    }
  }
}

Severity QueryWindow::TakeFieldEvent() {
  if (ThisEvent().code == runtime::ui::EventCode::AlertKey) {
    const runtime::ui::KeyCode key = runtime::ui::LastKeyCode();
    if (key == runtime::ui::KeyCode::Enter) {
      // The entry being typed in has not been accepted yet.
      for (std::size_t i = 1; i <= Rows(); ++i) MatchOperator(i);
      if (runtime::ui::Window* window = GetWindow()) window->Post(runtime::ui::EventCode::Accepted, kQueryOk);
      return SeverityOk;
    }
  }
  return WindowManager::TakeFieldEvent();
}

Severity QueryWindow::TakeCompleted() {
  SetResponse(ResponseCompleted);
  runtime::ui::Window* window = GetWindow();
  if (window == nullptr) return SeverityOk;
  for (std::size_t i = 1; i <= Rows(); ++i) {
    QueryField& field = *QUERY->FIELDS->Get(i);
    const std::string op(runtime::Clip(window->Text(Operator(i))));
    const std::string value(runtime::Clip(window->Text(Entry(i))));
    field.MIDDLE =
        op.empty() ? std::string() : std::string(runtime::CutToWidth(QueryManager::Combine(op, value), kValueWidth));
  }
  return WindowManager::TakeCompleted();
}

}  // namespace marlinden
