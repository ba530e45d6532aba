// The runtime's clock and calendar: the time of day in hundredths of a
// second, today's date as a runtime date (days since 1970-01-01), and date
// arithmetic. All time comes from one replaceable time source, so tests can
// set and advance the time (testing/TestClock.h). Any thread may call.
#pragma once

#include <cstdint>

namespace runtime {

// Where the runtime's time comes from.
class TimeSource {
 public:
  virtual ~TimeSource() = default;
  // Local wall-clock time: microseconds since 1970-01-01 00:00 local time.
  virtual std::int64_t LocalMicros() const = 0;
  // Monotonic time in microseconds; only differences mean anything.
  virtual std::int64_t SteadyMicros() const = 0;
  // Blocks the calling thread until SteadyMicros() reaches steadyMicros.
  virtual void SleepUntil(std::int64_t steadyMicros) = 0;
};

// The operating system's clock in the local time zone.
TimeSource& SystemTimeSource();
// The time source in use (the system's unless a test replaced it).
TimeSource& CurrentTimeSource();

// Hundredths of a second since local midnight (0 .. 8639999).
std::int32_t Clock();
// Today's local date: days since 1970-01-01.
std::int32_t Today();

struct CivilDate {
  std::int32_t year = 1970;
  std::uint32_t month = 1;  // 1..12
  std::uint32_t day = 1;    // 1..31
};

// Days since 1970-01-01 of a calendar date; out-of-range days roll over
// (January 32 is February 1).
std::int32_t DateFromCivil(std::int32_t year, std::uint32_t month, std::uint32_t day);
CivilDate CivilFromDate(std::int32_t date);
// 0 = Sunday .. 6 = Saturday.
std::uint32_t DayOfWeek(std::int32_t date);

// Replaces the time source for its lifetime, then restores the previous
// one. The source is borrowed and must outlive this object.
class ScopedTimeSource {
 public:
  explicit ScopedTimeSource(TimeSource& source);
  ~ScopedTimeSource();
  ScopedTimeSource(const ScopedTimeSource&) = delete;
  ScopedTimeSource& operator=(const ScopedTimeSource&) = delete;

 private:
  TimeSource* previous_;
};

}  // namespace runtime
