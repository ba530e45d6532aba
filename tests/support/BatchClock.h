// A clock for driving batch procedures one timer event at a time.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/system/Clock.h"
#include "runtime/ui/EventLoop.h"

namespace testing_support {

// The runtime's monotonic time moves only while a timer event is handled
// (a step per look) and when the test advances it: each timer event then
// takes a small batch, and the test decides when the next one comes.
class BatchClock final : public runtime::TimeSource {
 public:
  std::int64_t LocalMicros() const override { return Read(); }
  std::int64_t SteadyMicros() const override { return Read(); }
  void Advance(std::int64_t micros) { now_ += micros; }
  // A wait (another station's lock) passes at once: the time jumps to its end.
  void SleepUntil(std::int64_t steadyMicros) override {
    std::int64_t now = now_.load();
    while (now < steadyMicros && !now_.compare_exchange_weak(now, steadyMicros)) {
    }
  }

 private:
  std::int64_t Read() const {
    const runtime::ui::Event* event = runtime::ui::CurrentEvent();
    if (event != nullptr && event->code == runtime::ui::EventCode::Timer) now_ += kStepMicros;
    return now_.load();
  }
  static constexpr std::int64_t kStepMicros = 300'000;
  // Behind the system's monotonic clock, so a window timer set by this clock
  // is due at once when the test hands time back to the system's.
  mutable std::atomic<std::int64_t> now_{0};
};

}  // namespace testing_support
