#include "runtime/ui/EventQueue.h"

#include <algorithm>
#include <utility>

namespace runtime::ui {

bool IsUserAction(const Event& event) {
  return !event.IsWindowEvent() || event.code == EventCode::CloseWindow || IsProgramEvent(event.code);
}

void EventQueue::Post(Event event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back({std::move(event), false});
    ++generation_;
  }
  wake_.notify_all();
}

void EventQueue::PostInput(Event event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back({std::move(event), true});
    ++generation_;
  }
  wake_.notify_all();
}

void EventQueue::PostFront(Event event) {
  std::lock_guard lock(mutex_);
  events_.push_front({std::move(event), false});
  ++generation_;
}

void EventQueue::Poke() {
  {
    std::lock_guard lock(mutex_);
    ++generation_;
  }
  wake_.notify_all();
}

void EventQueue::DropFor(WindowId window) {
  std::lock_guard lock(mutex_);
  std::erase_if(events_, [window](const Entry& e) { return e.event.window == window; });
}

void EventQueue::DropInputFor(WindowId window) {
  std::lock_guard lock(mutex_);
  std::erase_if(events_,
                [window](const Entry& e) { return e.input && e.event.window == window && IsUserAction(e.event); });
}

bool EventQueue::HasEventFor(WindowId window) const {
  return std::any_of(events_.begin(), events_.end(), [window](const Entry& e) { return e.event.window == window; });
}

std::optional<Event> EventQueue::TryTake(WindowId window, std::uint64_t& seen) {
  std::lock_guard lock(mutex_);
  seen = generation_;
  auto it = std::find_if(events_.begin(), events_.end(), [window](const Entry& e) { return e.event.window == window; });
  if (it == events_.end()) return std::nullopt;
  Event event = std::move(it->event);
  events_.erase(it);
  return event;
}

void EventQueue::Wait(WindowId window, std::uint64_t seen, std::optional<Clock::time_point> until) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return generation_ != seen || HasEventFor(window); };
  if (ready()) return;
  waiting_ = true;
  idleGeneration_ = generation_;
  idle_.notify_all();
  if (until) {
    wake_.wait_until(lock, *until, ready);
  } else {
    wake_.wait(lock, ready);
  }
  waiting_ = false;
}

bool EventQueue::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, timeout, [&] { return waiting_ && idleGeneration_ == generation_; });
}

std::size_t EventQueue::Size() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

}  // namespace runtime::ui
