// The wait service: every wait of the runtime for something another station
// or process does (a lock it holds on a data file) goes through here. Time is
// measured on the runtime clock (Clock.h), so a test drives a wait with a
// test clock instead of waiting in real time. While a runtime thread waits
// it gives up the runtime lock, so the program's other runtime threads go on
// handling their events; it holds the lock again when the wait returns.
//
// Whatever the caller reached through the lock may have changed when a wait
// returns: keep no reference to another thread's or to shared state across
// it. Any thread; one that does not hold the runtime lock just waits.
#pragma once

#include <chrono>
#include <cstdint>

namespace runtime {

// A point in time on the runtime clock.
class WaitDeadline {
 public:
  explicit WaitDeadline(std::chrono::microseconds timeout);
  bool Passed() const;
  std::chrono::microseconds Left() const;  // zero once passed

 private:
  std::int64_t at_;  // steady microseconds of the runtime clock
};

// Pauses for duration of runtime-clock time with the runtime lock released.
void WaitPause(std::chrono::microseconds duration);

// Pauses for poll, or for what is left before deadline when that is less;
// false (without pausing) when the deadline has passed. The loop of a wait:
//   while (!ready()) if (!WaitPauseBefore(deadline, poll)) break;
[[nodiscard]] bool WaitPauseBefore(const WaitDeadline& deadline, std::chrono::microseconds poll);

}  // namespace runtime
