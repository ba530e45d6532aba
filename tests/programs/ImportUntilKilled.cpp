// A program for the import crash test: imports FILE into the current
// directory on the headless backend and kills itself (SIGKILL) in the middle
// of a timer event's batch, after the runtime's clock has been looked at
// LOOKS times inside timer events: a crash half-way through the import.
//
// Usage: import_until_killed FILE LOOKS
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/ImportProcess.h"
#include "runtime/headless/HeadlessBackend.h"
#include "runtime/system/Clock.h"
#include "runtime/ui/EventLoop.h"
#include "runtime/ui/Program.h"

namespace {

class KillingClock final : public runtime::TimeSource {
 public:
  explicit KillingClock(long looks) : looks_(looks) {}
  std::int64_t LocalMicros() const override { return runtime::SystemTimeSource().LocalMicros(); }
  // Every look during a timer event takes a tenth of a second, so the
  // batches stay small whatever the machine's speed, and the kill comes
  // after the same few batches in every run.
  std::int64_t SteadyMicros() const override {
    const runtime::ui::Event* event = runtime::ui::CurrentEvent();
    if (event != nullptr && event->code == runtime::ui::EventCode::Timer) {
      offset_ += kLookMicros;
      if (--looks_ == 0) std::raise(SIGKILL);
    }
    return runtime::SystemTimeSource().SteadyMicros() + offset_;
  }
  void SleepUntil(std::int64_t steadyMicros) override {
    runtime::SystemTimeSource().SleepUntil(steadyMicros - offset_);
  }

 private:
  static constexpr std::int64_t kLookMicros = 100'000;
  mutable long looks_;
  mutable std::int64_t offset_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  KillingClock clock(std::atol(argv[2]));
  runtime::ScopedTimeSource source(clock);
  runtime::ui::HeadlessBackend backend;
  runtime::ui::Program program(backend);
  if (!program.Start([&] { (void)marlinden::RunProgram([&] { marlinden::ImportProcess(argv[1]); }); })) {
    return 1;
  }
  program.WaitForEnd();
  std::cerr << "the import ended before it was killed\n";
  return 3;
}
