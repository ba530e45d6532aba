#include "testing/TestClock.h"

#include <thread>

namespace runtime {

namespace {

constexpr std::int64_t kMicrosPerDay = 86'400'000'000;

}  // namespace

void TestClock::Set(std::int32_t date, std::int32_t hundredths) {
  std::lock_guard lock(mutex_);
  local_ = static_cast<std::int64_t>(date) * kMicrosPerDay + static_cast<std::int64_t>(hundredths) * 10000;
}

void TestClock::AdvanceMicros(std::int64_t micros) {
  {
    std::lock_guard lock(mutex_);
    local_ += micros;
    steady_ += micros;
  }
  changed_.notify_all();
}

std::int64_t TestClock::LocalMicros() const {
  std::lock_guard lock(mutex_);
  return local_;
}

std::int64_t TestClock::SteadyMicros() const {
  std::lock_guard lock(mutex_);
  return steady_;
}

void TestClock::SleepUntil(std::int64_t steadyMicros) {
  std::unique_lock lock(mutex_);
  const auto sleeper = sleepers_.insert(steadyMicros);
  changed_.notify_all();
  changed_.wait(lock, [&] { return steady_ >= steadyMicros; });
  sleepers_.erase(sleeper);
  changed_.notify_all();
}

bool TestClock::SleeperBlocked() const { return !sleepers_.empty() && *sleepers_.rbegin() > steady_; }

bool TestClock::WaitForSleeper(std::chrono::milliseconds realTimeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, realTimeout, [&] { return SleeperBlocked(); });
}

void TestClock::RunAdvancing(const std::function<void()>& work, std::int64_t stepMicros) {
  bool done = false;
  std::thread worker([&] {
    work();
    {
      std::lock_guard lock(mutex_);
      done = true;
    }
    changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return done || SleeperBlocked(); });
    if (done) break;
    local_ += stepMicros;
    steady_ += stepMicros;
    changed_.notify_all();
  }
  lock.unlock();
  worker.join();
}

}  // namespace runtime
