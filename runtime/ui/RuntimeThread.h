// Runtime threads: the threads program code runs on. Thread 1 runs start-up
// and the main window (Program starts it); program code starts others with
// StartThread. Each has its own event queue, its own windows, its own last
// key code and target window. A runtime thread holds the runtime lock while
// it runs program code; when it ends, the windows it still has open close.
//
// Every function here requires a runtime thread holding the runtime lock,
// unless it says otherwise.
#pragma once

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

}  // namespace runtime::ui
