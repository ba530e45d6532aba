// The event loop: hands a window's events one at a time to a taker and
// carries out the runtime's default handling of each.
//
// The taker answers how to go on:
//   CarryOn - the default handling follows: CloseWindow and CloseDown close
//             the window (and the loop ends); an event that carried user data
//             has it applied already; Completed ends the accept-all pass.
//   Cycle   - the event has been dealt with; no default handling (a refused
//             close keeps the window open).
//   Break   - leave the loop at once; the window stays open.
// Before the taker sees an event, the data the backend reported with it is
// applied to the model, and the last key code is set.
//
// While waiting for an event the loop releases the runtime lock; it pushes
// what changed in the model to the backend first. Events for other windows
// of the same thread wait until their own loop runs; a loop started inside a
// taker on the same window (a nested loop, e.g. in-place editing) takes the
// window's events until it ends. Timer events come when the queue is empty
// and the window's timer is due by the runtime clock.
//
// When the program ends, every other thread's loop is handed a CloseDown
// event; whatever the taker answers, the window then closes.
//
// Requires: the runtime thread that opened the window, holding the lock.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/ui/Event.h"

namespace runtime::ui {

class Window;

enum class LoopAction : std::uint8_t { CarryOn, Cycle, Break };
enum class LoopEnd : std::uint8_t { WindowClosed, BrokenOff };

using EventTaker = std::function<LoopAction(const Event& event)>;

LoopEnd RunEventLoop(Window& window, const EventTaker& taker);

// The event the innermost running loop of the calling thread is handling;
// nullptr outside a taker.
const Event* CurrentEvent();

}  // namespace runtime::ui
