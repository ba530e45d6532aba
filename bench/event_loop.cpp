// Event-loop throughput: 100,000 events posted to a window and handled
// through the runtime's event loop by a taker doing trivial work, on the
// headless backend. Prints "event_loop_headless VALUE events/s".
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "runtime/ui/EventLoop.h"
#include "runtime/ui/HeadlessBackend.h"
#include "runtime/ui/Program.h"
#include "runtime/ui/Window.h"

using namespace runtime::ui;

int main() {
  constexpr std::int64_t kEvents = 100'000;
  constexpr EventCode kWork = ProgramEvent(1);
  HeadlessBackend backend;
  Program program(backend);
  double seconds = 0;
  std::int64_t handled = 0;
  if (!program.Start([&] {
        WindowDescription description;
        description.name = "bench";
        ControlDescription entry;
        entry.kind = ControlKind::Entry;
        entry.rect = {0, 0, 40, 10};
        description.controls.push_back(entry);
        auto window = Window::Open(description);
        const auto start = std::chrono::steady_clock::now();
        for (std::int64_t i = 0; i < kEvents; ++i) window->Post(kWork, 1);
        window->Post(EventCode::CloseWindow);
        RunEventLoop(*window, [&](const Event& e) {
          if (e.code == kWork) handled += e.control;
          return LoopAction::CarryOn;
        });
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      })) {
    std::fprintf(stderr, "could not start the runtime thread\n");
    return 1;
  }
  program.WaitForEnd();
  if (handled != kEvents) {
    std::fprintf(stderr, "handled %lld of %lld events\n", static_cast<long long>(handled), static_cast<long long>(kEvents));
    return 1;
  }
  std::printf("event_loop_headless %.0f events/s\n", static_cast<double>(kEvents) / seconds);
  return 0;
}
