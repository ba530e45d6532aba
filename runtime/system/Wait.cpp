#include "runtime/system/Wait.h"

#include <algorithm>

#include "runtime/system/Clock.h"
#include "runtime/system/RuntimeLock.h"

namespace runtime {

WaitDeadline::WaitDeadline(std::chrono::microseconds timeout)
    : at_(CurrentTimeSource().SteadyMicros() + std::max<std::int64_t>(timeout.count(), 0)) {}

bool WaitDeadline::Passed() const { return CurrentTimeSource().SteadyMicros() >= at_; }

std::chrono::microseconds WaitDeadline::Left() const {
  return std::chrono::microseconds(std::max<std::int64_t>(at_ - CurrentTimeSource().SteadyMicros(), 0));
}

void WaitPause(std::chrono::microseconds duration) {
  TimeSource& clock = CurrentTimeSource();
  const std::int64_t until = clock.SteadyMicros() + duration.count();
  UnlockedSection unlocked;
  clock.SleepUntil(until);
}

bool WaitPauseBefore(const WaitDeadline& deadline, std::chrono::microseconds poll) {
  const std::chrono::microseconds left = deadline.Left();
  if (left.count() == 0) return false;
  WaitPause(std::min(left, poll));
  return true;
}

}  // namespace runtime
