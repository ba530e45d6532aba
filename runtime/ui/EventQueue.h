// One runtime thread's event queue. Any thread posts (backends from the GUI
// thread, other runtime threads, the test driver); only the owning thread
// takes. The queue has its own mutex and never touches the runtime lock, so
// posting never waits for program code.
//
// Idle: the owning thread is idle when it is blocked in Wait and has seen
// every post and poke so far; the test driver waits for that state.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "runtime/ui/Event.h"

namespace runtime::ui {

// What a window held by a newer window of its thread does not take when
// the user does it: anything done to a control, the close request and the
// program's own events (the tray's clicks). Notifications that keep the
// model in step with the desktop (moved, sized, state, focus) and the
// close-down still reach it.
bool IsUserAction(const Event& event);

class EventQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // Appends the event and wakes the owner.
  void Post(Event event);
  // Post for what the user did (PostInput), so DropInputFor can tell it apart.
  void PostInput(Event event);
  // Puts the event first, so the owner takes it next. Owner thread only.
  void PostFront(Event event);
  // Wakes the owner to look again (the clock moved, the program is ending).
  void Poke();
  // Forgets every queued event for window (it has closed).
  void DropFor(WindowId window);
  // Forgets what the user did to window that a held window does not take
  // (IsUserAction), keeping what the program posted.
  void DropInputFor(WindowId window);

  // Owner thread: takes the oldest event for window. Events for other windows
  // of the thread stay queued until their own loop runs. Also returns, in
  // seen, the queue's generation, to be handed to Wait.
  std::optional<Event> TryTake(WindowId window, std::uint64_t& seen);
  // Owner thread, runtime lock released: blocks until an event for window is
  // queued, the queue changed since generation seen, or until has passed.
  void Wait(WindowId window, std::uint64_t seen, std::optional<Clock::time_point> until);

  // Any thread: waits until the owner is idle; false when timeout passes first.
  bool WaitIdle(std::chrono::milliseconds timeout);
  std::size_t Size() const;

 private:
  struct Entry {
    Event event;
    bool input = false;  // posted by PostInput
  };

  bool HasEventFor(WindowId window) const;

  mutable std::mutex mutex_;
  // Guarded by mutex_.
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Entry> events_;
  std::uint64_t generation_ = 0;  // counts posts and pokes
  bool waiting_ = false;
  std::uint64_t idleGeneration_ = 0;  // the generation the waiting owner has seen
};

}  // namespace runtime::ui
