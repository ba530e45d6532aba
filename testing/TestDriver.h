// Drives a running program the way a user would, for tests: waits until a
// runtime thread's window is open and idle (blocked on its empty queue),
// posts user events with their data, reads and sets control properties, and
// fires timers by advancing a test clock. Never sleeps: every wait is on a
// condition variable with a watchdog; a wait that times out is reported
// through OnTimeout (tests make it fail the test) and returns a miss.
//
// Thread: the test's own thread (not a runtime thread). Model access takes
// the runtime lock for the duration of the call.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/system/RuntimeLock.h"
#include "runtime/ui/ControlProperties.h"
#include "runtime/ui/Event.h"
#include "runtime/ui/ThreadContext.h"
#include "runtime/ui/Window.h"
#include "testing/TestClock.h"

namespace runtime::ui {

class TestDriver {
 public:
  using TimeoutHandler = std::function<void(std::string_view what)>;

  explicit TestDriver(std::chrono::milliseconds watchdog = std::chrono::seconds(10)) : watchdog_(watchdog) {}
  void OnTimeout(TimeoutHandler handler) { onTimeout_ = std::move(handler); }

  // Waits until thread has a window open and is idle; returns the newest
  // window's id, kNoWindow on timeout.
  WindowId WaitForWindow(std::int32_t thread);
  // Waits until thread is idle in its event loop; false on timeout.
  bool WaitIdle(std::int32_t thread);
  // Waits until thread has ended; false on timeout.
  bool WaitForThreadEnd(std::int32_t thread);
  // Waits until window has closed; false on timeout.
  bool WaitForClose(WindowId window);

  // User input, as a backend reports it (no waiting; WaitIdle afterwards).
  void Post(WindowId window, EventCode code, std::int32_t control = 0, EventData data = {});
  void Type(WindowId window, std::int32_t control, std::string text);    // Accepted with text
  void Choose(WindowId window, std::int32_t control, std::int32_t row);  // NewSelection with row
  void PressKey(WindowId window, std::int32_t control, KeyCode key);     // AlertKey with key
  // AlertKey for a character typed on a list (one UTF-8 character), with
  // the key code a backend gives it: letters and digits theirs, others
  // KeyCode::Character.
  void TypeOnList(WindowId window, std::int32_t list, std::string character);
  void Click(WindowId window, std::int32_t control);  // Accepted

  // The model, read or changed under the runtime lock. f gets the window, or
  // is not called when it has closed; returns whether it was called.
  bool WithWindow(WindowId window, const std::function<void(Window&)>& f);
  std::string Text(WindowId window, std::int32_t control);
  // The texts of one column (from 0) of a list's rows, top to bottom.
  std::vector<std::string> ColumnTexts(WindowId window, std::int32_t list, std::size_t column);
  ControlProperties Properties(WindowId window, std::int32_t control);
  void SetText(WindowId window, std::int32_t control, std::string text);

  // Advances clock (the installed test time source) and wakes every runtime
  // thread, so windows whose timer is due take a Timer event.
  void AdvanceClock(runtime::TestClock& clock, std::int64_t hundredths);

 private:
  void TimedOut(std::string_view what);

  const std::chrono::milliseconds watchdog_;
  TimeoutHandler onTimeout_;
};

}  // namespace runtime::ui
