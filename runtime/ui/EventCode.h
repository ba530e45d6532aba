// Event codes. An event concerns a control (control number > 0: field
// events) or the window itself (control 0: window events). Codes from
// kFirstProgramEvent on are the program's own (the tray's clicks, ...); the
// runtime only routes them. Plain values; any thread.
#pragma once

#include <cstdint>

namespace runtime::ui {

enum class EventCode : std::uint32_t {
  None = 0,
  // Field events (control != 0).
  Accepted = 0x01,      // the user finished with a control (typed, clicked)
  NewSelection = 0x02,  // the selection changed: list row, sheet tab, check
  Selected = 0x03,      // the control received focus
  Rejected = 0x04,      // the control's contents failed validation
  ScrollUp = 0x05,
  ScrollDown = 0x06,
  PageUp = 0x07,
  PageDown = 0x08,
  ScrollTop = 0x09,
  ScrollBottom = 0x0A,
  ScrollDrag = 0x0B,  // the list's thumb was dragged; data: thumb 0..100
  AlertKey = 0x0C,    // an alerted key was pressed; data: key code
  Locate = 0x0D,      // the list's locate request
  // Window events (control == 0).
  CloseWindow = 0x101,
  CloseDown = 0x102,  // the session or the program ends
  OpenWindow = 0x103,
  Completed = 0x104,  // the accept-all pass found every control valid
  GainFocus = 0x105,
  LoseFocus = 0x106,
  Sized = 0x107,  // data: window rect
  Moved = 0x108,  // data: window rect
  Maximised = 0x109,
  Iconised = 0x10A,
  Restored = 0x10B,
  Timer = 0x10C,
};

// The first code the program may define for itself.
inline constexpr std::uint32_t kFirstProgramEvent = 0x400;

constexpr EventCode ProgramEvent(std::uint32_t offset) { return static_cast<EventCode>(kFirstProgramEvent + offset); }
constexpr bool IsProgramEvent(EventCode code) { return static_cast<std::uint32_t>(code) >= kFirstProgramEvent; }

}  // namespace runtime::ui
