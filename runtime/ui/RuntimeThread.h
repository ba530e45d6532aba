// Runtime threads: the threads program code runs on. Thread 1 runs start-up
// and the main window (Program starts it); program code starts others with
// StartThread. Each has its own event queue, its own windows, its own last
// key code and target window. A runtime thread holds the runtime lock while
// it runs program code; when it ends, the windows it still has open close.
//
// Every function here requires a runtime thread holding the runtime lock,
// unless it says otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "runtime/ui/EventCode.h"
#include "runtime/ui/KeyCode.h"

namespace runtime::ui {

class Window;

// The smallest stack a runtime thread gets. The program's requests (25000
// bytes) are far below what the runtime's own calls need, so every request
// is raised to at least this, and to the platform's minimum and page size.
inline constexpr std::uint32_t kMinimumStackBytes = 1024 * 1024;
std::size_t StackBytesFor(std::uint32_t requested);

// Starts procedure on a new runtime thread with the given stack size and
// returns the thread's number. The new thread waits for the runtime lock, so
// it runs once the caller waits in its event loop (or releases the lock
// otherwise). Returns 0 when the thread could not be created.
std::int32_t StartThread(std::function<void()> procedure, std::uint32_t stackBytes);

// For tests: while one lives, StartThread fails as if the system refused a
// new thread (no procedure runs, 0 is returned). Any thread.
class ScopedThreadStartRefusal {
 public:
  ScopedThreadStartRefusal();
  ~ScopedThreadStartRefusal();
  ScopedThreadStartRefusal(const ScopedThreadStartRefusal&) = delete;
  ScopedThreadStartRefusal& operator=(const ScopedThreadStartRefusal&) = delete;
};

// Any thread: true on a runtime thread.
bool IsRuntimeThread();

// The window operations without a window act on (the target window): the
// thread's newest open window unless set otherwise. nullptr when none.
Window* TargetWindow();
// Makes window (of any thread; nullptr = back to the newest window) the
// target until changed again.
void SetTargetWindow(Window* window);

// The key code of the last event that carried one (keys and mouse buttons).
KeyCode LastKeyCode();
void SetLastKeyCode(KeyCode key);  // KeyCode::None clears it; the key's text goes with it
// The characters the last key typed (UTF-8), as the backend reported them;
// empty for keys that type nothing (function keys, mouse buttons).
std::string LastKeyText();

// Queues an event for a control of thread's newest open window (dropped when
// it has none). The thread may be the caller's own.
void PostToThread(std::int32_t thread, EventCode code, std::int32_t control);

// --- Ending the program -----------------------------------------------------

// The end of a program's run, before its shutdown steps: every other
// runtime thread is told to close down (its event loops take CloseDown, its
// open questions are dismissed, its close-down flag is set) and the caller
// waits, the runtime lock released, until every one of them has ended. So
// nothing the program shuts down is still in use. Threads started meanwhile
// close down at once. Returns false, at once, when another thread is
// halting the program (that thread runs the shutdown steps; the caller just
// ends). On a thread that is not a runtime thread: nothing to do, true.
[[nodiscard]] bool CloseDownOtherThreads();

// Any thread: the calling runtime thread's close-down flag, set when it is
// to close down. A call that blocks with the runtime lock released (the
// mail call) takes it as its cancel flag. Valid while the thread runs; on
// another thread, a flag that stays false.
const std::atomic<bool>& CloseDownFlag();

// The program's shutdown steps, for a halt to run; none = nothing to run.
void SetHaltSteps(std::function<void()> steps);

// Ends the program at once with exitCode (a fatal message, Halt.h), in
// order: every other runtime thread closes down and is waited for, the
// shutdown steps run on the calling thread, then the program's OnHalt
// (Program.h) makes the backend leave its loop and end the process; the
// calling thread never returns. Without an OnHalt, or on a thread that is
// not a runtime thread holding the lock, the process ends at once after the
// steps that apply. A second halt while one runs parks its thread.
[[noreturn]] void HaltProgram(int exitCode);

}  // namespace runtime::ui
