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

class EventQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // Appends the event and wakes the owner.
  void Post(Event event);
  // Puts the event first, so the owner takes it next. Owner thread only.
  void PostFront(Event event);
  // Wakes the owner to look again (the clock moved, the program is ending).
  void Poke();
  // Forgets every queued event for window (it has closed).
  void DropFor(WindowId window);

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
  bool HasEventFor(WindowId window) const;

  mutable std::mutex mutex_;
  // Guarded by mutex_.
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Event> events_;
  std::uint64_t generation_ = 0;  // counts posts and pokes
  bool waiting_ = false;
  std::uint64_t idleGeneration_ = 0;  // the generation the waiting owner has seen
};

}  // namespace runtime::ui
