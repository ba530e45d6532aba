#include "runtime/system/Clock.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace runtime {

namespace {

constexpr std::int64_t kMicrosPerDay = 86'400'000'000;

class OperatingSystemTime final : public TimeSource {
 public:
  std::int64_t LocalMicros() const override {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    return (static_cast<std::int64_t>(now.tv_sec) + local.tm_gmtoff) * 1'000'000 + now.tv_nsec / 1000;
  }
  std::int64_t SteadyMicros() const override {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepUntil(std::int64_t steadyMicros) override {
    const std::int64_t left = steadyMicros - SteadyMicros();
    if (left > 0) std::this_thread::sleep_for(std::chrono::microseconds(left));
  }
};

std::atomic<TimeSource*> current{nullptr};

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

TimeSource& SystemTimeSource() {
  static OperatingSystemTime system;
  return system;
}

TimeSource& CurrentTimeSource() {
  TimeSource* source = current.load();
  return source != nullptr ? *source : SystemTimeSource();
}

std::int32_t Clock() {
  const std::int64_t local = CurrentTimeSource().LocalMicros();
  const std::int64_t sinceMidnight = local - FloorDiv(local, kMicrosPerDay) * kMicrosPerDay;
  return static_cast<std::int32_t>(sinceMidnight / 10000);
}

std::int32_t Today() { return static_cast<std::int32_t>(FloorDiv(CurrentTimeSource().LocalMicros(), kMicrosPerDay)); }

std::int32_t DateFromCivil(std::int32_t year, std::uint32_t month, std::uint32_t day) {
  using namespace std::chrono;
  // Normalise the month first, then let the days roll over.
  const std::int32_t months = year * 12 + static_cast<std::int32_t>(month) - 1;
  const std::int32_t normalYear = static_cast<std::int32_t>(FloorDiv(months, 12));
  const unsigned normalMonth = static_cast<unsigned>(months - normalYear * 12) + 1;
  const sys_days first =
      year_month_day{std::chrono::year{normalYear}, std::chrono::month{normalMonth}, std::chrono::day{1}};
  return static_cast<std::int32_t>(first.time_since_epoch().count()) + static_cast<std::int32_t>(day) - 1;
}

CivilDate CivilFromDate(std::int32_t date) {
  using namespace std::chrono;
  const year_month_day civil{sys_days{days{date}}};
  return {static_cast<std::int32_t>(static_cast<int>(civil.year())), static_cast<unsigned>(civil.month()),
          static_cast<unsigned>(civil.day())};
}

std::uint32_t DayOfWeek(std::int32_t date) {
  using namespace std::chrono;
  return weekday{sys_days{days{date}}}.c_encoding();
}

ScopedTimeSource::ScopedTimeSource(TimeSource& source) : previous_(current.exchange(&source)) {}

ScopedTimeSource::~ScopedTimeSource() { current.store(previous_); }

}  // namespace runtime
