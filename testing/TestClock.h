// A time source for tests: stands still until set or advanced. A thread
// that sleeps on it wakes only when the test advances it far enough, so
// tests never wait in real time for a timeout. Put in place with
// runtime::ScopedTimeSource. Any thread may call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

#include "runtime/system/Clock.h"

namespace runtime {

class TestClock final : public TimeSource {
 public:
  TestClock(std::int32_t date, std::int32_t hundredths) { Set(date, hundredths); }
  void Set(std::int32_t date, std::int32_t hundredths);
  void AdvanceHundredths(std::int64_t hundredths) { AdvanceMicros(hundredths * 10000); }
  void AdvanceMicros(std::int64_t micros);

  std::int64_t LocalMicros() const override;
  std::int64_t SteadyMicros() const override;
  void SleepUntil(std::int64_t steadyMicros) override;

  // Waits (in real time, at most realTimeout) until some thread sleeps on
  // this clock for a time still ahead; false when none did.
  bool WaitForSleeper(std::chrono::milliseconds realTimeout);
  // Runs work on a thread of its own and advances the clock by stepMicros
  // each time a thread sleeps on it, until work has returned. For tests of
  // code that waits on the runtime clock.
  void RunAdvancing(const std::function<void()>& work, std::int64_t stepMicros);

 private:
  bool SleeperBlocked() const;  // requires mutex_

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_.
  std::int64_t local_ = 0;
  std::int64_t steady_ = 0;
  std::multiset<std::int64_t> sleepers_;  // the times the sleeping threads wait for
};

}  // namespace runtime
