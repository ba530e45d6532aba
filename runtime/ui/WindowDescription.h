// A window description: C++ data held by a procedure's own source, from
// which the runtime opens the window. Controls are listed in declaration
// order and numbered from 1 in that order, except those given a fixed number
// (toolbar buttons 2000-2012). Any thread may build one; OpenWindow reads it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/ui/ControlKind.h"
#include "runtime/ui/ControlProperties.h"
#include "runtime/ui/Geometry.h"
#include "runtime/ui/ListSource.h"

namespace runtime::ui {

struct ControlDescription {
  ControlKind kind = ControlKind::Prompt;
  std::string text;
  Rect rect;                     // clamped on opening
  std::int32_t fixedNumber = 0;  // 0 = numbered by position
  // Index (0-based, in this list) of the containing control, or -1 for the
  // window; resolved to its number on opening.
  std::int32_t parentIndex = -1;
  std::string picture;
  std::string icon;
  std::string tip;
  std::string font;
  std::int32_t fontSize = 0;  // points; 0 = the window's font's size
  Cursor cursor = Cursor::Normal;
  std::int32_t value = 0;
  bool required = false;
  bool disabled = false;
  bool hidden = false;
  bool transparent = false;                 // the background is not filled
  bool noResize = false;                    // window resizing leaves the control alone
  bool reportsEdits = false;                // entries: NewSelection with the text after each edit of the user's
  bool scrollBar = false;                   // lists: designed with a vertical scroll bar
  ListPaging paging = ListPaging::Program;  // lists
  std::vector<ListColumn> columns;
};

// A control of kind with its text and place; every other field as declared
// above (numbered by position, in the window, no picture).
inline ControlDescription DescribeControl(ControlKind kind, std::string text, Rect rect) {
  ControlDescription control;
  control.kind = kind;
  control.text = std::move(text);
  control.rect = rect;
  return control;
}

enum class Frame : std::uint8_t { Fixed, Resizable };
enum class WindowState : std::uint8_t { Normal, Maximised, Iconised };

struct WindowFont {
  std::string name;  // empty = the backend's default
  std::int32_t points = 0;
  friend bool operator==(const WindowFont&, const WindowFont&) = default;
};

struct WindowDescription {
  std::string name;  // the description's own name ("TOOLBOX", "Main")
  std::string title;
  std::string icon;
  Rect rect;
  Frame frame = Frame::Fixed;
  std::int32_t minWidth = 0;
  std::int32_t minHeight = 0;
  std::int32_t maxWidth = 0;  // 0 = no limit
  std::int32_t maxHeight = 0;
  WindowState state = WindowState::Normal;
  bool hidden = false;  // opens hidden (e.g. a deferred progress window)
  WindowFont font;
  std::int32_t timerHundredths = 0;  // 0 = no timer
  std::vector<ControlDescription> controls;
};

}  // namespace runtime::ui
