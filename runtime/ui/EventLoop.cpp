#include "runtime/ui/EventLoop.h"

#include <cassert>
#include <chrono>

#include "runtime/system/RuntimeLock.h"
#include "runtime/ui/ThreadContext.h"
#include "runtime/ui/Window.h"

namespace runtime::ui {

namespace {

// Pops the loop's current-event entry however the loop ends.
class CurrentEventEntry {
 public:
  explicit CurrentEventEntry(ThreadContext& context) : context_(context) { context_.events.push_back(nullptr); }
  ~CurrentEventEntry() { context_.events.pop_back(); }
  void Set(const Event* event) { context_.events.back() = event; }

 private:
  ThreadContext& context_;
};

// The next event for window: an accept-all result first, then the queue,
// then a due timer. Waits (lock released) while there is none.
std::optional<Event> NextEvent(Window& window, ThreadContext& context) {
  if (auto result = window.TakeAcceptAllResult()) return result;
  window.Flush();
  std::uint64_t seen = 0;
  if (auto event = context.queue.TryTake(window.Id(), seen)) return event;
  if (auto timer = window.TakeTimerIfDue()) return timer;
  std::optional<EventQueue::Clock::time_point> until;
  if (auto micros = window.MicrosUntilTimer()) {
    // The runtime clock may be a test clock that stands still; waking when
    // its interval has passed in real time only costs a look.
    until = EventQueue::Clock::now() + std::chrono::microseconds(std::max<std::int64_t>(*micros, 1000));
  }
  UnlockedSection unlocked;
  context.queue.Wait(window.Id(), seen, until);
  return std::nullopt;
}

}  // namespace

LoopEnd RunEventLoop(Window& window, const EventTaker& taker) {
  ThreadContext* context = CurrentContext();
  assert(context != nullptr && &window.Owner() == context && RuntimeLock::HeldByThisThread());
  CurrentEventEntry entry(*context);
  bool closeDownHanded = false;
  while (window.IsOpen()) {
    std::optional<Event> event;
    const bool closingDown = context->closingDown.load();
    if (closingDown && !closeDownHanded) {
      closeDownHanded = true;
      event = Event{EventCode::CloseDown, 0, window.Id(), {}};
    } else {
      event = NextEvent(window, *context);
      if (!event) continue;
    }
    window.Apply(*event);
    entry.Set(&*event);
    const LoopAction action = taker(*event);
    entry.Set(nullptr);
    window.FinishAcceptAll(*event);
    if (action == LoopAction::Break && !closingDown) return LoopEnd::BrokenOff;
    const bool closes = event->code == EventCode::CloseWindow || event->code == EventCode::CloseDown;
    if (closes && (action == LoopAction::CarryOn || closingDown)) window.Close();
  }
  return LoopEnd::WindowClosed;
}

const Event* CurrentEvent() {
  ThreadContext* context = CurrentContext();
  if (context == nullptr || context->events.empty()) return nullptr;
  return context->events.back();
}

}  // namespace runtime::ui
