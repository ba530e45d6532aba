// An event: its code, the window and control it concerns, and what the
// backend reports with it. The data is applied to the window model when the
// event is taken by the event loop, before program code sees the event, so
// program code reads the model, not the data. Plain values; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/ui/EventCode.h"
#include "runtime/ui/Geometry.h"
#include "runtime/ui/KeyCode.h"

namespace runtime::ui {

// Identifies an open window for the life of the process (never reused), so
// an event for a window that has closed meanwhile is recognised and dropped.
using WindowId = std::uint64_t;
inline constexpr WindowId kNoWindow = 0;

// What the user changed, as the backend saw it. Empty fields change nothing.
struct EventData {
  std::optional<std::string> text;          // an entry's text
  std::optional<std::int32_t> selectedRow;  // a list's highlighted row (1-based)
  std::optional<std::int32_t> value;        // a check's state, a sheet's tab (1-based)
  std::optional<std::int32_t> row;          // the list row clicked (1-based)
  std::optional<std::int32_t> column;       // the list column clicked (1-based)
  std::optional<std::int32_t> thumb;        // a list's thumb position 0..100
  std::optional<Point> mouse;               // in dialog units within the window
  std::optional<Rect> windowRect;           // the window after a move or size
  KeyCode key = KeyCode::None;              // None leaves the last key code alone
  std::string keyText;                      // with key: the characters it typed (UTF-8), empty = none
};

struct Event {
  EventCode code = EventCode::None;
  std::int32_t control = 0;  // 0 = a window event
  WindowId window = kNoWindow;
  EventData data;

  bool IsWindowEvent() const { return control == 0; }
};

}  // namespace runtime::ui
