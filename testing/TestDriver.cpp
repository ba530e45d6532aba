#include "testing/TestDriver.h"

#include <utility>

#include "runtime/ui/Backend.h"
#include "runtime/ui/ListSource.h"

namespace runtime::ui {

void TestDriver::TimedOut(std::string_view what) {
  if (onTimeout_) onTimeout_(what);
}

WindowId TestDriver::WaitForWindow(std::int32_t thread) {
  const auto deadline = std::chrono::steady_clock::now() + watchdog_;
  Registry& registry = Registry::Instance();
  if (!registry.WaitUntil(deadline, [&](Registry& r) { return r.NewestWindowLocked(thread) != kNoWindow; })) {
    TimedOut("a window to open on thread " + std::to_string(thread));
    return kNoWindow;
  }
  if (!WaitIdle(thread)) return kNoWindow;
  return registry.NewestWindowOf(thread);
}

bool TestDriver::WaitIdle(std::int32_t thread) {
  auto context = Registry::Instance().Thread(thread);
  if (context == nullptr || !context->queue.WaitIdle(watchdog_)) {
    TimedOut("thread " + std::to_string(thread) + " to become idle");
    return false;
  }
  return true;
}

bool TestDriver::WaitForThreadEnd(std::int32_t thread) {
  const auto deadline = std::chrono::steady_clock::now() + watchdog_;
  if (!Registry::Instance().WaitUntil(deadline, [&](Registry& r) { return !r.HasThreadLocked(thread); })) {
    TimedOut("thread " + std::to_string(thread) + " to end");
    return false;
  }
  return true;
}

bool TestDriver::WaitForClose(WindowId window) {
  const auto deadline = std::chrono::steady_clock::now() + watchdog_;
  if (!Registry::Instance().WaitUntil(deadline, [&](Registry& r) { return !r.HasWindowLocked(window); })) {
    TimedOut("window " + std::to_string(window) + " to close");
    return false;
  }
  return true;
}

void TestDriver::Post(WindowId window, EventCode code, std::int32_t control, EventData data) {
  PostInput(Event{code, control, window, std::move(data)});
}

void TestDriver::Type(WindowId window, std::int32_t control, std::string text) {
  EventData data;
  data.text = std::move(text);
  Post(window, EventCode::Accepted, control, std::move(data));
}

void TestDriver::Choose(WindowId window, std::int32_t control, std::int32_t row) {
  EventData data;
  data.selectedRow = row;
  Post(window, EventCode::NewSelection, control, std::move(data));
}

void TestDriver::PressKey(WindowId window, std::int32_t control, KeyCode key) {
  EventData data;
  data.key = key;
  Post(window, EventCode::AlertKey, control, std::move(data));
}

void TestDriver::TypeOnList(WindowId window, std::int32_t list, std::string character) {
  EventData data;
  data.key = KeyCode::Character;
  if (character.size() == 1) {
    const char c = character[0];
    if (c >= 'a' && c <= 'z') data.key = Letter(static_cast<char>(c - 'a' + 'A'));
    if (c >= 'A' && c <= 'Z') data.key = Letter(c) | KeyCode::Shift;
    if (c >= '0' && c <= '9') data.key = Digit(c - '0');
    if (c == ' ') data.key = KeyCode::Space;
  }
  data.keyText = std::move(character);
  Post(window, EventCode::AlertKey, list, std::move(data));
}

void TestDriver::Click(WindowId window, std::int32_t control) { Post(window, EventCode::Accepted, control); }

bool TestDriver::WithWindow(WindowId window, const std::function<void(Window&)>& f) {
  LockedSection locked;
  Window* found = Registry::Instance().Find(window);
  if (found == nullptr) return false;
  f(*found);
  return true;
}

std::string TestDriver::Text(WindowId window, std::int32_t control) {
  std::string text;
  WithWindow(window, [&](Window& w) { text = w.Text(control); });
  return text;
}

std::vector<std::string> TestDriver::ColumnTexts(WindowId window, std::int32_t list, std::size_t column) {
  std::vector<std::string> cells;
  WithWindow(window, [&](Window& w) {
    const Control* control = w.Find(list);
    const ListSource* source = control != nullptr ? control->Source() : nullptr;
    for (std::size_t row = 1; source != nullptr && row <= source->RowCount(); ++row) {
      cells.push_back(source->Row(row)[column].text);
    }
  });
  return cells;
}

ControlProperties TestDriver::Properties(WindowId window, std::int32_t control) {
  ControlProperties properties;
  WithWindow(window, [&](Window& w) {
    if (const Control* c = w.Find(control)) properties = c->Properties();
  });
  return properties;
}

void TestDriver::SetText(WindowId window, std::int32_t control, std::string text) {
  WithWindow(window, [&](Window& w) {
    w.SetText(control, std::move(text));
    w.Flush();
  });
}

void TestDriver::AdvanceClock(runtime::TestClock& clock, std::int64_t hundredths) {
  {
    LockedSection locked;  // no loop is between reading the clock and waiting
    clock.AdvanceHundredths(hundredths);
  }
  for (const auto& context : Registry::Instance().Threads()) context->queue.Poke();
}

}  // namespace runtime::ui
